#pragma once
#include "provider/Export.h"
#include "provider/Forward.h"

#include "hxMail/Providers.h"

#include <functional>

namespace hxMail::hxNotesProvider {

// The message operations of the main provider.
class NotesMessageProvider : public hxMail::MessageProvider {
    LATTICE_CLASS(NotesMessageProvider, "MessageProvider", hxMail::MessageProvider)
public:
    explicit NotesMessageProvider(hxMail::MailProvider* owner = nullptr) : hxMail::MessageProvider(owner) {}
    NotesMessageProvider(const NotesMessageProvider& other) : hxMail::MessageProvider(other) {}
    ~NotesMessageProvider() override;

    long getMessageDetail(String id, String textType, Lattice::Ptr<hxMail::MessageDetail>& detail) override;
    long sendMessage(const Lattice::Ptr<hxMail::Message>& message,
                     const Lattice::Ptr<hxMail::MessageDetail>& detail, String text) override;
    long sendMessage(String id) override;
    long saveMessage(const Lattice::Ptr<hxMail::Message>& message,
                     const Lattice::Ptr<hxMail::MessageDetail>& detail, String& id,
                     Lattice::Ptr<hxMail::Attachments>& attachments) override;
    // What sendMessage answers when the message names nobody: stored, nothing delivered.
    static constexpr long kNobodyToDeliverTo = 1;
    long newAttachment(String id, Lattice::Ptr<hxMail::Attachment>& attachment) override;
    long loadAttachmentData(String id, long attachNum, Lattice::Ptr<Lattice::BaseObject64>& data) override;
    long loadAttachmentObject(String id, long attachNum, Lattice::Ptr<hxMail::MessageItem>& item) override;
    long clearFlag(String id, bool& changed) override;
    long setFlag(String id, const Lattice::Ptr<hxMail::ReminderFlag>& flag, long flagStatus,
                 bool& changed) override;
    long setImportance(String id, long importance, bool& changed) override;
    long setSmartValue(String id, String smartName, String smartValue) override;
    long getSmartValue(String id, String& smartValue) override;

private:
    // Runs `work` on the memo `id` inside the operation frame: errors thrown, databases locked,
    // Notes errors reported on standard output. False when a Notes error was reported.
    bool withMessage(String id, const std::function<void(NotesMessage&)>& work);
    MailProvider* mailProvider() const;
    // The document a save or send writes: the draft itself, or a new memo for a new message, a
    // reply or a forward. Null for an id that names nothing this provider writes.
    Lattice::Ptr<NotesMessage> openOrCreate(String id, _MessageType& type, bool& isNew);
};

} // namespace hxMail::hxNotesProvider
