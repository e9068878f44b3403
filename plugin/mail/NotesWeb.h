#pragma once
#include "Lattice/Containers.h"
#include "Lattice/String.h"

namespace hxMail::hxNotesProvider::web {

// One answer of the Domino web task.
struct Response {
    long status = -1; // 0 for a 2xx answer, as Lattice::HTTP reports it
    Lattice::String bytes;

    // The answer as page text, all of it (zero bytes included), handed over rather than copied:
    // pages run to megabytes.
    Lattice::String takeText() { return std::move(bytes); }
};

// A GET through the framework's HTTP facility with the given header lines.
Response get(const Lattice::String& url, const Lattice::Array<Lattice::String>& headers);

} // namespace hxMail::hxNotesProvider::web
