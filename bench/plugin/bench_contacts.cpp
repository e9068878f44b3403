// A personal address book of 10,000 contacts and 200 distribution lists of 10 of them each: a page
// of 50 in name order (getFolderItemsPage of the Contacts folder), the page of the 200 lists with
// their members, one contact's detail (getContactDetail) and saving one contact (saveContact),
// each beside its floor measured in the same run: the same documents read or written straight
// through the store with the C API (the view's note ids, then the documents and every mapped item).
// Target: each within 3x its floor.
#include "BenchFolder.h"
#include "contacts/NotesContact.h"
#include "hxMail/Contact.h"
#include "hxMail/Folder.h"
#include "hxMail/Items.h"
#include "hxMail/Providers.h"
#include "notes/capi.h"
#include "runtime.h"
#include "store.h"

#include "Lattice/Base.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace hx = hxMail::hxNotesProvider;

namespace {

const char* const kServer = "CN=Mail1/O=Acme";
const char* const kBook = "Mail1!!pab/jdoe_pab.nsf";
constexpr long kContacts = 10000;
constexpr long kPage = 50;
constexpr long kLists = 200;
constexpr long kListMembers = 10;

// Every item either field map names, once.
std::vector<std::string> mappedItems() {
    std::vector<std::string> out;
    const std::pair<const hx::_contactMapStruct*, long> maps[] = {
        {hx::contactFieldMap, hx::contactFieldMapCount}, {hx::detailFieldMap, hx::detailFieldMapCount}};
    for (const auto& [map, count] : maps)
        for (long i = 0; i < count; ++i)
            if (std::find(out.begin(), out.end(), map[i].item) == out.end())
                out.emplace_back(map[i].item);
    return out;
}

// A text list value: count, lengths, characters.
void appendList(NOTEHANDLE h, const char* name, const std::vector<std::string>& values) {
    std::string out;
    const auto word = [&](std::size_t w) {
        const WORD v = static_cast<WORD>(w);
        out.append(reinterpret_cast<const char*>(&v), sizeof v);
    };
    word(values.size());
    for (const std::string& v : values)
        word(v.size());
    for (const std::string& v : values)
        out += v;
    append(h, name, TYPE_TEXT_LIST, out);
}

std::string value(const std::string& item, long n) {
    if (item == "FullName")
        return "Contact " + std::to_string(100000 + (n * 7919) % kContacts);
    return item + " of " + std::to_string(n);
}

struct Book {
    BenchFolder folder{"contacts"};
    std::vector<NOTEID> ids;
    std::vector<UNID> unids;

    Book() {
        folder.addServer(kServer);
        folder.addUser(kServer, "CN=Jane Doe/O=Acme", "jdoe", "jane.doe@acme.example", "bench-password");
        DBHANDLE hDb = NULLHANDLE;
        if (NSFDbOpen(kBook, &hDb) != NOERROR)
            std::abort();
        auto store = notes::handles::database(hDb);
        store->beginBatch();
        // Creates a note, lets `fill` write its items, saves it and gives its id.
        auto add = [&](const char* form, const std::function<void(NOTEHANDLE)>& fill) {
            NOTEHANDLE h = NULLHANDLE;
            if (NSFNoteCreate(hDb, &h) != NOERROR)
                std::abort();
            append(h, "Form", TYPE_TEXT, form);
            append(h, "Type", TYPE_TEXT, form);
            fill(h);
            if (NSFNoteUpdate(h, 0) != NOERROR)
                std::abort();
            NOTEID id = 0;
            NSFNoteGetInfo(h, _NOTE_ID, &id);
            NSFNoteClose(h);
            return id;
        };
        const std::vector<std::string> items = mappedItems();
        for (long n = 0; n < kContacts; ++n) {
            const NOTEID id = add("Person", [&](NOTEHANDLE h) {
                for (const std::string& item : items)
                    append(h, item.c_str(), TYPE_TEXT, value(item, n));
            });
            ORIGINATORID oid{};
            NSFDbGetNoteInfo(hDb, id, &oid, nullptr, nullptr);
            ids.push_back(id);
            unids.push_back(UNID{oid.File, oid.Note});
        }
        // Lists sort after the contacts ("Team" > "Contact"), so the contacts' page stays as it was.
        for (long n = 0; n < kLists; ++n)
            lists.push_back(add("Group", [&](NOTEHANDLE h) {
                append(h, "GroupType", TYPE_TEXT, "1");
                append(h, "ListName", TYPE_TEXT, "Team " + std::to_string(1000 + n));
                std::vector<std::string> members;
                for (long m = 0; m < kListMembers; ++m)
                    members.push_back(value("FullName", (n * kListMembers + m) % kContacts));
                appendList(h, "Members", members);
            }));
        store->endBatch(true);
        NSFDbClose(hDb);
    }
    std::vector<NOTEID> lists;
};

Book& book() {
    static Book b;
    return b;
}

struct Session {
    Lattice::Ptr<hxMail::MailProvider> provider;
    Lattice::String contacts;
};

Session& session() {
    static Session s;
    if (s.provider)
        return s;
    book();
    s.provider = static_cast<hxMail::MailProvider*>(Lattice::ClassFactory::create("MailProvider"));
    if (s.provider->login("jdoe", "bench-password", "", 0, 0) != 0)
        std::abort();
    Lattice::Ptr<hxMail::Mailbox> mailbox;
    s.provider->getMailbox("", mailbox);
    Lattice::ObjectCollection folders;
    s.provider->getFolders("", mailbox->get_id(), &folders);
    for (const Lattice::Data& d : folders)
        if (auto* f = d.toObject<hxMail::Folder>(); f && f->get_displayName() == "Contacts")
            s.contacts = f->get_id();
    Lattice::String selected;
    s.provider->setSortContext("name", s.contacts, true, "", selected);
    return s;
}

std::string unidText(const UNID& u) {
    char text[33];
    std::snprintf(text, sizeof text, "%08X%08X%08X%08X", static_cast<unsigned>(u.File.Innards[1]),
                  static_cast<unsigned>(u.File.Innards[0]), static_cast<unsigned>(u.Note.Innards[1]),
                  static_cast<unsigned>(u.Note.Innards[0]));
    return text;
}

// The floor of reading one contact: open it and take every mapped item's value.
void readContact(NOTEHANDLE h, const std::vector<std::string>& items) {
    for (const std::string& item : items) {
        BLOCKID block{};
        WORD type = 0;
        DWORD len = 0;
        benchmark::DoNotOptimize(
            NSFItemInfo(h, item.c_str(), static_cast<WORD>(item.size()), nullptr, &type, &block, &len));
    }
}

double seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

void report(benchmark::State& state, double total, double floor, const char* name) {
    const double it = static_cast<double>(state.iterations());
    state.counters[std::string(name) + "_ms"] = total / it * 1e3;
    state.counters["floor_ms"] = floor / it * 1e3;
    state.counters["vs_floor"] = total / floor;
}

// A page of 50 from the middle of the book, in name order.
void BM_PageOf50(benchmark::State& state) {
    Session& s = session();
    const std::vector<std::string> items = mappedItems();
    const long start = kContacts / 2;
    double total = 0, floor = 0;
    long listed = 0;
    for (auto _ : state) {
        Lattice::ObjectCollection out;
        auto t = std::chrono::steady_clock::now();
        // The page runs from `start` to `start + count`, both included.
        s.provider->getFolderItemsPage(s.contacts, start, kPage - 1, &out);
        total += seconds(t);
        listed = out.count();

        t = std::chrono::steady_clock::now();
        DBHANDLE db = NULLHANDLE;
        NOTEID view = 0;
        HCOLLECTION collection = NULLHANDLE;
        NSFDbOpen(kBook, &db);
        NIFFindView(db, "($PeopleGroupsFlat)", &view);
        NIFOpenCollection(db, db, view, 0, NULLHANDLE, &collection, nullptr, nullptr, nullptr, nullptr);
        COLLECTIONPOSITION position{};
        DHANDLE buffer = NULLHANDLE;
        DWORD length = 0, skipped = 0, returned = 0;
        WORD signal = 0;
        NIFReadEntriesExt(collection, &position, NAVIGATE_NEXT, 1, NAVIGATE_NEXT, NIF_READ_ALL,
                          READ_MASK_NOTEID, &buffer, &length, &skipped, &returned, &signal);
        const auto* ids = static_cast<const DWORD*>(OSLockObject(buffer));
        for (long i = start; i < start + kPage && i < static_cast<long>(returned); ++i) {
            NOTEHANDLE h = NULLHANDLE;
            if (NSFNoteOpen(db, ids[i], 0, &h) == NOERROR) {
                readContact(h, items);
                NSFNoteClose(h);
            }
        }
        OSUnlockObject(buffer);
        OSMemFree(buffer);
        NIFCloseCollection(collection);
        NSFDbClose(db);
        floor += seconds(t);
    }
    state.counters["items"] = static_cast<double>(listed);
    report(state, total, floor, "page");
}

// The page of every list with its members, after a first reading.
void BM_ListsWithMembers(benchmark::State& state) {
    Session& s = session();
    double total = 0, floor = 0;
    long listed = 0, members = 0;
    Lattice::ObjectCollection first;
    s.provider->getFolderItemsPage(s.contacts, kContacts, kLists - 1, &first);
    for (auto _ : state) {
        Lattice::ObjectCollection out;
        auto t = std::chrono::steady_clock::now();
        s.provider->getFolderItemsPage(s.contacts, kContacts, kLists - 1, &out);
        total += seconds(t);
        listed = out.count();
        members = 0;
        for (const Lattice::Data& d : out)
            if (auto* list = d.toObject<hxMail::DistributionList>())
                members += list->get_memberList()->count();

        t = std::chrono::steady_clock::now();
        DBHANDLE db = NULLHANDLE;
        NSFDbOpen(kBook, &db);
        for (NOTEID id : book().lists) {
            NOTEHANDLE h = NULLHANDLE;
            if (NSFNoteOpen(db, id, 0, &h) == NOERROR) {
                readContact(h, {"ListName", "ListDescription", "Members"});
                NSFNoteClose(h);
            }
        }
        NSFDbClose(db);
        floor += seconds(t);
    }
    state.counters["items"] = static_cast<double>(listed);
    state.counters["members"] = static_cast<double>(members);
    report(state, total, floor, "lists");
}

// One contact's detail.
void BM_Detail(benchmark::State& state) {
    Session& s = session();
    const std::vector<std::string> items = mappedItems();
    const UNID unid = book().unids[kContacts / 3];
    const Lattice::String id = unidText(unid).c_str();
    double total = 0, floor = 0;
    for (auto _ : state) {
        Lattice::Ptr<hxMail::ContactDetail> detail = new hxMail::ContactDetail();
        auto t = std::chrono::steady_clock::now();
        s.provider->contactProvider()->getContactDetail(id, detail);
        total += seconds(t);
        if (detail->get_displayName().isEmpty())
            std::abort();

        t = std::chrono::steady_clock::now();
        DBHANDLE db = NULLHANDLE;
        NOTEHANDLE h = NULLHANDLE;
        NSFDbOpen(kBook, &db);
        if (NSFNoteOpenByUNID(db, &unid, 0, &h) == NOERROR) {
            readContact(h, items);
            NSFNoteClose(h);
        }
        NSFDbClose(db);
        floor += seconds(t);
    }
    report(state, total, floor, "detail");
}

// Saving one contact with every field set.
void BM_Save(benchmark::State& state) {
    Session& s = session();
    const std::vector<std::string> items = mappedItems();
    const UNID unid = book().unids[kContacts / 4];
    Lattice::Ptr<hxMail::Contact> contact = new hxMail::Contact();
    Lattice::Ptr<hxMail::ContactDetail> detail = new hxMail::ContactDetail();
    contact->set_id(unidText(unid).c_str());
    for (long i = 0; i < hx::contactFieldMapCount; ++i)
        contact->setMemberByPath(hx::contactFieldMap[i].path, Lattice::Data(Lattice::String("saved value")),
                                 false);
    for (long i = 0; i < hx::detailFieldMapCount; ++i)
        detail->setMemberByPath(hx::detailFieldMap[i].path, Lattice::Data(Lattice::String("saved value")),
                                false);
    detail->set_displayName("Contact saved");
    double total = 0, floor = 0;
    long round = 0;
    for (auto _ : state) {
        const std::string text = "value " + std::to_string(++round);
        detail->set_jobTitle(text.c_str());
        bool flag = false;
        auto t = std::chrono::steady_clock::now();
        s.provider->contactProvider()->saveContact(contact, detail, flag);
        total += seconds(t);

        t = std::chrono::steady_clock::now();
        DBHANDLE db = NULLHANDLE;
        NOTEHANDLE h = NULLHANDLE;
        NSFDbOpen(kBook, &db);
        if (NSFNoteOpenByUNID(db, &unid, 0, &h) == NOERROR) {
            for (const std::string& item : items) {
                NSFItemDelete(h, item.c_str(), static_cast<WORD>(item.size()));
                append(h, item.c_str(), TYPE_TEXT, text);
            }
            NSFNoteUpdate(h, 0);
            NSFNoteClose(h);
        }
        NSFDbClose(db);
        floor += seconds(t);
    }
    report(state, total, floor, "save");
}

BENCHMARK(BM_PageOf50)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ListsWithMembers)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Detail)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Save)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
