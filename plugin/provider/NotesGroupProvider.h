#pragma once
#include "provider/Export.h"
#include "provider/Forward.h"

#include "hxMail/Providers.h"

namespace hxMail::hxNotesProvider {

// Shared group calendars are not supported.
class NotesGroupProvider : public hxMail::GroupProvider {
    LATTICE_CLASS(NotesGroupProvider, "GroupProvider", hxMail::GroupProvider)
public:
    explicit NotesGroupProvider(hxMail::MailProvider* owner = nullptr) : hxMail::GroupProvider(owner) {}
    NotesGroupProvider(const NotesGroupProvider& other) : hxMail::GroupProvider(other) {}
    ~NotesGroupProvider() override;
};

} // namespace hxMail::hxNotesProvider
