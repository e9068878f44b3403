// RFC 5322 dates from mail headers: any text either parses to a valid date that formats and
// parses back to itself, or is refused.
#include "Lattice/DateTimeUtil.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace Lattice;
    _DateTimeData v;
    if (!DateTimeUtil::parseSMTPDate(String(reinterpret_cast<const char*>(data), size), v))
        return 0;
    if (!DateTimeUtil::isValid(v))
        std::abort();
    String text = DateTimeUtil::getSMTPDateString(v);
    _DateTimeData back;
    if (!DateTimeUtil::parseSMTPDate(text, back) || !(back == v))
        std::abort();
    return 0;
}
