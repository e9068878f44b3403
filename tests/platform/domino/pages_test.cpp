// Memo pages as the mail plug-in fetches them: the URL shapes, what the page holds and in which
// order, and every way a request can miss a document.
#include "fixture.h"

#include "memo.h"

#include <filesystem>
#include <fstream>
#include <thread>

class DominoPages : public DominoTest {
protected:
    void SetUp() override {
        DominoTest::SetUp();
        notes::mail::Message m = memo("Quarterly numbers", "First line\n\nThird line");
        m.copyTo = {"CN=Bob Smith/O=Acme", "paul@partner.example"};
        unid = addMemo("jdoe", m);
        startServer();
    }
    std::string unid;
};

TEST_F(DominoPages, OwnerGetsHeaderTableBodyThenFormFieldInThatOrder) {
    // As the plug-in asks: the server is the host name, the path that of the database.
    auto r = get("/mail/jdoe.nsf/($All)/" + unid + "?OpenDocument", kJane, "Mail1");
    ASSERT_TRUE(r);
    ASSERT_EQ(r->status, 200);
    EXPECT_NE(r->get_header_value("Content-Type").find("charset=UTF-8"), std::string::npos);
    const std::string& page = r->body;
    const std::size_t from = page.find("<b>From:</b></td><td>John Smith/Acme</td>");
    const std::size_t to = page.find("<b>To:</b></td><td>Jane Doe/Acme</td>");
    const std::size_t cc = page.find("<b>Cc:</b></td><td>Bob Smith/Acme, paul@partner.example</td>");
    const std::size_t date = page.find("<b>Date:</b></td><td>12/05/2024");
    const std::size_t subject = page.find("<b>Subject:</b></td><td>Quarterly numbers</td>");
    const std::size_t table = page.find("</table>");
    const std::size_t first = page.find("<p>First line</p>");
    const std::size_t blank = page.find("<p><br></p>");
    const std::size_t third = page.find("<p>Third line</p>");
    const std::size_t form = page.find("<input name=\"Form\" type=\"hidden\" value=\"Memo\">");
    for (std::size_t at : {from, to, cc, date, subject, table, first, blank, third, form}) {
        ASSERT_NE(at, std::string::npos) << page;
    }
    EXPECT_LT(from, to);
    EXPECT_LT(cc, date);
    EXPECT_LT(subject, table);
    EXPECT_LT(table, first);
    EXPECT_LT(first, blank);
    EXPECT_LT(blank, third);
    EXPECT_LT(third, form);
    EXPECT_EQ(page.find("</table>", table + 1), std::string::npos);
    EXPECT_EQ(page.find("<input name=\"Form\""), form); // the first form field
    EXPECT_NE(page.find("</form></body></html>", form), std::string::npos);
    // Nothing before the body may look like a MIME body link or a picture to the plug-in.
    EXPECT_EQ(page.find("href=\"/mail"), std::string::npos);
    EXPECT_EQ(page.find("src=\"/mail"), std::string::npos);
}

// The server in the path or as the host, ids in any case and view aliases find the memo; every
// miss is not found (or a bad request) and never leaves the data folder.
TEST_F(DominoPages, TargetsThatFindTheMemoAndMissesThatNeverLeaveTheDataFolder) {
    std::ofstream(dir + "/secret.nsf") << "outside";
    std::string lower = unid;
    for (char& c : lower) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    const std::string zero(32, '0');
    const struct {
        std::string target;
        bool found;
    } cases[] = {
        {"/Mail1/mail/jdoe.nsf/($All)/" + unid + "?OpenDocument", true},
        {"/mail1/MAIL/JDOE.NSF/0/" + lower, true},
        {"/Mail1/mail/jdoe.nsf/(%24All)/" + unid + "?opendocument", true},
        {"/mail/jdoe.nsf/($Inbox)/" + unid, true},
        {"/Mail1/mail/nobody.nsf/($All)/" + unid, false},         // unknown database
        {"/Mail2/mail/jdoe.nsf/($All)/" + unid, false},           // unknown server
        {"/Mail1/mail/jdoe.nsf/($All)/" + zero, false},           // unknown document
        {"/Mail1/mail/jdoe.nsf/($All)/" + unid.substr(1), false}, // malformed ids
        {"/Mail1/mail/jdoe.nsf/($All)/" + unid + "0", false},
        {"/Mail1/mail/jdoe.nsf/($All)/" + unid.substr(0, 31) + "G", false},
        {"/Mail1/mail/jdoe.nsf/($Nowhere)/" + unid, false}, // unknown view
        {"/Mail1/mail/jdoe.nsf/($All)/" + unid + "?EditDocument", false},
        {"/Mail1/mail/jdoe.nsf", false}, // the database itself, for now
        {"/Mail1/mail/jdoe.nsf/($All)/" + unid + "/extra", false},
        {"/Mail1/mail/../mail/jdoe.nsf/($All)/" + unid, false}, // parent folders, plain and escaped
        {"/Mail1/mail/%2e%2e/mail/jdoe.nsf/($All)/" + unid, false},
        {"/Mail1/..%2fsecret.nsf/0/" + unid, false},
        {"/Mail1/mail%5cjdoe.nsf/0/" + unid, false},
        {"/Mail1/mail/%00jdoe.nsf/0/" + unid, false},
        {"/Mail1/%/0/" + unid, false},
    };
    for (const auto& c : cases) {
        const int got = status(c.target, kJane);
        if (c.found) {
            EXPECT_EQ(got, 200) << c.target;
        } else {
            EXPECT_TRUE(got == 404 || got == 400) << c.target << " gave " << got;
        }
    }
    EXPECT_TRUE(server->running()); // none of it brought the server down
}

TEST_F(DominoPages, AnotherUsersMailFileIsForbidden) {
    const std::string theirs = addMemo("jsmith", memo("Private", "not for Jane"));
    auto r = get("/Mail1/mail/jsmith.nsf/($All)/" + theirs + "?OpenDocument", kJane);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 403);
    EXPECT_EQ(r->body.find("not for Jane"), std::string::npos);
    EXPECT_EQ(status("/Mail1/names.nsf/($Users)/" + theirs, kJane), 403) << "the directory is nobody's mail";
    // John reads his own.
    r = get("/Mail1/mail/jsmith.nsf/($All)/" + theirs, kJohn);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 200);
    EXPECT_NE(r->body.find("<p>not for Jane</p>"), std::string::npos);
}

TEST_F(DominoPages, HostileTextIsEscapedAndLatin1BecomesUtf8) {
    notes::mail::Message m =
        memo("<script>alert('x')</script> & \"Caf\xe9\"", "</table><input name=\"Form\">\n\xe0 bient\xf4t");
    m.from = "CN=Eve <evil>/O=Acme";
    const std::string id = addMemo("jdoe", m);
    auto r = get("/Mail1/mail/jdoe.nsf/($All)/" + id + "?OpenDocument", kJane);
    ASSERT_TRUE(r);
    ASSERT_EQ(r->status, 200);
    const std::string& page = r->body;
    EXPECT_EQ(page.find("<script>"), std::string::npos);
    EXPECT_NE(page.find("&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt; &amp; &quot;Caf\xc3\xa9&quot;"),
              std::string::npos);
    EXPECT_NE(page.find("Eve &lt;evil&gt;/Acme"), std::string::npos);
    // The body cannot end the header table early or fake the first form field.
    const std::size_t table = page.find("</table>");
    EXPECT_EQ(page.find("</table>", table + 1), std::string::npos);
    EXPECT_NE(page.find("<p>&lt;/table&gt;&lt;input name=&quot;Form&quot;&gt;</p>"), std::string::npos);
    EXPECT_NE(page.find("<p>\xc3\xa0 bient\xc3\xb4t</p>"), std::string::npos);
    EXPECT_LT(table, page.find("<input name=\"Form\""));
}

TEST_F(DominoPages, ConcurrentRequestsAllAnswer) {
    std::vector<std::thread> threads;
    std::atomic<int> ok{0};
    for (int t = 0; t < 6; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 5; ++i) {
                const bool mine = (t + i) % 2 == 0;
                auto r = get("/Mail1/mail/jdoe.nsf/($All)/" + unid + "?OpenDocument", mine ? kJane : kJohn);
                if (r && r->status == (mine ? 200 : 403)) {
                    ++ok;
                }
            }
        });
    }
    for (auto& th : threads) {
        th.join();
    }
    EXPECT_EQ(ok, 30);
    EXPECT_EQ(server->stats().requests, 30u);
}

TEST(DominoRichText, RecordsRenderAsParagraphsAndDamageEndsTheBody) {
    const domino::PageContext ctx{"/mail/jdoe.nsf", "($All)", std::string(32, 'A')};
    EXPECT_EQ(domino::renderRichText(notes::ods::encodeRichText("a\n\nb"), ctx),
              "<p>a</p>\n<p><br></p>\n<p>b</p>\n");
    EXPECT_EQ(domino::renderRichText("", ctx), "");
    // A record claiming more bytes than there are: what came before is kept.
    std::string damaged = notes::ods::encodeRichText("kept\n");
    damaged += std::string("\x85\x00\xff\xff\x00\x00xyz", 9);
    EXPECT_EQ(domino::renderRichText(damaged, ctx), "<p>kept</p>\n");
    // Records of unknown kinds render nothing and do not disturb the text around them.
    std::string withGraphic = notes::ods::encodeRichText("x");
    withGraphic += std::string("\x53\x00\x0a\x00\x00\x00"
                               "abcd",
                               10);
    withGraphic += notes::ods::encodeRichText("y");
    EXPECT_EQ(domino::renderRichText(withGraphic, ctx), "<p>xy</p>\n");
    EXPECT_EQ(domino::renderPlainText("one\r\ntwo"), "<p>one</p>\n<p>two</p>\n");
}
