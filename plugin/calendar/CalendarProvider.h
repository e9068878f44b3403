#pragma once
#include "provider/Export.h"
#include "provider/Forward.h"

#include "hxMail/Providers.h"

namespace hxMail::hxNotesProvider {

// The calendar operations of the main provider; the base answers what is not yet supported.
class HX_EXPORT CalendarProvider : public hxMail::CalendarProvider {
    LATTICE_CLASS(CalendarProvider, "CalendarProvider", hxMail::CalendarProvider)
public:
    explicit CalendarProvider(hxMail::MailProvider* owner = nullptr) : hxMail::CalendarProvider(owner) {}
    CalendarProvider(const CalendarProvider& other) : hxMail::CalendarProvider(other) {}
    ~CalendarProvider() override;
};

} // namespace hxMail::hxNotesProvider
