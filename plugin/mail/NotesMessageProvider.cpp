#include "mail/NotesMessageProvider.h"

#include "mail/NotesMessage.h"
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
