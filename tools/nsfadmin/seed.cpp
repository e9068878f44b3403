// seed: whole servers from a fixture, all or nothing.
#include "entries.h"
#include "fixture.h"

#include "mailgen.h"
#include "notes/admin/access.h"
#include "notes/admin/config.h"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace nsfadmin {
namespace {

constexpr std::size_t kMaxFixtureBytes = 16 * 1024 * 1024;

} // namespace

int Admin::seed(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return impl_->badInput("cannot read the fixture " + file);
    }
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (content.size() > kMaxFixtureBytes) {
        return impl_->badInput("the fixture " + file + " is larger than 16 MiB");
    }
    std::vector<SeedServer> servers;
    try {
        servers = readFixture(json::parse(content), fs::path(file).parent_path().string());
    } catch (const json::exception& e) {
        return impl_->badInput("the fixture " + file + " is not valid JSON: " + e.what());
    } catch (const FixtureError& e) {
        return impl_->badInput("fixture " + file + ": " + e.message);
    }
    if (LNSTATUS s = impl_->start(); s != LNNOERROR) {
        return impl_->notesError("cannot start Notes", s);
    }
    // Nothing is written while anything that the fixture makes already exists.
    const std::string root = notes::dataDirectory();
    for (const SeedServer& s : servers) {
        const std::string srv = utf8ToLatin1(s.name);
        std::vector<std::string> paths{kDirectory};
        for (const SeedPerson& p : s.people) {
            paths.push_back("mail/" + p.entry.shortName);
            paths.push_back("pab/" + p.entry.shortName + "_pab");
        }
        std::string folder;
        if (notes::serverFolder(srv, &folder) != NOERROR) {
            continue;
        }
        for (const std::string& path : paths) {
            if (databaseExists(srv, utf8ToLatin1(path))) {
                impl_->err << "nsfadmin: " << path << (path == kDirectory ? "" : ".nsf")
                           << " already exists on " << s.name
                           << "; seed does not overwrite (remove the server's folder to seed it anew)\n";
                return kNotesError;
            }
        }
    }

    Undo undo;
    std::size_t people = 0, groups = 0, contacts = 0;
    for (const SeedServer& s : servers) {
        const std::string srv = utf8ToLatin1(s.name);
        std::string folder;
        if (notes::serverFolder(srv, &folder) != NOERROR) {
            const fs::path made = fs::path(root) / notes::commonName(srv);
            std::error_code ec;
            if (!fs::create_directory(made, ec)) {
                impl_->err << "nsfadmin: cannot create " << made.string() << ": " << ec.message() << "\n";
                return kNotesError;
            }
            undo.folders.push_back(made.string());
        }
        impl_->out << "server " << s.name << "\n";
        notes::admin::DatabaseHandle dir;
        if (int rc = openDirectory(*impl_, s.name, true, &dir, &undo); rc != kOk) {
            return rc;
        }
        for (const SeedPerson& p : s.people) {
            std::string summary;
            if (int rc = addUser(*impl_, s.name, dir.get(), p.entry, p.password, undo, &summary); rc != kOk) {
                impl_->err << "nsfadmin: seeding stopped at " << p.entry.shortName << "; nothing was kept\n";
                return rc;
            }
            if (!p.contacts.empty() || !p.groups.empty()) {
                notes::admin::DatabaseHandle pab;
                const std::string pabPath = netPath(srv, "pab/" + utf8ToLatin1(p.entry.shortName) + "_pab");
                STATUS st = NSFDbOpen(pabPath.c_str(), pab.out());
                for (std::size_t i = 0; st == NOERROR && i < p.contacts.size(); ++i) {
                    st = notes::directory::addPerson(pab.get(), personOf(p.contacts[i], ""));
                }
                for (std::size_t i = 0; st == NOERROR && i < p.groups.size(); ++i) {
                    st = notes::directory::addGroup(pab.get(), groupOf(p.groups[i]));
                }
                if (st != NOERROR) {
                    impl_->notesError("cannot fill the address book of " + p.entry.shortName, st);
                    impl_->err << "nsfadmin: seeding stopped; nothing was kept\n";
                    return kNotesError;
                }
                summary += ", " + std::to_string(p.contacts.size()) + " contacts, " +
                           std::to_string(p.groups.size()) + " groups";
                contacts += p.contacts.size();
            }
            if (!p.mail.empty()) {
                std::vector<notes::mail::Message> mail = p.mail;
                const std::int64_t now = notes::ticksNow();
                for (notes::mail::Message& m : mail) { // relative times become real ones
                    for (std::int64_t* t : {&m.posted, &m.delivered, &m.start, &m.due}) {
                        *t = *t != 0 ? now - *t : (t == &m.posted || t == &m.delivered ? now : 0);
                    }
                    if (m.kind == notes::mail::Message::Kind::Task) {
                        m.posted = m.delivered = 0;
                        m.due = m.due == 0 ? now : m.due;
                        m.completed = m.completed ? now : 0;
                    }
                }
                notes::admin::DatabaseHandle mdb;
                const std::string mailPath = netPath(srv, "mail/" + utf8ToLatin1(p.entry.shortName));
                STATUS st = NSFDbOpen(mailPath.c_str(), mdb.out());
                if (st == NOERROR) {
                    st = notes::mail::store(*notes::handles::database(mdb.get()), mail);
                }
                if (st != NOERROR) {
                    impl_->notesError("cannot fill the mail file of " + p.entry.shortName, st);
                    impl_->err << "nsfadmin: seeding stopped; nothing was kept\n";
                    return kNotesError;
                }
                summary += ", " + std::to_string(mail.size()) + " mail documents";
            }
            if (!p.calendar.empty()) {
                LNDatabase mail;
                if (int rc = impl_->openDb({srv, "mail/" + p.entry.shortName}, &mail); rc != kOk) {
                    impl_->err << "nsfadmin: seeding stopped; nothing was kept\n";
                    return rc;
                }
                for (const AppointmentEntry& e : p.calendar) {
                    LNDatetimeRange range;
                    std::string error;
                    LNDocument doc;
                    LNSTATUS st = appointmentRange(e, &range, &error) ? writeAppointment(mail, e, range, &doc)
                                                                      : LNSTATUS(ERR_INVALID_PARAM);
                    if (st == LNNOERROR) {
                        st = doc.Save();
                    }
                    if (st != LNNOERROR) {
                        impl_->notesError("cannot fill the calendar of " + p.entry.shortName, st);
                        impl_->err << "nsfadmin: seeding stopped; nothing was kept\n";
                        return kNotesError;
                    }
                }
                summary += ", " + std::to_string(p.calendar.size()) + " calendar entries";
            }
            impl_->out << "  person " << p.entry.shortName << " (" << summary << ")\n";
            ++people;
        }
        // Granted once everyone is in the directory: a reader may come later in the list.
        for (const SeedPerson& p : s.people) {
            for (const std::string& reader : p.readers) {
                notes::admin::DatabaseHandle mdb;
                const std::string mailPath = netPath(srv, "mail/" + utf8ToLatin1(p.entry.shortName));
                STATUS st = NSFDbOpen(mailPath.c_str(), mdb.out());
                if (st == NOERROR) {
                    st = notes::access::setReader(mdb.get(), utf8ToLatin1(reader), true);
                }
                if (st != NOERROR) {
                    if (st == ERR_NOT_FOUND) {
                        impl_->err << "nsfadmin: reader " << reader << " of " << p.entry.shortName
                                   << " is no one person of the directory\n";
                    } else {
                        impl_->notesError("cannot grant access to the mail file of " + p.entry.shortName, st);
                    }
                    impl_->err << "nsfadmin: seeding stopped; nothing was kept\n";
                    return st == ERR_NOT_FOUND ? kBadInput : kNotesError;
                }
            }
        }
        for (const GroupEntry& g : s.groups) {
            if (STATUS st = notes::directory::addGroup(dir.get(), groupOf(g)); st != NOERROR) {
                impl_->notesError("cannot save group " + g.name, st);
                impl_->err << "nsfadmin: seeding stopped; nothing was kept\n";
                return kNotesError;
            }
            impl_->out << "  group " << g.name << " (" << g.members.size() << " members)\n";
            ++groups;
        }
    }
    undo.keep = true;
    impl_->out << "seeded " << servers.size() << (servers.size() == 1 ? " server, " : " servers, ") << people
               << " people, " << groups << " groups, " << contacts << " contacts\n";
    return kOk;
}

} // namespace nsfadmin
