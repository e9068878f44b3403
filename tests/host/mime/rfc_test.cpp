// The worked examples of the MIME and message RFCs, typed in as test data.
#include "hxMime/Mime.h"

#include <gtest/gtest.h>

using namespace hxMailLib::Mime;
using Lattice::Ptr;
using Lattice::String;

namespace {

String crlf(const char* text) {
    String s(text);
    s.replaceAll("\n", "\r\n");
    return s;
}

Ptr<SinglePart> single(const Ptr<MimeBase>& p) {
    return Ptr<SinglePart>(dynamic_cast<SinglePart*>(p.get()));
}
Ptr<Multipart> multi(const Ptr<MimeBase>& p) {
    return Ptr<Multipart>(dynamic_cast<Multipart*>(p.get()));
}

const char* kRfc2046Simple = R"(From: Nathaniel Borenstein <nsb@bellcore.com>
To: Ned Freed <ned@innosoft.com>
Date: Sun, 21 Mar 1993 23:56:48 -0800 (PST)
Subject: Sample message
MIME-Version: 1.0
Content-type: multipart/mixed; boundary="simple boundary"

This is the preamble.  It is to be ignored, though it
is a handy place for composition agents to include an
explanatory note to non-MIME conformant readers.

--simple boundary

This is implicitly typed plain US-ASCII text.
It does NOT end with a linebreak.
--simple boundary
Content-type: text/plain; charset=us-ascii

This is explicitly typed plain US-ASCII text.
It DOES end with a linebreak.

--simple boundary--

This is the epilogue.  It is also to be ignored.
)";

const char* kRfc2049Complex = R"(MIME-Version: 1.0
From: Nathaniel Borenstein <nsb@nsb.fv.com>
To: Ned Freed <ned@innosoft.com>
Date: Fri, 07 Oct 1994 16:15:05 -0700 (PDT)
Subject: A multipart example
Content-Type: multipart/mixed;
              boundary=unique-boundary-1

This is the preamble area of a multipart message.
Mail readers that understand multipart format
should ignore this preamble.

If you are reading this text, you might want to
consider changing to a mail reader that understands
how to properly display multipart messages.

--unique-boundary-1

  ... Some text appears here ...

[Note that the blank between the boundary and the start
 of the text in this part means no header fields were
 given and this is text in the US-ASCII character set.
 It could have been done with explicit typing as in the
 next part.]

--unique-boundary-1
Content-type: text/plain; charset=US-ASCII

This could have been part of the previous part, but
illustrates explicit versus implicit typing of body
parts.

--unique-boundary-1
Content-Type: multipart/parallel; boundary=unique-boundary-2

--unique-boundary-2
Content-Type: audio/basic
Content-Transfer-Encoding: base64

  ... base64-encoded 8000 Hz single-channel
      mu-law-format audio data goes here ...

--unique-boundary-2
Content-Type: image/jpeg
Content-Transfer-Encoding: base64

  ... base64-encoded image data goes here ...

--unique-boundary-2--

--unique-boundary-1
Content-type: text/enriched

This is <bold><italic>enriched.</italic></bold>
<smaller>as defined in RFC 1896</smaller>

Isn't it
<bigger><bigger>cool?</bigger></bigger>

--unique-boundary-1
Content-Type: message/rfc822

From: (mailbox in US-ASCII)
To: (address in US-ASCII)
Subject: (subject in US-ASCII)
Content-Type: Text/plain; charset=ISO-8859-1
Content-Transfer-Encoding: Quoted-printable

  ... Additional text in ISO-8859-1 goes here ...

--unique-boundary-1--
)";

} // namespace

TEST(Rfc2046, SimpleMultipartExampleKeepsBothPartsAndDropsPreambleAndEpilogue) {
    for (const String& text : {String(kRfc2046Simple), crlf(kRfc2046Simple)}) {
        Email email;
        ASSERT_TRUE(email.decodeFromString(text));
        EXPECT_EQ(email.getSubject(), "Sample message");
        EXPECT_TRUE(email.getContentType().is("multipart", "mixed"));
        EXPECT_EQ(email.getBoundary(), "simple boundary");
        ASSERT_EQ(email.getFrom().count(), 1);
        EXPECT_EQ(email.getFrom()[0].name, "Nathaniel Borenstein");
        EXPECT_EQ(email.getFrom()[0].address, "nsb@bellcore.com");
        ASSERT_EQ(email.getTo().count(), 1);
        EXPECT_EQ(email.getTo()[0].address, "ned@innosoft.com");

        Lattice::_DateTimeData date = email.getOrigDate();
        EXPECT_EQ(date.fullYear(), 1993);
        EXPECT_EQ(date.month, 3);
        EXPECT_EQ(date.day, 21);
        EXPECT_EQ(date.hour, 23);
        EXPECT_EQ(date.minute, 56);
        EXPECT_EQ(date.second, 48);
        EXPECT_EQ(date.zoneOffset, 480); // -0800 is eight hours west

        ASSERT_EQ(email.getBodyParts().count(), 2);
        auto implicit = single(email.getBodyParts()[0]);
        auto explicitPart = single(email.getBodyParts()[1]);
        ASSERT_TRUE(implicit && explicitPart);
        // No header fields: text/plain by default.
        EXPECT_TRUE(implicit->getContentType().is("text", "plain"));
        String first = implicit->getText();
        first.replaceAll("\r\n", "\n");
        EXPECT_EQ(first, "This is implicitly typed plain US-ASCII text.\nIt does NOT end with a linebreak.");
        String second = explicitPart->getText();
        second.replaceAll("\r\n", "\n");
        EXPECT_EQ(second, "This is explicitly typed plain US-ASCII text.\nIt DOES end with a linebreak.\n");
        EXPECT_EQ(explicitPart->getContentType().getCharset(), "us-ascii");
        EXPECT_FALSE(email.getBodyParts()[0]->getHeader("Content-Type").contains("preamble"));
        EXPECT_EQ(email.getSize(), text.length());
    }
}

TEST(Rfc2049, ComplexExampleGivesTheWholeTreeAndSurvivesReencoding) {
    Email email;
    ASSERT_TRUE(email.decodeFromString(crlf(kRfc2049Complex)));
    EXPECT_EQ(email.getSubject(), "A multipart example");
    EXPECT_EQ(email.getOrigDate().zoneOffset, 420);
    const auto& parts = email.getBodyParts();
    ASSERT_EQ(parts.count(), 5);

    auto implicit = single(parts[0]);
    ASSERT_TRUE(implicit);
    EXPECT_TRUE(implicit->getContentType().is("text", "plain"));
    EXPECT_TRUE(implicit->getText().contains("... Some text appears here ..."));
    EXPECT_FALSE(implicit->isAttachment());

    auto explicitPart = single(parts[1]);
    ASSERT_TRUE(explicitPart);
    EXPECT_TRUE(explicitPart->getText().startsWith("This could have been part of the previous part"));

    auto parallel = multi(parts[2]);
    ASSERT_TRUE(parallel);
    EXPECT_TRUE(parallel->getContentType().is("multipart", "parallel"));
    ASSERT_EQ(parallel->getParts().count(), 2);
    EXPECT_TRUE(parallel->getParts()[0]->getContentType().is("audio", "basic"));
    EXPECT_TRUE(parallel->getParts()[1]->getContentType().is("image", "jpeg"));
    EXPECT_EQ(parallel->getParts()[0]->getTransferEncoding(), "base64");
    // The placeholder text is not base64; what decodes is kept, and nothing breaks.
    EXPECT_TRUE(single(parallel->getParts()[1])->isAttachment());

    auto enriched = single(parts[3]);
    ASSERT_TRUE(enriched);
    EXPECT_TRUE(enriched->getContentType().is("text", "enriched"));
    EXPECT_TRUE(enriched->getText().contains("<bigger><bigger>cool?</bigger></bigger>"));

    auto attached = single(parts[4]);
    ASSERT_TRUE(attached);
    EXPECT_TRUE(attached->getContentType().is("message", "rfc822"));
    Email inner;
    ASSERT_TRUE(inner.decodeFromString(attached->getContent()));
    EXPECT_EQ(inner.getSubject(), "(subject in US-ASCII)");
    ASSERT_EQ(inner.getBodyParts().count(), 1);
    auto innerText = single(inner.getBodyParts()[0]);
    EXPECT_EQ(innerText->getContentType().getCharset(), "ISO-8859-1");
    EXPECT_TRUE(innerText->getText().contains("Additional text in ISO-8859-1 goes here"));

    // Leaves are found through the nesting; text bodies come before attachments.
    EXPECT_EQ(email.getLeaves().count(), 6);
    auto body = email.findTextBody("plain");
    ASSERT_TRUE(body);
    EXPECT_EQ(body.get(), implicit.get());

    // Encoded again, the tree and the attached message come back.
    Email again;
    ASSERT_TRUE(again.decodeFromString(email.encodeToString()));
    ASSERT_EQ(again.getBodyParts().count(), 5);
    auto parallelAgain = multi(again.getBodyParts()[2]);
    ASSERT_TRUE(parallelAgain);
    ASSERT_EQ(parallelAgain->getParts().count(), 2);
    for (long i = 0; i < 2; ++i)
        EXPECT_EQ(single(parallelAgain->getParts()[i])->getContent(),
                  single(parallel->getParts()[i])->getContent());
    Email innerAgain;
    ASSERT_TRUE(innerAgain.decodeFromString(single(again.getBodyParts()[4])->getContent()));
    EXPECT_EQ(innerAgain.getSubject(), "(subject in US-ASCII)");
}

TEST(Rfc2047, HeaderExamplesDecode) {
    const char* text = "From: =?US-ASCII?Q?Keith_Moore?= <moore@cs.utk.edu>\r\n"
                       "To: =?ISO-8859-1?Q?Keld_J=F8rn_Simonsen?= <keld@dkuug.dk>\r\n"
                       "CC: =?ISO-8859-1?Q?Andr=E9?= Pirard <PIRARD@vm1.ulg.ac.be>\r\n"
                       "Subject: =?ISO-8859-1?B?SWYgeW91IGNhbiByZWFkIHRoaXMgeW8=?=\r\n"
                       "    =?ISO-8859-2?B?dSB1bmRlcnN0YW5kIHRoZSBleGFtcGxlLg==?=\r\n"
                       "\r\n"
                       "body\r\n";
    Email email;
    ASSERT_TRUE(email.decodeFromString(text));
    ASSERT_EQ(email.getFrom().count(), 1);
    EXPECT_EQ(email.getFrom()[0].name, "Keith Moore");
    EXPECT_EQ(email.getFrom()[0].address, "moore@cs.utk.edu");
    ASSERT_EQ(email.getTo().count(), 1);
    EXPECT_EQ(email.getTo()[0].name, "Keld J\xC3\xB8rn Simonsen");
    ASSERT_EQ(email.getCc().count(), 1);
    EXPECT_EQ(email.getCc()[0].name, "Andr\xC3\xA9 Pirard");
    EXPECT_EQ(email.getCc()[0].address, "PIRARD@vm1.ulg.ac.be");
    EXPECT_EQ(email.getSubject(), "If you can read this you understand the example.");

    const char* more[][2] = {
        {"From: =?ISO-8859-1?Q?Olle_J=E4rnefors?= <ojarnef@admin.kth.se>", "Olle J\xC3\xA4rnefors"},
        {"From: =?ISO-8859-1?Q?Patrik_F=E4ltstr=F6m?= <paf@nada.kth.se>", "Patrik F\xC3\xA4ltstr\xC3\xB6m"},
    };
    for (auto& m : more) {
        Email e;
        ASSERT_TRUE(e.decodeFromString(String(m[0]) + "\r\n\r\nx"));
        ASSERT_EQ(e.getFrom().count(), 1) << m[0];
        EXPECT_EQ(e.getFrom()[0].name, m[1]);
    }
}

TEST(Rfc2047, EncodedWordSpacingRules) {
    // The display column of the RFC's table, as unstructured Subject text.
    const char* cases[][2] = {
        {"=?ISO-8859-1?Q?a?=", "a"},
        {"=?ISO-8859-1?Q?a?= b", "a b"},
        {"=?ISO-8859-1?Q?a?= =?ISO-8859-1?Q?b?=", "ab"},
        {"=?ISO-8859-1?Q?a?=  =?ISO-8859-1?Q?b?=", "ab"},
        {"=?ISO-8859-1?Q?a?=\r\n    =?ISO-8859-1?Q?b?=", "ab"},
        {"=?ISO-8859-1?Q?a_b?=", "a b"},
        {"=?ISO-8859-1?Q?a?= =?ISO-8859-2?Q?_b?=", "a b"},
    };
    for (auto& c : cases) {
        Email e;
        ASSERT_TRUE(e.decodeFromString(String("Subject: ") + c[0] + "\r\n\r\nbody"));
        EXPECT_EQ(e.getSubject(), c[1]) << c[0];
    }
}

TEST(Rfc2231, ParameterContinuationsAndCharsets) {
    ContentType ct("application/x-stuff;\r\n title*0*=us-ascii'en'This%20is%20even%20more%20;\r\n"
                   " title*1*=%2A%2A%2Afun%2A%2A%2A%20;\r\n title*2=\"isn't it!\"");
    EXPECT_TRUE(ct.isValid());
    EXPECT_EQ(ct.getParameter("title"), "This is even more ***fun*** isn't it!");

    ContentType latin("text/plain; name*=iso-8859-1''M%E4rz.txt");
    EXPECT_EQ(latin.getParameter("NAME"), "M\xC3\xA4rz.txt");
}
