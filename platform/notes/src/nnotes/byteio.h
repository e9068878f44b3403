// Values packed in stored item data, in the machine's (little-endian) order.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

namespace notes::byteio {

template <typename T> void put(std::string& out, const T& v) {
    out.append(reinterpret_cast<const char*>(&v), sizeof v);
}

// Reads a T at pos and moves past it; false (nothing read) when the data ends first.
template <typename T> bool get(std::string_view in, std::size_t& pos, T* v) {
    if (pos + sizeof(T) > in.size()) {
        return false;
    }
    std::memcpy(v, in.data() + pos, sizeof(T));
    pos += sizeof(T);
    return true;
}

} // namespace notes::byteio
