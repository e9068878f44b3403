// Rich-text records of a stored "Body" from arbitrary bytes: decoding either succeeds or refuses,
// what decodes encodes back to records that decode to the same elements, and the plain text and
// picture probe never read past their input.
#include "richtext.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view value(reinterpret_cast<const char*>(data), size);
    std::vector<notes::ods::RichTextElement> elements;
    if (notes::ods::decodeRichText(value, &elements)) {
        const std::string plain = notes::ods::plainText(elements);
        std::vector<notes::ods::RichTextElement> again;
        if (!notes::ods::decodeRichText(notes::ods::encodeRichText(elements), &again) || again != elements ||
            notes::ods::plainText(again) != plain) {
            std::abort();
        }
    }
    std::string type;
    WORD width = 0, height = 0;
    notes::ods::imageInfo(value, &type, &width, &height);
    return 0;
}
