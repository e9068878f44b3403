#include "mail/NotesMessageProvider.h"

namespace hxMail::hxNotesProvider {

NotesMessageProvider::~NotesMessageProvider() = default;

LATTICE_REGISTER_CLASS(NotesMessageProvider);

} // namespace hxMail::hxNotesProvider
