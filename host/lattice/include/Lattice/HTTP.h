#pragma once
#include "Lattice/Containers.h"
#include "Lattice/String.h"

namespace Lattice {

// Blocking HTTP GET for the host's components. Thread-safe: every call has its own connection.
// Only http and https are fetched, and redirects are not followed (a 3xx answer is returned as its
// status), so credentials never travel to another host. The framework setting "http.connectTo"
// ("host:port=address:port[,...]") sends requests for a host:port to another address, the way
// the host points server names at its Domino web task.
class HTTP {
public:
    struct Limits {
        long connectTimeoutMs = 5000;
        long totalTimeoutMs = 30000;
        long stallSeconds = 10; // abort when fewer than 1 byte/s arrive for this long
        // A page (text/html) longer than this is cut at a tag start below it and ends with a
        // visible note, "[This page is larger than 64 MB; the rest of it is not shown.]"; any
        // other answer longer than this is refused (-63).
        long maxBodyBytes = 64L * 1024 * 1024;
    };

    // Status for a request refused before any transfer: empty or non-http(s) URL, a header line
    // without a name or with a line break in it.
    static constexpr long kInvalidRequest = -1000;

    // GET `url` with extra header lines ("Name: value"). Returns the body bytes, NUL-terminated
    // for convenience, or null when nothing could be fetched. `length` gets the byte count.
    // `status` is 0 only for a 2xx answer (then the bytes are never null); otherwise the HTTP
    // status (301, 401, 404, 500...) and null, or, when no answer came, minus the transfer error
    // code (-7 refused, -28 timed out or stalled, -63 a body other than a page over the size limit...) or
    // kInvalidRequest. Both out-parameters may be null. The caller frees the bytes with
    // releaseBuffer().
    static char* returnGetWithHeaders(const String& url, const Array<String>& headers, long* length,
                                      long* status);
    static void releaseBuffer(char* bytes);
    // The same GET with the body straight into `body` (emptied first, and left empty unless the
    // status is 0), which then has room for `room` more bytes without growing: a page is never
    // copied, and its reader can insert into it in place. Returns the status as above.
    static long getText(const String& url, const Array<String>& headers, String& body, std::size_t room = 0);

    // Readable text of a status from returnGetWithHeaders (for diagnostics; carries no header).
    static String statusText(long status);

    // Process-wide; values below 1 fall back to the defaults.
    static void setLimits(const Limits& limits);
    static Limits limits();
};

} // namespace Lattice
