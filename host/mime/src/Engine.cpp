#include "Engine.h"

#include <mutex>

namespace hxMailLib::Mime {

namespace {
GMimeFormatOptions* gFormat = nullptr;
GMimeParserOptions* gParser = nullptr;
std::once_flag gInitOnce;
} // namespace

// GMime is never shut down: g_mime_shutdown cannot be undone within a process, and other users of
// GMime in the same process would lose it with us.
void initialize() {
    std::call_once(gInitOnce, [] {
        g_mime_init();
        gFormat = g_mime_format_options_new();
        g_mime_format_options_set_newline_format(gFormat, GMIME_NEWLINE_FORMAT_DOS);
        g_mime_format_options_set_param_encoding_method(gFormat, GMIME_PARAM_ENCODING_METHOD_RFC2231);
        gParser = g_mime_parser_options_new();
        static const char* fallback[] = {"UTF-8", "windows-1252", nullptr};
        g_mime_parser_options_set_fallback_charsets(gParser, fallback);
    });
}

namespace detail {

GMimeFormatOptions* formatOptions() {
    initialize();
    return gFormat;
}

GMimeParserOptions* parserOptions() {
    initialize();
    return gParser;
}

namespace {
GRef<GMimeParser> makeParser(const Lattice::String& text) {
    initialize();
    GRef<GMimeStream> stream(
        g_mime_stream_mem_new_with_buffer(text.data(), static_cast<size_t>(text.length())));
    GRef<GMimeParser> parser(g_mime_parser_new_with_stream(stream.get()));
    g_mime_parser_set_format(parser.get(), GMIME_FORMAT_MESSAGE);
    return parser;
}

// Windows-1252 code points of 0x80..0x9F; 0 marks the five unassigned bytes.
const unsigned short kCp1252High[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                        0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                        0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

Lattice::String cp1252ToUtf8(const Lattice::String& bytes) {
    std::string out;
    out.reserve(static_cast<size_t>(bytes.length()) * 2);
    for (unsigned char c : bytes.str()) {
        unsigned cp = c;
        if (c >= 0x80 && c < 0xA0)
            cp = kCp1252High[c - 0x80] ? kCp1252High[c - 0x80] : 0xFFFD;
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return Lattice::String(std::move(out));
}

bool isUtf8(const Lattice::String& bytes) {
    return g_utf8_validate(bytes.data(), bytes.length(), nullptr);
}
} // namespace

Lattice::String repairHeaderBlock(const Lattice::String& text) {
    const std::string& s = text.str();
    size_t pos = 0;
    for (bool first = true; pos < s.size(); first = false) {
        size_t end = s.find('\n', pos);
        size_t lineEnd = end == std::string::npos ? s.size() : end;
        size_t len = lineEnd - pos;
        if (len > 0 && s[lineEnd - 1] == '\r')
            --len;
        if (len == 0)
            return text; // the blank line is there
        char c = s[pos];
        bool ok = false;
        if (c == ' ' || c == '\t') {
            ok = !first;
        } else if (first && s.compare(pos, 5, "From ") == 0) {
            ok = true; // mbox separator
        } else {
            size_t i = pos;
            while (i < pos + len && s[i] > ' ' && s[i] < 127 && s[i] != ':')
                ++i;
            while (i < pos + len && (s[i] == ' ' || s[i] == '\t'))
                ++i; // obsolete syntax allows blanks before the colon
            ok = i > pos && i < pos + len && s[i] == ':';
        }
        if (!ok) {
            // A line that cannot be a header starts the body; without the blank line the parser
            // would drop it.
            Lattice::String repaired(s.substr(0, pos));
            repaired += "\r\n";
            repaired.append(s.data() + pos, static_cast<long>(s.size() - pos));
            return repaired;
        }
        if (end == std::string::npos)
            break;
        pos = end + 1;
    }
    return text;
}

GRef<GMimeMessage> parseMessage(const Lattice::String& text) {
    auto parser = makeParser(repairHeaderBlock(text));
    return GRef<GMimeMessage>(g_mime_parser_construct_message(parser.get(), parserOptions()));
}

GRef<GMimeObject> parsePart(const Lattice::String& text) {
    auto parser = makeParser(repairHeaderBlock(text));
    return GRef<GMimeObject>(g_mime_parser_construct_part(parser.get(), parserOptions()));
}

Lattice::String objectToString(GMimeObject* object) {
    return take(g_mime_object_to_string(object, formatOptions()));
}

Lattice::String toUtf8(const Lattice::String& bytes, const Lattice::String& charset) {
    Lattice::String cs = charset.trimmed().toLower();
    if (cs.isEmpty() || cs == "us-ascii" || cs == "utf-8" || cs == "utf8" || cs == "ascii")
        return isUtf8(bytes) ? bytes : cp1252ToUtf8(bytes);
    const char* iconvName = g_mime_charset_iconv_name(cs.c_str());
    gsize written = 0;
    GError* error = nullptr;
    char* converted = g_convert(bytes.data(), bytes.length(), "UTF-8", iconvName ? iconvName : cs.c_str(),
                                nullptr, &written, &error);
    if (error)
        g_error_free(error);
    if (converted) {
        Lattice::String out(converted, written);
        g_free(converted);
        if (isUtf8(out))
            return out;
    }
    // A declared charset that is unknown or does not fit the bytes.
    return isUtf8(bytes) ? bytes : cp1252ToUtf8(bytes);
}

Lattice::String validUtf8(const char* text) {
    Lattice::String s(orEmpty(text));
    return isUtf8(s) ? s : cp1252ToUtf8(s);
}

void readContentType(GMimeContentType* source, ContentType& target) {
    if (!source) {
        target = ContentType();
        return;
    }
    target = ContentType(validUtf8(g_mime_content_type_get_media_type(source)),
                         validUtf8(g_mime_content_type_get_media_subtype(source)));
    GMimeParamList* params = g_mime_content_type_get_parameters(source);
    int n = params ? g_mime_param_list_length(params) : 0;
    for (int i = 0; i < n; ++i) {
        GMimeParam* p = g_mime_param_list_get_parameter_at(params, i);
        target.setParameter(validUtf8(g_mime_param_get_name(p)), validUtf8(g_mime_param_get_value(p)));
    }
}

namespace {
constexpr long kMaxParameterName = 64;
} // namespace

GMimeContentType* toGMime(const ContentType& type) {
    initialize();
    GMimeContentType* ct = g_mime_content_type_new(type.getType().c_str(), type.getSubtype().c_str());
    for (const auto& p : type.getParameters()) {
        // GMime's encoder runs away (a 4 GB allocation) folding a name this long with a value that
        // needs RFC 2231 encoding; no real parameter has one, so it is not written.
        if (p.name.length() > kMaxParameterName)
            continue;
        g_mime_content_type_set_parameter(ct, p.name.c_str(), p.value.c_str());
    }
    return ct;
}

void readEntityHeaders(GMimeObject* source, MimeBase& target, bool skipAddresses) {
    readContentType(g_mime_object_get_content_type(source), target.getContentType());
    if (GMimeContentDisposition* d = g_mime_object_get_content_disposition(source)) {
        target.setDisposition(validUtf8(g_mime_content_disposition_get_disposition(d)));
        if (const char* fn = g_mime_content_disposition_get_parameter(d, "filename"))
            target.setDispositionFileName(validUtf8(fn));
    }
    target.setContentId(validUtf8(g_mime_object_get_content_id(source)));
    if (GMIME_IS_PART(source)) {
        GMimeContentEncoding enc = g_mime_part_get_content_encoding(GMIME_PART(source));
        if (enc != GMIME_CONTENT_ENCODING_DEFAULT)
            target.setTransferEncoding(orEmpty(g_mime_content_encoding_to_string(enc)));
    }
    GMimeHeaderList* list = g_mime_object_get_header_list(source);
    int n = list ? g_mime_header_list_get_count(list) : 0;
    for (int i = 0; i < n; ++i) {
        GMimeHeader* h = g_mime_header_list_get_header_at(list, i);
        Lattice::String name = validUtf8(g_mime_header_get_name(h));
        Lattice::String lower = name.toLower();
        if (MimeBase::isFieldHeader(name) || lower == "mime-version")
            continue;
        if (skipAddresses &&
            (lower == "from" || lower == "reply-to" || lower == "to" || lower == "cc" || lower == "bcc"))
            continue;
        if (isAddressHeader(lower)) {
            // Unstructured decoding would lose the quotes around names that need them.
            GRef<InternetAddressList> list(
                internet_address_list_parse(parserOptions(), orEmpty(g_mime_header_get_raw_value(h))));
            if (list && internet_address_list_length(list.get()) > 0) {
                target.addHeader(
                    name,
                    validUtf8(
                        GString8(internet_address_list_to_string(list.get(), formatOptions(), FALSE)).get()));
                continue;
            }
        }
        target.addHeader(name, validUtf8(g_mime_header_get_value(h)));
    }
}

bool isAddressHeader(const Lattice::String& lowerName) {
    static const char* names[] = {"sender",
                                  "resent-from",
                                  "resent-sender",
                                  "resent-to",
                                  "resent-cc",
                                  "resent-bcc",
                                  "resent-reply-to",
                                  "errors-to",
                                  "mail-followup-to",
                                  "mail-reply-to",
                                  "disposition-notification-to",
                                  "return-receipt-to"};
    for (const char* n : names)
        if (lowerName == n)
            return true;
    return false;
}

// Address headers outside the envelope fields are written as address lists, names encoded as
// words where needed, so that they read back as addresses.
void appendHeader(GMimeObject* target, const Lattice::String& name, const Lattice::String& value) {
    if (isAddressHeader(name.toLower())) {
        GRef<InternetAddressList> list(internet_address_list_parse(parserOptions(), value.c_str()));
        if (list && internet_address_list_length(list.get()) > 0) {
            Lattice::String encoded =
                take(internet_address_list_to_string(list.get(), formatOptions(), TRUE));
            g_mime_object_append_header(target, name.c_str(), encoded.c_str(), nullptr);
            return;
        }
    }
    g_mime_object_append_header(target, name.c_str(), value.c_str(), nullptr);
}

namespace {
constexpr int kMaxDepth = 64;

Lattice::String readContent(GMimePart* part) {
    GMimeDataWrapper* wrapper = g_mime_part_get_content(part);
    if (!wrapper)
        return {};
    GRef<GMimeStream> out(g_mime_stream_mem_new());
    g_mime_data_wrapper_write_to_stream(wrapper, out.get());
    GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(out.get()));
    return Lattice::String(reinterpret_cast<const char*>(bytes->data), bytes->len);
}
} // namespace

Lattice::Ptr<MimeBase> fromGMime(GMimeObject* object, int depth) {
    if (!object || depth > kMaxDepth)
        return nullptr;
    if (GMIME_IS_MULTIPART(object)) {
        Lattice::Ptr<Multipart> mp(new Multipart());
        readEntityHeaders(object, *mp, false);
        GMimeMultipart* source = GMIME_MULTIPART(object);
        int n = g_mime_multipart_get_count(source);
        for (int i = 0; i < n; ++i)
            mp->addPart(fromGMime(g_mime_multipart_get_part(source, i), depth + 1));
        return mp;
    }
    Lattice::Ptr<SinglePart> part(new SinglePart());
    readEntityHeaders(object, *part, false);
    if (GMIME_IS_MESSAGE_PART(object)) {
        // An attached message stays as its text; decode it with Email::decodeFromString when needed.
        GMimeMessage* inner = g_mime_message_part_get_message(GMIME_MESSAGE_PART(object));
        if (inner)
            part->setContent(objectToString(GMIME_OBJECT(inner)));
    } else if (GMIME_IS_PART(object)) {
        part->setContent(readContent(GMIME_PART(object)));
    }
    return part;
}

void writeEntityHeaders(const MimeBase& source, GMimeObject* target) {
    GMimeContentType* ct = toGMime(source.getContentType());
    g_mime_object_set_content_type(target, ct);
    g_object_unref(ct);
    const Lattice::String& fileName = source.getDispositionFileName();
    if (!source.getDisposition().isEmpty() || !fileName.isEmpty()) {
        GMimeContentDisposition* d = g_mime_content_disposition_new();
        g_mime_content_disposition_set_disposition(
            d, source.getDisposition().isEmpty() ? "attachment" : source.getDisposition().c_str());
        if (!fileName.isEmpty())
            g_mime_content_disposition_set_parameter(d, "filename", fileName.c_str());
        g_mime_object_set_content_disposition(target, d);
        g_object_unref(d);
    }
    if (!source.getContentId().isEmpty())
        g_mime_object_set_content_id(target, source.getContentId().c_str());
    for (const auto& h : source.getHeaderList())
        appendHeader(target, h.name, h.value);
}

namespace {
bool hasHighBytes(const Lattice::String& s) {
    for (unsigned char c : s.str())
        if (c >= 0x80 || c == 0)
            return true;
    return false;
}

GMimeObject* buildSingle(const MimeBase& source) {
    const ContentType& type = source.getContentType();
    GMimePart* part = g_mime_part_new_with_type(type.getType().c_str(), type.getSubtype().c_str());
    writeEntityHeaders(source, GMIME_OBJECT(part));
    Lattice::String content;
    if (auto* single = dynamic_cast<const SinglePart*>(&source))
        content = single->getContent();
    GRef<GMimeStream> stream(
        g_mime_stream_mem_new_with_buffer(content.data(), static_cast<size_t>(content.length())));
    GRef<GMimeDataWrapper> wrapper(
        g_mime_data_wrapper_new_with_stream(stream.get(), GMIME_CONTENT_ENCODING_DEFAULT));
    g_mime_part_set_content(part, wrapper.get());

    // Composite types may not be transfer-encoded (RFC 2046 5.2); the rest keep a declared
    // base64/quoted-printable and otherwise get the best 7-bit-safe encoding.
    GMimeContentEncoding enc = g_mime_content_encoding_from_string(source.getTransferEncoding().c_str());
    if (type.getType() == "message" || type.getType() == "multipart")
        enc = hasHighBytes(content) ? GMIME_CONTENT_ENCODING_8BIT : GMIME_CONTENT_ENCODING_7BIT;
    else if (enc != GMIME_CONTENT_ENCODING_BASE64 && enc != GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE)
        enc = g_mime_part_get_best_content_encoding(part, GMIME_ENCODING_CONSTRAINT_7BIT);
    g_mime_part_set_content_encoding(part, enc);
    return GMIME_OBJECT(part);
}
} // namespace

GMimeObject* toGMime(const MimeBase& part, int depth) {
    initialize();
    if (auto* mp = dynamic_cast<const Multipart*>(&part)) {
        GMimeMultipart* out = g_mime_multipart_new_with_subtype(mp->getContentType().getSubtype().c_str());
        writeEntityHeaders(part, GMIME_OBJECT(out));
        if (mp->getBoundary().isEmpty())
            g_mime_multipart_set_boundary(out, nullptr);
        if (depth < kMaxDepth)
            for (const auto& child : mp->getParts())
                if (child) {
                    GMimeObject* c = toGMime(*child, depth + 1);
                    g_mime_multipart_add(out, c);
                    g_object_unref(c);
                }
        return GMIME_OBJECT(out);
    }
    if (auto* email = dynamic_cast<const Email*>(&part)) {
        GMimeObject* msg = buildMessage(*email, depth + 1);
        GMimeMessagePart* out = g_mime_message_part_new_with_message("rfc822", GMIME_MESSAGE(msg));
        g_object_unref(msg);
        return GMIME_OBJECT(out);
    }
    return buildSingle(part);
}

} // namespace detail
} // namespace hxMailLib::Mime
