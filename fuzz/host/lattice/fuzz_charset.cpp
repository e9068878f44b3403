// Charset conversions on arbitrary bytes: 8-bit text survives the trip through UTF-8 (the five
// unassigned Windows-1252 bytes come back as "?"), and every UTF-8 result is valid.
#include "Lattice/HTMLEncode.h"
#include "Utf8Check.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

bool unassigned(unsigned char b) {
    return b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using Lattice::HTMLEncode;
    using Lattice::String;
    const std::string input(reinterpret_cast<const char*>(data), size);

    String utf8 = HTMLEncode::string8ToUTF8(String(input));
    if (!validUtf8(utf8.str()))
        std::abort();
    std::string expected = input;
    for (char& c : expected)
        if (unassigned(static_cast<unsigned char>(c)))
            c = '?';
    if (HTMLEncode::UTF8ToString8(utf8).str() != expected)
        std::abort();

    // Every character or malformed byte gives exactly one 8-bit byte, so the text never grows.
    String back = HTMLEncode::UTF8ToString8(String(input));
    if (back.length() > static_cast<long>(size))
        std::abort();
    // When nothing had to be replaced, the way back to UTF-8 restores the input exactly.
    if (input.find('?') == std::string::npos && back.find('?') < 0 &&
        HTMLEncode::string8ToUTF8(back).str() != input)
        std::abort();

    for (const char* cs : {"", "utf-8", "iso-8859-1", "windows-1252", "iso-8859-15", "us-ascii", "x-unknown"})
        if (!validUtf8(HTMLEncode::convertBodyToUTF(String(input), String(cs)).str()))
            std::abort();
    return 0;
}
