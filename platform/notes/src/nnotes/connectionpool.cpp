#include "connectionpool.h"

#include "fileidentity.h"
#include "runtime.h"
#include "store.h"

#include <sqlite3.h>

#include <list>
#include <mutex>

namespace notes::connectionpool {

namespace {

constexpr std::size_t kMaxIdle = 16;

struct Idle {
    std::string file;
    FileIdentity identity;
    std::unique_ptr<Database> db;
};

bool gGone = false; // the pool was destroyed (process exit): connections just close

struct Pool {
    std::mutex mutex;
    std::list<Idle> idle; // most recently returned first
    ~Pool() { gGone = true; }
};

Pool& pool() {
    static Pool p;
    return p;
}

void giveBack(Database* raw) {
    std::unique_ptr<Database> db(raw);
    if (gGone || !db->idle()) {
        return;
    }
    FileIdentity identity;
    if (!identityOf(db->file(), &identity)) {
        return;
    }
    Pool& p = pool();
    std::lock_guard<std::mutex> lock(p.mutex);
    p.idle.push_front(Idle{db->file(), identity, std::move(db)});
    if (p.idle.size() > kMaxIdle) {
        p.idle.pop_back();
    }
}

} // namespace

std::unique_ptr<Database> take(const std::string& file) {
    FileIdentity identity;
    if (gGone || !identityOf(file, &identity)) {
        return nullptr;
    }
    Pool& p = pool();
    std::lock_guard<std::mutex> lock(p.mutex);
    for (auto it = p.idle.begin(); it != p.idle.end();) {
        if (it->file != file) {
            ++it;
        } else if (it->identity != identity) {
            it = p.idle.erase(it); // the file was replaced or written behind our back
        } else {
            std::unique_ptr<Database> db = std::move(it->db);
            p.idle.erase(it);
            return db;
        }
    }
    return nullptr;
}

std::shared_ptr<Database> share(std::unique_ptr<Database> db) {
    if (gGone) {
        return std::shared_ptr<Database>(std::move(db));
    }
    pool(); // made before any connection it may receive, so that it is destroyed after them
    return std::shared_ptr<Database>(db.release(), giveBack);
}

void forget(const std::string& file) {
    if (gGone) {
        return;
    }
    Pool& p = pool();
    std::lock_guard<std::mutex> lock(p.mutex);
    p.idle.remove_if([&](const Idle& i) { return i.file == file; });
}

} // namespace notes::connectionpool
