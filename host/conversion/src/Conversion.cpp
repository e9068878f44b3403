#include "hxMailConversion/Conversion.h"

#include "Lattice/DateTimeUtil.h"
#include "Lattice/HTMLEncode.h"
#include "Lattice/Util.h"

#include <fstream>
#include <iterator>
#include <sys/stat.h>

namespace hxMailConversion {

using hxMail::Attachment;
using hxMail::MessageDetail;
using hxMail::MessageItem;
using hxMail::Recipient;
using hxMail::Recipients;
using hxMailLib::Mime::AddressList;
using hxMailLib::Mime::Email;
using hxMailLib::Mime::MailAddress;
using hxMailLib::Mime::Multipart;
using hxMailLib::Mime::SinglePart;
using Lattice::Data;
using Lattice::Ptr;
using Lattice::String;

namespace {

// Recipient types as the host numbers them.
constexpr long kFromType = 0;
constexpr long kToType = 1;
constexpr long kCcType = 2;
constexpr long kBccType = 3;

bool setting(const Settings& settings, const char* key, Data& out) {
    return settings.get(String(key), out);
}

bool flag(const Settings& settings, const char* key) {
    Data d;
    return setting(settings, key, d) && d.toBool();
}

String text(const Settings& settings, const char* key) {
    Data d;
    return setting(settings, key, d) ? d.toString() : String();
}

String attachmentKey(long n) {
    return "attachment." + String::fromLong(n);
}

// The SMTP address of a recipient: smtpAddress, else emailAddress (a Notes name may lack a domain).
String addressOf(const Recipient& r) {
    String smtp = r.get_smtpAddress().trimmed();
    return smtp.isEmpty() ? r.get_emailAddress().trimmed() : smtp;
}

MailAddress toMailAddress(const Recipient& r) {
    MailAddress a{r.get_displayName().trimmed(), addressOf(r)};
    if (a.name == a.address)
        a.name.clear();
    return a;
}

AddressList toAddressList(const Recipients* list) {
    AddressList out;
    for (long i = 0; list && i < list->count(); ++i)
        if (const Recipient* r = list->at(i)) {
            MailAddress a = toMailAddress(*r);
            if (!a.address.isEmpty())
                out.add(a);
        }
    return out;
}

// A free-text address list of the item ("a@x; Name <b@y>"), parsed as an address header.
AddressList parseAddressText(const String& textList) {
    Email scratch;
    String normalized = textList;
    normalized.replaceAll(";", ",");
    scratch.setHeader("To", normalized);
    return scratch.getTo();
}

Ptr<Recipient> toRecipient(const MailAddress& a, long type) {
    Ptr<Recipient> r(new Recipient());
    r->set_displayName(a.name.isEmpty() ? a.address : a.name);
    r->set_emailAddress(a.address);
    r->set_smtpAddress(a.address);
    r->set_emailType("SMTP");
    r->set_recipientType(type);
    return r;
}

Ptr<Recipients> toRecipients(const AddressList& list, long type) {
    Ptr<Recipients> out(new Recipients());
    for (const auto& a : list)
        out->add(toRecipient(a, type));
    return out;
}

String addressText(const AddressList& list) {
    String out;
    for (const auto& a : list) {
        if (!out.isEmpty())
            out += "; ";
        out += a.toString();
    }
    return out;
}

bool readFile(const String& path, String& out) {
    struct stat st {};
    if (path.isEmpty() || stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    std::ifstream in(path.c_str(), std::ios::binary);
    if (!in)
        return false;
    out = String(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
    return true;
}

String attachmentBytes(const Settings& settings, long n, const Attachment& att) {
    Data d;
    if (settings.get(attachmentKey(n), d)) {
        if (d.isObject()) {
            // A binary block; checked by class name so that any build of the framework fits.
            Lattice::Base* obj = d.toObject();
            if (obj && obj->className().str() == "BaseObject64") {
                auto* block = static_cast<Lattice::BaseObject64*>(obj);
                return String(block->binaryData(), static_cast<size_t>(block->length()));
            }
            return {};
        }
        return d.toString();
    }
    String bytes;
    if (readFile(att.get_path(), bytes))
        return bytes;
    return {};
}

String mimeTypeOf(const Attachment& att) {
    String type = att.get_mimeType().trimmed();
    if (type.isEmpty() && att.get_fileType().contains("/"))
        type = att.get_fileType().trimmed();
    if (type.isEmpty())
        type = Lattice::StringUtil::computeMimeType(att.get_fileName());
    if (type.isEmpty() && att.get_isVCard())
        type = "text/x-vcard";
    return type;
}

bool isHtmlType(const String& textType) {
    return textType.trimmed().equalsNoCase("html") || textType.trimmed().equalsNoCase("text/html");
}

} // namespace

long cast_MailMessage_toMimeEmail(const MessageItem* message, const MessageDetail* detail, Ptr<Email>& email,
                                  Settings settings) {
    if (!message || !detail)
        return -1;
    Ptr<Email> out(new Email());

    // Envelope.
    AddressList from;
    if (const Recipient* sender = detail->get_from().get()) {
        MailAddress a = toMailAddress(*sender);
        if (!a.address.isEmpty())
            from.add(a);
    }
    if (from.isEmpty())
        from = parseAddressText(message->get_from());
    out->setFrom(from);
    AddressList to = toAddressList(detail->get_to().get());
    AddressList cc = toAddressList(detail->get_cc().get());
    AddressList bcc = toAddressList(detail->get_bcc().get());
    out->setTo(to.isEmpty() ? parseAddressText(message->get_to()) : to);
    out->setCc(cc.isEmpty() ? parseAddressText(message->get_cc()) : cc);
    out->setBcc(bcc.isEmpty() ? parseAddressText(message->get_bcc()) : bcc);
    out->setSubject(message->get_subject());
    Lattice::_DateTimeData sent = message->get_sent();
    if (!sent.isSet() || !out->setOrigDate(sent))
        out->setOrigDate(Lattice::DateTimeUtil::computeCurrentGMTTime());
    String messageId = text(settings, "messageId");
    if (!messageId.isEmpty())
        out->setMessageId(messageId);

    switch (message->get_importance()) {
    case MessageItem::ImportanceLow:
        out->setHeader("X-Priority", "5 (Lowest)");
        out->setHeader("Importance", "low");
        break;
    case MessageItem::ImportanceHigh:
        out->setHeader("X-Priority", "1 (Highest)");
        out->setHeader("Importance", "high");
        break;
    default:
        break;
    }
    switch (message->get_sensitivity()) {
    case 1:
        out->setHeader("Sensitivity", "Personal");
        break;
    case 2:
        out->setHeader("Sensitivity", "Private");
        break;
    case 3:
        out->setHeader("Sensitivity", "Company-Confidential");
        break;
    default:
        break;
    }
    if (!from.isEmpty()) {
        // The headers take an address list; the kit quotes the name as that needs.
        Email scratch;
        scratch.setTo({from[0]});
        String notify = scratch.getHeader("To");
        if (message->get_readReceiptRequested())
            out->setHeader("Disposition-Notification-To", notify);
        if (message->get_deliveryReceiptRequested())
            out->setHeader("Return-Receipt-To", notify);
    }

    // Body.
    String bodyText = detail->get_body() ? detail->get_body()->get_text() : String();
    bool html = isHtmlType(detail->get_textType());
    Ptr<hxMailLib::Mime::MimeBase> body;
    if (flag(settings, "textOnly")) {
        body = SinglePart::makeText(html ? Lattice::HTMLConvert::toText(bodyText) : bodyText, "plain");
    } else if (!html) {
        body = SinglePart::makeText(bodyText, "plain");
    } else if (flag(settings, "htmlOnly")) {
        body = SinglePart::makeText(bodyText, "html");
    } else {
        Data plain;
        String alternative =
            setting(settings, "plainText", plain) ? plain.toString() : Lattice::HTMLConvert::toText(bodyText);
        Ptr<Multipart> both(new Multipart("alternative"));
        both->addPart(SinglePart::makeText(alternative, "plain"));
        both->addPart(SinglePart::makeText(bodyText, "html"));
        body = both;
    }

    // Attachments.
    Lattice::Array<Ptr<SinglePart>> attachments;
    const hxMail::Attachments* list = detail->get_attachments().get();
    for (long n = 0; list && n < list->count(); ++n) {
        const Attachment* att = list->at(n);
        if (!att)
            continue;
        Ptr<SinglePart> part = SinglePart::makeAttachment(att->get_fileName(), mimeTypeOf(*att),
                                                          attachmentBytes(settings, n, *att));
        if (!att->get_contentId().trimmed().isEmpty()) {
            part->setContentId(att->get_contentId());
            part->setDisposition("inline");
        }
        attachments.add(part);
    }

    hxMailLib::Mime::MimeBase* bodyPart = body.get();
    if (attachments.isEmpty()) {
        if (auto* alt = dynamic_cast<Multipart*>(bodyPart)) {
            out->setContentType(alt->getContentType());
            for (const auto& p : alt->getParts())
                out->addBodyPart(p);
        } else {
            out->setContentType(bodyPart->getContentType());
            out->addBodyPart(bodyPart);
        }
    } else {
        out->setContentType(hxMailLib::Mime::ContentType("multipart", "mixed"));
        out->addBodyPart(bodyPart);
        for (const auto& a : attachments)
            out->addBodyPart(a);
    }
    email = out;
    return 0;
}

long cast_MimeEMail_To_MessageItem(const Email* email, MessageItem* item) {
    if (!email || !item)
        return -1;
    item->set_subject(email->getSubject());
    item->set_normalizedSubject(email->getSubject());
    item->set_from(addressText(email->getFrom()));
    item->set_to(addressText(email->getTo()));
    item->set_cc(addressText(email->getCc()));
    item->set_bcc(addressText(email->getBcc()));
    item->set_sent(email->getOrigDate());
    item->set_size(email->getSize());

    String priority = email->getHeader("X-Priority").trimmed();
    String importance = email->getHeader("Importance").trimmed();
    long level = MessageItem::ImportanceNormal;
    if (importance.equalsNoCase("high") || priority.startsWith("1") || priority.startsWith("2"))
        level = MessageItem::ImportanceHigh;
    else if (importance.equalsNoCase("low") || priority.startsWith("4") || priority.startsWith("5"))
        level = MessageItem::ImportanceLow;
    item->set_importance(level);

    String sensitivity = email->getHeader("Sensitivity").trimmed();
    long sens = 0;
    if (sensitivity.equalsNoCase("Personal"))
        sens = 1;
    else if (sensitivity.equalsNoCase("Private"))
        sens = 2;
    else if (sensitivity.equalsNoCase("Company-Confidential") || sensitivity.equalsNoCase("Confidential"))
        sens = 3;
    item->set_sensitivity(sens);
    item->set_readReceiptRequested(!email->getHeader("Disposition-Notification-To").trimmed().isEmpty());
    item->set_deliveryReceiptRequested(!email->getHeader("Return-Receipt-To").trimmed().isEmpty());
    item->set_hasAttachments(!email->getAttachments().isEmpty());
    return 0;
}

long cast_MimeEMail_To_MessageDetail(const Email* email, Ptr<MessageDetail>& detail, Settings& settings,
                                     String clientId) {
    if (!email)
        return -1;
    if (!detail)
        detail = new MessageDetail();

    Ptr<Recipient> sender;
    if (!email->getFrom().isEmpty())
        sender = toRecipient(email->getFrom()[0], kFromType);
    detail->set_from(sender);
    detail->set_to(toRecipients(email->getTo(), kToType));
    detail->set_cc(toRecipients(email->getCc(), kCcType));
    detail->set_bcc(toRecipients(email->getBcc(), kBccType));
    String messageId = email->getMessageId();
    if (!messageId.isEmpty())
        detail->set_id(messageId);

    // Body.
    Ptr<SinglePart> html = email->findTextBody("html");
    Ptr<SinglePart> plain = email->findTextBody("plain");
    Ptr<hxMail::MessageBody> body(new hxMail::MessageBody());
    if (plain && (!html || flag(settings, "preferText"))) {
        if (flag(settings, "preferText")) {
            body->set_text(plain->getText());
            detail->set_textType("text");
        } else {
            body->set_text(Lattice::HTMLConvert::toHTML(plain->getText()));
            detail->set_textType("html");
        }
    } else if (html) {
        body->set_text(html->getText());
        detail->set_textType("html");
    } else {
        detail->set_textType("html");
    }

    // Attachments, numbered in order from 0; their bytes go back through the settings.
    Ptr<hxMail::Attachments> attachments(new hxMail::Attachments());
    String imageUrl = text(settings, "inlineImageUrl");
    String bodyText = body->get_text();
    long n = 0;
    for (const auto& part : email->getAttachments()) {
        Ptr<Attachment> att(new Attachment());
        String name = part->getFileName();
        String type = part->getContentType().getMimeType();
        att->set_id(String::fromLong(n));
        att->set_attachNum(n);
        att->set_fileName(name);
        att->set_mimeType(type);
        long dot = name.findLast('.');
        att->set_fileType(dot >= 0 ? name.substring(dot + 1).toLower() : String());
        att->set_contentId(part->getContentId());
        att->set_size(part->getSize());
        att->set_method(1);
        att->set_isVCard(type == "text/vcard" || type == "text/x-vcard" || att->get_fileType() == "vcf");
        settings.set(attachmentKey(n), Data(part->getContent()));
        if (!imageUrl.isEmpty() && !part->getContentId().isEmpty()) {
            String url = imageUrl;
            url.replaceAll("{clientId}", clientId);
            url.replaceAll("{attachNum}", String::fromLong(n));
            url.replaceAll("{contentId}", part->getContentId());
            bodyText.replaceAllNoCase("cid:" + part->getContentId(), url);
        }
        attachments->add(att);
        ++n;
    }
    body->set_text(bodyText);
    detail->set_body(body);
    detail->set_attachments(attachments);

    // What the detail has no place for.
    MessageItem item;
    cast_MimeEMail_To_MessageItem(email, &item);
    settings.set("subject", Data(item.get_subject()));
    settings.set("sent", Data(item.get_sent()));
    settings.set("messageId", Data(messageId));
    settings.set("importance", Data(item.get_importance()));
    settings.set("sensitivity", Data(item.get_sensitivity()));
    settings.set("readReceiptRequested", Data(item.get_readReceiptRequested()));
    settings.set("deliveryReceiptRequested", Data(item.get_deliveryReceiptRequested()));
    return 0;
}

String replySubject(const String& subject) {
    String trimmed = subject.trimmed();
    if (trimmed.startsWithNoCase("re:"))
        return subject;
    return "Re: " + subject;
}

namespace {
String recipientText(const Recipient* r) {
    if (!r)
        return {};
    MailAddress a = toMailAddress(*r);
    if (a.address.isEmpty())
        a.name = r->get_displayName().trimmed();
    return a.toString();
}

String recipientsText(const Recipients* list) {
    String out;
    for (long i = 0; list && i < list->count(); ++i) {
        String one = recipientText(list->at(i));
        if (one.isEmpty())
            continue;
        if (!out.isEmpty())
            out += "; ";
        out += one;
    }
    return out;
}
} // namespace

long convertToReply(Ptr<MessageDetail>& detail, String dateText, String subject, bool replyAll) {
    if (!detail)
        return -1;
    MessageDetail& d = *detail;
    String fromText = recipientText(d.get_from().get());
    String toText = recipientsText(d.get_to().get());
    String ccText = recipientsText(d.get_cc().get());

    String body = d.get_body() ? d.get_body()->get_text() : String();
    String replied;
    if (isHtmlType(d.get_textType())) {
        using Lattice::HTMLEncode;
        String block = "<br><br><div>-----Original Message-----<br>";
        block += "<b>From:</b> " + HTMLEncode::escape(fromText) + "<br>";
        block += "<b>Sent:</b> " + HTMLEncode::escape(dateText) + "<br>";
        block += "<b>To:</b> " + HTMLEncode::escape(toText) + "<br>";
        if (!ccText.isEmpty())
            block += "<b>Cc:</b> " + HTMLEncode::escape(ccText) + "<br>";
        block += "<b>Subject:</b> " + HTMLEncode::escape(subject) + "<br></div><br>";
        long bodyTag = body.findNoCase("<body");
        long close = bodyTag >= 0 ? body.find('>', bodyTag) : -1;
        if (close >= 0)
            replied = body.left(close + 1) + block + body.substring(close + 1);
        else
            replied = block + body;
    } else {
        String block = "\r\n\r\n-----Original Message-----\r\n";
        block += "From: " + fromText + "\r\n";
        block += "Sent: " + dateText + "\r\n";
        block += "To: " + toText + "\r\n";
        if (!ccText.isEmpty())
            block += "Cc: " + ccText + "\r\n";
        block += "Subject: " + subject + "\r\n\r\n";
        replied = block + body;
    }
    Ptr<hxMail::MessageBody> newBody(new hxMail::MessageBody());
    newBody->set_text(replied);
    d.set_body(newBody);

    // Recipients: back to the sender (and, replying to all, the other recipients).
    Ptr<Recipients> to(new Recipients());
    if (Recipient* sender = d.get_from().get()) {
        Ptr<Recipient> r(static_cast<Recipient*>(sender->deepCopy()));
        r->set_recipientType(kToType);
        to->add(r);
    }
    Ptr<Recipients> cc(new Recipients());
    if (replyAll) {
        for (long i = 0; d.get_to() && i < d.get_to()->count(); ++i)
            if (Recipient* r = d.get_to()->at(i))
                to->add(Ptr<Recipient>(static_cast<Recipient*>(r->deepCopy())));
        for (long i = 0; d.get_cc() && i < d.get_cc()->count(); ++i)
            if (Recipient* r = d.get_cc()->at(i))
                cc->add(Ptr<Recipient>(static_cast<Recipient*>(r->deepCopy())));
    }
    d.set_to(to);
    d.set_cc(cc);
    d.set_bcc(Ptr<Recipients>(new Recipients()));
    d.set_from(nullptr);
    d.set_attachments(Ptr<hxMail::Attachments>(new hxMail::Attachments()));
    d.set_id(String());
    return 0;
}

} // namespace hxMailConversion
