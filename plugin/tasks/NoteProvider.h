#pragma once
#include "provider/Export.h"
#include "provider/Forward.h"

#include "hxMail/Providers.h"

namespace hxMail::hxNotesProvider {

// Notes are not supported; the host can make this provider only by its class name.
class HX_EXPORT NoteProvider : public hxMail::NoteProvider {
    LATTICE_CLASS(NoteProvider, "NoteProvider", hxMail::NoteProvider)
public:
    explicit NoteProvider(hxMail::MailProvider* owner = nullptr) : hxMail::NoteProvider(owner) {}
    NoteProvider(const NoteProvider& other) : hxMail::NoteProvider(other) {}
    ~NoteProvider() override;
};

} // namespace hxMail::hxNotesProvider
