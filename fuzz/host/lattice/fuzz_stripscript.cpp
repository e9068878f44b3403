// Sanitizer on hostile markup: it must not crash and must give valid UTF-8, and what a browser's
// parser (gumbo, independent of the sanitizer) builds from the result must hold no active
// element, event handler, script or data URL (inline pictures aside), no style rule outside the
// message's container, and, for a fragment, nothing outside that container.
#include "Lattice/HTMLEncode.h"
#include "Utf8Check.h"

#include <gumbo.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string compact(const char* v) {
    std::string out;
    for (; *v; ++v)
        if (static_cast<unsigned char>(*v) > 0x20 && *v != 0x7F)
            out += static_cast<char>((*v >= 'A' && *v <= 'Z') ? *v - 'A' + 'a' : *v);
    return out;
}

bool startsWith(const std::string& s, const char* p) {
    return s.rfind(p, 0) == 0;
}

// Whether a selector can match only the container or inside it.
bool scopedSelector(const std::string& sel) {
    const std::string container = ".hx-message";
    std::size_t i = 0;
    while (i < sel.size() && (sel[i] == ' ' || sel[i] == '\n' || sel[i] == '\t'))
        ++i;
    if (sel.compare(i, container.size(), container) != 0)
        return false;
    i += container.size();
    if (i < sel.size() &&
        (std::isalnum(static_cast<unsigned char>(sel[i])) || sel[i] == '-' || sel[i] == '_'))
        return false;
    int depth = 0;
    for (; i < sel.size(); ++i) {
        const char c = sel[i];
        depth += c == '(' || c == '[' ? 1 : c == ')' || c == ']' ? -1 : 0;
        if (depth == 0 && (c == ' ' || c == '>'))
            return true;
        if (depth == 0 && (c == '+' || c == '~'))
            return false;
    }
    return true;
}

// The first of `stops` at nesting depth 0 from `from`, as a CSS tokenizer nests blocks: (, [ and
// { close only at their own closer, strings at their quote, a backslash escapes. npos if none.
std::size_t topLevel(const std::string& css, std::size_t from, const char* stops) {
    std::string open;
    for (std::size_t i = from; i < css.size(); ++i) {
        const char c = css[i];
        if (c == '\\') {
            ++i;
        } else if (c == '"' || c == '\'') {
            for (++i; i < css.size() && css[i] != c && css[i] != '\n'; ++i)
                if (css[i] == '\\')
                    ++i;
        } else if (open.empty() && std::strchr(stops, c)) {
            return i;
        } else if (c == '(' || c == '[' || c == '{') {
            open += c == '(' ? ')' : c == '[' ? ']' : '}';
        } else if (!open.empty() && c == open.back()) {
            open.pop_back();
        }
    }
    return std::string::npos;
}

// Every rule of a sheet, through @media and @supports, is scoped; other at-rules are not there.
void checkSheet(const std::string& css, int depth) {
    std::size_t pos = 0;
    while (pos < css.size()) {
        const std::size_t brace = topLevel(css, pos, "{");
        if (brace == std::string::npos)
            return;
        const std::size_t close = topLevel(css, brace + 1, "}");
        const std::size_t end = close == std::string::npos ? css.size() : close;
        std::string prelude = css.substr(pos, brace - pos);
        const std::string block = css.substr(brace + 1, end - brace - 1);
        pos = end + 1;
        // A statement ended by ';' before the block is no part of its prelude.
        for (std::size_t semi; (semi = topLevel(prelude, 0, ";")) != std::string::npos;)
            prelude.erase(0, semi + 1);
        prelude.erase(0, prelude.find_first_not_of(" \t\r\n\f"));
        if (prelude.empty())
            continue;
        if (prelude[0] == '@') {
            if (!startsWith(prelude, "@media") && !startsWith(prelude, "@supports"))
                std::abort();
            if (depth < 16)
                checkSheet(block, depth + 1);
            continue;
        }
        for (std::size_t start = 0;;) {
            const std::size_t comma = topLevel(prelude, start, ",");
            if (!scopedSelector(
                    prelude.substr(start, comma == std::string::npos ? std::string::npos : comma - start)))
                std::abort();
            if (comma == std::string::npos)
                break;
            start = comma + 1;
        }
    }
}

void check(const std::string& html, bool fragment) {
    GumboOutput* out = gumbo_parse_with_options(&kGumboDefaultOptions, html.data(), html.size());
    if (fragment && !html.empty()) {
        if (!startsWith(html, "<div class=\"hx-message\"") || html.compare(html.size() - 6, 6, "</div>") != 0)
            std::abort();
        // The container is the body's one child: nothing was moved or closed out of it.
        const GumboNode* body = nullptr;
        const GumboVector& top = out->root->v.element.children;
        for (unsigned i = 0; i < top.length; ++i) {
            auto* n = static_cast<const GumboNode*>(top.data[i]);
            if (n->type == GUMBO_NODE_ELEMENT && n->v.element.tag == GUMBO_TAG_BODY)
                body = n;
            else if (n->type == GUMBO_NODE_ELEMENT && n->v.element.tag == GUMBO_TAG_HEAD &&
                     n->v.element.children.length != 0)
                std::abort();
        }
        if (!body || body->v.element.children.length != 1)
            std::abort();
    }
    std::vector<const GumboNode*> stack{out->root};
    while (!stack.empty()) {
        const GumboNode* n = stack.back();
        stack.pop_back();
        if (n->type != GUMBO_NODE_ELEMENT && n->type != GUMBO_NODE_TEMPLATE)
            continue;
        GumboTag t = n->v.element.tag;
        if (n->type == GUMBO_NODE_TEMPLATE || n->v.element.tag_namespace != GUMBO_NAMESPACE_HTML ||
            t == GUMBO_TAG_SCRIPT || t == GUMBO_TAG_IFRAME || t == GUMBO_TAG_OBJECT || t == GUMBO_TAG_EMBED ||
            t == GUMBO_TAG_APPLET || t == GUMBO_TAG_BASE || t == GUMBO_TAG_META || t == GUMBO_TAG_LINK ||
            t == GUMBO_TAG_FORM || t == GUMBO_TAG_INPUT || t == GUMBO_TAG_FRAME || t == GUMBO_TAG_FRAMESET)
            std::abort();
        const GumboVector& attrs = n->v.element.attributes;
        for (unsigned i = 0; i < attrs.length; ++i) {
            auto* a = static_cast<const GumboAttribute*>(attrs.data[i]);
            std::string name = compact(a->name), value = compact(a->value);
            bool url = name == "href" || name == "src" || name == "background" || name == "cite" ||
                       name == "action" || name == "formaction" || name == "lowsrc" || name == "dynsrc";
            bool script = value.find("javascript:") != std::string::npos ||
                          value.find("vbscript:") != std::string::npos;
            const bool picture = (t == GUMBO_TAG_IMG && name == "src") || name == "background";
            const bool data =
                startsWith(value, "data:") &&
                !(picture && (startsWith(value, "data:image/png") || startsWith(value, "data:image/gif") ||
                              startsWith(value, "data:image/jpeg") || startsWith(value, "data:image/webp")));
            if (name.rfind("on", 0) == 0 || (url && (script || data)) ||
                (name == "style" && value.find("expression(") != std::string::npos))
                std::abort();
        }
        const GumboVector& kids = n->v.element.children;
        if (t == GUMBO_TAG_STYLE && fragment) {
            std::string css;
            for (unsigned i = 0; i < kids.length; ++i) {
                auto* k = static_cast<const GumboNode*>(kids.data[i]);
                if (k->type == GUMBO_NODE_TEXT || k->type == GUMBO_NODE_WHITESPACE)
                    css += k->v.text.text;
            }
            checkSheet(css, 0);
        }
        for (unsigned i = 0; i < kids.length; ++i)
            stack.push_back(static_cast<const GumboNode*>(kids.data[i]));
    }
    gumbo_destroy_output(&kGumboDefaultOptions, out);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    // The first byte picks the two modes, whether the page is repeated into a large one, so that
    // long runs of hostile markup meet, and whether it is also sanitised in its own buffer; the
    // rest is the page.
    const bool full = data[0] & 1, remote = data[0] & 2, large = (data[0] & 12) == 12;
    std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (large && !input.empty()) {
        const std::string once = input;
        while (input.size() < 200 * 1024)
            input += once;
    }
    std::string out = Lattice::HTMLEncode::stripScript(Lattice::String(input), full, remote).str();
    if (!validUtf8(out))
        std::abort();
    // Written over the page itself (after as many bytes of something else as the top bits say),
    // the result must be the same.
    if (data[0] & 16) {
        const std::size_t before = static_cast<std::size_t>(data[0] >> 5) * 37;
        Lattice::String page(std::string(before, '<') + input + "</p>");
        if (Lattice::HTMLEncode::stripScript(std::move(page), before, input.size(), full, remote).str() !=
            out)
            std::abort();
    }
    check(out, !full);
    return 0;
}
