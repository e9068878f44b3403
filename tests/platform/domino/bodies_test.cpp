// Bodies beyond plain paragraphs, fetched the way the mail plug-in reads them: styled rich text
// with links, pictures and file references, and native MIME memos (a <pre> block, or a link to
// the HTML part that a second request follows).
// Before the fixture: the HTTP library's resolver headers define a STATUS macro of their own.
#include "attachments.h"
#include "elements.h"
#include "memo.h"
#include "mimeparts.h"
#include "richtext.h"
#include "text.h"

#include "fixture.h"

namespace {

using notes::ods::RichTextElement;
using namespace std::string_literals;

RichTextElement run(const std::string& text) {
    RichTextElement e;
    e.kind = notes::ods::kCdText;
    e.text = text;
    return e;
}

RichTextElement element(WORD kind, const std::string& text = "") {
    RichTextElement e;
    e.kind = kind;
    e.text = text;
    return e;
}

RichTextElement style(BYTE flags, BYTE points = 0, DWORD colour = notes::ods::kDefaultColour,
                      const std::string& face = "") {
    RichTextElement e = element(notes::ods::kCdStyle, face);
    e.flags = flags;
    e.points = points;
    e.colour = colour;
    return e;
}

RichTextElement graphic(const std::string& type, const std::string& bytes, WORD width, WORD height) {
    RichTextElement e = element(notes::ods::kCdGraphic, type);
    e.bytes = bytes;
    e.width = width;
    e.height = height;
    return e;
}

void setRichBody(notes::Note& note, const std::vector<RichTextElement>& elements) {
    note.remove("Body");
    note.append("Body", TYPE_COMPOSITE, 0, notes::ods::encodeRichText(elements));
}

void setMimeBody(notes::Note& note, const std::string& eml) {
    notes::mime::Message message;
    std::string error;
    ASSERT_TRUE(notes::mime::parseMessage(eml, &message, &error)) << error;
    std::vector<std::pair<WORD, std::string>> items;
    ASSERT_EQ(notes::mime::encodeParts(message, &items), NOERROR);
    note.remove("Body");
    for (const auto& [partType, value] : items) {
        note.append("Body", TYPE_MIME_PART, 0, value);
    }
    note.append("$NoteHasNativeMIME", TYPE_TEXT, ITEM_SUMMARY, "1");
    note.append("MIME_Version", TYPE_TEXT, ITEM_SUMMARY, "1.0");
}

// The body as the plug-in cuts it out: between the end of the header table and the first form field.
std::string cutBody(const std::string& page) {
    const std::size_t table = page.find("</table>");
    const std::size_t form = page.find("<input name=\"Form\"", table);
    if (table == std::string::npos || form == std::string::npos) {
        return "";
    }
    return page.substr(table + 8, form - table - 8);
}

// Every value of `attribute="..."` in html that starts with "/mail".
std::vector<std::string> mailLinks(const std::string& html, const std::string& attribute) {
    std::vector<std::string> out;
    const std::string marker = attribute + "=\"/mail";
    for (std::size_t at = html.find(marker); at != std::string::npos; at = html.find(marker, at + 1)) {
        const std::size_t start = at + attribute.size() + 2;
        out.push_back(html.substr(start, html.find('"', start) - start));
    }
    return out;
}

const std::string kGif = std::string("GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\xff\xff\x00\x00\x00!", 19) +
                         std::string("\x00\x00\x00\x00;", 5);
const std::string kPng = std::string("\x89PNG\r\n\x1a\n\x00\x00\x00\rIHDR\x00\x00\x00\x02", 20);

} // namespace

class DominoBodies : public DominoTest {
protected:
    void SetUp() override {
        DominoTest::SetUp();
        startServer();
    }
    // The memo's page as Jane gets it; empty, and a failure, unless it is served.
    std::string page(const std::string& unid) {
        const auto r = get("/mail/jdoe.nsf/($All)/" + unid + "?OpenDocument", kJane, "Mail1");
        EXPECT_TRUE(r && r->status == 200) << unid;
        return r && r->status == 200 ? r->body : std::string();
    }
    // Below the document: the missing paths are not found for Jane, the existing one forbidden to John.
    void expectGuarded(const std::string& doc, const std::vector<std::string>& missing,
                       const std::string& existing) {
        for (const std::string& miss : missing) {
            EXPECT_EQ(status(doc + miss, kJane, "Mail1"), 404) << miss;
        }
        EXPECT_EQ(status(doc + existing, kJohn, "Mail1"), 403) << existing;
    }
};

TEST_F(DominoBodies, RichTextStylesLinksAndPicturesRenderAndPicturesServeTheirBytes) {
    const std::string unid = addMemo("jdoe", memo("Rich"), [](notes::Note& note) {
        setRichBody(note,
                    {style(notes::ods::kStyleBold), run("Bold"),
                     style(notes::ods::kStyleItalic | notes::ods::kStyleUnderline, 18, 0xFF0000, "Arial"),
                     run("Fancy"), style(notes::ods::kStyleStrike), run("gone"), style(0),
                     run(" plain & <b>caf\xe9</b>"), element(notes::ods::kCdParagraph),
                     element(notes::ods::kCdLinkBegin, "https://example.com/?a=1&b=\"x\""), run("site"),
                     element(notes::ods::kCdLinkEnd), element(notes::ods::kCdParagraph),
                     graphic("image/gif", kGif, 10, 20), run(" between "), graphic("image/png", kPng, 2, 2),
                     element(notes::ods::kCdParagraph), element(notes::ods::kCdParagraph), run("end")});
    });
    const std::string body = cutBody(page(unid));
    ASSERT_FALSE(body.empty());
    EXPECT_NE(body.find("<p><b>Bold</b><font face=\"Arial\" size=\"5\" color=\"#FF0000\"><i><u>Fancy</u></i>"
                        "</font><s>gone</s> plain &amp; &lt;b&gt;caf\xc3\xa9&lt;/b&gt;</p>"),
              std::string::npos)
        << body;
    EXPECT_NE(body.find("<p><a href=\"https://example.com/?a=1&amp;b=&quot;x&quot;\">site</a></p>"),
              std::string::npos)
        << body;
    const std::string doc = "/mail/jdoe.nsf/($All)/" + unid;
    EXPECT_NE(body.find("<p><img src=\"" + doc +
                        "/Body/0.0?OpenElement\" width=\"10\" height=\"20\"> between "
                        "<img src=\"" +
                        doc +
                        "/Body/0.1?OpenElement\" width=\"2\" height=\"2\"></p>\n"
                        "<p><br></p>\n<p>end</p>"),
              std::string::npos)
        << body;

    // The plug-in finds exactly the two pictures and fetches them from the server by those paths.
    const auto sources = mailLinks(body, "src");
    ASSERT_EQ(sources.size(), 2u);
    const std::pair<std::string, std::string> expected[] = {{kGif, "image/gif"}, {kPng, "image/png"}};
    for (std::size_t k = 0; k < 2; ++k) {
        const auto img = fetch(sources[k]);
        EXPECT_EQ(img.status, 200);
        EXPECT_EQ(img.body, expected[k].first);
        EXPECT_EQ(img.get_header_value("Content-Type"), expected[k].second);
        EXPECT_EQ(img.get_header_value("X-Content-Type-Options"), "nosniff");
    }
    // Another user may neither read the picture nor learn whether it exists.
    expectGuarded(doc, {"/Body/0.2?OpenElement", "/Body/M0?OpenElement", "/$FILE/none.txt"},
                  "/Body/0.0?OpenElement");
    EXPECT_EQ(status(doc + "/Body/0.0?OpenElement", "", "Mail1"), 401);
}

TEST_F(DominoBodies, HostileLinksAndPictureTypesAreMadeHarmless) {
    const std::string unid = addMemo("jdoe", memo("Hostile"), [](notes::Note& note) {
        setRichBody(note, {element(notes::ods::kCdLinkBegin, " JaVa\tScRiPt:alert(1)"),
                           run("click"),
                           element(notes::ods::kCdLinkEnd),
                           element(notes::ods::kCdParagraph),
                           element(notes::ods::kCdLinkBegin, "data:text/html,<script>x</script>"),
                           run("data"),
                           element(notes::ods::kCdLinkEnd),
                           element(notes::ods::kCdParagraph),
                           element(notes::ods::kCdLinkBegin, "\"><script>alert(2)</script>"),
                           run("quoted"),
                           element(notes::ods::kCdLinkEnd),
                           element(notes::ods::kCdParagraph),
                           element(notes::ods::kCdLinkBegin, "mailto:jane.doe@acme.example"),
                           run("mail"),
                           element(notes::ods::kCdParagraph),
                           run("still linked"),
                           element(notes::ods::kCdLinkEnd),
                           run(" not"),
                           graphic("text/html", "<script>alert(3)</script>", 1, 1),
                           element(notes::ods::kCdLinkEnd)});
    });
    const std::string body = cutBody(page(unid));
    ASSERT_FALSE(body.empty());
    EXPECT_NE(body.find("<p>click</p>"), std::string::npos) << body;
    EXPECT_NE(body.find("<p>data</p>"), std::string::npos) << body;
    EXPECT_EQ(body.find("alert(1)"), std::string::npos);
    EXPECT_EQ(body.find("<script"), std::string::npos);
    EXPECT_NE(body.find("<a href=\"&quot;&gt;&lt;script&gt;alert(2)&lt;/script&gt;\">quoted</a>"),
              std::string::npos)
        << body;
    // A link running across a paragraph break is closed and reopened, so elements nest.
    EXPECT_NE(body.find("<p><a href=\"mailto:jane.doe@acme.example\">mail</a></p>\n"
                        "<p><a href=\"mailto:jane.doe@acme.example\">still linked</a> not<img"),
              std::string::npos)
        << body;
    // A stored picture type that is not an image is served as bytes only.
    const auto img = fetch("/mail/jdoe.nsf/($All)/" + unid + "/Body/0.0");
    EXPECT_EQ(img.status, 200);
    EXPECT_EQ(img.get_header_value("Content-Type"), "application/octet-stream");
}

TEST_F(DominoBodies, FileReferencesLinkToAttachmentsWhoseBytesDownload) {
    std::string binary;
    for (int i = 0; i < 200000; ++i) {
        binary.push_back(static_cast<char>((i * 7919) % 256));
    }
    const std::string unid = addMemo("jdoe", memo("Files"), [&](notes::Note& note) {
        setRichBody(note,
                    {run("See "), element(notes::ods::kCdAttachmentRef, "Q3 r\xe9sum\xe9.xlsx"), run(" and "),
                     element(notes::ods::kCdLinkBegin, "https://example.com/"), run("in "),
                     element(notes::ods::kCdAttachmentRef, "a&b.bin"), element(notes::ods::kCdLinkEnd)});
        notes::files::FileObject sheet;
        sheet.name = "Q3 r\xe9sum\xe9.xlsx";
        sheet.size = static_cast<DWORD>(binary.size());
        WORD id = 0;
        ASSERT_EQ(notes::files::attach(note, "$FILE", binary, sheet, &id), NOERROR);
        notes::files::FileObject other;
        other.name = "a&b.bin";
        other.size = 3;
        ASSERT_EQ(notes::files::attach(note, "$FILE", std::string("\0\1\2", 3), other, &id), NOERROR);
        note.append("$FILE", TYPE_OBJECT, 0, "listed-only.txt"); // an entry without stored bytes
    });
    const std::string body = cutBody(page(unid));
    ASSERT_FALSE(body.empty());
    const std::string doc = "/mail/jdoe.nsf/($All)/" + unid;
    EXPECT_NE(body.find("<p>See <a href=\"" + doc +
                        "/$FILE/Q3%20r%E9sum%E9.xlsx\">Q3 r\xc3\xa9sum\xc3\xa9.xlsx</a>"
                        " and <a href=\"https://example.com/\">in </a><a href=\"" +
                        doc + "/$FILE/a%26b.bin\">a&amp;b.bin</a><a href=\"https://example.com/\"></a></p>"),
              std::string::npos)
        << body;

    const auto file = fetch(doc + "/$FILE/Q3%20r%E9sum%E9.xlsx");
    EXPECT_EQ(file.status, 200);
    EXPECT_TRUE(file.body == binary) << file.body.size();
    EXPECT_EQ(file.get_header_value("Content-Type"),
              "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet");
    // (The client library undoes the %-escapes of header values; the exact form is checked by DominoText.)
    EXPECT_EQ(
        file.get_header_value("Content-Disposition").rfind("attachment; filename=\"Q3 r_sum_.xlsx\"; ", 0),
        0u);
    // The same file asked for by its UTF-8 name, in other case, and with the element command.
    for (const char* alias :
         {"/$FILE/q3%20R%C3%89SUM%C3%89.XLSX", "/$FILE/Q3%20r%E9sum%E9.xlsx?OpenElement"}) {
        const auto again = fetch(doc + alias);
        EXPECT_EQ(again.status, 200) << alias;
        EXPECT_EQ(again.body.size(), binary.size()) << alias;
    }
    const auto small = fetch(doc + "/$FILE/a%26b.bin");
    EXPECT_EQ(small.status, 200);
    EXPECT_EQ(small.body, std::string("\0\1\2", 3));
    EXPECT_EQ(small.get_header_value("Content-Type"), "application/octet-stream");
    expectGuarded(doc, {"/$FILE/listed-only.txt", "/$FILE/Q3.xlsx", "/$FILE/"}, "/$FILE/a%26b.bin");
    const auto other = fetch(doc + "/$FILE/a%26b.bin", kJohn);
    EXPECT_EQ(other.body.find(std::string("\0\1\2", 3)), std::string::npos);
}

TEST_F(DominoBodies, PlainMimeMemoIsOneEscapedPreBlockInUtf8) {
    const std::string unid = addMemo("jdoe", memo("Plain MIME"), [](notes::Note& note) {
        setMimeBody(note, "From: john@acme.example\r\nSubject: Plain\r\nMIME-Version: 1.0\r\n"
                          "Content-Type: text/plain; charset=ISO-8859-1\r\n"
                          "Content-Transfer-Encoding: quoted-printable\r\n\r\n"
                          "<b>Caf=E9</b> & </pre> <pre>\r\nsecond line=\r\n continued\r\n");
    });
    const std::string p = page(unid);
    const std::size_t pre = p.find("<pre>");
    ASSERT_NE(pre, std::string::npos) << p;
    const std::size_t end = p.find("</pre>", pre);
    ASSERT_NE(end, std::string::npos);
    EXPECT_EQ(p.substr(pre + 5, end - pre - 5),
              "&lt;b&gt;Caf\xc3\xa9&lt;/b&gt; &amp; &lt;/pre&gt; &lt;pre&gt;\r\nsecond line continued\r\n");
    EXPECT_GT(pre, p.find("</table>"));
    EXPECT_LT(end, p.find("<input name=\"Form\""));
    EXPECT_EQ(p.find("href=\"/mail"), std::string::npos);
}

TEST_F(DominoBodies, HtmlMimeMemoLinksToItsPartWhichArrivesAsUtf8) {
    const std::string unid = addMemo("jdoe", memo("HTML MIME"), [](notes::Note& note) {
        setMimeBody(note, "From: john@acme.example\r\nMIME-Version: 1.0\r\n"
                          "Content-Type: multipart/alternative; boundary=\"b1\"\r\n\r\n"
                          "--b1\r\nContent-Type: text/plain; charset=us-ascii\r\n\r\nplain version\r\n"
                          "--b1\r\nContent-Type: text/html; charset=iso-8859-1\r\n"
                          "Content-Transfer-Encoding: 8bit\r\n\r\n"
                          "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; "
                          "charset=iso-8859-1\"></head><body><p>Gr\xfc\xdf"
                          "e</p></body></html>\r\n--b1--\r\n");
    });
    const std::string p = page(unid);
    EXPECT_EQ(p.find("<pre>"), std::string::npos); // the plug-in would take a <pre> block first
    const auto links = mailLinks(p, "href");
    ASSERT_EQ(links.size(), 1u) << p;
    EXPECT_EQ(links[0], "/mail/jdoe.nsf/($All)/" + unid + "/Body/M1?OpenElement");
    // The plug-in keeps what follows the database and asks for it below the database path.
    const std::string within = links[0].substr(links[0].find(".nsf") + 5);
    const auto html = fetch("/mail/jdoe.nsf/" + within);
    EXPECT_EQ(html.status, 200);
    EXPECT_EQ(html.get_header_value("Content-Type"), "text/html; charset=UTF-8");
    EXPECT_NE(html.body.find("<p>Gr\xc3\xbc\xc3\x9f"
                             "e</p>"),
              std::string::npos)
        << html.body;
    EXPECT_NE(html.body.find("charset=UTF-8\""), std::string::npos);
    EXPECT_EQ(html.body.find("iso-8859-1"), std::string::npos);
    // The text part is there too; parts past the last are not.
    const auto text = fetch("/mail/jdoe.nsf/($All)/" + unid + "/Body/M0");
    EXPECT_EQ(text.status, 200);
    EXPECT_EQ(text.get_header_value("Content-Type"), "text/plain; charset=UTF-8");
    EXPECT_NE(text.body.find("plain version"), std::string::npos);
    expectGuarded("/mail/jdoe.nsf/($All)/" + unid, {"/Body/M2", "/Body/0.0"}, "/Body/M1");
}

TEST_F(DominoBodies, MimeMemoWithoutTextPartsShowsAnEmptyBlockAndServesItsFile) {
    const std::string unid = addMemo("jdoe", memo("Only a file"), [](notes::Note& note) {
        setMimeBody(note, "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=xx\r\n\r\n"
                          "--xx\r\nContent-Type: text/html; name=\"page.html\"\r\n"
                          "Content-Disposition: attachment; filename=\"page.html\"\r\n"
                          "Content-Transfer-Encoding: base64\r\n\r\nPHNjcmlwdD54PC9zY3JpcHQ+\r\n--xx--\r\n");
    });
    const std::string p = page(unid);
    EXPECT_NE(p.find("</table>\n<pre></pre>\n<input name=\"Form\""), std::string::npos) << p;
    const auto file = fetch("/mail/jdoe.nsf/($All)/" + unid + "/Body/M0");
    EXPECT_EQ(file.status, 200);
    EXPECT_EQ(file.body, "<script>x</script>");
    EXPECT_EQ(file.get_header_value("Content-Disposition"),
              "attachment; filename=\"page.html\"; filename*=UTF-8''page.html");
}

TEST(DominoText, CharsetsMetaDeclarationsAndDownloadNames) {
    EXPECT_EQ(domino::charsetToUtf8("caf\xe9", "ISO-8859-1"), "caf\xc3\xa9");
    EXPECT_EQ(domino::charsetToUtf8("\x80 caf\xe9", "windows-1252"), "\xe2\x82\xac caf\xc3\xa9");
    EXPECT_EQ(domino::charsetToUtf8("\xa4", "iso-8859-15"), "\xe2\x82\xac");
    EXPECT_EQ(domino::charsetToUtf8("caf\xc3\xa9", ""), "caf\xc3\xa9");
    EXPECT_EQ(domino::charsetToUtf8("caf\xc3\xa9", "x-unknown"), "caf\xc3\xa9");
    EXPECT_EQ(domino::charsetToUtf8("caf\xe9", "x-unknown"), "caf\xc3\xa9"); // taken as Windows-1252
    EXPECT_EQ(domino::charsetToUtf8("a\xff"
                                    "b",
                                    "utf-8"),
              "a\xef\xbf\xbd"
              "b");                                                      // broken UTF-8
    EXPECT_EQ(domino::charsetToUtf8("a\xc3", "utf-8"), "a\xef\xbf\xbd"); // cut short
    EXPECT_EQ(domino::charsetToUtf8("", "utf-8"), "");
    EXPECT_FALSE(domino::isValidUtf8("\xc0\xaf"));     // overlong
    EXPECT_FALSE(domino::isValidUtf8("\xed\xa0\x80")); // surrogate
    EXPECT_TRUE(domino::isValidUtf8("\xf0\x9f\x98\x80"));

    EXPECT_EQ(domino::rewriteMetaCharset("<META charset='Latin1'><p>charset=x</p>"),
              "<META charset='UTF-8'><p>charset=x</p>");
    EXPECT_EQ(
        domino::rewriteMetaCharset("<meta content=\"text/html; charset=windows-1252\"><meta name=a>"
                                   "<meta content=\"text/html;charset=koi8-r\""),
        "<meta content=\"text/html; charset=UTF-8\"><meta name=a><meta content=\"text/html;charset=koi8-r\"");

    EXPECT_EQ(domino::contentDisposition("r\xe9sum\xe9 \"1\".pdf\r\nX: y"),
              "attachment; filename=\"r_sum_ _1_.pdf__X: y\"; "
              "filename*=UTF-8''r%C3%A9sum%C3%A9%20%221%22.pdf%0D%0AX%3A%20y");
    EXPECT_EQ(domino::mimeTypeOfFileName("Budget.XLSX"),
              "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet");
    EXPECT_EQ(domino::mimeTypeOfFileName("noext"), "application/octet-stream");
    EXPECT_EQ(domino::mimeTypeOfFileName("archive.tar.gz"), "application/octet-stream");
}

TEST_F(DominoBodies, StoredMessageServesEveryLeafWithItsBytes) {
    // As add-mime and delivery store it: file parts live in attachments, the rest byte for byte.
    const std::string eml = "From: anna@acme.example\r\nSubject: files\r\n"
                            "Content-Type: multipart/mixed; boundary=b\r\n\r\npreamble\r\n"
                            "--b\r\nContent-Type: text/plain\r\n\r\nSee the files.\r\n"
                            "--b\r\nContent-Type: application/octet-stream\r\n"
                            "Content-Disposition: attachment; filename=\"../a/b.bin\"\r\n"
                            "Content-Transfer-Encoding: base64\r\n\r\nAAEC/w==\r\n"
                            "--b\r\nContent-Type: image/png; name=raw.png\r\n"
                            "Content-Transfer-Encoding: binary\r\n\r\nP\nN\0G\r\n--b--\r\n"s;
    notes::mail::Message m;
    std::string error;
    ASSERT_EQ(notes::mime::storeMessage(eml, &m, &error), NOERROR) << error;
    const std::string unid = addMemo("jdoe", memo("Stored"), [&m](notes::Note& note) {
        note.remove("Body");
        for (const std::string& value : m.mimeParts) {
            note.append("Body", TYPE_MIME_PART, 0, value);
        }
        for (const auto& [name, bytes] : m.files) {
            notes::files::FileObject file;
            file.name = name;
            ASSERT_EQ(notes::files::attach(note, "$FILE", bytes, file, nullptr), NOERROR);
        }
        note.append("$NoteHasNativeMIME", TYPE_TEXT, ITEM_SUMMARY, "1");
    });
    const std::string p = page(unid);
    EXPECT_NE(p.find("<pre>See the files.</pre>"), std::string::npos) << p;
    const struct {
        const char* leaf;
        std::string bytes;
        const char* disposition;
    } leaves[] = {
        {"M0", "See the files.", nullptr},
        {"M1", "\x00\x01\x02\xff"s, "attachment; filename=\".._a_b.bin\"; filename*=UTF-8''.._a_b.bin"},
        {"M2", "P\nN\0G"s, "attachment; filename=\"raw.png\"; filename*=UTF-8''raw.png"}};
    for (const auto& l : leaves) {
        const auto got = fetch("/mail/jdoe.nsf/($All)/" + unid + "/Body/" + l.leaf);
        EXPECT_EQ(got.status, 200) << l.leaf;
        EXPECT_EQ(got.body, l.bytes) << l.leaf;
        if (l.disposition) {
            EXPECT_EQ(got.get_header_value("Content-Disposition"), l.disposition) << l.leaf;
        }
    }
}
