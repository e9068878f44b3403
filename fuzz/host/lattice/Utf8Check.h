// Strict UTF-8 validity (no overlongs, no surrogates, nothing past U+10FFFF) for the fuzz targets
// output checks.
#pragma once

#include <string>

namespace {

inline bool validUtf8(const std::string& s) {
    for (std::size_t i = 0; i < s.size();) {
        auto c = static_cast<unsigned char>(s[i]);
        std::size_t n = c < 0x80                   ? 1
                        : (c >= 0xC2 && c <= 0xDF) ? 2
                        : (c >= 0xE0 && c <= 0xEF) ? 3
                        : (c >= 0xF0 && c <= 0xF4) ? 4
                                                   : 0;
        if (!n || i + n > s.size())
            return false;
        for (std::size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
                return false;
        auto c1 = static_cast<unsigned char>(s[i + 1 < s.size() ? i + 1 : i]);
        if ((c == 0xE0 && c1 < 0xA0) || (c == 0xED && c1 > 0x9F) || (c == 0xF0 && c1 < 0x90) ||
            (c == 0xF4 && c1 > 0x8F))
            return false;
        i += n;
    }
    return true;
}

} // namespace
