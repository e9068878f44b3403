// Rich-text records of a TYPE_COMPOSITE item beyond plain runs and paragraphs: styles, links,
// graphics and attachment references. Every record is {WORD signature, DWORD length including the
// 6-byte header, data}, little-endian; see the README for the table.
#pragma once

#include "values.h"

#include <string>
#include <string_view>
#include <vector>

namespace notes::ods {

constexpr WORD kCdStyle = 0x0086;         // BYTE flags, BYTE points, DWORD colour, face name
constexpr WORD kCdLinkBegin = 0x0087;     // data: the URL
constexpr WORD kCdLinkEnd = 0x0088;       // no data
constexpr WORD kCdGraphic = 0x0089;       // WORD width, WORD height, BYTE n, n bytes MIME type, image
constexpr WORD kCdAttachmentRef = 0x008A; // data: the attachment's file name

constexpr BYTE kStyleBold = 1;
constexpr BYTE kStyleItalic = 2;
constexpr BYTE kStyleUnderline = 4;
constexpr BYTE kStyleStrike = 8;
constexpr DWORD kDefaultColour = 0xFF000000;

struct RichTextElement {
    WORD kind = kCdText;
    std::string text;  // run text, URL, face, MIME type or attachment name
    std::string bytes; // graphic
    BYTE flags = 0, points = 0;
    DWORD colour = kDefaultColour;
    WORD width = 0, height = 0;

    friend bool operator==(const RichTextElement&, const RichTextElement&) = default;
};

// Records of unknown signatures are skipped; false when a record is cut short or malformed.
bool decodeRichText(std::string_view value, std::vector<RichTextElement>* out);
std::string encodeRichText(const std::vector<RichTextElement>& elements);
// The plain text of elements: runs, "\n" per paragraph break (links' text included).
std::string plainText(const std::vector<RichTextElement>& elements);

// The MIME type and size of a GIF, PNG or JPEG image from its bytes; false for anything else.
bool imageInfo(std::string_view bytes, std::string* mimeType, WORD* width, WORD* height);

} // namespace notes::ods
