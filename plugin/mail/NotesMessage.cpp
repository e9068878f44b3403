#include "mail/NotesMessage.h"

#include "notes/NotesErrors.h"

#include "notes/NotesDatabase.h"
#include "notes/NotesUser.h"
#include "provider/MailProvider.h"

#include "Lattice/DateTimeUtil.h"
#include "Lattice/Logger.h"

namespace hxMail::hxNotesProvider {

namespace {

long sensitivityOf(long mood) {
    switch (mood) {
    case 1:
        return 1;
    case 2:
        return 3;
    case 3:
        return 2;
    default:
        return 0;
    }
}

} // namespace

NotesMessage::NotesMessage() = default;

NotesMessage::NotesMessage(const NotesMessage& other)
    : NotesDocument(other), isReply_(other.isReply_), isNew_(other.isNew_), isMime_(other.isMime_),
      messageType_(other.messageType_) {}

NotesMessage::NotesMessage(MailProvider* provider, const char* form, NotesDatabase* database)
    : NotesDocument(provider, form, database) {}

NotesMessage::NotesMessage(MailProvider* provider, NotesDatabase* database)
    : NotesDocument(provider, "Memo", database) {}

NotesMessage::NotesMessage(String& id, MailProvider* provider, NotesDatabase* database)
    : NotesDocument(id, provider, database, false) {}

NotesMessage::NotesMessage(MailProvider* provider, LNDocument* doc, NotesDatabase* database, bool copy)
    : NotesDocument(provider, doc, database, copy) {}

NotesMessage& NotesMessage::operator=(const NotesMessage& other) {
    if (this != &other) {
        isReply_ = other.isReply_;
        isNew_ = other.isNew_;
        isMime_ = other.isMime_;
        messageType_ = other.messageType_;
    }
    return *this;
}

NotesMessage::~NotesMessage() {
    properties.removeAll();
}

bool NotesMessage::getUnreadStatus(unsigned long id) {
    ThrowAllErrorsScope throwing;
    bool unread = false;
    if (!throwing.run([&] { unread = database && database->isUnread(id); }, ErrorChannel::Silent))
        unread = false;
    return unread;
}

long NotesMessage::hostImportance(LNMAILIMPORTANCE notes) {
    switch (notes) {
    case LNMAILIMPORTANCE_HIGH:
        return ImportanceHigh;
    case LNMAILIMPORTANCE_NORMAL:
        return ImportanceNormal;
    default:
        return ImportanceLow;
    }
}

LNMAILIMPORTANCE NotesMessage::notesImportance(long host) {
    switch (host) {
    case ImportanceHigh:
        return LNMAILIMPORTANCE_HIGH;
    case ImportanceNormal:
        return LNMAILIMPORTANCE_NORMAL;
    default:
        return LNMAILIMPORTANCE_LOW;
    }
}

long NotesMessage::getIconType(LNDocument* memo) {
    if (!memo || memo->IsNull())
        return IconDraft;
    return iconType(memo, getUnreadStatus(memo->GetNoteID()));
}

long NotesMessage::iconType(LNDocument* memo, bool unread) {
    if (!memo || memo->IsNull())
        return IconDraft;
    const bool posted = memo->HasItem("PostedDate");
    const bool delivered = memo->HasItem("DeliveredDate");
    const bool responded = memo->HasItem("$RespondedTo");
    long code = unread ? IconUnread : IconRead;
    if (responded)
        code = getItemString("$RespondedTo", false) == "1" ? IconReplied : IconForwarded;
    if (posted)
        return code;
    if (!delivered)
        return IconDraft;
    return code;
}

Lattice::String NotesMessage::getNormalizedSubject(String subject) {
    const long at = subject.find("Re: ");
    if (at < 0)
        return subject;
    return subject.substring(at + 4);
}

long NotesMessage::load(Lattice::Ptr<hxMail::MessageItem>& message, Lattice::ObjectCollection* list, bool) {
    if (!message)
        message = new hxMail::Message();
    if (!document || loadFailed_)
        return 0;
    hxMail::MessageItem& m = *message;
    m.set_id(universalId);
    m.set_from(getItemName("From", 1, true));
    // One unread question per row: a page asks it for every memo.
    const bool unread = getUnreadStatus(noteId);
    // The rest reads items a memo may lack; their absence answers an empty value, not an error.
    ThrowAllErrorsScope quiet(FALSE);
    m.set_iconType(iconType(document.get(), unread));
    const String subject = getItemString("Subject", true);
    m.set_subject(subject);
    m.set_normalizedSubject(getNormalizedSubject(subject));
    m.set_bcc(getItemName("BlindCopyTo", 1, true));
    m.set_cc(getItemName("CopyTo", 1, true));
    m.set_to(getItemName("SendTo", 1, true));
    const LNMailMessage mail(*document);
    m.set_readReceiptRequested(mail.GetReturnReceipt() != 0);
    m.set_deliveryReceiptRequested(mail.GetDeliveryReport() == 1);
    m.set_sensitivity(sensitivityOf(mail.GetMoodStamp()));
    m.set_hasAttachments(document->HasAttachments() != 0);
    m.set_size(static_cast<long>(document->GetSize()));
    m.set_importance(hostImportance(mail.GetMailImportance()));
    m.set_readFlag(!unread);
    m.set_smartName(getItemString("smartName", true));
    const bool posted = document->HasItem("PostedDate");
    m.set_unsent(posted);
    if (document->HasItem("DeliveredDate")) {
        const Lattice::Data received = getDate("DeliveredDate", true);
        if (!received.isEmpty())
            m.set_received(received.toDateTime());
    }
    if (posted) {
        const Lattice::Data sent = getDate("PostedDate", true);
        if (!sent.isEmpty()) {
            m.set_sent(sent.toDateTime());
            m.set_executionTime(sent.toDateTime());
        }
    }
    if (list)
        list->add(Lattice::Data(message.get(), true), true);
    return 0;
}

void NotesMessage::getIndexLabel(String column, hxMail::MessageItem* item, Lattice::ObjectCollection* out) {
    if (item && out && column == "size")
        Lattice::Logger::print("Message Size=%d", static_cast<int>(item->get_size()));
    indexLabel(column, item, out);
}

void NotesMessage::indexLabel(const String& column, hxMail::MessageItem* item,
                              Lattice::ObjectCollection* out) {
    if (!item || !out)
        return;
    using Lattice::DateTimeUtil;
    if (column == "sent") {
        out->add(Lattice::Data(DateTimeUtil::getSMTPDayString(item->get_sent())));
    } else if (column == "to") {
        out->add(Lattice::Data(item->get_to()));
    } else if (column == "from") {
        out->add(Lattice::Data(item->get_from()));
    } else if (column == "subject") {
        out->add(Lattice::Data(item->get_subject()));
    } else if (column == "size") {
        out->add(Lattice::Data(item->get_size()));
    } else if (column == "MessageClass") {
        out->add(Lattice::Data("Message"));
    } else if (column == "importance") {
        const long importance = item->get_importance();
        out->add(Lattice::Data(importance == ImportanceLow    ? "Low"
                               : importance == ImportanceHigh ? "High"
                                                              : "Normal"));
    } else if (column == "hasAttachments") {
        out->add(Lattice::Data(item->get_hasAttachments()));
    } else {
        // "received", "flag" and every other column show the day of arrival.
        out->add(Lattice::Data(DateTimeUtil::getSMTPDayString(item->get_received())));
    }
}

void NotesMessage::setImportance(long importance, bool save) {
    if (!document || loadFailed_)
        return;
    LNMailMessage mail(*document);
    mail.SetMailImportance(notesImportance(importance));
    if (save)
        this->save();
}

Lattice::Ptr<hxMail::ChangeItem> NotesMessage::getChangeItem(bool create) {
    if (!create)
        return nullptr;
    Lattice::Ptr<hxMail::ChangeItemCopy> change = new hxMail::ChangeItemCopy();
    if (database)
        change->set_parentId(database->getParentFolderId(noteId, universalId, create));
    Lattice::Ptr<hxMail::MessageItem> message = new hxMail::Message();
    load(message, nullptr, false);
    message->set_readFlag(false);
    change->set_itemId(message->get_id());
    change->set_item(Lattice::Ptr<hxMail::Item>(message.get()));
    return Lattice::Ptr<hxMail::ChangeItem>(change.get());
}

void NotesMessage::loadRecipients(Lattice::ObjectCollection* out) {
    if (!out || !document || loadFailed_)
        return;
    static const char* const kItems[] = {"SendTo", "CopyTo", "BlindCopyTo"};
    for (long type = 1; type <= 3; ++type) {
        LNText names = getItemTextList(kItems[type - 1]);
        for (LNINT i = 0; i < names.GetCount(); ++i) {
            LNString name = names[i];
            hxMail::Recipient* found = nullptr;
            NotesUser* user = nullptr;
            Lattice::Ptr<hxMail::Recipient> recipient;
            if (loadRecipient(name, &found, &user) && found) {
                recipient = found;
            } else {
                // A name the books do not know is kept as written.
                recipient = new hxMail::Recipient();
                const String text(name.GetTextPtr(), static_cast<std::size_t>(name.GetByteLength()));
                recipient->set_displayName(text);
                recipient->set_emailAddress(text);
            }
            if (user)
                user->release();
            recipient->set_recipientType(type);
            out->add(Lattice::Data(recipient.get(), true));
        }
    }
}

void NotesMessage::loadRecipients(hxMail::Recipients* to, hxMail::Recipients* cc, hxMail::Recipients* bcc) {
    Lattice::ObjectCollection all;
    loadRecipients(&all);
    for (const Lattice::Data& value : all) {
        hxMail::Recipient* r = value.toObject<hxMail::Recipient>();
        if (!r)
            continue;
        hxMail::Recipients* target = r->get_recipientType() == 1   ? to
                                     : r->get_recipientType() == 2 ? cc
                                     : r->get_recipientType() == 3 ? bcc
                                                                   : nullptr;
        if (target)
            target->add(r);
    }
}

LATTICE_REGISTER_CLASS(NotesMessage);

} // namespace hxMail::hxNotesProvider
