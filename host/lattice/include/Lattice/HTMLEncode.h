#pragma once
#include "Lattice/String.h"

#include <cstddef>
#include <string_view>

namespace Lattice {

// Charset and HTML helpers. "8-bit" text is Windows-1252.
class HTMLEncode {
public:
    // Windows-1252 to UTF-8. Bytes without a mapping (0x81, 0x8D, 0x8F, 0x90, 0x9D) become U+FFFD.
    static String string8ToUTF8(const String& text);
    // UTF-8 to Windows-1252. Characters without a mapping become '?'; malformed sequences are
    // replaced byte by byte, and the rest of the text is kept.
    static String UTF8ToString8(const String& text);
    // Converts a body in `charset` into valid UTF-8. An empty charset takes the one a <meta> at
    // the top of the page declares. utf-8 keeps valid sequences and reads stray bytes as
    // Windows-1252; iso-8859-1 is read as its superset Windows-1252; iso-8859-15 is supported;
    // us-ascii and unknown names are detected: valid UTF-8 is kept, anything else is Windows-1252.
    static String convertBodyToUTF(const String& body, const String& charset = String());
    // The same for a body the caller gives up: valid UTF-8 is returned without a copy.
    static String convertBodyToUTF(String&& body, const String& charset = String());
    // Whether convertBodyToUTF(body) would give `body` back unchanged: no <meta> at its top names
    // another charset, and it is valid UTF-8.
    static bool isUTF8Body(std::string_view body);
    // Removes active content from HTML: one pass of an HTML5 tokenizer with allow-lists of
    // elements, attributes, URL schemes and CSS writes well-formed, canonical HTML back (every
    // element it opens is closed, text and attribute values re-escaped), in time and memory
    // proportional to the page. Scripts, frames, plug-ins,
    // form controls, meta/base/link, event handlers, script URLs (however obfuscated) and CSS that
    // runs code or imports are removed; text, tables, inline styles, style sheets, images and
    // links (http, https, mailto, ftp, tel, cid, notes and relative) stay.
    // `fullDocument`: true gives "<html><head>(title, style)</head><body ...>...</body></html>";
    // false gives a fragment for insertion into a host page: a <div class="hx-message"> (the
    // message container, carrying the body's colours and background) holding the page's style
    // sheets and the body's content; empty when there is nothing to show. The fragment's style
    // sheets are scoped to the container: every selector is made a descendant of it (body, html
    // and :root stand for the container itself), selectors reaching the container's siblings are
    // dropped, and so are "position" values other than static, relative, absolute and sticky,
    // @import, and at-rules other than @media and @supports (@font-face, @keyframes, @page...
    // define page-wide names a message cannot scope).
    // `allowRemoteImages`: false also removes http(s) and "//" sources of images, backgrounds and
    // CSS url(); cid:, inline png/gif/jpeg/webp data and relative sources are always kept.
    static String stripScript(const String& html, bool fullDocument, bool allowRemoteImages);
    // The same for a page held elsewhere, such as a range of a larger text.
    static String stripScript(std::string_view html, bool fullDocument, bool allowRemoteImages);
    // The same for `length` bytes of `page` from `offset`, the result written over the page in its
    // own buffer as it is read (a page costs no second buffer of its size unless the result
    // outgrows what was read). `page` is given up.
    static String stripScript(String&& page, std::size_t offset, std::size_t length, bool fullDocument,
                              bool allowRemoteImages);
    // Class of the container a fragment from stripScript is wrapped in.
    static constexpr const char* kMessageContainerClass = "hx-message";
    // Escapes &, <, >, " and '.
    static String escape(const String& text);
};

// HTML <-> plain text.
class HTMLConvert {
public:
    // Visible text of an HTML document (UTF-8): block elements become line breaks, paragraphs and
    // headings are set apart by a blank line, list items start with "- ", table cells end with a
    // tab, blank runs collapse outside <pre>, entities are decoded.
    static String toText(const String& html);
    // Text as HTML: escaped, line breaks as <br>, runs of blanks and tabs as &nbsp;, http(s), ftp,
    // mailto and www. addresses made into links.
    static String toHTML(const String& text);
};

} // namespace Lattice
