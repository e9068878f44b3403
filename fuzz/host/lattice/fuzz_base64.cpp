// Base64 from the wire: decoding never fails loudly, and whatever decodes re-encodes to the
// same text once line breaks are dropped.
#include "Lattice/Util.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace Lattice;
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::vector<char> bytes;
    if (BaseObject64::decode(String(input), bytes)) {
        std::string bare;
        for (char c : input)
            if (c != '\r' && c != '\n')
                bare += c;
        if (BaseObject64::encode(bytes.data(), static_cast<long>(bytes.size())).str() != bare)
            std::abort();
    }
    // Every byte string survives the round trip.
    std::vector<char> back;
    String coded = BaseObject64::encode(input.data(), static_cast<long>(input.size()));
    if (!BaseObject64::decode(coded, back) || std::string(back.begin(), back.end()) != input)
        std::abort();
    return 0;
}
