// soak: many providers of one process at once, as in a multi-threaded host server, on a fixture
// server built in a temporary folder with its web task and router running. Each thread owns one
// provider and never calls it from another thread (the host's rule: calls on one provider must not
// overlap); everything the providers share - the Notes runtime and its pools, the class factory,
// the throw-all-errors mode, the log, the web task and the router - is exercised at once. At the end
// every message sent must sit in its recipient's inbox exactly once, and every contact, list and
// to-do made and not deleted must be listed once, as last saved.
#include "PluginHost.h"

#include "domino/router.h"
#include "domino/webserver.h"

#include "admin.h" // nsfadmin

#include "Lattice/Logger.h"
#include "Lattice/Settings.h"
#include "hxMail/Calendar.h"
#include "hxMail/Contact.h"
#include "hxMail/Folder.h"
#include "hxMail/Message.h"
#include "hxMail/Task.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <mutex>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kSeededMemos = 12;   // in each inbox before the soak
constexpr int kSeededContacts = 3; // in each personal address book, never deleted by the soak
constexpr int kSeededTasks = 3;    // in each mail file

struct User {
    std::string shortName, fullName, password;
};

// One message a thread sent, to check its delivery at the end.
struct Sent {
    std::string subject;
    std::size_t recipient; // index into the users
};

struct Shared {
    std::vector<User> users;
    std::mutex sentMutex;
    std::vector<Sent> sent;
    std::atomic<bool> stop{false};
    std::mutex failMutex;
    std::vector<std::string> failures;

    long failed = 0;

    void fail(const std::string& what) {
        std::lock_guard<std::mutex> lock(failMutex);
        if (++failed <= 20)
            failures.push_back(what);
    }
};

std::string seedAddress(std::size_t user, int contact) {
    return "seed" + std::to_string(contact) + ".u" + std::to_string(user + 1) + "@partner.example";
}

std::string fixtureJson(const std::vector<User>& users) {
    std::ostringstream out;
    out << R"({"servers": [{"name": "CN=Mail1/O=Acme", "domain": "Acme", "people": [)";
    for (std::size_t i = 0; i < users.size(); ++i) {
        const User& u = users[i];
        const User& from = users[(i + 1) % users.size()];
        out << (i ? "," : "") << R"({"fullName": ")" << u.fullName << R"(", "shortName": ")" << u.shortName
            << R"(", "password": ")" << u.password << R"(", "mail": [)";
        for (int m = 0; m < kSeededMemos; ++m) {
            out << (m ? "," : "") << R"({"from": ")" << from.fullName << R"(", "to": [")" << u.fullName
                << R"("], "subject": "Seed )" << m << R"(", "body": "Seed body )" << m
                << R"(\n\nRegards", "daysAgo": )" << (0.3 * m + 0.1)
                << (m % 3 == 0 ? R"(, "attachments": ["budget.xlsx"])" : "") << "}";
        }
        for (int t = 0; t < kSeededTasks; ++t)
            out << R"(,{"kind": "task", "subject": "Seed task )" << t << R"(", "dueInDays": )" << t + 1
                << (t == 0 ? R"(, "completed": true)" : "") << "}";
        out << R"(], "calendar": [{"subject": "Standup", "inDays": 1, "start": "09:00", "end": "09:15"}],)"
            << R"( "addressBook": {"contacts": [)";
        for (int c = 0; c < kSeededContacts; ++c)
            out << (c ? "," : "") << R"({"fullName": "Seed Contact )" << c << R"(", "internetAddress": ")"
                << seedAddress(i, c) << R"("})";
        out << "]}}";
    }
    out << "]}]}";
    return out.str();
}

// The operations, drawn by weight; each row is one host call sequence on the thread's own provider.
// Edits and deletions work on what this thread made itself, so that the other thread of the same
// user cannot make the end check's expectations a race; reads see everything in the user's files.
enum class Op {
    Browse,
    Sort,
    Open,
    Draft,
    Send,
    Calendar,
    Changes,
    ContactList,
    ContactAdd,
    ContactEdit,
    ContactDelete,
    ListAddRead,
    TaskList,
    TaskAdd,
    TaskEdit,
    TaskComplete,
    TaskDelete,
};
struct OpRow {
    Op op;
    const char* name;
    int weight;
};
constexpr OpRow kOps[] = {
    {Op::Browse, "browse", 6},
    {Op::Sort, "sort", 3},
    {Op::Open, "open", 5},
    {Op::Draft, "draft", 2},
    {Op::Send, "send", 3},
    {Op::Calendar, "calendar", 2},
    {Op::Changes, "changes", 1},
    {Op::ContactList, "contact-list", 2},
    {Op::ContactAdd, "contact-add", 1},
    {Op::ContactEdit, "contact-edit", 1},
    {Op::ContactDelete, "contact-del", 1},
    {Op::ListAddRead, "dlist", 1},
    {Op::TaskList, "task-list", 2},
    {Op::TaskAdd, "task-add", 1},
    {Op::TaskEdit, "task-edit", 1},
    {Op::TaskComplete, "task-done", 1},
    {Op::TaskDelete, "task-del", 1},
};

// Skipped: nothing of this thread's own to edit or delete yet.
enum class Outcome { Done, Refused, Skipped };

struct OpStat {
    long done = 0, refused = 0, skipped = 0;
    double slowest = 0; // seconds
};

// One thread's counts, and what it made and did not delete, as last saved.
struct Tally {
    std::map<std::string, OpStat> ops;
    std::map<std::string, std::string> contacts; // id -> display name
    std::map<std::string, std::string> lists;    // id -> name
    std::map<std::string, Lattice::Ptr<hxMail::Task>> tasks;
};

class Worker {
public:
    Worker(Shared& shared, hxMail::MailProvider* provider, int thread, std::size_t userIndex)
        : shared_(shared), provider_(provider), thread_(thread), me_(userIndex),
          random_(1000u + static_cast<unsigned>(thread)) {}

    void run(Tally& tally) {
        const User& user = shared_.users[me_];
        if (provider_->login(user.shortName.c_str(), user.password.c_str(), "", 0, 0) != 0) {
            shared_.fail("login failed for " + user.shortName);
            return;
        }
        if (!listFolders())
            return;
        int total = 0;
        for (const OpRow& row : kOps)
            total += row.weight;
        std::uniform_int_distribution<int> pick(0, total - 1);
        tally_ = &tally;
        while (!shared_.stop.load(std::memory_order_relaxed)) {
            int at = pick(random_);
            const OpRow* row = kOps;
            while (at >= row->weight)
                at -= row++->weight;
            const auto began = Clock::now();
            const Outcome outcome = perform(row->op);
            OpStat& stat = tally.ops[row->name];
            ++(outcome == Outcome::Done      ? stat.done
               : outcome == Outcome::Refused ? stat.refused
                                             : stat.skipped);
            stat.slowest =
                std::max(stat.slowest, std::chrono::duration<double>(Clock::now() - began).count());
        }
        provider_->logout();
    }

private:
    bool listFolders() {
        Lattice::Ptr<hxMail::Mailbox> mailbox;
        if (provider_->getMailbox("", mailbox) != 0 || !mailbox) {
            shared_.fail("no mailbox for " + shared_.users[me_].shortName);
            return false;
        }
        if (provider_->getFolders("", mailbox->get_id(), &folders_) != 0) {
            shared_.fail("no folders for " + shared_.users[me_].shortName);
            return false;
        }
        for (const Lattice::Data& d : folders_) {
            auto* f = d.toObject<hxMail::Folder>();
            if (!f)
                continue;
            if (f->folderType() == hxMail::FolderTypeInbox)
                inbox_ = f->get_id().c_str();
            else if (f->folderType() == hxMail::FolderTypeCalendar)
                calendar_ = f->get_id().c_str();
            else if (f->folderType() == hxMail::FolderTypeContacts)
                contacts_ = f->get_id().c_str();
            else if (f->folderType() == hxMail::FolderTypeTasks)
                tasks_ = f->get_id().c_str();
        }
        if (inbox_.empty() || calendar_.empty() || contacts_.empty() || tasks_.empty()) {
            shared_.fail("no inbox, calendar, contacts or tasks folder for " + shared_.users[me_].shortName);
            return false;
        }
        return true;
    }

    bool page(Lattice::ObjectCollection& items) {
        std::uniform_int_distribution<long> start(0, 10);
        return provider_->getFolderItemsPage(inbox_.c_str(), start(random_), 20, &items) == 0;
    }

    static Outcome of(bool ok) { return ok ? Outcome::Done : Outcome::Refused; }

    Outcome perform(Op op) {
        switch (op) {
        case Op::Browse: {
            Lattice::ObjectCollection items;
            return of(page(items));
        }
        case Op::Sort: {
            static const char* columns[] = {"received", "from", "size", "subject"};
            Lattice::String selected;
            if (provider_->setSortContext(columns[random_() % 4], inbox_.c_str(), random_() % 2 == 0, "",
                                          selected) != 0)
                return Outcome::Refused;
            Lattice::ObjectCollection items;
            return of(page(items));
        }
        case Op::Open:
            return of(open());
        case Op::Draft:
            return of(save(false));
        case Op::Send:
            return of(save(true));
        case Op::Calendar:
            return of(calendar());
        case Op::Changes: {
            Lattice::ObjectCollection changes;
            return of(provider_->getChanges(&changes, 0) == 0);
        }
        case Op::ContactList:
            return of(contactList());
        case Op::ContactAdd:
            return of(contactAdd());
        case Op::ContactEdit:
            return contactEdit();
        case Op::ContactDelete:
            return contactDelete();
        case Op::ListAddRead:
            return of(listAddRead());
        case Op::TaskList: {
            Lattice::ObjectCollection items;
            return of(provider_->getFolderItemsPage(tasks_.c_str(), 0, 20, &items) == 0);
        }
        case Op::TaskAdd:
            return of(taskAdd());
        case Op::TaskEdit:
            return taskEdit(false);
        case Op::TaskComplete:
            return taskEdit(true);
        case Op::TaskDelete:
            return taskDelete();
        }
        return Outcome::Refused;
    }

    // An id of this thread's own, at random; empty when there is none.
    template <class Map> std::string pickOwn(const Map& owned) {
        if (owned.empty())
            return {};
        auto it = owned.begin();
        std::advance(it, static_cast<long>(random_() % owned.size()));
        return it->first;
    }

    std::string tag() { return std::to_string(thread_) + "-" + std::to_string(++counter_); }

    Lattice::Ptr<hxMail::ContactDetail> contactDetail(const std::string& name) {
        Lattice::Ptr<hxMail::ContactDetail> detail = new hxMail::ContactDetail();
        detail->set_displayName(name.c_str());
        detail->set_first("Soak");
        detail->set_last(name.substr(name.rfind(' ') + 1).c_str());
        detail->set_company(("Soak Ltd " + std::to_string(thread_)).c_str());
        return detail;
    }

    // A page of the personal address book, and the detail of one contact on it.
    bool contactList() {
        Lattice::ObjectCollection items;
        std::uniform_int_distribution<long> start(0, kSeededContacts - 1);
        if (provider_->getFolderItemsPage(contacts_.c_str(), start(random_), 20, &items) != 0)
            return false;
        std::vector<hxMail::Contact*> rows;
        for (const Lattice::Data& d : items)
            if (auto* c = d.toObject<hxMail::Contact>())
                rows.push_back(c);
        if (rows.empty()) {
            shared_.fail("a page of " + shared_.users[me_].shortName + "'s contacts lists none");
            return false;
        }
        const std::string id = rows[random_() % rows.size()]->get_id().c_str();
        Lattice::Ptr<hxMail::ContactDetail> detail = new hxMail::ContactDetail();
        if (provider_->contactProvider()->getContactDetail(id.c_str(), detail) != 0)
            return false;
        // Only this thread changes its own contacts, so their detail is known here.
        const auto own = tally_->contacts.find(id);
        if (own != tally_->contacts.end() && own->second != detail->get_displayName().c_str())
            shared_.fail("contact " + id + " reads as '" + detail->get_displayName().c_str() + "', not '" +
                         own->second + "'");
        return true;
    }

    bool contactAdd() {
        const std::string name = "Soak Contact " + tag();
        Lattice::Ptr<hxMail::Contact> contact = new hxMail::Contact();
        contact->set_fileAsName(name.c_str());
        contact->set_eMail1(
            ("contact" + std::to_string(counter_) + ".t" + std::to_string(thread_) + "@soak.example")
                .c_str());
        if (provider_->contactProvider()->addContact("", contact, contactDetail(name)) != 0 ||
            contact->get_id().isEmpty()) {
            shared_.fail("adding " + name + " failed");
            return false;
        }
        tally_->contacts[contact->get_id().c_str()] = name;
        return true;
    }

    Outcome contactEdit() {
        const std::string id = pickOwn(tally_->contacts);
        if (id.empty())
            return Outcome::Skipped;
        const std::string name = "Soak Contact " + tag();
        Lattice::Ptr<hxMail::Contact> contact = new hxMail::Contact();
        contact->set_id(id.c_str());
        contact->set_fileAsName(name.c_str());
        bool flag = false;
        if (provider_->contactProvider()->saveContact(contact, contactDetail(name), flag) != 0 || !flag) {
            shared_.fail("saving contact " + id + " failed");
            return Outcome::Refused;
        }
        tally_->contacts[id] = name;
        return Outcome::Done;
    }

    Outcome contactDelete() {
        const std::string id = pickOwn(tally_->contacts);
        if (id.empty())
            return Outcome::Skipped;
        if (provider_->contactProvider()->removeContact(id.c_str()) != 0) {
            shared_.fail("removing contact " + id + " failed");
            return Outcome::Refused;
        }
        tally_->contacts.erase(id);
        return Outcome::Done;
    }

    // A list of two seeded contacts and another user made, then found in a full listing with its
    // members resolved; half of them are deleted again.
    bool listAddRead() {
        const std::string name = "Soak List " + tag();
        Lattice::Ptr<hxMail::DistributionList> list = new hxMail::DistributionList();
        list->set_name(name.c_str());
        list->set_text("made by the soak");
        const std::string members[] = {seedAddress(me_, 0), seedAddress(me_, 1),
                                       shared_.users[(me_ + 1) % shared_.users.size()].fullName};
        for (const std::string& m : members) {
            Lattice::Ptr<hxMail::Recipient> r = new hxMail::Recipient();
            r->set_emailAddress(m.c_str());
            list->get_memberList()->add(Lattice::Data(r));
        }
        bool flag = false;
        hxMail::ContactProvider* contacts = provider_->contactProvider();
        if (contacts->addDistributionList("", list, flag) != 0 || list->get_id().isEmpty()) {
            shared_.fail("adding " + name + " failed");
            return false;
        }
        const std::string id = list->get_id().c_str();
        Lattice::ObjectCollection items;
        if (provider_->getFolderItemsPage(contacts_.c_str(), 0, 1000000, &items) != 0)
            return false;
        int found = 0;
        for (const Lattice::Data& d : items)
            if (auto* l = d.toObject<hxMail::DistributionList>(); l && l->get_id() == id.c_str()) {
                ++found;
                if (l->get_name() != name.c_str() || l->get_memberList()->count() != 3)
                    shared_.fail(name + " reads back as '" + l->get_name().c_str() + "' with " +
                                 std::to_string(l->get_memberList()->count()) + " members");
            }
        if (found != 1)
            shared_.fail(name + " is listed " + std::to_string(found) + " times");
        if (random_() % 2 == 0)
            return contacts->removeContact(id.c_str()) == 0;
        tally_->lists[id] = name;
        return true;
    }

    bool taskAdd() {
        Lattice::Ptr<hxMail::Task> task = new hxMail::Task();
        task->set_subject(("Soak task " + tag()).c_str());
        task->set_importance(static_cast<long>(random_() % 3));
        Lattice::_DateData due;
        due.setFullYear(2027);
        due.month = static_cast<short>(1 + random_() % 12);
        due.day = static_cast<short>(1 + random_() % 28);
        task->set_dueDate(due);
        Lattice::Ptr<hxMail::TaskDetail> detail = new hxMail::TaskDetail();
        if (provider_->taskProvider()->addTask("", task, detail) != 0 || task->get_id().isEmpty()) {
            shared_.fail("adding " + std::string(task->get_subject().c_str()) + " failed");
            return false;
        }
        tally_->tasks[task->get_id().c_str()] = task;
        return true;
    }

    // A new subject and importance, or the to-do marked done.
    Outcome taskEdit(bool complete) {
        const std::string id = pickOwn(tally_->tasks);
        if (id.empty())
            return Outcome::Skipped;
        const Lattice::Ptr<hxMail::Task>& task = tally_->tasks[id];
        if (complete)
            task->set_complete(true);
        else {
            task->set_subject(("Soak task " + tag()).c_str());
            task->set_importance(static_cast<long>(random_() % 3));
        }
        bool flag = true;
        if (provider_->taskProvider()->saveTask(task, new hxMail::TaskDetail(), flag) != 0) {
            shared_.fail("saving to-do " + id + " failed");
            return Outcome::Refused;
        }
        return Outcome::Done;
    }

    Outcome taskDelete() {
        const std::string id = pickOwn(tally_->tasks);
        if (id.empty())
            return Outcome::Skipped;
        Lattice::ObjectCollection ids;
        ids.add(Lattice::Data(Lattice::String(id.c_str())));
        bool done = false;
        if (provider_->deleteItems(tasks_.c_str(), ids, false, done) != 0 || !done) {
            shared_.fail("deleting to-do " + id + " failed");
            return Outcome::Refused;
        }
        tally_->tasks.erase(id);
        return Outcome::Done;
    }

    bool open() {
        Lattice::ObjectCollection items;
        if (!page(items) || items.count() == 0)
            return false;
        auto* item = items.at(static_cast<long>(random_() % static_cast<unsigned>(items.count())))
                         .toObject<hxMail::MessageItem>();
        if (!item)
            return false;
        hxMail::MessageProvider* messages = provider_->messageProvider();
        Lattice::Ptr<hxMail::MessageDetail> detail = new hxMail::MessageDetail();
        if (messages->getMessageDetail(item->get_id(), "html", detail) != 0)
            return false;
        for (long i = 0; i < detail->get_attachments()->count(); ++i) {
            hxMail::Attachment* file = detail->get_attachments()->at(i);
            Lattice::Ptr<Lattice::BaseObject64> data;
            if (messages->loadAttachmentData(file->get_id(), file->get_attachNum(), data) != 0) {
                shared_.fail("attachment " + std::string(file->get_fileName().c_str()) + " of " +
                             item->get_id().c_str() + " did not load");
                return false;
            }
        }
        return true;
    }

    // A draft saved, or a message sent to another user (now and then to both users of one name).
    bool save(bool send) {
        const std::size_t to = (me_ + 1 + random_() % (shared_.users.size() - 1)) % shared_.users.size();
        const User& recipient = shared_.users[to];
        const std::string subject = std::string(send ? "Soak " : "Draft ") + std::to_string(thread_) + "-" +
                                    std::to_string(++counter_);
        Lattice::Ptr<hxMail::Message> message = new hxMail::Message();
        Lattice::Ptr<hxMail::MessageDetail> detail = new hxMail::MessageDetail();
        message->set_subject(subject.c_str());
        Lattice::Ptr<hxMail::Recipient> r = new hxMail::Recipient();
        r->set_displayName(recipient.shortName.c_str());
        r->set_smtpAddress(recipient.fullName.c_str());
        r->set_emailAddress(recipient.fullName.c_str());
        detail->get_to()->add(r);
        detail->set_textType("html");
        detail->get_body()->set_text(("<p>From the soak: <b>" + subject + "</b></p>").c_str());
        hxMail::MessageProvider* messages = provider_->messageProvider();
        if (!send) {
            Lattice::String id;
            Lattice::Ptr<hxMail::Attachments> unused;
            return messages->saveMessage(message, detail, id, unused) == 0 && !id.isEmpty();
        }
        if (messages->sendMessage(message, detail, "") != 0) {
            shared_.fail("sending " + subject + " failed");
            return false;
        }
        std::lock_guard<std::mutex> lock(shared_.sentMutex);
        shared_.sent.push_back({subject, to});
        return true;
    }

    bool calendar() {
        hxMail::CalendarProvider* cal = provider_->calendarProvider();
        Lattice::ObjectCollection listed;
        Lattice::_DateData from, to;
        from.setFullYear(2020);
        from.month = from.day = 1;
        to.setFullYear(2040);
        to.month = 12;
        to.day = 31;
        if (cal->getAppointmentRange(calendar_.c_str(), from, to, true, &listed) != 0)
            return false;
        Lattice::Ptr<hxMail::Appointment> a = new hxMail::Appointment();
        a->set_subject(("Soak meeting " + std::to_string(++counter_)).c_str());
        Lattice::_DateTimeData start;
        start.setFullYear(2027);
        start.month = static_cast<short>(1 + random_() % 12);
        start.day = static_cast<short>(1 + random_() % 28);
        start.hour = static_cast<short>(8 + random_() % 8);
        Lattice::_DateTimeData end = start;
        end.hour = static_cast<short>(start.hour + 1);
        a->set_startDate(start);
        a->set_endDate(end);
        Lattice::Ptr<hxMail::AppointmentDetail> detail = new hxMail::AppointmentDetail();
        if (cal->addAppointment(calendar_.c_str(), a, detail, "") != 0 || a->get_id().isEmpty())
            return false;
        // Half of them go again, so the calendar neither only grows nor stays empty.
        if (random_() % 2 == 0) {
            bool removed = false;
            return cal->removeAppointment(a->get_id(), false, false, removed) == 0 && removed;
        }
        return true;
    }

    Shared& shared_;
    hxMail::MailProvider* provider_;
    int thread_;
    std::size_t me_;
    std::mt19937 random_;
    Lattice::ObjectCollection folders_;
    std::string inbox_, calendar_, contacts_, tasks_;
    long counter_ = 0;
    Tally* tally_ = nullptr;
};

// What one user's files hold at the end, read through a fresh provider.
struct Stored {
    std::map<std::string, int> inbox; // soak subject -> copies
    long inboxTotal = 0;
    // id -> the name or subject of each row listing it (more than one: listed twice)
    std::map<std::string, std::vector<std::string>> contacts, lists;
    std::map<std::string, std::vector<std::pair<std::string, bool>>> tasks; // subject, complete
    long contactRows = 0, listRows = 0, taskRows = 0;
};

Stored readBack(hxhost::MailProviderFactory* factory, const User& user, Shared& shared) {
    Stored out;
    hxMail::MailProvider* provider = factory->createProvider();
    provider->addRef();
    Lattice::Ptr<hxMail::Mailbox> mailbox;
    Lattice::ObjectCollection folders;
    if (provider->login(user.shortName.c_str(), user.password.c_str(), "", 0, 0) != 0 ||
        provider->getMailbox("", mailbox) != 0 ||
        provider->getFolders("", mailbox->get_id(), &folders) != 0) {
        shared.fail("cannot read the files of " + user.shortName);
    }
    for (const Lattice::Data& d : folders) {
        auto* f = d.toObject<hxMail::Folder>();
        const hxMail::_FolderType type = f ? f->folderType() : hxMail::FolderTypeNone;
        if (type != hxMail::FolderTypeInbox && type != hxMail::FolderTypeContacts &&
            type != hxMail::FolderTypeTasks)
            continue;
        // One page from the first entry with a count past any folder: both sort directions hand out
        // every entry once (pages of an ascending folder run to start + count inclusive, so
        // stepping through them would see each boundary entry twice).
        Lattice::ObjectCollection items;
        if (provider->getFolderItemsPage(f->get_id(), 0, 1000000, &items) != 0)
            shared.fail("cannot list " + std::string(f->get_displayName().c_str()) + " of " + user.shortName);
        for (const Lattice::Data& i : items) {
            if (type == hxMail::FolderTypeInbox) {
                ++out.inboxTotal;
                if (auto* m = i.toObject<hxMail::MessageItem>()) {
                    const std::string subject = m->get_subject().c_str();
                    if (subject.rfind("Soak ", 0) == 0)
                        ++out.inbox[subject];
                }
            } else if (auto* c = i.toObject<hxMail::Contact>()) {
                ++out.contactRows;
                out.contacts[c->get_id().c_str()].push_back(c->get_fileAsName().c_str());
            } else if (auto* l = i.toObject<hxMail::DistributionList>()) {
                ++out.listRows;
                out.lists[l->get_id().c_str()].push_back(l->get_name().c_str());
            } else if (auto* t = i.toObject<hxMail::Task>()) {
                ++out.taskRows;
                out.tasks[t->get_id().c_str()].push_back({t->get_subject().c_str(), t->get_complete()});
            }
        }
    }
    provider->logout();
    provider->release();
    return out;
}

// Every contact, list and to-do that `user`'s threads made and did not delete is listed once, as
// last saved, and nothing else of the soak's is.
void checkItems(const std::string& user, const Stored& stored, const Tally& made, Shared& shared) {
    auto once = [&](const char* kind, const std::string& id, std::size_t rows) {
        if (rows != 1)
            shared.fail(std::string(kind) + " " + id + " of " + user + " is listed " + std::to_string(rows) +
                        " times");
        return rows == 1;
    };
    auto count = [&](const char* kind, long rows, std::size_t expected) {
        if (rows != static_cast<long>(expected))
            shared.fail(user + " has " + std::to_string(rows) + " " + kind + ", not " +
                        std::to_string(expected));
    };
    for (const auto& [id, name] : made.contacts) {
        const auto it = stored.contacts.find(id);
        if (once("contact", id, it == stored.contacts.end() ? 0 : it->second.size()) && it->second[0] != name)
            shared.fail("contact " + id + " of " + user + " is listed as '" + it->second[0] + "', not '" +
                        name + "'");
    }
    for (const auto& [id, name] : made.lists) {
        const auto it = stored.lists.find(id);
        if (once("list", id, it == stored.lists.end() ? 0 : it->second.size()) && it->second[0] != name)
            shared.fail("list " + id + " of " + user + " is listed as '" + it->second[0] + "'");
    }
    for (const auto& [id, task] : made.tasks) {
        const auto it = stored.tasks.find(id);
        if (once("to-do", id, it == stored.tasks.end() ? 0 : it->second.size()) &&
            (it->second[0].first != task->get_subject().c_str() ||
             it->second[0].second != task->get_complete()))
            shared.fail("to-do " + id + " of " + user + " is listed as '" + it->second[0].first + "'" +
                        (it->second[0].second ? " (done)" : "") + ", not as last saved");
    }
    count("contacts", stored.contactRows, kSeededContacts + made.contacts.size());
    count("lists", stored.listRows, made.lists.size());
    count("to-dos", stored.taskRows, kSeededTasks + made.tasks.size());
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"soak: N mail providers on N threads of one process against a fixture server with its\n"
                 "web task and router, for a set time; then checks that every message sent was delivered\n"
                 "exactly once and every contact, list and to-do kept is listed once, as last saved.\n"
                 "Exit code 0 when everything held, 1 otherwise."};
    int seconds = 30;
    int threads = 8;
    std::string plugin = HX_PLUGIN_PATH;
    bool keep = false;
    app.add_option("--seconds", seconds, "how long the providers work")->check(CLI::Range(1, 86400));
    // Three at least: with two, both share the one user and nobody else can be written to.
    app.add_option("--threads", threads, "providers, one thread each; two of them share a user")
        ->check(CLI::Range(3, 64));
    app.add_option("--plugin", plugin, "the plug-in to load")->capture_default_str();
    app.add_flag("--keep", keep, "keep the data folder for a look afterwards");
    CLI11_PARSE(app, argc, argv);

    char tmpl[] = "/tmp/hxsoak-XXXXXX";
    if (!mkdtemp(tmpl)) {
        std::cerr << "soak: cannot make a temporary folder\n";
        return 1;
    }
    const std::string dir = tmpl;
    setenv("NOTES_DATA_DIR", dir.c_str(), 1);
    Lattice::Logger::setLogFolder(dir.c_str());

    Shared shared;
    // One user fewer than threads: the last thread works as the first user in a provider of its own.
    for (int i = 0; i + 1 < threads; ++i) {
        const std::string n = std::to_string(i + 1);
        shared.users.push_back({"user" + n, "CN=Soak User" + n + "/O=Acme", "soak-password-" + n});
    }
    {
        std::ofstream(dir + "/server.json") << fixtureJson(shared.users);
        std::ostringstream out, err;
        nsfadmin::Admin admin(dir, out, err);
        // Sent mail waits in mail.box for the router.
        if (admin.seed(dir + "/server.json") != 0 ||
            admin.dbCreate({"Mail1", "mail.box"}, "Mail router") != 0) {
            std::cerr << "soak: the fixture did not seed: " << err.str();
            return 1;
        }
    }

    domino::WebServer web(dir, domino::Options{});
    web.start(0);
    Lattice::Settings::set("http.connectTo", "Mail1:80=127.0.0.1:" + std::to_string(web.port()));

    hxhost::PluginHost host(plugin);
    if (!host.load()) {
        std::cerr << "soak: " << host.error() << "\n";
        return 1;
    }
    // The router starts after the first provider: the Notes runtime is up by then.
    std::vector<hxMail::MailProvider*> providers;
    for (int i = 0; i < threads; ++i) {
        hxMail::MailProvider* p = host.factory()->createProvider();
        p->addRef();
        providers.push_back(p);
    }
    domino::Router router("Mail1", dir);
    router.start(std::chrono::milliseconds(250));

    std::vector<Tally> tallies(static_cast<std::size_t>(threads));
    std::vector<std::thread> pool;
    const auto began = Clock::now();
    for (int i = 0; i < threads; ++i) {
        pool.emplace_back([&, i] {
            const std::size_t user = static_cast<std::size_t>(i) % shared.users.size();
            Worker(shared, providers[static_cast<std::size_t>(i)], i, user)
                .run(tallies[static_cast<std::size_t>(i)]);
        });
    }
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    shared.stop = true;
    for (std::thread& t : pool)
        t.join();
    const double worked = std::chrono::duration<double>(Clock::now() - began).count();
    for (hxMail::MailProvider* p : providers)
        p->release();

    // Whatever still waits is delivered now, on this thread.
    router.stop();
    for (int round = 0; round < 20 && !router.waiting().empty(); ++round)
        router.routeOnce();
    if (!router.waiting().empty())
        shared.fail(std::to_string(router.waiting().size()) + " memos still wait in mail.box");

    std::map<std::string, Stored> stored;
    for (const User& u : shared.users)
        stored[u.shortName] = readBack(host.factory(), u, shared);
    long delivered = 0;
    std::map<std::string, int> expected;
    std::map<std::string, long> expectedTotals;
    for (const Sent& s : shared.sent) {
        ++expected[shared.users[s.recipient].shortName + "\n" + s.subject];
        ++expectedTotals[shared.users[s.recipient].shortName];
    }
    // Nothing but the seeded memos and what was sent: no copy lost, doubled or strayed.
    for (const User& u : shared.users)
        if (stored[u.shortName].inboxTotal != kSeededMemos + expectedTotals[u.shortName])
            shared.fail(u.shortName + "'s inbox holds " + std::to_string(stored[u.shortName].inboxTotal) +
                        " memos, not " + std::to_string(kSeededMemos + expectedTotals[u.shortName]));
    for (const auto& [key, count] : expected) {
        const std::string user = key.substr(0, key.find('\n'));
        const std::string subject = key.substr(key.find('\n') + 1);
        const int got = stored[user].inbox[subject];
        if (got != count)
            shared.fail(subject + " is in " + user + "'s inbox " + std::to_string(got) + " times");
        delivered += got;
    }
    for (const auto& [user, files] : stored)
        for (const auto& [subject, count] : files.inbox)
            if (!expected.count(user + "\n" + subject))
                shared.fail(subject + " reached " + user + " but was never sent to them");

    // What the threads of one user made, together: two threads share the first user.
    std::map<std::string, Tally> made;
    for (int i = 0; i < threads; ++i) {
        const Tally& t = tallies[static_cast<std::size_t>(i)];
        Tally& m = made[shared.users[static_cast<std::size_t>(i) % shared.users.size()].shortName];
        m.contacts.insert(t.contacts.begin(), t.contacts.end());
        m.lists.insert(t.lists.begin(), t.lists.end());
        m.tasks.insert(t.tasks.begin(), t.tasks.end());
    }
    long items = 0;
    for (const User& u : shared.users) {
        checkItems(u.shortName, stored[u.shortName], made[u.shortName], shared);
        items += static_cast<long>(made[u.shortName].contacts.size() + made[u.shortName].lists.size() +
                                   made[u.shortName].tasks.size());
    }

    std::map<std::string, OpStat> total;
    for (const Tally& t : tallies)
        for (const auto& [k, v] : t.ops) {
            OpStat& sum = total[k];
            sum.done += v.done;
            sum.refused += v.refused;
            sum.skipped += v.skipped;
            sum.slowest = std::max(sum.slowest, v.slowest);
        }
    long ops = 0;
    std::printf("soak: %d providers, %zu users, %.0f s\n", threads, shared.users.size(), worked);
    std::printf("  %-13s %8s %8s %8s %10s\n", "operation", "done", "refused", "skipped", "slowest");
    for (const OpRow& row : kOps) {
        const OpStat& s = total[row.name];
        std::printf("  %-13s %8ld %8ld %8ld %8.0f ms\n", row.name, s.done, s.refused, s.skipped,
                    s.slowest * 1000);
        ops += s.done + s.refused + s.skipped;
    }
    for (int i = 0; i < threads; ++i) {
        const Tally& t = tallies[static_cast<std::size_t>(i)];
        long n = 0;
        std::string slowName = "-";
        double slow = 0;
        for (const auto& [k, v] : t.ops) {
            n += v.done + v.refused + v.skipped;
            if (v.slowest > slow) {
                slow = v.slowest;
                slowName = k;
            }
        }
        std::printf("  thread %d (%s): %ld operations, slowest %s %.0f ms\n", i,
                    shared.users[static_cast<std::size_t>(i) % shared.users.size()].shortName.c_str(), n,
                    slowName.c_str(), slow * 1000);
    }
    std::printf(
        "soak: %ld operations, %zu messages sent, %ld delivered, %ld contacts, lists and to-dos kept\n", ops,
        shared.sent.size(), delivered, items);
    web.stop();
    if (!keep) {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    } else {
        std::printf("soak: data kept in %s\n", dir.c_str());
    }
    for (const std::string& f : shared.failures)
        std::fprintf(stderr, "soak: %s\n", f.c_str());
    if (shared.failed > 0)
        std::fprintf(stderr, "soak: FAILED, %ld problems\n", shared.failed);
    return shared.failed == 0 ? 0 : 1;
}
