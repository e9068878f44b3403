// Directory name lookup. The result buffer is a memory handle laid out as (little-endian):
//   header  DWORD total size, WORD names, WORD items
//   per name   DWORD record size, WORD matches, WORD 0, then its matches
//   per match  DWORD record size, WORD items, WORD 0, then per item: DWORD length, then that many
//              bytes (type word + value; length 0 = the document has no such item)
#include "notes/admin/names.h"

#include "acl.h"
#include "runtime.h"
#include "store.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::size_t kHeader = 8;
constexpr std::size_t kRecord = 8;
constexpr std::size_t kMaxLookupName = 1024;

template <typename T> void put(std::vector<char>& out, T v) {
    const std::size_t at = out.size();
    out.resize(at + sizeof v);
    std::memcpy(out.data() + at, &v, sizeof v);
}

template <typename T> T get(const void* p, std::size_t offset = 0) {
    T v{};
    std::memcpy(&v, static_cast<const char*>(p) + offset, sizeof v);
    return v;
}

template <typename T> void patch(std::vector<char>& out, std::size_t at, T v) {
    std::memcpy(out.data() + at, &v, sizeof v);
}

// Consecutive zero-terminated strings; false when one is missing or too long.
bool unpack(const char* packed, WORD count, std::vector<std::string>* out) {
    if (count > 0 && packed == nullptr) {
        return false;
    }
    const char* p = packed;
    for (WORD i = 0; i < count; ++i) {
        const std::size_t len = strnlen(p, kMaxLookupName + 1);
        if (len > kMaxLookupName) {
            return false;
        }
        out->emplace_back(p, len);
        p += len + 1;
    }
    return true;
}

// `m` holds the asked items, then FullName, MailServer and MailFile.
void rememberDigest(const notes::NameMatch& m, std::size_t digestItem, std::size_t asked) {
    std::vector<std::string> digest, fullName, server, file;
    if (m.items.size() != asked + 3 ||
        !notes::ods::decodeText(m.items[digestItem].first, m.items[digestItem].second, &digest) ||
        digest.empty() || digest[0].empty() ||
        !notes::ods::decodeText(m.items[asked].first, m.items[asked].second, &fullName) || fullName.empty()) {
        return;
    }
    notes::ods::decodeText(m.items[asked + 1].first, m.items[asked + 1].second, &server);
    notes::ods::decodeText(m.items[asked + 2].first, m.items[asked + 2].second, &file);
    std::string mailFile;
    if (!file.empty() && !file[0].empty() &&
        notes::resolveDatabaseFile(server.empty() ? m.server : server[0], file[0], true, &mailFile) !=
            NOERROR) {
        mailFile.clear();
    }
    notes::acl::digestHandedOut(digest[0], fullName[0], mailFile);
}

} // namespace

namespace notes {

struct NameLookup::Directory {
    std::string server;
    std::shared_ptr<Database> db;
    std::vector<std::pair<NOTEID, ViewDesign>> views; // the name spaces it has
};

STATUS NameLookup::open(const DataDirectory& dir, std::string_view server,
                        const std::vector<std::string>& views) {
    directories_.clear();
    std::vector<std::string> servers{std::string(server)};
    if (server.empty()) {
        std::string root;
        if (STATUS s = dir.serverFolder("", &root); s != NOERROR) {
            return s;
        }
        const auto named = dir.servers();
        servers.insert(servers.end(), named.begin(), named.end());
    }
    std::vector<bool> viewFound(views.size(), false);
    for (const std::string& name : servers) {
        std::string file;
        if (STATUS s = dir.databaseFile(name, "names.nsf", true, &file); s != NOERROR) {
            if (!server.empty()) {
                return s;
            }
            continue;
        }
        auto d = std::make_shared<Directory>();
        d->server = name;
        if (STATUS s = Database::open(file, name, "names.nsf", &d->db); s != NOERROR) {
            return s;
        }
        for (std::size_t i = 0; i < views.size(); ++i) {
            NOTEID view = 0;
            ViewDesign design;
            if (d->db->findDesign(NOTE_CLASS_VIEW, views[i], &view) == NOERROR &&
                d->db->viewDesign(view, &design) == NOERROR) {
                d->views.emplace_back(view, std::move(design));
                viewFound[i] = true;
            }
        }
        directories_.push_back(std::move(d));
    }
    if (directories_.empty()) {
        return ERR_NO_DIRECTORY;
    }
    if (std::find(viewFound.begin(), viewFound.end(), false) != viewFound.end()) {
        directories_.clear();
        return ERR_NAMESPACE_NOT_FOUND;
    }
    return NOERROR;
}

STATUS NameLookup::find(std::string_view name, bool all, const std::vector<std::string>& items,
                        std::vector<NameMatch>* out) const {
    out->clear();
    // A hierarchical name is also tried in its canonical form ("Jane Doe/Acme").
    std::vector<std::string> keys{std::string(name)};
    if (name.find('/') != std::string_view::npos) {
        const std::string canonical = canonicalizeName(name);
        if (!nameEquals(canonical, name)) {
            keys.push_back(canonical);
        }
    }
    for (const auto& d : directories_) {
        std::vector<NOTEID> found;
        for (const auto& [view, design] : d->views) {
            for (const std::string& key : keys) {
                std::vector<NOTEID> ids;
                const std::string prefix = viewFindKey(design, 0, key, false);
                if (prefix.empty()) {
                    continue;
                }
                if (STATUS s = d->db->viewMatches(view, 0, prefix, &ids); s != NOERROR) {
                    return s;
                }
                for (NOTEID id : ids) {
                    if (std::find(found.begin(), found.end(), id) == found.end()) {
                        found.push_back(id);
                    }
                }
            }
        }
        for (NOTEID id : found) {
            NameMatch m;
            m.server = d->server;
            m.note = id;
            Note note;
            const STATUS ls = d->db->load(id, &note);
            for (const std::string& itemName : items) {
                const Item* it = ls == NOERROR ? note.find(itemName) : nullptr;
                m.items.emplace_back(it ? it->type : WORD(0), it ? it->value : std::string());
            }
            out->push_back(std::move(m));
        }
        if (!found.empty() && !all) {
            break;
        }
    }
    return NOERROR;
}

} // namespace notes

extern "C" {

STATUS NAMELookup2(const char* serverName, DWORD flags, WORD numNameSpaces, const char* nameSpaces,
                   WORD numNames, const char* names, WORD numItems, const char* items, DHANDLE* rethBuffer) {
    if (rethBuffer == nullptr || numNameSpaces == 0 || numNameSpaces > NAME_MAX_NAMESPACES ||
        numItems > NAME_MAX_ITEMS) {
        return ERR_INVALID_PARAM;
    }
    std::vector<std::string> spaces, wanted, itemNames;
    if (!unpack(nameSpaces, numNameSpaces, &spaces) || !unpack(names, numNames, &wanted) ||
        !unpack(items, numItems, &itemNames)) {
        return ERR_INVALID_PARAM;
    }
    notes::NameLookup lookup;
    if (STATUS s = lookup.open(notes::DataDirectory::current(), serverName ? serverName : "", spaces);
        s != NOERROR) {
        return s;
    }
    const bool all = (flags & (NAME_LOOKUP_ALL | NAME_LOOKUP_EXHAUSTIVE)) != 0;
    // A password handed out for checking tells whose it is, so that a successful check logs that
    // person in: the lookup also reads (without returning) the person's name and mail file.
    const auto digestAt = std::find_if(itemNames.begin(), itemNames.end(), [](const std::string& n) {
        return notes::nameEquals(n, "HTTPPassword");
    });
    std::vector<std::string> read = itemNames;
    if (digestAt != itemNames.end()) {
        read.insert(read.end(), {"FullName", "MailServer", "MailFile"});
    }

    std::vector<char> out;
    put<DWORD>(out, 0);
    put<WORD>(out, numNames);
    put<WORD>(out, numItems);
    for (const std::string& name : wanted) {
        std::vector<notes::NameMatch> matches;
        if (STATUS s = lookup.find(name, all, read, &matches); s != NOERROR) {
            return s;
        }
        if (digestAt != itemNames.end()) {
            for (notes::NameMatch& m : matches) {
                rememberDigest(m, static_cast<std::size_t>(digestAt - itemNames.begin()), numItems);
                m.items.resize(numItems);
            }
        }
        const std::size_t nameAt = out.size();
        put<DWORD>(out, 0);
        put<WORD>(out, static_cast<WORD>(std::min<std::size_t>(matches.size(), 0xFFFF)));
        put<WORD>(out, 0);
        for (std::size_t m = 0; m < matches.size() && m < 0xFFFF; ++m) {
            const std::size_t matchAt = out.size();
            put<DWORD>(out, 0);
            put<WORD>(out, numItems);
            put<WORD>(out, 0);
            for (const auto& [type, value] : matches[m].items) {
                if (type == 0 || value.size() + sizeof(WORD) > 0xFFFF) {
                    put<DWORD>(out, 0);
                    continue;
                }
                put<DWORD>(out, static_cast<DWORD>(sizeof(WORD) + value.size()));
                put<WORD>(out, type);
                out.insert(out.end(), value.begin(), value.end());
            }
            patch<DWORD>(out, matchAt, static_cast<DWORD>(out.size() - matchAt));
        }
        patch<DWORD>(out, nameAt, static_cast<DWORD>(out.size() - nameAt));
    }
    patch<DWORD>(out, 0, static_cast<DWORD>(out.size()));
    *rethBuffer = notes::handles::addMemory(std::move(out));
    return NOERROR;
}

void* NAMELocateNextName2(void* pLookup, void* pName, WORD* retNumMatches) {
    if (pLookup == nullptr) {
        return nullptr;
    }
    char* base = static_cast<char*>(pLookup);
    const DWORD total = get<DWORD>(base);
    char* name = pName == nullptr ? base + kHeader : static_cast<char*>(pName) + get<DWORD>(pName);
    if (get<WORD>(base, 4) == 0 || name + kRecord > base + total) {
        return nullptr;
    }
    if (retNumMatches) {
        *retNumMatches = get<WORD>(name, 4);
    }
    return name;
}

void* NAMELocateNextMatch2(void* pLookup, void* pName, void* pMatch) {
    if (pLookup == nullptr || pName == nullptr) {
        return nullptr;
    }
    char* name = static_cast<char*>(pName);
    char* end = name + get<DWORD>(name);
    char* match = pMatch == nullptr ? name + kRecord : static_cast<char*>(pMatch) + get<DWORD>(pMatch);
    return match + kRecord <= end ? match : nullptr;
}

void* NAMELocateItem2(void* pMatch, WORD item, WORD* retDataType, WORD* retSize) {
    if (pMatch == nullptr) {
        return nullptr;
    }
    char* match = static_cast<char*>(pMatch);
    if (item >= get<WORD>(match, 4)) {
        return nullptr;
    }
    char* p = match + kRecord;
    for (WORD i = 0; i < item; ++i) {
        p += sizeof(DWORD) + get<DWORD>(p);
    }
    const DWORD length = get<DWORD>(p);
    if (length < sizeof(WORD)) {
        return nullptr;
    }
    if (retDataType) {
        *retDataType = get<WORD>(p, sizeof(DWORD));
    }
    if (retSize) {
        *retSize = static_cast<WORD>(length);
    }
    return p + sizeof(DWORD);
}

STATUS NAMEGetTextItem2(void* pMatch, WORD item, WORD member, char* buffer, WORD bufLen) {
    if (buffer == nullptr || bufLen == 0) {
        return ERR_INVALID_PARAM;
    }
    buffer[0] = '\0';
    WORD type = 0, size = 0;
    const char* value = static_cast<const char*>(NAMELocateItem2(pMatch, item, &type, &size));
    if (value == nullptr) {
        return ERR_ITEM_NOT_FOUND;
    }
    std::vector<std::string> texts;
    if (!notes::ods::decodeText(type, std::string_view(value + sizeof(WORD), size - sizeof(WORD)), &texts)) {
        return ERR_INVALID_ITEM_VALUE;
    }
    if (member >= texts.size()) {
        return ERR_ITEM_NOT_FOUND;
    }
    notes::copyText(texts[member], buffer, bufLen);
    return NOERROR;
}

} // extern "C"
