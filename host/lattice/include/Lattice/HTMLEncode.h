#pragma once
#include "Lattice/String.h"

namespace Lattice {

// Charset and HTML helpers. "8-bit" text is Windows-1252.
class HTMLEncode {
public:
    // Windows-1252 to UTF-8. Bytes without a mapping (0x81, 0x8D, 0x8F, 0x90, 0x9D) become U+FFFD.
    static String string8ToUTF8(const String& text);
    // UTF-8 to Windows-1252. Characters without a mapping become '?'; malformed sequences are
    // replaced byte by byte, and the rest of the text is kept.
    static String UTF8ToString8(const String& text);
    // Converts a body in `charset` (empty: detect UTF-8, else Windows-1252) into valid UTF-8.
    static String convertBodyToUTF(const String& body, const String& charset = String());
    // Removes script from HTML with a real HTML5 parser and an allow-list. `fullDocument` keeps
    // html/head/body wrappers (else only the body content is returned); `allowRemoteImages`
    // keeps http(s) image sources.
    static String stripScript(const String& html, bool fullDocument, bool allowRemoteImages);
    // Escapes &, <, >, " and '.
    static String escape(const String& text);
};

// HTML <-> plain text.
class HTMLConvert {
public:
    // Visible text of an HTML document: block elements become line breaks, entities are decoded.
    static String toText(const String& html);
    // Text as HTML: escaped, line breaks as <br>, URLs made into links.
    static String toHTML(const String& text);
};

} // namespace Lattice
