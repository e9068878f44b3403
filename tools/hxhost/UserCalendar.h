#pragma once
#include "hxMail/Providers.h"

namespace hxhost {

// The host's view of the one operation the Notes plug-in's calendar provider adds after the host
// base's slots: a named user's calendar. The host knows no class of the plug-in, so it declares the
// slot itself, as it declares the factory; only a calendar provider of the "hxNotes" plug-in has
// it (see userCalendar in CalendarCommands.cpp).
class UserCalendarProvider : public hxMail::CalendarProvider {
public:
    UserCalendarProvider() = delete;

    // The appointments of a folder of the user's files, or with an empty folder those of `user`'s
    // calendar, between two dates; 0.
    virtual long getUserAppointmentRange(Lattice::String user, Lattice::String folderId,
                                         Lattice::_DateData start, Lattice::_DateData end, bool,
                                         Lattice::ObjectCollection* out) = 0;
};

} // namespace hxhost
