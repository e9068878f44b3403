// Native MIME memos: parsing a message into leaf parts, the "Body" MIME part items, reading back.
#include "mimeparts.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>

namespace notes::mime {
namespace {

constexpr int kMaxDepth = 64;
constexpr std::string_view kCrlf = "\r\n";

struct Header {
    std::string name;
    std::string value; // unfolded, raw
};

// Bare LF line ends become CRLF, so that every reader sees one kind of line end.
std::string toCrlf(std::string_view in) {
    std::string out;
    out.reserve(in.size() + in.size() / 32);
    for (std::size_t i = 0; i < in.size(); ++i) {
        if (in[i] == '\n' && (i == 0 || in[i - 1] != '\r')) {
            out += '\r';
        }
        out += in[i];
    }
    return out;
}

std::string trim(std::string_view s) {
    const auto b = s.find_first_not_of(" \t\r\n");
    if (b == std::string_view::npos) {
        return "";
    }
    const auto e = s.find_last_not_of(" \t\r\n");
    return std::string(s.substr(b, e - b + 1));
}

std::vector<Header> parseHeaders(std::string_view block) {
    std::vector<Header> out;
    std::size_t pos = 0;
    while (pos < block.size()) {
        std::size_t end = block.find('\n', pos);
        if (end == std::string_view::npos) {
            end = block.size();
        }
        std::string_view line = block.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.empty()) {
            break;
        }
        if ((line[0] == ' ' || line[0] == '\t') && !out.empty()) {
            out.back().value += ' ';
            out.back().value += trim(line);
            continue;
        }
        const auto colon = line.find(':');
        if (colon == std::string_view::npos) {
            continue;
        }
        out.push_back({trim(line.substr(0, colon)), trim(line.substr(colon + 1))});
    }
    return out;
}

const Header* findHeader(const std::vector<Header>& headers, std::string_view name) {
    for (const Header& h : headers) {
        if (nameEquals(h.name, name)) {
            return &h;
        }
    }
    return nullptr;
}

// "type/subtype; a=b; c="d"" -> the lower-case value and its parameters (names lower case).
std::string splitParameters(std::string_view value,
                            std::vector<std::pair<std::string, std::string>>* params) {
    std::size_t pos = value.find(';');
    const std::string head = lower(trim(value.substr(0, pos)));
    while (pos != std::string_view::npos && pos < value.size()) {
        ++pos;
        std::size_t eq = value.find('=', pos);
        if (eq == std::string_view::npos) {
            break;
        }
        std::string name = lower(trim(value.substr(pos, eq - pos)));
        std::size_t at = eq + 1;
        while (at < value.size() && (value[at] == ' ' || value[at] == '\t')) {
            ++at;
        }
        std::string v;
        if (at < value.size() && value[at] == '"') {
            ++at;
            while (at < value.size() && value[at] != '"') {
                if (value[at] == '\\' && at + 1 < value.size()) {
                    ++at;
                }
                v += value[at++];
            }
            pos = value.find(';', at);
        } else {
            pos = value.find(';', at);
            v = trim(value.substr(at, pos == std::string_view::npos ? std::string_view::npos : pos - at));
        }
        if (!name.empty() && name.back() == '*') { // RFC 2231: charset'language'percent-encoded
            name.pop_back();
            const auto q = v.find('\'');
            const auto q2 = q == std::string::npos ? q : v.find('\'', q + 1);
            std::string decoded;
            for (std::size_t i = q2 == std::string::npos ? 0 : q2 + 1; i < v.size(); ++i) {
                if (v[i] == '%' && i + 2 < v.size() && std::isxdigit(static_cast<unsigned char>(v[i + 1])) &&
                    std::isxdigit(static_cast<unsigned char>(v[i + 2]))) {
                    decoded += static_cast<char>(std::stoi(v.substr(i + 1, 2), nullptr, 16));
                    i += 2;
                } else {
                    decoded += v[i];
                }
            }
            v = decoded;
        }
        params->emplace_back(std::move(name), std::move(v));
    }
    return head;
}

std::string parameter(const std::vector<std::pair<std::string, std::string>>& params, std::string_view name) {
    for (const auto& [n, v] : params) {
        if (n == name) {
            return v;
        }
    }
    return "";
}

bool isContentHeader(std::string_view name) {
    return name.size() >= 8 && nameEquals(name.substr(0, 8), "content-");
}

std::string decodeContent(std::string_view encoding, std::string_view body) {
    const std::string e = lower(trim(encoding));
    if (e == "base64") {
        return decodeBase64(body);
    }
    if (e == "quoted-printable") {
        return decodeQuotedPrintable(body);
    }
    return std::string(body);
}

class Parser {
public:
    explicit Parser(Message* out) : out_(out) {}
    std::string error;

    // An entity: header block, blank line, body. Leaves are appended to out_->parts.
    bool entity(std::string_view text, const std::string& boundary, int depth, bool top) {
        if (depth > kMaxDepth) {
            error = "MIME parts are nested too deeply";
            return false;
        }
        std::string_view headerBlock, body;
        if (text.substr(0, 2) == kCrlf) {
            headerBlock = text.substr(0, 2);
            body = text.substr(2);
        } else {
            const auto blank = text.find("\r\n\r\n");
            if (blank == std::string_view::npos) {
                const std::string_view firstLine = text.substr(0, text.find(kCrlf));
                if (top && firstLine.find(':') == std::string_view::npos) {
                    error = "the message has no header block (no blank line after the headers)";
                    return false;
                }
                headerBlock = text; // a part of headers only
                body = {};
            } else {
                headerBlock = text.substr(0, blank + 4);
                body = text.substr(blank + 4);
            }
        }
        const std::vector<Header> headers = parseHeaders(headerBlock);
        std::vector<std::pair<std::string, std::string>> params;
        const Header* ct = findHeader(headers, "Content-Type");
        std::string type = ct ? splitParameters(ct->value, &params) : std::string();
        if (type.empty() || type.find('/') == std::string::npos) {
            type = "text/plain";
        }
        if (top) {
            out_->headers = std::string(headerBlock);
        }
        if (type.rfind("multipart/", 0) == 0) {
            const std::string inner = parameter(params, "boundary");
            if (inner.empty()) {
                error = "a multipart part has no boundary";
                return false;
            }
            if (top) {
                multipart_ = true;
            }
            return multipart(body, inner, depth, top);
        }
        Part part;
        part.contentType = type;
        part.charset = lower(parameter(params, "charset"));
        part.boundary = boundary;
        if (top) { // the content headers of a single-part message make its part's headers
            for (const Header& h : headers) {
                if (isContentHeader(h.name)) {
                    part.headers += h.name + ": " + h.value + "\r\n";
                }
            }
            part.headers += "\r\n";
        } else {
            part.headers = std::string(headerBlock);
        }
        std::vector<std::pair<std::string, std::string>> dispParams;
        if (const Header* cd = findHeader(headers, "Content-Disposition")) {
            part.disposition = splitParameters(cd->value, &dispParams);
        }
        part.fileName = decodeHeaderWords(parameter(dispParams, "filename"));
        if (part.fileName.empty()) {
            part.fileName = decodeHeaderWords(parameter(params, "name"));
        }
        if (const Header* id = findHeader(headers, "Content-ID")) {
            std::string cid = trim(id->value);
            if (cid.size() >= 2 && cid.front() == '<' && cid.back() == '>') {
                cid = cid.substr(1, cid.size() - 2);
            }
            part.contentId = cid;
        }
        const Header* cte = findHeader(headers, "Content-Transfer-Encoding");
        part.encoded = std::string(body);
        part.content = decodeContent(cte ? cte->value : "", body);
        out_->parts.push_back(std::move(part));
        return true;
    }

    bool multipart(std::string_view body, const std::string& boundary, int depth, bool top) {
        const std::string delimiter = "--" + boundary;
        // Delimiter lines start a line; the CRLF before one belongs to it.
        auto findDelimiter = [&](std::size_t from) -> std::size_t {
            for (std::size_t at = body.find(delimiter, from); at != std::string_view::npos;
                 at = body.find(delimiter, at + 1)) {
                const std::string_view after = body.substr(at + delimiter.size());
                // "--b" must not match "--b2": the line ends, closes ("--") or has trailing blanks.
                const bool wholeLine = after.empty() || after.substr(0, 2) == kCrlf ||
                                       after.substr(0, 2) == "--" || after[0] == ' ' || after[0] == '\t';
                if (wholeLine && (at == 0 || (at >= 2 && body.substr(at - 2, 2) == kCrlf))) {
                    return at;
                }
            }
            return std::string_view::npos;
        };
        std::size_t at = findDelimiter(0);
        if (at == std::string_view::npos) {
            error = "no part starts with the boundary \"" + boundary + "\"";
            return false;
        }
        for (;;) {
            std::size_t lineEnd = body.find(kCrlf, at);
            const std::string_view line =
                body.substr(at, lineEnd == std::string_view::npos ? std::string_view::npos : lineEnd - at);
            if (line.substr(delimiter.size(), 2) == "--") { // the closing delimiter
                if (top) {
                    out_->epilog =
                        lineEnd == std::string_view::npos ? "" : std::string(body.substr(lineEnd + 2));
                }
                return true;
            }
            if (lineEnd == std::string_view::npos) {
                return true; // a last delimiter without parts after it
            }
            const std::size_t start = lineEnd + 2;
            const std::size_t next = findDelimiter(start);
            if (next == std::string_view::npos && start >= body.size()) {
                return true; // a last delimiter line with nothing after it
            }
            std::size_t end = next == std::string_view::npos ? body.size() : next;
            if (next != std::string_view::npos && end >= start + 2) {
                end -= 2; // the CRLF before the delimiter
            } else if (next != std::string_view::npos) {
                end = start;
            }
            if (!entity(body.substr(start, end - start), boundary, depth + 1, false)) {
                return false;
            }
            if (next == std::string_view::npos) {
                return true; // no closing delimiter: the last part runs to the end
            }
            at = next;
        }
    }

    bool multipart_ = false;

private:
    Message* out_;
};

std::string partRecord(BYTE type, std::size_t textLength, std::size_t boundaryLength,
                       std::size_t headersLength, DWORD flags = 0) {
    MIME_PART record{};
    record.wVersion = MIME_PART_VERSION;
    record.dwFlags = flags;
    record.cPartType = type;
    record.wByteCount = static_cast<WORD>(textLength);
    record.wBoundaryLen = static_cast<WORD>(boundaryLength);
    record.wHeadersLen = static_cast<WORD>(headersLength);
    return std::string(reinterpret_cast<const char*>(&record), sizeof record);
}

std::uint64_t fnv1a(std::string_view s) {
    std::uint64_t h = 1469598103934665603ULL;
    for (const char ch : s) {
        h = (h ^ static_cast<unsigned char>(ch)) * 1099511628211ULL;
    }
    return h;
}

// The body items of a note, in order.
std::vector<std::pair<MIME_PART, std::string>> bodyItems(const Note& note) {
    std::vector<std::pair<MIME_PART, std::string>> out;
    for (const Item& item : note.items) {
        if (item.type != TYPE_MIME_PART || !nameEquals(item.name, "Body")) {
            continue;
        }
        MIME_PART record{};
        std::string text;
        if (decodePartItem(item.value, &record, &text)) {
            out.emplace_back(record, std::move(text));
        }
    }
    return out;
}

bool hasMessagePart(const std::vector<std::pair<MIME_PART, std::string>>& items) {
    return std::any_of(items.begin(), items.end(),
                       [](const auto& it) { return it.first.cPartType == MIME_PART_MESSAGE; });
}

std::string concatenated(const std::vector<std::pair<MIME_PART, std::string>>& items) {
    std::string all;
    for (const auto& [record, text] : items) {
        all += text;
    }
    return all;
}

} // namespace

std::string Message::header(std::string_view name) const {
    const std::vector<Header> headers = parseHeaders(this->headers);
    const Header* h = findHeader(headers, name);
    return h ? decodeHeaderWords(h->value) : std::string();
}

bool parseMessage(std::string_view eml, Message* out, std::string* error) {
    *out = Message{};
    const std::string text = toCrlf(eml);
    Parser parser(out);
    if (!parser.entity(text, "", 0, true)) {
        if (error) {
            *error = parser.error;
        }
        return false;
    }
    if (!parser.multipart_) {
        // A generated boundary, so that a single part is stored like every other leaf.
        std::string boundary;
        for (std::uint64_t salt = 0;; ++salt) {
            char buf[40];
            std::snprintf(buf, sizeof buf, "=_single_%016llx",
                          static_cast<unsigned long long>(fnv1a(text) + salt));
            boundary = buf;
            if (text.find(boundary) == std::string::npos) {
                break;
            }
        }
        std::string headers;
        for (const Header& h : parseHeaders(out->headers)) {
            if (!isContentHeader(h.name)) {
                headers += h.name + ": " + h.value + "\r\n";
            }
        }
        if (findHeader(parseHeaders(out->headers), "MIME-Version") == nullptr) {
            headers += "MIME-Version: 1.0\r\n";
        }
        headers += "Content-Type: multipart/mixed; boundary=\"" + boundary + "\"\r\n\r\n";
        out->headers = headers;
        out->parts.front().boundary = boundary;
    }
    return true;
}

STATUS encodeParts(const Message& message, std::vector<std::pair<WORD, std::string>>* items) {
    items->clear();
    auto add = [&](BYTE type, const std::string& text, std::size_t boundaryLength, std::size_t headersLength,
                   DWORD flags = 0) {
        if (text.size() > 0xFFFF) {
            return false;
        }
        items->emplace_back(type, partRecord(type, text.size(), boundaryLength, headersLength, flags) + text);
        return true;
    };
    if (!add(MIME_PART_MESSAGE, message.headers, 0, message.headers.size())) {
        return ERR_MIME_PART_TOO_BIG;
    }
    for (const Part& part : message.parts) {
        const std::string boundaryLine = "\r\n--" + part.boundary + "\r\n";
        const bool stored = part.inObject
                                ? add(MIME_PART_BODY, boundaryLine + part.headers + part.fileName,
                                      boundaryLine.size(), part.headers.size(), MIME_PART_BODY_IN_DBOBJECT)
                                : add(MIME_PART_BODY, boundaryLine + part.headers + part.encoded + "\r\n",
                                      boundaryLine.size(), part.headers.size());
        if (!stored) {
            items->clear();
            return ERR_MIME_PART_TOO_BIG;
        }
    }
    if (!add(MIME_PART_EPILOG, message.epilog, 0, 0)) {
        items->clear();
        return ERR_MIME_PART_TOO_BIG;
    }
    return NOERROR;
}

bool decodePartItem(std::string_view value, MIME_PART* record, std::string* text) {
    if (value.size() < sizeof(MIME_PART)) {
        return false;
    }
    std::memcpy(record, value.data(), sizeof(MIME_PART));
    if (value.size() - sizeof(MIME_PART) < record->wByteCount) {
        return false;
    }
    *text = std::string(value.substr(sizeof(MIME_PART), record->wByteCount));
    return true;
}

std::vector<Part> leafParts(const Note& note) {
    const auto items = bodyItems(note);
    if (items.empty()) {
        return {};
    }
    if (isVerbatim(note)) {
        return verbatimLeaves(note);
    }
    Message message;
    if (!hasMessagePart(items)) { // chunks that together make the message
        return leavesOf(concatenated(items));
    }
    Parser parser(&message);
    for (const auto& [record, text] : items) {
        if (record.cPartType != MIME_PART_BODY) {
            continue;
        }
        std::string_view rest = text;
        std::string boundary;
        if (rest.substr(0, 4) == "\r\n--") {
            const auto eol = rest.find(kCrlf, 4);
            boundary = std::string(rest.substr(4, eol == std::string_view::npos ? 0 : eol - 4));
            rest = eol == std::string_view::npos ? std::string_view() : rest.substr(eol + 2);
        }
        std::string objectName;
        if ((record.dwFlags & MIME_PART_BODY_IN_DBOBJECT) != 0 && rest.size() >= record.wHeadersLen) {
            objectName = std::string(rest.substr(record.wHeadersLen));
            rest = rest.substr(0, record.wHeadersLen);
        } else if (rest.size() >= 2 && rest.substr(rest.size() - 2) == kCrlf) {
            rest.remove_suffix(2);
        }
        const std::size_t before = message.parts.size();
        if (!parser.entity(rest, boundary, 1, false)) {
            continue;
        }
        if (!objectName.empty() && message.parts.size() == before + 1) {
            message.parts.back().inObject = true;
            message.parts.back().fileName = objectName;
        }
    }
    return std::move(message.parts);
}

std::string topHeaders(const Note& note) {
    const auto items = bodyItems(note);
    for (const auto& [record, text] : items) {
        if (record.cPartType == MIME_PART_MESSAGE) {
            return text;
        }
    }
    Message message;
    std::string error;
    return !items.empty() && parseMessage(concatenated(items), &message, &error) ? message.headers
                                                                                 : std::string();
}

bool parseDate(std::string_view text, std::int64_t* ticks) {
    static const char* const kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                          "jul", "aug", "sep", "oct", "nov", "dec"};
    std::string t = trim(text);
    if (const auto comma = t.find(','); comma != std::string::npos) {
        t = trim(std::string_view(t).substr(comma + 1)); // the weekday says nothing more
    }
    int day = 0, year = 0, hour = 0, minute = 0, second = 0;
    char month[4] = {}, zone[8] = {};
    const int n =
        std::sscanf(t.c_str(), "%d %3s %d %d:%d:%d %7s", &day, month, &year, &hour, &minute, &second, zone);
    if (n < 5) {
        return false;
    }
    int m = 0;
    while (m < 12 && lower(month) != kMonths[m]) {
        ++m;
    }
    if (m == 12 || !validDate(year, m + 1, day) || hour > 23 || minute > 59 || second > 60) {
        return false;
    }
    std::int64_t offsetMinutes = 0;
    if ((zone[0] == '+' || zone[0] == '-') && std::strlen(zone) == 5) {
        const int hhmm = std::atoi(zone + 1);
        offsetMinutes = (hhmm / 100) * 60 + hhmm % 100;
        if (zone[0] == '-') {
            offsetMinutes = -offsetMinutes;
        }
    }
    const std::int64_t seconds = daysFromCivil(year, m + 1, day) * 86400 + hour * 3600 + minute * 60 +
                                 std::min(second, 59) - offsetMinutes * 60;
    *ticks = seconds * 100;
    return true;
}

std::vector<std::string> splitAddresses(std::string_view value) {
    std::vector<std::string> out;
    std::string current;
    bool quoted = false;
    int angle = 0;
    for (char c : value) {
        if (c == '"') {
            quoted = !quoted;
        } else if (!quoted && c == '<') {
            ++angle;
        } else if (!quoted && c == '>' && angle > 0) {
            --angle;
        }
        if (c == ',' && !quoted && angle == 0) {
            if (std::string a = trim(current); !a.empty()) {
                out.push_back(std::move(a));
            }
            current.clear();
        } else {
            current += c;
        }
    }
    if (std::string a = trim(current); !a.empty()) {
        out.push_back(std::move(a));
    }
    return out;
}

STATUS memoFromEml(std::string_view eml, mail::Message* out, std::string* error) {
    return storeMessage(eml, out, error);
}

// ---- codecs ----------------------------------------------------------------------------------

std::string decodeBase64(std::string_view text) {
    static const auto kValues = [] {
        std::array<signed char, 256> v{};
        v.fill(-1);
        const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        for (int i = 0; i < 64; ++i) {
            v[static_cast<unsigned char>(alphabet[i])] = static_cast<signed char>(i);
        }
        return v;
    }();
    // Written in place: attachments of a hundred megabytes pass through here.
    std::string out(text.size() / 4 * 3 + 3, '\0');
    char* o = out.data();
    std::uint32_t acc = 0;
    int bits = 0;
    const auto* in = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (bits == 0) { // whole groups of four at a time while nothing is pending
            while (i + 4 <= n) {
                const int a = kValues[in[i]], b = kValues[in[i + 1]], c = kValues[in[i + 2]],
                          d = kValues[in[i + 3]];
                if ((a | b | c | d) < 0) {
                    break;
                }
                const std::uint32_t group = (std::uint32_t(a) << 18) | (std::uint32_t(b) << 12) |
                                            (std::uint32_t(c) << 6) | std::uint32_t(d);
                *o++ = static_cast<char>(group >> 16);
                *o++ = static_cast<char>((group >> 8) & 0xFF);
                *o++ = static_cast<char>(group & 0xFF);
                i += 4;
            }
            if (i >= n) {
                break;
            }
        }
        const char ch = static_cast<char>(in[i]);
        if (ch == '=') {
            break;
        }
        const int v = kValues[in[i]];
        if (v < 0) {
            continue;
        }
        acc = (acc << 6) | static_cast<std::uint32_t>(v);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            *o++ = static_cast<char>((acc >> bits) & 0xFF);
        }
    }
    out.resize(static_cast<std::size_t>(o - out.data()));
    return out;
}

std::string encodeBase64(std::string_view bytes, std::size_t lineLength) {
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const std::size_t encoded = (bytes.size() + 2) / 3 * 4;
    std::string out(encoded + (lineLength ? encoded / lineLength * 2 : 0), '\0');
    char* o = out.data();
    std::size_t column = 0;
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::uint32_t b0 = in[i];
        const std::uint32_t b1 = i + 1 < bytes.size() ? in[i + 1] : 0;
        const std::uint32_t b2 = i + 2 < bytes.size() ? in[i + 2] : 0;
        const std::uint32_t n = (b0 << 16) | (b1 << 8) | b2;
        *o++ = kAlphabet[(n >> 18) & 63];
        *o++ = kAlphabet[(n >> 12) & 63];
        *o++ = i + 1 < bytes.size() ? kAlphabet[(n >> 6) & 63] : '=';
        *o++ = i + 2 < bytes.size() ? kAlphabet[n & 63] : '=';
        column += 4;
        if (lineLength && column >= lineLength && i + 3 < bytes.size()) {
            *o++ = '\r';
            *o++ = '\n';
            column = 0;
        }
    }
    out.resize(static_cast<std::size_t>(o - out.data()));
    return out;
}

std::string decodeQuotedPrintable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '=') {
            out += text[i];
            continue;
        }
        if (i + 2 < text.size() && text.substr(i + 1, 2) == kCrlf) { // soft line break
            i += 2;
        } else if (i + 1 < text.size() && text[i + 1] == '\n') {
            i += 1;
        } else if (i + 2 < text.size() && std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
                   std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            out += static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16));
            i += 2;
        } else {
            out += '='; // not an escape: kept as it stands
        }
    }
    return out;
}

std::string latin1ToUtf8(std::string_view text) {
    std::string out;
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string utf8ToLatin1(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        std::size_t extra = c < 0x80             ? 0
                            : (c & 0xE0) == 0xC0 ? 1
                            : (c & 0xF0) == 0xE0 ? 2
                            : (c & 0xF8) == 0xF0 ? 3
                                                 : 9;
        if (extra == 9 || i + extra >= text.size() + (extra == 0 ? 1 : 0)) {
            out += c < 0x80 ? static_cast<char>(c) : '?';
            ++i;
            continue;
        }
        std::uint32_t cp = extra == 0 ? c : c & (0x3F >> extra);
        bool ok = true;
        for (std::size_t k = 1; k <= extra; ++k) {
            const unsigned char cc = static_cast<unsigned char>(text[i + k]);
            ok = ok && (cc & 0xC0) == 0x80;
            cp = (cp << 6) | (cc & 0x3F);
        }
        if (!ok) {
            out += '?';
            ++i;
            continue;
        }
        out += cp <= 0xFF ? static_cast<char>(cp) : '?';
        i += extra + 1;
    }
    return out;
}

std::string decodeHeaderWords(std::string_view value) {
    std::string out;
    std::size_t pos = 0;
    bool lastWasWord = false;
    while (pos < value.size()) {
        const std::size_t start = value.find("=?", pos);
        std::size_t q1 = start == std::string_view::npos ? start : value.find('?', start + 2);
        std::size_t q2 = q1 == std::string_view::npos ? q1 : value.find('?', q1 + 1);
        std::size_t end = q2 == std::string_view::npos ? q2 : value.find("?=", q2 + 1);
        if (end == std::string_view::npos || q2 != q1 + 2) {
            out += value.substr(pos);
            break;
        }
        const std::string_view between = value.substr(pos, start - pos);
        if (!(lastWasWord && between.find_first_not_of(" \t") == std::string_view::npos)) {
            out += between; // blanks between two encoded words are dropped
        }
        std::string charset = lower(value.substr(start + 2, q1 - start - 2));
        if (const auto star = charset.find('*'); star != std::string::npos) {
            charset.resize(star);
        }
        const char encoding = static_cast<char>(std::toupper(static_cast<unsigned char>(value[q1 + 1])));
        const std::string_view payload = value.substr(q2 + 1, end - q2 - 1);
        std::string bytes;
        if (encoding == 'B') {
            bytes = decodeBase64(payload);
        } else if (encoding == 'Q') {
            std::string qp(payload);
            std::replace(qp.begin(), qp.end(), '_', ' ');
            bytes = decodeQuotedPrintable(qp);
        } else {
            out += value.substr(start, end + 2 - start);
            pos = end + 2;
            lastWasWord = false;
            continue;
        }
        out += charset == "iso-8859-1" || charset == "latin1" || charset == "windows-1252"
                   ? latin1ToUtf8(bytes)
                   : bytes;
        pos = end + 2;
        lastWasWord = true;
    }
    return out;
}

} // namespace notes::mime
