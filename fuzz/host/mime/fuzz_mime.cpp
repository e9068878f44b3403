// Arbitrary bytes as a message and as a single part: decoding, walking, re-encoding and decoding
// the result again must never crash, hang or leak.
#include "hxMime/Mime.h"

#include <cstddef>
#include <cstdint>

using namespace hxMailLib::Mime;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 256 * 1024)
        return 0;
    Lattice::String text(reinterpret_cast<const char*>(data), size);

    Email email;
    if (email.decodeFromString(text)) {
        email.getSubject();
        email.getOrigDate();
        for (const auto& leaf : email.getLeaves()) {
            leaf->getText();
            leaf->getFileName();
            leaf->getContentType().toString();
        }
        Email again;
        again.decodeFromString(email.encodeToString());
        again.encodeHeadersToString();
    }

    Lattice::Ptr<MimeBase> part = MimeBase::decodeMimeFromString(text);
    if (part)
        part->encodeToString();
    ContentType type(text.left(512));
    type.toString();
    return 0;
}
