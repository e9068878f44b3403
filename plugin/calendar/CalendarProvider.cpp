#include "calendar/CalendarProvider.h"

namespace hxMail::hxNotesProvider {

CalendarProvider::~CalendarProvider() = default;

LATTICE_REGISTER_CLASS(CalendarProvider);

} // namespace hxMail::hxNotesProvider
