#include "memo.h"

#include "elements.h"
#include "mimeparts.h"
#include "text.h"

namespace domino {

namespace {

// The first leaf part of `type` that is a body rather than an attached file.
std::optional<std::size_t> bodyPart(const std::vector<notes::mime::Part>& parts, const char* type) {
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (parts[i].contentType == type && !isAttachedPart(parts[i])) {
            return i;
        }
    }
    return std::nullopt;
}

} // namespace

std::string renderMimeBody(const notes::Note& note, const PageContext& ctx) {
    const auto parts = notes::mime::leafParts(note);
    if (const auto html = bodyPart(parts, "text/html")) {
        const std::string url = documentUrl(ctx) + "/Body/M" + std::to_string(*html) + "?OpenElement";
        return "<a href=\"" + htmlEscape(url) + "\">HTML</a>\n";
    }
    std::string text;
    if (const auto plain = bodyPart(parts, "text/plain")) {
        text = charsetToUtf8(parts[*plain].content, parts[*plain].charset);
    }
    // Without any text part the block stays, empty: readers then show an empty message.
    return "<pre>" + htmlEscape(text) + "</pre>\n";
}

std::string rewriteMetaCharset(std::string html) {
    std::string low = notes::lower(html);
    std::size_t pos = 0;
    for (;;) {
        const std::size_t meta = low.find("<meta", pos);
        const std::size_t end = meta == std::string::npos ? meta : low.find('>', meta);
        if (end == std::string::npos) {
            return html;
        }
        const std::size_t cs = low.find("charset=", meta);
        pos = end;
        if (cs == std::string::npos || cs > end) {
            continue;
        }
        std::size_t from = cs + 8;
        if (from < end && (html[from] == '"' || html[from] == '\'')) {
            ++from;
        }
        std::size_t to = from;
        while (to < end && std::string_view("\"'; \t\r\n/").find(html[to]) == std::string_view::npos) {
            ++to;
        }
        html.replace(from, to - from, "UTF-8");
        low.replace(from, to - from, "utf-8");
        pos = from + 5;
    }
}

} // namespace domino
