#include "mail/NotesWeb.h"

#include "Lattice/HTTP.h"

namespace hxMail::hxNotesProvider::web {

Response get(const Lattice::String& url, const Lattice::Array<Lattice::String>& headers) {
    Response response;
    long length = 0;
    char* bytes = Lattice::HTTP::returnGetWithHeaders(url, headers, &length, &response.status);
    if (bytes) {
        response.bytes = Lattice::String(bytes, length > 0 ? static_cast<std::size_t>(length) : 0);
        Lattice::HTTP::releaseBuffer(bytes);
    }
    return response;
}

} // namespace hxMail::hxNotesProvider::web
