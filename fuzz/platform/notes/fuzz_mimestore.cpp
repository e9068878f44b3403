// Storing any input as a MIME memo and exporting it again: either it is refused with a reason (only
// an empty input is), or the export gives back every byte, and reading its leaves never fails.
#include "mailgen.h"
#include "mimeparts.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view eml(reinterpret_cast<const char*>(data), size);
    notes::mail::Message m;
    std::string error;
    if (notes::mime::storeMessage(eml, &m, &error) != NOERROR) {
        if (error.empty() || !eml.empty()) {
            std::abort();
        }
        return 0;
    }
    notes::Note note;
    notes::mail::fill(m, &note);
    std::string back;
    const STATUS s = notes::mime::exportMessage(note, [&](std::string_view piece) {
        back += piece;
        return true;
    });
    if (s != NOERROR || back != eml) {
        std::abort();
    }
    for (const notes::mime::Part& part : notes::mime::leafParts(note)) {
        if (part.inObject && part.fileName.empty()) {
            std::abort();
        }
    }
    return 0;
}
