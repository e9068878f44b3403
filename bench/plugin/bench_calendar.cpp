// The calendar of a large mail file: a one-week getAppointmentRange on a file of 20,000 entries over
// five years and on one of 2,000 entries over half a year (the same number of entries a week), each
// beside its floor measured in the same run: opening the same entries and reading the items a
// listed appointment shows straight from the store through the C API. The week's time should not
// depend on the size of the file. Also free/busy of 20 users over a month.
#include "BenchFolder.h"
#include "admin.h"
#include "appointment.h"
#include "hxMail/Calendar.h"
#include "hxMail/Folder.h"
#include "hxMail/Providers.h"
#include "notes/NotesFolder.h"
#include "notes/capi.h"
#include "notes/lncpp.h"
#include "runtime.h"
#include "store.h"

#include "Lattice/Base.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

const char* const kServer = "CN=Mail1/O=Acme";
constexpr int kStartYear = 2022;

struct Mailfile {
    long entries = 0;
    int days = 0;                             // over how many days they are spread
    std::map<int, std::vector<NOTEID>> byDay; // day number from 1 January of kStartYear
};

// Writes `count` entries spread evenly over `days`, working hours, one transaction.
void fill(const char* user, Mailfile& file) {
    LNNotesSession session;
    session.Init();
    LNDatabase db;
    if (session.GetDatabase((std::string("mail/") + user).c_str(), &db, kServer) != LNNOERROR ||
        db.Open() != LNNOERROR)
        std::abort();
    auto store = notes::handles::database(db.GetDatabaseHandle());
    store->beginBatch();
    for (long i = 0; i < file.entries; ++i) {
        const int day = static_cast<int>(i * file.days / file.entries);
        int y = 0, m = 0, d = 0;
        notes::civilFromDays(notes::daysFromCivil(kStartYear, 1, 1) + day, &y, &m, &d);
        char start[32], end[32];
        const int hour = 8 + static_cast<int>(i % 9);
        std::snprintf(start, sizeof start, "%04d-%02d-%02d %02d:00", y, m, d, hour);
        std::snprintf(end, sizeof end, "%04d-%02d-%02d %02d:45", y, m, d, hour);
        nsfadmin::AppointmentEntry e;
        e.subject = "Entry " + std::to_string(i);
        e.start = start;
        e.end = end;
        e.location = "Room " + std::to_string(i % 20);
        LNDatetimeRange range;
        std::string error;
        LNDocument doc;
        if (!nsfadmin::appointmentRange(e, &range, &error) ||
            nsfadmin::writeAppointment(db, e, range, &doc) != LNNOERROR || doc.Save() != LNNOERROR)
            std::abort();
        file.byDay[day].push_back(doc.GetNoteID());
    }
    store->endBatch(true);
    db.Close();
    session.Term();
}

struct Server {
    BenchFolder folder{"calendar"};
    std::map<std::string, Mailfile> files{{"small", {2000, 182, {}}}, {"large", {20000, 5 * 365, {}}}};

    Server() {
        folder.addServer(kServer);
        for (auto& [user, file] : files) {
            folder.addUser(kServer, "CN=" + user + " user/O=Acme", user, user + "@acme.example",
                           "bench-password");
            fill(user.c_str(), file);
        }
    }
};

Server& server() {
    static Server s;
    return s;
}

struct Session {
    Lattice::Ptr<hxMail::MailProvider> provider;
    Lattice::String calendar;
};

Session& session(const std::string& user) {
    static std::map<std::string, Session> sessions;
    Session& s = sessions[user];
    if (s.provider)
        return s;
    server();
    s.provider = static_cast<hxMail::MailProvider*>(Lattice::ClassFactory::create("MailProvider"));
    if (s.provider->login(user.c_str(), "bench-password", "", 0, 0) != 0)
        std::abort();
    Lattice::Ptr<hxMail::Mailbox> mailbox;
    s.provider->getMailbox("", mailbox);
    Lattice::ObjectCollection folders;
    s.provider->getFolders("", mailbox->get_id(), &folders);
    for (const Lattice::Data& d : folders)
        if (auto* f = d.toObject<hxMail::Folder>(); f && f->get_displayName() == "Calendar")
            s.calendar = f->get_id();
    return s;
}

// The floor of one entry: open it and read the items a listed appointment shows.
void readEntry(DBHANDLE db, NOTEID id) {
    NOTEHANDLE h = NULLHANDLE;
    if (NSFNoteOpen(db, id, 0, &h) != NOERROR)
        return;
    for (const char* item :
         {"Subject", "StartDateTime", "EndDateTime", "AppointmentType", "Location", "PenciledIn"}) {
        BLOCKID block{};
        WORD type = 0;
        DWORD len = 0;
        benchmark::DoNotOptimize(
            NSFItemInfo(h, item, static_cast<WORD>(std::strlen(item)), nullptr, &type, &block, &len));
    }
    NSFNoteClose(h);
}

// args: file (0 small, 1 large)
void BM_Week(benchmark::State& state) {
    const std::string user = state.range(0) ? "large" : "small";
    Session& s = session(user);
    const Mailfile& file = server().files[user];
    // A Monday-to-Sunday week in the middle of the entries.
    const int first = file.days / 2 - (file.days / 2) % 7;
    std::vector<NOTEID> week;
    for (int day = first; day < first + 7; ++day)
        if (auto it = file.byDay.find(day); it != file.byDay.end())
            week.insert(week.end(), it->second.begin(), it->second.end());
    auto date = [](int day) {
        int y = 0, m = 0, d = 0;
        notes::civilFromDays(notes::daysFromCivil(kStartYear, 1, 1) + day, &y, &m, &d);
        Lattice::_DateData out;
        out.setFullYear(y);
        out.month = static_cast<short>(m);
        out.day = static_cast<short>(d);
        return out;
    };
    double total = 0, floor = 0;
    long items = 0;
    for (auto _ : state) {
        Lattice::ObjectCollection out;
        auto start = std::chrono::steady_clock::now();
        s.provider->calendarProvider()->getAppointmentRange(s.calendar, date(first), date(first + 6), true,
                                                            &out);
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        items = out.count();
        start = std::chrono::steady_clock::now();
        DBHANDLE db = NULLHANDLE;
        NSFDbOpen(("Mail1!!mail/" + user).c_str(), &db);
        for (NOTEID id : week)
            readEntry(db, id);
        NSFDbClose(db);
        floor += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    const double it = static_cast<double>(state.iterations());
    state.counters["items"] = static_cast<double>(items);
    state.counters["floor_items"] = static_cast<double>(week.size());
    state.counters["week_ms"] = total / it * 1e3;
    state.counters["floor_ms"] = floor / it * 1e3;
    state.counters["vs_floor"] = total / floor;
}

// Free/busy of 20 users over a month of the large file (each user asks for that file's owner, so
// every search reads 20,000-entry data), beside opening the month's entries 20 times from the store.
void BM_FreeBusyMonth(benchmark::State& state) {
    Session& s = session("large");
    const Mailfile& file = server().files["large"];
    const int first = file.days / 2;
    std::vector<NOTEID> month;
    for (int day = first - 1; day < first + 31; ++day) // the provider widens the window by a day
        if (auto it = file.byDay.find(day); it != file.byDay.end())
            month.insert(month.end(), it->second.begin(), it->second.end());
    auto date = [](int day) {
        int y = 0, m = 0, d = 0;
        notes::civilFromDays(notes::daysFromCivil(kStartYear, 1, 1) + day, &y, &m, &d);
        Lattice::_DateData out;
        out.setFullYear(y);
        out.month = static_cast<short>(m);
        out.day = static_cast<short>(d);
        return out;
    };
    Lattice::ObjectCollection users;
    for (int i = 0; i < 20; ++i)
        users.add(Lattice::Data("x---CN=large user/O=Acme"));
    double total = 0, floor = 0;
    long texts = 0;
    for (auto _ : state) {
        Lattice::ObjectCollection out;
        auto start = std::chrono::steady_clock::now();
        s.provider->calendarProvider()->getFreeBusyBlocks(date(first), date(first + 29), users, &out);
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        texts = out.count();
        start = std::chrono::steady_clock::now();
        for (int i = 0; i < 20; ++i) {
            DBHANDLE db = NULLHANDLE;
            NSFDbOpen("Mail1!!mail/large", &db);
            for (NOTEID id : month)
                readEntry(db, id);
            NSFDbClose(db);
        }
        floor += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    const double it = static_cast<double>(state.iterations());
    state.counters["texts"] = static_cast<double>(texts);
    state.counters["freebusy_ms"] = total / it * 1e3;
    state.counters["floor_ms"] = floor / it * 1e3;
    state.counters["vs_floor"] = total / floor;
}

} // namespace

BENCHMARK(BM_FreeBusyMonth)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_Week)->Arg(0)->Arg(1)->ArgNames({"large"})->Unit(benchmark::kMillisecond)->Iterations(20);

BENCHMARK_MAIN();
