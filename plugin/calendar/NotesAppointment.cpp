#include "calendar/NotesAppointment.h"

namespace hxMail::hxNotesProvider {

NotesAppointment::~NotesAppointment() = default;

LATTICE_REGISTER_CLASS(NotesAppointment);

} // namespace hxMail::hxNotesProvider
