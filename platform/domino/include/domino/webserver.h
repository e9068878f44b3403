// The Domino server's web task stand-in: renders the mail documents of a Notes data folder as web
// pages over HTTP, for users who log in with HTTP Basic credentials checked against the
// "HTTPPassword" digests of the server directories.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

namespace domino {

// Thrown by start() when the data folder is unusable or the address cannot be bound.
class StartError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct Options {
    std::string bindAddress = "127.0.0.1";
    std::string realm = "Domino";
    // Verified credentials are reused this long, so the digest check is not paid per request.
    std::chrono::seconds credentialLifetime{60};
    std::size_t credentialCacheSize = 256;
    // One line per request (method, path, status, user), and a line for a login refused because the
    // name is ambiguous in the directory; never credentials. Null: no log.
    std::function<void(const std::string&)> accessLog;
    // The clock of the credential cache (tests move it); null: the steady clock.
    std::function<std::chrono::steady_clock::time_point()> clock;
};

struct Stats {
    std::uint64_t requests = 0;
    std::uint64_t passwordChecks = 0; // digest verifications actually run
    std::uint64_t credentialCacheHits = 0;
    std::uint64_t decoyChecks = 0; // password checks against no one's digest, for names that log nobody in
};

class WebServer {
public:
    WebServer(std::string dataDir, Options options = {});
    ~WebServer(); // stops
    WebServer(const WebServer&) = delete;
    WebServer& operator=(const WebServer&) = delete;

    // Binds (port 0: an ephemeral one) and serves on a thread of its own until stop(); once per
    // object.
    void start(int port = 0);
    int port() const; // 0 until started
    void stop();
    bool running() const;
    Stats stats() const;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

} // namespace domino
