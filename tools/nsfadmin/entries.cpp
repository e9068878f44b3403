// Person and group documents of address books, and the databases a command makes.
#include "entries.h"

#include "notes/admin/config.h"
#include "templates.h"

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;

namespace nsfadmin {
Undo::~Undo() {
    if (keep) {
        return;
    }
    for (auto it = databases.rbegin(); it != databases.rend(); ++it) {
        NSFDbDelete(it->c_str());
    }
    std::error_code ec;
    for (auto it = folders.rbegin(); it != folders.rend(); ++it) {
        fs::remove_all(*it, ec);
    }
}

std::string netPath(const std::string& server, const std::string& path) {
    return server.empty() ? path : server + "!!" + path;
}

bool validShortName(const std::string& s) {
    return !s.empty() && s.size() <= 64 && std::all_of(s.begin(), s.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '_' || c == '-';
    });
}

// The organisation part of a canonical name ("O=Acme" of "CN=Jane Doe/O=Acme"), or "".
std::string orgPart(const std::string& canonical) {
    const std::size_t slash = canonical.find('/');
    return slash == std::string::npos ? std::string() : canonical.substr(slash + 1);
}

// "Mail1" becomes "CN=Mail1/O=Acme" for a person of O=Acme; a full server name stays.
std::string serverFullName(const std::string& server, const std::string& personCanonical) {
    if (server.find('/') != std::string::npos || server.find('=') != std::string::npos) {
        return notes::canonicalizeName(server);
    }
    const std::string org = orgPart(personCanonical);
    return org.empty() ? server : "CN=" + server + "/" + org;
}

// The documents whose key in a view equals `key` (ignoring case).
STATUS findKey(DBHANDLE h, const char* view, const std::string& key, std::vector<NOTEID>* out) {
    out->clear();
    const auto db = notes::handles::database(h);
    if (!db) {
        return ERR_INVALID_HANDLE;
    }
    NOTEID id = 0;
    notes::ViewDesign design;
    if (STATUS s = db->findDesign(NOTE_CLASS_VIEW, view, &id); s != NOERROR) {
        return s;
    }
    if (STATUS s = db->viewDesign(id, &design); s != NOERROR) {
        return s;
    }
    const std::string prefix = notes::viewFindKey(design, 0, key, false);
    return prefix.empty() ? NOERROR : db->viewMatches(id, 0, prefix, out);
}

// Writes items into a new document (existing == 0) or over the same items of a stored one.
STATUS writeDoc(DBHANDLE h, NOTEID existing, const std::vector<ItemValue>& items, NOTEID* saved) {
    notes::admin::NoteHandle note;
    if (STATUS s = existing ? NSFNoteOpen(h, existing, 0, note.out()) : NSFNoteCreate(h, note.out());
        s != NOERROR) {
        return s;
    }
    for (const ItemValue& it : items) {
        // Every item of the name goes (a call deletes one), so a value kept in several items is replaced
        // whole.
        while (NSFItemDelete(note.get(), it.name.c_str(), static_cast<WORD>(it.name.size())) == NOERROR) {
        }
        const std::string value = it.list ? notes::ods::encodeTextList(it.values)
                                          : (it.values.empty() ? std::string() : it.values.front());
        const WORD flags = it.name == "HTTPPassword" ? 0 : ITEM_SUMMARY;
        if (STATUS s = NSFItemAppend(note.get(), flags, it.name.c_str(), static_cast<WORD>(it.name.size()),
                                     it.list ? TYPE_TEXT_LIST : TYPE_TEXT, value.data(),
                                     static_cast<DWORD>(value.size()));
            s != NOERROR) {
            return s;
        }
    }
    const STATUS s = NSFNoteUpdate(note.get(), 0);
    if (s == NOERROR && saved) {
        NSFNoteGetInfo(note.get(), _NOTE_ID, saved);
    }
    return s;
}

notes::directory::Person personOf(const PersonEntry& p, const std::string& mailServer) {
    notes::directory::Person out;
    out.fullName = utf8ToLatin1(p.fullName);
    out.shortName = utf8ToLatin1(p.shortName);
    out.firstName = utf8ToLatin1(p.firstName);
    out.middleInitial = utf8ToLatin1(p.middleInitial);
    out.lastName = utf8ToLatin1(p.lastName);
    out.internetAddress = utf8ToLatin1(p.internetAddress);
    out.mailServer = mailServer;
    out.mailDomain = utf8ToLatin1(p.mailDomain);
    for (const auto& [name, values] : p.items) {
        std::vector<std::string> v;
        for (const std::string& text : values) {
            v.push_back(utf8ToLatin1(text));
        }
        out.items.emplace_back(utf8ToLatin1(name), std::move(v));
    }
    // An address book contact carries its e-mail address in "MailAddress", the item the host's
    // contacts read it from.
    const bool hasMailAddress = std::any_of(out.items.begin(), out.items.end(), [](const auto& item) {
        return notes::nameEquals(item.first, "MailAddress");
    });
    if (mailServer.empty() && !out.internetAddress.empty() && !hasMailAddress) {
        out.items.push_back({"MailAddress", {out.internetAddress}});
    }
    return out;
}

notes::directory::Group groupOf(const GroupEntry& g) {
    notes::directory::Group out;
    out.name = utf8ToLatin1(g.name);
    out.description = utf8ToLatin1(g.description);
    out.type = utf8ToLatin1(g.type);
    for (const std::string& m : g.members) {
        out.members.push_back(utf8ToLatin1(m));
    }
    return out;
}

bool databaseExists(const std::string& server, const std::string& path) {
    std::string file;
    return notes::resolveDatabaseFile(server, path, true, &file) == NOERROR;
}

// The steps of user add, shared with seed: mail file, address book, person document.
int addUser(Admin::Impl& impl, const std::string& server, DBHANDLE directory, const PersonEntry& person,
            const std::string& password, Undo& undo, std::string* summary) {
    const std::string srv = utf8ToLatin1(server);
    const std::string shortName = utf8ToLatin1(person.shortName);
    const std::string canonical = notes::canonicalizeName(utf8ToLatin1(person.fullName));
    for (const std::string& key : {shortName, canonical, utf8ToLatin1(person.internetAddress)}) {
        std::vector<NOTEID> found;
        if (key.empty()) {
            continue;
        }
        if (STATUS s = findKey(directory, "($Users)", key, &found); s != NOERROR) {
            return impl.notesError("cannot read the directory of " + server, s);
        }
        if (!found.empty()) {
            impl.err << "nsfadmin: '" << latin1ToUtf8(key) << "' is already in the directory of " << server
                     << "\n";
            return kNotesError;
        }
    }
    const std::string mailPath = "mail/" + shortName, pabPath = "pab/" + shortName + "_pab";
    for (const std::string& path : {mailPath, pabPath}) {
        if (databaseExists(srv, path)) {
            impl.err << "nsfadmin: " << latin1ToUtf8(path) << ".nsf already exists on " << server
                     << "; refusing to overwrite it\n";
            return kNotesError;
        }
    }
    std::string digest;
    if (STATUS s = notes::directory::hashPassword(password, &digest); s != NOERROR) {
        return impl.notesError("cannot make the password digest", s);
    }
    if (STATUS s = notes::templates::create(srv, mailPath, notes::templates::Kind::Mail); s != NOERROR) {
        return impl.notesError("cannot create the mail file " + latin1ToUtf8(mailPath), s);
    }
    undo.databases.push_back(netPath(srv, mailPath));
    if (STATUS s = notes::templates::create(srv, pabPath, notes::templates::Kind::AddressBook);
        s != NOERROR) {
        return impl.notesError("cannot create the address book " + latin1ToUtf8(pabPath), s);
    }
    undo.databases.push_back(netPath(srv, pabPath));
    notes::directory::Person entry = personOf(person, serverFullName(srv, canonical));
    entry.passwordDigest = digest;
    if (STATUS s = notes::directory::addPerson(directory, entry); s != NOERROR) {
        return impl.notesError("cannot save the person document", s);
    }
    if (summary) {
        *summary = "mail/" + person.shortName + ".nsf, pab/" + person.shortName + "_pab.nsf";
    }
    return kOk;
}

// Opens the server's directory, making it from its template when missing.
int openDirectory(Admin::Impl& impl, const std::string& server, bool create, notes::admin::DatabaseHandle* h,
                  Undo* undo) {
    if (LNSTATUS s = impl.start(); s != LNNOERROR) {
        return impl.notesError("cannot start Notes", s);
    }
    const std::string srv = utf8ToLatin1(server);
    std::string folder;
    if (STATUS s = notes::serverFolder(srv, &folder); s != NOERROR) {
        return impl.notesError("server " + server, s);
    }
    if (!databaseExists(srv, kDirectory)) {
        if (!create) {
            return impl.notesError("the directory of " + server, ERR_NOEXIST);
        }
        if (STATUS s = notes::templates::create(srv, kDirectory, notes::templates::Kind::Directory);
            s != NOERROR) {
            return impl.notesError("cannot create the directory of " + server, s);
        }
        if (undo) {
            undo->databases.push_back(netPath(srv, kDirectory));
        }
        impl.out << "created the directory names.nsf on " << server << "\n";
    }
    if (STATUS s = NSFDbOpen(netPath(srv, kDirectory).c_str(), h->out()); s != NOERROR) {
        return impl.notesError("cannot open the directory of " + server, s);
    }
    return kOk;
}

} // namespace nsfadmin
