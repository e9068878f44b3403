#include "ordercache.h"

#include "fileidentity.h"

#include <sqlite3.h>

#include <cstdint>
#include <list>
#include <mutex>
#include <unordered_map>

namespace notes::ordercache {

namespace {

constexpr std::size_t kMaxFiles = 16;
constexpr std::size_t kMaxListsPerFile = 64; // views come and go with designs, users with logins

struct CloseWatcher {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};

struct FinalizeStatement {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};

struct FileEntry {
    std::string file;
    std::unique_ptr<sqlite3, CloseWatcher> watcher;
    FileIdentity identity;
    std::unique_ptr<sqlite3_stmt, FinalizeStatement> dataVersion;
    std::int64_t version = -1;
    std::uint64_t stamp = 0; // new whenever version (or the entry) is
    std::unordered_map<std::string, Ids> lists;
    std::unordered_map<std::string, Object> objects;
};

std::mutex mutex;
std::list<FileEntry> files; // most recently used first
std::uint64_t lastStamp = 0;

bool dataVersion(FileEntry& e, std::int64_t* out) {
    if (!e.dataVersion) {
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(e.watcher.get(), "PRAGMA data_version", -1, &s, nullptr) != SQLITE_OK) {
            return false;
        }
        e.dataVersion.reset(s);
    }
    sqlite3_stmt* s = e.dataVersion.get();
    const bool ok = sqlite3_step(s) == SQLITE_ROW;
    if (ok) {
        *out = sqlite3_column_int64(s, 0);
    }
    sqlite3_reset(s);
    return ok;
}

// The entry of `file`, current as to the file's identity and version; null when the file cannot be
// watched (then nothing is cached). The caller holds the mutex.
FileEntry* current(const std::string& file) {
    FileIdentity identity;
    if (!identityOf(file, &identity)) {
        return nullptr;
    }
    auto it = files.begin();
    while (it != files.end() && it->file != file) {
        ++it;
    }
    if (it != files.end() && it->identity != identity) {
        files.erase(it);
        it = files.end();
    }
    if (it == files.end()) {
        FileEntry e;
        e.file = file;
        e.identity = identity;
        sqlite3* db = nullptr;
        const int rc =
            sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
        e.watcher.reset(db); // closed even when the open failed
        if (rc != SQLITE_OK) {
            return nullptr;
        }
        files.push_front(std::move(e));
        if (files.size() > kMaxFiles) {
            files.pop_back();
        }
        it = files.begin();
    } else if (it != files.begin()) {
        files.splice(files.begin(), files, it);
        it = files.begin();
    }
    std::int64_t version = -1;
    if (!dataVersion(*it, &version)) {
        files.erase(it);
        return nullptr;
    }
    if (version != it->version) {
        it->lists.clear();
        it->objects.clear();
        it->version = version;
        it->stamp = ++lastStamp;
    }
    return &*it;
}

} // namespace

namespace {

template <typename T>
STATUS getShared(const std::string& file, const std::string& key, const std::function<STATUS(T*)>& read,
                 T* out, std::unordered_map<std::string, T> FileEntry::*held) {
    std::int64_t seen = -1;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (FileEntry* e = current(file)) {
            seen = e->version;
            if (auto hit = (e->*held).find(key); hit != (e->*held).end()) {
                *out = hit->second;
                return NOERROR;
            }
        }
    }
    // Read without the lock: other files' pages need not wait. A commit after `seen` makes the
    // list newer than its stamp, which only costs a re-read on the next question.
    T ids;
    if (STATUS s = read(&ids); s != NOERROR) {
        return s;
    }
    if (seen >= 0) {
        std::lock_guard<std::mutex> lock(mutex);
        for (FileEntry& e : files) {
            if (e.file == file && e.version == seen) {
                if ((e.*held).size() >= kMaxListsPerFile) {
                    (e.*held).clear();
                }
                (e.*held)[key] = ids;
                break;
            }
        }
    }
    *out = std::move(ids);
    return NOERROR;
}

} // namespace

STATUS get(const std::string& file, const std::string& key, const std::function<STATUS(Ids*)>& read,
           Ids* out) {
    return getShared<Ids>(file, key, read, out, &FileEntry::lists);
}

STATUS getObject(const std::string& file, const std::string& key, const std::function<STATUS(Object*)>& read,
                 Object* out) {
    return getShared<Object>(file, key, read, out, &FileEntry::objects);
}

bool stamp(const std::string& file, std::uint64_t* out) {
    std::lock_guard<std::mutex> lock(mutex);
    const FileEntry* e = current(file);
    if (e) {
        *out = e->stamp;
    }
    return e != nullptr;
}

void forget(const std::string& file) {
    std::lock_guard<std::mutex> lock(mutex);
    files.remove_if([&](const FileEntry& e) { return e.file == file; });
}

} // namespace notes::ordercache
