#pragma once
#include "Lattice/String.h"
#include "hxMail/Message.h"
#include "notes/capi.h"

#include <map>

namespace hxMail::hxNotesProvider {

class NotesDatabase;

// Names already looked up in the directory, for the provider's life: opening a message asks for
// the same senders and recipients again and again. Every entry goes as soon as the directory has
// changed, checked once per operation through the directory's modified-note table.
class NotesNameCache {
public:
    // Called at the start of an operation (generation counts them): on the first lookup of each
    // operation the directory is asked whether anything changed since the last check.
    void beginOperation() { ++generation_; }

    // A new copy of the remembered recipient, for the caller to hold; null with `known` false when
    // the name was never looked up, null with `known` true when it was and names nobody.
    hxMail::Recipient* find(const Lattice::String& name, NotesDatabase* directory, bool& known);
    void remember(const Lattice::String& name, const hxMail::Recipient* recipient);
    void clear() { entries_.clear(); }

private:
    void validate(NotesDatabase* directory);

    std::map<Lattice::String, Lattice::Ptr<hxMail::Recipient>> entries_;
    unsigned long generation_ = 0;
    unsigned long checkedGeneration_ = 0;
    TIMEDATE checkedUntil_{};
    bool haveCheck_ = false;
};

} // namespace hxMail::hxNotesProvider
