// Unsigned sizes handed out through the class library's signed integers.
#pragma once

#include <limits>
#include <type_traits>

namespace notes {

// `value` as the signed type `To`, which on the 32-bit target can be narrower than the value (LNINT
// is a 32-bit long there, a file size a 32-bit DWORD): past its range it reads as the largest value
// `To` holds, never as a negative size.
template <class To, class From> constexpr To saturating(From value) {
    static_assert(std::is_signed_v<To> && std::is_unsigned_v<From>);
    if constexpr (std::numeric_limits<From>::digits > std::numeric_limits<To>::digits) {
        if (value > static_cast<From>(std::numeric_limits<To>::max())) {
            return std::numeric_limits<To>::max();
        }
    }
    return static_cast<To>(value);
}

} // namespace notes
