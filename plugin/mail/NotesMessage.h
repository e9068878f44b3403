#pragma once
#include "notes/NotesDocument.h"

#include "Lattice/Containers.h"

namespace hxMail::hxNotesProvider {

// A mail memo as a host message.
class HX_EXPORT NotesMessage : public NotesDocument {
    LATTICE_CLASS(NotesMessage, "NotesMessage", NotesDocument)
public:
    NotesMessage();
    NotesMessage(const NotesMessage& other);
    // A new document of the given form.
    NotesMessage(MailProvider* provider, const char* form, NotesDatabase* database);
    // A new memo.
    NotesMessage(MailProvider* provider, NotesDatabase* database);
    // The existing document with the UNID text `id`.
    NotesMessage(String& id, MailProvider* provider, NotesDatabase* database);
    // A document the caller already holds open.
    NotesMessage(MailProvider* provider, LNDocument* doc, NotesDatabase* database, bool copy);
    NotesMessage& operator=(const NotesMessage& other);
    ~NotesMessage() override;

    // Fills `item` from the memo and, with a list, appends it there.
    long load(Lattice::Ptr<hxMail::MessageItem>& item, Lattice::ObjectCollection* list, bool flag) override;
    void getIndexLabel(String column, hxMail::MessageItem* item, Lattice::ObjectCollection* out) override;
    Lattice::Ptr<hxMail::ChangeItem> getChangeItem(bool create) override;

    // The host icon code: 5 unread, 6 read, 9/10 responded to, 7 a draft.
    long getIconType(LNDocument* memo);
    // Host importance 2 high, 1 normal, anything else low.
    void setImportance(long importance, bool save);
    // Every recipient, typed 1 "SendTo", 2 "CopyTo", 3 "BlindCopyTo".
    void loadRecipients(Lattice::ObjectCollection* out);
    void loadRecipients(hxMail::Recipients* to, hxMail::Recipients* cc, hxMail::Recipients* bcc);
    // The subject after its first "Re: ".
    static String getNormalizedSubject(String subject);

    bool isNew() const { return isNew_; }
    void setIsNew(bool value) { isNew_ = value; }
    bool isReply() const { return isReply_; }
    void setIsReply(bool value) { isReply_ = value; }
    bool isMime() const { return isMime_; }
    void setIsMime(bool value) { isMime_ = value; }
    long messageType() const { return messageType_; }
    void setMessageType(long value) { messageType_ = value; }
    const String& messageId() const { return messageId_; }
    void setMessageId(const String& value) { messageId_ = value; }
    long contentIdCount() const { return contentIdCount_; }

protected:
    bool getUnreadStatus(unsigned long noteId);

    Lattice::Map<String, Lattice::Data> properties{17, 10};
    bool isReply_ = false;
    bool isNew_ = false;
    bool isMime_ = false;
    long messageType_ = 0;
    String messageId_;
    long contentIdCount_ = 0;
};

} // namespace hxMail::hxNotesProvider
