#include "provider/NotesGroupProvider.h"

namespace hxMail::hxNotesProvider {

NotesGroupProvider::~NotesGroupProvider() = default;

LATTICE_REGISTER_CLASS(NotesGroupProvider);

} // namespace hxMail::hxNotesProvider
