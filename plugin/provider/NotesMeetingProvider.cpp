#include "provider/NotesMeetingProvider.h"

namespace hxMail::hxNotesProvider {

NotesMeetingProvider::~NotesMeetingProvider() = default;

LATTICE_REGISTER_CLASS(NotesMeetingProvider);

} // namespace hxMail::hxNotesProvider
