#pragma once
#include "Lattice/Containers.h"
#include "Lattice/String.h"

namespace Lattice {

// Blocking HTTP GET for the host's components.
class HTTP {
public:
    struct Limits {
        long connectTimeoutMs = 5000;
        long totalTimeoutMs = 30000;
        long stallSeconds = 10; // abort when fewer than 1 byte/s arrive for this long
        long maxBodyBytes = 64L * 1024 * 1024;
    };

    // GET `url` with extra header lines ("Name: value"). Returns the body bytes, NUL-terminated
    // for convenience, or null when nothing could be fetched. `length` gets the byte count.
    // `status` is 0 only for a 2xx answer; otherwise the HTTP status (401, 404, 500...) or, when
    // no answer came, a negative transport code. The caller frees the bytes with releaseBuffer().
    static char* returnGetWithHeaders(const String& url, const Array<String>& headers, long* length,
                                      long* status);
    static void releaseBuffer(char* bytes);

    static void setLimits(const Limits& limits);
    static Limits limits();
};

} // namespace Lattice
