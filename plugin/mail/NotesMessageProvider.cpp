#include "mail/NotesMessageProvider.h"

#include "mail/NotesMessage.h"
#include "notes/NotesDatabase.h"
#include "provider/OperationFrame.h"

namespace hxMail::hxNotesProvider {

NotesMessageProvider::~NotesMessageProvider() = default;

MailProvider* NotesMessageProvider::mailProvider() const {
    return static_cast<MailProvider*>(owner());
}

bool NotesMessageProvider::withMessage(String id, const std::function<void(NotesMessage&)>& work) {
    MailProvider* provider = mailProvider();
    if (!provider || !provider->isLoggedIn())
        return false;
    OperationFrame frame(provider);
    return frame.run([&] {
        if (!id.isEmpty()) {
            Lattice::Ptr<NotesMessage> message =
                new NotesMessage(id, provider, provider->getUserMailDatabase());
            if (!message->loadFailed())
                work(*message);
        }
    });
}

long NotesMessageProvider::getMessageDetail(String id, String textType,
                                            Lattice::Ptr<hxMail::MessageDetail>& detail) {
    MailProvider* provider = mailProvider();
    if (!provider || !provider->isLoggedIn())
        return kNotSupported;
    if (id.isEmpty())
        return 0;
    // The host classifies before and after the lock; the second answer counts.
    String unclassified = id;
    (void)getMessageType(unclassified);
    const _MessageType type = getMessageType(id);
    if (!detail)
        detail = new hxMail::MessageDetail();
    withMessage(id, [&](NotesMessage& message) {
        message.setMessageType(type);
        message.setMessageId(id);
        detail->set_textType(textType);
        message.loadDetail(detail.get());
    });
    return 0;
}

long NotesMessageProvider::loadAttachmentData(String id, long attachNum,
                                              Lattice::Ptr<Lattice::BaseObject64>& data) {
    const bool embedded = attachNum >= 100;
    const long index = embedded ? attachNum - 100 : attachNum;
    // Attachment ids are "att_" + number + "_" + the message id.
    const long underscore = id.findLast('_');
    const String documentId = underscore >= 0 ? id.substring(underscore + 1) : id;
    // The host's block changes only when the bytes are there.
    Lattice::Ptr<Lattice::BaseObject64> loaded;
    bool found = false;
    const bool ok = withMessage(documentId, [&](NotesMessage& message) {
        message.setMessageId(documentId);
        found = message.loadAttachmentData(index, loaded, embedded);
    });
    if (!ok || !found)
        return kNotSupported;
    data = loaded;
    return 0;
}

long NotesMessageProvider::setImportance(String id, long importance, bool& changed) {
    MailProvider* provider = mailProvider();
    if (!provider || !provider->isLoggedIn())
        return kNotSupported;
    changed = true;
    withMessage(id, [&](NotesMessage& message) {
        message.setImportance(importance, false);
        message.save();
    });
    return 0;
}

long NotesMessageProvider::setSmartValue(String id, String smartName, String smartValue) {
    const bool ok = withMessage(id, [&](NotesMessage& message) {
        message.setItemString("smartName", smartName);
        message.setItemString("smartValue", smartValue);
        message.save();
    });
    return ok ? 0 : kNotSupported;
}

long NotesMessageProvider::getSmartValue(String id, String& smartValue) {
    const bool ok = withMessage(
        id, [&](NotesMessage& message) { smartValue = message.getItemString("smartValue", false); });
    return ok ? 0 : kNotSupported;
}

Lattice::Ptr<NotesMessage> NotesMessageProvider::openOrCreate(String id, _MessageType& type, bool& isNew) {
    MailProvider* provider = mailProvider();
    NotesDatabase* mail = provider->getUserMailDatabase();
    type = MessageTypeNormal;
    isNew = id.isEmpty();
    if (isNew)
        return new NotesMessage(provider, mail);
    type = getMessageType(id);
    Lattice::Ptr<NotesMessage> opened = new NotesMessage(id, provider, mail);
    if (opened->loadFailed())
        throw static_cast<LNSTATUS>(ERR_INVALID_NOTE);
    switch (type) {
    case MessageTypeNormal:
        return opened;
    case MessageTypeReply:
    case MessageTypeReplyAll:
    case MessageTypeForward: {
        isNew = true;
        Lattice::Ptr<NotesMessage> made = new NotesMessage(provider, opened->getDocument(), mail, true);
        if (made->loadFailed())
            throw static_cast<LNSTATUS>(ERR_INVALID_NOTE);
        made->prepareAsNewDraft();
        return made;
    }
    default:
        return nullptr;
    }
}

long NotesMessageProvider::saveMessage(const Lattice::Ptr<hxMail::Message>& message,
                                       const Lattice::Ptr<hxMail::MessageDetail>& detail, String& id,
                                       Lattice::Ptr<hxMail::Attachments>&) {
    MailProvider* provider = mailProvider();
    if (!provider || !provider->isLoggedIn())
        return kNotSupported;
    if (!message || !detail)
        return 0;
    const String requested = message->get_id();
    OperationFrame frame(provider);
    frame.run([&] {
        _MessageType type = MessageTypeNormal;
        bool isNew = false;
        Lattice::Ptr<NotesMessage> target = openOrCreate(requested, type, isNew);
        if (!target)
            return;
        String reference = requested;
        (void)getMessageType(reference);
        if (target->save(message.get(), detail.get(), true, false, reference, type) == 0 && isNew)
            id = target->getId();
    });
    return 0;
}

long NotesMessageProvider::sendMessage(const Lattice::Ptr<hxMail::Message>& message,
                                       const Lattice::Ptr<hxMail::MessageDetail>& detail, String) {
    MailProvider* provider = mailProvider();
    if (!provider || !provider->isLoggedIn())
        return kNotSupported;
    if (!message || !detail)
        return 0;
    const String requested = message->get_id();
    bool nobody = false;
    OperationFrame frame(provider);
    frame.run([&] {
        _MessageType type = MessageTypeNormal;
        bool isNew = false;
        Lattice::Ptr<NotesMessage> target = openOrCreate(requested, type, isNew);
        if (!target)
            return;
        String reference = requested;
        (void)getMessageType(reference);
        target->send(message.get(), detail.get(), false, reference, type);
        nobody = target->noRecipients();
    });
    return nobody ? kNobodyToDeliverTo : 0;
}

long NotesMessageProvider::sendMessage(String) {
    return kNotSupported;
}

long NotesMessageProvider::newAttachment(String, Lattice::Ptr<hxMail::Attachment>&) {
    return kNotSupported;
}

long NotesMessageProvider::loadAttachmentObject(String, long, Lattice::Ptr<hxMail::MessageItem>&) {
    return kNotSupported;
}

long NotesMessageProvider::clearFlag(String, bool&) {
    return kNotSupported;
}

long NotesMessageProvider::setFlag(String, const Lattice::Ptr<hxMail::ReminderFlag>&, long, bool&) {
    return kNotSupported;
}

LATTICE_REGISTER_CLASS(NotesMessageProvider);

} // namespace hxMail::hxNotesProvider
