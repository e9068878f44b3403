// HTML sanitizer: allow-listed elements, attributes, URL schemes and CSS, written back out in a
// canonical form by a streaming tokenizer (see the note at the sanitizer below).
#include "Lattice/HTMLEncode.h"

#include "Utf8.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace Lattice {

namespace {

constexpr std::string_view kAttributeNames[] = {
    "abbr",        "align",       "alink",       "alt",     "axis",    "background", "bgcolor", "border",
    "bordercolor", "cellpadding", "cellspacing", "char",    "charoff", "cite",       "class",   "clear",
    "color",       "cols",        "colspan",     "compact", "coords",  "datetime",   "dir",     "face",
    "frame",       "headers",     "height",      "href",    "hspace",  "id",         "label",   "lang",
    "link",        "name",        "noshade",     "nowrap",  "open",    "reversed",   "rows",    "rowspan",
    "rules",       "scope",       "shape",       "size",    "span",    "src",        "start",   "style",
    "summary",     "target",      "text",        "title",   "type",    "usemap",     "valign",  "value",
    "vlink",       "vspace",      "width"};

// How a kept attribute's value is vetted.
enum class AttributeKind : std::uint8_t { kPlain, kLink, kImage, kSource, kUseMap, kStyle };

constexpr AttributeKind attributeKind(std::string_view name) {
    if (name == "href" || name == "cite")
        return AttributeKind::kLink;
    if (name == "background")
        return AttributeKind::kImage;
    if (name == "src")
        return AttributeKind::kSource; // on images only
    if (name == "usemap")
        return AttributeKind::kUseMap;
    if (name == "style")
        return AttributeKind::kStyle;
    return AttributeKind::kPlain;
}

struct AttributeKinds {
    AttributeKind kind[sizeof kAttributeNames / sizeof kAttributeNames[0]] = {};
    constexpr AttributeKinds() {
        for (std::size_t i = 0; i < sizeof kAttributeNames / sizeof kAttributeNames[0]; ++i)
            kind[i] = attributeKind(kAttributeNames[i]);
    }
    constexpr AttributeKind operator[](std::size_t i) const { return kind[i]; }
};
constexpr AttributeKinds kAttributeKinds;

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool asciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool startsWith(std::string_view s, std::string_view p) {
    return s.substr(0, p.size()) == p;
}

// Lower-cased URL with every space and control character removed: browsers drop tabs and line
// breaks anywhere in a URL, and filters are routinely evaded with them.
std::string compactUrl(std::string_view v) {
    std::string out;
    out.reserve(v.size());
    for (char c : v) {
        auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u == 0x7F)
            continue;
        out += lowerAscii(c);
    }
    return out;
}

// The URL's scheme, or empty for a relative URL. Leading junk (quotes, backticks, replacement
// characters) is skipped: older engines ignored it, so "`javascript:" still counts as a scheme.
std::string_view scheme(std::string_view compact) {
    while (!compact.empty()) {
        char c = compact.front();
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '/' || c == '.' || c == '#' || c == '?')
            break;
        compact.remove_prefix(1);
    }
    for (std::size_t i = 0; i < compact.size(); ++i) {
        char c = compact[i];
        if (c == ':')
            return i == 0 ? std::string_view("invalid") : compact.substr(0, i);
        bool ok =
            (c >= 'a' && c <= 'z') || (i > 0 && ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.'));
        if (!ok)
            return {};
    }
    return {};
}

bool isInlineImageData(std::string_view compact) {
    for (std::string_view type : {"png", "gif", "jpeg", "jpg", "webp"}) {
        std::string prefix = "data:image/" + std::string(type);
        if (startsWith(compact, prefix) && compact.size() > prefix.size() &&
            (compact[prefix.size()] == ';' || compact[prefix.size()] == ','))
            return true;
    }
    return false;
}

// A script scheme anywhere in a URL is refused, even where a browser would read the URL as
// relative: being strict here costs nothing in real mail.
bool mentionsScript(std::string_view compact) {
    for (std::string_view s : {"javascript:", "vbscript:", "livescript:"})
        if (compact.find(s) != std::string_view::npos)
            return true;
    return false;
}

bool linkAllowed(std::string_view value) {
    std::string c = compactUrl(value);
    if (mentionsScript(c))
        return false;
    std::string_view s = scheme(c);
    return s.empty() || s == "http" || s == "https" || s == "mailto" || s == "ftp" || s == "tel" ||
           s == "cid" || s == "notes";
}

// The checks of imageAllowed but the script one, on a URL compacted already.
bool compactImageAllowed(std::string_view c, bool allowRemote) {
    std::string_view s = scheme(c);
    if (s.empty())
        return !startsWith(c, "//") || allowRemote; // "//host/x" is remote too
    if (s == "http" || s == "https")
        return allowRemote;
    return s == "cid" || isInlineImageData(c);
}

bool imageAllowed(std::string_view value, bool allowRemote) {
    const std::string c = compactUrl(value);
    return !mentionsScript(c) && compactImageAllowed(c, allowRemote);
}

// Position of the first byte from `i` that is one of `Cs`, or the size of `s`. Pages are mostly
// runs of plain text between the bytes the tokenizer must look at, so runs are passed sixteen
// bytes at a time where the processor has SSE2 (every x86-64 does), else eight at a time.
template <char... Cs> std::size_t findAny(std::string_view s, std::size_t i) {
    const char* p = s.data();
    const std::size_t n = s.size();
#if defined(__SSE2__)
    for (; i + 16 <= n; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        __m128i hit = _mm_setzero_si128();
        ((hit = _mm_or_si128(hit, _mm_cmpeq_epi8(v, _mm_set1_epi8(Cs)))), ...);
        if (const int mask = _mm_movemask_epi8(hit))
            return i + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
    }
#else
    // A byte equal to c makes (x - ones) & ~x set its high bit; the test may also flag bytes past
    // a true match, so the word is searched byte by byte once it flags anything.
    constexpr std::uint64_t ones = 0x0101010101010101ull, highs = 0x8080808080808080ull;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t v;
        std::memcpy(&v, p + i, 8);
        std::uint64_t hit = 0;
        ((hit |= ((v ^ (ones * static_cast<unsigned char>(Cs))) - ones) &
                 ~(v ^ (ones * static_cast<unsigned char>(Cs))) & highs),
         ...);
        if (hit)
            break;
    }
#endif
    for (; i < n; ++i)
        if (((p[i] == Cs) || ...))
            return i;
    return n;
}

// ---- CSS ----

// What a browser may make of a piece of CSS, reduced for matching: comments removed, escapes
// decoded, full-width letters folded, spaces and controls dropped, lower case. Non-ASCII
// characters become 0x80 so they can never complete an ASCII keyword.
//
// The work is done in one byte buffer, in place, one byte per character: ASCII as itself, the
// full-width forms U+FF01..U+FF5E as 0x81..0xDE (they must not read as '/', '*' or '\' while
// comments and escapes are undone, and fold onto ASCII only at the end), anything else 0x80.
// So a sheet is checked in about its own size, not four times it per step.

unsigned char cssUnit(char32_t c) {
    if (c < 0x80)
        return static_cast<unsigned char>(c);
    if (c >= 0xFF01 && c <= 0xFF5E)
        return static_cast<unsigned char>(0x81 + (c - 0xFF01));
    return 0x80;
}

// Removes comments from the units in place; an unterminated comment runs to the end.
void stripComments(std::string& units) {
    const std::size_t n = units.size();
    if (units.find("/*") == std::string::npos)
        return;
    std::size_t w = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (units[i] == '/' && i + 1 < n && units[i + 1] == '*') {
            std::size_t end = i + 2;
            while (end + 1 < n && !(units[end] == '*' && units[end + 1] == '/'))
                ++end;
            i = end + 1;
            continue;
        }
        units[w++] = units[i];
    }
    units.resize(w);
}

int hexValue(char32_t c) {
    if (c >= '0' && c <= '9')
        return static_cast<int>(c - '0');
    if (c >= 'a' && c <= 'f')
        return static_cast<int>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F')
        return static_cast<int>(c - 'A' + 10);
    return -1;
}

int hexUnit(char c) {
    return hexValue(static_cast<unsigned char>(c));
}

// Decodes CSS escapes in place: an escape is never shorter than what it stands for.
void decodeEscapes(std::string& u) {
    const std::size_t n = u.size();
    if (u.find('\\') == std::string::npos)
        return;
    std::size_t w = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const char c = u[i];
        if (c != '\\') {
            u[w++] = c;
            continue;
        }
        if (i + 1 >= n)
            break;
        const char next = u[i + 1];
        if (hexUnit(next) >= 0) {
            char32_t v = 0;
            std::size_t j = i + 1;
            for (int k = 0; k < 6 && j < n && hexUnit(u[j]) >= 0; ++k, ++j)
                v = v * 16 + static_cast<char32_t>(hexUnit(u[j]));
            if (j < n && (u[j] == ' ' || u[j] == '\t' || u[j] == '\n'))
                ++j;
            u[w++] = static_cast<char>(cssUnit(v));
            i = j - 1;
        } else if (next == '\n' || next == '\r' || next == '\f') {
            ++i;
        } else {
            u[w++] = next;
            ++i;
        }
    }
    u.resize(w);
}

// `out` gets the normalised form of `css` (its buffer is reused). Returns whether that is just the
// text without spaces and controls, in lower case (no comment, escape or non-ASCII character).
bool cssNormalize(std::string_view css, std::string& out) {
    out.resize(css.size());
    std::size_t w = 0;
    bool plain = true; // pure ASCII without comments or escapes: only the last step applies
    for (std::size_t i = 0; i < css.size();) {
        const auto b = static_cast<unsigned char>(css[i]);
        if (b < 0x80) {
            plain &= b != '\\' && b != '/';
            out[w++] = static_cast<char>(b);
            ++i;
            continue;
        }
        plain = false;
        char32_t cp;
        const std::size_t n = web::decodeUtf8(css, i, cp);
        out[w++] = static_cast<char>(n ? cssUnit(cp) : 0x80);
        i += n ? n : 1;
    }
    out.resize(w);
    if (!plain) {
        stripComments(out);
        decodeEscapes(out);
        stripComments(out);
    }
    w = 0;
    for (char ch : out) {
        auto c = static_cast<unsigned char>(ch);
        if (c >= 0x81 && c <= 0xDE)
            c = static_cast<unsigned char>(c - 0x81 + 0x21);
        if (c <= 0x20 || c == 0x7F)
            continue;
        out[w++] = c < 0x80 ? lowerAscii(static_cast<char>(c)) : static_cast<char>(0x80);
    }
    out.resize(w);
    return plain;
}

// A buffer for normalised CSS that is used again and again, but not kept large.
class NormalBuffer {
public:
    NormalBuffer() : text_(std::move(spare())) {}
    ~NormalBuffer() {
        if (text_.capacity() <= kKeep)
            spare() = std::move(text_);
    }
    std::string& text() { return text_; }

private:
    static constexpr std::size_t kKeep = 64 * 1024;
    static std::string& spare() {
        thread_local std::string buffer;
        return buffer;
    }
    std::string text_;
};

constexpr std::string_view kScriptKeywords[] = {"expression(", "behavior:",   "behaviour:", "-moz-binding",
                                                "binding:",    "javascript:", "vbscript:",  "livescript:",
                                                "@import",     "-o-link"};

// The first characters of the script keywords.
struct KeywordStarts {
    bool start[256] = {};
    constexpr KeywordStarts() {
        for (std::string_view keyword : kScriptKeywords)
            start[static_cast<unsigned char>(keyword.front())] = true;
    }
};
constexpr KeywordStarts kKeywordStarts;

bool hasScriptKeyword(std::string_view css) {
    for (std::size_t i = 0; i < css.size(); ++i) {
        if (!kKeywordStarts.start[static_cast<unsigned char>(css[i])])
            continue;
        const std::string_view rest = css.substr(i);
        for (std::string_view keyword : kScriptKeywords) {
            if (keyword[0] != rest[0] || rest.size() < keyword.size() || keyword[1] != rest[1])
                continue;
            if (rest.compare(0, keyword.size(), keyword) == 0)
                return true;
        }
    }
    return false;
}

// The keyword check on the text as written, lower case, without spaces and controls: a keyword
// that only an unclosed comment hides is still refused, since parsers disagree about where such a
// comment ends. Done in slices, so that it needs no copy of the text.
bool compactHasScriptKeyword(std::string_view raw) {
    constexpr std::size_t kSlice = 4096, kCarry = 16; // longer than any keyword
    char slice[kSlice + kCarry];
    std::size_t used = 0;
    for (std::size_t i = 0; i < raw.size();) {
        for (; i < raw.size() && used < sizeof slice; ++i) {
            const char c = raw[i];
            if (static_cast<unsigned char>(c) > 0x20 && c != 0x7F)
                slice[used++] = lowerAscii(c);
        }
        if (hasScriptKeyword(std::string_view(slice, used)))
            return true;
        if (used > kCarry) {
            std::memmove(slice, slice + used - kCarry, kCarry);
            used = kCarry;
        }
    }
    return false;
}

std::string cssCompact(std::string_view raw) {
    std::string out;
    out.reserve(raw.size());
    for (char c : raw)
        if (static_cast<unsigned char>(c) > 0x20 && c != 0x7F)
            out += lowerAscii(c);
    return out;
}

// What cssDangerous refuses outright in normalised CSS, by the character each ends in.
struct KeywordsByEnd {
    std::string_view keywords[256][8] = {};
    constexpr KeywordsByEnd() {
        auto add = [this](std::string_view keyword) {
            for (std::string_view& slot : keywords[static_cast<unsigned char>(keyword.back())])
                if (slot.empty()) {
                    slot = keyword;
                    return;
                }
            throw "more keywords end in one character than there are slots"; // not a constant: fails to
                                                                             // compile
        };
        for (std::string_view keyword : kScriptKeywords)
            add(keyword);
        // image-set() and src() take bare strings that cannot be vetted like url().
        add("image-set(");
        add("src(");
    }
    const std::string_view (&operator[](std::size_t c) const)[8] { return keywords[c]; }
};
constexpr KeywordsByEnd kEndingIn;

// The checks of cssDangerous on the normalised form of a text, made as that form is produced one
// character at a time (the same steps as cssNormalize, each a small state machine), so that a
// sheet of any size is checked without a copy of it: only a url() argument is held while it is read.
class CssScanner {
public:
    explicit CssScanner(bool allowRemote) : allowRemote_(allowRemote) {}

    // Whether `raw` is dangerous; `plain` gets whether its normalised form is just its compact form.
    bool dangerous(std::string_view raw, bool& plain) {
        unsigned char high = 0;
        for (char c : raw)
            high |= static_cast<unsigned char>(c);
        plain = high < 0x80 && findAny<'\\', '/'>(raw, 0) == raw.size();
        if (plain) {
            // Nothing to undo: the normalised form is the text without spaces and controls.
            for (std::size_t i = 0; i < raw.size() && !found_; ++i) {
                const auto c = static_cast<unsigned char>(raw[i]);
                if (c > 0x20 && c != 0x7F)
                    match(lowerAscii(static_cast<char>(c)));
            }
            if (!found_ && url_)
                checkUrls(false);
            return found_;
        }
        for (std::size_t i = 0; i < raw.size() && !found_;) {
            const auto b = static_cast<unsigned char>(raw[i]);
            if (b < 0x80) {
                firstComments(b);
                ++i;
                continue;
            }
            char32_t cp;
            const std::size_t n = web::decodeUtf8(raw, i, cp);
            firstComments(n ? cssUnit(cp) : 0x80);
            i += n ? n : 1;
        }
        finish();
        return found_;
    }

private:
    enum CommentState : std::uint8_t { kCode, kSlash, kComment, kCommentStar };
    enum EscapeState : std::uint8_t { kPlain, kBackslash, kHex };

    template <typename Next> static void comments(CommentState& state, unsigned char u, Next&& next) {
        switch (state) {
        case kCode:
            if (u == '/')
                state = kSlash;
            else
                next(u);
            return;
        case kSlash:
            if (u == '*') {
                state = kComment;
                return;
            }
            next('/');
            state = u == '/' ? kSlash : kCode;
            if (u != '/')
                next(u);
            return;
        case kComment:
            if (u == '*')
                state = kCommentStar;
            return;
        case kCommentStar:
            state = u == '/' ? kCode : u == '*' ? kCommentStar : kComment;
            return;
        }
    }

    void firstComments(unsigned char u) {
        comments(first_, u, [this](unsigned char v) { escapes(v); });
    }

    void escapes(unsigned char u) {
        switch (escape_) {
        case kPlain:
            if (u == '\\')
                escape_ = kBackslash;
            else
                secondComments(u);
            return;
        case kBackslash:
            if (hexUnit(static_cast<char>(u)) >= 0) {
                value_ = static_cast<char32_t>(hexUnit(static_cast<char>(u)));
                digits_ = 1;
                escape_ = kHex;
            } else {
                escape_ = kPlain;
                if (u != '\n' && u != '\r' && u != '\f')
                    secondComments(u);
            }
            return;
        case kHex:
            if (digits_ < 6 && hexUnit(static_cast<char>(u)) >= 0) {
                value_ = value_ * 16 + static_cast<char32_t>(hexUnit(static_cast<char>(u)));
                ++digits_;
                return;
            }
            escape_ = kPlain;
            secondComments(cssUnit(value_));
            if (u != ' ' && u != '\t' && u != '\n')
                escapes(u);
            return;
        }
    }

    void secondComments(unsigned char u) {
        comments(second_, u, [this](unsigned char v) { fold(v); });
    }

    void fold(unsigned char c) {
        if (c >= 0x81 && c <= 0xDE)
            c = static_cast<unsigned char>(c - 0x81 + 0x21);
        if (c <= 0x20 || c == 0x7F)
            return;
        match(c < 0x80 ? lowerAscii(static_cast<char>(c)) : static_cast<char>(0x80));
    }

    // The normalised text arrives here: keywords are looked for at the character that ends them.
    void match(char c) {
        if (url_)
            argument_ += c;
        // The last kTail characters end at window_[used_]; moved down once every kTail.
        if (used_ == sizeof window_) {
            std::memcpy(window_, window_ + kTail, kTail);
            used_ = kTail;
        }
        window_[used_++] = c;
        if (url_ && c == ')')
            checkUrls(true);
        const std::string_view(&keywords)[8] = kEndingIn[static_cast<unsigned char>(c)];
        if (keywords[0].empty())
            return; // most characters end no keyword
        const std::string_view tail(window_ + used_ - kTail, kTail);
        for (std::size_t k = 0; k < 8 && !keywords[k].empty(); ++k)
            if (tail.substr(kTail - keywords[k].size()) == keywords[k])
                found_ = true;
        if (c == '(' && tail.substr(kTail - 4) == "url(") {
            // Every url( is checked up to the next ')', also one inside another's argument.
            url_ = true;
            starts_.push_back(argument_.size());
        }
    }

    // The arguments are normalised text, compact already, and each later one is a part of the
    // first (a url( inside another's argument): a script scheme in any of them is in the first, so
    // it is looked for once, and the checks cost the argument's length, not that times the number
    // of url( in it.
    void checkUrls(bool closed) {
        for (std::size_t k = 0; k < starts_.size() && !found_; ++k) {
            std::string_view arg(argument_);
            arg = arg.substr(starts_[k], arg.size() - starts_[k] - (closed ? 1 : 0));
            while (!arg.empty() && (arg.front() == '"' || arg.front() == '\''))
                arg.remove_prefix(1);
            while (!arg.empty() && (arg.back() == '"' || arg.back() == '\''))
                arg.remove_suffix(1);
            if ((k == 0 && mentionsScript(arg)) || !compactImageAllowed(arg, allowRemote_))
                found_ = true;
        }
        url_ = false;
        starts_.clear();
        argument_.clear();
    }

    void finish() {
        if (found_)
            return;
        // What each step still holds: a lone '/', an escape at the very end.
        if (first_ == kSlash)
            escapes('/');
        if (escape_ == kHex)
            secondComments(cssUnit(value_));
        if (second_ == kSlash)
            fold('/');
        if (url_)
            checkUrls(false);
    }

    bool allowRemote_;
    bool found_ = false;
    CommentState first_ = kCode, second_ = kCode;
    EscapeState escape_ = kPlain;
    char32_t value_ = 0;
    int digits_ = 0;
    static constexpr std::size_t kTail = 16; // longer than any keyword
    char window_[2 * kTail] = {};
    std::size_t used_ = kTail;
    bool url_ = false;
    std::string argument_;
    std::vector<std::size_t> starts_;
};

bool cssDangerous(std::string_view raw, bool allowRemote) {
    bool plain = true;
    // Where nothing was undone the normalised form is the compact one, already checked.
    return CssScanner(allowRemote).dangerous(raw, plain) || (!plain && compactHasScriptKeyword(raw));
}

// Whether a declaration is a position that leaves the container's flow for the viewport's
// (fixed) or one that cannot be vetted here (var(), env(), unknown keywords).
bool escapingPosition(std::string_view decl) {
    NormalBuffer buffer;
    std::string& n = buffer.text();
    cssNormalize(decl, n);
    if (n.rfind("position:", 0) != 0)
        return false;
    std::string_view value = std::string_view(n).substr(9);
    if (std::size_t bang = value.find('!'); bang != std::string_view::npos)
        value = value.substr(0, bang);
    return value != "static" && value != "relative" && value != "absolute" && value != "sticky";
}

// Keeps the declarations of an inline style that are harmless; empty when none is.
std::string sanitizeStyleAttribute(std::string_view style, bool allowRemote) {
    std::string out;
    std::size_t start = 0;
    while (start <= style.size()) {
        std::size_t semi = style.find(';', start);
        std::string_view decl =
            style.substr(start, semi == std::string_view::npos ? std::string_view::npos : semi - start);
        if (!cssDangerous(decl, allowRemote) && !escapingPosition(decl) &&
            decl.find_first_not_of(" \t\r\n\f") != std::string_view::npos) {
            if (!out.empty())
                out += ';';
            out += decl;
        }
        if (semi == std::string_view::npos)
            break;
        start = semi + 1;
    }
    // Dropping a declaration can join what was around it (e.g. the halves of a split comment).
    if (cssDangerous(out, allowRemote))
        return {};
    return out;
}

// A <style> block with every rule piece that could run code or load what is not allowed removed.
std::string sanitizeStyleSheet(std::string_view css, bool allowRemote) {
    std::string out;
    out.reserve(css.size()); // memory is only taken as it is written
    std::size_t start = 0;
    while (start < css.size()) {
        std::size_t end = start;
        while (end < css.size() && css[end] != ';' && css[end] != '{' && css[end] != '}')
            ++end;
        const std::size_t delim = end < css.size() ? end : std::string_view::npos;
        std::string_view piece = css.substr(start, end - start);
        if (!cssDangerous(piece, allowRemote))
            out += piece;
        if (delim != std::string_view::npos)
            out += css[delim];
        start = end + 1;
    }
    if (cssDangerous(out, allowRemote))
        return {};
    return out;
}

// ---- scoping a message's style sheet to its container ----

constexpr std::string_view kContainerSelector = ".hx-message";
static_assert(kContainerSelector.substr(1) == HTMLEncode::kMessageContainerClass);

// Nested blocks ((, [, {) and strings as a CSS tokenizer sees them: a closer ends only the block
// it matches, a string ends at its quote or line end, a backslash escapes the next character.
// Returns the first character of `stops` at depth 0 from `from`, or npos.
std::size_t findTopLevel(std::string_view css, std::size_t from, std::string_view stops) {
    std::string open;
    for (std::size_t i = from; i < css.size(); ++i) {
        char c = css[i];
        if (c == '\\') {
            ++i;
            continue;
        }
        if (c == '"' || c == '\'') {
            for (++i; i < css.size() && css[i] != c && css[i] != '\n'; ++i)
                if (css[i] == '\\')
                    ++i;
            continue;
        }
        if (open.empty())
            for (char stop : stops)
                if (c == stop)
                    return i;
        if (c == '(' || c == '[' || c == '{')
            open += c == '(' ? ')' : c == '[' ? ']' : '}';
        else if (!open.empty() && c == open.back())
            open.pop_back();
    }
    return std::string_view::npos;
}

// Comments removed (strings kept as they are), so no comment can hide a selector or a brace. Done
// in place: a comment is never shorter than the blank that stands for it.
void removeComments(std::string& css) {
    std::size_t w = 0;
    const std::size_t n = css.size();
    for (std::size_t i = 0; i < n; ++i) {
        char c = css[i];
        if (c == '/' && i + 1 < n && css[i + 1] == '*') {
            std::size_t end = css.find("*/", i + 2);
            if (end == std::string::npos)
                break;
            i = end + 1;
            css[w++] = ' ';
            continue;
        }
        css[w++] = c;
        if (c == '\\' && i + 1 < n) {
            css[w++] = css[++i];
        } else if (c == '"' || c == '\'') {
            for (++i; i < n && css[i] != c && css[i] != '\n'; ++i) {
                css[w++] = css[i];
                if (css[i] == '\\' && i + 1 < n)
                    css[w++] = css[++i];
            }
            if (i < n)
                css[w++] = css[i];
        }
    }
    css.resize(w);
}

std::string_view trimCss(std::string_view s) {
    const char* ws = " \t\r\n\f";
    std::size_t b = s.find_first_not_of(ws);
    if (b == std::string_view::npos)
        return {};
    return s.substr(b, s.find_last_not_of(ws) - b + 1);
}

bool isCombinator(char c) {
    return c == '>' || c == '+' || c == '~';
}

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

// End of the compound selector starting at `from`: the next space or combinator outside brackets.
std::size_t compoundEnd(std::string_view sel, std::size_t from) {
    std::size_t end = findTopLevel(sel, from, " \t\r\n\f>+~");
    return end == std::string_view::npos ? sel.size() : end;
}

// Whether the compound selector at `pos` names the root or the body ("html.x" does, "html"
// followed by more of the compound is reported in `rest`).
bool namesPage(std::string_view sel, std::size_t pos, std::size_t end, std::string_view& rest) {
    std::string_view compound = sel.substr(pos, end - pos);
    std::size_t typeEnd = 0;
    while (typeEnd < compound.size() && (std::isalnum(static_cast<unsigned char>(compound[typeEnd])) ||
                                         compound[typeEnd] == '-' || compound[typeEnd] == '_'))
        ++typeEnd;
    std::string type = cssCompact(compound.substr(0, typeEnd));
    rest = compound.substr(typeEnd);
    if (type.empty() && cssCompact(rest.substr(0, 5)) == ":root" &&
        (rest.size() == 5 || !(std::isalnum(static_cast<unsigned char>(rest[5])) || rest[5] == '-'))) {
        rest.remove_prefix(5);
        return true;
    }
    return type == "html" || type == "body";
}

// One selector of a list made to match only inside the container: html, body and :root stand for
// the container itself, everything else becomes its descendant. Selectors that would reach the
// container's siblings (+, ~ after it) are dropped: empty result.
std::string scopeSelector(std::string_view sel) {
    if (isCombinator(sel.front()) && sel.front() != '>')
        return {};
    std::size_t pos = 0;
    std::string_view rest;
    if (!namesPage(sel, pos, compoundEnd(sel, pos), rest))
        return std::string(kContainerSelector) + " " + std::string(sel);
    for (;;) {
        const std::size_t end = compoundEnd(sel, pos);
        namesPage(sel, pos, end, rest);
        std::size_t next = end;
        while (next < sel.size() && isSpace(sel[next]))
            ++next;
        const char combinator = next < sel.size() && isCombinator(sel[next]) ? sel[next] : ' ';
        if (combinator == '+' || combinator == '~')
            return {};
        std::size_t following = combinator == '>' ? next + 1 : next;
        while (following < sel.size() && isSpace(sel[following]))
            ++following;
        std::string_view followingRest;
        // "html body p": both stand for the container, so the first adds nothing.
        if (rest.empty() && following < sel.size() && !isCombinator(sel[following]) &&
            namesPage(sel, following, compoundEnd(sel, following), followingRest)) {
            pos = following;
            continue;
        }
        return std::string(kContainerSelector) + std::string(rest) + std::string(sel.substr(end));
    }
}

// The selector list of a rule, scoped; empty when no selector is left.
std::string scopeSelectorList(std::string_view prelude) {
    std::string out;
    std::size_t start = 0;
    while (start <= prelude.size()) {
        std::size_t comma = findTopLevel(prelude, start, ",");
        std::size_t end = comma == std::string_view::npos ? prelude.size() : comma;
        std::string_view sel = trimCss(prelude.substr(start, end - start));
        if (!sel.empty()) {
            std::string scoped = scopeSelector(sel);
            if (!scoped.empty()) {
                if (!out.empty())
                    out += ',';
                out += scoped;
            }
        }
        if (comma == std::string_view::npos)
            break;
        start = comma + 1;
    }
    return out;
}

// A declaration block without escaping positions and without nested rules.
std::string scopeDeclarations(std::string_view block) {
    std::string out;
    std::size_t start = 0;
    while (start <= block.size()) {
        std::size_t semi = findTopLevel(block, start, ";");
        std::size_t end = semi == std::string_view::npos ? block.size() : semi;
        std::string_view decl = trimCss(block.substr(start, end - start));
        if (!decl.empty() && findTopLevel(decl, 0, "{}") == std::string_view::npos &&
            !escapingPosition(decl)) {
            if (!out.empty())
                out += ';';
            out += decl;
        }
        if (semi == std::string_view::npos)
            break;
        start = semi + 1;
    }
    return out;
}

// Every rule of the sheet rewritten to apply inside the container only. Conditional groups
// (@media, @supports) keep their rules, scoped; at-rules that define page-wide things (fonts,
// animations, pages, layers, namespaces, imports) are dropped: a message cannot scope them.
template <typename Sink> void scopeRules(std::string_view css, Sink& out, int depth) {
    std::size_t pos = 0;
    while (pos < css.size()) {
        std::size_t stop = findTopLevel(css, pos, "{;}");
        if (stop == std::string_view::npos)
            return; // an unfinished statement at the end is no rule
        if (css[stop] != '{') {
            pos = stop + 1;
            continue;
        }
        std::size_t close = findTopLevel(css, stop + 1, "}");
        std::string_view prelude = trimCss(css.substr(pos, stop - pos));
        std::string_view block =
            css.substr(stop + 1, (close == std::string_view::npos ? css.size() : close) - stop - 1);
        pos = close == std::string_view::npos ? css.size() : close + 1;
        if (prelude.empty())
            continue;
        if (prelude.front() == '@') {
            std::size_t nameEnd = 1;
            while (nameEnd < prelude.size() &&
                   (std::isalnum(static_cast<unsigned char>(prelude[nameEnd])) || prelude[nameEnd] == '-'))
                ++nameEnd;
            std::string name(prelude.substr(1, nameEnd - 1));
            for (char& c : name)
                c = lowerAscii(c);
            if ((name != "media" && name != "supports") || depth >= 8)
                continue;
            std::string inner;
            scopeRules(block, inner, depth + 1);
            if (inner.empty())
                continue;
            out += prelude;
            out += '{';
            out += inner;
            out += '}';
            continue;
        }
        std::string selectors = scopeSelectorList(prelude);
        if (selectors.empty())
            continue;
        out += selectors;
        out += '{';
        out += scopeDeclarations(block);
        out += '}';
    }
}

// ---- the streaming sanitizer ----
//
// The page is read once by a tokenizer that follows the HTML tokenizer's states (data, tags and
// attributes in every quoting form, comments and bogus comments, doctypes, raw text, script data,
// RCDATA, plaintext, character references) and written back in a canonical form as it goes. No
// tree is built. That is safe without agreeing with a browser's tree: every start tag written is
// an allowed element carrying only allowed attributes, every attribute value and every text is
// decoded and re-escaped, URLs are checked by scheme, and a style sheet (the only raw text
// written) is vetted, scoped and cannot hold "</". Whatever tree a browser builds from that, it
// can hold nothing the output does not spell, so where the tokenizer and a browser read a broken
// page differently, what is shown may differ but nothing can run. End tags are written only for
// elements this sanitizer opened, and every element it opened is closed, so nothing in the page
// can close the message's container. Memory is the output plus the largest single tag or style
// sheet.

enum TagFlags : unsigned {
    kKeepTag = 1u << 0,
    kDropTag = 1u << 1,    // with everything inside
    kVoidTag = 1u << 2,    // no content, no end tag
    kRawTextTag = 1u << 3, // content is text up to the matching end tag
    kRcDataTag = 1u << 4,  // the same, with character references
    kClosesP = 1u << 5,    // a start tag of it ends an open paragraph
    kHeadingTag = 1u << 6, // h1 to h6
    kBoundary = 1u << 7,   // end tags do not reach past it (tables and their cells)
    kSpecialTag = 1u << 8, // a block a stray formatting end tag does not break up
    kHeadTag = 1u << 9,    // allowed before the body without starting it
    kFormattingTag = 1u << 10,
};

struct TagInfo {
    std::string_view name;
    unsigned flags;
};

constexpr unsigned K = kKeepTag, D = kDropTag, V = kVoidTag, P = kClosesP, S = kSpecialTag, B = kBoundary,
                   F = kFormattingTag, Hd = kHeadTag;

// Index 0 is the unknown element: unwrapped (its content stays, the tag goes).
constexpr TagInfo kTags[] = {
    {"", 0},
    {"a", K | F},
    {"abbr", K},
    {"acronym", K},
    {"address", K | P | S},
    {"area", K | V | S},
    {"article", K | P | S},
    {"aside", K | P | S},
    {"b", K | F},
    {"bdi", K},
    {"bdo", K},
    {"big", K | F},
    {"blockquote", K | P | S},
    {"br", K | V | S},
    {"caption", K | S | B},
    {"center", K | P | S},
    {"cite", K},
    {"code", K | F},
    {"col", K | V | S},
    {"colgroup", K | S},
    {"dd", K | P | S},
    {"del", K},
    {"details", K | P | S},
    {"dfn", K},
    {"dir", K | P | S},
    {"div", K | P | S},
    {"dl", K | P | S},
    {"dt", K | P | S},
    {"em", K | F},
    {"fieldset", K | P | S},
    {"figcaption", K | P | S},
    {"figure", K | P | S},
    {"font", K | F},
    {"footer", K | P | S},
    {"h1", K | P | S | kHeadingTag},
    {"h2", K | P | S | kHeadingTag},
    {"h3", K | P | S | kHeadingTag},
    {"h4", K | P | S | kHeadingTag},
    {"h5", K | P | S | kHeadingTag},
    {"h6", K | P | S | kHeadingTag},
    {"header", K | P | S},
    {"hgroup", K | P | S},
    {"hr", K | V | P | S},
    {"i", K | F},
    {"img", K | V | S},
    {"ins", K},
    {"kbd", K},
    {"label", K},
    {"legend", K},
    {"li", K | P | S},
    {"main", K | P | S},
    {"map", K},
    {"mark", K},
    {"menu", K | P | S},
    {"nav", K | P | S},
    {"nobr", K | F},
    {"ol", K | P | S},
    {"p", K | P | S},
    {"pre", K | P | S},
    {"q", K},
    {"rp", K},
    {"rt", K},
    {"ruby", K},
    {"s", K | F},
    {"samp", K},
    {"section", K | P | S},
    {"small", K | F},
    {"span", K},
    {"strike", K | F},
    {"strong", K | F},
    {"sub", K},
    {"summary", K | P | S},
    {"sup", K},
    {"table", K | S | B},
    {"tbody", K | S},
    {"td", K | S | B},
    {"tfoot", K | S},
    {"th", K | S | B},
    {"thead", K | S},
    {"time", K},
    {"tr", K | S},
    {"tt", K | F},
    {"u", K | F},
    {"ul", K | P | S},
    {"var", K},
    {"wbr", K | V | S},
    // Dropped with their content; the void ones have none.
    {"script", D | kRawTextTag | Hd},
    {"noscript", D | kRawTextTag | Hd},
    {"iframe", D | kRawTextTag},
    {"noembed", D | kRawTextTag},
    {"noframes", D | kRawTextTag},
    {"textarea", D | kRcDataTag},
    {"title", D | kRcDataTag | Hd},
    {"style", kRawTextTag | Hd},
    {"xmp", kRawTextTag | P},
    {"plaintext", P},
    {"frame", D | V},
    {"frameset", D},
    {"object", D},
    {"embed", D | V},
    {"applet", D},
    {"param", D | V},
    {"template", D | Hd},
    {"svg", D},
    {"math", D},
    {"input", D | V},
    {"select", D},
    {"keygen", D | V},
    {"isindex", D | V},
    {"base", D | V | Hd},
    {"meta", D | V | Hd},
    {"link", D | V | Hd},
    {"bgsound", D | V | Hd},
    {"audio", D},
    {"video", D},
    {"source", D | V},
    {"track", D | V},
    {"canvas", D},
    {"dialog", D},
    {"portal", D},
    {"datalist", D},
    {"output", D},
    // Structure: never written as such.
    {"html", Hd},
    {"head", Hd},
    {"body", Hd},
    {"image", 0}, // read as img, as browsers do
};

constexpr std::size_t kTagCount = sizeof kTags / sizeof kTags[0];

constexpr std::size_t tagIndex(std::string_view name) {
    for (std::size_t i = 1; i < kTagCount; ++i)
        if (kTags[i].name == name)
            return i;
    return 0;
}

constexpr std::size_t kTagA = tagIndex("a"), kTagBody = tagIndex("body"), kTagBr = tagIndex("br"),
                      kTagDd = tagIndex("dd"), kTagDt = tagIndex("dt"), kTagImage = tagIndex("image"),
                      kTagImg = tagIndex("img"), kTagLi = tagIndex("li"), kTagNobr = tagIndex("nobr"),
                      kTagP = tagIndex("p"), kTagPlaintext = tagIndex("plaintext"),
                      kTagStyle = tagIndex("style"), kTagTable = tagIndex("table"), kTagTd = tagIndex("td"),
                      kTagTh = tagIndex("th"), kTagTr = tagIndex("tr"), kTagTbody = tagIndex("tbody"),
                      kTagThead = tagIndex("thead"), kTagTfoot = tagIndex("tfoot"),
                      kTagTitle = tagIndex("title"), kTagUl = tagIndex("ul"), kTagOl = tagIndex("ol"),
                      kTagDl = tagIndex("dl"), kTagMenu = tagIndex("menu"), kTagDir = tagIndex("dir");
constexpr std::size_t kTagCaption = tagIndex("caption"), kTagColgroup = tagIndex("colgroup"),
                      kTagCol = tagIndex("col");
static_assert(kTagDir != 0 && kTagImage != 0 && kTagTitle != 0);

std::uint32_t nameHash(std::string_view s) {
    std::uint32_t h = 2166136261u;
    for (char c : s)
        h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
    return h;
}

// Names of up to eight bytes as one word, letters in lower case. Setting bit 5 of every byte also
// folds a few control characters onto digits; such a name can only come out as one of the listed
// names, never let anything else through.
using ShortKey = std::uint64_t;

ShortKey shortKey(std::string_view name) {
    ShortKey key = 0;
    for (std::size_t i = 0; i < name.size() && i < 8; ++i) // in registers: no store to reload
        key |= static_cast<ShortKey>(static_cast<unsigned char>(name[i]) | 0x20) << (8 * i);
    return key;
}

// Open addressing over a fixed list of names: a lookup is one hash and a compare or two, which
// matters at a few hundred thousand tags a second.
template <std::size_t Size> class NameTable {
public:
    template <typename Names> explicit NameTable(const Names& names) {
        std::size_t index = 0;
        for (std::string_view name : names) {
            names_.push_back(name);
            ++index;
            if (name.empty())
                continue;
            if (name.size() <= 8) {
                const std::uint64_t key = shortKey(name);
                std::size_t h = shortHash(key);
                while (shortSlots_[h].index)
                    h = (h + 1) & (kShortSlots - 1);
                shortSlots_[h] = {key, static_cast<std::uint16_t>(index)};
                continue;
            }
            std::uint32_t h = nameHash(name) & (Size - 1);
            while (slots_[h].index)
                h = (h + 1) & (Size - 1);
            slots_[h] = {name, static_cast<std::uint16_t>(index)};
        }
    }
    // 1-based position in the list of `name` in any case, 0 when absent.
    std::size_t find(std::string_view name) const { return find(name, shortKey(name)); }
    // The same with the key of a name of up to eight bytes made by the caller.
    std::size_t find(std::string_view name, std::uint64_t key) const {
        if (name.size() <= 8) {
            for (std::size_t h = shortHash(key); shortSlots_[h].index; h = (h + 1) & (kShortSlots - 1))
                if (shortSlots_[h].key == key)
                    return shortSlots_[h].index;
            return 0;
        }
        std::uint32_t h = 2166136261u;
        for (char c : name)
            h = (h ^ static_cast<unsigned char>(lowerAscii(c))) * 16777619u;
        h &= Size - 1;
        while (slots_[h].index) {
            if (sameNoCase(slots_[h].name, name))
                return slots_[h].index;
            h = (h + 1) & (Size - 1);
        }
        return 0;
    }
    std::string_view name(std::size_t index) const { return names_[index - 1]; }

private:
    struct Slot {
        std::string_view name;
        std::uint16_t index = 0;
    };

    static std::size_t shortHash(std::uint64_t key) {
        return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> 56) & (kShortSlots - 1);
    }
    struct ShortSlot {
        std::uint64_t key = 0;
        std::uint16_t index = 0;
    };
    static constexpr std::size_t kShortSlots = 256;
    ShortSlot shortSlots_[kShortSlots];

    static bool sameNoCase(std::string_view lower, std::string_view raw) {
        if (lower.size() != raw.size())
            return false;
        for (std::size_t i = 0; i < raw.size(); ++i)
            if (lower[i] != lowerAscii(raw[i]))
                return false;
        return true;
    }
    Slot slots_[Size];
    std::vector<std::string_view> names_;
};

std::size_t lookupTag(std::string_view name, ShortKey key) {
    static const NameTable<512> table([] {
        std::vector<std::string_view> names;
        for (const TagInfo& t : kTags)
            names.push_back(t.name);
        return names;
    }());
    const std::size_t found = table.find(name, key);
    return found ? found - 1 : 0;
}

// The allowed attribute's name in lower case (empty when it is not allowed) and its place in the
// list, from 1.
std::string_view allowedAttribute(std::string_view raw, ShortKey key, std::size_t& place) {
    static const NameTable<256> table(kAttributeNames);
    place = table.find(raw, key);
    return place ? table.name(place) : std::string_view();
}

// ---- character references ----

struct Entity {
    std::string_view name;
    std::string_view text;
};

constexpr Entity kEntities[] = {
#include "HtmlEntities.inc"
};

const Entity* findEntity(std::string_view name) {
    const Entity* end = kEntities + sizeof kEntities / sizeof kEntities[0];
    const Entity* at = std::lower_bound(kEntities, end, name,
                                        [](const Entity& e, std::string_view n) { return e.name < n; });
    return at != end && at->name == name ? at : nullptr;
}

// What a browser makes of a numeric reference: the C1 controls as their Windows-1252 characters,
// NUL, surrogates and values past Unicode as U+FFFD.
char32_t numericReference(char32_t v) {
    static constexpr char16_t kC1[32] = {0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                         0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x8D,   0x017D, 0x8F,
                                         0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                         0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};
    if (v == 0 || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF))
        return 0xFFFD;
    if (v >= 0x80 && v <= 0x9F)
        return kC1[v - 0x80];
    return v;
}

bool asciiAlnum(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// Decodes the reference at s[i] == '&' into `out`; returns the characters consumed, 0 when there
// is none (the '&' is then literal). In an attribute value a legacy name without ';' followed by
// '=' or a letter or digit is literal, as browsers read it.
std::size_t decodeReference(std::string_view s, std::size_t i, bool inAttribute, std::string& out) {
    std::size_t j = i + 1;
    if (j < s.size() && s[j] == '#') {
        ++j;
        const bool hex = j < s.size() && (s[j] == 'x' || s[j] == 'X');
        if (hex)
            ++j;
        const std::size_t digits = j;
        char32_t v = 0;
        for (; j < s.size(); ++j) {
            int d = hex ? hexValue(static_cast<unsigned char>(s[j]))
                        : (s[j] >= '0' && s[j] <= '9' ? s[j] - '0' : -1);
            if (d < 0)
                break;
            v = std::min<char32_t>(v * (hex ? 16 : 10) + static_cast<char32_t>(d), 0x110000);
        }
        if (j == digits)
            return 0;
        if (j < s.size() && s[j] == ';')
            ++j;
        web::appendUtf8(out, numericReference(v));
        return j - i;
    }
    std::size_t end = j;
    while (end < s.size() && end - j < 32 && asciiAlnum(s[end]))
        ++end;
    if (end == j)
        return 0;
    if (end < s.size() && s[end] == ';') {
        if (const Entity* e = findEntity(s.substr(j, end + 1 - j))) {
            out += e->text;
            return end + 1 - i;
        }
    }
    // The legacy names (six letters at most) are read without ';', the longest first.
    for (std::size_t len = std::min<std::size_t>(end - j, 6); len >= 2; --len) {
        const Entity* e = findEntity(s.substr(j, len));
        if (!e)
            continue;
        const std::size_t after = j + len;
        if (inAttribute && after < s.size() && (s[after] == '=' || asciiAlnum(s[after])))
            return 0;
        out += e->text;
        return after - i;
    }
    return 0;
}

// ---- scanning and escaping ----

enum class Escape { kText, kAttribute, kNulOnly };

// `s` is valid UTF-8; NUL becomes U+FFFD, as a browser shows it. Runs without anything to escape,
// most of a page, are copied whole.
template <typename Sink> void escapeInto(Sink& out, std::string_view s, Escape mode) {
    std::size_t start = 0;
    for (;;) {
        const std::size_t i = mode == Escape::kText        ? findAny<'&', '<', '>', '\0'>(s, start)
                              : mode == Escape::kAttribute ? findAny<'&', '<', '>', '\0', '"'>(s, start)
                                                           : findAny<'\0'>(s, start);
        out += s.substr(start, i - start);
        if (i == s.size())
            return;
        switch (s[i]) {
        case '&':
            out += std::string_view("&amp;");
            break;
        case '<':
            out += std::string_view("&lt;");
            break;
        case '>':
            out += std::string_view("&gt;");
            break;
        case '"':
            out += std::string_view("&quot;");
            break;
        default:
            out += std::string_view("\xEF\xBF\xBD");
        }
        start = i + 1;
    }
}

template <typename Sink> void escapeText(Sink& out, std::string_view s) {
    escapeInto(out, s, Escape::kText);
}
template <typename Sink> void escapeAttribute(Sink& out, std::string_view s) {
    escapeInto(out, s, Escape::kAttribute);
}

// The sanitizer's output: appends without the checks of a general string. Room for the whole
// result is reserved up front, which costs address space only; memory is taken in steps as the
// output reaches it, so a result smaller than the page never costs more than itself.
//
// It can also be written over the page being read (writeOver): the result of a part of a page is
// about as long as that part, so it fits in what was read already, and a page then costs no
// second buffer of its size. The reader says how far it has read (readTo); a piece of the page
// itself is moved down over what was read before it, anything else is written only below the
// reading point. Where a write would overtake the reading, the result is moved to a buffer of its
// own first and goes on there.
class Output {
public:
    void reserve(std::size_t n) {
        if (limit_)
            return; // room comes with the page
        const std::size_t size = this->size();
        buffer_->reserve(n);
        at_ = buffer_->data() + size;
        end_ = buffer_->data() + buffer_->size();
    }
    void writeOver(std::string& page, std::string_view input) {
        buffer_ = &page;
        inputBegin_ = reinterpret_cast<std::uintptr_t>(input.data());
        inputEnd_ = inputBegin_ + input.size();
        at_ = page.data();
        end_ = page.data() + page.size();
        limit_ = input.data();
        high_ = at_;
    }
    // Everything of the page before `p` has been read and is not looked at again.
    void readTo(const char* p) {
        if (limit_ && p > limit_)
            limit_ = p;
    }
    // The whole page has been read.
    void readAll() {
        if (limit_)
            limit_ = end_;
    }
    // Whether the page from `p` on is as it was read (nothing was written over it).
    bool intactFrom(const char* p) const { return !high_ || high_ <= p; }

    [[gnu::always_inline]] Output& operator+=(char c) {
        if (limit_ && at_ >= limit_)
            detach();
        if (at_ == end_)
            grow(1);
        *at_++ = c;
        if (limit_ && at_ > high_)
            high_ = at_;
        return *this;
    }
    [[gnu::always_inline]] Output& operator+=(std::string_view s) {
        const std::size_t n = s.size();
        if (limit_) {
            const auto from = reinterpret_cast<std::uintptr_t>(s.data());
            const bool ofPage = from >= inputBegin_ && from < inputEnd_;
            if (ofPage ? at_ <= s.data() : at_ <= limit_ && static_cast<std::size_t>(limit_ - at_) >= n) {
                if (at_ + n > high_)
                    high_ = at_ + n;
                if (ofPage && s.data() < at_ + n) { // a piece of the page moved down over itself
                    std::memmove(at_, s.data(), n);
                    at_ += n;
                    return *this;
                }
            } else {
                detach();
            }
        }
        if (!limit_ && static_cast<std::size_t>(end_ - at_) < n)
            grow(n);
        // Most pieces are names and short runs: copied with two overlapping words, not a call.
        char* to = at_;
        const char* from = s.data();
        if (n > 16) {
            std::memcpy(to, from, n);
        } else if (n >= 8) {
            std::memcpy(to, from, 8);
            std::memcpy(to + n - 8, from + n - 8, 8);
        } else if (n >= 4) {
            std::memcpy(to, from, 4);
            std::memcpy(to + n - 4, from + n - 4, 4);
        } else {
            for (std::size_t i = 0; i < n; ++i)
                to[i] = from[i];
        }
        at_ = to + n;
        return *this;
    }
    std::size_t size() const { return static_cast<std::size_t>(at_ - buffer_->data()); }
    // What was written from `start` on; valid until the next write.
    std::string_view since(std::size_t start) const {
        return std::string_view(buffer_->data() + start, size() - start);
    }
    void truncate(std::size_t size) { at_ = buffer_->data() + std::min(this->size(), size); }
    void insertFront(std::string_view s) {
        *this += s; // room
        char* data = buffer_->data();
        std::memmove(data + s.size(), data, size() - s.size());
        std::memcpy(data, s.data(), s.size());
    }
    std::string take() {
        const std::size_t size = this->size();
        buffer_->resize(size);
        // A page that gave a much shorter result does not stay allocated for it.
        if (limit_ && size < buffer_->capacity() / 2)
            buffer_->shrink_to_fit();
        at_ = end_ = nullptr;
        limit_ = nullptr;
        return std::move(*buffer_);
    }

private:
    static constexpr std::size_t kStep = 64 * 1024;
    [[gnu::noinline]] void grow(std::size_t n) {
        if (limit_)
            detach();
        const std::size_t size = this->size();
        const std::size_t needed = size + n;
        if (needed > buffer_->capacity())
            buffer_->reserve(std::max(needed, buffer_->capacity() + buffer_->capacity() / 2));
        buffer_->resize(std::min(buffer_->capacity(), std::max(needed, size + kStep)));
        at_ = buffer_->data() + size;
        end_ = buffer_->data() + buffer_->size();
    }
    // Moves what was written over the page to a buffer of its own, with room for the result of
    // what is left to read.
    [[gnu::noinline]] void detach() {
        const std::size_t size = this->size();
        const std::size_t left = inputEnd_ - std::min(inputEnd_, reinterpret_cast<std::uintptr_t>(limit_));
        own_.reserve(size + left + left / 2 + 4096);
        own_.assign(buffer_->data(), size);
        buffer_ = &own_;
        at_ = own_.data() + size;
        end_ = own_.data() + own_.size();
        limit_ = nullptr;
    }

    std::string own_;
    std::string* buffer_ = &own_;
    // The next byte to write and the end of the room made for writing, in *buffer_.
    char* at_ = own_.data();
    char* end_ = at_;
    // Writing over the page: the part being read, how far it was read (null when not writing
    // over it) and the furthest byte written.
    std::uintptr_t inputBegin_ = 0, inputEnd_ = 0;
    const char* limit_ = nullptr;
    char* high_ = nullptr;
};

bool isHtmlSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// Position of the end tag "</name" (any case, followed by a space, '/' or '>') from `from`, or npos.
std::size_t findEndTag(std::string_view s, std::size_t from, std::string_view name) {
    for (std::size_t at = s.find("</", from); at != std::string_view::npos; at = s.find("</", at + 2)) {
        const std::size_t after = at + 2 + name.size();
        if (after >= s.size())
            return std::string_view::npos;
        bool same = true;
        for (std::size_t i = 0; i < name.size() && same; ++i)
            same = lowerAscii(s[at + 2 + i]) == name[i];
        if (same && (isHtmlSpace(s[after]) || s[after] == '/' || s[after] == '>'))
            return at;
    }
    return std::string_view::npos;
}

// What the writer puts out for each element and allowed attribute: "<p", "</p>", ' title="'.
struct WrittenNames {
    std::string open[kTagCount], close[kTagCount];
    std::string attribute[sizeof kAttributeNames / sizeof kAttributeNames[0]];
    WrittenNames() {
        for (std::size_t i = 0; i < kTagCount; ++i) {
            open[i] = "<" + std::string(kTags[i].name);
            close[i] = "</" + std::string(kTags[i].name) + ">";
        }
        for (std::size_t i = 0; i < sizeof kAttributeNames / sizeof kAttributeNames[0]; ++i)
            attribute[i] = " " + std::string(kAttributeNames[i]) + "=\"";
    }
};

// The start tags before which a browser may end open elements by itself (see impliedEnds).
struct ImpliedEnds {
    bool any[kTagCount] = {};
    constexpr ImpliedEnds() {
        for (std::size_t i = 0; i < kTagCount; ++i)
            any[i] = (kTags[i].flags & (kClosesP | kHeadingTag)) != 0;
        for (std::size_t i : {kTagTd, kTagTh, kTagTr, kTagTbody, kTagThead, kTagTfoot, kTagCaption,
                              kTagColgroup, kTagCol, kTagTable, kTagLi, kTagDd, kTagDt, kTagA, kTagNobr})
            any[i] = true;
    }
};
constexpr ImpliedEnds kImpliesEnds;

// Where the sanitizer lets an element stand (see fitsHere): the kind of table structure each
// element is (0 for none), and for each element the kinds of parent it may be written in, a bit
// each.
struct Placing {
    std::uint8_t structure[kTagCount] = {};
    std::uint8_t fits[kTagCount] = {};
    constexpr Placing() {
        enum : std::uint8_t { kNone, kTable, kSection, kRow, kColumns };
        structure[kTagTable] = kTable;
        structure[kTagTbody] = structure[kTagThead] = structure[kTagTfoot] = kSection;
        structure[kTagTr] = kRow;
        structure[kTagColgroup] = kColumns;
        for (std::size_t i = 0; i < kTagCount; ++i)
            fits[i] = 1u << kNone;
        fits[kTagTd] = fits[kTagTh] = (1u << kRow) | (1u << kSection) | (1u << kTable);
        fits[kTagTr] = (1u << kSection) | (1u << kTable);
        fits[kTagCol] = (1u << kTable) | (1u << kColumns);
        for (std::size_t i : {kTagTbody, kTagThead, kTagTfoot, kTagCaption, kTagColgroup})
            fits[i] = 1u << kTable;
    }
};
constexpr Placing kPlacing;

const WrittenNames& writtenNames() {
    static const WrittenNames names;
    return names;
}

// The start tags a page repeats, with what was written for each: pages from mail programs and
// from the web task say the same "<font size=2 face=Arial>" thousands of times, and what is
// written for a tag (its own text, without the end tags a browser implies before it) depends on
// nothing but its bytes. A tag is found again by its bytes up to its first '>'.
class TagMemo {
public:
    struct Entry {
        std::uint16_t length = 0; // of the tag, 0 for an empty slot
        std::uint16_t written = 0;
        std::uint16_t index = 0;
        char raw[96];
        char text[160];
    };
    static constexpr std::size_t kMaxLength = sizeof Entry::raw;

    // `p` has at least eight bytes from where it points, `n` of them the tag's.
    static std::uint64_t hash(const char* p, std::size_t n) {
        constexpr std::uint64_t k = 0x9E3779B97F4A7C15ull;
        std::uint64_t h = n * k;
        std::size_t i = 0;
        for (; i + 8 <= n; i += 8) {
            std::uint64_t w;
            std::memcpy(&w, p + i, 8);
            h = (h ^ w) * k;
        }
        std::uint64_t tail;
        if (n >= 8) {
            std::memcpy(&tail, p + n - 8, 8);
        } else {
            std::memcpy(&tail, p, 8);
            tail &= (std::uint64_t(1) << (8 * n)) - 1;
        }
        return ((h ^ tail) * k) >> 58;
    }

    // The entry of the tag `p[0, n)`, or null.
    const Entry* find(const char* p, std::size_t n, std::uint64_t h) const {
        if (!slots_)
            return nullptr;
        const Entry& e = slots_[h];
        return e.length == n && std::memcmp(e.raw, p, n) == 0 ? &e : nullptr;
    }

    void keep(std::string_view raw, std::string_view text, std::size_t index, std::uint64_t h) {
        if (raw.size() > kMaxLength || text.size() > sizeof Entry::text)
            return;
        if (!slots_)
            slots_ = std::make_unique<Entry[]>(kSlots);
        Entry& e = slots_[h];
        e.length = static_cast<std::uint16_t>(raw.size());
        e.written = static_cast<std::uint16_t>(text.size());
        e.index = static_cast<std::uint16_t>(index);
        std::memcpy(e.raw, raw.data(), raw.size());
        std::memcpy(e.text, text.data(), text.size());
    }

private:
    static constexpr std::size_t kSlots = 64;
    std::unique_ptr<Entry[]> slots_;
};

class Sanitizer {
public:
    // `over`: the text that holds `page`, to write the result over it.
    Sanitizer(std::string_view page, bool fullDocument, bool allowRemote, std::string* over = nullptr)
        : s_(page), full_(fullDocument), allowRemote_(allowRemote) {
        if (over)
            out_.writeOver(*over, page);
        // The result is about the page's size; room for it up front spares the copies of growing.
        out_.reserve(page.size() + page.size() / 2 + 4096);
        if (full_)
            out_ += "<html><head>";
    }

    std::string run() {
        const std::size_t n = s_.size();
        while (pos_ < n) {
            out_.readTo(s_.data() + pos_);
            if (plaintext_) {
                text(s_.substr(pos_), false); // plaintext: no references either
                break;
            }
            if (bodyStarted_ && !skipDepth_) {
                bodyText();
                continue;
            }
            const std::size_t at = findAny<'<'>(s_, pos_);
            if (at > pos_)
                text(s_.substr(pos_, at - pos_), true);
            pos_ = at;
            out_.readTo(s_.data() + at);
            if (at < n)
                markup();
        }
        return finish();
    }

private:
    struct Attribute {
        std::string_view name; // lower case when allowed, else empty
        std::size_t place = 0; // in the list of allowed names, from 1
        std::string_view raw;  // the value as written
        bool decoded = false;  // the value is in `buffer`
        bool plain = false;    // the value needs neither decoding nor escaping
        std::string buffer;
        std::string_view value() const { return decoded ? std::string_view(buffer) : raw; }
    };

    // ---- tokenizer ----

    void markup() {
        const std::size_t n = s_.size();
        if (pos_ + 1 >= n) {
            text("<", false);
            pos_ = n;
            return;
        }
        const char c = s_[pos_ + 1];
        if (c == '!') {
            if (s_.compare(pos_ + 2, 2, "--") == 0)
                return comment();
            return bogusComment(pos_ + 2);
        }
        if (c == '?')
            return bogusComment(pos_ + 1);
        if (c == '/') {
            if (pos_ + 2 >= n) {
                text("</", false);
                pos_ = n;
            } else if (asciiLetter(s_[pos_ + 2])) {
                tag(pos_ + 2, true);
            } else if (s_[pos_ + 2] == '>') {
                pos_ += 3;
            } else {
                bogusComment(pos_ + 2);
            }
            return;
        }
        if (asciiLetter(c)) {
            if (bodyStarted_ && !skipDepth_ && writeRemembered())
                return;
            return tag(pos_ + 1, false);
        }
        text("<", false);
        ++pos_;
    }

    void comment() {
        const std::size_t start = pos_ + 4;
        // "<!-->" and "<!--->" are whole comments.
        if (s_.compare(start, 1, ">") == 0) {
            pos_ = start + 1;
            return;
        }
        if (s_.compare(start, 2, "->") == 0) {
            pos_ = start + 2;
            return;
        }
        for (std::size_t at = s_.find("--", start); at != std::string_view::npos;
             at = s_.find("--", at + 1)) {
            if (s_.compare(at + 2, 1, ">") == 0) {
                pos_ = at + 3;
                return;
            }
            if (s_.compare(at + 2, 2, "!>") == 0) {
                pos_ = at + 4;
                return;
            }
        }
        pos_ = s_.size();
    }

    void bogusComment(std::size_t from) {
        const std::size_t gt = s_.find('>', from);
        pos_ = gt == std::string_view::npos ? s_.size() : gt + 1;
    }

    // What becomes of a tag's attributes as they are read.
    enum class Attributes : std::uint8_t {
        kDiscard, // the tag is not written
        kCollect, // kept in attributes_ for the writer
        kDirect,  // written straight out: the tag is being written already
    };

    // A start tag in the body at pos_ that was read before is written as it was then; returns
    // whether it was. Leaves where the tag's first '>' is and its memo slot for tag().
    bool writeRemembered() {
        const std::size_t n = s_.size();
        firstClose_ = findAny<'>'>(s_, pos_ + 1);
        memoSlot_ = 0;
        const std::size_t length = firstClose_ + 1 - pos_;
        if (firstClose_ >= n || length > TagMemo::kMaxLength || pos_ + 8 > n)
            return false;
        memoSlot_ = TagMemo::hash(s_.data() + pos_, length);
        const TagMemo::Entry* e = memo_.find(s_.data() + pos_, length, memoSlot_);
        if (!e)
            return false;
        impliedEnds(e->index);
        if (open_.size() < kMaxDepth && fitsHere(e->index)) {
            out_ += std::string_view(e->text, e->written);
            if (!(kTags[e->index].flags & kVoidTag))
                open_.push_back(static_cast<std::uint8_t>(e->index));
        }
        pos_ = firstClose_ + 1;
        return true;
    }

    // A start or end tag whose name starts at `at`. A tag cut off by the end of the page is dropped.
    void tag(std::size_t at, bool end) {
        const std::size_t n = s_.size();
        const bool direct = !end && bodyStarted_ && !skipDepth_;
        const std::size_t tagStart = pos_;
        // Where writeRemembered found the tag's first '>' and its memo slot.
        const std::size_t firstClose = direct ? firstClose_ : n;
        const std::uint64_t memoSlot = memoSlot_;
        const std::size_t nameStart = at;
        ShortKey key = 0;
        at = nameEnd<' ', '\t', '\n', '\r', '\f', '/', '>'>(nameStart, nameStart, key);
        const std::size_t nameLength = at - nameStart;
        // Past a few hundred bytes no element name is one of ours.
        std::size_t index = nameLength <= 16 ? lookupTag(s_.substr(nameStart, nameLength), key) : 0;
        if (index == kTagImage)
            index = kTagImg;
        // A kept element inside the body, most tags of a page, is written as it is read: what a
        // browser ends before it does not depend on its attributes, and had the page ended
        // inside the tag, the end of the result would close the same elements anyway.
        Attributes mode = Attributes::kDiscard;
        bool writing = false;
        std::size_t mark = 0;
        if (direct && (kTags[index].flags & kKeepTag)) {
            mode = Attributes::kDirect;
            impliedEnds(index);
            writing = open_.size() < kMaxDepth && fitsHere(index);
            mark = out_.size();
            if (writing)
                out_ += texts_.open[index];
        } else if (!end && (index == kTagBody || (kTags[index].flags & kKeepTag))) {
            mode = Attributes::kCollect;
        }
        attributeCount_ = 0;
        seen_ = 0;
        bool selfClosing = false;
        for (;;) {
            while (at < n && (isHtmlSpace(s_[at]) || s_[at] == '/')) {
                selfClosing = s_[at] == '/';
                ++at;
            }
            if (at >= n)
                break;
            if (s_[at] == '>')
                break;
            selfClosing = false;
            at = attribute(at, mode == Attributes::kDirect && !writing ? Attributes::kDiscard : mode, index);
            if (at >= n)
                break;
        }
        if (at >= n) {
            out_.truncate(writing ? mark : out_.size());
            pos_ = n;
            return;
        }
        pos_ = at + 1;
        if (mode == Attributes::kDirect) {
            if (writing) {
                out_ += '>';
                if (!(kTags[index].flags & kVoidTag))
                    open_.push_back(static_cast<std::uint8_t>(index));
                if (at == firstClose && out_.intactFrom(s_.data() + tagStart))
                    memo_.keep(s_.substr(tagStart, at + 1 - tagStart), out_.since(mark), index, memoSlot);
            }
            return;
        }
        if (end)
            endTag(index);
        else
            startTag(index, selfClosing);
    }

    // End of a name that starts at `start`: the first of `Cs` from `from` on. `key` gets the name's
    // short key when it has eight bytes or fewer. Tag and attribute names are short, so one
    // sixteen-byte compare usually finds the end and gives the key.
    template <char... Cs> std::size_t nameEnd(std::size_t start, std::size_t from, ShortKey& key) const {
        const std::size_t n = s_.size();
        std::size_t at = from;
#if defined(__SSE2__)
        if (start + 16 <= n) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s_.data() + start));
            __m128i hit = _mm_setzero_si128();
            ((hit = _mm_or_si128(hit, _mm_cmpeq_epi8(v, _mm_set1_epi8(Cs)))), ...);
            const unsigned mask =
                static_cast<unsigned>(_mm_movemask_epi8(hit)) & ~((1u << (from - start)) - 1u);
            if (mask) {
                const auto length = static_cast<std::size_t>(__builtin_ctz(mask));
                if (length <= 8) {
                    std::uint64_t word;
                    std::memcpy(&word, s_.data() + start, 8);
                    word |= 0x2020202020202020ull;
                    key = length == 8 ? word : word & ((std::uint64_t(1) << (8 * length)) - 1);
                }
                return start + length;
            }
            at = start + 16;
        }
#endif
        while (at < n && !((s_[at] == Cs) || ...))
            ++at;
        key = shortKey(s_.substr(start, at - start));
        return at;
    }

    // One attribute from `at` (not a space, '/' or '>') of the element `index`; returns where the
    // next one may start.
    std::size_t attribute(std::size_t at, Attributes mode, std::size_t index) {
        const std::size_t n = s_.size();
        Attribute* target = &direct_;
        if (mode == Attributes::kCollect) {
            if (attributeCount_ == attributes_.size())
                attributes_.emplace_back();
            target = &attributes_[attributeCount_++];
        }
        Attribute& a = *target;
        a.decoded = false;
        a.plain = false;
        a.raw = {};
        // A leading '=' belongs to the name.
        const std::size_t nameStart = at;
        ShortKey key = 0;
        at = nameEnd<' ', '\t', '\n', '\r', '\f', '/', '>', '='>(nameStart, at + 1, key);
        if (mode == Attributes::kDiscard) {
            a.name = {};
            a.place = 0;
        } else {
            a.name = allowedAttribute(s_.substr(nameStart, at - nameStart), key, a.place);
        }
        std::size_t k = at;
        while (k < n && isHtmlSpace(s_[k]))
            ++k;
        if (k >= n || s_[k] != '=') {
            if (mode == Attributes::kDirect)
                writeAttribute(index, a);
            return k;
        }
        ++k;
        while (k < n && isHtmlSpace(s_[k]))
            ++k;
        if (k >= n)
            return k;
        std::size_t next;
        if (s_[k] == '"' || s_[k] == '\'') {
            const char quote = s_[k];
            // The value of an allowed attribute is usually plain: its end is then also the first
            // byte that needs care.
            std::size_t close = a.name.empty() ? k + 1
                                : quote == '"' ? findAny<'"', '&', '\0', '<', '>'>(s_, k + 1)
                                               : findAny<'\'', '&', '\0', '<', '>', '"'>(s_, k + 1);
            const bool plain = close < n && s_[close] == quote && !a.name.empty();
            if (!plain)
                close = s_.find(quote, close);
            if (close == std::string_view::npos || close >= n)
                return n;
            if (plain) {
                a.raw = s_.substr(k + 1, close - k - 1);
                a.plain = true;
            } else {
                attributeValue(s_.substr(k + 1, close - k - 1), a);
            }
            next = close + 1;
        } else if (s_[k] == '>') {
            next = k;
        } else {
            std::size_t e = k;
            while (e < n && !isHtmlSpace(s_[e]) && s_[e] != '>')
                ++e;
            attributeValue(s_.substr(k, e - k), a);
            next = e;
        }
        if (mode == Attributes::kDirect)
            writeAttribute(index, a);
        return next;
    }

    // Only the values of allowed attributes are decoded, and only those with a reference or NUL
    // are copied.
    static void attributeValue(std::string_view raw, Attribute& a) {
        a.raw = raw;
        if (a.name.empty())
            return;
        bool plain = true;
        for (char c : raw)
            plain &= c != '&' && c != '\0';
        if (plain)
            return;
        a.decoded = true;
        std::string& out = a.buffer;
        out.clear();
        std::size_t start = 0;
        for (std::size_t i = 0; i < raw.size(); ++i) {
            if (raw[i] != '&' && raw[i] != '\0')
                continue;
            out.append(raw.data() + start, i - start);
            if (raw[i] == '\0') {
                out += "\xEF\xBF\xBD";
                start = i + 1;
                continue;
            }
            const std::size_t used = decodeReference(raw, i, true, out);
            if (!used) {
                out += '&';
                start = i + 1;
                continue;
            }
            i += used - 1;
            start = i + 1;
        }
        out.append(raw.data() + start, raw.size() - start);
    }

    // Text inside the body, up to the next markup: safe runs are copied whole, and each byte that
    // needs care is dealt with where it stands (the page is read once, not once per concern).
    void bodyText() {
        const std::size_t n = s_.size();
        for (;;) {
            const std::size_t at = findAny<'<', '&', '>', '\0'>(s_, pos_);
            out_ += s_.substr(pos_, at - pos_);
            pos_ = at;
            if (at == n)
                return;
            out_.readTo(s_.data() + at);
            switch (s_[at]) {
            case '<':
                markup();
                return;
            case '&': {
                scratch_.clear();
                // A reference never reaches past the text: '<' ends every form of it.
                const std::size_t used = decodeReference(s_, at, false, scratch_);
                if (!used) {
                    out_ += "&amp;";
                    ++pos_;
                } else {
                    escapeText(out_, scratch_);
                    pos_ += used;
                }
                break;
            }
            case '>':
                out_ += "&gt;";
                ++pos_;
                break;
            default:
                out_ += "\xEF\xBF\xBD";
                ++pos_;
            }
        }
    }

    // Text of the page: character references decoded (`references`) and everything re-escaped.
    void text(std::string_view t, bool references) {
        if (skipDepth_)
            return;
        if (!bodyStarted_) {
            const std::size_t first = t.find_first_not_of(" \t\r\n\f");
            if (first == std::string_view::npos)
                return;
            startBody(nullptr);
        }
        writeText(t, references);
    }

    void writeText(std::string_view t, bool references) {
        if (!references || t.find('&') == std::string_view::npos) {
            escapeText(out_, t);
            return;
        }
        scratch_.clear();
        std::size_t start = 0;
        for (std::size_t i = t.find('&'); i != std::string_view::npos; i = t.find('&', start)) {
            escapeText(out_, t.substr(start, i - start));
            const std::size_t used = decodeReference(t, i, false, scratch_);
            if (!used) {
                out_ += "&amp;";
                start = i + 1;
                continue;
            }
            escapeText(out_, scratch_);
            scratch_.clear();
            start = i + used;
        }
        escapeText(out_, t.substr(start));
    }

    // The content of a raw-text or RCDATA element, up to its end tag (left for the tokenizer).
    std::string_view rawContent(std::string_view name) {
        const std::size_t end = findEndTag(s_, pos_, name);
        const std::size_t stop = end == std::string_view::npos ? s_.size() : end;
        std::string_view content = s_.substr(pos_, stop - pos_);
        pos_ = stop;
        return content;
    }

    // ---- tree-free canonical writer ----

    void startTag(std::size_t index, bool selfClosing) {
        const TagInfo& info = kTags[index];
        if (info.flags & (kRawTextTag | kRcDataTag)) {
            std::string_view content = rawContent(info.name);
            if (skipDepth_)
                return;
            if (index == kTagStyle) {
                styleSheet(content);
            } else if (index == kTagTitle) {
                if (full_ && !bodyStarted_ && !titled_) {
                    titled_ = true;
                    out_ += "<title>";
                    writeText(content, true);
                    out_ += "</title>";
                }
            } else if (!(info.flags & kDropTag)) {
                text(content, false); // xmp: its markup is shown as text
            }
            return;
        }
        if (skipDepth_) {
            if (index != 0 && index == skipTag_ && !selfClosing)
                ++skipDepth_;
            if (index == kTagPlaintext)
                pos_ = s_.size();
            return;
        }
        if (info.flags & kDropTag) {
            if (!(info.flags & kVoidTag) && !selfClosing) {
                skipTag_ = index;
                skipDepth_ = 1;
            }
            return;
        }
        if (index == kTagBody) {
            if (!bodyStarted_)
                startBody(&attributes_);
            return;
        }
        if (info.flags & kHeadTag)
            return;
        if (!bodyStarted_)
            startBody(nullptr);
        if (index == kTagPlaintext) {
            closeParagraph();
            plaintext_ = true;
            return;
        }
        if (!(info.flags & kKeepTag))
            return;
        impliedEnds(index);
        if (open_.size() >= kMaxDepth || !fitsHere(index))
            return;
        out_ += texts_.open[index];
        writeAttributes(index);
        out_ += '>';
        if (!(info.flags & kVoidTag))
            open_.push_back(static_cast<std::uint8_t>(index));
    }

    void endTag(std::size_t index) {
        if (skipDepth_) {
            if (index != 0 && index == skipTag_)
                --skipDepth_;
            return;
        }
        if (index == kTagBr) { // as browsers do
            startTag(kTagBr, false);
            return;
        }
        const TagInfo& info = kTags[index];
        if (!(info.flags & kKeepTag) || (info.flags & kVoidTag))
            return;
        // A table part closes through anything; other elements stop at a table or cell, and a
        // stray formatting end tag does not break up a block opened inside it.
        for (std::size_t i = open_.size(); i-- > 0;) {
            const unsigned flags = kTags[open_[i]].flags;
            if (open_[i] == index) {
                closeTo(i);
                return;
            }
            if ((flags & kBoundary) && !(info.flags & kBoundary) && index != kTagTr && index != kTagTbody &&
                index != kTagThead && index != kTagTfoot)
                return;
            if ((info.flags & kFormattingTag) && (flags & kSpecialTag))
                return;
        }
    }

    // Closes the open elements from the top down to and including the one at `depth`.
    void closeTo(std::size_t depth) {
        while (open_.size() > depth) {
            out_ += texts_.close[open_.back()];
            open_.pop_back();
        }
    }

    // The open element of one of `tags` nearest the top, not past an element of `stops`; npos.
    template <std::size_t N, std::size_t M>
    std::size_t findOpen(const std::size_t (&tags)[N], const std::size_t (&stops)[M]) const {
        for (std::size_t i = open_.size(); i-- > 0;) {
            for (std::size_t t : tags)
                if (open_[i] == t)
                    return i;
            for (std::size_t t : stops)
                if (open_[i] == t)
                    return std::string_view::npos;
        }
        return std::string_view::npos;
    }

    void closeParagraph() {
        const std::size_t at = findOpen({kTagP}, {kTagTable, kTagTd, kTagTh, kTagCaption});
        if (at != std::string_view::npos)
            closeTo(at);
    }

    static bool isTablePart(std::size_t index) {
        return index == kTagTd || index == kTagTh || index == kTagTr || index == kTagTbody ||
               index == kTagThead || index == kTagTfoot || index == kTagCaption || index == kTagColgroup ||
               index == kTagCol;
    }

    // Whether the open element on top holds table structure only: a browser moves anything else
    // out of it and, at the next row or cell, closes whatever it moved out.
    bool inTableStructure() const {
        if (open_.empty())
            return false;
        const std::size_t top = open_.back();
        return top == kTagTable || top == kTagTbody || top == kTagThead || top == kTagTfoot ||
               top == kTagTr || top == kTagColgroup;
    }

    // Whether an element may be written where it stands, so that a browser keeps it there. Table
    // parts outside their table and other elements directly inside table structure are unwrapped:
    // a browser would ignore the one and move the other, and the end tags written for them later
    // could then close elements they were not meant to, up to the message's container.
    bool fitsHere(std::size_t index) const {
        const std::size_t top = open_.empty() ? 0 : open_.back();
        return (kPlacing.fits[index] >> kPlacing.structure[top]) & 1;
    }

    // The end tags a browser implies before this start tag, written out.
    void impliedEnds(std::size_t index) {
        if (!kImpliesEnds.any[index]) // inline formatting: nothing to end, the common case
            return;
        if (isTablePart(index) && index != kTagCol && !open_.empty() && open_.back() == kTagColgroup)
            closeTo(open_.size() - 1);
        if (index == kTagTable && inTableStructure()) {
            // A table cannot sit in table structure: the one open ends first.
            const std::size_t at = findOpen({kTagTable}, {kTagTd, kTagTh, kTagCaption});
            if (at != std::string_view::npos)
                closeTo(at);
        }
        const unsigned flags = kTags[index].flags;
        std::size_t at = std::string_view::npos;
        if (index == kTagLi)
            at = findOpen({kTagLi}, {kTagUl, kTagOl, kTagMenu, kTagDir, kTagTable, kTagTd, kTagTh});
        else if (index == kTagDd || index == kTagDt)
            at = findOpen({kTagDd, kTagDt}, {kTagDl, kTagTable, kTagTd, kTagTh});
        else if (index == kTagTd || index == kTagTh)
            at = findOpen({kTagTd, kTagTh}, {kTagTable});
        else if (index == kTagTr)
            at = findOpen({kTagTr}, {kTagTable});
        else if (index == kTagTbody || index == kTagThead || index == kTagTfoot)
            at = findOpen({kTagTbody, kTagThead, kTagTfoot}, {kTagTable});
        else if (index == kTagA || index == kTagNobr)
            at = findOpen({index}, {kTagTable, kTagTd, kTagTh, kTagCaption});
        if (at != std::string_view::npos)
            closeTo(at);
        if (flags & kClosesP)
            closeParagraph();
        if ((flags & kHeadingTag) && !open_.empty() && (kTags[open_.back()].flags & kHeadingTag))
            closeTo(open_.size() - 1);
    }

    void writeAttributes(std::size_t index) {
        seen_ = 0;
        for (std::size_t i = 0; i < attributeCount_; ++i)
            writeAttribute(index, attributes_[i]);
    }

    // One attribute of the element `index` as it is written, if it is allowed there and is the
    // first of its name (as in a browser).
    void writeAttribute(std::size_t index, const Attribute& a) {
        static_assert(sizeof kAttributeNames / sizeof kAttributeNames[0] <= 64);
        if (a.name.empty() || (seen_ >> (a.place - 1)) & 1)
            return;
        seen_ |= std::uint64_t(1) << (a.place - 1);
        std::string_view value = a.value();
        bool plain = a.plain;
        switch (kAttributeKinds[a.place - 1]) {
        case AttributeKind::kLink:
            if (!linkAllowed(value))
                return;
            break;
        case AttributeKind::kSource:
            if (index != kTagImg)
                return;
            [[fallthrough]];
        case AttributeKind::kImage:
            if (!imageAllowed(value, allowRemote_))
                return;
            break;
        case AttributeKind::kUseMap:
            if (value.empty() || value.front() != '#')
                return;
            break;
        case AttributeKind::kStyle:
            scratch_ = sanitizeStyleAttribute(value, allowRemote_);
            if (scratch_.empty())
                return;
            value = scratch_;
            plain = false;
            break;
        case AttributeKind::kPlain:
            break;
        }
        out_ += texts_.attribute[a.place - 1];
        if (plain)
            out_ += value;
        else
            escapeAttribute(out_, value);
        out_ += '"';
    }

    // A kept sheet is written straight into the output and checked there, so that checking and
    // scoping a sheet costs about its own size once more, not a copy per step.
    void styleSheet(std::string_view css) {
        // NUL reaches CSS as U+FFFD, as a browser's tokenizer hands it on.
        std::string withoutNul;
        if (css.find('\0') != std::string_view::npos) {
            withoutNul.reserve(css.size() + 16);
            escapeInto(withoutNul, css, Escape::kNulOnly);
            css = withoutNul;
        }
        std::string clean = sanitizeStyleSheet(css, allowRemote_);
        std::string().swap(withoutNul);
        const std::size_t mark = out_.size();
        out_ += "<style>";
        const std::size_t start = out_.size();
        if (full_) {
            out_ += clean;
        } else {
            removeComments(clean);
            scopeRules(clean, out_, 0);
        }
        std::string().swap(clean);
        if (!full_ && cssDangerous(out_.since(start), allowRemote_)) {
            out_.truncate(mark);
            return;
        }
        std::string_view sheet = out_.since(start);
        if (sheet.find_first_not_of(" \t\r\n\f;{}") == std::string_view::npos) {
            out_.truncate(mark);
            return;
        }
        // The only way out of a style element is "</"; CSS reads "<\/" the same. Rare enough to
        // be done on a copy.
        if (sheet.find("</") != std::string_view::npos || !web::isValidUtf8(sheet)) {
            std::string text = web::isValidUtf8(sheet) ? std::string(sheet) : web::repairUtf8(sheet);
            out_.truncate(start);
            std::size_t from = 0;
            for (std::size_t at = text.find("</"); at != std::string::npos; at = text.find("</", at + 2)) {
                out_ += std::string_view(text).substr(from, at + 1 - from);
                out_ += '\\';
                from = at + 1;
            }
            out_ += std::string_view(text).substr(from);
        }
        if (!bodyStarted_)
            hadSheet_ = true;
        out_ += "</style>";
    }

    // What comes before the body's content: the body tag of a full document, or the message's
    // container (carrying the body's colours and background, as a fragment has no body element).
    void startBody(const std::vector<Attribute>* body) {
        bodyStarted_ = true;
        if (full_) {
            out_ += "</head><body";
            if (body)
                writeAttributes(kTagBody);
            out_ += '>';
            return;
        }
        std::string css;
        for (std::size_t i = 0; body && i < attributeCount_; ++i) {
            const std::string_view name = (*body)[i].name;
            const std::string value((*body)[i].value());
            if (name == "bgcolor")
                css += "background-color:" + value + ";";
            else if (name == "text")
                css += "color:" + value + ";";
            else if (name == "background" && value.find_first_of("\"'()\\") == std::string::npos &&
                     imageAllowed(value, allowRemote_))
                css += "background-image:url(" + value + ");";
            else if (name == "style")
                css += value + ";";
        }
        const std::string style = sanitizeStyleAttribute(css, allowRemote_);
        std::string open = "<div class=\"";
        open += HTMLEncode::kMessageContainerClass;
        open += '"';
        if (!style.empty()) {
            open += " style=\"";
            escapeAttribute(open, style);
            open += '"';
            styled_ = true;
        }
        open += '>';
        // Only the page's style sheets were written so far; they go inside the container.
        out_.insertFront(open);
        contentStart_ = out_.size();
    }

    std::string finish() {
        out_.readAll();
        if (!bodyStarted_) {
            const bool sheets = hadSheet_;
            startBody(nullptr);
            if (!full_ && !sheets && !styled_)
                return {};
        } else if (!full_ && out_.size() == contentStart_ && !hadSheet_ && !styled_) {
            return {};
        }
        closeTo(0);
        out_ += full_ ? "</body></html>" : "</div>";
        return out_.take();
    }

    // Deeper than browsers nest: further elements are unwrapped.
    static constexpr std::size_t kMaxDepth = 512;

    const WrittenNames& texts_ = writtenNames();
    std::string_view s_;
    bool full_;
    bool allowRemote_;
    std::size_t pos_ = 0;
    Output out_;
    TagMemo memo_;
    std::size_t firstClose_ = 0;
    std::uint64_t memoSlot_ = 0;
    std::string scratch_;
    std::vector<Attribute> attributes_;
    std::size_t attributeCount_ = 0;
    Attribute direct_;       // the attribute being read of a tag written as it is read
    std::uint64_t seen_ = 0; // the allowed names written for the tag, a bit each
    std::vector<std::uint8_t> open_;
    std::size_t skipTag_ = 0;
    std::size_t skipDepth_ = 0;
    std::size_t contentStart_ = 0;
    bool bodyStarted_ = false;
    bool plaintext_ = false;
    bool titled_ = false;
    bool hadSheet_ = false;
    bool styled_ = false;
};

} // namespace

String HTMLEncode::stripScript(const String& html, bool fullDocument, bool allowRemoteImages) {
    return stripScript(html.view(), fullDocument, allowRemoteImages);
}

String HTMLEncode::stripScript(std::string_view page, bool fullDocument, bool allowRemoteImages) {
    std::string repaired;
    if (!web::isValidUtf8(page)) {
        repaired = web::repairUtf8(page);
        page = repaired;
    }
    return String(Sanitizer(page, fullDocument, allowRemoteImages).run());
}

String HTMLEncode::stripScript(String&& page, std::size_t offset, std::size_t length, bool fullDocument,
                               bool allowRemoteImages) {
    std::string text = std::move(page.str());
    offset = std::min(offset, text.size());
    const std::string_view part = std::string_view(text).substr(offset, length);
    if (!web::isValidUtf8(part))
        return stripScript(part, fullDocument, allowRemoteImages);
    return String(Sanitizer(part, fullDocument, allowRemoteImages, &text).run());
}

} // namespace Lattice
