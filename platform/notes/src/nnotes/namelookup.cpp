// Directory name lookup. The result buffer is a memory handle laid out as (little-endian):
//   header  DWORD total size, WORD names, WORD items
//   per name   DWORD record size, WORD matches, WORD 0, then its matches
//   per match  DWORD record size, WORD items, WORD 0, then per item: DWORD length, then that many
//              bytes (type word + value; length 0 = the document has no such item)
#include "internal.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

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

struct Directory {
    std::shared_ptr<notes::Database> db;
    std::vector<std::pair<NOTEID, notes::ViewDesign>> views; // the name spaces it has
};

// The directories to search, in order.
STATUS directories(const char* serverName, std::vector<std::string>* servers) {
    const std::string server = serverName ? serverName : "";
    if (!server.empty()) {
        servers->push_back(server);
        return NOERROR;
    }
    servers->push_back("");
    std::string root;
    if (STATUS s = notes::serverFolder("", &root); s != NOERROR) {
        return s;
    }
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->is_directory(ec)) {
            names.push_back(it->path().filename().string());
        }
    }
    std::sort(names.begin(), names.end());
    servers->insert(servers->end(), names.begin(), names.end());
    return NOERROR;
}

} // namespace

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
    std::vector<std::string> servers;
    if (STATUS s = directories(serverName, &servers); s != NOERROR) {
        return s;
    }
    std::vector<Directory> dirs;
    std::vector<bool> spaceFound(spaces.size(), false);
    for (const std::string& server : servers) {
        std::string file;
        if (STATUS s = notes::resolveDatabaseFile(server, "names.nsf", true, &file); s != NOERROR) {
            if (!std::string(serverName ? serverName : "").empty()) {
                return s;
            }
            continue;
        }
        Directory d;
        if (STATUS s = notes::Database::open(file, server, "names.nsf", &d.db); s != NOERROR) {
            return s;
        }
        for (std::size_t i = 0; i < spaces.size(); ++i) {
            NOTEID view = 0;
            notes::ViewDesign design;
            if (d.db->findDesign(NOTE_CLASS_VIEW, spaces[i], &view) == NOERROR &&
                d.db->viewDesign(view, &design) == NOERROR) {
                d.views.emplace_back(view, std::move(design));
                spaceFound[i] = true;
            }
        }
        dirs.push_back(std::move(d));
    }
    if (dirs.empty()) {
        return ERR_NO_DIRECTORY;
    }
    if (std::find(spaceFound.begin(), spaceFound.end(), false) != spaceFound.end()) {
        return ERR_NAMESPACE_NOT_FOUND;
    }
    const bool all = (flags & (NAME_LOOKUP_ALL | NAME_LOOKUP_EXHAUSTIVE)) != 0;

    std::vector<char> out;
    put<DWORD>(out, 0);
    put<WORD>(out, numNames);
    put<WORD>(out, numItems);
    for (const std::string& name : wanted) {
        // A hierarchical name is also tried in its canonical form ("Jane Doe/Acme").
        std::vector<std::string> keys{name};
        if (name.find('/') != std::string::npos) {
            const std::string canonical = notes::canonicalizeName(name);
            if (!notes::nameEquals(canonical, name)) {
                keys.push_back(canonical);
            }
        }
        std::vector<std::pair<notes::Database*, NOTEID>> matches;
        for (Directory& d : dirs) {
            std::vector<NOTEID> found;
            for (const auto& [view, design] : d.views) {
                for (const std::string& key : keys) {
                    std::vector<NOTEID> ids;
                    const std::string prefix = notes::viewFindKey(design, 0, key, false);
                    if (prefix.empty()) {
                        continue;
                    }
                    if (STATUS s = d.db->viewMatches(view, 0, prefix, &ids); s != NOERROR) {
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
                matches.emplace_back(d.db.get(), id);
            }
            if (!found.empty() && !all) {
                break;
            }
        }
        const std::size_t nameAt = out.size();
        put<DWORD>(out, 0);
        put<WORD>(out, static_cast<WORD>(std::min<std::size_t>(matches.size(), 0xFFFF)));
        put<WORD>(out, 0);
        for (std::size_t m = 0; m < matches.size() && m < 0xFFFF; ++m) {
            notes::Note note;
            const STATUS ls = matches[m].first->load(matches[m].second, &note);
            const std::size_t matchAt = out.size();
            put<DWORD>(out, 0);
            put<WORD>(out, numItems);
            put<WORD>(out, 0);
            for (const std::string& itemName : itemNames) {
                const notes::Item* it = ls == NOERROR ? note.find(itemName) : nullptr;
                if (it == nullptr || it->value.size() + sizeof(WORD) > 0xFFFF) {
                    put<DWORD>(out, 0);
                    continue;
                }
                put<DWORD>(out, static_cast<DWORD>(sizeof(WORD) + it->value.size()));
                put<WORD>(out, it->type);
                out.insert(out.end(), it->value.begin(), it->value.end());
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
