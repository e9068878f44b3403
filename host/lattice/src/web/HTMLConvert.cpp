#include "Lattice/HTMLEncode.h"

#include "Utf8.h"

#include <gumbo.h>

#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace Lattice {

namespace {

using Names = std::unordered_set<std::string_view>;

const Names kBlocks = {"address", "article", "aside", "blockquote", "center", "dd",     "details", "dir",
                       "div",     "dl",      "dt",    "fieldset",   "figure", "footer", "form",    "header",
                       "hr",      "li",      "main",  "menu",       "nav",    "ol",     "pre",     "section",
                       "summary", "table",   "tbody", "tfoot",      "thead",  "tr",     "ul",      "caption"};
const Names kParagraphs = {"p", "h1", "h2", "h3", "h4", "h5", "h6"};
const Names kInvisible = {"script", "style", "head", "title", "noscript", "template", "iframe",
                          "object", "embed", "svg",  "math",  "select",   "textarea", "noframes"};

struct OutputDeleter {
    void operator()(GumboOutput* o) const { gumbo_destroy_output(&kGumboDefaultOptions, o); }
};

class TextWriter {
public:
    void text(std::string_view s, bool preformatted) {
        if (preformatted) {
            out_ += s;
            pendingSpace_ = false;
            return;
        }
        for (char c : s) {
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f') {
                pendingSpace_ = true;
                continue;
            }
            if (pendingSpace_ && !out_.empty() && out_.back() != '\n' && out_.back() != ' ' &&
                out_.back() != '\t')
                out_ += ' ';
            pendingSpace_ = false;
            out_ += c;
        }
    }
    void newline() {
        trimLineEnd();
        out_ += '\n';
        pendingSpace_ = false;
    }
    void lineBreak() { // at most one, and none at the very start
        if (!out_.empty() && out_.back() != '\n')
            newline();
        pendingSpace_ = false;
    }
    void blankLine() {
        lineBreak();
        if (!out_.empty() && (out_.size() < 2 || out_[out_.size() - 2] != '\n'))
            out_ += '\n';
    }
    void raw(std::string_view s) {
        out_ += s;
        pendingSpace_ = false;
    }
    std::string finish() {
        trimLineEnd();
        std::size_t end = out_.find_last_not_of('\n');
        out_.erase(end == std::string::npos ? 0 : end + 1);
        // The parser can hand out malformed UTF-8 (overflowing numeric references).
        return web::repairUtf8(out_);
    }

private:
    void trimLineEnd() {
        while (!out_.empty() && (out_.back() == ' ' || out_.back() == '\t'))
            out_.pop_back();
    }
    std::string out_;
    bool pendingSpace_ = false;
};

bool isUrlChar(char c) {
    auto u = static_cast<unsigned char>(c);
    return u > 0x20 && c != '<' && c != '>' && c != '"' && c != '\'' && u != 0x7F;
}

bool isWordChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '.' || c == '/' || c == '@' || c == '-';
}

// Length of a URL starting at `i`, or 0.
std::size_t urlAt(const String& text, std::size_t i, bool& needsScheme) {
    std::string_view s = text.view();
    if (i > 0 && isWordChar(s[i - 1]))
        return 0;
    String rest = text.substring(static_cast<long>(i), 12);
    std::size_t prefix = 0;
    needsScheme = false;
    for (const char* p : {"https://", "http://", "ftp://", "mailto:"})
        if (rest.startsWithNoCase(p))
            prefix = std::string_view(p).size();
    if (!prefix && rest.startsWithNoCase("www.")) {
        prefix = 4;
        needsScheme = true;
    }
    if (!prefix)
        return 0;
    std::size_t end = i + prefix;
    while (end < s.size() && isUrlChar(s[end]))
        ++end;
    std::string_view url = s.substr(i, end - i);
    // Sentence punctuation after a link is not part of it.
    while (url.size() > prefix) {
        char last = url.back();
        if (last == '.' || last == ',' || last == ';' || last == ':' || last == '!' || last == '?' ||
            (last == ')' && url.find('(') == std::string_view::npos) || last == ']' || last == '}')
            url.remove_suffix(1);
        else
            break;
    }
    return url.size() > prefix + (needsScheme ? 1 : 0) ? url.size() : 0;
}

} // namespace

String HTMLConvert::toText(const String& html) {
    GumboOptions options = kGumboDefaultOptions;
    options.max_errors = 0; // error records only cost memory here
    std::unique_ptr<GumboOutput, OutputDeleter> parsed(
        gumbo_parse_with_options(&options, html.data(), static_cast<std::size_t>(html.length())));
    if (!parsed)
        return String();
    TextWriter w;
    struct Frame {
        const GumboVector* kids;
        unsigned next;
        std::string_view tag;
    };
    std::vector<Frame> stack{{&parsed->root->v.element.children, 0, "html"}};
    int preDepth = 0;
    while (!stack.empty()) {
        Frame& f = stack.back();
        if (f.next >= f.kids->length) {
            std::string_view tag = f.tag;
            stack.pop_back();
            if (tag == "pre")
                --preDepth;
            if (kParagraphs.count(tag))
                w.blankLine();
            else if (kBlocks.count(tag))
                w.lineBreak();
            else if (tag == "td" || tag == "th")
                w.raw("\t");
            continue;
        }
        auto* n = static_cast<const GumboNode*>(f.kids->data[f.next++]);
        if (n->type == GUMBO_NODE_TEXT || n->type == GUMBO_NODE_WHITESPACE || n->type == GUMBO_NODE_CDATA) {
            w.text(n->v.text.text, preDepth > 0);
            continue;
        }
        if (n->type != GUMBO_NODE_ELEMENT)
            continue;
        std::string_view tag = n->v.element.tag == GUMBO_TAG_UNKNOWN
                                   ? std::string_view()
                                   : gumbo_normalized_tagname(n->v.element.tag);
        if (kInvisible.count(tag))
            continue;
        if (tag == "br") {
            w.newline();
            continue;
        }
        if (tag == "hr") {
            w.lineBreak();
            continue;
        }
        if (kParagraphs.count(tag))
            w.blankLine();
        else if (kBlocks.count(tag))
            w.lineBreak();
        if (tag == "li")
            w.raw("- ");
        if (tag == "pre")
            ++preDepth;
        stack.push_back({&n->v.element.children, 0, tag});
    }
    return String(w.finish());
}

String HTMLConvert::toHTML(const String& text) {
    std::string out;
    std::string_view s = text.view();
    out.reserve(s.size() + s.size() / 4);
    for (std::size_t i = 0; i < s.size();) {
        bool needsScheme = false;
        if (std::size_t len = urlAt(text, i, needsScheme)) {
            String url(s.substr(i, len));
            String href = needsScheme ? "http://" + url : url;
            out += "<a href=\"";
            out += HTMLEncode::escape(href).str();
            out += "\">";
            out += HTMLEncode::escape(url).str();
            out += "</a>";
            i += len;
            continue;
        }
        char c = s[i];
        if (c == '\r' || c == '\n') {
            out += "<br>\n";
            i += (c == '\r' && i + 1 < s.size() && s[i + 1] == '\n') ? 2 : 1;
            continue;
        }
        if (c == '\t') {
            out += "&nbsp;&nbsp;&nbsp;&nbsp;";
        } else if (c == ' ' && ((i > 0 && s[i - 1] == ' ') || i == 0 || s[i - 1] == '\n')) {
            out += "&nbsp;"; // keeps runs of blanks and indentation visible
        } else {
            char buf[2] = {c, 0};
            out += c == '&' || c == '<' || c == '>' || c == '"' || c == '\'' ? HTMLEncode::escape(buf).str()
                                                                             : std::string(1, c);
        }
        ++i;
    }
    return String(std::move(out));
}

} // namespace Lattice
