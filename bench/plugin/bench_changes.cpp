// The change report of a large mail file: 100 memos delivered since the last report, read with
// getChanges from a file of 100,000 documents and from one of 1,000, each beside its floor measured
// in the same run: asking the store for the notes modified since the same time and reading the
// items a change record shows of each straight through the C API. The report's cost should follow
// the number of changes, not the size of the file. The first report of a process reads what it
// follows later (folder id tables, the unread list) once; it is shown apart as first_report_ms.
//
// Generating 100,000 memos takes a while, so the built data folder is kept in the build folder
// (HX_BENCH_CACHE) and copied for later runs.
#include "BenchFolder.h"
#include "admin.h"
#include "hxMail/Folder.h"
#include "hxMail/Providers.h"
#include "notes/admin/mail.h"
#include "notes/capi.h"
#include "runtime.h"
#include "values.h"

#include "Lattice/Base.h"

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace {

const char* const kServer = "CN=Mail1/O=Acme";
constexpr int kChanges = 100;
namespace fs = std::filesystem;

// Copies the data folder's files (not SQLite's shared-memory index, which each opener rebuilds),
// and writes them through to the disk: otherwise the first commits of the measured reports wait
// for a quarter gigabyte of copy to be written back, which has nothing to do with the report.
void copyFolder(const fs::path& from, const fs::path& to) {
    for (const auto& entry : fs::recursive_directory_iterator(from)) {
        const fs::path target = to / fs::relative(entry.path(), from);
        if (entry.is_directory()) {
            fs::create_directories(target);
        } else if (entry.path().string().find("-shm") == std::string::npos) {
            fs::copy_file(entry.path(), target, fs::copy_options::overwrite_existing);
            if (const int fd = ::open(target.c_str(), O_RDONLY); fd >= 0) {
                ::fsync(fd);
                ::close(fd);
            }
        }
    }
}

struct Server {
    BenchFolder folder{"changes"};

    Server() {
        const fs::path cache = fs::path(HX_BENCH_CACHE) / "changes";
        if (fs::exists(cache / "ready")) {
            copyFolder(cache, folder.dir);
            return;
        }
        folder.addServer(kServer);
        for (const auto& [user, count] :
             {std::pair<const char*, long long>{"small", 1000}, {"large", 100000}}) {
            folder.addUser(kServer, std::string("CN=") + user + " user/O=Acme", user,
                           std::string(user) + "@acme.example", "bench-password");
            folder.check(user,
                         [&](nsfadmin::Admin& admin) { return admin.genMail(kServer, user, count, 30, 7); });
        }
        std::error_code ec;
        fs::remove_all(cache, ec);
        fs::create_directories(cache);
        copyFolder(folder.dir, cache);
        std::FILE* marker = std::fopen((cache / "ready").c_str(), "w");
        if (marker)
            std::fclose(marker);
    }
};

Server& server() {
    static Server s;
    return s;
}

std::string mailPath(const std::string& user) {
    return "Mail1!!mail/" + user + ".nsf";
}

void deliver(const std::string& user, int round) {
    std::vector<notes::mail::Message> memos(kChanges);
    for (int i = 0; i < kChanges; ++i) {
        notes::mail::Message& m = memos[i];
        m.from = "CN=John Smith/O=Acme";
        m.sendTo = {"CN=" + user + " user/O=Acme"};
        m.subject = "Round " + std::to_string(round) + " memo " + std::to_string(i);
        m.body = "A short note.";
        m.posted = m.delivered = notes::ticksNow();
        m.unread = true;
    }
    DBHANDLE db = NULLHANDLE;
    if (NSFDbOpen(mailPath(user).c_str(), &db) != NOERROR || notes::mail::store(db, memos) != NOERROR)
        std::abort();
    NSFDbClose(db);
}

// A logged-in provider whose last report is behind us, per user, and how long its first report
// of a delivery took: that one reads the folders' id tables and the unread list once for the
// process; the measured reports follow them from the file's logs.
struct Session {
    Lattice::Ptr<hxMail::MailProvider> provider;
    double firstReport = 0;
};

Session& session(const std::string& user) {
    static std::map<std::string, Session> sessions;
    Session& held = sessions[user];
    auto& provider = held.provider;
    if (provider)
        return held;
    server();
    provider = static_cast<hxMail::MailProvider*>(Lattice::ClassFactory::create("MailProvider"));
    if (provider->login(user.c_str(), "bench-password", "", 0, 0) != 0)
        std::abort();
    Lattice::Ptr<hxMail::Mailbox> mailbox;
    provider->getMailbox("", mailbox);
    Lattice::ObjectCollection folders;
    provider->getFolders("", mailbox->get_id(), &folders);
    Lattice::ObjectCollection drained;
    provider->getChanges(&drained, 0);
    deliver(user, 0);
    Lattice::ObjectCollection first;
    const auto start = std::chrono::steady_clock::now();
    provider->getChanges(&first, 0);
    held.firstReport = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return held;
}

// The floor: the store's list of notes modified since `since`, and the items of each that a change
// record of a memo shows.
long readChanged(const std::string& user, TIMEDATE* since) {
    DBHANDLE db = NULLHANDLE;
    NSFDbOpen(mailPath(user).c_str(), &db);
    DHANDLE table = NULLHANDLE;
    TIMEDATE until{};
    long read = 0;
    if (NSFDbGetModifiedNoteTable(db, NOTE_CLASS_DOCUMENT, *since, &until, &table) == NOERROR) {
        NOTEID id = 0;
        for (BOOL first = TRUE; IDScan(table, first, &id); first = FALSE) {
            NOTEHANDLE h = NULLHANDLE;
            if (NSFNoteOpen(db, id, 0, &h) != NOERROR)
                continue;
            for (const char* item : {"Form", "Subject", "From", "SendTo", "CopyTo", "PostedDate",
                                     "DeliveredDate", "Importance", "$RespondedTo"}) {
                BLOCKID block{};
                WORD type = 0;
                DWORD len = 0;
                benchmark::DoNotOptimize(
                    NSFItemInfo(h, item, static_cast<WORD>(std::strlen(item)), nullptr, &type, &block, &len));
            }
            NSFNoteClose(h);
            ++read;
        }
        IDDestroyTable(table);
        *since = until;
    }
    NSFDbClose(db);
    return read;
}

// args: file (0: 1,000 documents, 1: 100,000)
void BM_Report(benchmark::State& state) {
    const std::string user = state.range(0) ? "large" : "small";
    Session& held = session(user);
    auto& provider = held.provider;
    TIMEDATE floorSince{};
    {
        // The floor's own chain starts where the provider's stands: after everything so far.
        DBHANDLE db = NULLHANDLE;
        NSFDbOpen(mailPath(user).c_str(), &db);
        DHANDLE table = NULLHANDLE;
        TIMEDATE now{};
        OSCurrentTIMEDATE(&now);
        NSFDbGetModifiedNoteTable(db, NOTE_CLASS_DOCUMENT, now, &floorSince, &table);
        if (table != NULLHANDLE)
            IDDestroyTable(table);
        NSFDbClose(db);
    }
    // Processor time beside the wall clock: on a shared machine the wall clock also counts waiting
    // for a core, which the processor time leaves out.
    double total = 0, floor = 0, totalCpu = 0, floorCpu = 0;
    long reported = 0, read = 0;
    int round = 0;
    for (auto _ : state) {
        deliver(user, ++round);
        Lattice::ObjectCollection changes;
        auto start = std::chrono::steady_clock::now();
        std::clock_t cpu = std::clock();
        provider->getChanges(&changes, 0);
        totalCpu += static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC;
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        reported = changes.count();
        start = std::chrono::steady_clock::now();
        cpu = std::clock();
        read = readChanged(user, &floorSince);
        floorCpu += static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC;
        floor += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    const double it = static_cast<double>(state.iterations());
    state.counters["reported"] = static_cast<double>(reported);
    state.counters["floor_read"] = static_cast<double>(read);
    state.counters["report_ms"] = total / it * 1e3;
    state.counters["floor_ms"] = floor / it * 1e3;
    state.counters["vs_floor"] = total / floor;
    state.counters["vs_floor_cpu"] = totalCpu / floorCpu;
    state.counters["first_report_ms"] = held.firstReport * 1e3;
}

} // namespace

BENCHMARK(BM_Report)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(20);

BENCHMARK_MAIN();
