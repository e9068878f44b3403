// Browsing a large inbox: a page of 50 at the start, middle and end in both directions, and the
// sort plus page index, on inboxes of 1,000 and 100,000 memos. Each case is reported beside its
// floor measured in the same run: opening the same documents and reading their summary items
// straight from the store through the C API (for the index, also reading the view's note ids).
#include "BenchFolder.h"
#include "admin.h"
#include "hxMail/Folder.h"
#include "hxMail/Providers.h"
#include "notes/NotesFolder.h"

#include "Lattice/Base.h"
#include "Lattice/Logger.h"
#include "notes/capi.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr long kPage = 50;
const char* const kServer = "CN=Mail1/O=Acme";

struct Server {
    BenchFolder folder{"browse"};

    Server() {
        folder.addServer(kServer);
        for (const auto& [user, count] :
             {std::pair<const char*, long long>{"small", 1000}, {"large", 100000}}) {
            folder.addUser(kServer, std::string("CN=") + user + " user/O=Acme", user,
                           std::string(user) + "@acme.example", "bench-password");
            folder.check(user,
                         [&](nsfadmin::Admin& admin) { return admin.genMail(kServer, user, count, 30, 7); });
        }
    }
};

Server& server() {
    static Server s;
    return s;
}

// Every note id of the inbox in arrival order (its collation 5), in one read through the C API.
std::vector<NOTEID> inboxByArrival(DBHANDLE db) {
    NOTEID view = 0;
    HCOLLECTION collection = NULLHANDLE;
    NIFFindView(db, "($Inbox)", &view);
    NIFOpenCollection(db, db, view, 0, NULLHANDLE, &collection, nullptr, nullptr, nullptr, nullptr);
    NIFSetCollation(collection, 5);
    COLLECTIONPOSITION pos{};
    DHANDLE buffer = NULLHANDLE;
    DWORD length = 0, skipped = 0, returned = 0;
    WORD signal = 0;
    NIFReadEntriesExt(collection, &pos, NAVIGATE_NEXT, 1, NAVIGATE_NEXT, NIF_READ_ALL, READ_MASK_NOTEID,
                      &buffer, &length, &skipped, &returned, &signal);
    std::vector<NOTEID> ids;
    if (buffer != NULLHANDLE) {
        const DWORD* p = static_cast<const DWORD*>(OSLockObject(buffer));
        ids.assign(p, p + returned);
        OSUnlockObject(buffer);
        OSMemFree(buffer);
    }
    NIFCloseCollection(collection);
    return ids;
}

// A logged-in provider with its inbox sorted by arrival, per user.
struct Session {
    Lattice::Ptr<hxMail::MailProvider> provider;
    Lattice::String inbox;
    std::vector<NOTEID> ids; // the inbox in arrival order
};

Session& session(const char* user) {
    static std::map<std::string, Session> sessions;
    Session& s = sessions[user];
    if (s.provider)
        return s;
    server();
    s.provider = static_cast<hxMail::MailProvider*>(Lattice::ClassFactory::create("MailProvider"));
    if (const long status = s.provider->login(user, "bench-password", "", 0, 0); status != 0) {
        std::fprintf(stderr, "login of %s refused (%ld)\n", user, status);
        std::abort();
    }
    Lattice::Ptr<hxMail::Mailbox> mailbox;
    s.provider->getMailbox("", mailbox);
    Lattice::ObjectCollection folders;
    s.provider->getFolders("", mailbox->get_id(), &folders);
    s.inbox = folders[0].toObject<hxMail::Folder>()->get_id();
    Lattice::String selected;
    s.provider->setSortContext("received", s.inbox, true, "", selected);

    DBHANDLE db = NULLHANDLE;
    if (NSFDbOpen((std::string("Mail1!!mail/") + user).c_str(), &db) != NOERROR) {
        std::fprintf(stderr, "cannot open the mail file of %s\n", user);
        std::abort();
    }
    s.ids = inboxByArrival(db);
    NSFDbClose(db);
    return s;
}

// The floor of one document: open it and read the summary items a list row shows.
void readSummary(DBHANDLE db, NOTEID id) {
    NOTEHANDLE h = NULLHANDLE;
    if (NSFNoteOpen(db, id, 0, &h) != NOERROR)
        return;
    for (const char* item : {"From", "Subject", "SendTo", "DeliveredDate", "PostedDate", "Importance"}) {
        BLOCKID block{};
        WORD type = 0;
        DWORD len = 0;
        benchmark::DoNotOptimize(
            NSFItemInfo(h, item, static_cast<WORD>(std::strlen(item)), nullptr, &type, &block, &len));
    }
    NSFNoteClose(h);
}

double floorOfIds(const char* user, const std::vector<NOTEID>& ids, bool readView) {
    const auto start = std::chrono::steady_clock::now();
    DBHANDLE db = NULLHANDLE;
    NSFDbOpen((std::string("Mail1!!mail/") + user).c_str(), &db);
    if (readView)
        benchmark::DoNotOptimize(inboxByArrival(db));
    for (NOTEID id : ids)
        readSummary(db, id);
    NSFDbClose(db);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// args: user (0 small, 1 large), where (0 start, 1 middle, 2 end), direction (1 ascending)
void BM_Page(benchmark::State& state) {
    const char* user = state.range(0) ? "large" : "small";
    Session& s = session(user);
    const long n = static_cast<long>(s.ids.size());
    const long where = state.range(1) == 0 ? 0 : state.range(1) == 1 ? n / 2 : n - kPage;
    const bool ascending = state.range(2) != 0;
    Lattice::String selected;
    s.provider->setSortContext("received", s.inbox, ascending, "", selected);
    // Ascending pages hold count + 1 entries; ask for one less so both directions give 50.
    const long count = ascending ? kPage - 1 : kPage;
    std::vector<NOTEID> same;
    for (long i = 0; i < kPage; ++i)
        same.push_back(s.ids[static_cast<std::size_t>(ascending ? where + i : n - 1 - where - i)]);
    double total = 0, floor = 0;
    long items = 0;
    for (auto _ : state) {
        Lattice::ObjectCollection page;
        const auto start = std::chrono::steady_clock::now();
        s.provider->getFolderItemsPage(s.inbox, where, count, &page);
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        items = page.count();
        floor += floorOfIds(user, same, false);
    }
    const double it = static_cast<double>(state.iterations());
    state.counters["items"] = static_cast<double>(items);
    state.counters["page_ms"] = total / it * 1e3;
    state.counters["floor_ms"] = floor / it * 1e3;
    state.counters["vs_floor"] = total / floor;
}

void BM_SortAndIndex(benchmark::State& state) {
    const char* user = state.range(0) ? "large" : "small";
    Session& s = session(user);
    std::vector<NOTEID> bounds;
    const long n = static_cast<long>(s.ids.size());
    for (long first = 0; first < n; first += kPage) {
        bounds.push_back(s.ids[static_cast<std::size_t>(first)]);
        bounds.push_back(s.ids[static_cast<std::size_t>(std::min(first + kPage - 1, n - 1))]);
    }
    double total = 0, floor = 0;
    long labels = 0;
    for (auto _ : state) {
        Lattice::ObjectCollection out;
        Lattice::String selected, type;
        const auto start = std::chrono::steady_clock::now();
        s.provider->setSortContext("received", s.inbox, true, "", selected);
        s.provider->getSortIndex(s.inbox, "", kPage, &out, type, 0);
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        labels = out.count();
        floor += floorOfIds(user, bounds, true);
    }
    const double it = static_cast<double>(state.iterations());
    state.counters["labels"] = static_cast<double>(labels);
    state.counters["index_ms"] = total / it * 1e3;
    state.counters["floor_ms"] = floor / it * 1e3;
    state.counters["vs_floor"] = total / floor;
}

} // namespace

BENCHMARK(BM_Page)
    ->ArgsProduct({{0, 1}, {0, 1, 2}, {1, 0}})
    ->ArgNames({"large", "where", "asc"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);
BENCHMARK(BM_SortAndIndex)->Arg(0)->Arg(1)->ArgNames({"large"})->Unit(benchmark::kMillisecond)->Iterations(3);

BENCHMARK_MAIN();
