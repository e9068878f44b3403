// Host messages to MIME and back, and the reply rules.
#include "hxMailConversion/Conversion.h"

#include "Lattice/Util.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

using namespace hxMailConversion;
using hxMail::Attachment;
using hxMail::MessageDetail;
using hxMail::Recipient;
using hxMailLib::Mime::Email;
using hxMailLib::Mime::SinglePart;
using Lattice::Data;
using Lattice::Ptr;
using Lattice::String;

namespace {

Ptr<Recipient> recipient(const String& name, const String& smtp) {
    Ptr<Recipient> r(new Recipient());
    r->set_displayName(name);
    r->set_smtpAddress(smtp);
    r->set_emailAddress(smtp);
    return r;
}

Ptr<Attachment> attachment(const String& name, const String& mime = String()) {
    Ptr<Attachment> a(new Attachment());
    a->set_fileName(name);
    a->set_mimeType(mime);
    return a;
}

String binary() {
    String s;
    for (int i = 0; i < 512; ++i)
        s += static_cast<char>((i * 7) % 256);
    return s;
}

struct Composed {
    Ptr<hxMail::Message> item{new hxMail::Message()};
    Ptr<MessageDetail> detail{new MessageDetail()};
    Settings settings;
};

Composed sample() {
    Composed c;
    c.item->set_subject("\xC3\x9C"
                        "ber die Pl\xC3\xA4ne f\xC3\xBCr 2006 \xE2\x80\x94 Entwurf");
    Lattice::_DateTimeData sent;
    sent.setFullYear(2005);
    sent.month = 11;
    sent.day = 1;
    sent.hour = 14;
    sent.minute = 20;
    c.item->set_sent(sent);
    c.item->set_importance(hxMail::MessageItem::ImportanceHigh);
    c.item->set_sensitivity(3);
    c.item->set_readReceiptRequested(true);
    c.detail->set_from(recipient("M\xC3\xBCller, J\xC3\xB6rg", "joerg@example.com"));
    c.detail->get_to()->add(recipient("Doe, John", "john@example.com"));
    c.detail->get_to()->add(recipient("", "plain@example.com"));
    c.detail->get_cc()->add(recipient("\xE6\x9D\x8E\xE5\x9B\x9B", "li@example.cn"));
    c.detail->get_bcc()->add(recipient("Secret", "secret@example.com"));
    c.detail->set_textType("html");
    c.detail->get_body()->set_text("<html><body><p>Hallo <b>Welt</b> \xE2\x82\xAC</p></body></html>");
    c.detail->get_attachments()->add(attachment("Kosten\xC3\xBC"
                                                "bersicht M\xC3\xA4rz.xlsx"));
    c.detail->get_attachments()->add(attachment("photo.jpg", "image/jpeg"));
    c.settings.set("attachment.0", Data(binary()));
    Ptr<Lattice::BaseObject64> block(new Lattice::BaseObject64());
    block->setBinaryData("\xFF\xD8\xFF\xE0jpeg", 8, true);
    c.settings.set("attachment.1", Data(block));
    return c;
}

Ptr<Email> throughTheWire(const Ptr<Email>& email) {
    Ptr<Email> back(new Email());
    EXPECT_TRUE(back->decodeFromString(email->encodeToString()));
    return back;
}

} // namespace

TEST(ToMime, RoundTripKeepsEnvelopeBodiesAndAttachments) {
    Composed c = sample();
    Ptr<Email> email;
    ASSERT_EQ(cast_MailMessage_toMimeEmail(c.item.get(), c.detail.get(), email, c.settings), 0);
    ASSERT_TRUE(email);
    Ptr<Email> back = throughTheWire(email);

    hxMail::Message item;
    ASSERT_EQ(cast_MimeEMail_To_MessageItem(back.get(), &item), 0);
    EXPECT_EQ(item.get_subject(), c.item->get_subject());
    EXPECT_EQ(item.get_sent(), c.item->get_sent());
    EXPECT_EQ(item.get_importance(), hxMail::MessageItem::ImportanceHigh);
    EXPECT_EQ(item.get_sensitivity(), 3);
    EXPECT_TRUE(item.get_readReceiptRequested());
    EXPECT_FALSE(item.get_deliveryReceiptRequested());
    EXPECT_TRUE(item.get_hasAttachments());

    Ptr<MessageDetail> detail;
    Settings out;
    ASSERT_EQ(cast_MimeEMail_To_MessageDetail(back.get(), detail, out, "client-1"), 0);
    ASSERT_TRUE(detail && detail->get_from());
    EXPECT_EQ(detail->get_from()->get_displayName(), "M\xC3\xBCller, J\xC3\xB6rg");
    EXPECT_EQ(detail->get_from()->get_smtpAddress(), "joerg@example.com");
    ASSERT_EQ(detail->get_to()->count(), 2);
    EXPECT_EQ(detail->get_to()->at(0)->get_displayName(), "Doe, John");
    EXPECT_EQ(detail->get_to()->at(0)->get_recipientType(), 1);
    EXPECT_EQ(detail->get_to()->at(1)->get_smtpAddress(), "plain@example.com");
    ASSERT_EQ(detail->get_cc()->count(), 1);
    EXPECT_EQ(detail->get_cc()->at(0)->get_displayName(), "\xE6\x9D\x8E\xE5\x9B\x9B");
    EXPECT_EQ(detail->get_cc()->at(0)->get_recipientType(), 2);
    ASSERT_EQ(detail->get_bcc()->count(), 1);
    EXPECT_EQ(detail->get_bcc()->at(0)->get_smtpAddress(), "secret@example.com");

    EXPECT_EQ(detail->get_textType(), "html");
    EXPECT_EQ(detail->get_body()->get_text(), c.detail->get_body()->get_text());

    ASSERT_EQ(detail->get_attachments()->count(), 2);
    Attachment* first = detail->get_attachments()->at(0);
    EXPECT_EQ(first->get_fileName(), "Kosten\xC3\xBC"
                                     "bersicht M\xC3\xA4rz.xlsx");
    EXPECT_EQ(first->get_fileType(), "xlsx");
    EXPECT_EQ(first->get_size(), 512);
    EXPECT_EQ(first->get_attachNum(), 0);
    Data bytes;
    ASSERT_TRUE(out.get("attachment.0", bytes));
    EXPECT_EQ(bytes.toString(), binary());
    ASSERT_TRUE(out.get("attachment.1", bytes));
    EXPECT_EQ(bytes.toString(), String("\xFF\xD8\xFF\xE0jpeg", 8));
    EXPECT_EQ(detail->get_attachments()->at(1)->get_mimeType(), "image/jpeg");

    Data subject;
    ASSERT_TRUE(out.get("subject", subject));
    EXPECT_EQ(subject.toString(), c.item->get_subject());
}

TEST(ToMime, BodyShapes) {
    struct Case {
        const char* textType;
        const char* key;
        const char* mime;
        long parts;
    } cases[] = {
        {"html", nullptr, "multipart/alternative", 2},
        {"html", "htmlOnly", "text/html", 1},
        {"html", "textOnly", "text/plain", 1},
        {"text", nullptr, "text/plain", 1},
        {"", nullptr, "text/plain", 1},
    };
    for (const auto& k : cases) {
        Composed c;
        c.detail->set_textType(k.textType);
        c.detail->get_body()->set_text("<p>One &amp; two</p>");
        if (k.key)
            c.settings.set(k.key, Data(true));
        Ptr<Email> email;
        ASSERT_EQ(cast_MailMessage_toMimeEmail(c.item.get(), c.detail.get(), email, c.settings), 0);
        Ptr<Email> back = throughTheWire(email);
        EXPECT_EQ(back->getContentType().getMimeType(), k.mime) << k.textType << " " << (k.key ? k.key : "");
        EXPECT_EQ(back->getBodyParts().count(), k.parts);
    }

    // The text alternative of HTML is its visible text, unless one is supplied.
    Composed c;
    c.detail->set_textType("html");
    c.detail->get_body()->set_text("<p>One &amp; two</p>");
    Ptr<Email> email;
    cast_MailMessage_toMimeEmail(c.item.get(), c.detail.get(), email, c.settings);
    EXPECT_TRUE(email->findTextBody("plain")->getText().contains("One & two"));
    c.settings.set("plainText", Data("my own text"));
    cast_MailMessage_toMimeEmail(c.item.get(), c.detail.get(), email, c.settings);
    EXPECT_EQ(email->findTextBody("plain")->getText(), "my own text");

    // With attachments the body alternative is nested in multipart/mixed.
    Composed a = sample();
    cast_MailMessage_toMimeEmail(a.item.get(), a.detail.get(), email, a.settings);
    Ptr<Email> back = throughTheWire(email);
    EXPECT_EQ(back->getContentType().getMimeType(), "multipart/mixed");
    ASSERT_EQ(back->getBodyParts().count(), 3);
    EXPECT_EQ(back->getBodyParts()[0]->getContentType().getMimeType(), "multipart/alternative");
}

TEST(ToMime, HeadersForImportanceSensitivityAndReceipts) {
    struct Case {
        long importance;
        const char* priority;
        const char* importanceHeader;
    } levels[] = {{0, "5 (Lowest)", "low"}, {1, "", ""}, {2, "1 (Highest)", "high"}};
    for (const auto& l : levels) {
        Composed c = sample();
        c.item->set_importance(l.importance);
        Ptr<Email> email;
        cast_MailMessage_toMimeEmail(c.item.get(), c.detail.get(), email, c.settings);
        EXPECT_EQ(email->getHeader("X-Priority"), l.priority);
        EXPECT_EQ(email->getHeader("Importance"), l.importanceHeader);
        hxMail::Message item;
        cast_MimeEMail_To_MessageItem(throughTheWire(email).get(), &item);
        EXPECT_EQ(item.get_importance(), l.importance);
    }
    const char* sensitivity[] = {"", "Personal", "Private", "Company-Confidential", ""};
    for (long s = 0; s < 5; ++s) {
        Composed c = sample();
        c.item->set_sensitivity(s);
        Ptr<Email> email;
        cast_MailMessage_toMimeEmail(c.item.get(), c.detail.get(), email, c.settings);
        EXPECT_EQ(email->getHeader("Sensitivity"), sensitivity[s]);
        hxMail::Message item;
        cast_MimeEMail_To_MessageItem(email.get(), &item);
        EXPECT_EQ(item.get_sensitivity(), s == 4 ? 0 : s);
    }

    Composed c = sample();
    c.item->set_readReceiptRequested(true);
    c.item->set_deliveryReceiptRequested(true);
    Ptr<Email> email;
    cast_MailMessage_toMimeEmail(c.item.get(), c.detail.get(), email, c.settings);
    Ptr<Email> back = throughTheWire(email);
    EXPECT_EQ(back->getHeader("Disposition-Notification-To"),
              "\"M\xC3\xBCller, J\xC3\xB6rg\" <joerg@example.com>");
    EXPECT_EQ(back->getHeader("Return-Receipt-To"), back->getHeader("Disposition-Notification-To"));
}

TEST(ToMime, AttachmentSourcesAndInlinePictures) {
    String path = testing::TempDir() + "hx_conversion_attachment.bin";
    {
        std::ofstream f(path.c_str(), std::ios::binary);
        f << "from a file\0with a zero";
    }
    Composed c;
    c.detail->set_textType("html");
    c.detail->get_body()->set_text("<img src=\"cid:pic1@host\">");
    Ptr<Attachment> fromFile = attachment("notes.txt");
    fromFile->set_path(path);
    c.detail->get_attachments()->add(fromFile);
    Ptr<Attachment> missing = attachment("gone.doc");
    missing->set_path("/nonexistent/dir/gone.doc");
    c.detail->get_attachments()->add(missing);
    Ptr<Attachment> picture = attachment("pic.png");
    picture->set_contentId("<pic1@host>");
    c.detail->get_attachments()->add(picture);
    c.settings.set("attachment.2", Data("PNGDATA"));
    Ptr<Attachment> card = attachment("contact");
    card->set_isVCard(true);
    c.detail->get_attachments()->add(card);

    Ptr<Email> email;
    ASSERT_EQ(cast_MailMessage_toMimeEmail(c.item.get(), c.detail.get(), email, c.settings), 0);
    auto atts = throughTheWire(email)->getAttachments();
    ASSERT_EQ(atts.count(), 4);
    EXPECT_EQ(atts[0]->getContent(), "from a file");
    EXPECT_EQ(atts[0]->getContentType().getMimeType(), "text/plain");
    EXPECT_EQ(atts[1]->getContent(), "");
    EXPECT_EQ(atts[1]->getFileName(), "gone.doc");
    EXPECT_EQ(atts[2]->getContentId(), "pic1@host");
    EXPECT_EQ(atts[2]->getDisposition(), "inline");
    EXPECT_EQ(atts[2]->getContentType().getMimeType(), "image/png");
    EXPECT_EQ(atts[3]->getContentType().getMimeType(), "text/x-vcard");
    std::remove(path.c_str());

    // Reading back: cid references stay for the caller unless a URL template is given.
    Ptr<MessageDetail> detail;
    Settings settings;
    cast_MimeEMail_To_MessageDetail(throughTheWire(email).get(), detail, settings, "C7");
    EXPECT_TRUE(detail->get_body()->get_text().contains("cid:pic1@host"));
    EXPECT_TRUE(detail->get_attachments()->at(3)->get_isVCard());
    settings.set("inlineImageUrl", Data("/att?client={clientId}&n={attachNum}&cid={contentId}"));
    cast_MimeEMail_To_MessageDetail(throughTheWire(email).get(), detail, settings, "C7");
    EXPECT_TRUE(detail->get_body()->get_text().contains("src=\"/att?client=C7&n=2&cid=pic1@host\""));
}

TEST(ToMime, FallsBackToItemTextsAndRejectsMissingArguments) {
    Composed c;
    c.item->set_from("Sender Name <sender@example.com>");
    c.item->set_to("a@example.com; \"B, Bee\" <b@example.com>");
    c.item->set_cc("c@example.com");
    Ptr<Email> email;
    ASSERT_EQ(cast_MailMessage_toMimeEmail(c.item.get(), c.detail.get(), email, c.settings), 0);
    ASSERT_EQ(email->getFrom().count(), 1);
    EXPECT_EQ(email->getFrom()[0].address, "sender@example.com");
    ASSERT_EQ(email->getTo().count(), 2);
    EXPECT_EQ(email->getTo()[1].name, "B, Bee");
    EXPECT_EQ(email->getCc().count(), 1);
    // No sent date: now.
    EXPECT_TRUE(email->getOrigDate().isSet());

    Ptr<Email> untouched(new Email());
    untouched->setSubject("keep");
    Ptr<Email> before = untouched;
    EXPECT_EQ(cast_MailMessage_toMimeEmail(nullptr, c.detail.get(), untouched, c.settings), -1);
    EXPECT_EQ(cast_MailMessage_toMimeEmail(c.item.get(), nullptr, untouched, c.settings), -1);
    EXPECT_EQ(untouched.get(), before.get());
    EXPECT_EQ(untouched->getSubject(), "keep");

    Ptr<MessageDetail> detail;
    Settings settings;
    EXPECT_EQ(cast_MimeEMail_To_MessageDetail(nullptr, detail, settings, ""), -1);
    EXPECT_FALSE(detail);
    EXPECT_EQ(cast_MimeEMail_To_MessageItem(nullptr, nullptr), -1);
    Ptr<MessageDetail> none;
    EXPECT_EQ(convertToReply(none, "date", "subject"), -1);
}

TEST(FromMime, TextOnlyMailAndRefillingAnExistingDetail) {
    Email email;
    ASSERT_TRUE(email.decodeFromString("From: a@example.com\r\nTo: b@example.com\r\nSubject: plain\r\n"
                                       "Message-Id: <m1@example.com>\r\n"
                                       "Content-Type: text/plain; charset=iso-8859-1\r\n\r\n"
                                       "line <1>\r\nGr\xFC\xDF"
                                       "e\r\n"));
    Ptr<MessageDetail> detail(new MessageDetail());
    detail->get_attachments()->add(attachment("stale.txt"));
    detail->get_cc()->add(recipient("Stale", "stale@example.com"));
    Settings settings;
    ASSERT_EQ(cast_MimeEMail_To_MessageDetail(&email, detail, settings, ""), 0);
    EXPECT_EQ(detail->get_textType(), "html");
    EXPECT_TRUE(detail->get_body()->get_text().contains("line &lt;1&gt;"));
    EXPECT_TRUE(detail->get_body()->get_text().contains("Gr\xC3\xBC\xC3\x9F"
                                                        "e"));
    EXPECT_EQ(detail->get_attachments()->count(), 0);
    EXPECT_EQ(detail->get_cc()->count(), 0);
    EXPECT_EQ(detail->get_id(), "m1@example.com");
    Data sent;
    ASSERT_TRUE(settings.get("sent", sent));
    EXPECT_FALSE(sent.toDateTime().isSet());

    settings.set("preferText", Data(true));
    ASSERT_EQ(cast_MimeEMail_To_MessageDetail(&email, detail, settings, ""), 0);
    EXPECT_EQ(detail->get_textType(), "text");
    EXPECT_EQ(detail->get_body()->get_text(), "line <1>\r\nGr\xC3\xBC\xC3\x9F"
                                              "e\r\n");

    // A message without any text body still gives an empty HTML body.
    Email bare;
    ASSERT_TRUE(bare.decodeFromString("Content-Type: application/pdf\r\n\r\n%PDF"));
    Ptr<MessageDetail> d2;
    Settings s2;
    ASSERT_EQ(cast_MimeEMail_To_MessageDetail(&bare, d2, s2, ""), 0);
    EXPECT_EQ(d2->get_body()->get_text(), "");
    EXPECT_EQ(d2->get_attachments()->count(), 1);
    EXPECT_FALSE(d2->get_from());
}

TEST(FromMime, ChunkedStoreReadsBackIntoADetail) {
    // A store writes the header block and each part as separate chunks, then reads the parts back
    // one by one into an e-mail's body parts.
    Composed c = sample();
    Ptr<Email> email;
    ASSERT_EQ(cast_MailMessage_toMimeEmail(c.item.get(), c.detail.get(), email, c.settings), 0);
    email->setBoundary("A_B_C");
    Lattice::Array<String> chunks;
    for (const auto& part : email->getBodyParts())
        chunks.add(part->encodeToString() + "\r\n--A_B_C\r\n");

    Email restored;
    for (const auto& chunk : chunks) {
        auto part = hxMailLib::Mime::MimeBase::decodeMimeFromString(chunk.left(chunk.find("\r\n--A_B_C")));
        ASSERT_TRUE(part);
        restored.getBodyParts().add(part);
    }
    Ptr<MessageDetail> detail;
    Settings settings;
    ASSERT_EQ(cast_MimeEMail_To_MessageDetail(&restored, detail, settings, ""), 0);
    EXPECT_EQ(detail->get_body()->get_text(), c.detail->get_body()->get_text());
    ASSERT_EQ(detail->get_attachments()->count(), 2);
    Data bytes;
    ASSERT_TRUE(settings.get("attachment.0", bytes));
    EXPECT_EQ(bytes.toString(), binary());
}

TEST(Reply, SubjectPrefixRules) {
    EXPECT_EQ(replySubject("Lunch"), "Re: Lunch");
    EXPECT_EQ(replySubject("Re: Lunch"), "Re: Lunch");
    EXPECT_EQ(replySubject("RE: Lunch"), "RE: Lunch");
    EXPECT_EQ(replySubject("re:Lunch"), "re:Lunch");
    EXPECT_EQ(replySubject("  Re: Lunch"), "  Re: Lunch");
    EXPECT_EQ(replySubject(""), "Re: ");
    EXPECT_EQ(replySubject("Regarding lunch"), "Re: Regarding lunch");
    EXPECT_EQ(replySubject("Fwd: Lunch"), "Re: Fwd: Lunch");
    EXPECT_EQ(replySubject(replySubject("x")), "Re: x");
}

TEST(Reply, HtmlHeaderBlockLayoutAndRecipients) {
    Composed c = sample();
    Ptr<MessageDetail> detail = c.detail;
    detail->set_id("orig-id");
    ASSERT_EQ(convertToReply(detail, "Tue, 1 Nov 2005 15:20:00 +0100", "Plans <draft>"), 0);
    String expected = "<html><body><br><br><div>-----Original Message-----<br>"
                      "<b>From:</b> M\xC3\xBCller, J\xC3\xB6rg &lt;joerg@example.com&gt;<br>"
                      "<b>Sent:</b> Tue, 1 Nov 2005 15:20:00 +0100<br>"
                      "<b>To:</b> Doe, John &lt;john@example.com&gt;; plain@example.com<br>"
                      "<b>Cc:</b> \xE6\x9D\x8E\xE5\x9B\x9B &lt;li@example.cn&gt;<br>"
                      "<b>Subject:</b> Plans &lt;draft&gt;<br></div><br>"
                      "<p>Hallo <b>Welt</b> \xE2\x82\xAC</p></body></html>";
    EXPECT_EQ(detail->get_body()->get_text(), expected);
    ASSERT_EQ(detail->get_to()->count(), 1);
    EXPECT_EQ(detail->get_to()->at(0)->get_smtpAddress(), "joerg@example.com");
    EXPECT_EQ(detail->get_to()->at(0)->get_recipientType(), 1);
    EXPECT_EQ(detail->get_cc()->count(), 0);
    EXPECT_EQ(detail->get_bcc()->count(), 0);
    EXPECT_EQ(detail->get_attachments()->count(), 0);
    EXPECT_FALSE(detail->get_from());
    EXPECT_EQ(detail->get_id(), "");
    // The original sender object is not changed by the reply.
    EXPECT_EQ(c.detail.get(), detail.get());

    Composed all = sample();
    Ptr<MessageDetail> d2 = all.detail;
    ASSERT_EQ(convertToReply(d2, "x", "y", true), 0);
    ASSERT_EQ(d2->get_to()->count(), 3);
    EXPECT_EQ(d2->get_to()->at(1)->get_displayName(), "Doe, John");
    ASSERT_EQ(d2->get_cc()->count(), 1);
    EXPECT_EQ(d2->get_bcc()->count(), 0);

    // An HTML fragment without <body> gets the block in front.
    Ptr<MessageDetail> frag(new MessageDetail());
    frag->set_textType("html");
    frag->get_body()->set_text("<p>hi</p>");
    ASSERT_EQ(convertToReply(frag, "d", "s"), 0);
    EXPECT_TRUE(frag->get_body()->get_text().startsWith("<br><br><div>-----Original Message-----<br>"
                                                        "<b>From:</b> <br><b>Sent:</b> d<br><b>To:</b> <br>"
                                                        "<b>Subject:</b> s<br></div><br><p>hi</p>"));
}

TEST(Reply, TextHeaderBlockLayout) {
    Ptr<MessageDetail> detail(new MessageDetail());
    detail->set_textType("text");
    detail->set_from(recipient("Ann", "ann@example.com"));
    detail->get_to()->add(recipient("bob@example.com", "bob@example.com"));
    detail->get_body()->set_text("original text");
    ASSERT_EQ(convertToReply(detail, "Mon, 2 Jan 2006 09:00:00 +0000", "Status"), 0);
    EXPECT_EQ(detail->get_body()->get_text(), "\r\n\r\n-----Original Message-----\r\n"
                                              "From: Ann <ann@example.com>\r\n"
                                              "Sent: Mon, 2 Jan 2006 09:00:00 +0000\r\n"
                                              "To: bob@example.com\r\n"
                                              "Subject: Status\r\n\r\n"
                                              "original text");
    ASSERT_EQ(detail->get_to()->count(), 1);
    EXPECT_EQ(detail->get_to()->at(0)->get_displayName(), "Ann");

    // No sender, no body: the block alone, and nobody to reply to.
    Ptr<MessageDetail> empty(new MessageDetail());
    empty->set_body(nullptr);
    ASSERT_EQ(convertToReply(empty, "", ""), 0);
    EXPECT_TRUE(empty->get_body()->get_text().contains("-----Original Message-----"));
    EXPECT_EQ(empty->get_to()->count(), 0);
}
