#pragma once
#include "notes/capi.h"

#include <utility>

namespace hxMail::hxNotesProvider {

// One C API handle that the plug-in owns, given back with its own call on every way out.
template <STATUS (*Release)(DHANDLE)> class NotesHandle {
public:
    NotesHandle() = default;
    explicit NotesHandle(DHANDLE handle) : handle_(handle) {}
    NotesHandle(NotesHandle&& other) noexcept : handle_(std::exchange(other.handle_, NULLHANDLE)) {}
    NotesHandle& operator=(NotesHandle&& other) noexcept {
        if (this != &other) {
            reset();
            handle_ = std::exchange(other.handle_, NULLHANDLE);
        }
        return *this;
    }
    ~NotesHandle() { reset(); }

    DHANDLE get() const { return handle_; }
    explicit operator bool() const { return handle_ != NULLHANDLE; }
    // For the C API call that hands a new handle out; the old one is given back first.
    DHANDLE* out() {
        reset();
        return &handle_;
    }
    void reset() {
        if (handle_ != NULLHANDLE)
            Release(std::exchange(handle_, NULLHANDLE));
    }

private:
    DHANDLE handle_ = NULLHANDLE;
};

using NotesMemory = NotesHandle<OSMemFree>;
using NotesIdTable = NotesHandle<IDDestroyTable>;
using NotesCollection = NotesHandle<NIFCloseCollection>;

} // namespace hxMail::hxNotesProvider
