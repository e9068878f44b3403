// Shared by the Windows build's stand-ins for libraries that have no Windows build here. They
// compile the real callers unchanged and refuse at run time: results are "failed" or empty, and a
// call that the real library cannot fail stops the process with a line naming the library.
#pragma once

#include <compare>
#include <cstdio>
#include <cstdlib>
#include <type_traits>

namespace hxstub {

[[noreturn]] inline void refuse(const char* library) {
    std::fprintf(stderr, "%s is not part of this Windows build\n", library);
    std::abort();
}

// What a refused call answers: null for pointers, 0 for numbers and flags.
struct Nothing {
    template <class T>
    requires(std::is_pointer_v<T> || std::is_arithmetic_v<T> || std::is_enum_v<T>) operator T() const {
        return T{};
    }
    template <class T>
    requires std::is_arithmetic_v<T>
    friend bool operator==(Nothing, T v) { return T{} == v; }
    template <class T>
    requires std::is_arithmetic_v<T>
    friend auto operator<=>(Nothing, T v) { return T{} <=> v; }
};

} // namespace hxstub

// A refused call of any arity and argument types.
#define HXSTUB_EMPTY(name)                                                                                   \
    template <class... A> inline hxstub::Nothing name(A&&...) {                                              \
        return {};                                                                                           \
    }
// A call that cannot fail in the real library: stops with the library's name.
#define HXSTUB_REFUSE(library, name)                                                                         \
    template <class... A> [[noreturn]] inline hxstub::Nothing name(A&&...) {                                 \
        hxstub::refuse(library);                                                                             \
    }
