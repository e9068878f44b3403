#include "notes/NotesFolder.h"

namespace hxMail::hxNotesProvider {

NotesFolder::~NotesFolder() = default;

LATTICE_REGISTER_CLASS(NotesFolder);

} // namespace hxMail::hxNotesProvider
