#include "mail/NotesMessage.h"

namespace hxMail::hxNotesProvider {

NotesMessage::~NotesMessage() = default;

LATTICE_REGISTER_CLASS(NotesMessage);

} // namespace hxMail::hxNotesProvider
