#include "tasks/NoteProvider.h"

namespace hxMail::hxNotesProvider {

NoteProvider::~NoteProvider() = default;

// Notes keeps no free-form notes the host could map.
long NoteProvider::newNote(String, Lattice::Ptr<hxMail::Note>&) {
    return kNotSupported;
}

long NoteProvider::addNote(String, String, long) {
    return kNotSupported;
}

long NoteProvider::removeNote(String) {
    return kNotSupported;
}

long NoteProvider::saveNote(String, String, long, bool&) {
    return kNotSupported;
}

LATTICE_REGISTER_CLASS(NoteProvider);

} // namespace hxMail::hxNotesProvider
