// Item value layouts (little-endian, without the type word) and universal id texts.
#include "values.h"
#include "byteio.h"

#include <cstdio>
#include <cstring>
#include <random>
#include <thread>

namespace notes {
namespace {

using byteio::get;
using byteio::put;

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

std::string formatNumber(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", v);
    return buf;
}

} // namespace

// ---- universal ids: File.Innards[1], File.Innards[0], Note.Innards[1], Note.Innards[0] ----------
std::string unidToText(const UNID& unid) {
    char buf[33];
    std::snprintf(buf, sizeof buf, "%08X%08X%08X%08X", unid.File.Innards[1], unid.File.Innards[0],
                  unid.Note.Innards[1], unid.Note.Innards[0]);
    return buf;
}

bool unidFromText(std::string_view text, UNID* out) {
    if (text.size() != 32) {
        return false;
    }
    DWORD words[4] = {0, 0, 0, 0};
    for (std::size_t i = 0; i < 32; ++i) {
        const int v = hexValue(text[i]);
        if (v < 0) {
            return false;
        }
        words[i / 8] = (words[i / 8] << 4) | static_cast<DWORD>(v);
    }
    out->File.Innards[1] = words[0];
    out->File.Innards[0] = words[1];
    out->Note.Innards[1] = words[2];
    out->Note.Innards[0] = words[3];
    return true;
}

UNID newUnid(std::int64_t createdTicks) {
    static thread_local std::mt19937_64 rng{
        std::random_device{}() ^
        static_cast<std::uint64_t>(std::hash<std::thread::id>{}(std::this_thread::get_id()))};
    const std::uint64_t r = rng();
    UNID u{};
    u.File.Innards[0] = static_cast<DWORD>(r);
    u.File.Innards[1] = static_cast<DWORD>(r >> 32);
    u.Note = timedateFromTicks(createdTicks);
    return u;
}

namespace ods {

std::string encodeTextList(const std::vector<std::string>& values) {
    std::string out;
    put(out, static_cast<WORD>(values.size()));
    for (const std::string& v : values) {
        put(out, static_cast<WORD>(v.size()));
    }
    for (const std::string& v : values) {
        out += v;
    }
    return out;
}

bool decodeText(WORD type, std::string_view value, std::vector<std::string>* out) {
    out->clear();
    if (type == TYPE_TEXT) {
        out->emplace_back(value);
        return true;
    }
    if (type != TYPE_TEXT_LIST) {
        return false;
    }
    std::size_t pos = 0;
    WORD count = 0;
    if (!get(value, pos, &count)) {
        return value.empty();
    }
    std::vector<WORD> lengths(count);
    for (WORD& len : lengths) {
        if (!get(value, pos, &len)) {
            return false;
        }
    }
    for (WORD len : lengths) {
        if (pos + len > value.size()) {
            return false;
        }
        out->emplace_back(value.substr(pos, len));
        pos += len;
    }
    return true;
}

std::string encodeNumbers(const std::vector<double>& values) {
    std::string out;
    put(out, RANGE{static_cast<WORD>(values.size()), 0});
    for (double v : values) {
        put(out, v);
    }
    return out;
}

bool decodeNumbers(WORD type, std::string_view value, std::vector<double>* out) {
    out->clear();
    std::size_t pos = 0;
    double v = 0;
    if (type == TYPE_NUMBER) {
        if (!get(value, pos, &v)) {
            return false;
        }
        out->push_back(v);
        return true;
    }
    if (type != TYPE_NUMBER_RANGE) {
        return false;
    }
    RANGE range{};
    if (!get(value, pos, &range)) {
        return false;
    }
    for (WORD i = 0; i < range.ListEntries; ++i) {
        if (!get(value, pos, &v)) {
            return false;
        }
        out->push_back(v);
    }
    return true;
}

std::string encodeTimes(const std::vector<TIMEDATE>& values, const std::vector<TIMEDATE_PAIR>& ranges) {
    std::string out;
    put(out, RANGE{static_cast<WORD>(values.size()), static_cast<WORD>(ranges.size())});
    for (const TIMEDATE& t : values) {
        put(out, t);
    }
    for (const TIMEDATE_PAIR& p : ranges) {
        put(out, p);
    }
    return out;
}

bool decodeTimes(WORD type, std::string_view value, std::vector<TIMEDATE>* values,
                 std::vector<TIMEDATE_PAIR>* ranges) {
    values->clear();
    ranges->clear();
    std::size_t pos = 0;
    TIMEDATE t{};
    if (type == TYPE_TIME) {
        if (!get(value, pos, &t)) {
            return false;
        }
        values->push_back(t);
        return true;
    }
    if (type != TYPE_TIME_RANGE) {
        return false;
    }
    RANGE range{};
    if (!get(value, pos, &range)) {
        return false;
    }
    for (WORD i = 0; i < range.ListEntries; ++i) {
        if (!get(value, pos, &t)) {
            return false;
        }
        values->push_back(t);
    }
    TIMEDATE_PAIR p{};
    for (WORD i = 0; i < range.RangeEntries; ++i) {
        if (!get(value, pos, &p)) {
            return false;
        }
        ranges->push_back(p);
    }
    return true;
}

std::string encodeNoteRefs(const std::vector<UNID>& refs) {
    std::string out;
    put(out, LIST{static_cast<WORD>(refs.size())});
    for (const UNID& u : refs) {
        put(out, u);
    }
    return out;
}

bool decodeNoteRefs(std::string_view value, std::vector<UNID>* out) {
    out->clear();
    std::size_t pos = 0;
    LIST list{};
    if (!get(value, pos, &list)) {
        return false;
    }
    UNID u{};
    for (WORD i = 0; i < list.ListEntries; ++i) {
        if (!get(value, pos, &u)) {
            return false;
        }
        out->push_back(u);
    }
    return true;
}

std::string encodeRichText(std::string_view plain) {
    std::string out;
    std::size_t start = 0;
    for (;;) {
        const std::size_t nl = plain.find('\n', start);
        const std::string_view run =
            plain.substr(start, nl == std::string_view::npos ? std::string_view::npos : nl - start);
        if (!run.empty()) {
            put(out, kCdText);
            put(out, static_cast<DWORD>(6 + run.size()));
            out += run;
        }
        if (nl == std::string_view::npos) {
            return out;
        }
        put(out, kCdParagraph);
        put(out, static_cast<DWORD>(6));
        start = nl + 1;
    }
}

bool decodeRichTextPlain(std::string_view value, std::string* plain) {
    plain->clear();
    std::size_t pos = 0;
    while (pos < value.size()) {
        WORD sig = 0;
        DWORD length = 0;
        const std::size_t recordStart = pos;
        if (!get(value, pos, &sig) || !get(value, pos, &length) || length < 6 ||
            recordStart + length > value.size()) {
            return false;
        }
        if (sig == kCdText) {
            plain->append(value.substr(pos, length - 6));
        } else if (sig == kCdParagraph) {
            plain->push_back('\n');
        }
        pos = recordStart + length;
    }
    return true;
}

std::string toText(WORD type, std::string_view value, std::string_view separator) {
    std::vector<std::string> parts;
    std::vector<double> numbers;
    std::vector<TIMEDATE> times;
    std::vector<TIMEDATE_PAIR> ranges;
    std::vector<UNID> refs;
    if (decodeText(type, value, &parts)) {
        // as is
    } else if (decodeNumbers(type, value, &numbers)) {
        for (double v : numbers) {
            parts.push_back(formatNumber(v));
        }
    } else if (decodeTimes(type, value, &times, &ranges)) {
        for (const TIMEDATE& t : times) {
            parts.push_back(formatDatetime(fieldsFromTimedate(t)));
        }
        for (const TIMEDATE_PAIR& p : ranges) {
            parts.push_back(formatDatetime(fieldsFromTimedate(p.Lower)) + " - " +
                            formatDatetime(fieldsFromTimedate(p.Upper)));
        }
    } else if (type == TYPE_COMPOSITE) {
        std::string plain;
        decodeRichTextPlain(value, &plain);
        return plain;
    } else if (type == TYPE_NOTEREF_LIST && decodeNoteRefs(value, &refs)) {
        for (const UNID& u : refs) {
            parts.push_back(unidToText(u));
        }
    }
    std::string out;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) {
            out += separator;
        }
        out += parts[i];
    }
    return out;
}

} // namespace ods
} // namespace notes
