// HTTP Basic logins against the directories' password digests, with a short-lived cache of
// verified credentials so that the deliberately slow digest check is not paid on every request.
#pragma once

#include "people.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace domino {

class Authenticator {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    using Log = std::function<void(const std::string&)>;

    // log (may be null) hears why a login was refused when the reason is the directory's, not the
    // user's: a name that several people answer to.
    Authenticator(const notes::DataDirectory& dir, std::chrono::seconds lifetime, std::size_t capacity,
                  Clock clock, Log log = {});

    // The person that an "Authorization" header value logs in, or nullopt.
    std::optional<Person> authenticate(const std::string& header);

    std::uint64_t passwordChecks() const { return checks_; }
    std::uint64_t cacheHits() const { return hits_; }
    std::uint64_t decoyChecks() const { return decoys_; }

private:
    using Key = std::array<unsigned char, 32>;
    struct Entry {
        Person person;
        std::chrono::steady_clock::time_point expires;
    };

    Key keyOf(const std::string& header) const;
    std::optional<Person> verify(const std::string& header);
    // Checks the password against a digest nobody has: a name that logs nobody in costs as much
    // as a wrong password, so the answer time does not tell which names exist.
    void verifyDecoy(const std::string& password);

    const notes::DataDirectory& dir_;
    std::chrono::seconds lifetime_;
    std::size_t capacity_;
    Clock clock_;
    Log log_;
    std::array<unsigned char, 32> secret_{}; // keys the cache hash, fresh per process
    std::mutex mutex_;
    std::map<Key, Entry> cache_;
    std::atomic<std::uint64_t> checks_{0};
    std::atomic<std::uint64_t> hits_{0};
    std::atomic<std::uint64_t> decoys_{0};
};

} // namespace domino
