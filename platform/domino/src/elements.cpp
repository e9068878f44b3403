#include "elements.h"

#include "attachments.h"
#include "memo.h"
#include "richtext.h"
#include "text.h"

#include <algorithm>
#include <cctype>

namespace domino {

namespace {

// File names are ISO-8859-1: accented capitals fold too.
bool sameFileName(std::string_view a, std::string_view b) {
    auto fold = [](char ch) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) {
            return static_cast<unsigned char>(c + 0x20);
        }
        return c;
    };
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (fold(a[i]) != fold(b[i])) {
            return false;
        }
    }
    return true;
}

bool isNativeMime(const notes::Note& note) {
    return note.find("$NoteHasNativeMIME") != nullptr;
}

} // namespace

bool isAttachedPart(const notes::mime::Part& part) {
    // A named part shown inline is still a file, not text of the message.
    return !part.fileName.empty() || part.disposition == "attachment";
}

std::optional<Resource> pictureElement(const notes::Note& note, std::size_t index) {
    const notes::Item* body = note.find("Body");
    if (isNativeMime(note) || body == nullptr || body->type != TYPE_COMPOSITE) {
        return std::nullopt;
    }
    std::vector<notes::ods::RichTextElement> elements;
    notes::ods::decodeRichText(body->value, &elements); // pictures before damage still count
    std::size_t k = 0;
    for (auto& e : elements) {
        if (e.kind != notes::ods::kCdGraphic || k++ != index) {
            continue;
        }
        // Only image types: a stored type must not make the mail server's origin serve a page.
        const std::string type = notes::lower(e.text);
        const bool image = type == "image/gif" || type == "image/png" || type == "image/jpeg";
        return Resource{image ? type : "application/octet-stream", std::move(e.bytes), {}};
    }
    return std::nullopt;
}

std::optional<Resource> mimeElement(notes::Note& note, std::size_t leaf) {
    if (!isNativeMime(note)) {
        return std::nullopt;
    }
    auto parts = notes::mime::leafParts(note);
    if (leaf >= parts.size()) {
        return std::nullopt;
    }
    notes::mime::Part& part = parts[leaf];
    if (part.inObject) { // a file part's bytes are its attachment's (the names are unique)
        for (const notes::Item& item : note.items) {
            notes::files::FileObject file;
            if (notes::files::isFileItem(item) && notes::files::decode(item.value, &file) &&
                file.name == part.fileName) {
                if (notes::files::bytesOf(note, item, &part.content) != NOERROR) {
                    return std::nullopt;
                }
                break;
            }
        }
    }
    Resource r;
    if (part.contentType == "text/html" || part.contentType == "text/plain") {
        std::string text = charsetToUtf8(part.content, part.charset);
        r.bytes = part.contentType == "text/html" ? rewriteMetaCharset(std::move(text)) : std::move(text);
        r.contentType = part.contentType + "; charset=UTF-8";
    } else {
        // Anything else is served as bytes to save, never as something a browser would run.
        r.bytes = std::move(part.content);
        r.contentType =
            part.contentType.rfind("image/", 0) == 0 ? part.contentType : "application/octet-stream";
    }
    if (isAttachedPart(part)) {
        r.fileName = part.fileName.empty() ? "part" + std::to_string(leaf) : part.fileName;
        // The stored name is data; the name a browser saves under has no folders in it.
        std::replace(r.fileName.begin(), r.fileName.end(), '/', '_');
        std::replace(r.fileName.begin(), r.fileName.end(), '\\', '_');
    }
    return r;
}

std::optional<Resource> attachedFile(notes::Note& note, const std::string& name) {
    // Links carry the stored (ISO-8859-1) name; a browser may send the same name as UTF-8.
    const std::string latin1 = utf8ToLatin1IfPossible(name);
    const notes::Item* found = nullptr;
    notes::files::FileObject file;
    for (const notes::Item& item : note.items) {
        notes::files::FileObject f;
        if (!notes::files::isFileItem(item) || !notes::files::decode(item.value, &f)) {
            continue;
        }
        if (f.name == name || f.name == latin1) {
            found = &item, file = f;
            break; // an exact match wins over one that ignores case
        }
        if (found == nullptr && (sameFileName(f.name, name) || sameFileName(f.name, latin1))) {
            found = &item, file = f;
        }
    }
    std::string bytes;
    // A file listed without stored bytes has nothing to download.
    if (found == nullptr || file.objectId == 0 || notes::files::bytesOf(note, *found, &bytes) != NOERROR) {
        return std::nullopt;
    }
    return Resource{mimeTypeOfFileName(file.name), std::move(bytes), file.name};
}

std::string contentDisposition(const std::string& fileName) {
    // A plain ASCII name for old clients, the exact one (RFC 5987) for the rest; nothing a name
    // holds can end the quoted string or add a header.
    std::string ascii, exact;
    static const char* hex = "0123456789ABCDEF";
    for (char ch : fileName) {
        const auto c = static_cast<unsigned char>(ch);
        ascii.push_back(c < 0x20 || c >= 0x7F || c == '"' || c == '\\' ? '_' : ch);
    }
    for (char ch : latin1ToUtf8(fileName)) {
        const auto c = static_cast<unsigned char>(ch);
        if (std::isalnum(c) || std::string_view("!#$&+-.^_`|~").find(ch) != std::string_view::npos) {
            exact.push_back(ch);
        } else {
            exact += {'%', hex[c >> 4], hex[c & 15]};
        }
    }
    return "attachment; filename=\"" + ascii + "\"; filename*=UTF-8''" + exact;
}

std::string mimeTypeOfFileName(const std::string& fileName) {
    static const std::pair<const char*, const char*> types[] = {
        {"txt", "text/plain"},
        {"htm", "text/html"},
        {"html", "text/html"},
        {"csv", "text/csv"},
        {"xml", "application/xml"},
        {"pdf", "application/pdf"},
        {"zip", "application/zip"},
        {"gif", "image/gif"},
        {"png", "image/png"},
        {"jpg", "image/jpeg"},
        {"jpeg", "image/jpeg"},
        {"bmp", "image/bmp"},
        {"vcf", "text/vcard"},
        {"ics", "text/calendar"},
        {"doc", "application/msword"},
        {"xls", "application/vnd.ms-excel"},
        {"ppt", "application/vnd.ms-powerpoint"},
        {"docx", "application/vnd.openxmlformats-officedocument.wordprocessingml.document"},
        {"xlsx", "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet"},
        {"pptx", "application/vnd.openxmlformats-officedocument.presentationml.presentation"},
    };
    const std::size_t dot = fileName.rfind('.');
    if (dot != std::string::npos) {
        const std::string ext = fileName.substr(dot + 1);
        for (const auto& [e, type] : types) {
            if (equalsNoCase(ext, e)) {
                return type;
            }
        }
    }
    return "application/octet-stream";
}

} // namespace domino
