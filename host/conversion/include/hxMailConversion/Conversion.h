#pragma once
// The host's conversions between its mail model and MIME e-mails.
//
// Every function answers a status: 0 for done, -1 when a required argument is missing (nothing is
// changed then). Objects passed in are only read unless named as output; results are new objects
// held by the caller's Ptr.
//
// Settings map. Every key is optional; the provider hands over an empty map.
//   Read by cast_MailMessage_toMimeEmail:
//     "textOnly" (bool)            send a text/plain body only; an HTML body is converted to text.
//     "htmlOnly" (bool)            send an HTML body without the text/plain alternative.
//     "plainText" (text)           the text/plain alternative to use instead of one made from HTML.
//     "attachment.<n>" (text or binary block)
//                                  the bytes of the detail's n-th attachment (0-based list order).
//                                  Without it, an attachment's `path` naming a readable file is
//                                  read; otherwise the attachment is sent empty.
//     "messageId" (text)           the Message-Id to give the e-mail.
//   Read by cast_MimeEMail_To_MessageDetail:
//     "preferText" (bool)          take the text/plain body as it is (textType "text") even when an
//                                  HTML body exists.
//     "inlineImageUrl" (text)      rewrites "cid:" references of the HTML body; "{clientId}",
//                                  "{attachNum}" and "{contentId}" are replaced. Without it the
//                                  references stay as "cid:" links.
//   Written by cast_MimeEMail_To_MessageDetail (outputs):
//     "attachment.<n>" (text)      the bytes of the n-th attachment of the detail.
//     "subject" (text), "sent" (date-time, unset when the e-mail has no date), "messageId" (text),
//     "importance" (long), "sensitivity" (long), "readReceiptRequested" (bool),
//     "deliveryReceiptRequested" (bool).

#include "hxMail/Message.h"
#include "hxMime/Mime.h"

#include "Lattice/Data.h"

namespace hxMailConversion {

using Settings = Lattice::Map<Lattice::String, Lattice::Data>;

// A host message and its detail as a MIME e-mail: From (the detail's sender, else the item's
// `from` text), To/Cc/Bcc, Subject, Date (the item's `sent`, else now), importance as X-Priority
// and Importance, sensitivity as Sensitivity, read receipts as Disposition-Notification-To,
// delivery receipts as Return-Receipt-To, the body (multipart/alternative when text and HTML) and
// the attachments with their bytes. `email` receives a new e-mail.
long cast_MailMessage_toMimeEmail(const hxMail::MessageItem* message, const hxMail::MessageDetail* detail,
                                  Lattice::Ptr<hxMailLib::Mime::Email>& email, Settings settings);

// A MIME e-mail as a host detail: sender, recipients, body (HTML when the e-mail has one, else its
// text as HTML), and the attachments (bytes into `settings`). A null `detail` gets a new detail;
// an existing one is filled in place, its lists replaced. `clientId` goes into inline image URLs.
long cast_MimeEMail_To_MessageDetail(const hxMailLib::Mime::Email* email,
                                     Lattice::Ptr<hxMail::MessageDetail>& detail, Settings& settings,
                                     Lattice::String clientId);

// The list-level fields of a MIME e-mail: subject, from/to/cc/bcc texts, sent, size, importance,
// sensitivity, receipt flags and hasAttachments.
long cast_MimeEMail_To_MessageItem(const hxMailLib::Mime::Email* email, hxMail::MessageItem* item);

// The subject of a reply: "Re: " + subject, unless the subject already starts with "Re:" in any
// letter case (leading blanks ignored).
Lattice::String replySubject(const Lattice::String& subject);

// Turns a detail into a reply of itself. The original sender becomes the only To recipient (with
// `replyAll`, the original To recipients follow it and Cc stays); Bcc, the sender and the
// attachments are dropped; the id is cleared. The body gets the header block of the original
// before it:
//   HTML ("html" textType):
//     <br><br><div>-----Original Message-----<br>
//     <b>From:</b> sender<br><b>Sent:</b> dateText<br><b>To:</b> to<br>[<b>Cc:</b> cc<br>]
//     <b>Subject:</b> subject<br></div><br>
//     inserted right after the <body> tag when there is one, else before the body.
//   Text (any other textType):
//     CRLF CRLF "-----Original Message-----" CRLF "From: " sender CRLF "Sent: " dateText CRLF
//     "To: " to CRLF ["Cc: " cc CRLF] "Subject: " subject CRLF CRLF, then the body.
// Names are "Display Name <address>" (or either alone) joined by "; ", escaped in HTML.
// `subject` is the original subject (give replySubject(subject) to the reply item).
long convertToReply(Lattice::Ptr<hxMail::MessageDetail>& detail, Lattice::String dateText,
                    Lattice::String subject, bool replyAll = false);

} // namespace hxMailConversion
