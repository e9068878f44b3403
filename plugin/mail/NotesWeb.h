#pragma once
#include "Lattice/Containers.h"
#include "Lattice/String.h"

#include <cstddef>

namespace hxMail::hxNotesProvider::web {

// One answer of the Domino web task.
struct Response {
    long status = -1; // 0 for a 2xx answer, as Lattice::HTTP reports it
    Lattice::String bytes;

    // The answer as page text, all of it (zero bytes included), handed over rather than copied:
    // pages run to megabytes.
    Lattice::String takeText() { return std::move(bytes); }
};

// A GET through the framework's HTTP facility with the given header lines; the answer has `room`
// spare bytes for what its reader inserts.
Response get(const Lattice::String& url, const Lattice::Array<Lattice::String>& headers,
             std::size_t room = 0);

} // namespace hxMail::hxNotesProvider::web
