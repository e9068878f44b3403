// Native MIME memos: an RFC 5322 / 2045 message parsed into its leaf parts, stored as "Body" items
// of TYPE_MIME_PART, and read back. See the README for the stored layout.
#pragma once

#include "mailgen.h"
#include "runtime.h"
#include "store.h"

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace notes::mime {

struct Part {
    std::string contentType; // lower case, no parameters ("text/plain")
    std::string charset;     // lower case; empty when not given
    std::string fileName;    // from Content-Disposition filename or Content-Type name
    std::string contentId;   // without the angle brackets
    std::string disposition; // "inline", "attachment" or empty
    std::string headers;     // the part's header block as in the source, ending with the blank line
    std::string encoded;     // the content as transfer-encoded in the source
    std::string content;     // decoded bytes (base64 / quoted-printable undone)
    std::string encoding;    // Content-Transfer-Encoding, lower case; empty when not given
    std::string boundary;    // the boundary of the multipart that holds it
    bool inObject = false;   // the content is the "$FILE" attachment named fileName (not in the item)
};

struct Message {
    std::string headers;     // top-level header block, ending with the blank line
    std::vector<Part> parts; // the leaf parts in source order
    std::string epilog;      // text after the closing boundary of the outermost multipart

    // The first top-level header of that name (ignoring case), unfolded, encoded words decoded to
    // UTF-8; empty when absent.
    std::string header(std::string_view name) const;
};

// The older, one-item-per-leaf layout (still read; test fixtures write it). Parses a message; false
// with a reason in *error when it is not readable (no header block, a multipart without boundary,
// more than 64 nesting levels).
bool parseMessage(std::string_view eml, Message* out, std::string* error);

// The "Body" items of a message, in order: part type and item value (MIME_PART record + text).
// ERR_MIME_PART_TOO_BIG when a part's text exceeds 65535 bytes.
STATUS encodeParts(const Message& message, std::vector<std::pair<WORD, std::string>>* items);

// Reads one item value: the record and its text (false when cut short).
bool decodePartItem(std::string_view value, MIME_PART* record, std::string* text);

// The leaf parts of a note's "Body" items of TYPE_MIME_PART (empty when it has none). Reads a body
// stored byte for byte, the layout encodeParts writes, and a plain sequence of chunks that together
// form the message (its leaves as GMime finds them).
std::vector<Part> leafParts(const Note& note);
// The top-level header block of a note's MIME body.
std::string topHeaders(const Note& note);

// A native MIME memo from a message, stored byte for byte: storeMessage (below) under its older
// name. From, SendTo, CopyTo, Subject (ISO-8859-1), PostedDate from its Date header (0 when it has
// none or it is not readable).
STATUS memoFromEml(std::string_view eml, mail::Message* out, std::string* error);
// An RFC 5322 date ("Tue, 1 Dec 2026 10:00:00 +0100") as ticks; false when not readable.
bool parseDate(std::string_view text, std::int64_t* ticks);
// The addresses of an address list header, split at commas outside quotes and angle brackets.
std::vector<std::string> splitAddresses(std::string_view value);

// Bodies stored byte for byte. Every item of such a body carries kPartVerbatim; an item with
// kPartContinued continues the text of the one before it (a segment longer than 65535 bytes).
constexpr DWORD kPartVerbatim = 0x00010000;
constexpr DWORD kPartContinued = 0x00020000;

// A memo that keeps the message's bytes: GMime's reading of the message gives the leaves, and every
// byte outside them (headers, preamble, boundary lines, epilogue, what GMime could not place) is
// kept in order. File parts become "$FILE" attachments with their decoded bytes when their transfer
// encoding can be redone exactly (base64 with even lines, or none); otherwise their text stays in
// the body and the file holds a decoded copy. ERR_MIME_PARSE (reason in *error) only when the input
// is no message at all.
STATUS storeMessage(std::string_view eml, mail::Message* out, std::string* error);
// Writes the stored message to `sink` in pieces, exactly as it came for a body stored byte for
// byte. ERR_ITEM_NOT_FOUND when the note has no MIME body; the sink's refusal is ERR_IO.
STATUS exportMessage(Note& note, const std::function<bool(std::string_view)>& sink);
// Whether the note's MIME body is stored byte for byte.
bool isVerbatim(const Note& note);
// The leaves GMime finds in a message, with decoded contents.
std::vector<Part> leavesOf(std::string_view eml);
// The leaves of a body stored byte for byte (file contents stay in their "$FILE" items).
std::vector<Part> verbatimLeaves(const Note& note);

// Lays out a writer's plain run of "Body" chunks in a native MIME note as storeMessage does, on
// save: file parts become "$FILE" attachments, the export stays the bytes written. `stored` is the
// note as last saved (or null): the files of the body the writer replaced leave with it. Any other
// note, or a body that does not parse or whose file names clash with other attachments, is left as
// it is.
void layOutWrittenBody(Note& note, Note* stored);
// The message text of a note whose body is stored byte for byte; false for any other note.
bool exportedText(NOTEHANDLE hNote, std::string* out);

// Codecs.
std::string decodeBase64(std::string_view text); // skips anything outside the alphabet
std::string encodeBase64(std::string_view bytes, std::size_t lineLength = 76);
std::string decodeQuotedPrintable(std::string_view text);
// RFC 2047 encoded words (B and Q) to UTF-8; ISO-8859-1 words are converted.
std::string decodeHeaderWords(std::string_view value);
std::string latin1ToUtf8(std::string_view text);
std::string utf8ToLatin1(std::string_view text); // characters beyond U+00FF become '?'

} // namespace notes::mime
