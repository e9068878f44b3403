#pragma once
// Bridge between the kit's model and GMime; private to the library.

#include "hxMime/Mime.h"

#include <gmime/gmime.h>

#include <memory>

namespace hxMailLib::Mime::detail {

struct GObjectUnref {
    void operator()(gpointer p) const {
        if (p)
            g_object_unref(p);
    }
};
template <class T> using GRef = std::unique_ptr<T, GObjectUnref>;

struct GFree {
    void operator()(gpointer p) const { g_free(p); }
};
using GString8 = std::unique_ptr<char, GFree>;

inline Lattice::String take(char* text) {
    GString8 owner(text);
    return Lattice::String(text ? text : "");
}
inline const char* orEmpty(const char* s) {
    return s ? s : "";
}

// Output options: CRLF line ends, RFC 2231 parameters. Owned by the engine for the process lifetime.
GMimeFormatOptions* formatOptions();
// Parser options with UTF-8 then Windows-1252 as fallback charsets for undeclared 8-bit text.
GMimeParserOptions* parserOptions();

// Puts the blank line after the header block where a sender left it out.
Lattice::String repairHeaderBlock(const Lattice::String& text);
// Parses `text` as a message or as a single entity; null when GMime yields nothing.
GRef<GMimeMessage> parseMessage(const Lattice::String& text);
GRef<GMimeObject> parsePart(const Lattice::String& text);

// GMime tree -> model.
Lattice::Ptr<MimeBase> fromGMime(GMimeObject* object, int depth = 0);
void readContentType(GMimeContentType* source, ContentType& target);
void readEntityHeaders(GMimeObject* source, MimeBase& target, bool skipAddresses);

// Headers that hold address lists besides From/Reply-To/To/Cc/Bcc (name in lower case).
bool isAddressHeader(const Lattice::String& lowerName);
void appendHeader(GMimeObject* target, const Lattice::String& name, const Lattice::String& value);

// Model -> GMime tree. The caller owns the result.
GMimeObject* toGMime(const MimeBase& part, int depth = 0);
GMimeContentType* toGMime(const ContentType& type);
// Writes the non-field headers and the Content-* fields of `source` onto `target`.
void writeEntityHeaders(const MimeBase& source, GMimeObject* target);

// A whole message from an Email; the caller owns the result.
GMimeObject* buildMessage(const Email& email, int depth);

Lattice::String objectToString(GMimeObject* object);
// `text` as UTF-8: kept when valid, else read as Windows-1252.
Lattice::String validUtf8(const char* text);

// Converts bytes in `charset` to UTF-8 with the kit's fallbacks.
Lattice::String toUtf8(const Lattice::String& bytes, const Lattice::String& charset);

} // namespace hxMailLib::Mime::detail
