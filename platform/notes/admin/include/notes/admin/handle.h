// One owner for a handle of the C API: closed with the function that matches its kind when the
// owner goes, unless released.
#pragma once

#include "notes/capi.h"

#include <utility>

namespace notes::admin {

template <typename H, STATUS (*Close)(H)> class Handle {
public:
    Handle() = default;
    explicit Handle(H h) : h_(h) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    Handle(Handle&& other) noexcept : h_(std::exchange(other.h_, H(NULLHANDLE))) {}
    Handle& operator=(Handle&& other) noexcept {
        if (this != &other) {
            reset(std::exchange(other.h_, H(NULLHANDLE)));
        }
        return *this;
    }
    ~Handle() { reset(); }

    H get() const { return h_; }
    explicit operator bool() const { return h_ != NULLHANDLE; }
    // For the out-parameter of an opening call; closes what was held first.
    H* out() {
        reset();
        return &h_;
    }
    H release() { return std::exchange(h_, H(NULLHANDLE)); }
    void reset(H h = NULLHANDLE) {
        if (h_ != NULLHANDLE) {
            Close(h_);
        }
        h_ = h;
    }

private:
    H h_ = NULLHANDLE;
};

namespace detail {
inline STATUS closeDatabase(DBHANDLE h) {
    return NSFDbClose(h);
}
inline STATUS closeNote(NOTEHANDLE h) {
    return NSFNoteClose(h);
}
inline STATUS freeMemory(DHANDLE h) {
    return OSMemFree(h);
}
inline STATUS destroyTable(DHANDLE h) {
    return IDDestroyTable(h);
}
inline STATUS closeCollection(HCOLLECTION h) {
    return NIFCloseCollection(h);
}
} // namespace detail

using DatabaseHandle = Handle<DBHANDLE, detail::closeDatabase>;
using NoteHandle = Handle<NOTEHANDLE, detail::closeNote>;
using MemoryHandle = Handle<DHANDLE, detail::freeMemory>;
using IdTableHandle = Handle<DHANDLE, detail::destroyTable>;
using CollectionHandle = Handle<HCOLLECTION, detail::closeCollection>;

} // namespace notes::admin
