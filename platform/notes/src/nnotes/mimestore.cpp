// Messages stored byte for byte: GMime finds the leaves, every other byte is kept as it came.
#include "attachments.h"
#include "mimeparts.h"

#include <gmime/gmime.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <mutex>
#include <set>

namespace notes::mime {
namespace {

constexpr std::size_t kChunk = 0xFFFF;
constexpr int kMaxWalkDepth = 256; // deeper multiparts stay bytes of their parent's gap

void initGMime() {
    static std::once_flag once;
    std::call_once(once, [] { g_mime_init(); });
}

// A GMime stream over bytes the caller keeps alive, without copying them: a 100 MB message must
// not be held once more for the parser.
class BorrowedStream {
public:
    explicit BorrowedStream(std::string_view bytes) {
        initGMime();
        array_ = g_byte_array_new();
        array_->data = reinterpret_cast<guint8*>(const_cast<char*>(bytes.data()));
        array_->len = static_cast<guint>(bytes.size());
        stream_ = g_mime_stream_mem_new_with_byte_array(array_);
        g_mime_stream_mem_set_owner(GMIME_STREAM_MEM(stream_), FALSE);
    }
    ~BorrowedStream() {
        g_object_unref(stream_);
        g_byte_array_free(array_, FALSE); // the bytes are the caller's
    }
    BorrowedStream(const BorrowedStream&) = delete;
    BorrowedStream& operator=(const BorrowedStream&) = delete;
    GMimeStream* get() const { return stream_; }

private:
    GByteArray* array_;
    GMimeStream* stream_;
};

template <typename T> struct GUnref {
    void operator()(T* p) const {
        if (p) {
            g_object_unref(p);
        }
    }
};
template <typename T> using GPtr = std::unique_ptr<T, GUnref<T>>;

std::string ownedText(char* s) {
    std::string out = s ? s : "";
    g_free(s);
    return out;
}

// Where a header block that starts at `from` ends: after its first empty line (the end when none).
std::size_t headerBlockEnd(std::string_view text, std::size_t from) {
    std::size_t pos = from;
    while (pos < text.size()) {
        const std::size_t nl = text.find('\n', pos);
        if (nl == std::string_view::npos) {
            return text.size();
        }
        const std::string_view line = text.substr(pos, nl - pos);
        if (line.empty() || line == "\r") {
            return nl + 1;
        }
        pos = nl + 1;
    }
    return text.size();
}

// The start of the line-end before the first "--boundary" line at or after `from` (npos: none).
std::size_t delimiterBefore(std::string_view text, std::size_t from, const std::string& boundary) {
    if (boundary.empty()) {
        return std::string_view::npos;
    }
    const std::string delimiter = "--" + boundary;
    for (std::size_t at = text.find(delimiter, from); at != std::string_view::npos;
         at = text.find(delimiter, at + 1)) {
        if (at == from || text[at - 1] == '\n') {
            std::size_t end = at;
            if (end > from && text[end - 1] == '\n') {
                --end;
                if (end > from && text[end - 1] == '\r') {
                    --end;
                }
            }
            return end;
        }
    }
    return std::string_view::npos;
}

struct Leaf {
    bool ownHeaders = true;       // false: the top-level header block is the leaf's
    std::size_t headerBegin = 0;  // ownHeaders: [headerBegin, contentBegin) is its header block
    std::size_t contentBegin = 0; // [contentBegin, contentEnd) its content as transfer-encoded
    std::size_t contentEnd = 0;
    bool opaque = false; // no content stream: its end is the parent's next delimiter
    std::string parentBoundary;
};

class Walker {
public:
    explicit Walker(std::string_view text) : text_(text) {}
    std::vector<Leaf> leaves;

    void walk(GMimeObject* object, const std::string& parentBoundary, bool top, int depth) {
        if (GMIME_IS_MULTIPART(object) && depth < kMaxWalkDepth) {
            GMimeMultipart* multi = GMIME_MULTIPART(object);
            const int count = g_mime_multipart_get_count(multi);
            if (count > 0) {
                const char* b = g_mime_multipart_get_boundary(multi);
                const std::string boundary = b ? b : "";
                for (int i = 0; i < count; ++i) {
                    walk(g_mime_multipart_get_part(multi, i), boundary, false, depth + 1);
                }
                return;
            }
            // Without parts (no boundary, or none found) its text is the leaf: nothing is hidden.
        } else if (depth >= kMaxWalkDepth) {
            return;
        }
        Leaf leaf;
        leaf.ownHeaders = !top;
        leaf.parentBoundary = parentBoundary;
        GMimeHeaderList* headers = g_mime_object_get_header_list(object);
        const int headerCount = headers ? g_mime_header_list_get_count(headers) : 0;
        if (!top) {
            if (headerCount == 0) {
                leaf.headerBegin = std::string_view::npos; // placed at its content below
            } else {
                const gint64 offset = g_mime_header_get_offset(g_mime_header_list_get_header_at(headers, 0));
                if (offset < 0) {
                    return;
                }
                leaf.headerBegin = static_cast<std::size_t>(offset);
            }
        }
        GMimeStream* content = nullptr;
        if (GMIME_IS_PART(object)) {
            if (GMimeDataWrapper* wrapper = g_mime_part_get_content(GMIME_PART(object))) {
                content = g_mime_data_wrapper_get_stream(wrapper);
            }
        }
        if (content != nullptr && content->bound_start >= 0) {
            leaf.contentBegin = static_cast<std::size_t>(content->bound_start);
            leaf.contentEnd =
                content->bound_end < 0 ? text_.size() : static_cast<std::size_t>(content->bound_end);
            if (leaf.headerBegin == std::string_view::npos) {
                leaf.headerBegin = leaf.contentBegin;
            }
        } else {
            if (leaf.headerBegin == std::string_view::npos) {
                return;
            }
            leaf.opaque = true;
        }
        leaves.push_back(std::move(leaf));
    }

private:
    std::string_view text_;
};

// GMime's leaves of a message as byte ranges, in source order; topEnd is the end of the
// top-level header block. Leaves whose ranges GMime left unclear stay bytes of the gaps.
bool locate(std::string_view text, std::vector<Leaf>* leaves, std::size_t* topEnd, std::string* error) {
    if (text.empty()) {
        *error = "the message is empty: it has no header and no body";
        return false;
    }
    BorrowedStream stream(text);
    GPtr<GMimeParser> parser(g_mime_parser_new_with_stream(stream.get()));
    g_mime_parser_set_format(parser.get(), GMIME_FORMAT_MESSAGE);
    g_mime_parser_set_persist_stream(parser.get(), TRUE);
    GPtr<GMimeMessage> message(g_mime_parser_construct_message(parser.get(), nullptr));
    if (!message) {
        // No header GMime could read: the whole text is the body of a headerless message, as mail
        // readers show it.
        Leaf leaf;
        leaf.ownHeaders = false;
        leaf.contentEnd = text.size();
        leaves->assign(1, leaf);
        *topEnd = 0;
        return true;
    }
    Walker walker(text);
    if (GMimeObject* body = g_mime_message_get_mime_part(message.get())) {
        walker.walk(body, "", true, 0);
    }
    std::vector<Leaf> found = std::move(walker.leaves);
    const bool topLeaf = !found.empty() && !found.front().ownHeaders;
    *topEnd = topLeaf && !found.front().opaque ? std::min(found.front().contentBegin, text.size())
                                               : headerBlockEnd(text, 0);
    // Opaque leaves: the content follows their header block up to the parent's next delimiter.
    for (std::size_t i = 0; i < found.size(); ++i) {
        Leaf& leaf = found[i];
        if (!leaf.opaque) {
            continue;
        }
        leaf.contentBegin = leaf.ownHeaders ? headerBlockEnd(text, leaf.headerBegin) : *topEnd;
        const std::size_t limit = i + 1 < found.size() && found[i + 1].headerBegin > leaf.contentBegin
                                      ? found[i + 1].headerBegin
                                      : text.size();
        const std::size_t end =
            delimiterBefore(text.substr(0, limit), leaf.contentBegin, leaf.parentBoundary);
        leaf.contentEnd = end == std::string_view::npos ? limit : end;
    }
    leaves->clear();
    std::size_t position = *topEnd;
    for (Leaf& leaf : found) {
        const std::size_t begin = leaf.ownHeaders ? leaf.headerBegin : leaf.contentBegin;
        if (begin < position || leaf.contentBegin < begin || leaf.contentEnd < leaf.contentBegin ||
            leaf.contentEnd > text.size()) {
            continue; // overlapping or out of order: its bytes stay in the gaps
        }
        position = leaf.contentEnd;
        leaves->push_back(std::move(leaf));
    }
    return true;
}

// The description of a leaf from its header block, as GMime reads it.
void describe(std::string_view headerBlock, Part* part) {
    std::string block(headerBlock);
    if (block.empty() || (block.back() != '\n')) {
        block += "\n";
    }
    block += "\n";
    BorrowedStream stream(block);
    GPtr<GMimeParser> parser(g_mime_parser_new_with_stream(stream.get()));
    g_mime_parser_set_format(parser.get(), GMIME_FORMAT_MESSAGE);
    GPtr<GMimeObject> object(g_mime_parser_construct_part(parser.get(), nullptr));
    part->headers = std::string(headerBlock);
    part->contentType = "text/plain";
    if (!object) {
        return;
    }
    if (GMimeContentType* type = g_mime_object_get_content_type(object.get())) {
        part->contentType = lower(ownedText(g_mime_content_type_get_mime_type(type)));
        const char* charset = g_mime_content_type_get_parameter(type, "charset");
        part->charset = charset ? lower(charset) : "";
    }
    if (const char* disposition = g_mime_object_get_disposition(object.get())) {
        part->disposition = lower(disposition);
    }
    if (GMIME_IS_PART(object.get())) {
        const char* name = g_mime_part_get_filename(GMIME_PART(object.get()));
        part->fileName = name ? name : "";
    }
    if (const char* id = g_mime_object_get_content_id(object.get())) {
        part->contentId = id;
    }
    const char* encoding = g_mime_object_get_header(object.get(), "Content-Transfer-Encoding");
    part->encoding = encoding ? lower(encoding) : "";
    part->encoding.erase(0, part->encoding.find_first_not_of(" \t"));
    part->encoding.erase(part->encoding.find_last_not_of(" \t\r\n") + 1);
}

std::string decoded(const std::string& encoding, std::string_view text) {
    if (encoding == "base64") {
        return decodeBase64(text);
    }
    if (encoding == "quoted-printable") {
        return decodeQuotedPrintable(text);
    }
    return std::string(text);
}

// Appends the base64 form of `bytes` (one line, no line end) without a string of its own.
void appendBase64(std::string* out, std::string_view bytes) {
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const std::size_t start = out->size();
    out->resize(start + (bytes.size() + 2) / 3 * 4);
    char* o = out->data() + start;
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const std::uint32_t n = (std::uint32_t{in[i]} << 16) | (std::uint32_t{in[i + 1]} << 8) | in[i + 2];
        *o++ = kAlphabet[(n >> 18) & 63];
        *o++ = kAlphabet[(n >> 12) & 63];
        *o++ = kAlphabet[(n >> 6) & 63];
        *o++ = kAlphabet[n & 63];
    }
    if (i < bytes.size()) {
        const bool two = i + 1 < bytes.size();
        const std::uint32_t n = (std::uint32_t{in[i]} << 16) | (two ? std::uint32_t{in[i + 1]} << 8 : 0);
        *o++ = kAlphabet[(n >> 18) & 63];
        *o++ = kAlphabet[(n >> 12) & 63];
        *o++ = two ? kAlphabet[(n >> 6) & 63] : '=';
        *o++ = '=';
    }
}

// How a file part's transfer encoding is redone from its bytes, so that only the bytes are kept.
struct Recipe {
    bool base64 = false;
    std::size_t lineLength = 0; // characters per line; 0: one line
    bool crlf = true;
    bool finalLineEnd = false;

    std::string text() const {
        return base64 ? "base64 " + std::to_string(lineLength) + (crlf ? " crlf " : " lf ") +
                            (finalLineEnd ? "1" : "0")
                      : "identity";
    }
    static bool parse(std::string_view text, Recipe* out) {
        if (text == "identity") {
            *out = Recipe{};
            return true;
        }
        unsigned long length = 0;
        char eol[8] = {};
        int final = 0;
        const std::string s(text);
        if (std::sscanf(s.c_str(), "base64 %lu %7s %d", &length, eol, &final) != 3 || length % 4 != 0) {
            return false;
        }
        out->base64 = true;
        out->lineLength = length;
        out->crlf = std::string_view(eol) == "crlf";
        out->finalLineEnd = final != 0;
        return true;
    }

    // Writes the encoded form of `bytes` to `sink` in pieces; false when the sink refuses.
    template <typename Sink> bool encode(std::string_view bytes, Sink&& sink) const {
        if (!base64) {
            return sink(bytes);
        }
        const std::string_view eol = crlf ? "\r\n" : "\n";
        const std::size_t perLine = lineLength == 0 ? bytes.size() : lineLength / 4 * 3;
        if (perLine == 0) {
            return bytes.empty() ? (!finalLineEnd || sink(eol)) : false;
        }
        constexpr std::size_t kLinesPerPiece = 1024;
        std::string piece;
        for (std::size_t at = 0; at < bytes.size();) {
            piece.clear();
            for (std::size_t n = 0; n < kLinesPerPiece && at < bytes.size(); ++n) {
                const std::size_t take = std::min(perLine, bytes.size() - at);
                appendBase64(&piece, bytes.substr(at, take));
                at += take;
                if (at < bytes.size() || finalLineEnd) {
                    piece += eol;
                }
            }
            if (!sink(std::string_view(piece))) {
                return false;
            }
        }
        return !bytes.empty() || !finalLineEnd || sink(eol);
    }
};

// A recipe that gives back `encoded` exactly from `bytes`, if there is one.
// Whether `line` is base64 as the encoder writes it: alphabet only, and on the last line a length
// that is a multiple of 4, at most two "=" at its end and no bits set beyond the bytes they end.
bool canonicalLine(std::string_view line, bool last) {
    static const auto kValue = [] {
        std::array<signed char, 256> v{};
        v.fill(-1);
        const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        for (int i = 0; i < 64; ++i) {
            v[static_cast<unsigned char>(alphabet[i])] = static_cast<signed char>(i);
        }
        return v;
    }();
    std::size_t padding = 0;
    if (last) {
        if (line.empty() || line.size() % 4 != 0) {
            return false;
        }
        while (padding < 2 && line[line.size() - 1 - padding] == '=') {
            ++padding;
        }
    }
    const std::string_view data = line.substr(0, line.size() - padding);
    for (char c : data) {
        if (kValue[static_cast<unsigned char>(c)] < 0) {
            return false;
        }
    }
    if (padding == 0) {
        return true;
    }
    const int lastValue = kValue[static_cast<unsigned char>(data.back())];
    return (lastValue & (padding == 2 ? 0x0F : 0x03)) == 0;
}

// Whether the encoder, given the lines' length and line end, writes `encoded` exactly: then the
// decoded bytes and the recipe give it back, and only the bytes need keeping.
bool canonicalBase64(std::string_view encoded, Recipe* r) {
    r->base64 = true;
    const std::size_t first = encoded.find('\n');
    if (first == std::string_view::npos) {
        r->lineLength = 0;
        r->finalLineEnd = false;
        return encoded.empty() || canonicalLine(encoded, true);
    }
    r->crlf = first > 0 && encoded[first - 1] == '\r';
    r->lineLength = first - (r->crlf ? 1 : 0);
    if (r->lineLength == 0 || r->lineLength % 4 != 0) {
        return false;
    }
    const std::size_t eol = r->crlf ? 2 : 1;
    for (std::size_t pos = 0;;) {
        const std::size_t nl = encoded.find('\n', pos);
        if (nl == std::string_view::npos) { // a last line without line end
            r->finalLineEnd = false;
            return encoded.size() - pos <= r->lineLength && canonicalLine(encoded.substr(pos), true);
        }
        if (nl < pos + eol - 1 ||
            (r->crlf ? encoded[nl - 1] != '\r' : (nl > pos && encoded[nl - 1] == '\r'))) {
            return false; // line ends of both kinds
        }
        const std::string_view line = encoded.substr(pos, nl + 1 - eol - pos);
        if (nl + 1 == encoded.size()) {
            r->finalLineEnd = true;
            return line.size() <= r->lineLength && canonicalLine(line, true);
        }
        if (line.size() != r->lineLength || !canonicalLine(line, false)) {
            return false;
        }
        pos = nl + 1;
    }
}

// A recipe that gives back `encoded` exactly from `bytes` (its decoded form), if there is one.
bool recipeFor(const std::string& encoding, std::string_view encoded, std::string_view bytes, Recipe* out) {
    Recipe r;
    if (encoding == "base64") {
        if (!canonicalBase64(encoded, &r)) {
            return false;
        }
    } else if ((!encoding.empty() && encoding != "7bit" && encoding != "8bit" && encoding != "binary") ||
               bytes != encoded) {
        return false;
    }
    *out = r;
    return true;
}

std::string partRecordOf(BYTE type, std::size_t length, DWORD flags) {
    MIME_PART record{};
    record.wVersion = MIME_PART_VERSION;
    record.dwFlags = flags | kPartVerbatim;
    record.cPartType = type;
    record.wByteCount = static_cast<WORD>(length);
    record.wHeadersLen = (flags & MIME_PART_HAS_HEADERS) ? static_cast<WORD>(length) : 0;
    return std::string(reinterpret_cast<const char*>(&record), sizeof record);
}

// One segment as items of at most 64 KiB of text; the later ones continue the first.
void appendSegment(std::vector<std::string>* items, BYTE type, DWORD flags, std::string_view text) {
    std::size_t at = 0;
    do {
        const std::size_t take = std::min(kChunk, text.size() - at);
        items->push_back(partRecordOf(type, take, flags | (at > 0 ? kPartContinued : 0)) +
                         std::string(text.substr(at, take)));
        at += take;
    } while (at < text.size());
}

bool isFilePart(const Part& part) {
    const bool text = part.contentType == "text/plain" || part.contentType == "text/html";
    return part.disposition == "attachment" || (!part.fileName.empty() && !text);
}

struct Segment {
    BYTE type = 0;
    DWORD flags = 0;
    std::string text;
    std::size_t prefixLength = 0; // boundary and headers lengths of the record
};

std::vector<Segment> segmentsOf(const Note& note, bool* verbatim) {
    std::vector<Segment> out;
    *verbatim = false;
    for (const Item& item : note.items) {
        if (item.type != TYPE_MIME_PART || !nameEquals(item.name, "Body")) {
            continue;
        }
        MIME_PART record{};
        std::string text;
        if (!decodePartItem(item.value, &record, &text)) {
            continue;
        }
        *verbatim = *verbatim || (record.dwFlags & kPartVerbatim) != 0;
        if ((record.dwFlags & kPartContinued) != 0 && !out.empty()) {
            out.back().text += text;
            continue;
        }
        out.push_back({record.cPartType, record.dwFlags, std::move(text),
                       std::size_t{record.wBoundaryLen} + record.wHeadersLen});
    }
    return out;
}

Part leafOf(std::string_view headers, std::string_view content) {
    Part part;
    describe(headers, &part);
    part.encoded = std::string(content);
    part.content = decoded(part.encoding, content);
    return part;
}

} // namespace

bool isVerbatim(const Note& note) {
    bool verbatim = false;
    segmentsOf(note, &verbatim);
    return verbatim;
}

std::vector<Part> leavesOf(std::string_view eml) {
    std::vector<Leaf> leaves;
    std::size_t topEnd = 0;
    std::string error;
    std::vector<Part> out;
    if (!locate(eml, &leaves, &topEnd, &error)) {
        return out;
    }
    for (const Leaf& leaf : leaves) {
        const std::string_view headers =
            leaf.ownHeaders ? eml.substr(leaf.headerBegin, leaf.contentBegin - leaf.headerBegin)
                            : eml.substr(0, topEnd);
        out.push_back(leafOf(headers, eml.substr(leaf.contentBegin, leaf.contentEnd - leaf.contentBegin)));
    }
    return out;
}

std::vector<Part> verbatimLeaves(const Note& note) {
    bool verbatim = false;
    const std::vector<Segment> segments = segmentsOf(note, &verbatim);
    std::vector<Part> out;
    std::string top;
    const std::string* pending = nullptr;
    for (const Segment& s : segments) {
        if (s.type == MIME_PART_MESSAGE) {
            top = s.text;
        } else if (s.type == MIME_PART_BODY && (s.flags & MIME_PART_HAS_HEADERS) != 0) {
            pending = &s.text;
        } else if (s.type == MIME_PART_BODY) {
            const std::string& headers = pending ? *pending : top;
            pending = nullptr;
            if ((s.flags & MIME_PART_BODY_IN_DBOBJECT) != 0) {
                Part part = leafOf(headers, "");
                const auto nl = s.text.find('\n');
                part.fileName = nl == std::string::npos ? std::string() : s.text.substr(nl + 1);
                part.inObject = true;
                out.push_back(std::move(part));
            } else {
                out.push_back(leafOf(headers, s.text));
            }
        }
    }
    return out;
}

STATUS storeMessage(std::string_view eml, mail::Message* out, std::string* error) {
    std::vector<Leaf> leaves;
    std::size_t topEnd = 0;
    std::string reason;
    if (!locate(eml, &leaves, &topEnd, &reason)) {
        if (error) {
            *error = reason;
        }
        return ERR_MIME_PARSE;
    }
    out->files.clear();
    out->mimeParts.clear();
    std::vector<std::string>& items = out->mimeParts;
    std::set<std::string> names;
    appendSegment(&items, MIME_PART_MESSAGE, 0, eml.substr(0, topEnd));
    std::size_t position = topEnd;
    for (const Leaf& leaf : leaves) {
        const std::size_t begin = leaf.ownHeaders ? leaf.headerBegin : leaf.contentBegin;
        if (begin > position) {
            appendSegment(&items, MIME_PART_PROLOG, 0, eml.substr(position, begin - position));
        }
        const std::string_view headers =
            leaf.ownHeaders ? eml.substr(leaf.headerBegin, leaf.contentBegin - leaf.headerBegin)
                            : eml.substr(0, topEnd);
        if (leaf.ownHeaders) {
            appendSegment(&items, MIME_PART_BODY, MIME_PART_HAS_HEADERS, headers);
        }
        const std::string_view content = eml.substr(leaf.contentBegin, leaf.contentEnd - leaf.contentBegin);
        position = leaf.contentEnd;
        Part part;
        describe(headers, &part);
        if (!isFilePart(part)) {
            appendSegment(&items, MIME_PART_BODY, 0, content);
            continue;
        }
        // Files go to attachments under names unique within the memo (any bytes but none empty).
        std::string name = part.fileName.empty() ? "attachment" : utf8ToLatin1(part.fileName);
        const std::string stem = name;
        for (int n = 2; !names.insert(lower(name)).second; ++n) {
            name = stem + " (" + std::to_string(n) + ")";
        }
        std::string bytes = decoded(part.encoding, content);
        Recipe recipe;
        if (recipeFor(part.encoding, content, bytes, &recipe)) {
            appendSegment(&items, MIME_PART_BODY, MIME_PART_BODY_IN_DBOBJECT, recipe.text() + "\n" + name);
        } else {
            appendSegment(&items, MIME_PART_BODY, 0, content); // kept as it came, the file besides
        }
        out->files.emplace_back(std::move(name), std::move(bytes));
    }
    appendSegment(&items, MIME_PART_EPILOG, 0, eml.substr(position));

    Message summary;
    summary.headers = std::string(eml.substr(0, topEnd));
    out->form = "Memo";
    out->from = utf8ToLatin1(summary.header("From"));
    out->sendTo.clear();
    out->copyTo.clear();
    for (const std::string& a : splitAddresses(summary.header("To"))) {
        out->sendTo.push_back(utf8ToLatin1(a));
    }
    for (const std::string& a : splitAddresses(summary.header("Cc"))) {
        out->copyTo.push_back(utf8ToLatin1(a));
    }
    out->subject = utf8ToLatin1(summary.header("Subject"));
    std::int64_t posted = 0;
    out->posted = parseDate(summary.header("Date"), &posted) ? posted : 0;
    return NOERROR;
}

STATUS exportMessage(Note& note, const std::function<bool(std::string_view)>& sink) {
    bool verbatim = false;
    const std::vector<Segment> segments = segmentsOf(note, &verbatim);
    if (segments.empty()) {
        return ERR_ITEM_NOT_FOUND;
    }
    auto fileBytes = [&](const std::string& name, std::string* bytes) -> STATUS {
        for (const Item& item : note.items) {
            files::FileObject file;
            if (files::isFileItem(item) && files::decode(item.value, &file) && file.name == name) {
                return files::bytesOf(note, item, bytes);
            }
        }
        return ERR_INVALID_ITEM_VALUE; // the body names a file the note no longer has
    };
    for (const Segment& s : segments) {
        if (!verbatim && s.type == MIME_PART_BODY && (s.flags & MIME_PART_BODY_IN_DBOBJECT) != 0) {
            // An older memo keeps boundary and headers in the item and the bytes in its file.
            const std::string head = s.text.substr(0, std::min(s.text.size(), s.prefixLength));
            std::string bytes;
            if (fileBytes(s.text.substr(head.size()), &bytes) != NOERROR ||
                !sink(head + encodeBase64(bytes) + "\r\n")) {
                return ERR_IO;
            }
            continue;
        }
        if (verbatim && (s.flags & MIME_PART_BODY_IN_DBOBJECT) != 0) {
            const auto nl = s.text.find('\n');
            Recipe recipe;
            std::string bytes;
            if (nl == std::string::npos || !Recipe::parse(std::string_view(s.text).substr(0, nl), &recipe)) {
                return ERR_INVALID_ITEM_VALUE;
            }
            if (STATUS st = fileBytes(s.text.substr(nl + 1), &bytes); st != NOERROR) {
                return st;
            }
            if (!recipe.encode(bytes, sink)) {
                return ERR_IO;
            }
            continue;
        }
        if (!s.text.empty() && !sink(s.text)) {
            return ERR_IO;
        }
    }
    return NOERROR;
}

namespace {

// The file names storeMessage gives a body stored byte for byte: the attachments that belong to it.
std::set<std::string> bodyFileNames(Note& note) {
    std::set<std::string> names;
    std::string eml;
    mail::Message memo;
    if (!isVerbatim(note) ||
        exportMessage(note,
                      [&](std::string_view piece) {
                          eml += piece;
                          return true;
                      }) != NOERROR ||
        storeMessage(eml, &memo, nullptr) != NOERROR) {
        return names;
    }
    for (const auto& [name, bytes] : memo.files) {
        names.insert(lower(name));
    }
    return names;
}

} // namespace

void layOutWrittenBody(Note& note, Note* stored) {
    if (note.find("$NoteHasNativeMIME") == nullptr) {
        return;
    }
    std::string eml;
    bool first = true;
    WORD flags = ITEM_SUMMARY;
    for (const Item& item : note.items) {
        if (item.type != TYPE_MIME_PART || !nameEquals(item.name, "Body")) {
            continue;
        }
        MIME_PART record{};
        std::string text;
        // Only a plain run of body chunks: a laid-out body (or an older one) is kept as it is.
        if (!decodePartItem(item.value, &record, &text) || record.cPartType != MIME_PART_BODY ||
            (record.dwFlags & (kPartVerbatim | MIME_PART_BODY_IN_DBOBJECT | MIME_PART_HAS_HEADERS)) != 0) {
            return;
        }
        if (first) {
            first = false;
            flags = item.flags;
        }
        eml += text;
    }
    mail::Message memo;
    if (eml.empty() || storeMessage(eml, &memo, nullptr) != NOERROR) {
        return;
    }
    // The attachments of the body being replaced go with it; the new body brings its own.
    const std::set<std::string> replaced = stored ? bodyFileNames(*stored) : std::set<std::string>();
    std::set<std::string> others;
    std::vector<WORD> drop;
    for (const Item& item : note.items) {
        files::FileObject file;
        if (!files::isFileItem(item) || !files::decode(item.value, &file)) {
            continue;
        }
        if (replaced.count(lower(file.name)) != 0) {
            drop.push_back(item.id);
        } else {
            others.insert(lower(file.name));
        }
    }
    for (const auto& [name, bytes] : memo.files) {
        if (others.count(lower(name)) != 0) {
            return; // the name belongs to an attachment made another way: keep what was written
        }
    }
    for (WORD id : drop) {
        note.removeById(id);
        std::erase_if(note.pendingObjects, [id](const auto& p) { return p.first == id; });
    }
    // The new body takes the place of the old one among the items.
    std::vector<Item> kept;
    std::size_t at = 0;
    bool seen = false;
    for (Item& item : note.items) {
        if (item.type == TYPE_MIME_PART && nameEquals(item.name, "Body")) {
            seen = true;
            continue;
        }
        at += seen ? 0 : 1;
        kept.push_back(std::move(item));
    }
    note.items = std::move(kept);
    const std::size_t before = note.items.size();
    for (std::string& part : memo.mimeParts) {
        note.append("Body", TYPE_MIME_PART, flags, std::move(part));
    }
    std::rotate(note.items.begin() + static_cast<std::ptrdiff_t>(at),
                note.items.begin() + static_cast<std::ptrdiff_t>(before), note.items.end());
    const TIMEDATE now = timedateFromTicks(memo.posted);
    for (auto& [name, bytes] : memo.files) {
        files::FileObject file;
        file.name = name;
        file.originalPath = name;
        file.created = file.modified = now;
        files::attach(note, "$FILE", std::move(bytes), file, nullptr);
    }
    note.dirty = true;
}

bool exportedText(NOTEHANDLE hNote, std::string* out) {
    const std::shared_ptr<Note> note = handles::note(hNote);
    if (!note || !isVerbatim(*note)) {
        return false;
    }
    std::string text;
    if (exportMessage(*note, [&](std::string_view piece) {
            text += piece;
            return true;
        }) != NOERROR) {
        return false;
    }
    *out = std::move(text);
    return true;
}

} // namespace notes::mime
