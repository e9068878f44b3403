// Windows-1252 <-> UTF-8 and body charset conversion.
#include "Lattice/HTMLEncode.h"

#include "Utf8.h"

#include <cstdint>
#include <cstring>
#include <string>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace Lattice {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// 0x80..0x9F of Windows-1252; 0 marks the five bytes without a character.
constexpr char16_t kCp1252High[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char32_t cp1252ToUnicode(unsigned char b) {
    if (b < 0x80 || b >= 0xA0)
        return b;
    char16_t u = kCp1252High[b - 0x80];
    return u ? u : kReplacement;
}

// -1 when the character has no Windows-1252 byte.
int unicodeToCp1252(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF))
        return static_cast<int>(cp);
    for (int i = 0; i < 32; ++i)
        if (kCp1252High[i] && kCp1252High[i] == cp)
            return 0x80 + i;
    return -1;
}

char32_t latin9ToUnicode(unsigned char b) {
    switch (b) {
    case 0xA4:
        return 0x20AC;
    case 0xA6:
        return 0x0160;
    case 0xA8:
        return 0x0161;
    case 0xB4:
        return 0x017D;
    case 0xB8:
        return 0x017E;
    case 0xBC:
        return 0x0152;
    case 0xBD:
        return 0x0153;
    case 0xBE:
        return 0x0178;
    default:
        return b;
    }
}

enum class Charset { Utf8, Cp1252, Latin9, Detect };

Charset classify(const String& name) {
    std::string n = name.trimmed().toLower().str();
    while (!n.empty() && (n.front() == '"' || n.front() == '\''))
        n.erase(n.begin());
    while (!n.empty() && (n.back() == '"' || n.back() == '\''))
        n.pop_back();
    if (n == "utf-8" || n == "utf8" || n == "unicode-1-1-utf-8" || n == "x-unicode20utf8")
        return Charset::Utf8;
    // Mail labelled Latin-1 is routinely written in Windows-1252, so the superset decodes both.
    if (n == "windows-1252" || n == "cp1252" || n == "x-cp1252" || n == "iso-8859-1" || n == "iso8859-1" ||
        n == "iso_8859-1" || n == "iso-ir-100" || n == "latin1" || n == "l1" || n == "ibm819" || n == "cp819")
        return Charset::Cp1252;
    if (n == "iso-8859-15" || n == "iso8859-15" || n == "iso_8859-15" || n == "latin9" || n == "latin-9" ||
        n == "l9")
        return Charset::Latin9;
    // us-ascii and unknown labels: the bytes decide, since mislabelled 8-bit mail is common.
    return Charset::Detect;
}

// The charset a <meta> near the top of the page declares, or empty.
String sniffMetaCharset(const String& body) {
    String head = body.left(4096).toLower();
    long pos = 0;
    while ((pos = head.find("<meta", pos)) >= 0) {
        long end = head.find('>', pos);
        if (end < 0)
            break;
        String tag = head.substring(pos, end - pos);
        long cs = tag.find("charset");
        if (cs >= 0) {
            long i = cs + 7;
            while (i < tag.length() && (tag[i] == ' ' || tag[i] == '=' || tag[i] == '"' || tag[i] == '\''))
                ++i;
            long j = i;
            while (j < tag.length() && tag[j] != '"' && tag[j] != '\'' && tag[j] != ';' && tag[j] != ' ' &&
                   tag[j] != '/')
                ++j;
            if (j > i)
                return tag.substring(i, j - i);
        }
        pos = end;
    }
    return String();
}

// Valid sequences are copied; every byte of a malformed one is read as Windows-1252 instead, so
// stray 8-bit characters in a UTF-8 body still come out as the character they most likely were.
String utf8Repaired(const String& text) {
    std::string out;
    out.reserve(static_cast<std::size_t>(text.length()));
    std::string_view in = text.view();
    std::size_t i = 0;
    while (i < in.size()) {
        char32_t cp;
        std::size_t n = web::decodeUtf8(in, i, cp);
        if (n) {
            out.append(in.data() + i, n);
            i += n;
        } else {
            web::appendUtf8(out, cp1252ToUnicode(static_cast<unsigned char>(in[i])));
            ++i;
        }
    }
    return String(std::move(out));
}

String latin9ToUtf8(const String& text) {
    std::string out;
    out.reserve(static_cast<std::size_t>(text.length()) + 16);
    for (char c : text.view())
        web::appendUtf8(out, latin9ToUnicode(static_cast<unsigned char>(c)));
    return String(std::move(out));
}

} // namespace

namespace web {

std::size_t decodeUtf8(std::string_view s, std::size_t pos, char32_t& cp) {
    auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[pos + k]); };
    unsigned char c0 = b(0);
    if (c0 < 0x80) {
        cp = c0;
        return 1;
    }
    std::size_t n;
    char32_t min;
    if (c0 >= 0xC2 && c0 <= 0xDF) {
        n = 2;
        cp = c0 & 0x1F;
        min = 0x80;
    } else if (c0 >= 0xE0 && c0 <= 0xEF) {
        n = 3;
        cp = c0 & 0x0F;
        min = 0x800;
    } else if (c0 >= 0xF0 && c0 <= 0xF4) {
        n = 4;
        cp = c0 & 0x07;
        min = 0x10000;
    } else {
        return 0;
    }
    if (pos + n > s.size())
        return 0;
    for (std::size_t k = 1; k < n; ++k) {
        if ((b(k) & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (b(k) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return n;
}

bool isValidUtf8(std::string_view s) {
    std::size_t i = 0;
    char32_t cp;
    while (i < s.size()) {
        // Pages are mostly ASCII: sixteen bytes at a time (eight without SSE2) while no high bit
        // is set.
#if defined(__SSE2__)
        while (i + 16 <= s.size() &&
               _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s.data() + i))) == 0)
            i += 16;
#endif
        while (i + 8 <= s.size()) {
            std::uint64_t word;
            std::memcpy(&word, s.data() + i, 8);
            if (word & 0x8080808080808080ull)
                break;
            i += 8;
        }
        if (i >= s.size())
            break;
        if (static_cast<unsigned char>(s[i]) < 0x80) {
            ++i;
            continue;
        }
        std::size_t n = decodeUtf8(s, i, cp);
        if (!n)
            return false;
        i += n;
    }
    return true;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        cp = kReplacement;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::string repairUtf8(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        char32_t cp;
        std::size_t n = decodeUtf8(s, i, cp);
        if (n)
            out.append(s.data() + i, n);
        else
            appendUtf8(out, kReplacement);
        i += n ? n : 1;
    }
    return out;
}

} // namespace web

String HTMLEncode::string8ToUTF8(const String& text) {
    std::string out;
    out.reserve(static_cast<std::size_t>(text.length()) + 16);
    for (char c : text.view())
        web::appendUtf8(out, cp1252ToUnicode(static_cast<unsigned char>(c)));
    return String(std::move(out));
}

String HTMLEncode::UTF8ToString8(const String& text) {
    std::string out;
    out.reserve(static_cast<std::size_t>(text.length()));
    std::string_view in = text.view();
    std::size_t i = 0;
    while (i < in.size()) {
        char32_t cp;
        std::size_t n = web::decodeUtf8(in, i, cp);
        if (!n) {
            out += '?';
            ++i;
            continue;
        }
        int b = unicodeToCp1252(cp);
        out += b < 0 ? '?' : static_cast<char>(b);
        i += n;
    }
    return String(std::move(out));
}

String HTMLEncode::convertBodyToUTF(const String& body, const String& charset) {
    String name = charset.trimmed().isEmpty() ? sniffMetaCharset(body) : charset;
    switch (classify(name)) {
    case Charset::Utf8:
        return utf8Repaired(body);
    case Charset::Cp1252:
        return string8ToUTF8(body);
    case Charset::Latin9:
        return latin9ToUtf8(body);
    case Charset::Detect:
        break;
    }
    return web::isValidUtf8(body.view()) ? body : string8ToUTF8(body);
}

String HTMLEncode::convertBodyToUTF(String&& body, const String& charset) {
    String name = charset.trimmed().isEmpty() ? sniffMetaCharset(body) : charset;
    const Charset kind = classify(name);
    // A body that is valid UTF-8 already is handed back as it is, not copied.
    if ((kind == Charset::Utf8 || kind == Charset::Detect) && web::isValidUtf8(body.view()))
        return std::move(body);
    return convertBodyToUTF(static_cast<const String&>(body), charset);
}

bool HTMLEncode::isUTF8Body(std::string_view body) {
    const Charset kind = classify(sniffMetaCharset(String(body.substr(0, 4096))));
    return (kind == Charset::Utf8 || kind == Charset::Detect) && web::isValidUtf8(body);
}

String HTMLEncode::escape(const String& text) {
    std::string out;
    out.reserve(static_cast<std::size_t>(text.length()) + 16);
    for (char c : text.view()) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
    return String(std::move(out));
}

} // namespace Lattice
