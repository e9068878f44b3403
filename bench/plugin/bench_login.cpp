// A failed login answers in the same time for an unknown name as for a known name with a wrong
// password, so that the answer time does not tell which names exist. Each case is reported as a
// ratio to the floor measured in the same run: one password check against a stored digest.
#include "BenchFolder.h"
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
    BenchFolder folder{"login"};
    std::string digest;

    Server() {
        folder.addServer("CN=Mail1/O=Acme");
        folder.addUser("CN=Mail1/O=Acme", "CN=Jane Doe/O=Acme", "jdoe", "jane.doe@acme.example",
                       "demo-password");
        BYTE out64[SEC_DIGEST_SIZE];
        WORD length = 0;
        SECHashPassword(13, reinterpret_cast<const BYTE*>("demo-password"), sizeof out64, &length, out64, 0,
                        nullptr);
        digest.assign(reinterpret_cast<const char*>(out64), length);
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
