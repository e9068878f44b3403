#include "Lattice/Util.h"

#include <string_view>

namespace Lattice {

namespace {

struct MimeEntry {
    std::string_view extension;
    const char* type;
};

constexpr MimeEntry kMimeTypes[] = {
    {"txt", "text/plain"},
    {"htm", "text/html"},
    {"html", "text/html"},
    {"css", "text/css"},
    {"csv", "text/csv"},
    {"xml", "text/xml"},
    {"json", "application/json"},
    {"js", "text/javascript"},
    {"pdf", "application/pdf"},
    {"rtf", "application/rtf"},
    {"doc", "application/msword"},
    {"docx", "application/vnd.openxmlformats-officedocument.wordprocessingml.document"},
    {"xls", "application/vnd.ms-excel"},
    {"xlsx", "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet"},
    {"ppt", "application/vnd.ms-powerpoint"},
    {"pptx", "application/vnd.openxmlformats-officedocument.presentationml.presentation"},
    {"odt", "application/vnd.oasis.opendocument.text"},
    {"ods", "application/vnd.oasis.opendocument.spreadsheet"},
    {"odp", "application/vnd.oasis.opendocument.presentation"},
    {"zip", "application/zip"},
    {"gz", "application/gzip"},
    {"tar", "application/x-tar"},
    {"7z", "application/x-7z-compressed"},
    {"png", "image/png"},
    {"gif", "image/gif"},
    {"jpg", "image/jpeg"},
    {"jpeg", "image/jpeg"},
    {"bmp", "image/bmp"},
    {"tif", "image/tiff"},
    {"tiff", "image/tiff"},
    {"svg", "image/svg+xml"},
    {"ico", "image/vnd.microsoft.icon"},
    {"webp", "image/webp"},
    {"mp3", "audio/mpeg"},
    {"wav", "audio/wav"},
    {"ogg", "audio/ogg"},
    {"mp4", "video/mp4"},
    {"mov", "video/quicktime"},
    {"avi", "video/x-msvideo"},
    {"eml", "message/rfc822"},
    {"ics", "text/calendar"},
    {"vcf", "text/x-vcard"},
    {"nsf", "application/vnd.lotus-notes"},
    {"exe", "application/octet-stream"},
    {"dll", "application/octet-stream"},
};

} // namespace

String StringUtil::computeMimeType(const String& fileName) {
    // Only a dot in the last path element starts an extension.
    long slash = std::max(fileName.findLast('/'), fileName.findLast('\\'));
    long dot = fileName.findLast('.');
    String extension = dot > slash ? fileName.substring(dot + 1) : fileName.substring(slash + 1);
    if (extension.isEmpty())
        return String();
    for (const auto& entry : kMimeTypes) {
        if (extension.equalsNoCase(String(entry.extension)))
            return String(entry.type);
    }
    return String();
}

} // namespace Lattice
