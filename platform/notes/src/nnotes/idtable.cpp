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
    DWORD count = 0;
    if (block.bytes.size() < sizeof count) {
        return 0;
    }
    std::memcpy(&count, block.bytes.data(), sizeof count);
    return std::min<std::size_t>(count, (block.bytes.size() - sizeof count) / sizeof(NOTEID));
}

std::vector<NOTEID> idsOf(const MemoryBlock& block) {
    const std::size_t count = countOf(block);
    std::vector<NOTEID> ids(count);
    if (count > 0) {
        std::memcpy(ids.data(), block.bytes.data() + sizeof(DWORD), count * sizeof(NOTEID));
    }
    return ids;
}

std::vector<char> bytesOf(const std::vector<NOTEID>& ids) {
    std::vector<char> bytes(sizeof(DWORD) + ids.size() * sizeof(NOTEID));
    const DWORD count = static_cast<DWORD>(ids.size());
    std::memcpy(bytes.data(), &count, sizeof count);
    if (!ids.empty()) {
        std::memcpy(bytes.data() + sizeof count, ids.data(), ids.size() * sizeof(NOTEID));
    }
    return bytes;
}

} // namespace

DHANDLE create(const std::vector<NOTEID>& ids) {
    std::vector<NOTEID> sorted = ids;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    return handles::addMemory(bytesOf(sorted));
}

DHANDLE createSorted(const std::vector<NOTEID>& ids) {
    return handles::addMemory(bytesOf(ids));
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
    const std::size_t count = idtable::countOf(*block);
    const char* base = block->bytes.data() + sizeof(DWORD);
    std::size_t low = 0, high = count;
    while (low < high) {
        const std::size_t mid = low + (high - low) / 2;
        NOTEID at = 0;
        std::memcpy(&at, base + mid * sizeof(NOTEID), sizeof at);
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
    DWORD count = 0;
    if (!block || retID == nullptr || block->bytes.size() < sizeof count) {
        return 0;
    }
    std::memcpy(&count, block->bytes.data(), sizeof count);
    if (first) {
        block->cursor = 0;
    }
    const std::size_t offset = sizeof count + block->cursor * sizeof(NOTEID);
    if (block->cursor >= count || offset + sizeof(NOTEID) > block->bytes.size()) {
        return 0;
    }
    std::memcpy(retID, block->bytes.data() + offset, sizeof(NOTEID));
    ++block->cursor;
    return 1;
}

} // extern "C"
