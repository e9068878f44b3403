// The web task's bodies from arbitrary stored data: rich-text records (first byte even) or a MIME
// message (first byte odd). Readers cut bodies out by markers, so a rendered body never ends the
// header table, starts the form fields, holds a script or links to one; it is valid UTF-8; rich
// text shows one picture per graphic record; a MIME body is one <pre> block or one link to its
// HTML part, and every part it can link to is served.
#include "elements.h"
#include "memo.h"
#include "mimeparts.h"
#include "richtext.h"
#include "text.h"

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

std::size_t count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++n;
    }
    return n;
}

void checkSafe(const std::string& html) {
    if (!domino::isValidUtf8(html) || html.find("</table>") != std::string::npos ||
        html.find("<input") != std::string::npos || html.find("<script") != std::string::npos) {
        std::abort();
    }
    for (std::size_t at = html.find("href=\""); at != std::string::npos; at = html.find("href=\"", at + 1)) {
        std::string url;
        for (std::size_t i = at + 6; i < html.size() && html[i] != '"'; ++i) {
            if (static_cast<unsigned char>(html[i]) > 0x20) {
                url.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(html[i]))));
            }
        }
        if (url.rfind("javascript:", 0) == 0 || url.rfind("vbscript:", 0) == 0 ||
            url.rfind("data:", 0) == 0) {
            std::abort();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);
    const domino::PageContext ctx{"/mail/jdoe.nsf", "($All)", std::string(32, 'A')};
    const std::string doc = "/mail/jdoe.nsf/($All)/" + ctx.unid;
    if (data[0] % 2 == 0) {
        const std::string html = domino::renderRichText(input, ctx);
        checkSafe(html);
        std::vector<notes::ods::RichTextElement> elements;
        notes::ods::decodeRichText(input, &elements);
        std::size_t graphics = 0;
        for (const auto& e : elements) {
            graphics += e.kind == notes::ods::kCdGraphic ? 1 : 0;
        }
        if (count(html, "src=\"/mail") != graphics) {
            std::abort();
        }
        return 0;
    }
    notes::mime::Message message;
    std::string error;
    std::vector<std::pair<WORD, std::string>> items;
    if (!notes::mime::parseMessage(input, &message, &error) ||
        notes::mime::encodeParts(message, &items) != NOERROR) {
        return 0;
    }
    notes::Note note;
    for (const auto& [partType, value] : items) {
        note.append("Body", TYPE_MIME_PART, 0, value);
    }
    note.append("$NoteHasNativeMIME", TYPE_TEXT, 0, "1");
    const std::string html = domino::renderMimeBody(note, ctx);
    checkSafe(html);
    const bool pre = html.rfind("<pre>", 0) == 0 && count(html, "<pre>") == 1 && count(html, "</pre>") == 1 &&
                     html.find("</pre>\n") == html.size() - 7;
    const bool link = html.rfind("<a href=\"" + doc + "/Body/M", 0) == 0 &&
                      count(html, "href=\"/mail") == 1 && html.find("<pre>") == std::string::npos;
    if (pre == link) {
        std::abort();
    }
    const std::size_t leaves = notes::mime::leafParts(note).size();
    for (std::size_t k = 0; k <= leaves; ++k) {
        const auto part = domino::mimeElement(note, k);
        if (part.has_value() != (k < leaves) ||
            (part && part->contentType.find("charset=UTF-8") != std::string::npos &&
             !domino::isValidUtf8(part->bytes))) {
            std::abort();
        }
    }
    return 0;
}
