#include "memo.h"

#include "richtext.h"
#include "text.h"

#include <cctype>
#include <cstdio>

namespace domino {

namespace {

struct RunStyle {
    BYTE flags = 0;
    BYTE points = 0;
    DWORD colour = notes::ods::kDefaultColour;
    std::string face;
};

// The HTML font sizes 1..7 by point size, as browsers map them back.
int htmlFontSize(int points) {
    static const int limits[] = {8, 10, 12, 14, 18, 24};
    for (int i = 0; i < 6; ++i) {
        if (points <= limits[i]) {
            return i + 1;
        }
    }
    return 7;
}

// Links keep only schemes that navigate; script and data URLs (however disguised by blanks or
// case) would run in the reader's session, so they render as their text alone.
bool navigableUrl(std::string_view url) {
    std::string squeezed;
    for (char c : url) {
        const auto u = static_cast<unsigned char>(c);
        if (u > 0x20 && u != 0x7F) {
            squeezed.push_back(static_cast<char>(std::tolower(u)));
        }
    }
    const std::size_t end = squeezed.find_first_of(":/?#");
    if (end == std::string::npos || squeezed[end] != ':') {
        return !squeezed.empty(); // relative
    }
    const std::string scheme = squeezed.substr(0, end);
    for (const char* ok : {"http", "https", "mailto", "ftp", "news", "notes"}) {
        if (scheme == ok) {
            return true;
        }
    }
    return false;
}

// Writes paragraphs; a link open across a paragraph break is closed and reopened so that the
// elements nest.
class RichTextWriter {
public:
    explicit RichTextWriter(const PageContext& ctx) : documentUrl_(documentUrl(ctx)) {}

    void text(const std::string& latin1) {
        if (latin1.empty()) {
            return;
        }
        std::string open, close;
        if (style_.points != 0 || style_.colour != notes::ods::kDefaultColour || !style_.face.empty()) {
            open += "<font";
            if (!style_.face.empty()) {
                open += " face=\"" + htmlEscape(latin1ToUtf8(style_.face)) + "\"";
            }
            if (style_.points != 0) {
                open += " size=\"" + std::to_string(htmlFontSize(style_.points)) + "\"";
            }
            if (style_.colour != notes::ods::kDefaultColour) {
                char rgb[8];
                std::snprintf(rgb, sizeof rgb, "%06X", static_cast<unsigned>(style_.colour & 0xFFFFFF));
                open += std::string(" color=\"#") + rgb + "\"";
            }
            open += ">";
            close = "</font>";
        }
        static const std::pair<BYTE, const char*> tags[] = {{notes::ods::kStyleBold, "b"},
                                                            {notes::ods::kStyleItalic, "i"},
                                                            {notes::ods::kStyleUnderline, "u"},
                                                            {notes::ods::kStyleStrike, "s"}};
        for (const auto& [bit, tag] : tags) {
            if (style_.flags & bit) {
                open += std::string("<") + tag + ">";
                close = std::string("</") + tag + ">" + close;
            }
        }
        content(open + htmlEscape(latin1ToUtf8(latin1)) + close);
    }

    void style(const RunStyle& s) { style_ = s; }

    void linkBegin(const std::string& url) {
        linkEnd();
        if (navigableUrl(url)) {
            link_ = "<a href=\"" + htmlEscape(latin1ToUtf8(url)) + "\">";
            paragraph_ += link_;
        }
    }

    void linkEnd() {
        if (!link_.empty()) {
            paragraph_ += "</a>";
            link_.clear();
        }
    }

    void graphic(WORD width, WORD height) {
        std::string img = "<img src=\"" + htmlEscape(documentUrl_) + "/Body/0." +
                          std::to_string(pictures_++) + "?OpenElement\"";
        if (width > 0 && height > 0) {
            img += " width=\"" + std::to_string(width) + "\" height=\"" + std::to_string(height) + "\"";
        }
        content(img + ">");
    }

    void attachment(const std::string& fileName) {
        // A file link inside another link would not nest.
        const std::string reopen = link_;
        linkEnd();
        content("<a href=\"" + htmlEscape(documentUrl_ + "/$FILE/" + percentEncode(fileName)) + "\">" +
                htmlEscape(latin1ToUtf8(fileName)) + "</a>");
        if (!reopen.empty()) {
            link_ = reopen;
            paragraph_ += link_;
        }
    }

    void paragraph() {
        const std::string reopen = link_;
        linkEnd();
        out_ += hasContent_ ? "<p>" + paragraph_ + "</p>\n" : "<p><br></p>\n";
        paragraph_ = reopen;
        link_ = reopen;
        hasContent_ = false;
    }

    std::string finish() {
        linkEnd();
        if (hasContent_) {
            out_ += "<p>" + paragraph_ + "</p>\n";
        }
        return std::move(out_);
    }

private:
    void content(const std::string& html) {
        paragraph_ += html;
        hasContent_ = true;
    }

    std::string documentUrl_;
    std::string out_, paragraph_;
    std::string link_; // the open link's start tag; empty when none is open
    RunStyle style_;
    bool hasContent_ = false;
    std::size_t pictures_ = 0;
};

} // namespace

std::string renderRichText(const std::string& value, const PageContext& ctx) {
    std::vector<notes::ods::RichTextElement> elements;
    // A damaged record ends the body; what came before it is still shown.
    notes::ods::decodeRichText(value, &elements);
    RichTextWriter writer(ctx);
    for (const auto& e : elements) {
        switch (e.kind) {
        case notes::ods::kCdText:
            writer.text(e.text);
            break;
        case notes::ods::kCdParagraph:
            writer.paragraph();
            break;
        case notes::ods::kCdStyle:
            writer.style({e.flags, e.points, e.colour, e.text});
            break;
        case notes::ods::kCdLinkBegin:
            writer.linkBegin(e.text);
            break;
        case notes::ods::kCdLinkEnd:
            writer.linkEnd();
            break;
        case notes::ods::kCdGraphic:
            writer.graphic(e.width, e.height);
            break;
        case notes::ods::kCdAttachmentRef:
            writer.attachment(e.text);
            break;
        default:
            break; // kinds this web task does not show
        }
    }
    return writer.finish();
}

} // namespace domino
