#pragma once
#include "provider/Export.h"
#include "provider/Forward.h"

#include "hxMail/Calendar.h"
#include "hxMail/Providers.h"

namespace hxMail::hxNotesProvider {

// Notes are not supported: no folder lists them and every operation answers -1 without touching
// Notes. The host can make this provider only by its class name.
class HX_EXPORT NoteProvider : public hxMail::NoteProvider {
    LATTICE_CLASS(NoteProvider, "NoteProvider", hxMail::NoteProvider)
public:
    explicit NoteProvider(hxMail::MailProvider* owner = nullptr) : hxMail::NoteProvider(owner) {}
    NoteProvider(const NoteProvider& other) : hxMail::NoteProvider(other) {}
    ~NoteProvider() override;

    long newNote(String folderId, Lattice::Ptr<hxMail::Note>& note) override;
    long addNote(String folderId, String text, long color) override;
    long removeNote(String id) override;
    long saveNote(String id, String text, long color, bool& flag) override;
};

} // namespace hxMail::hxNotesProvider
