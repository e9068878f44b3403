#pragma once
#include "provider/Export.h"
#include "provider/Forward.h"

#include "hxMail/Providers.h"

namespace hxMail::hxNotesProvider {

// Meetings outside the user's own calendar are not supported.
class NotesMeetingProvider : public hxMail::MeetingProvider {
    LATTICE_CLASS(NotesMeetingProvider, "MeetingProvider", hxMail::MeetingProvider)
public:
    explicit NotesMeetingProvider(hxMail::MailProvider* owner = nullptr) : hxMail::MeetingProvider(owner) {}
    NotesMeetingProvider(const NotesMeetingProvider& other) : hxMail::MeetingProvider(other) {}
    ~NotesMeetingProvider() override;
};

} // namespace hxMail::hxNotesProvider
