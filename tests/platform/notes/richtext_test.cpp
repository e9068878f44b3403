// Rich text: the stored records, the class library's appending calls and the cursor.
#include "fixture.h"
#include "richtext.h"
#include "store.h"

#include <random>

namespace {

using notes::ods::RichTextElement;

RichTextElement el(WORD kind, std::string text = {}) {
    RichTextElement e;
    e.kind = kind;
    e.text = std::move(text);
    return e;
}

} // namespace

TEST(NotesRichTextRecords, EveryKindRoundTrips) {
    RichTextElement style = el(notes::ods::kCdStyle, "Arial");
    style.flags = notes::ods::kStyleBold | notes::ods::kStyleStrike;
    style.points = 14;
    style.colour = 0x00336699;
    RichTextElement graphic = el(notes::ods::kCdGraphic, "image/png");
    graphic.bytes = std::string("\x89PNG\0\x01", 6);
    graphic.width = 640;
    graphic.height = 480;
    const std::vector<RichTextElement> in = {el(notes::ods::kCdText, "Hello "),
                                             style,
                                             el(notes::ods::kCdText, "bold"),
                                             el(notes::ods::kCdParagraph),
                                             el(notes::ods::kCdLinkBegin, "https://acme.example/"),
                                             el(notes::ods::kCdText, "Acme"),
                                             el(notes::ods::kCdLinkEnd),
                                             graphic,
                                             el(notes::ods::kCdAttachmentRef, "plan.pdf"),
                                             el(notes::ods::kCdStyle)};
    const std::string stored = notes::ods::encodeRichText(in);
    std::vector<RichTextElement> out;
    ASSERT_TRUE(notes::ods::decodeRichText(stored, &out));
    EXPECT_EQ(out, in);
    EXPECT_EQ(notes::ods::plainText(out), "Hello bold\nAcme");
    std::string plain; // the plain reader skips what it does not know
    ASSERT_TRUE(notes::ods::decodeRichTextPlain(stored, &plain));
    EXPECT_EQ(plain, "Hello bold\nAcme");

    // A record of an unknown kind is skipped; a cut record is refused.
    std::string unknown = stored;
    const std::string extra("\x99\x00\x08\x00\x00\x00zz", 8);
    unknown.insert(0, extra);
    ASSERT_TRUE(notes::ods::decodeRichText(unknown, &out));
    EXPECT_EQ(out, in);
    EXPECT_FALSE(notes::ods::decodeRichText(stored.substr(0, stored.size() - 1), &out));
    std::string badGraphic = notes::ods::encodeRichText({graphic});
    badGraphic[10] = static_cast<char>(200); // MIME type longer than the record
    EXPECT_FALSE(notes::ods::decodeRichText(badGraphic, &out));
    std::string shortLength("\x85\x00\x03\x00\x00\x00", 6); // length below the header size
    EXPECT_FALSE(notes::ods::decodeRichText(shortLength, &out));
}

class NotesRichText : public SessionTest {};

TEST_F(NotesRichText, StyledMemoWithLinkGraphicAndReferenceSavesAndWalks) {
    const std::string gif("GIF89a\x02\x00\x02\x00", 10);
    std::string unid;
    {
        LNDocument doc;
        ASSERT_EQ(db.CreateDocument(&doc, "Memo"), LNNOERROR);
        LNRichText body;
        ASSERT_EQ(doc.CreateItem("Body", &body), LNNOERROR);
        ASSERT_EQ(body.Append("Hello"), LNNOERROR);
        ASSERT_EQ(body.AppendStyledText(" world", LNFONTSTYLE_BOLD | LNFONTSTYLE_ITALIC, 12, 0x00FF0000),
                  LNNOERROR);
        ASSERT_EQ(body.AppendParagraph(), LNNOERROR);
        ASSERT_EQ(body.AppendLink("https://acme.example/plan", "the plan"), LNNOERROR);
        ASSERT_EQ(body.AppendGraphic(gif, "image/gif", 2, 2), LNNOERROR);
        ASSERT_EQ(body.AppendGraphic(gif + "x", "IMAGE/GIF", 3, 4), LNNOERROR);
        ASSERT_EQ(body.AppendAttachmentReference("plan.pdf"), LNNOERROR);
        EXPECT_EQ(body.AppendGraphic(gif, "image/bmp", 2, 2), static_cast<LNSTATUS>(ERR_INVALID_PARAM));
        EXPECT_EQ(body.AppendGraphic("", "image/gif", 2, 2), static_cast<LNSTATUS>(ERR_INVALID_PARAM));
        EXPECT_EQ(body.AppendGraphic(gif, "image/gif", 70000, 2), static_cast<LNSTATUS>(ERR_INVALID_PARAM));
        EXPECT_EQ(body.AppendLink("", "x"), static_cast<LNSTATUS>(ERR_INVALID_PARAM));
        EXPECT_EQ(body.AppendAttachmentReference(""), static_cast<LNSTATUS>(ERR_INVALID_PARAM));
        ASSERT_EQ(doc.Save(), LNNOERROR);
        LNUniversalID id;
        doc.GetUniversalID(&id);
        unid = id.GetText().str();
    }
    LNDocument doc = openDoc(db, unid);
    LNRichText body;
    ASSERT_EQ(doc.GetItem("Body", &body), LNNOERROR);
    EXPECT_EQ(body.GetText(), "Hello world\nthe plan");

    LNRTCursor cursor;
    ASSERT_EQ(body.GetCursor(&cursor), LNNOERROR);
    LNGraphic g;
    ASSERT_EQ(cursor.GotoFirst(LNRTTYPE_GRAPHIC, &g), LNNOERROR);
    std::string bytes;
    LNString type;
    ASSERT_EQ(g.GetBitmap(&bytes, &type), LNNOERROR);
    EXPECT_EQ(bytes, gif);
    EXPECT_EQ(type, "image/gif");
    EXPECT_EQ(g.GetWidth(), 2);
    ASSERT_EQ(cursor.GotoNext(LNRTTYPE_GRAPHIC, &g), LNNOERROR);
    EXPECT_EQ(g.GetHeight(), 4);
    g.GetBitmap(&bytes, &type);
    EXPECT_EQ(bytes, gif + "x");
    EXPECT_EQ(type, "image/gif"); // stored in lower case
    EXPECT_EQ(cursor.GotoNext(LNRTTYPE_GRAPHIC, &g), LNWARN_NOT_FOUND);
    EXPECT_EQ(g.GetHeight(), 4); // unchanged when not found

    LNRTObject object;
    ASSERT_EQ(cursor.GotoFirst(LNRTTYPE_LINK, &object), LNNOERROR);
    EXPECT_EQ(object.GetRTType(), LNRTTYPE_LINK);
    EXPECT_EQ(object.GetText(), "https://acme.example/plan");
    ASSERT_EQ(cursor.GotoFirst(LNRTTYPE_ATTACHMENT, &object), LNNOERROR);
    EXPECT_EQ(object.GetText(), "plan.pdf");
    int runs = 0;
    for (LNSTATUS s = cursor.GotoFirst(LNRTTYPE_TEXT); s == LNNOERROR; s = cursor.GotoNext(LNRTTYPE_TEXT)) {
        ++runs;
    }
    EXPECT_EQ(runs, 3); // "Hello", " world", "the plan"
    LNGraphic notGraphic(object);
    EXPECT_EQ(notGraphic.GetBitmap(&bytes), static_cast<LNSTATUS>(LNERR_NULL_OBJECT));

    // The stored style record carries the flags, size and colour.
    std::vector<RichTextElement> elements;
    ASSERT_TRUE(notes::ods::decodeRichText(body.GetRawValue(), &elements));
    ASSERT_EQ(elements[1].kind, notes::ods::kCdStyle);
    EXPECT_EQ(elements[1].flags, 3);
    EXPECT_EQ(elements[1].points, 12);
    EXPECT_EQ(elements[1].colour, 0x00FF0000u);
    EXPECT_EQ(elements[3].kind, notes::ods::kCdStyle); // back to the default style
    EXPECT_EQ(elements[3].colour, notes::ods::kDefaultColour);
}

TEST_F(NotesRichText, EmptyAndPlainBodiesHaveNoObjectsOfOtherKinds) {
    LNRichText free;
    LNRTCursor cursor;
    ASSERT_EQ(free.GetCursor(&cursor), LNNOERROR);
    EXPECT_EQ(cursor.GotoFirst(LNRTTYPE_GRAPHIC), LNWARN_NOT_FOUND);
    EXPECT_EQ(cursor.GotoNext(LNRTTYPE_TEXT), LNWARN_NOT_FOUND);
    free.SetValue("one\ntwo");
    ASSERT_EQ(free.GetCursor(&cursor), LNNOERROR);
    EXPECT_EQ(cursor.GotoFirst(LNRTTYPE_GRAPHIC), LNWARN_NOT_FOUND);
    EXPECT_EQ(cursor.GotoFirst(LNRTTYPE_PARAGRAPH), LNNOERROR);
    EXPECT_EQ(cursor.GotoNext(LNRTTYPE_PARAGRAPH), LNWARN_NOT_FOUND);
    LNRTCursor unbound;
    EXPECT_EQ(unbound.GotoFirst(LNRTTYPE_TEXT), static_cast<LNSTATUS>(LNERR_NULL_OBJECT));
    free.SetRawValue(TYPE_COMPOSITE, std::string("\x85\x00\x60\x00\x00\x00", 6));
    EXPECT_EQ(free.GetCursor(&cursor), static_cast<LNSTATUS>(ERR_INVALID_ITEM_VALUE));
}

TEST(NotesRichTextRecords, DamagedValuesNeverCrash) {
    RichTextElement graphic = el(notes::ods::kCdGraphic, "image/gif");
    graphic.bytes = "GIF89a....";
    const std::string stored = notes::ods::encodeRichText(
        {el(notes::ods::kCdText, "abc"), el(notes::ods::kCdStyle, "Arial"), graphic,
         el(notes::ods::kCdLinkBegin, "http://x"), el(notes::ods::kCdLinkEnd), el(notes::ods::kCdParagraph)});
    std::mt19937 rng(7);
    std::vector<RichTextElement> out;
    for (int round = 0; round < 3000; ++round) {
        std::string v = stored;
        v[rng() % v.size()] = static_cast<char>(rng() & 0xFF);
        if (rng() % 3 == 0) {
            v.resize(rng() % v.size());
        }
        if (notes::ods::decodeRichText(v, &out)) {
            // Whatever decodes, encodes again to something that decodes to the same.
            std::vector<RichTextElement> again;
            ASSERT_TRUE(notes::ods::decodeRichText(notes::ods::encodeRichText(out), &again));
            EXPECT_EQ(again, out);
        }
        std::string plain;
        notes::ods::decodeRichTextPlain(v, &plain);
    }
    std::string mime;
    WORD w = 0, h = 0;
    for (const std::string& bad : {std::string("GIF89a"), std::string("\x89PNG\r\n\x1a\n", 8),
                                   std::string("\xFF\xD8"), std::string("\xFF\xD8\xFF\xE0\x00\x00", 6)}) {
        EXPECT_FALSE(notes::ods::imageInfo(bad, &mime, &w, &h));
    }
}
