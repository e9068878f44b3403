// Native MIME memos: parsing messages into leaf parts, the stored part items and reading them back.
#include "fixture.h"
#include "mailgen.h"
#include "mimeparts.h"
#include "runtime.h"
#include "store.h"
#include "templates.h"

#include <random>

namespace {

using notes::mime::Message;
using notes::mime::Part;

// text/plain + text/html in an alternative, an inline image and an attachment (base64 and QP).
const char kMixed[] = "From: \"Anna Berg\" <anna@acme.example>\r\n"
                      "To: jdoe@acme.example\r\n"
                      "Subject: =?UTF-8?Q?Caf=C3=A9?= =?UTF-8?B?IG1lbnU=?=\r\n"
                      "MIME-Version: 1.0\r\n"
                      "Content-Type: multipart/mixed; boundary=\"outer\"\r\n"
                      "\r\n"
                      "This is a multi-part message.\r\n"
                      "--outer\r\n"
                      "Content-Type: multipart/related; boundary=inner\r\n"
                      "\r\n"
                      "--inner\r\n"
                      "Content-Type: multipart/alternative;\r\n"
                      "  boundary=\"alt\"\r\n"
                      "\r\n"
                      "--alt\r\n"
                      "Content-Type: text/plain; charset=ISO-8859-1\r\n"
                      "Content-Transfer-Encoding: quoted-printable\r\n"
                      "\r\n"
                      "Caf=E9 today, a long line that is wrapped =\r\n"
                      "softly.\r\n"
                      "--alt\r\n"
                      "Content-Type: text/html; charset=utf-8\r\n"
                      "\r\n"
                      "<p>Caf\xC3\xA9 <img src=\"cid:logo@acme\"></p>\r\n"
                      "--alt--\r\n"
                      "--inner\r\n"
                      "Content-Type: image/gif; name=\"logo.gif\"\r\n"
                      "Content-Transfer-Encoding: base64\r\n"
                      "Content-ID: <logo@acme>\r\n"
                      "Content-Disposition: inline\r\n"
                      "\r\n"
                      "R0lGODlhAQABAAAAACw=\r\n"
                      "--inner--\r\n"
                      "--outer\r\n"
                      "Content-Type: application/pdf\r\n"
                      "Content-Transfer-Encoding: base64\r\n"
                      "Content-Disposition: attachment; filename=\"plan.pdf\"\r\n"
                      "\r\n"
                      "JVBERi0xLjQK\r\n"
                      "--outer--\r\n"
                      "epilogue text\r\n";

std::vector<Part> storeAndRead(const Message& message) {
    std::vector<std::pair<WORD, std::string>> items;
    EXPECT_EQ(notes::mime::encodeParts(message, &items), NOERROR);
    notes::Note note;
    for (const auto& [type, value] : items) {
        note.append("Body", TYPE_MIME_PART, 0, value);
    }
    return notes::mime::leafParts(note);
}

} // namespace

TEST(NotesMime, MixedMessageLeavesDecodedStoredAndReadBackInSourceOrder) {
    Message m;
    std::string error;
    ASSERT_TRUE(notes::mime::parseMessage(kMixed, &m, &error)) << error;
    EXPECT_EQ(m.header("subject"), "Caf\xC3\xA9 menu"); // adjacent encoded words join
    EXPECT_EQ(m.header("From"), "\"Anna Berg\" <anna@acme.example>");
    EXPECT_EQ(m.epilog, "epilogue text\r\n");
    ASSERT_EQ(m.parts.size(), 4u);
    EXPECT_EQ(m.parts[0].contentType, "text/plain");
    EXPECT_EQ(m.parts[0].charset, "iso-8859-1");
    EXPECT_EQ(m.parts[0].content, "Caf\xE9 today, a long line that is wrapped softly.");
    EXPECT_EQ(m.parts[0].boundary, "alt");
    EXPECT_EQ(m.parts[1].contentType, "text/html");
    EXPECT_EQ(m.parts[2].contentType, "image/gif");
    EXPECT_EQ(m.parts[2].contentId, "logo@acme");
    EXPECT_EQ(m.parts[2].fileName, "logo.gif");
    EXPECT_EQ(m.parts[2].disposition, "inline");
    EXPECT_EQ(m.parts[2].content, std::string("GIF89a\x01\x00\x01\x00\x00\x00\x00,", 14));
    EXPECT_EQ(m.parts[3].fileName, "plan.pdf");
    EXPECT_EQ(m.parts[3].disposition, "attachment");
    EXPECT_EQ(m.parts[3].content, "%PDF-1.4\n");

    // Stored: message headers, four leaves, epilog; each leaf's item starts with its boundary.
    std::vector<std::pair<WORD, std::string>> items;
    ASSERT_EQ(notes::mime::encodeParts(m, &items), NOERROR);
    ASSERT_EQ(items.size(), 6u); // message headers, four leaves, epilog
    EXPECT_EQ(items.front().first, MIME_PART_MESSAGE);
    EXPECT_EQ(items.back().first, MIME_PART_EPILOG);
    for (std::size_t i = 1; i + 1 < items.size(); ++i) {
        MIME_PART record{};
        std::string text;
        ASSERT_TRUE(notes::mime::decodePartItem(items[i].second, &record, &text));
        EXPECT_EQ(record.wVersion, 2);
        EXPECT_EQ(record.cPartType, MIME_PART_BODY);
        EXPECT_EQ(record.wByteCount, text.size());
        EXPECT_EQ(text.rfind("\r\n--" + m.parts[i - 1].boundary + "\r\n", 0), 0u);
        EXPECT_EQ(text.substr(record.wBoundaryLen, record.wHeadersLen), m.parts[i - 1].headers);
        EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    }
    // Stored as 20-byte records read through the C API's record reader.
    MIME_PART viaOds{};
    void* src = items[1].second.data();
    ODSReadMemory(&src, _MIME_PART, &viaOds, 1);
    EXPECT_EQ(static_cast<char*>(src) - items[1].second.data(), 20);
    EXPECT_EQ(ODSLength(_MIME_PART), 20);
    EXPECT_EQ(ODSLength(0x1234), 0);
    EXPECT_EQ(viaOds.cPartType, MIME_PART_BODY);

    const std::vector<Part> back = storeAndRead(m);
    ASSERT_EQ(back.size(), 4u);
    for (std::size_t i = 0; i < back.size(); ++i) {
        EXPECT_EQ(back[i].contentType, m.parts[i].contentType);
        EXPECT_EQ(back[i].content, m.parts[i].content) << i;
        EXPECT_EQ(back[i].fileName, m.parts[i].fileName);
        EXPECT_EQ(back[i].contentId, m.parts[i].contentId);
    }
}

TEST(NotesMime, SinglePartMessageGetsAGeneratedBoundary) {
    // Bare LF line ends, as files written on Unix have them.
    const char eml[] = "From: a@example.com\nSubject: Lunch\nContent-Type: text/plain; charset=us-ascii\n"
                       "Content-Transfer-Encoding: 7bit\n\nSee you at noon.\n-- \nA\n";
    Message m;
    ASSERT_TRUE(notes::mime::parseMessage(eml, &m, nullptr));
    ASSERT_EQ(m.parts.size(), 1u);
    const Part& p = m.parts[0];
    EXPECT_FALSE(p.boundary.empty());
    EXPECT_EQ(p.boundary.find('-'), std::string::npos);
    EXPECT_NE(m.headers.find("multipart/mixed; boundary=\"" + p.boundary + "\""), std::string::npos);
    EXPECT_EQ(m.headers.find("text/plain"), std::string::npos); // moved into the part
    EXPECT_NE(p.headers.find("Content-Transfer-Encoding: 7bit\r\n"), std::string::npos);
    EXPECT_EQ(p.content, "See you at noon.\r\n-- \r\nA\r\n");
    EXPECT_EQ(m.header("Subject"), "Lunch");

    const std::vector<Part> back = storeAndRead(m);
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].content, p.content);
    EXPECT_EQ(back[0].charset, "us-ascii");

    Message bare; // no content headers at all: plain text
    ASSERT_TRUE(notes::mime::parseMessage("Subject: x\r\n\r\nhello", &bare, nullptr));
    ASSERT_EQ(bare.parts.size(), 1u);
    EXPECT_EQ(bare.parts[0].contentType, "text/plain");
    EXPECT_EQ(storeAndRead(bare).at(0).content, "hello");
}

TEST(NotesMime, ChunkedBodiesAsWrittenThroughTheCApiReadBack) {
    // Chunks of part type 2 only, each ending with the boundary line, no closing delimiter.
    const std::vector<std::string> chunks = {
        "From: me@example.com\r\nMIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b_1\"\r\n\r\n"
        "\r\n--b_1\r\n",
        "Content-Type: text/plain\r\n\r\nfirst\r\n--b_1\r\n",
        "Content-Type: text/html\r\nContent-Transfer-Encoding: base64\r\n\r\nPGI+aGk8L2I+\r\n--b_1\r\n"};
    notes::Note note;
    for (const std::string& chunk : chunks) {
        MIME_PART record{};
        record.wVersion = 2;
        record.cPartType = MIME_PART_BODY;
        record.wByteCount = static_cast<WORD>(chunk.size());
        note.append("Body", TYPE_MIME_PART, ITEM_SUMMARY,
                    std::string(reinterpret_cast<const char*>(&record), sizeof record) + chunk);
    }
    const std::vector<Part> parts = notes::mime::leafParts(note);
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(parts[0].content, "first");
    EXPECT_EQ(parts[1].content, "<b>hi</b>");
    EXPECT_NE(notes::mime::topHeaders(note).find("From: me@example.com"), std::string::npos);
}

TEST(NotesMime, BadInputIsRefusedWithAReason) {
    std::string deep;
    for (int i = 0; i < 70; ++i) {
        deep += "Content-Type: multipart/mixed; boundary=b" + std::to_string(i) + "\r\n\r\n--b" +
                std::to_string(i) + "\r\n";
    }
    const struct {
        std::string eml;
        const char* says;
    } kRefused[] = {
        {"no header block at all", "header"},
        {"Content-Type: multipart/mixed\r\n\r\nx", "boundary"},
        {"Content-Type: multipart/mixed; boundary=q\r\n\r\nno parts here", ""},
        {deep + "\r\nx", "deep"},
    };
    Message m;
    for (const auto& c : kRefused) {
        std::string error;
        EXPECT_FALSE(notes::mime::parseMessage(c.eml, &m, &error)) << c.says;
        EXPECT_NE(error.find(c.says), std::string::npos) << error;
    }

    Message big;
    ASSERT_TRUE(notes::mime::parseMessage("Subject: big\r\n\r\n" + std::string(70000, 'x'), &big, nullptr));
    std::vector<std::pair<WORD, std::string>> items;
    EXPECT_EQ(notes::mime::encodeParts(big, &items), ERR_MIME_PART_TOO_BIG);
    EXPECT_TRUE(items.empty());

    MIME_PART record{};
    std::string text;
    EXPECT_FALSE(notes::mime::decodePartItem(std::string(10, '\0'), &record, &text));
    std::string cut(20, '\0');
    cut[8] = 5; // claims 5 bytes of text, has none
    EXPECT_FALSE(notes::mime::decodePartItem(cut, &record, &text));
}

TEST(NotesMime, LenientReadingOfRealWorldMessages) {
    const char eml[] = "Subject: =?utf-8?q?Caf=C3=A9_?=\r\n =?utf-8?q?menu?=\r\n"
                       "Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\n"
                       "preamble mentions --b inline\r\n"
                       "--b  \r\n" // trailing blanks after the delimiter
                       "\r\n"
                       "no headers: plain text\r\n"
                       "--b\r\n"
                       "Content-Type: application/pdf\r\n"
                       "Content-Disposition: attachment;\r\n filename*=UTF-8''caf%C3%A9%20plan.pdf\r\n\r\n"
                       "%PDF\r\n"
                       "--b\r\n"
                       "Content-Type: message/rfc822\r\n\r\n"
                       "Subject: inner\r\n\r\ninner body\r\n"
                       "--b--";
    Message m;
    std::string error;
    ASSERT_TRUE(notes::mime::parseMessage(eml, &m, &error)) << error;
    EXPECT_EQ(m.header("Subject"), "Caf\xC3\xA9 menu"); // folded encoded words join
    ASSERT_EQ(m.parts.size(), 3u);
    EXPECT_EQ(m.parts[0].contentType, "text/plain");
    EXPECT_EQ(m.parts[0].content, "no headers: plain text");
    EXPECT_EQ(m.parts[1].fileName, "caf\xC3\xA9 plan.pdf");
    EXPECT_EQ(m.parts[2].contentType, "message/rfc822"); // a forwarded message stays one part
    EXPECT_EQ(m.parts[2].content, "Subject: inner\r\n\r\ninner body");
    EXPECT_TRUE(m.epilog.empty());

    // Headers without a body, and no closing delimiter.
    ASSERT_TRUE(notes::mime::parseMessage("Subject: only headers", &m, &error)) << error;
    EXPECT_EQ(m.header("subject"), "only headers");
    ASSERT_TRUE(notes::mime::parseMessage("Content-Type: multipart/mixed; boundary=z\n\n--z\n\nopen end\n",
                                          &m, &error));
    ASSERT_EQ(m.parts.size(), 1u);
    EXPECT_EQ(m.parts[0].content, "open end\r\n");

    notes::mail::Message memo;
    ASSERT_EQ(notes::mime::memoFromEml("From: Jörg <j@x.example>\nTo: a@x.example, \"B, C\" <b@x.example>\n"
                                       "Subject: \xE2\x82\xAC 5\nDate: 31 Feb 2026 10:00:00 +0000\n\nhi\n",
                                       &memo, &error),
              NOERROR);
    EXPECT_EQ(memo.subject, "? 5"); // beyond ISO-8859-1
    EXPECT_EQ(memo.sendTo.size(), 2u);
    EXPECT_EQ(memo.posted, 0); // not a date
    std::int64_t ticks = 0;
    EXPECT_TRUE(notes::mime::parseDate("Mon, 2 Mar 2026 23:30:00 -0230", &ticks));
    EXPECT_EQ(ticks, (notes::daysFromCivil(2026, 3, 3) * 86400 + 2 * 3600) * 100);
    EXPECT_FALSE(notes::mime::parseDate("yesterday", &ticks));
}

TEST(NotesMime, Codecs) {
    EXPECT_EQ(notes::mime::decodeBase64("aGVs\r\nbG8=\r\n"), "hello");
    EXPECT_EQ(notes::mime::decodeBase64(""), "");
    for (const std::string& s :
         std::vector<std::string>{"", "a", "ab", "abc", std::string("\0\xff\x10\x80", 4)}) {
        EXPECT_EQ(notes::mime::decodeBase64(notes::mime::encodeBase64(s)), s);
    }
    const std::string long100(100, 'z');
    const std::string wrapped = notes::mime::encodeBase64(long100, 76);
    EXPECT_NE(wrapped.find("\r\n"), std::string::npos);
    EXPECT_EQ(notes::mime::decodeBase64(wrapped), long100);

    EXPECT_EQ(notes::mime::decodeQuotedPrintable("a=3Db=\r\nc=\nd"), "a=bcd");
    EXPECT_EQ(notes::mime::decodeQuotedPrintable("50=%, =ZZ, end="), "50=%, =ZZ, end=");
    EXPECT_EQ(notes::mime::decodeHeaderWords("=?iso-8859-1?q?J=F6rg_M?= plain =?bogus"),
              "J\xC3\xB6rg M plain =?bogus");
    EXPECT_EQ(notes::mime::utf8ToLatin1("J\xC3\xB6rg \xE2\x82\xAC"), "J\xF6rg ?");
    EXPECT_EQ(notes::mime::latin1ToUtf8("J\xF6rg"), "J\xC3\xB6rg");
}

TEST(NotesMime, DamagedMessagesNeverCrashAndStoredOnesReadBack) {
    // Fixed-seed mutations of a real message: every one either parses, stores and reads back with
    // the same number of parts, or is refused with a reason.
    std::mt19937 rng(20261205);
    const std::string base = kMixed;
    for (int round = 0; round < 1500; ++round) {
        std::string eml = base;
        for (int k = 0; k < 1 + static_cast<int>(rng() % 6); ++k) {
            const std::size_t at = rng() % eml.size();
            switch (rng() % 4) {
            case 0:
                eml[at] = static_cast<char>(rng() & 0xFF);
                break;
            case 1:
                eml.erase(at, 1 + rng() % 40);
                break;
            case 2:
                eml.insert(at, std::string(1 + rng() % 3, "-\r\n=\""[rng() % 5]));
                break;
            default:
                eml.resize(at);
                break;
            }
            if (eml.empty()) {
                eml = "x";
            }
        }
        Message m;
        std::string error;
        if (!notes::mime::parseMessage(eml, &m, &error)) {
            EXPECT_FALSE(error.empty());
            continue;
        }
        EXPECT_EQ(storeAndRead(m).size(), m.parts.size()) << round;
    }
}

class NotesMimeMemo : public SessionTest {};

TEST_F(NotesMimeMemo, FilePartsOfAnySizeBecomeAttachmentsWithTheirBytes) {
    std::string big(300 * 1024, '\0'); // several times what one part item can hold
    std::mt19937 rng(7);
    for (char& c : big) {
        c = static_cast<char>(rng() & 0xFF);
    }
    const std::string eml =
        "From: anna@acme.example\r\nTo: jdoe@acme.example\r\nSubject: files\r\n"
        "Content-Type: multipart/mixed; boundary=b\r\n\r\n"
        "--b\r\nContent-Type: text/plain\r\n\r\nSee the files.\r\n"
        "--b\r\nContent-Type: application/octet-stream\r\n"
        "Content-Disposition: attachment; filename=\"data.bin\"\r\n"
        "Content-Transfer-Encoding: base64\r\n\r\n" +
        notes::mime::encodeBase64(big, 76) +
        "\r\n--b\r\nContent-Type: application/octet-stream\r\n"
        "Content-Disposition: attachment; filename=\"DATA.bin\"\r\n\r\nsmall\r\n--b--\r\n";
    notes::mail::Message m;
    std::string error;
    ASSERT_EQ(notes::mime::memoFromEml(eml, &m, &error), NOERROR) << error;
    ASSERT_EQ(m.files.size(), 2u);
    EXPECT_EQ(m.files[1].first, "DATA.bin (2)"); // names differ in more than case within a memo
    auto store = notes::handles::database(db.GetDatabaseHandle());
    ASSERT_EQ(notes::templates::apply(*store, notes::templates::Kind::Mail), NOERROR);
    std::vector<NOTEID> ids;
    ASSERT_EQ(notes::mail::store(*store, {m}, &ids), NOERROR);
    store.reset();

    LNDocument doc;
    ASSERT_EQ(db.GetDocument(ids[0], &doc), LNNOERROR);
    ASSERT_EQ(doc.Open(), LNNOERROR);
    LNAttachmentArray files;
    ASSERT_EQ(doc.GetAttachments(&files), LNNOERROR);
    ASSERT_EQ(files.GetCount(), 2);
    EXPECT_EQ(files[0].GetFileSize(), static_cast<LNINT>(big.size()));
    const std::string out = dir + "/data.out";
    ASSERT_EQ(files[0].Extract(out.c_str()), LNNOERROR);
    EXPECT_EQ(readFile(out), big);

    // The parts still read in order; file parts name their attachment instead of holding bytes.
    const std::vector<Part> parts = notes::mime::leafParts(*notes::handles::note(doc.GetNoteHandle()));
    ASSERT_EQ(parts.size(), 3u);
    EXPECT_EQ(parts[0].content, "See the files.");
    EXPECT_FALSE(parts[0].inObject);
    EXPECT_TRUE(parts[1].inObject);
    EXPECT_EQ(parts[1].fileName, "data.bin");
    EXPECT_TRUE(parts[1].content.empty());
    EXPECT_EQ(parts[2].fileName, "DATA.bin (2)");
}
