// Date and time texts as the class library and the C API take them: a text either parses or is
// refused; what parses formats to a text that parses to the same fields, and the stored TIMEDATE
// made from them reads back to the same moment.
#include "values.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    notes::Fields f;
    if (!notes::parseDatetime(text, &f)) {
        return 0;
    }
    if (f.hasDate && !notes::validDate(f.year, f.month, f.day)) {
        std::abort();
    }
    const std::string formatted = notes::formatDatetime(f);
    notes::Fields again;
    if (!notes::parseDatetime(formatted, &again) || again.hasDate != f.hasDate ||
        again.hasTime != f.hasTime ||
        (f.hasDate && (again.year != f.year || again.month != f.month || again.day != f.day)) ||
        (f.hasTime && (again.hour != f.hour || again.minute != f.minute || again.second != f.second))) {
        std::abort();
    }
    const TIMEDATE td = notes::fieldsToTimedate(f);
    const notes::Fields back = notes::fieldsFromTimedate(td);
    if (f.hasDate && f.hasTime &&
        notes::ticksFromTimedate(notes::fieldsToTimedate(back)) != notes::ticksFromTimedate(td)) {
        std::abort();
    }
    return 0;
}
