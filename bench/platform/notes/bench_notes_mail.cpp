// A mailbox of 100,000 memos: reading every note id of the inbox in one call per collation, the
// unread questions the plug-in asks twice per listed message, and saving a memo into the large
// file. Each figure is also given as a ratio ("x_floor") to a floor measured in the same run: the
// plain SQLite scan of the same ids in the same order, on a connection of its own.
#include "notes/admin/clock.h"
#include "notes/admin/mail.h"
#include "notes/admin/templates.h"
#include "notes/lncpp.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>

namespace {

constexpr std::size_t kMemos = 100000;

// The stand-in's "now" in its ticks: hundredths of a second since 1970 GMT.
std::int64_t nowTicks() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(notes::Clock::now().time_since_epoch())
               .count() /
           10;
}

struct Mailbox {
    std::string dir;
    LNNotesSession session;
    LNDatabase mail;
    NOTEID inbox = 0;
    double scanSeconds = 0;   // floor of a whole-view read
    double lookupSeconds = 0; // floor of one unread question
    double insertSeconds = 0; // floor of a save: one row into a table without indexes

    Mailbox() {
        char tmpl[] = "/tmp/notes-bench-XXXXXX";
        dir = mkdtemp(tmpl);
        std::filesystem::create_directory(dir + "/Mail1");
        setenv("NOTES_DATA_DIR", dir.c_str(), 1);
        session.Init();
        notes::templates::create("Mail1", "mail/big.nsf", notes::templates::Kind::Mail);
        session.GetDatabase("mail/big.nsf", &mail, "Mail1");
        mail.Open();
        const auto t0 = std::chrono::steady_clock::now();
        notes::mail::generate(mail.GetDatabaseHandle(), kMemos, 11, nowTicks(), 365, 5000, nullptr);
        const double genSeconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        std::fprintf(stderr, "generated %zu memos in %.1f s\n", kMemos, genSeconds);
        NIFFindView(mail.GetDatabaseHandle(), "($Inbox)", &inbox);
        measureFloors();
    }

    void measureFloors() {
        sqlite3* raw = nullptr;
        sqlite3_open_v2((dir + "/Mail1/mail/big.nsf").c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
        // The same page cache and durability as the store's connections, and a warm cache.
        sqlite3_exec(raw, "PRAGMA cache_size=-32768; PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
        sqlite3_stmt* scan = nullptr;
        sqlite3_prepare_v2(
            raw,
            "SELECT note_id FROM view_index WHERE view_id = ? AND collation = 0 ORDER BY sort_key, "
            "note_id",
            -1, &scan, nullptr);
        std::vector<NOTEID> ids;
        auto start = std::chrono::steady_clock::now();
        for (int k = -1; k < 10; ++k) {
            if (k == 0) {
                start = std::chrono::steady_clock::now();
            }
            ids.clear();
            sqlite3_bind_int64(scan, 1, inbox);
            while (sqlite3_step(scan) == SQLITE_ROW) {
                ids.push_back(static_cast<NOTEID>(sqlite3_column_int64(scan, 0)));
            }
            sqlite3_reset(scan);
        }
        scanSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / 10;
        sqlite3_finalize(scan);

        sqlite3_stmt* one = nullptr;
        sqlite3_prepare_v2(raw, "SELECT 1 FROM unread WHERE user = '' AND note_id = ?", -1, &one, nullptr);
        std::mt19937 rng(5);
        start = std::chrono::steady_clock::now();
        constexpr int kLookups = 100000;
        int found = 0;
        for (int k = 0; k < kLookups; ++k) {
            sqlite3_bind_int64(one, 1, ids[rng() % ids.size()]);
            found += sqlite3_step(one) == SQLITE_ROW;
            sqlite3_reset(one);
        }
        lookupSeconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / kLookups;
        sqlite3_finalize(one);
        benchmark::DoNotOptimize(found);

        sqlite3_exec(raw, "CREATE TABLE floor_rows(a INTEGER, b BLOB)", nullptr, nullptr, nullptr);
        sqlite3_stmt* ins = nullptr;
        sqlite3_prepare_v2(raw, "INSERT INTO floor_rows VALUES(?, zeroblob(600))", -1, &ins, nullptr);
        start = std::chrono::steady_clock::now();
        for (int k = 0; k < 50; ++k) { // each in its own transaction, as a save is
            sqlite3_bind_int(ins, 1, k);
            sqlite3_step(ins);
            sqlite3_reset(ins);
        }
        insertSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / 50;
        sqlite3_finalize(ins);
        sqlite3_exec(raw, "DROP TABLE floor_rows", nullptr, nullptr, nullptr);
        sqlite3_close(raw);
    }

    ~Mailbox() {
        mail.Close();
        session.Term();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

Mailbox& box() {
    static Mailbox b;
    return b;
}

using Clock = std::chrono::steady_clock;

// seconds: the timed work of all iterations.
void ratio(benchmark::State& state, double seconds, double floor) {
    state.counters["x_floor"] = seconds / static_cast<double>(state.iterations()) / floor;
}

std::vector<NOTEID> readAll(Mailbox& b, WORD collation) {
    const DBHANDLE h = b.mail.GetDatabaseHandle();
    HCOLLECTION coll = NULLHANDLE;
    NIFOpenCollection(h, h, b.inbox, 0, NULLHANDLE, &coll, nullptr, nullptr, nullptr, nullptr);
    NIFSetCollation(coll, collation);
    COLLECTIONPOSITION pos{};
    DHANDLE buffer = NULLHANDLE;
    DWORD length = 0, returned = 0;
    NIFReadEntriesExt(coll, &pos, NAVIGATE_NEXT, 1, NAVIGATE_NEXT, NIF_READ_ALL, READ_MASK_NOTEID, &buffer,
                      &length, nullptr, &returned, nullptr);
    std::vector<NOTEID> ids(returned);
    if (buffer != NULLHANDLE) {
        std::memcpy(ids.data(), OSLockObject(buffer), length);
        OSUnlockObject(buffer);
        OSMemFree(buffer);
    }
    NIFCloseCollection(coll);
    return ids;
}

// Steady state: the index has not changed since the last read.
void BM_InboxReadAllIds(benchmark::State& state) {
    Mailbox& b = box();
    const WORD collation = static_cast<WORD>(state.range(0));
    const auto start = Clock::now();
    for (auto _ : state) {
        benchmark::DoNotOptimize(readAll(b, collation));
    }
    ratio(state, std::chrono::duration<double>(Clock::now() - start).count(), b.scanSeconds);
}
BENCHMARK(BM_InboxReadAllIds)->Arg(0)->Arg(2)->Arg(5)->Arg(6)->Unit(benchmark::kMillisecond);

// After a change to the file (a read mark): the cached order is dropped and the index scanned.
void BM_InboxReadAllIdsAfterChange(benchmark::State& state) {
    Mailbox& b = box();
    const WORD collation = static_cast<WORD>(state.range(0));
    const auto ids = readAll(b, 0);
    std::size_t k = 0;
    double seconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        ++k;
        b.mail.MarkRead(ids[k % ids.size()], k % 2 == 0);
        state.ResumeTiming();
        const auto start = Clock::now();
        benchmark::DoNotOptimize(readAll(b, collation));
        seconds += std::chrono::duration<double>(Clock::now() - start).count();
    }
    ratio(state, seconds, b.scanSeconds);
}
BENCHMARK(BM_InboxReadAllIdsAfterChange)->Arg(0)->Arg(5)->Unit(benchmark::kMillisecond);

// The plug-in's question, twice per listed message: the unread list, then Contains.
void BM_UnreadListContains(benchmark::State& state) {
    Mailbox& b = box();
    const auto ids = readAll(b, 0);
    std::mt19937 rng(3);
    int unread = 0;
    const auto start = Clock::now();
    for (auto _ : state) {
        LNNoteArray list;
        b.mail.GetUnreadList(&list);
        unread += list.Contains(ids[rng() % ids.size()]);
    }
    ratio(state, std::chrono::duration<double>(Clock::now() - start).count(), b.lookupSeconds);
    benchmark::DoNotOptimize(unread);
}
BENCHMARK(BM_UnreadListContains);

// A new memo saved into the large file (its rows in every view, the unread mark), one
// transaction each.
void BM_SaveMemoIntoLargeMailFile(benchmark::State& state) {
    Mailbox& b = box();
    int n = 0;
    const auto start = Clock::now();
    for (auto _ : state) {
        LNDocument doc;
        b.mail.CreateDocument(&doc, "Memo");
        doc.CreateItem("Subject", LNText(LNString("Benchmark memo " + std::to_string(++n))));
        doc.CreateItem("From", LNText("CN=Adam Smith/O=Acme"));
        LNDatetimes posted;
        posted << b.session.GetCurrentDatetime();
        doc.CreateItem("PostedDate", posted);
        doc.Save();
        doc.Close();
    }
    ratio(state, std::chrono::duration<double>(Clock::now() - start).count(), b.insertSeconds);
}
BENCHMARK(BM_SaveMemoIntoLargeMailFile)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
