// Sanitizer on hostile markup: it must not crash, must give valid UTF-8, and what a browser
// parses out of the result must hold no script element, event handler or script URL.
#include "Lattice/HTMLEncode.h"
#include "Utf8Check.h"

#include <gumbo.h>

#include <cstdint>
#include <cstdlib>
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

void check(const std::string& html) {
    GumboOutput* out = gumbo_parse_with_options(&kGumboDefaultOptions, html.data(), html.size());
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
            if (name.rfind("on", 0) == 0 || (url && script) ||
                (name == "style" && value.find("expression(") != std::string::npos))
                std::abort();
        }
        const GumboVector& kids = n->v.element.children;
        for (unsigned i = 0; i < kids.length; ++i)
            stack.push_back(static_cast<const GumboNode*>(kids.data[i]));
    }
    gumbo_destroy_output(&kGumboDefaultOptions, out);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    // The first byte picks the two modes, and whether the page is repeated past the size the
    // sanitizer parses at once, so that its cuts fall inside hostile markup; the rest is the page.
    const bool full = data[0] & 1, remote = data[0] & 2, large = (data[0] & 12) == 12;
    std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (large && !input.empty()) {
        const std::string once = input;
        while (input.size() < 600 * 1024)
            input += once;
    }
    std::string out = Lattice::HTMLEncode::stripScript(Lattice::String(input), full, remote).str();
    if (!validUtf8(out))
        std::abort();
    check(out);
    return 0;
}
