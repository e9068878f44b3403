// Stored records to memory form. Records are stored little-endian and packed, which is also their
// memory form on the machines the stand-in runs on, so reading is a copy.
#include "values.h"

#include <cstring>

extern "C" WORD ODSLength(WORD type) {
    switch (type) {
    case _MIME_PART:
        return static_cast<WORD>(sizeof(MIME_PART));
    default:
        return 0;
    }
}

extern "C" void ODSReadMemory(void** ppSrc, WORD type, void* pDest, WORD iterations) {
    const WORD length = ODSLength(type);
    if (ppSrc == nullptr || *ppSrc == nullptr || length == 0) {
        return;
    }
    auto* src = static_cast<char*>(*ppSrc);
    if (pDest != nullptr) {
        std::memcpy(pDest, src, static_cast<std::size_t>(length) * iterations);
    }
    *ppSrc = src + static_cast<std::size_t>(length) * iterations;
}
