#include "contacts/NotesContact.h"

namespace hxMail::hxNotesProvider {

NotesContact::~NotesContact() = default;

LATTICE_REGISTER_CLASS(NotesContact);

} // namespace hxMail::hxNotesProvider
