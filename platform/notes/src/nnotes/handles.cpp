// The process-wide handle table: databases, open notes and memory blocks. Handles count up from 1
// and are never reused, so a stale handle is refused instead of reaching another object.
#include "runtime.h"
#include "store.h"

#include <cstring>
#include <unordered_map>
#include <variant>

namespace notes::handles {
namespace {

using Entry = std::variant<std::shared_ptr<Database>, std::shared_ptr<Note>, std::shared_ptr<MemoryBlock>,
                           std::shared_ptr<Collection>>;

std::mutex gMutex;
std::unordered_map<DHANDLE, Entry> gTable;
DHANDLE gNext = 1;

DHANDLE add(Entry entry) {
    std::lock_guard<std::mutex> lock(gMutex);
    const DHANDLE h = gNext++;
    gTable.emplace(h, std::move(entry));
    return h;
}

template <typename T> std::shared_ptr<T> get(DHANDLE h) {
    std::lock_guard<std::mutex> lock(gMutex);
    const auto it = gTable.find(h);
    if (it == gTable.end()) {
        return nullptr;
    }
    const auto* p = std::get_if<std::shared_ptr<T>>(&it->second);
    return p ? *p : nullptr;
}

template <typename T> std::shared_ptr<T> take(DHANDLE h) {
    std::lock_guard<std::mutex> lock(gMutex);
    const auto it = gTable.find(h);
    if (it == gTable.end()) {
        return nullptr;
    }
    auto* p = std::get_if<std::shared_ptr<T>>(&it->second);
    if (p == nullptr) {
        return nullptr;
    }
    std::shared_ptr<T> out = std::move(*p);
    gTable.erase(it);
    return out;
}

} // namespace

DHANDLE addDatabase(std::shared_ptr<Database> db) {
    return add(std::move(db));
}
DHANDLE addNote(std::shared_ptr<Note> note) {
    return add(std::move(note));
}
DHANDLE addMemory(std::vector<char> bytes) {
    auto block = std::make_shared<MemoryBlock>();
    block->bytes = std::move(bytes);
    return add(std::move(block));
}
DHANDLE addBlock(std::shared_ptr<MemoryBlock> block) {
    return add(std::move(block));
}

std::shared_ptr<Database> database(DHANDLE h) {
    return get<Database>(h);
}
std::shared_ptr<Note> note(DHANDLE h) {
    return get<Note>(h);
}
std::shared_ptr<MemoryBlock> memory(DHANDLE h) {
    return get<MemoryBlock>(h);
}
DHANDLE addCollection(std::shared_ptr<Collection> collection) {
    return add(std::move(collection));
}
std::shared_ptr<Collection> collection(DHANDLE h) {
    return get<Collection>(h);
}
STATUS closeCollection(DHANDLE h) {
    return take<Collection>(h) ? NOERROR : ERR_INVALID_HANDLE;
}

STATUS closeDatabase(DHANDLE h) {
    return take<Database>(h) ? NOERROR : ERR_INVALID_HANDLE;
}

STATUS closeNote(DHANDLE h) {
    const std::shared_ptr<Note> n = take<Note>(h);
    if (!n) {
        return ERR_INVALID_HANDLE;
    }
    for (DHANDLE block : n->blocks) {
        take<MemoryBlock>(block);
    }
    return NOERROR;
}

STATUS freeMemory(DHANDLE h) {
    return take<MemoryBlock>(h) ? NOERROR : ERR_INVALID_HANDLE;
}

std::size_t count() {
    std::lock_guard<std::mutex> lock(gMutex);
    return gTable.size();
}

} // namespace notes::handles

extern "C" {

STATUS OSMemAlloc(WORD, DWORD size, DHANDLE* retHandle) {
    if (retHandle == nullptr) {
        return ERR_INVALID_PARAM;
    }
    *retHandle = notes::handles::addMemory(std::vector<char>(size, '\0'));
    return NOERROR;
}

STATUS OSMemFree(DHANDLE handle) {
    return notes::handles::freeMemory(handle);
}

STATUS OSMemGetSize(DHANDLE handle, DWORD* retSize) {
    const auto block = notes::handles::memory(handle);
    if (!block || retSize == nullptr) {
        return ERR_INVALID_HANDLE;
    }
    notes::idtable::settle(block.get());
    *retSize = static_cast<DWORD>(block->bytes.size());
    return NOERROR;
}

void* OSLockObject(DHANDLE handle) {
    const auto block = notes::handles::memory(handle);
    if (!block) {
        return nullptr;
    }
    notes::idtable::settle(block.get());
    ++block->locks;
    if (block->bytes.empty()) {
        block->bytes.reserve(1); // a locked empty block still has an address
    }
    return block->bytes.data();
}

BOOL OSUnlockObject(DHANDLE handle) {
    const auto block = notes::handles::memory(handle);
    if (!block || block->locks == 0) {
        return 0;
    }
    --block->locks;
    return 1;
}

} // extern "C"
