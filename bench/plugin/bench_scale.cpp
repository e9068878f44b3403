// Browsing at scale: inboxes of 1,000, 10,000, 100,000 (and with HX_BENCH_SCALE_300K=1, 300,000)
// memos. For each size: login and the folder list, the sort by each inbox column with its first page,
// the page index, the first, middle and last page, and the first sort by the never-sorted subject
// column, cold (a fresh copy of the data folder, nothing cached in the process) and warm. Each figure
// is reported beside its floor measured in the same run (opening the page's 50 documents through the
// C API; for the index, adding as many labels to a host collection; for the first subject sort,
// rebuilding the inbox's index from scratch), and a closing table
// gives the growth exponent between sizes (0: independent of size, 1: linear).
//
// The mail files are built once through the store's bulk path and kept in the build folder
// (HX_BENCH_SCALE_DIR overrides where); each run works on copies of them.
#include "BenchFolder.h"
#include "admin.h"
#include "hxMail/Folder.h"
#include "hxMail/Providers.h"

#include "Lattice/Data.h"

#include "Lattice/Base.h"
#include "notes/capi.h"

#include <sqlite3.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr long kPage = 50;
const char* const kServer = "CN=Mail1/O=Acme";
const char* const kColumns[] = {"received", "from", "subject", "size", "hasAttachments", "flag"};

struct Size {
    long long memos;
    std::string user;
};

std::vector<Size> sizes() {
    std::vector<Size> out = {{1000, "s1k"}, {10000, "s10k"}, {100000, "s100k"}};
    if (const char* big = std::getenv("HX_BENCH_SCALE_300K"); big && *big == '1')
        out.push_back({300000, "s300k"});
    return out;
}

std::string cacheDir() {
    if (const char* dir = std::getenv("HX_BENCH_SCALE_DIR"); dir && *dir)
        return dir;
    return HX_BENCH_SCALE_DATA;
}

// Folds a database's journal into its file, so that copying the file alone copies all of it.
void checkpoint(const fs::path& file) {
    sqlite3* db = nullptr;
    if (sqlite3_open(file.c_str(), &db) == SQLITE_OK)
        sqlite3_exec(db, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

// The cached data folder with every size's mail file, built (with progress) where missing.
void buildCache() {
    const std::string dir = cacheDir();
    fs::create_directories(dir);
    auto step = [&](const std::string& what, const std::function<int(nsfadmin::Admin&)>& run) {
        nsfadmin::Admin admin(dir, std::cerr, std::cerr);
        if (run(admin) != 0) {
            std::fprintf(stderr, "cannot build %s in %s\n", what.c_str(), dir.c_str());
            std::exit(1);
        }
    };
    if (!fs::exists(fs::path(dir) / "ready-server")) {
        step("the server", [](nsfadmin::Admin& a) { return a.serverAdd(kServer); });
        std::ofstream(fs::path(dir) / "ready-server") << "1\n";
    }
    for (const Size& size : sizes()) {
        const fs::path marker = fs::path(dir) / ("ready-" + size.user);
        if (fs::exists(marker))
            continue;
        std::fprintf(stderr, "building the mail file of %lld memos (once; kept in %s)\n", size.memos,
                     dir.c_str());
        const auto start = std::chrono::steady_clock::now();
        nsfadmin::PersonEntry person;
        person.fullName = "CN=" + size.user + " user/O=Acme";
        person.shortName = size.user;
        person.internetAddress = size.user + "@acme.example";
        step(size.user, [&](nsfadmin::Admin& a) { return a.userAdd(kServer, person, "bench-password"); });
        step(size.user + "'s memos",
             [&](nsfadmin::Admin& a) { return a.genMail(kServer, size.user, size.memos, 30, 7); });
        std::fprintf(stderr, "built in %.0f s\n",
                     std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        std::ofstream(marker) << size.memos << "\n";
    }
    for (const auto& entry : fs::recursive_directory_iterator(dir))
        if (entry.path().extension() == ".nsf")
            checkpoint(entry.path());
}

// A fresh copy of the cached folder holding only the directory and one user's mail file; the Notes
// runtime and the log point at it from the next provider on.
struct Copy {
    std::string dir;
    explicit Copy(const Size& size) {
        std::string tmpl = "/tmp/hxbench-scale-XXXXXX";
        if (!mkdtemp(tmpl.data()))
            std::abort();
        dir = tmpl;
        const fs::path from = cacheDir();
        for (const auto& entry : fs::recursive_directory_iterator(from)) {
            const fs::path rel = fs::relative(entry.path(), from);
            const std::string name = entry.path().filename().string();
            if (entry.is_directory()) {
                fs::create_directories(fs::path(dir) / rel);
            } else if (entry.path().extension() == ".nsf" &&
                       (entry.path().parent_path().filename() != "mail" || name == size.user + ".nsf")) {
                fs::copy_file(entry.path(), fs::path(dir) / rel);
            }
        }
        setenv("NOTES_DATA_DIR", dir.c_str(), 1);
        Lattice::Logger::setLogFolder(dir.c_str());
    }
    ~Copy() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    Copy(const Copy&) = delete;
    Copy& operator=(const Copy&) = delete;
    std::string mailFile(const Size& size) const { return "Mail1!!mail/" + size.user; }
};

// Wall time, or with HX_BENCH_SCALE_CPU=1 the calling thread's processor time: on a machine shared
// with busy neighbours the wall time of a short call mostly measures how long it waited for a core.
struct Clock {
    using time_point = double;
    static double now() {
        static const bool cpu = [] {
            const char* v = std::getenv("HX_BENCH_SCALE_CPU");
            return v && *v == '1';
        }();
        if (cpu) {
            timespec ts{};
            clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
            return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
        }
        return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count() *
               1e3;
    }
};

double since(Clock::time_point start) {
    return Clock::now() - start;
}

struct Session {
    Lattice::Ptr<hxMail::MailProvider> provider;
    Lattice::String inbox;
    double loginMs = 0;
};

Session login(const Size& size) {
    Session s;
    const auto start = Clock::now();
    s.provider = static_cast<hxMail::MailProvider*>(Lattice::ClassFactory::create("MailProvider"));
    if (s.provider->login(size.user.c_str(), "bench-password", "", 0, 0) != 0) {
        std::fprintf(stderr, "login of %s refused\n", size.user.c_str());
        std::abort();
    }
    Lattice::Ptr<hxMail::Mailbox> mailbox;
    s.provider->getMailbox("", mailbox);
    Lattice::ObjectCollection folders;
    s.provider->getFolders("", mailbox->get_id(), &folders);
    s.loginMs = since(start);
    s.inbox = folders[0].toObject<hxMail::Folder>()->get_id();
    return s;
}

// What a label costs the host whatever it is read from: one added to its collection and freed with it.
void addLabels(Lattice::ObjectCollection& labels, long long memos) {
    const Lattice::Data label(Lattice::String("Sun, 16 Dec 2026"));
    for (long long k = 0; k < 2 * ((memos + kPage - 1) / kPage); ++k)
        labels.add(label);
    benchmark::DoNotOptimize(labels.count());
}

// With `labelsOnly` the index is the floor's: as many labels added to the host's collection.
double sortAndPage(Session& s, const char* column, long start, bool withIndex, long long labelsOnly = 0) {
    const auto t = Clock::now();
    Lattice::String selected, type;
    s.provider->setSortContext(column, s.inbox, true, "", selected);
    if (withIndex) {
        Lattice::ObjectCollection labels;
        if (labelsOnly > 0)
            addLabels(labels, labelsOnly);
        else
            s.provider->getSortIndex(s.inbox, "", kPage, &labels, type, 0);
        benchmark::DoNotOptimize(labels.count());
    }
    Lattice::ObjectCollection page;
    s.provider->getFolderItemsPage(s.inbox, start, kPage - 1, &page);
    benchmark::DoNotOptimize(page.count());
    return since(t);
}

double indexOnly(Session& s) {
    const auto t = Clock::now();
    Lattice::ObjectCollection labels;
    Lattice::String type;
    s.provider->getSortIndex(s.inbox, "", kPage, &labels, type, 0);
    benchmark::DoNotOptimize(labels.count());
    return since(t);
}

// The floor of an index: its labels (first and last day of every page) added to a host collection,
// which is what the host's collection costs whatever the labels are read from.
double indexFloor(const Size& size) {
    const auto t = Clock::now();
    Lattice::ObjectCollection labels;
    addLabels(labels, size.memos);
    return since(t);
}

// The floor of a page: opening its 50 documents and reading a row's summary items through the C API.
double pageFloor(const std::string& file) {
    const auto t = Clock::now();
    DBHANDLE db = NULLHANDLE;
    if (NSFDbOpen(file.c_str(), &db) != NOERROR)
        std::abort();
    for (NOTEID id = 4, opened = 0; opened < kPage && id < 4000000; id += 4) {
        NOTEHANDLE h = NULLHANDLE;
        if (NSFNoteOpen(db, id, 0, &h) != NOERROR)
            continue;
        for (const char* item : {"Form", "From", "Subject", "SendTo", "DeliveredDate", "PostedDate"}) {
            BLOCKID block{};
            WORD type = 0;
            DWORD len = 0;
            benchmark::DoNotOptimize(
                NSFItemInfo(h, item, static_cast<WORD>(std::strlen(item)), nullptr, &type, &block, &len));
        }
        NSFNoteClose(h);
        ++opened;
    }
    NSFDbClose(db);
    return since(t);
}

// Building the inbox's index from scratch, as a changed design did before: the floor of a first sort
// by a new column.
double rebuildFloor(const Copy& copy, const Size& size) {
    const fs::path file = fs::path(copy.dir) / "Mail1" / "mail" / (size.user + ".nsf");
    sqlite3* raw = nullptr;
    sqlite3_open(file.c_str(), &raw);
    sqlite3_exec(raw, "DELETE FROM view_state", nullptr, nullptr, nullptr);
    sqlite3_close(raw);
    const auto t = Clock::now();
    DBHANDLE db = NULLHANDLE;
    NOTEID view = 0;
    HCOLLECTION collection = NULLHANDLE;
    NSFDbOpen(copy.mailFile(size).c_str(), &db);
    NIFFindView(db, "($Inbox)", &view);
    NIFOpenCollection(db, db, view, 0, NULLHANDLE, &collection, nullptr, nullptr, nullptr, nullptr);
    COLLECTIONPOSITION pos{};
    DHANDLE buffer = NULLHANDLE;
    DWORD length = 0, skipped = 0, returned = 0;
    WORD signal = 0;
    NIFReadEntriesExt(collection, &pos, NAVIGATE_NEXT, 1, NAVIGATE_NEXT, 1, READ_MASK_NOTEID, &buffer,
                      &length, &skipped, &returned, &signal);
    if (buffer != NULLHANDLE)
        OSMemFree(buffer);
    NIFCloseCollection(collection);
    NSFDbClose(db);
    return since(t);
}

// A warm figure: the median of five runs (HX_BENCH_SCALE_RUNS more on a busy machine), so that one
// run disturbed by a neighbour does not count.
double warm(const std::function<double()>& run) {
    const char* more = std::getenv("HX_BENCH_SCALE_RUNS");
    const int count = more && std::atoi(more) > 5 ? std::atoi(more) : 5;
    std::vector<double> runs;
    for (int i = 0; i < count; ++i)
        runs.push_back(run());
    std::sort(runs.begin(), runs.end());
    return runs[runs.size() / 2];
}

// Results by case and size, for the closing table.
std::map<std::string, std::map<long long, double>> results;
std::vector<std::string> order;

void record(benchmark::State& state, const std::string& name, long long memos, double ms, double floorMs) {
    if (!results.count(name))
        order.push_back(name);
    results[name][memos] = ms;
    state.counters["ms"] = ms;
    state.counters["floor_ms"] = floorMs;
    state.counters["vs_floor"] = floorMs > 0 ? ms / floorMs : 0;
}

void runSize(benchmark::State& state, const Size& size) {
    const char* only = std::getenv("HX_BENCH_SCALE_WARM");
    const bool cold = !(only && *only == '1');
    for (auto _ : state) {
        // Cold: every question on a fresh copy, the first thing the process asks of it.
        if (cold) {
            Copy copy(size);
            Session s = login(size);
            const double floor = pageFloor(copy.mailFile(size));
            record(state, "login + folders, cold", size.memos, s.loginMs, floor);
            record(state, "sort + index + first page, cold", size.memos, sortAndPage(s, "received", 0, true),
                   floor);
        }
        for (const char* column : kColumns) {
            if (!cold || std::string(column) == "subject")
                continue; // the first subject sort is its own case below
            Copy copy(size);
            Session s = login(size);
            const double floor = pageFloor(copy.mailFile(size));
            record(state, std::string("sort ") + column + " + first page, cold", size.memos,
                   sortAndPage(s, column, 0, false), floor);
        }
        double rebuild = 0;
        if (cold) {
            Copy copy(size);
            rebuild = rebuildFloor(copy, size);
        }
        if (cold) {
            Copy copy(size);
            Session s = login(size);
            record(state, "first sort by subject + first page", size.memos,
                   sortAndPage(s, "subject", 0, false), rebuild);
            record(state, "rebuild of the inbox index (floor)", size.memos, rebuild, rebuild);
        }
        // Warm: the same provider and copy, each question asked before.
        Copy copy(size);
        Session s = login(size);
        const double floor = pageFloor(copy.mailFile(size));
        for (const char* column : kColumns)
            sortAndPage(s, column, 0, true);
        record(state, "login + folders, warm", size.memos, warm([&] {
                   s = Session();
                   s = login(size);
                   return s.loginMs;
               }),
               floor);
        for (const char* column : kColumns)
            record(state, std::string("sort ") + column + " + first page, warm", size.memos,
                   warm([&] { return sortAndPage(s, column, 0, false); }), floor);
        sortAndPage(s, "received", 0, false);
        const double labelFloor = warm([&] { return indexFloor(size); });
        record(state, "index of 50-memo pages, warm", size.memos, warm([&] { return indexOnly(s); }),
               labelFloor);
        record(state, "index floor (its labels added, host)", size.memos, labelFloor, labelFloor);
        const double withLabels = warm([&] { return sortAndPage(s, "received", 0, true, size.memos); });
        record(state, "sort + index + first page, warm", size.memos,
               warm([&] { return sortAndPage(s, "received", 0, true); }), withLabels);
        record(state, "its floor: the index's labels added instead", size.memos, withLabels, withLabels);
        const long n = static_cast<long>(size.memos);
        record(state, "first page, warm", size.memos,
               warm([&] { return sortAndPage(s, "received", 0, false); }), floor);
        record(state, "middle page, warm", size.memos,
               warm([&] { return sortAndPage(s, "received", n / 2, false); }), floor);
        record(state, "last page, warm", size.memos,
               warm([&] { return sortAndPage(s, "received", n - kPage, false); }), floor);
        record(state, "page floor (50 documents, C API)", size.memos, floor, floor);
    }
}

void printTable() {
    const std::vector<Size> all = sizes();
    std::printf("\n%-40s", "ms");
    for (const Size& size : all)
        std::printf("%10lld", size.memos);
    for (std::size_t i = 1; i < all.size(); ++i)
        std::printf("   exp %s/%s", all[i].user.c_str() + 1, all[i - 1].user.c_str() + 1);
    std::printf("\n");
    for (const std::string& name : order) {
        std::printf("%-40s", name.c_str());
        const auto& row = results[name];
        for (const Size& size : all) {
            const auto it = row.find(size.memos);
            it == row.end() ? std::printf("%10s", "-") : std::printf("%10.2f", it->second);
        }
        for (std::size_t i = 1; i < all.size(); ++i) {
            const auto a = row.find(all[i - 1].memos), b = row.find(all[i].memos);
            if (a == row.end() || b == row.end() || a->second <= 0 || b->second <= 0) {
                std::printf("%14s", "-");
                continue;
            }
            std::printf("%14.2f", std::log(b->second / a->second) /
                                      std::log(static_cast<double>(all[i].memos) / all[i - 1].memos));
        }
        std::printf("\n");
    }
}

} // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--help") {
            std::printf("bench_scale [google benchmark options]\n"
                        "  HX_BENCH_SCALE_300K=1   add the 300,000-memo mail file (its first build takes "
                        "several minutes)\n"
                        "  HX_BENCH_SCALE_DIR=DIR  where the built mail files are kept (default: the build "
                        "folder)\n"
                        "  HX_BENCH_SCALE_WARM=1   only the warm cases (for profiling)\n"
                        "  HX_BENCH_SCALE_RUNS=N   warm figures are the median of N runs (default 5)\n"
                        "  HX_BENCH_SCALE_CPU=1    figures are the calling thread's processor time, not wall "
                        "time\n");
            return 0;
        }
    }
    // A use of the plug-in, so that it is loaded and its classes registered under the host's names.
    benchmark::DoNotOptimize(hxMail::hxNotesProvider::NotesFolder::generateId());
    buildCache();
    for (const Size& size : sizes())
        benchmark::RegisterBenchmark(("BM_Scale/" + std::to_string(size.memos)).c_str(),
                                     [size](benchmark::State& state) { runSize(state, size); })
            ->Unit(benchmark::kMillisecond)
            ->Iterations(1);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    printTable();
    return 0;
}
