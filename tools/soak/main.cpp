// soak: many providers of one process at once, as in a multi-threaded host server, on a fixture
// server built in a temporary folder with its web task and router running. Each thread owns one
// provider and never calls it from another thread (the host's rule: calls on one provider must not
// overlap); everything the providers share - the Notes runtime and its pools, the class factory,
// the throw-all-errors mode, the log, the web task and the router - is exercised at once. At the end
// every message sent must sit in its recipient's inbox exactly once.
#include "PluginHost.h"

#include "domino/router.h"
#include "domino/webserver.h"

#include "admin.h" // nsfadmin

#include "Lattice/Logger.h"
#include "Lattice/Settings.h"
#include "hxMail/Calendar.h"
#include "hxMail/Folder.h"
#include "hxMail/Message.h"

#include <CLI/CLI.hpp>

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

constexpr int kSeededMemos = 12; // in each inbox before the soak

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
        out << R"(], "calendar": [{"subject": "Standup", "inDays": 1, "start": "09:00", "end": "09:15"}]})";
    }
    out << "]}]}";
    return out.str();
}

// The operations, drawn by weight. Contacts, tasks and the change report get their rows here when
// those providers land; each row is one host call sequence on the thread's own provider.
enum class Op { Browse, Sort, Open, Draft, Send, Calendar, Changes, Count };
struct OpRow {
    Op op;
    const char* name;
    int weight;
};
constexpr OpRow kOps[] = {
    {Op::Browse, "browse", 6},   {Op::Sort, "sort", 3}, {Op::Open, "open", 5},
    {Op::Draft, "draft", 2},     {Op::Send, "send", 3}, {Op::Calendar, "calendar", 2},
    {Op::Changes, "changes", 1},
    // {Op::Contacts, "contacts", 2}, {Op::Tasks, "tasks", 2}: after the contact and task providers.
};

struct Tally {
    std::map<std::string, long> done, refused;
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
        while (!shared_.stop.load(std::memory_order_relaxed)) {
            int at = pick(random_);
            const OpRow* row = kOps;
            while (at >= row->weight)
                at -= row++->weight;
            const bool ok = perform(row->op);
            ++(ok ? tally.done : tally.refused)[row->name];
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
        }
        if (inbox_.empty() || calendar_.empty()) {
            shared_.fail("no inbox or calendar for " + shared_.users[me_].shortName);
            return false;
        }
        return true;
    }

    bool page(Lattice::ObjectCollection& items) {
        std::uniform_int_distribution<long> start(0, 10);
        return provider_->getFolderItemsPage(inbox_.c_str(), start(random_), 20, &items) == 0;
    }

    bool perform(Op op) {
        switch (op) {
        case Op::Browse: {
            Lattice::ObjectCollection items;
            return page(items);
        }
        case Op::Sort: {
            static const char* columns[] = {"received", "from", "size", "subject"};
            Lattice::String selected;
            if (provider_->setSortContext(columns[random_() % 4], inbox_.c_str(), random_() % 2 == 0, "",
                                          selected) != 0)
                return false;
            Lattice::ObjectCollection items;
            return page(items);
        }
        case Op::Open:
            return open();
        case Op::Draft:
            return save(false);
        case Op::Send:
            return save(true);
        case Op::Calendar:
            return calendar();
        case Op::Changes: {
            Lattice::ObjectCollection changes;
            return provider_->getChanges(&changes, 0) == 0;
        }
        case Op::Count:
            break;
        }
        return false;
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
    std::string inbox_, calendar_;
    long counter_ = 0;
};

// Every soak subject in `user`'s inbox with its count, read through a fresh provider; `total`
// counts every entry.
std::map<std::string, int> inboxSubjects(hxhost::MailProviderFactory* factory, const User& user,
                                         Shared& shared, long* total) {
    std::map<std::string, int> out;
    *total = 0;
    hxMail::MailProvider* provider = factory->createProvider();
    provider->addRef();
    Lattice::Ptr<hxMail::Mailbox> mailbox;
    Lattice::ObjectCollection folders;
    if (provider->login(user.shortName.c_str(), user.password.c_str(), "", 0, 0) != 0 ||
        provider->getMailbox("", mailbox) != 0 ||
        provider->getFolders("", mailbox->get_id(), &folders) != 0) {
        shared.fail("cannot read the inbox of " + user.shortName);
    }
    for (const Lattice::Data& d : folders) {
        auto* f = d.toObject<hxMail::Folder>();
        if (!f || f->folderType() != hxMail::FolderTypeInbox)
            continue;
        // One page from the first entry with a count past any inbox: both sort directions hand out
        // every entry once (pages of an ascending folder run to start + count inclusive, so
        // stepping through them would see each boundary entry twice).
        Lattice::ObjectCollection items;
        if (provider->getFolderItemsPage(f->get_id(), 0, 1000000, &items) != 0)
            shared.fail("cannot list the inbox of " + user.shortName);
        *total += items.count();
        for (const Lattice::Data& i : items)
            if (auto* m = i.toObject<hxMail::MessageItem>()) {
                const std::string subject = m->get_subject().c_str();
                if (subject.rfind("Soak ", 0) == 0)
                    ++out[subject];
            }
    }
    provider->logout();
    provider->release();
    return out;
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"soak: N mail providers on N threads of one process against a fixture server with its\n"
                 "web task and router, for a set time; then checks that every message sent was delivered\n"
                 "exactly once. Exit code 0 when everything held, 1 otherwise."};
    int seconds = 30;
    int threads = 8;
    std::string plugin = HX_PLUGIN_PATH;
    bool keep = false;
    app.add_option("--seconds", seconds, "how long the providers work")->check(CLI::Range(1, 86400));
    app.add_option("--threads", threads, "providers, one thread each; two of them share a user")
        ->check(CLI::Range(2, 64));
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

    std::map<std::string, std::map<std::string, int>> inboxes;
    std::map<std::string, long> totals;
    for (const User& u : shared.users)
        inboxes[u.shortName] = inboxSubjects(host.factory(), u, shared, &totals[u.shortName]);
    long delivered = 0;
    std::map<std::string, int> expected;
    std::map<std::string, long> expectedTotals;
    for (const Sent& s : shared.sent) {
        ++expected[shared.users[s.recipient].shortName + "\n" + s.subject];
        ++expectedTotals[shared.users[s.recipient].shortName];
    }
    // Nothing but the seeded memos and what was sent: no copy lost, doubled or strayed.
    for (const User& u : shared.users)
        if (totals[u.shortName] != kSeededMemos + expectedTotals[u.shortName])
            shared.fail(u.shortName + "'s inbox holds " + std::to_string(totals[u.shortName]) +
                        " memos, not " + std::to_string(kSeededMemos + expectedTotals[u.shortName]));
    for (const auto& [key, count] : expected) {
        const std::string user = key.substr(0, key.find('\n'));
        const std::string subject = key.substr(key.find('\n') + 1);
        const int got = inboxes[user][subject];
        if (got != count)
            shared.fail(subject + " is in " + user + "'s inbox " + std::to_string(got) + " times");
        delivered += got;
    }
    for (const auto& [user, subjects] : inboxes)
        for (const auto& [subject, count] : subjects)
            if (!expected.count(user + "\n" + subject))
                shared.fail(subject + " reached " + user + " but was never sent to them");

    Tally total;
    for (const Tally& t : tallies) {
        for (const auto& [k, v] : t.done)
            total.done[k] += v;
        for (const auto& [k, v] : t.refused)
            total.refused[k] += v;
    }
    long ops = 0;
    std::printf("soak: %d providers, %zu users, %.0f s\n", threads, shared.users.size(), worked);
    for (const OpRow& row : kOps) {
        std::printf("  %-9s %8ld done %6ld refused\n", row.name, total.done[row.name],
                    total.refused[row.name]);
        ops += total.done[row.name] + total.refused[row.name];
    }
    std::printf("soak: %ld operations, %zu messages sent, %ld delivered\n", ops, shared.sent.size(),
                delivered);
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
