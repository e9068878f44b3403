// Memo bodies built from files: pictures and attachments read from disk, shared by add-memo and
// the seed fixture.
#pragma once

#include "richtext.h"
#include "store.h"

#include <string>
#include <vector>

namespace nsfadmin {

// Reads a whole file (false when it cannot be read or is larger than maxBytes).
// A message may carry large files: add-mime reads up to this much.
inline constexpr std::size_t kMaxMessageBytes = std::size_t{512} << 20;
bool readWholeFile(const std::string& path, std::string* bytes, std::size_t maxBytes = 64u << 20);
// The last component of a path.
std::string baseName(const std::string& path);

// Adds a picture file to rich-text elements; a reason in *error when it is not a GIF, PNG or JPEG.
bool appendPicture(const std::string& path, std::vector<notes::ods::RichTextElement>* elements,
                   std::string* error);
// Reads an attachment file into files (name, bytes) and references it in the elements.
bool appendAttachment(const std::string& path, std::vector<notes::ods::RichTextElement>* elements,
                      std::vector<std::pair<std::string, std::string>>* files, std::string* error);

notes::ods::RichTextElement textRun(std::string text);
notes::ods::RichTextElement paragraphBreak();

} // namespace nsfadmin
