#include "mail/NotesWeb.h"

#include "Lattice/HTTP.h"

namespace hxMail::hxNotesProvider::web {

Response get(const Lattice::String& url, const Lattice::Array<Lattice::String>& headers, std::size_t room) {
    Response response;
    response.status = Lattice::HTTP::getText(url, headers, response.bytes, room);
    return response;
}

} // namespace hxMail::hxNotesProvider::web
