// Text helpers of the web task: Notes text is ISO-8859-1, pages are UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace domino {

std::string latin1ToUtf8(std::string_view text);
// Valid UTF-8 whose characters all fit ISO-8859-1 becomes that; anything else is kept as given.
std::string utf8ToLatin1IfPossible(std::string_view text);
// Text in a MIME charset as UTF-8: unknown charsets are taken as UTF-8 when the bytes are valid
// UTF-8, else as Windows-1252; bytes that do not decode become U+FFFD.
std::string charsetToUtf8(std::string_view bytes, std::string_view charset);
bool isValidUtf8(std::string_view text);
// %XX encoding of one path segment (unreserved characters and a few safe sub-delimiters stay).
std::string percentEncode(std::string_view segment);
// Escapes & < > " ' (the result is safe inside elements and quoted attributes).
std::string htmlEscape(std::string_view text);
// Strict RFC 4648 Base64 (padding required, no white space); nullopt on anything else.
std::optional<std::string> base64Decode(std::string_view text);
// %XX decoding of one path segment; nullopt on a broken escape or a decoded NUL.
std::optional<std::string> percentDecode(std::string_view text);
bool equalsNoCase(std::string_view a, std::string_view b);
bool endsWithNoCase(std::string_view text, std::string_view suffix);

} // namespace domino
