#pragma once
// UTF-8 primitives shared by the web facilities (not part of the public headers).
#include <cstddef>
#include <string>
#include <string_view>

namespace Lattice::web {

// Decodes one well-formed sequence at `pos` (no overlongs, surrogates or values past U+10FFFF).
// Returns its length, or 0 when the bytes there are malformed or truncated.
std::size_t decodeUtf8(std::string_view s, std::size_t pos, char32_t& cp);
bool isValidUtf8(std::string_view s);
// Surrogates and out-of-range values are written as U+FFFD.
void appendUtf8(std::string& out, char32_t cp);
// Copies valid sequences and writes U+FFFD for each malformed byte.
std::string repairUtf8(std::string_view s);

} // namespace Lattice::web
