#pragma once
#include "Lattice/String.h"

namespace hxMail::hxNotesProvider {

// One embedded picture of a message body, shared by all messages of a provider.
struct _ContentIdStruct {
    Lattice::String reserved1;
    Lattice::String reserved2;
    Lattice::String sourcePath; // path on the Domino web server, as the body page references it
    Lattice::String contentId;
    Lattice::String hostUrl;
    bool replaced = false; // body references already point at hostUrl
};

} // namespace hxMail::hxNotesProvider
