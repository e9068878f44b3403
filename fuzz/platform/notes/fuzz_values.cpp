// Item values as stored (text lists, number ranges, time ranges, note references, plain rich text)
// from arbitrary bytes: the first byte picks the item type, the rest is the value. A value that
// decodes encodes back to one that decodes the same, and the text view of any value is safe.
#include "values.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr WORD kTypes[] = {TYPE_TEXT, TYPE_TEXT_LIST,  TYPE_NUMBER,       TYPE_NUMBER_RANGE,
                           TYPE_TIME, TYPE_TIME_RANGE, TYPE_NOTEREF_LIST, TYPE_COMPOSITE};

bool sameNumbers(const std::vector<double>& a, const std::vector<double>& b) {
    // Bit for bit: NaNs of any payload must survive.
    return a.size() == b.size() &&
           (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const WORD type = kTypes[data[0] % (sizeof kTypes / sizeof kTypes[0])];
    const std::string_view value(reinterpret_cast<const char*>(data) + 1, size - 1);

    std::vector<std::string> texts;
    if (notes::ods::decodeText(type, value, &texts) && type == TYPE_TEXT_LIST) {
        std::vector<std::string> again;
        if (!notes::ods::decodeText(TYPE_TEXT_LIST, notes::ods::encodeTextList(texts), &again) ||
            again != texts) {
            std::abort();
        }
    }
    std::vector<double> numbers;
    if (notes::ods::decodeNumbers(type, value, &numbers) && type == TYPE_NUMBER_RANGE) {
        std::vector<double> again;
        if (!notes::ods::decodeNumbers(TYPE_NUMBER_RANGE, notes::ods::encodeNumbers(numbers), &again) ||
            !sameNumbers(again, numbers)) {
            std::abort();
        }
    }
    std::vector<TIMEDATE> times;
    std::vector<TIMEDATE_PAIR> ranges;
    if (notes::ods::decodeTimes(type, value, &times, &ranges) && type == TYPE_TIME_RANGE) {
        std::vector<TIMEDATE> t2;
        std::vector<TIMEDATE_PAIR> r2;
        if (!notes::ods::decodeTimes(TYPE_TIME_RANGE, notes::ods::encodeTimes(times, ranges), &t2, &r2) ||
            t2.size() != times.size() || r2.size() != ranges.size()) {
            std::abort();
        }
    }
    std::vector<UNID> refs;
    if (notes::ods::decodeNoteRefs(value, &refs)) {
        std::vector<UNID> again;
        if (!notes::ods::decodeNoteRefs(notes::ods::encodeNoteRefs(refs), &again) ||
            again.size() != refs.size()) {
            std::abort();
        }
    }
    std::string plain;
    notes::ods::decodeRichTextPlain(value, &plain);
    notes::ods::toText(type, value, "; ");
    return 0;
}
