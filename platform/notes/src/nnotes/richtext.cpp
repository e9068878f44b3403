// Rich-text records beyond plain runs: see richtext.h.
#include "richtext.h"
#include "byteio.h"

#include <cstring>

namespace notes::ods {
namespace {

using byteio::get;
using byteio::put;

void record(std::string& out, WORD signature, std::string_view data) {
    put(out, signature);
    put(out, static_cast<DWORD>(6 + data.size()));
    out.append(data);
}

} // namespace

bool decodeRichText(std::string_view value, std::vector<RichTextElement>* out) {
    out->clear();
    std::size_t pos = 0;
    while (pos < value.size()) {
        WORD sig = 0;
        DWORD length = 0;
        const std::size_t start = pos;
        if (!get(value, pos, &sig) || !get(value, pos, &length) || length < 6 ||
            length > value.size() - start) {
            return false;
        }
        const std::string_view data = value.substr(pos, length - 6);
        pos = start + length;
        RichTextElement e;
        e.kind = sig;
        std::size_t at = 0;
        switch (sig) {
        case kCdText:
        case kCdLinkBegin:
        case kCdAttachmentRef:
            e.text = std::string(data);
            break;
        case kCdParagraph:
        case kCdLinkEnd:
            break;
        case kCdStyle:
            if (!get(data, at, &e.flags) || !get(data, at, &e.points) || !get(data, at, &e.colour)) {
                return false;
            }
            e.text = std::string(data.substr(at));
            break;
        case kCdGraphic: {
            BYTE n = 0;
            if (!get(data, at, &e.width) || !get(data, at, &e.height) || !get(data, at, &n) ||
                at + n > data.size()) {
                return false;
            }
            e.text = std::string(data.substr(at, n));
            e.bytes = std::string(data.substr(at + n));
            break;
        }
        default:
            continue; // a record of a kind this reader does not know
        }
        out->push_back(std::move(e));
    }
    return true;
}

std::string encodeRichText(const std::vector<RichTextElement>& elements) {
    std::string out;
    for (const RichTextElement& e : elements) {
        switch (e.kind) {
        case kCdText:
        case kCdLinkBegin:
        case kCdAttachmentRef:
            record(out, e.kind, e.text);
            break;
        case kCdParagraph:
        case kCdLinkEnd:
            record(out, e.kind, {});
            break;
        case kCdStyle: {
            std::string data;
            put(data, e.flags);
            put(data, e.points);
            put(data, e.colour);
            data += e.text;
            record(out, e.kind, data);
            break;
        }
        case kCdGraphic: {
            std::string data;
            put(data, e.width);
            put(data, e.height);
            const std::string type = e.text.substr(0, 255);
            put(data, static_cast<BYTE>(type.size()));
            data += type;
            data += e.bytes;
            record(out, e.kind, data);
            break;
        }
        default:
            break;
        }
    }
    return out;
}

std::string plainText(const std::vector<RichTextElement>& elements) {
    std::string out;
    for (const RichTextElement& e : elements) {
        if (e.kind == kCdText) {
            out += e.text;
        } else if (e.kind == kCdParagraph) {
            out += '\n';
        }
    }
    return out;
}

bool imageInfo(std::string_view bytes, std::string* mimeType, WORD* width, WORD* height) {
    auto byteAt = [&](std::size_t i) { return static_cast<unsigned>(static_cast<unsigned char>(bytes[i])); };
    if (bytes.size() >= 10 && (bytes.substr(0, 6) == "GIF87a" || bytes.substr(0, 6) == "GIF89a")) {
        *mimeType = "image/gif";
        *width = static_cast<WORD>(byteAt(6) | byteAt(7) << 8);
        *height = static_cast<WORD>(byteAt(8) | byteAt(9) << 8);
        return true;
    }
    if (bytes.size() >= 24 && bytes.substr(0, 8) == "\x89PNG\r\n\x1a\n" && bytes.substr(12, 4) == "IHDR") {
        const auto be32 = [&](std::size_t i) {
            return byteAt(i) << 24 | byteAt(i + 1) << 16 | byteAt(i + 2) << 8 | byteAt(i + 3);
        };
        if (be32(16) > 0xFFFF || be32(20) > 0xFFFF) {
            return false;
        }
        *mimeType = "image/png";
        *width = static_cast<WORD>(be32(16));
        *height = static_cast<WORD>(be32(20));
        return true;
    }
    if (bytes.size() >= 4 && byteAt(0) == 0xFF && byteAt(1) == 0xD8) {
        // Walk the segments to a start-of-frame marker, which holds the size.
        std::size_t pos = 2;
        while (pos + 9 < bytes.size() && byteAt(pos) == 0xFF) {
            const unsigned marker = byteAt(pos + 1);
            const std::size_t length = byteAt(pos + 2) << 8 | byteAt(pos + 3);
            if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
                *mimeType = "image/jpeg";
                *height = static_cast<WORD>(byteAt(pos + 5) << 8 | byteAt(pos + 6));
                *width = static_cast<WORD>(byteAt(pos + 7) << 8 | byteAt(pos + 8));
                return true;
            }
            if (length < 2) {
                return false;
            }
            pos += 2 + length;
        }
    }
    return false;
}

} // namespace notes::ods
