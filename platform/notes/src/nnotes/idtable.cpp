// ID tables: a memory block holding a DWORD count and the note ids in ascending order.
#include "runtime.h"
#include "values.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <iterator>

namespace notes::idtable {
namespace {

// The ids a block holds: its count, never more than its bytes have room for.
std::size_t countOf(const MemoryBlock& block) {
    if (block.shared) {
        return block.shared->size();
    }
    DWORD count = 0;
    if (block.bytes.size() < sizeof count) {
        return 0;
    }
    std::memcpy(&count, block.bytes.data(), sizeof count);
    return std::min<std::size_t>(count, (block.bytes.size() - sizeof count) / sizeof(NOTEID));
}

NOTEID idAt(const MemoryBlock& block, std::size_t i) {
    if (block.shared) {
        return (*block.shared)[i];
    }
    NOTEID id = 0;
    std::memcpy(&id, block.bytes.data() + sizeof(DWORD) + i * sizeof(NOTEID), sizeof id);
    return id;
}

std::vector<NOTEID> idsOf(const MemoryBlock& block) {
    if (block.shared) {
        return *block.shared;
    }
    const std::size_t count = countOf(block);
    std::vector<NOTEID> ids(count);
    if (count > 0) {
        std::memcpy(ids.data(), block.bytes.data() + sizeof(DWORD), count * sizeof(NOTEID));
    }
    return ids;
}

std::vector<char> bytesOf(const std::vector<NOTEID>& ids) {
    const DWORD count = static_cast<DWORD>(ids.size());
    std::vector<char> bytes;
    bytes.reserve(sizeof count + ids.size() * sizeof(NOTEID));
    const auto* countBytes = reinterpret_cast<const char*>(&count);
    bytes.insert(bytes.end(), countBytes, countBytes + sizeof count);
    const auto* idBytes = reinterpret_cast<const char*>(ids.data());
    bytes.insert(bytes.end(), idBytes, idBytes + ids.size() * sizeof(NOTEID));
    return bytes;
}

} // namespace

DHANDLE create(const std::vector<NOTEID>& ids) {
    std::vector<NOTEID> sorted = ids;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    return handles::addMemory(bytesOf(sorted));
}

DHANDLE share(std::shared_ptr<const std::vector<NOTEID>> ids) {
    auto block = std::make_shared<MemoryBlock>();
    block->shared = ids ? std::move(ids) : std::make_shared<const std::vector<NOTEID>>();
    return handles::addBlock(std::move(block));
}

void settle(MemoryBlock* block) {
    if (block->shared) {
        block->bytes = bytesOf(*block->shared);
        block->shared.reset();
    }
}

void update(std::vector<NOTEID>* ids, const std::vector<NOTEID>& changed,
            const std::vector<NOTEID>& present) {
    if (changed.empty()) {
        return;
    }
    const auto from = std::lower_bound(ids->begin(), ids->end(), changed.front());
    const std::vector<NOTEID> tail(from, ids->end());
    ids->erase(from, ids->end());
    std::vector<NOTEID> kept;
    kept.reserve(tail.size());
    std::set_difference(tail.begin(), tail.end(), changed.begin(), changed.end(), std::back_inserter(kept));
    std::merge(kept.begin(), kept.end(), present.begin(), present.end(), std::back_inserter(*ids));
}

std::shared_ptr<std::vector<NOTEID>> own(std::shared_ptr<std::vector<NOTEID>> ids) {
    if (ids.use_count() > 1) {
        return std::make_shared<std::vector<NOTEID>>(*ids);
    }
    // Pairs with the last other holder's release: its reads come before the caller's changes.
    std::atomic_thread_fence(std::memory_order_acquire);
    return ids;
}

bool read(DHANDLE h, std::vector<NOTEID>* ids) {
    const auto block = handles::memory(h);
    if (!block) {
        return false;
    }
    *ids = idsOf(*block);
    return true;
}

// Changes a table in place; false for a bad handle.
template <typename Edit> bool edit(DHANDLE h, Edit f) {
    const auto block = handles::memory(h);
    if (!block) {
        return false;
    }
    std::vector<NOTEID> ids = idsOf(*block);
    f(ids);
    block->shared.reset();
    block->bytes = bytesOf(ids);
    return true;
}

} // namespace notes::idtable

using namespace notes;

extern "C" {

STATUS IDCreateTable(DWORD, DHANDLE* rethTable) {
    if (rethTable == nullptr) {
        return ERR_INVALID_PARAM;
    }
    *rethTable = idtable::create({});
    return NOERROR;
}

STATUS IDDestroyTable(DHANDLE hTable) {
    return handles::freeMemory(hTable);
}

STATUS IDInsert(DHANDLE hTable, NOTEID id, BOOL* retInserted) {
    bool inserted = false;
    const bool ok = idtable::edit(hTable, [&](std::vector<NOTEID>& ids) {
        const auto it = std::lower_bound(ids.begin(), ids.end(), id);
        if (it == ids.end() || *it != id) {
            ids.insert(it, id);
            inserted = true;
        }
    });
    if (retInserted) {
        *retInserted = inserted;
    }
    return ok ? NOERROR : ERR_INVALID_HANDLE;
}

STATUS IDDelete(DHANDLE hTable, NOTEID id, BOOL* retDeleted) {
    bool deleted = false;
    const bool ok = idtable::edit(hTable, [&](std::vector<NOTEID>& ids) {
        const auto it = std::lower_bound(ids.begin(), ids.end(), id);
        if (it != ids.end() && *it == id) {
            ids.erase(it);
            deleted = true;
        }
    });
    if (retDeleted) {
        *retDeleted = deleted;
    }
    return ok ? NOERROR : ERR_INVALID_HANDLE;
}

STATUS IDDeleteAll(DHANDLE hTable) {
    return idtable::edit(hTable, [](std::vector<NOTEID>& ids) { ids.clear(); }) ? NOERROR
                                                                                : ERR_INVALID_HANDLE;
}

// Searched where it lies: a table of a large folder is asked about once per change.
BOOL IDIsPresent(DHANDLE hTable, NOTEID id) {
    const auto block = handles::memory(hTable);
    if (!block) {
        return 0;
    }
    std::size_t low = 0, high = idtable::countOf(*block);
    while (low < high) {
        const std::size_t mid = low + (high - low) / 2;
        const NOTEID at = idtable::idAt(*block, mid);
        if (at == id) {
            return 1;
        }
        if (at < id) {
            low = mid + 1;
        } else {
            high = mid;
        }
    }
    return 0;
}

DWORD IDEntries(DHANDLE hTable) {
    const auto block = handles::memory(hTable);
    return block ? static_cast<DWORD>(idtable::countOf(*block)) : 0;
}

BOOL IDScan(DHANDLE hTable, BOOL first, NOTEID* retID) {
    const auto block = handles::memory(hTable);
    if (!block || retID == nullptr) {
        return 0;
    }
    if (first) {
        block->cursor = 0;
    }
    if (block->cursor >= idtable::countOf(*block)) {
        return 0;
    }
    *retID = idtable::idAt(*block, block->cursor++);
    return 1;
}

} // extern "C"
