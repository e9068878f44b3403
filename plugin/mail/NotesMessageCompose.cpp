#include "mail/NotesMessage.h"

#include "notes/NotesDatabase.h"
#include "notes/NotesErrors.h"
#include "notes/NotesUser.h"
#include "provider/MailProvider.h"

#include "Lattice/DateTimeUtil.h"
#include "Lattice/HTMLEncode.h"
#include "Lattice/Logger.h"
#include "hxMailConversion/Conversion.h"
#include "hxMime/Mime.h"

#include <cstring>
#include <memory>

namespace hxMail::hxNotesProvider {

namespace {

constexpr WORD kMimePartType = 25;
constexpr WORD kMaxChunk = 0xFFFF;

LNString notesText(const Lattice::String& utf8) {
    const Lattice::String text = Lattice::HTMLEncode::UTF8ToString8(utf8);
    return LNString(text.data(), text.length());
}

// A header value may not break into a new header line of the stored message.
Lattice::String oneLine(Lattice::String text) {
    text.replaceAll("\r\n", " ");
    text.replaceAll("\r", " ");
    text.replaceAll("\n", " ");
    return text;
}

} // namespace

long NotesMessage::sensitivityOfMood(long mood) {
    switch (mood) {
    case 2:
        return 3;
    case 3:
        return 2;
    default:
        return mood;
    }
}

long NotesMessage::moodOfSensitivity(long sensitivity) {
    return sensitivityOfMood(sensitivity);
}

Lattice::String NotesMessage::generateBoundaryString() {
    Lattice::String boundary = Lattice::Guid::create().toString();
    boundary.replaceAll("-", "_");
    return boundary;
}

long NotesMessage::save() {
    return NotesDocument::save();
}

long NotesMessage::save(hxMail::MessageItem* item, Lattice::SchemaBase* schema, bool commit, bool sending,
                        String referenceId, hxMail::_MessageType type) {
    auto* detail = dynamic_cast<hxMail::MessageDetail*>(schema);
    if (!item || !detail || !note || loadFailed_)
        return 0;
    ThrowAllErrorsScope throwAll;
    detail->set_id(Lattice::Guid::create().toString());
    const Lattice::_DateTimeData now = Lattice::DateTimeUtil::computeCurrentGMTTime();
    item->set_sent(now);
    item->set_received(now);
    item->set_subject(oneLine(item->get_subject()));

    Lattice::Map<String, Lattice::Data> settings = provider->getConversionSettings();
    hxMail::Attachments* attachments = detail->get_attachments().get();
    if (type == MessageTypeReply || type == MessageTypeReplyAll || type == MessageTypeForward) {
        // The answered memo's files travel by their stored bytes: the path an attachment records
        // came from its sender and names nothing of ours.
        String original = referenceId;
        NotesMessage answered(original, provider, database);
        for (long n = 0; attachments && n < attachments->count(); ++n) {
            hxMail::Attachment* attachment = attachments->at(n);
            Lattice::Ptr<Lattice::BaseObject64> bytes = new Lattice::BaseObject64();
            const bool stored = attachment && !answered.loadFailed() &&
                                answered.loadAttachmentData(attachment->get_attachNum(), bytes, false);
            settings.set("attachment." + String::fromLong(n),
                         stored ? Lattice::Data(bytes.get(), true) : Lattice::Data(String()));
        }
    }
    _UserInfoStruct* info = provider->getUser() ? provider->getUser()->getInfo() : nullptr;
    if (info && !detail->get_from() && item->get_from().isEmpty()) {
        // The stored message names its sender like any mail read elsewhere would.
        const String address =
            info->internetAddress.isEmpty() ? info->abbreviatedName : info->internetAddress;
        item->set_from(info->commonName.isEmpty() ? address
                                                  : "\"" + info->commonName + "\" <" + address + ">");
    }
    Lattice::Ptr<hxMailLib::Mime::Email> email;
    hxMailConversion::cast_MailMessage_toMimeEmail(item, detail, email, settings);

    store(email, info ? info->loginName : String(), item->get_subject(), item->get_importance(),
          item->get_readReceiptRequested(), item->get_deliveryReceiptRequested(), item->get_sensitivity(),
          item->get_smartName(), String(), attachments, detail->get_to().get(), detail->get_cc().get(),
          detail->get_bcc().get());

    switch (type) {
    case MessageTypeNormal: {
        String zero = "0", one = "1";
        setItemString("MailOptions", zero);
        setItemString("SaveOptions", one);
        break;
    }
    case MessageTypeReply:
    case MessageTypeReplyAll:
        setReplyFields(referenceId, sending);
        break;
    case MessageTypeForward:
        setForwardFields(referenceId, sending);
        break;
    default:
        break;
    }
    if (commit)
        return save();
    return 0;
}

void NotesMessage::store(const Lattice::Ptr<hxMailLib::Mime::Email>& email, String from, String subject,
                         long importance, bool readReceipt, bool deliveryReceipt, long sensitivity,
                         String smartName, String smartValue, hxMail::Attachments*, hxMail::Recipients* to,
                         hxMail::Recipients* cc, hxMail::Recipients* bcc) {
    LNMailMessage mail(*document);
    setItemString("From", from);
    mail.SetSubject(notesText(subject));
    mail.SetMailImportance(notesImportance(importance));
    mail.SetReturnReceipt(readReceipt ? TRUE : FALSE);
    mail.SetDeliveryReport(deliveryReceipt ? LNDELIVERYREPORT_CONFIRMED : LNDELIVERYREPORT_BASIC);
    const long mood = moodOfSensitivity(sensitivity);
    mail.SetMoodStamp(static_cast<LNMOODSTAMP>(mood >= 0 && mood <= 10 ? mood : 0));
    setItemString("smartName", smartName);
    setItemString("smartValue", smartValue);
    if (!to)
        return;

    LNText all;
    storeRecipient(1, to, all, document.get());
    storeRecipient(2, cc, all, document.get());
    storeRecipient(3, bcc, all, document.get());
    if (all.GetCount() > 0) {
        note->CreateItem("Recipients", all, LNITEMFLAGS_SUMMARY, LNITEMOPTION_DELETE_INSERT);
    } else if (note->HasItem("Recipients")) {
        note->DeleteItem("Recipients");
    }
    if (email) {
        String one = "1";
        setItemString("$NoteHasNativeMIME", one);
        writeMimeBody(email);
    }
}

void NotesMessage::removeBody() {
    const NOTEHANDLE h = note ? note->GetNoteHandle() : NULLHANDLE;
    if (h == NULLHANDLE)
        return;
    while (NSFItemDelete(h, "Body", 4) == NOERROR) {
    }
}

void NotesMessage::writeMimeBody(const Lattice::Ptr<hxMailLib::Mime::Email>& email) {
    if (!email)
        return;
    removeBody();
    const String boundary = generateBoundaryString();
    const String delimiter = "\r\n--" + boundary + "\r\n";
    // The parts hang off the top-level header block under this boundary.
    Lattice::Array<Lattice::Ptr<hxMailLib::Mime::MimeBase>> parts = email->getBodyParts();
    email->setBoundary(boundary);
    mimeToRT(email->encodeHeadersToString() + delimiter);
    for (long i = 0; i < parts.count(); ++i)
        if (parts[i])
            mimeToRT(parts[i]->encodeToString() + delimiter);
}

void NotesMessage::mimeToRT(const String& chunk) {
    const NOTEHANDLE h = note ? note->GetNoteHandle() : NULLHANDLE;
    const char* bytes = chunk.data();
    long left = chunk.length();
    do {
        const WORD count = static_cast<WORD>(left > kMaxChunk ? kMaxChunk : left);
        std::unique_ptr<unsigned char[]> value(new unsigned char[20 + count]);
        std::memset(value.get(), 0, 20);
        const WORD version = 2;
        std::memcpy(value.get(), &version, 2);
        value[6] = 2; // a body part
        std::memcpy(value.get() + 8, &count, 2);
        if (count)
            std::memcpy(value.get() + 20, bytes, count);
        const STATUS status = NSFItemAppend(h, ITEM_SUMMARY, "Body", 4, kMimePartType, value.get(),
                                            static_cast<DWORD>(20 + count));
        if (status != NOERROR)
            throw static_cast<LNSTATUS>(status);
        bytes += count;
        left -= count;
    } while (left > 0);
}

long NotesMessage::send() {
    LNNotesSession* session = provider ? provider->getSession() : nullptr;
    bool ok = true;
    if (session) {
        LNDatetime now = session->GetCurrentDatetime();
        now.AdjustTimeZone(0, FALSE);
        Lattice::_DateTimeData posted;
        posted.setFullYear(static_cast<int>(now.GetYear()));
        posted.month = static_cast<short>(now.GetMonth());
        posted.day = static_cast<short>(now.GetDay());
        posted.hour = static_cast<short>(now.GetHour());
        posted.minute = static_cast<short>(now.GetMinute());
        posted.hundredths = static_cast<short>(now.GetHundredth());
        setDate("PostedDate", Lattice::Data(posted), true, true, ok);
    }
    noRecipients_ = !note->HasItem("Recipients");
    if (const long status = save(); status != 0)
        return status;
    if (noRecipients_) {
        // Kept in Sent Items all the same; the router would only bounce it back.
        Lattice::Logger::print("sendMessage: no recipients, nothing to deliver");
        return 0;
    }
    NotesDatabase* mailBox = provider ? provider->getMailBox() : nullptr;
    LNSTATUS status = mailBox ? LNNOERROR : static_cast<LNSTATUS>(LNERR_NULL_OBJECT);
    try {
        if (mailBox)
            status = mailBox->sendDoc(document.get());
    } catch (LNSTATUS thrown) {
        status = thrown;
    }
    if (status != LNNOERROR) {
        // Not handed to the router: the memo goes back to Drafts rather than look sent.
        note->DeleteItem("PostedDate");
        save();
        throw status;
    }
    return 0;
}

long NotesMessage::send(hxMail::MessageItem* item, Lattice::SchemaBase* detail, bool commit,
                        String referenceId, hxMail::_MessageType type) {
    save(item, detail, commit, true, referenceId, type);
    if (!item || !dynamic_cast<hxMail::MessageDetail*>(detail))
        return 0;
    return send();
}

void NotesMessage::modifyFormSaveAsMime(bool on) {
    LNDatabase* db = database ? database->getDatabase() : nullptr;
    if (!db)
        throw static_cast<LNSTATUS>(LNERR_NULL_OBJECT);
    LNForm form;
    db->GetForm(isReply_ ? "Reply" : "Memo", &form);
    form.Open();
    LNFormField body;
    if (form.GetField("Body", &body) == LNNOERROR) {
        body.SetStoreAsHTMLAndMIME(on ? TRUE : FALSE);
        form.Save();
    }
    form.Close();
}

} // namespace hxMail::hxNotesProvider
