// What a memo page links to below its document: the embedded pictures of a rich-text "Body", the
// leaf parts of a native MIME body, and the files attached to the note.
#pragma once

#include "mimeparts.h"
#include "store.h"

#include <cstddef>
#include <optional>
#include <string>

namespace domino {

struct Resource {
    std::string contentType;
    std::string bytes;
    std::string fileName; // set: offered as a download under this name
};

// Picture `index` (from 0, in rich-text order) of the "Body" item.
std::optional<Resource> pictureElement(const notes::Note& note, std::size_t index);
// MIME leaf part `leaf` (from 0, in stored order) when it is HTML or text, as UTF-8.
std::optional<Resource> mimeElement(notes::Note& note, std::size_t leaf);
// The "$FILE" attachment called `name` (ignoring case), with its stored bytes.
std::optional<Resource> attachedFile(notes::Note& note, const std::string& name);

// A MIME leaf part that is an attached file rather than text of the message.
bool isAttachedPart(const notes::mime::Part& part);

// A Content-Disposition value that offers `fileName` (ISO-8859-1) as a download.
std::string contentDisposition(const std::string& fileName);
// A MIME type from a file name's extension; application/octet-stream when unknown.
std::string mimeTypeOfFileName(const std::string& fileName);

} // namespace domino
