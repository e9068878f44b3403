// HTML sanitizer: gumbo builds the same tree a browser would, and only allow-listed elements,
// attributes and URL schemes are written back out by our own serializer.
#include "Lattice/HTMLEncode.h"

#include "Utf8.h"

#include <gumbo.h>

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace Lattice {

namespace {

using Names = std::unordered_set<std::string_view>;

// Written out with their allowed attributes.
const Names kKeep = {
    "a",        "abbr",     "acronym",    "address", "area",    "article", "aside", "b",       "bdi",
    "bdo",      "big",      "blockquote", "br",      "caption", "center",  "cite",  "code",    "col",
    "colgroup", "dd",       "del",        "details", "dfn",     "dir",     "div",   "dl",      "dt",
    "em",       "fieldset", "figcaption", "figure",  "font",    "footer",  "h1",    "h2",      "h3",
    "h4",       "h5",       "h6",         "header",  "hgroup",  "hr",      "i",     "img",     "ins",
    "kbd",      "label",    "legend",     "li",      "main",    "map",     "mark",  "menu",    "nav",
    "nobr",     "ol",       "p",          "pre",     "q",       "rp",      "rt",    "ruby",    "s",
    "samp",     "section",  "small",      "span",    "strike",  "strong",  "sub",   "summary", "sup",
    "table",    "tbody",    "td",         "tfoot",   "th",      "thead",   "time",  "tr",      "tt",
    "u",        "ul",       "var",        "wbr"};

// Removed together with everything inside. Anything neither kept nor dropped (form, button,
// blink, Office's o:p...) is unwrapped: its content stays, the element goes.
const Names kDrop = {
    "script", "noscript", "iframe", "frame",   "frameset", "noframes", "object",   "embed",    "applet",
    "param",  "template", "svg",    "math",    "input",    "select",   "textarea", "keygen",   "isindex",
    "base",   "meta",     "link",   "noembed", "bgsound",  "audio",    "video",    "source",   "track",
    "canvas", "title",    "head",   "style",   "dialog",   "portal",   "image",    "datalist", "output"};

const Names kVoid = {"area", "br", "col", "hr", "img", "wbr"};

const Names kAttributes = {
    "abbr",        "align",       "alink",       "alt",     "axis",    "background", "bgcolor", "border",
    "bordercolor", "cellpadding", "cellspacing", "char",    "charoff", "cite",       "class",   "clear",
    "color",       "cols",        "colspan",     "compact", "coords",  "datetime",   "dir",     "face",
    "frame",       "headers",     "height",      "href",    "hspace",  "id",         "label",   "lang",
    "link",        "name",        "noshade",     "nowrap",  "open",    "reversed",   "rows",    "rowspan",
    "rules",       "scope",       "shape",       "size",    "span",    "src",        "start",   "style",
    "summary",     "target",      "text",        "title",   "type",    "usemap",     "valign",  "value",
    "vlink",       "vspace",      "width"};

std::string_view tagName(const GumboNode* n) {
    if (n->v.element.tag == GUMBO_TAG_UNKNOWN)
        return {};
    return gumbo_normalized_tagname(n->v.element.tag);
}

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
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
bool mentionsScript(const std::string& compact) {
    for (std::string_view s : {"javascript:", "vbscript:", "livescript:"})
        if (compact.find(s) != std::string::npos)
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

bool imageAllowed(std::string_view value, bool allowRemote) {
    std::string c = compactUrl(value);
    if (mentionsScript(c))
        return false;
    std::string_view s = scheme(c);
    if (s.empty())
        return !startsWith(c, "//") || allowRemote; // "//host/x" is remote too
    if (s == "http" || s == "https")
        return allowRemote;
    return s == "cid" || isInlineImageData(c);
}

// ---- CSS ----

// What a browser may make of a piece of CSS, reduced for matching: comments removed, escapes
// decoded, full-width letters folded, spaces and controls dropped, lower case. Non-ASCII
// characters become 0x80 so they can never complete an ASCII keyword.
void stripComments(const std::u32string& in, std::u32string& out) {
    out.clear();
    for (std::size_t i = 0; i < in.size(); ++i) {
        if (in[i] == '/' && i + 1 < in.size() && in[i + 1] == '*') {
            std::size_t end = i + 2;
            while (end + 1 < in.size() && !(in[end] == '*' && in[end + 1] == '/'))
                ++end;
            i = end + 1; // unterminated comments run to the end
            continue;
        }
        out += in[i];
    }
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

std::string cssNormalize(std::string_view css) {
    std::u32string cps;
    cps.reserve(css.size());
    for (std::size_t i = 0; i < css.size();) {
        char32_t cp;
        std::size_t n = web::decodeUtf8(css, i, cp);
        cps += n ? cp : U'\uFFFD';
        i += n ? n : 1;
    }
    std::u32string noComments;
    stripComments(cps, noComments);
    std::u32string decoded;
    decoded.reserve(noComments.size());
    for (std::size_t i = 0; i < noComments.size(); ++i) {
        char32_t c = noComments[i];
        if (c != '\\') {
            decoded += c;
            continue;
        }
        if (i + 1 >= noComments.size())
            break;
        char32_t next = noComments[i + 1];
        if (hexValue(next) >= 0) {
            char32_t v = 0;
            std::size_t j = i + 1;
            for (int k = 0; k < 6 && j < noComments.size() && hexValue(noComments[j]) >= 0; ++k, ++j)
                v = v * 16 + static_cast<char32_t>(hexValue(noComments[j]));
            if (j < noComments.size() &&
                (noComments[j] == ' ' || noComments[j] == '\t' || noComments[j] == '\n'))
                ++j;
            decoded += v;
            i = j - 1;
        } else if (next == '\n' || next == '\r' || next == '\f') {
            ++i;
        } else {
            decoded += next;
            ++i;
        }
    }
    stripComments(decoded, noComments);
    std::string out;
    out.reserve(noComments.size());
    for (char32_t c : noComments) {
        if (c >= 0xFF01 && c <= 0xFF5E)
            c -= 0xFEE0;
        if (c <= 0x20 || c == 0x7F)
            continue;
        out += c < 0x80 ? lowerAscii(static_cast<char>(c)) : static_cast<char>(0x80);
    }
    return out;
}

bool hasScriptKeyword(const std::string& css) {
    for (std::string_view bad : {"expression(", "behavior:", "behaviour:", "-moz-binding",
                                 "binding:", "javascript:", "vbscript:", "livescript:", "@import", "-o-link"})
        if (css.find(bad) != std::string::npos)
            return true;
    return false;
}

// The text as written, lower case, without spaces and controls: a keyword that only an unclosed
// comment hides is still refused, since parsers disagree about where such a comment ends.
std::string cssCompact(std::string_view raw) {
    std::string out;
    out.reserve(raw.size());
    for (char c : raw)
        if (static_cast<unsigned char>(c) > 0x20 && c != 0x7F)
            out += lowerAscii(c);
    return out;
}

bool cssDangerous(std::string_view raw, bool allowRemote) {
    std::string n = cssNormalize(raw);
    if (hasScriptKeyword(n) || hasScriptKeyword(cssCompact(raw)))
        return true;
    std::size_t pos = 0;
    while ((pos = n.find("url(", pos)) != std::string::npos) {
        pos += 4;
        std::size_t end = n.find(')', pos);
        std::string arg = n.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        while (!arg.empty() && (arg.front() == '"' || arg.front() == '\''))
            arg.erase(arg.begin());
        while (!arg.empty() && (arg.back() == '"' || arg.back() == '\''))
            arg.pop_back();
        if (!imageAllowed(arg, allowRemote))
            return true;
    }
    // image-set() and src() take bare strings that cannot be vetted like url().
    return n.find("image-set(") != std::string::npos || n.find("src(") != std::string::npos;
}

// Whether a declaration is a position that leaves the container's flow for the viewport's
// (fixed) or one that cannot be vetted here (var(), env(), unknown keywords).
bool escapingPosition(std::string_view decl) {
    std::string n = cssNormalize(decl);
    if (n.rfind("position:", 0) != 0)
        return false;
    std::string value = n.substr(9);
    if (std::size_t bang = value.find('!'); bang != std::string::npos)
        value.resize(bang);
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
    std::size_t start = 0;
    while (start < css.size()) {
        std::size_t delim = css.find_first_of(";{}", start);
        std::size_t end = delim == std::string_view::npos ? css.size() : delim;
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
        if (open.empty() && stops.find(c) != std::string_view::npos)
            return i;
        if (c == '(' || c == '[' || c == '{')
            open += c == '(' ? ')' : c == '[' ? ']' : '}';
        else if (!open.empty() && c == open.back())
            open.pop_back();
    }
    return std::string_view::npos;
}

// Comments removed (strings kept as they are), so no comment can hide a selector or a brace.
std::string withoutComments(std::string_view css) {
    std::string out;
    out.reserve(css.size());
    for (std::size_t i = 0; i < css.size(); ++i) {
        char c = css[i];
        if (c == '/' && i + 1 < css.size() && css[i + 1] == '*') {
            std::size_t end = css.find("*/", i + 2);
            if (end == std::string_view::npos)
                break;
            i = end + 1;
            out += ' ';
            continue;
        }
        out += c;
        if (c == '\\' && i + 1 < css.size()) {
            out += css[++i];
        } else if (c == '"' || c == '\'') {
            for (++i; i < css.size() && css[i] != c && css[i] != '\n'; ++i) {
                out += css[i];
                if (css[i] == '\\' && i + 1 < css.size())
                    out += css[++i];
            }
            if (i < css.size())
                out += css[i];
        }
    }
    return out;
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
void scopeRules(std::string_view css, std::string& out, int depth) {
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

std::string scopeStyleSheet(std::string_view css) {
    std::string out;
    scopeRules(withoutComments(css), out, 0);
    return out;
}

// ---- serializer ----

// Escapes markup characters. Gumbo can hand out malformed UTF-8 (e.g. for an overflowing
// numeric reference), so every bad byte becomes U+FFFD on the way out.
void escapeInto(std::string& out, std::string_view s, bool attribute) {
    for (std::size_t i = 0; i < s.size();) {
        char c = s[i];
        if (static_cast<unsigned char>(c) >= 0x80) {
            char32_t cp;
            std::size_t n = web::decodeUtf8(s, i, cp);
            if (n)
                out.append(s.data() + i, n);
            else
                out += "\xEF\xBF\xBD";
            i += n ? n : 1;
            continue;
        }
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
            out += attribute ? "&quot;" : "\"";
            break;
        default:
            out += c;
        }
        ++i;
    }
}

void escapeText(std::string& out, std::string_view s) {
    escapeInto(out, s, false);
}
void escapeAttribute(std::string& out, std::string_view s) {
    escapeInto(out, s, true);
}

class Sanitizer {
public:
    Sanitizer(bool allowRemote, bool scoped) : allowRemote_(allowRemote), scoped_(scoped) {}

    void attributes(const GumboNode* n, std::string_view tag) {
        const GumboVector& attrs = n->v.element.attributes;
        for (unsigned i = 0; i < attrs.length; ++i) {
            auto* a = static_cast<const GumboAttribute*>(attrs.data[i]);
            std::string_view name = a->name;
            std::string_view value = a->value;
            if (!kAttributes.count(name))
                continue;
            std::string cleaned;
            if (name == "href" || name == "cite") {
                if (!linkAllowed(value))
                    continue;
            } else if (name == "src" || name == "background") {
                if ((name == "src" && tag != "img") || !imageAllowed(value, allowRemote_))
                    continue;
            } else if (name == "usemap") {
                if (value.empty() || value.front() != '#')
                    continue;
            } else if (name == "style") {
                cleaned = sanitizeStyleAttribute(value, allowRemote_);
                if (cleaned.empty())
                    continue;
                value = cleaned;
            }
            out_ += ' ';
            out_ += name;
            out_ += "=\"";
            escapeAttribute(out_, value);
            out_ += '"';
        }
    }

    void styleElement(const GumboNode* n) {
        std::string css;
        const GumboVector& kids = n->v.element.children;
        for (unsigned i = 0; i < kids.length; ++i) {
            auto* k = static_cast<const GumboNode*>(kids.data[i]);
            if (k->type == GUMBO_NODE_TEXT || k->type == GUMBO_NODE_WHITESPACE || k->type == GUMBO_NODE_CDATA)
                css += k->v.text.text;
        }
        std::string clean = sanitizeStyleSheet(css, allowRemote_);
        if (scoped_) {
            clean = scopeStyleSheet(clean);
            if (cssDangerous(clean, allowRemote_))
                return;
        }
        clean = web::repairUtf8(clean);
        if (clean.find_first_not_of(" \t\r\n\f;{}") == std::string::npos)
            return;
        // The only way out of a style element is "</"; CSS reads "<\/" the same.
        std::size_t pos = 0;
        while ((pos = clean.find("</", pos)) != std::string::npos) {
            clean.insert(pos + 1, 1, '\\');
            pos += 3;
        }
        out_ += "<style>";
        out_ += clean;
        out_ += "</style>";
    }

    // Writes the allowed content of `container` without recursion, so hostile nesting depth
    // cannot exhaust the stack.
    void children(const GumboNode* container) {
        struct Frame {
            const GumboVector* kids;
            unsigned next;
            std::string_view close;
        };
        std::vector<Frame> stack{{&container->v.element.children, 0, {}}};
        while (!stack.empty()) {
            Frame& f = stack.back();
            if (f.next >= f.kids->length) {
                if (!f.close.empty()) {
                    out_ += "</";
                    out_ += f.close;
                    out_ += '>';
                }
                stack.pop_back();
                continue;
            }
            auto* n = static_cast<const GumboNode*>(f.kids->data[f.next++]);
            switch (n->type) {
            case GUMBO_NODE_TEXT:
            case GUMBO_NODE_WHITESPACE:
            case GUMBO_NODE_CDATA:
                escapeText(out_, n->v.text.text);
                break;
            case GUMBO_NODE_ELEMENT: {
                if (n->v.element.tag_namespace != GUMBO_NAMESPACE_HTML)
                    break;
                std::string_view tag = tagName(n);
                if (tag == "style") {
                    styleElement(n);
                    break;
                }
                if (kDrop.count(tag))
                    break;
                if (!kKeep.count(tag)) {
                    stack.push_back({&n->v.element.children, 0, {}});
                    break;
                }
                const auto continuedAt = continued_.find(n);
                const bool continued = continuedAt != continued_.end();
                const bool staysOpen = staysOpen_.count(n) > 0;
                if (continued && staysOpen)
                    carried_.push_back({std::string(tag), continuedAt->second});
                if (!continued) {
                    const std::size_t start = out_.size();
                    out_ += '<';
                    out_ += tag;
                    attributes(n, tag);
                    out_ += '>';
                    if (staysOpen)
                        carried_.push_back({std::string(tag), out_.substr(start)});
                }
                if (kVoid.count(tag))
                    break;
                if (staysOpen) {
                    stack.push_back({&n->v.element.children, 0, {}});
                    break;
                }
                // The parser eats one newline after <pre>; keep a leading one that was really there.
                if (!continued && tag == "pre" && n->v.element.children.length > 0) {
                    auto* first = static_cast<const GumboNode*>(n->v.element.children.data[0]);
                    if ((first->type == GUMBO_NODE_TEXT || first->type == GUMBO_NODE_WHITESPACE) &&
                        first->v.text.text[0] == '\n')
                        out_ += '\n';
                }
                stack.push_back({&n->v.element.children, 0, tag});
                break;
            }
            default: // comments (conditional ones included), templates, documents
                break;
            }
        }
    }

    void headContent(const GumboNode* head, bool withTitle) {
        const GumboVector& kids = head->v.element.children;
        for (unsigned i = 0; i < kids.length; ++i) {
            auto* n = static_cast<const GumboNode*>(kids.data[i]);
            if (n->type != GUMBO_NODE_ELEMENT || n->v.element.tag_namespace != GUMBO_NAMESPACE_HTML)
                continue;
            std::string_view tag = tagName(n);
            if (tag == "style") {
                styleElement(n);
            } else if (tag == "title" && withTitle) {
                out_ += "<title>";
                const GumboVector& t = n->v.element.children;
                for (unsigned k = 0; k < t.length; ++k) {
                    auto* tn = static_cast<const GumboNode*>(t.data[k]);
                    if (tn->type == GUMBO_NODE_TEXT || tn->type == GUMBO_NODE_WHITESPACE)
                        escapeText(out_, tn->v.text.text);
                }
                out_ += "</title>";
            }
        }
    }

    void startTag(const GumboNode* n, std::string_view tag) {
        out_ += '<';
        out_ += tag;
        attributes(n, tag);
        out_ += '>';
    }

    // The container a fragment is inserted in: scoped style sheets match only inside it. A
    // fragment has no body element, so the body's colours and background move onto it.
    void openContainer(const GumboNode* body) {
        std::string css;
        const GumboVector* attrs = body ? &body->v.element.attributes : nullptr;
        for (unsigned i = 0; attrs && i < attrs->length; ++i) {
            auto* a = static_cast<const GumboAttribute*>(attrs->data[i]);
            std::string_view name = a->name, value = a->value;
            if (name == "bgcolor")
                css += "background-color:" + std::string(value) + ";";
            else if (name == "text")
                css += "color:" + std::string(value) + ";";
            else if (name == "background" && value.find_first_of("\"'()\\") == std::string_view::npos &&
                     imageAllowed(value, allowRemote_))
                css += "background-image:url(" + std::string(value) + ");";
            else if (name == "style")
                css += std::string(value) + ";";
        }
        std::string style = sanitizeStyleAttribute(css, allowRemote_);
        out_ += "<div class=\"";
        out_ += HTMLEncode::kMessageContainerClass;
        out_ += '"';
        if (!style.empty()) {
            out_ += " style=\"";
            escapeAttribute(out_, style);
            out_ += '"';
        }
        out_ += '>';
    }

    std::string& out() { return out_; }

    // ---- pages parsed in segments ----

    // The open tags written for elements still open where the last segment ended, outermost first.
    struct Carried {
        std::string tag;
        std::string openTag;
    };

    // Text that re-opens the carried elements ahead of the next segment, so that it is parsed in
    // the same place of the tree. Only the outermost few are carried: re-parsing a deep chain at
    // every cut would make hostile nesting cost the square of the page; the inner ones are closed
    // at the cut instead (see continueFrom).
    std::string carriedPrefix() {
        std::string prefix;
        std::size_t kept = 0;
        while (kept < carried_.size() && kept < kMaxCarried &&
               prefix.size() + carried_[kept].openTag.size() <= kMaxCarriedBytes)
            prefix += carried_[kept++].openTag;
        carriedKept_ = kept;
        return prefix;
    }

    // Before a segment other than the first: finds the carried elements again at the top of its
    // tree, whose start tags are out already. Those the parser placed elsewhere are closed here,
    // so every written start tag still gets its end tag.
    void continueFrom(const GumboNode* body) {
        continued_.clear();
        const GumboNode* at = body;
        std::size_t matched = 0;
        for (; at && matched < carriedKept_; ++matched) {
            const GumboNode* first = nullptr;
            const GumboVector& kids = at->v.element.children;
            for (unsigned i = 0; i < kids.length && !first; ++i) {
                auto* k = static_cast<const GumboNode*>(kids.data[i]);
                if (k->type == GUMBO_NODE_ELEMENT)
                    first = k;
            }
            if (!first || first->v.element.tag_namespace != GUMBO_NAMESPACE_HTML ||
                tagName(first) != carried_[matched].tag)
                break;
            continued_.emplace(first, std::move(carried_[matched].openTag));
            at = first;
        }
        for (std::size_t i = carried_.size(); i-- > matched;) {
            out_ += "</";
            out_ += carried_[i].tag;
            out_ += '>';
        }
        carried_.clear();
    }

    // Before writing a segment that is not the last: the elements the cut left open (the end of
    // the tree's last branch, down to the first element closed by a tag of the page) keep their
    // end tags for a later segment.
    void leaveOpenAtCut(const GumboNode* body) {
        staysOpen_.clear();
        const GumboNode* at = body;
        for (;;) {
            const GumboVector& kids = at->v.element.children;
            if (kids.length == 0)
                return;
            auto* last = static_cast<const GumboNode*>(kids.data[kids.length - 1]);
            if (last->type != GUMBO_NODE_ELEMENT || last->v.element.tag_namespace != GUMBO_NAMESPACE_HTML ||
                last->v.element.original_end_tag.length > 0)
                return;
            std::string_view tag = tagName(last);
            if (tag == "style" || kDrop.count(tag) || kVoid.count(tag))
                return;
            if (kKeep.count(tag))
                staysOpen_.insert(last);
            at = last;
        }
    }

    // After the last segment.
    void closeCarried() {
        for (std::size_t i = carried_.size(); i-- > 0;) {
            out_ += "</";
            out_ += carried_[i].tag;
            out_ += '>';
        }
        carried_.clear();
    }

    void endSegment() {
        staysOpen_.clear();
        continued_.clear();
    }

private:
    static constexpr std::size_t kMaxCarried = 256;
    static constexpr std::size_t kMaxCarriedBytes = 16 * 1024;
    std::vector<Carried> carried_;
    std::size_t carriedKept_ = 0;
    std::unordered_map<const GumboNode*, std::string> continued_; // with their start tags
    std::unordered_set<const GumboNode*> staysOpen_;
    bool allowRemote_;
    bool scoped_;
    std::string out_;
};

struct OutputDeleter {
    void operator()(GumboOutput* o) const { gumbo_destroy_output(&kGumboDefaultOptions, o); }
};

} // namespace

namespace {

// Pages larger than this are parsed a segment at a time: the parser's tree costs tens of times
// the markup it holds, so a whole page of a few megabytes would cost hundreds; and deep nesting
// costs the parser the square of its depth, which a segment bounds.
constexpr std::size_t kSegmentBytes = 64 * 1024;
// A comment or raw-text element (a style sheet, a script) longer than this may be cut.
constexpr std::size_t kLongestUncut = 1024 * 1024;

bool asciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Position of "</name" (any case) from `from`, or npos.
std::size_t findEndTag(std::string_view page, std::size_t from, std::string_view name) {
    for (std::size_t at = page.find("</", from); at != std::string_view::npos; at = page.find("</", at + 2)) {
        if (at + 2 + name.size() > page.size())
            return std::string_view::npos;
        bool same = true;
        for (std::size_t i = 0; i < name.size() && same; ++i)
            same = lowerAscii(page[at + 2 + i]) == name[i];
        if (same)
            return at;
    }
    return std::string_view::npos;
}

// Where the segment that starts at `start` ends: the first tag at or past `start` +
// kSegmentBytes that begins in text, outside any tag, comment or raw-text element (script,
// style, textarea...), so a cut seldom changes how the page parses. Past kLongestUncut any tag
// start will do: a cut in the wrong place costs fidelity, never safety, and the memory stays
// bounded. npos when the rest is the last segment.
std::size_t segmentEnd(std::string_view page, std::size_t start) {
    const std::size_t target = start + kSegmentBytes;
    const std::size_t anyTag = start + kLongestUncut;
    if (target >= page.size())
        return std::string_view::npos;
    static const Names kRawText = {"script", "style",   "textarea", "title",   "xmp",
                                   "iframe", "noembed", "noframes", "noscript"};
    std::size_t i = start;
    while (i < page.size()) {
        if (i >= anyTag) {
            std::size_t lt = page.find('<', i);
            return lt == std::string_view::npos || lt + 1 >= page.size() ? std::string_view::npos : lt;
        }
        if (page[i] != '<' || i + 1 >= page.size()) {
            ++i;
            continue;
        }
        const char next = page[i + 1];
        if (i >= target && (asciiLetter(next) || next == '/' || next == '!'))
            return i;
        if (page.compare(i, 4, "<!--") == 0) {
            std::size_t end = page.find("-->", i + 4);
            i = end == std::string_view::npos ? page.size() : end + 3;
            continue;
        }
        if (!asciiLetter(next) && next != '/' && next != '!' && next != '?') {
            ++i;
            continue;
        }
        // A tag: up to its '>', with quoted attribute values skipped whole.
        std::size_t nameEnd = i + (next == '/' ? 2 : 1);
        std::string name;
        while (nameEnd < page.size() &&
               (asciiLetter(page[nameEnd]) || (page[nameEnd] >= '0' && page[nameEnd] <= '9')))
            name += lowerAscii(page[nameEnd++]);
        std::size_t k = nameEnd;
        char previous = ' ';
        while (k < page.size() && page[k] != '>') {
            if ((page[k] == '"' || page[k] == '\'') && previous == '=') {
                std::size_t close = page.find(page[k], k + 1);
                k = close == std::string_view::npos ? page.size() : close;
            }
            if (!isSpace(page[k]))
                previous = page[k];
            ++k;
        }
        i = k + 1;
        if (next != '/' && name == "plaintext")
            return std::string_view::npos; // the rest is text
        if (next != '/' && kRawText.count(name)) {
            std::size_t end = findEndTag(page, i, name);
            i = end == std::string_view::npos ? page.size() : end;
        }
    }
    return std::string_view::npos;
}

struct ParsedSegment {
    std::unique_ptr<GumboOutput, OutputDeleter> output;
    const GumboNode* root = nullptr;
    const GumboNode* head = nullptr;
    const GumboNode* body = nullptr;
};

ParsedSegment parse(std::string_view text) {
    GumboOptions options = kGumboDefaultOptions;
    options.max_errors = 0; // error records are of no use here and cost memory on broken pages
    ParsedSegment parsed;
    parsed.output.reset(gumbo_parse_with_options(&options, text.data(), text.size()));
    if (!parsed.output)
        return parsed;
    parsed.root = parsed.output->root;
    const GumboVector& top = parsed.root->v.element.children;
    for (unsigned i = 0; i < top.length; ++i) {
        auto* n = static_cast<const GumboNode*>(top.data[i]);
        if (n->type != GUMBO_NODE_ELEMENT)
            continue;
        if (n->v.element.tag == GUMBO_TAG_HEAD)
            parsed.head = n;
        else if (n->v.element.tag == GUMBO_TAG_BODY)
            parsed.body = n;
    }
    return parsed;
}

} // namespace

String HTMLEncode::stripScript(const String& html, bool fullDocument, bool allowRemoteImages) {
    const std::string_view page = html.view();
    std::size_t end = segmentEnd(page, 0);
    ParsedSegment first = parse(page.substr(0, end));
    if (!first.output)
        return String();

    Sanitizer s(allowRemoteImages, !fullDocument);
    // The result is about the page's size; room for it up front spares the copies of growing.
    s.out().reserve(page.size() + page.size() / 8 + 256);
    if (fullDocument) {
        s.startTag(first.root, "html");
        s.out() += "<head>";
        if (first.head)
            s.headContent(first.head, true);
        s.out() += "</head>";
        if (first.body)
            s.startTag(first.body, "body");
        else
            s.out() += "<body>";
    } else {
        s.openContainer(first.body);
    }
    const std::size_t opened = s.out().size();
    // A fragment keeps the page's style sheets, scoped: mail layout depends on them.
    if (!fullDocument && first.head)
        s.headContent(first.head, false);
    if (first.body) {
        if (end != std::string_view::npos)
            s.leaveOpenAtCut(first.body);
        s.children(first.body);
    }
    s.endSegment();
    first = ParsedSegment();

    while (end != std::string_view::npos) {
        const std::size_t start = end;
        end = segmentEnd(page, start);
        const std::string_view slice =
            page.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        std::string text = s.carriedPrefix();
        text += slice;
        ParsedSegment segment = parse(text);
        if (!segment.output)
            break;
        if (segment.body)
            s.continueFrom(segment.body);
        else
            s.closeCarried();
        // Style sheets the parser put in this segment's head belong to the body's flow here.
        if (segment.head)
            s.headContent(segment.head, false);
        if (segment.body) {
            if (end != std::string_view::npos)
                s.leaveOpenAtCut(segment.body);
            s.children(segment.body);
        }
        s.endSegment();
    }
    s.closeCarried();

    if (fullDocument) {
        s.out() += "</body></html>";
    } else {
        if (s.out().size() == opened && s.out().find(" style=") == std::string::npos)
            return String(); // nothing to show, not even a background
        s.out() += "</div>";
    }
    return String(std::move(s.out()));
}

} // namespace Lattice
