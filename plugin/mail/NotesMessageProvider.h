#pragma once
#include "provider/Export.h"
#include "provider/Forward.h"

#include "hxMail/Providers.h"

namespace hxMail::hxNotesProvider {

// The message operations of the main provider.
class NotesMessageProvider : public hxMail::MessageProvider {
    LATTICE_CLASS(NotesMessageProvider, "MessageProvider", hxMail::MessageProvider)
public:
    explicit NotesMessageProvider(hxMail::MailProvider* owner = nullptr) : hxMail::MessageProvider(owner) {}
    NotesMessageProvider(const NotesMessageProvider& other) : hxMail::MessageProvider(other) {}
    ~NotesMessageProvider() override;
};

} // namespace hxMail::hxNotesProvider
