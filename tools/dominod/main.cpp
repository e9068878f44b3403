// dominod: serves the mail documents of a Notes data folder as web pages until SIGINT or SIGTERM.
#include "domino/router.h"
#include "domino/webserver.h"

#include <CLI/CLI.hpp>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <memory>
#include <mutex>
#include <vector>

namespace {

int waitForSignal() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    int sig = 0;
    sigwait(&set, &sig);
    return sig;
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"dominod: the Domino web task stand-in. Renders the mail documents of a Notes data\n"
                 "folder as web pages for users who log in with HTTP Basic credentials."};
    std::string dataDir;
    int port = 0;
    std::string bind = "127.0.0.1";
    std::string realm = "Domino";
    bool quiet = false;
    app.add_option("--data", dataDir, "the Notes data folder (one sub-folder per server)")->required();
    app.add_option("--port", port, "port to listen on; 0 picks a free one")
        ->required()
        ->check(CLI::Range(0, 65535));
    app.add_option("--bind", bind, "address to listen on")->capture_default_str();
    app.add_option("--realm", realm, "realm of the login challenge")->capture_default_str();
    app.add_flag("--quiet", quiet, "no access log");
    bool noRouter = false;
    app.add_flag("--no-router", noRouter, "do not deliver what waits in the servers' mail.box");
    CLI11_PARSE(app, argc, argv);

    // Signals are taken by sigwait below; the server's threads inherit the blocked mask.
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);

    domino::Options options;
    options.bindAddress = bind;
    options.realm = realm;
    static std::mutex logMutex;
    if (!quiet) {
        options.accessLog = [](const std::string& line) {
            char stamp[32];
            const std::time_t now = std::time(nullptr);
            std::tm tm{};
            gmtime_r(&now, &tm);
            std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", &tm);
            std::lock_guard<std::mutex> lock(logMutex);
            std::cerr << stamp << " " << line << std::endl;
        };
    }
    domino::WebServer server(dataDir, options);
    try {
        server.start(port);
    } catch (const domino::StartError& e) {
        std::cerr << "dominod: " << e.what() << "\n";
        return 1;
    }
    // The router reaches the mail files through the Notes runtime, which starts on this folder.
    setenv("NOTES_DATA_DIR", dataDir.c_str(), 1);
    std::vector<std::unique_ptr<domino::Router>> routers;
    if (!noRouter) {
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(dataDir, ec)) {
            if (!entry.is_directory() || entry.path().filename() == "outbound")
                continue;
            auto router = std::make_unique<domino::Router>(entry.path().filename().string(), dataDir);
            router->start(std::chrono::milliseconds(250), [](const std::string& line) {
                std::lock_guard<std::mutex> lock(logMutex);
                std::cerr << line << std::endl;
            });
            routers.push_back(std::move(router));
        }
    }
    std::cout << "dominod listening on " << bind << " port " << server.port() << std::endl;
    const int sig = waitForSignal();
    routers.clear();
    server.stop();
    std::cerr << "dominod: stopped (" << (sig == SIGINT ? "SIGINT" : "SIGTERM") << ")\n";
    return 0;
}
