#include "tasks/NotesNote.h"

namespace hxMail::hxNotesProvider {

NotesNote::~NotesNote() = default;

LATTICE_REGISTER_CLASS(NotesNote);

} // namespace hxMail::hxNotesProvider
