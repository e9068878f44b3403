// A failed login answers in the same time for an unknown name as for a known name with a wrong
// password, so that the answer time does not tell which names exist. Each case is reported as a
// ratio to the floor measured in the same run: one password check against a stored digest.
#include "admin.h"
#include "hxMail/Providers.h"
#include "notes/NotesFolder.h"

#include "Lattice/Base.h"
#include "Lattice/Logger.h"
#include "notes/capi.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>

namespace {

struct Server {
    std::string dir;
    std::string digest;

    Server() {
        // A use of the plug-in, so that it is loaded and its classes registered under the host's names.
        benchmark::DoNotOptimize(hxMail::hxNotesProvider::NotesFolder::generateId());
        char tmpl[] = "/tmp/hxbench-login-XXXXXX";
        dir = mkdtemp(tmpl);
        setenv("NOTES_DATA_DIR", dir.c_str(), 1);
        Lattice::Logger::setLogFolder(dir.c_str());
        std::ostringstream out, err;
        nsfadmin::Admin admin(dir, out, err);
        nsfadmin::PersonEntry jane;
        jane.fullName = "CN=Jane Doe/O=Acme";
        jane.shortName = "jdoe";
        jane.internetAddress = "jane.doe@acme.example";
        if (admin.serverAdd("CN=Mail1/O=Acme") != 0 ||
            admin.userAdd("CN=Mail1/O=Acme", jane, "demo-password") != 0)
            std::abort();
        BYTE out64[SEC_DIGEST_SIZE];
        WORD length = 0;
        SECHashPassword(13, reinterpret_cast<const BYTE*>("demo-password"), sizeof out64, &length, out64, 0,
                        nullptr);
        digest.assign(reinterpret_cast<const char*>(out64), length);
    }
    ~Server() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

Server& server() {
    static Server s;
    return s;
}

double secondsOf(const std::function<void()>& work, int times) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < times; ++i)
        work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / times;
}

// One password check against a stored digest: what every failed login costs at least.
double floorSeconds() {
    server();
    static const double floor = secondsOf(
        [] {
            const std::string& d = server().digest;
            benchmark::DoNotOptimize(SECVerifyPassword(5, reinterpret_cast<const BYTE*>("wrong"),
                                                       static_cast<WORD>(d.size()),
                                                       reinterpret_cast<const BYTE*>(d.data()), 0, nullptr));
        },
        5);
    return floor;
}

void login(benchmark::State& state, const char* name) {
    floorSeconds();
    double total = 0;
    for (auto _ : state) {
        Lattice::Ptr<hxMail::MailProvider> provider =
            static_cast<hxMail::MailProvider*>(Lattice::ClassFactory::create("MailProvider"));
        const auto start = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(provider->login(name, "wrong-password", "", 0, 0));
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    state.counters["vs_floor"] = total / static_cast<double>(state.iterations()) / floorSeconds();
}

void BM_FailedLoginKnownName(benchmark::State& state) {
    login(state, "jdoe");
}
void BM_FailedLoginUnknownName(benchmark::State& state) {
    login(state, "nobody-here");
}

} // namespace

BENCHMARK(BM_FailedLoginKnownName)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_FailedLoginUnknownName)->Unit(benchmark::kMillisecond)->Iterations(10);

BENCHMARK_MAIN();
