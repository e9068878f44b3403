#include "tasks/NoteProvider.h"

namespace hxMail::hxNotesProvider {

NoteProvider::~NoteProvider() = default;

LATTICE_REGISTER_CLASS(NoteProvider);

} // namespace hxMail::hxNotesProvider
