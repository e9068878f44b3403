// Opening messages through the message provider: bodies fetched from a web task on loopback (the
// real one, or canned pages for the page shapes and failures it never produces), attachments and
// embedded pictures with their numbers, host links and bytes.
#include "MessageFixture.h"

#include "mail/NotesMessage.h"

#include "attachments.h"

#include "domino/webserver.h"

#include <httplib.h>

#include <algorithm>
#include <iostream>
#include <mutex>
#include <optional>
#include <thread>

namespace {

const char* const kPictureRef = "src=\"/mail/jdoe.nsf/($All)/";

// A web task that answers every GET with the page set by the test.
class CannedWebTask {
public:
    CannedWebTask() {
        server_.Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
            std::lock_guard<std::mutex> lock(mutex_);
            paths_.push_back(request.path + (request.params.empty() ? "" : "?"));
            authorization_ = request.get_header_value("Authorization");
            if (delay_.count())
                std::this_thread::sleep_for(delay_);
            response.status = status_;
            const bool second = paths_.size() > 1 && !secondPage_.empty();
            if (!cutShort_)
                response.set_content(second ? secondPage_ : page_, "text/html");
            else // a header promising more bytes than are sent, then the connection ends
                response.set_content_provider(5000, "text/html",
                                              [](std::size_t, std::size_t, httplib::DataSink& sink) {
                                                  sink.write("<html><body>partial", 19);
                                                  return false;
                                              });
        });
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        while (!server_.is_running())
            std::this_thread::yield();
    }
    ~CannedWebTask() {
        server_.stop();
        thread_.join();
    }
    void answer(std::string page, int status = 200, std::string secondPage = "") {
        std::lock_guard<std::mutex> lock(mutex_);
        page_ = std::move(page);
        secondPage_ = std::move(secondPage);
        status_ = status;
    }
    void delay(std::chrono::milliseconds d) { delay_ = d; }
    void cutShort() {
        std::lock_guard<std::mutex> lock(mutex_);
        cutShort_ = true;
    }
    std::vector<std::string> paths() {
        std::lock_guard<std::mutex> lock(mutex_);
        return paths_;
    }
    std::string authorization() {
        std::lock_guard<std::mutex> lock(mutex_);
        return authorization_;
    }
    int port() const { return port_; }

private:
    httplib::Server server_;
    std::thread thread_;
    std::mutex mutex_;
    std::string page_, secondPage_, authorization_;
    std::vector<std::string> paths_;
    int status_ = 200;
    std::chrono::milliseconds delay_{0};
    bool cutShort_ = false;
    int port_ = 0;
};

std::string richPage(const std::string& body, bool withFormField = true) {
    return "<html><head><title>Memo</title></head><body><table><tr><td>HeaderCell</td></tr></table>" + body +
           (withFormField ? "<input name=\"Form\" type=\"hidden\" value=\"Memo\">" : "") + "</body></html>";
}

} // namespace

class CannedPageTest : public MessageTest {
protected:
    void SetUp() override {
        MessageTest::SetUp();
        if (HasFatalFailure())
            return;
        pointWebTaskAt(web.port());
        rich = addRichMemo("Rich", {richRun("stored text")});
        mime = addMimeMemo("Mime",
                           "From: a@example.com\r\nSubject: Mime\r\nContent-Type: text/plain\r\n\r\nhi\r\n");
    }
    CannedWebTask web;
    std::string rich, mime;
};

TEST_F(CannedPageTest, RichTextPageIsCutBetweenHeaderTableAndFormFieldsOrShownWhole) {
    web.answer(richPage("<p>The body</p>"));
    std::string body = bodyOf(open(rich));
    EXPECT_NE(body.find("The body"), std::string::npos) << body;
    EXPECT_EQ(body.find("HeaderCell"), std::string::npos) << "the header table is cut off";
    EXPECT_NE(body.find("margin:0in"), std::string::npos) << "paragraph style inserted";
    EXPECT_EQ(body.rfind("<div class=\"hx-message\"><style>.hx-message p{margin:0in", 0), 0u)
        << "the host inserts the body in its container, the styles scoped to it: " << body;
    ASSERT_FALSE(web.paths().empty());
    EXPECT_EQ(web.paths()[0], "/mail/jdoe.nsf/($All)/" + rich + "?");
    EXPECT_EQ(web.authorization().rfind("Basic ", 0), 0u) << "the user's credentials go along";

    web.answer(richPage("<p>The body</p>", false));
    body = bodyOf(open(rich));
    EXPECT_NE(body.find("HeaderCell"), std::string::npos) << "no form field: the page whole";
    EXPECT_NE(body.find("The body"), std::string::npos);

    web.answer("<html><body><p>No table</p><input name=\"Form\" value=\"Memo\"></body></html>");
    body = bodyOf(open(rich));
    EXPECT_NE(body.find("No table"), std::string::npos) << body;
}

TEST_F(CannedPageTest, ParagraphStyleGoesInOnceAndOnlyWhereThereIsAHeadOrHtml) {
    const std::string style = "<style>p{margin:0in;margin-bottom:.0001pt;}</style>";
    auto insert = [&](std::string html) {
        Lattice::String text(html);
        hx::NotesMessage::insertHTMLHeadProp(text, style.c_str(), "<style>p{margin:0in");
        return text.str();
    };
    EXPECT_EQ(insert("<HTML><Head lang=en><body>x"), "<HTML><Head lang=en>" + style + "<body>x");
    EXPECT_EQ(insert("<html lang=en><body>x"), "<html lang=en><head>" + style + "</head><body>x");
    EXPECT_EQ(insert("<p>fragment</p>"), "<p>fragment</p>");
    const std::string already = "<html><head><STYLE>P{MARGIN:0IN}</STYLE></head>";
    EXPECT_EQ(insert(already), already) << "the marker is found in any case";
    for (std::size_t pad = 0; pad < 17; ++pad) { // deep in a long page, at every alignment
        const std::string late = "<html><head></head><body>" + std::string(pad, ' ') + std::string(300, '<') +
                                 "<Style>P{margin:0IN}</style></body></html>";
        EXPECT_EQ(insert(late), late) << pad;
    }

    // Through a whole read: a fragment page keeps no paragraph style.
    web.answer("<p>Just a fragment</p>");
    const std::string body = bodyOf(open(rich));
    EXPECT_NE(body.find("Just a fragment"), std::string::npos);
    EXPECT_EQ(body.find("margin:0in"), std::string::npos) << body;
}

TEST_F(CannedPageTest, MimePagesTextInPreWrapperOrHtmlPartBySecondRequest) {
    web.answer("<html><body><pre>line one &amp; two</pre></body></html>");
    std::string body = bodyOf(open(mime));
    EXPECT_NE(body.find("pre-wrap"), std::string::npos) << body;
    EXPECT_NE(body.find("line one &amp; two"), std::string::npos);
    EXPECT_NE(body.find("margin:0in"), std::string::npos);
    EXPECT_EQ(web.paths().size(), 1u);

    CannedWebTask linked;
    pointWebTaskAt(linked.port());
    linked.answer(
        "<html><body><a href=\"/mail/jdoe.nsf/($All)/" + mime + "/Body/M1?OpenElement\">HTML</a>", 200,
        "<html><head><style>p{margin:0in}</style></head><body><p>Rich <b>HTML</b></p></body></html>");
    body = bodyOf(open(mime));
    ASSERT_EQ(linked.paths().size(), 2u);
    EXPECT_EQ(linked.paths()[1], "/mail/jdoe.nsf/($All)/" + mime + "/Body/M1?");
    EXPECT_NE(body.find("Rich <b>HTML</b>"), std::string::npos) << body;
    EXPECT_EQ(body.find("margin-bottom:.0001pt"), std::string::npos)
        << "a body with the style gets no second";

    linked.answer("<html><body>no link, no pre</body></html>", 200, "");
    body = bodyOf(open(mime));
    EXPECT_EQ(linked.paths().back(), "/mail/jdoe.nsf/") << "the second request goes to the database";
}

TEST_F(CannedPageTest, FailedFetchesLeaveTheBodyEmptyAndStillListAttachments) {
    const std::string withFile = addRichMemo("Att", {richRun("x")}, {{"notes.txt", "abc"}});
    for (int status : {401, 500}) {
        web.answer("<html><body>refused</body></html>", status);
        Lattice::Ptr<hxMail::MessageDetail> detail = open(withFile);
        EXPECT_EQ(bodyOf(detail), "") << status;
        ASSERT_EQ(detail->get_attachments()->count(), 1) << status;
        EXPECT_EQ(bytesOf(detail->get_attachments()->at(0)->get_id().str(), 0), "abc");
    }

    web.delay(std::chrono::milliseconds(1500));
    web.answer(richPage("<p>late</p>"));
    Lattice::HTTP::Limits limits;
    limits.connectTimeoutMs = 300;
    limits.totalTimeoutMs = 300;
    Lattice::HTTP::setLimits(limits);
    EXPECT_EQ(bodyOf(open(withFile)), "") << "too slow";
    web.delay(std::chrono::milliseconds(0));

    {
        CannedWebTask cut;
        cut.cutShort();
        pointWebTaskAt(cut.port());
        EXPECT_EQ(bodyOf(open(withFile)), "") << "a page cut short counts as failed";
    }
    // Nothing listens there any more.
    EXPECT_EQ(attachmentsOf(open(withFile)).size(), 1u) << "connection refused";
}

TEST_F(CannedPageTest, HostileBodiesReachTheHostInert) {
    web.answer(richPage("<p onclick=\"steal()\">Hi</p><script>alert(1)</script>"
                        "<img src=x onerror=\"alert(2)\"><body onload=\"alert(3)\">"
                        "<a href=\"javascript:alert(4)\">link</a><a href=\"JaVaScRiPt&#58;alert(5)\">two</a>"
                        "<iframe src=\"http://evil.example/\"></iframe>"));
    const std::string body = bodyOf(open(rich));
    EXPECT_NE(body.find("Hi"), std::string::npos) << body;
    for (const char* active : {"<script", "alert(", "onclick", "onerror", "onload", "javascript:", "<iframe"})
        EXPECT_EQ(Lattice::String(body).findNoCase(active), -1) << active << " in " << body;
}

// The real web task stand-in on loopback, serving the fixture's data folder.
class LiveMessageTest : public MessageTest {
protected:
    void SetUp() override {
        MessageTest::SetUp();
        if (HasFatalFailure())
            return;
        domino::Options options;
        options.accessLog = [this](const std::string& line) {
            std::lock_guard<std::mutex> lock(logMutex);
            accessLog.push_back(line);
        };
        web = std::make_unique<domino::WebServer>(dir, options);
        web->start(0);
        pointWebTaskAt(web->port());
    }
    void TearDown() override {
        web.reset();
        if (HasFailure())
            for (const std::string& line : accessLog)
                std::cerr << "web task: " << line << "\n";
        MessageTest::TearDown();
    }
    std::string addStoredMemo(const std::string& subject, const std::string& eml);
    void store(const std::string& unid, const std::string& eml); // in place of the memo's body

    // Appends copies of the memo's first "$FILE" entry, each under a new name and claiming the
    // given number of bytes more than the object holds.
    void addFileEntries(const std::string& unid, const std::vector<std::pair<std::string, long>>& entries) {
        changeNote(unid, [&](NOTEHANDLE h) {
            BLOCKID item{}, value{};
            WORD type = 0;
            DWORD length = 0;
            ASSERT_EQ(NSFItemInfo(h, "$FILE", 5, &item, &type, &value, &length), NOERROR);
            const char* stored = OSLockBlock(char, value);
            notes::files::FileObject file;
            ASSERT_TRUE(notes::files::decode(std::string_view(stored + 2, length - 2), &file));
            OSUnlockBlock(value);
            const long size = file.size;
            for (const auto& [name, extra] : entries) {
                file.name = name;
                file.size = static_cast<DWORD>(size + extra);
                append(h, "$FILE", TYPE_OBJECT, notes::files::encode(file));
            }
        });
    }

    std::unique_ptr<domino::WebServer> web;
    std::mutex logMutex;
    std::vector<std::string> accessLog;
};

TEST_F(LiveMessageTest, RichTextMemoWithPicturesAndFiles) {
    const std::string unid = addRichMemo(
        "Pictures", {richRun("Look:"), richGraphic(kGif), richRun(" and "), richGraphic(kOtherGif)},
        {{"report.pdf", "%PDF-1.4 body"}, {"CARD.VCF", "BEGIN:VCARD"}, {"README", "plain"}});
    auto& table = provider->getContentIds();
    const long before = table.count();

    Lattice::Ptr<hxMail::MessageDetail> detail = open(unid);
    ASSERT_TRUE(detail->get_from());
    EXPECT_EQ(detail->get_from()->get_displayName(), "John Smith");
    ASSERT_EQ(detail->get_to()->count(), 1);
    EXPECT_EQ(detail->get_textType(), "html");
    const std::string body = bodyOf(detail);
    EXPECT_NE(body.find("Look:"), std::string::npos) << body;
    EXPECT_EQ(body.find(kPictureRef), std::string::npos) << "picture references point at the host: " << body;
    EXPECT_NE(body.find("/hx//" + unid + "_att_" + std::to_string(100 + before) + "_embed" +
                        std::to_string(100 + before) + ".gif?getFileWithObject?contId="),
              std::string::npos)
        << body;

    ASSERT_EQ(table.count(), before + 2);
    const auto attachments = attachmentsOf(detail);
    ASSERT_EQ(attachments.size(), 5u);
    EXPECT_EQ(attachments[0]->get_attachNum(), 0);
    EXPECT_EQ(attachments[0]->get_id(), "att_0_" + unid);
    EXPECT_EQ(attachments[0]->get_fileName(), "report.pdf");
    EXPECT_EQ(attachments[0]->get_mimeType(), "application/pdf");
    EXPECT_EQ(attachments[0]->get_path(), "C:\\files\\report.pdf");
    EXPECT_EQ(attachments[0]->get_size(), 13);
    EXPECT_TRUE(attachments[1]->get_isVCard()) << "VCF in capitals is a vCard";
    EXPECT_EQ(attachments[1]->get_id(), "");
    EXPECT_EQ(attachments[1]->get_attachNum(), 1);
    EXPECT_EQ(attachments[2]->get_fileName(), "README");
    EXPECT_EQ(attachments[2]->get_mimeType(), "");
    EXPECT_EQ(attachments[2]->get_fileType(), "");
    for (int k = 0; k < 2; ++k) {
        const hxMail::Attachment& picture = *attachments[3 + k];
        const long number = 100 + before + k;
        EXPECT_EQ(picture.get_attachNum(), number);
        EXPECT_EQ(picture.get_fileName(), "embed" + std::to_string(number) + ".gif");
        EXPECT_EQ(picture.get_contentId(), picture.get_fileName());
        EXPECT_EQ(picture.get_id(), "att_" + std::to_string(number) + "_" + unid);
        EXPECT_TRUE(table[before + k].replaced);
        EXPECT_EQ(bytesOf(picture.get_id().str(), number), k == 0 ? kGif : kOtherGif) << "fetched over HTTP";
    }
    EXPECT_EQ(bytesOf("att_0_" + unid, 0), "%PDF-1.4 body");
    EXPECT_EQ(bytesOf(unid, 2), "plain") << "an id without \"_\" is the message id";
    EXPECT_EQ(bytesOf(unid, 3), std::nullopt) << "no fourth file";
    EXPECT_EQ(bytesOf(unid, 100 + table.count()), std::nullopt) << "no such picture record";

    // A second read appends the pictures again and numbers them after the first.
    const Lattice::Ptr<hxMail::MessageDetail> second = open(unid);
    const auto again = attachmentsOf(second);
    ASSERT_EQ(table.count(), before + 4);
    EXPECT_EQ(again[3]->get_attachNum(), 102 + before);
    EXPECT_EQ(bytesOf(unid, 102 + before), kGif);
}

TEST_F(LiveMessageTest, MimeMemosPlainTextAndHtml) {
    const std::string text = addMimeMemo("Plain", "From: John Smith <john@acme.example>\r\nSubject: Plain\r\n"
                                                  "Content-Type: text/plain; charset=iso-8859-1\r\n"
                                                  "Content-Transfer-Encoding: quoted-printable\r\n\r\n"
                                                  "Caf=E9 at 10 <sharp>\r\n");
    std::string body = bodyOf(open(text));
    EXPECT_NE(body.find("pre-wrap"), std::string::npos) << body;
    EXPECT_NE(body.find("Caf\xc3\xa9 at 10 &lt;sharp&gt;"), std::string::npos) << body;
    EXPECT_NE(body.find("margin:0in"), std::string::npos);

    const std::string html = addMimeMemo(
        "Html", "From: john@acme.example\r\nSubject: Html\r\nMIME-Version: 1.0\r\n"
                "Content-Type: multipart/alternative; boundary=\"b1\"\r\n\r\n"
                "--b1\r\nContent-Type: text/plain\r\n\r\nplain version\r\n"
                "--b1\r\nContent-Type: text/html; charset=utf-8\r\n\r\n"
                "<html><body><p>The <b>HTML</b> part</p><script>x()</script></body></html>\r\n--b1--\r\n");
    body = bodyOf(open(html));
    EXPECT_NE(body.find("The <b>HTML</b> part"), std::string::npos) << body;
    EXPECT_EQ(body.find("plain version"), std::string::npos);
    EXPECT_EQ(body.find("<script"), std::string::npos);
}

TEST_F(LiveMessageTest, LargeAndShortFileExtractions) {
    std::string large(3 * 1024 * 1024 + 17, '\0');
    for (std::size_t i = 0; i < large.size(); ++i)
        large[i] = static_cast<char>((i * 7919) >> 3);
    const std::string unid = addRichMemo("Big", {richRun("big")}, {{"big.bin", large}});
    EXPECT_EQ(bytesOf(unid, 0), large) << "chunked extraction puts every byte in place";

    // A "$FILE" entry claiming more bytes than its object holds.
    addFileEntries(unid, {{"claims-more.bin", 100}});
    testing::internal::CaptureStdout();
    const auto shortRead = bytesOf(unid, 1);
    const std::string printed = testing::internal::GetCapturedStdout();
    ASSERT_TRUE(shortRead.has_value()) << "a short extraction still succeeds";
    EXPECT_EQ(*shortRead, large);
    EXPECT_NE(printed.find("error-total attachment bytes read not equal to file size"), std::string::npos)
        << printed;
}

// The operations the plug-in does not serve are rows of the slot table.
TEST_F(LiveMessageTest, EmptyAndUnknownIdsLoadNothing) {
    Lattice::Ptr<hxMail::MessageDetail> detail = new hxMail::MessageDetail();
    detail->get_body()->set_text("kept");
    EXPECT_EQ(messages().getMessageDetail("", "html", detail), 0);
    EXPECT_EQ(bodyOf(detail), "kept");
    EXPECT_EQ(detail->get_textType(), "");

    EXPECT_EQ(messages().getMessageDetail("00000000000000000000000000000BAD", "html", detail), 0);
    EXPECT_EQ(bodyOf(detail), "kept") << "an unknown id loads nothing";
    EXPECT_EQ(bytesOf("", 0), std::nullopt);
    EXPECT_EQ(bytesOf("att_0_00000000000000000000000000000BAD", 0), std::nullopt);
}

TEST_F(CannedPageTest, SendersAreLookedUpAgainOnceTheDirectoryChanges) {
    web.answer(richPage("<p>x</p>"));
    auto sender = [&] {
        const Lattice::Ptr<hxMail::MessageDetail> detail = open(rich);
        return detail->get_from() ? detail->get_from()->get_smtpAddress().str() : std::string("none");
    };
    const std::string unknown = sender();
    EXPECT_NE(unknown, "john@acme.example");
    EXPECT_EQ(sender(), unknown) << "a remembered name answers as the directory did";
    PersonDoc john = jane();
    john.fullName = "CN=John Smith/O=Acme";
    john.shortName = "jsmith";
    john.internetAddress = "john@acme.example";
    john.mailSystem = "5";
    addPerson(kDirectory, john);
    EXPECT_EQ(sender(), "john@acme.example") << "the directory changed, so the name is looked up again";
}

TEST_F(LiveMessageTest, MissingAttachmentsAndForeignIdsLeaveTheHostsBlockAlone) {
    const std::string unid = addRichMemo("Att", {richRun("x")}, {{"a.txt", "abc"}});
    Lattice::Ptr<Lattice::BaseObject64> block = new Lattice::BaseObject64();
    Lattice::BaseObject64* const before = block.get();
    for (const auto& [id, number] : std::vector<std::pair<std::string, long>>{
             {"att_1_" + unid, 1}, {"att_0_" + unid, 7}, {"att_107_" + unid, 107}, {"att_0_00000000", 0}}) {
        EXPECT_EQ(messages().loadAttachmentData(id.c_str(), number, block), hxMail::kNotSupported) << id;
        EXPECT_EQ(block.get(), before) << id;
    }
    EXPECT_EQ(bytesOf("att_0_" + unid, 0), "abc");
}

// The host's importance (0 low, 1 normal, 2 high) is stored the other way round and listed back.
TEST_F(LiveMessageTest, SmartValuesAndImportanceAreStoredAndListed) {
    const std::string unid = addRichMemo("Smart", {richRun("x")});
    const struct {
        long importance;
        const char* stored;
        const char* smartName;
    } steps[] = {{2, "1", "label"}, {0, "3", "followUp"}};
    for (const auto& step : steps) {
        SCOPED_TRACE(step.smartName);
        EXPECT_EQ(messages().setSmartValue(unid.c_str(), step.smartName, "value 1"), 0);
        Lattice::String value;
        EXPECT_EQ(messages().getSmartValue(unid.c_str(), value), 0);
        EXPECT_EQ(value, "value 1");
        bool changed = false;
        EXPECT_EQ(messages().setImportance(unid.c_str(), step.importance, changed), 0);
        EXPECT_TRUE(changed);
        EXPECT_EQ(itemText(unid, "Importance"), step.stored);
        EXPECT_EQ(itemText(unid, "smartName"), step.smartName);
        Lattice::ObjectCollection items;
        provider->getFolderItemsPage(folderId("Inbox").c_str(), 0, 10, &items);
        bool found = false;
        for (const Lattice::Data& d : items)
            if (auto* m = d.toObject<hxMail::MessageItem>(); m && m->get_id() == unid.c_str()) {
                found = true;
                EXPECT_EQ(m->get_importance(), step.importance);
                EXPECT_EQ(m->get_smartName(), step.smartName);
            }
        EXPECT_TRUE(found);
    }
}

TEST_F(LiveMessageTest, DirectMimeReaderTakesThePartsFromTheNote) {
    const std::string unid = addMimeMemo(
        "Direct", "From: john@acme.example\r\nSubject: Direct\r\nMIME-Version: 1.0\r\n"
                  "Content-Type: multipart/related; boundary=\"r1\"\r\n\r\n"
                  "--r1\r\nContent-Type: text/html; charset=utf-8\r\n\r\n"
                  "<html><body><p>Logo: <img src=\"cid:logo@acme\"></p><p>caf\xc3\xa9</p></body></html>\r\n"
                  "--r1\r\nContent-Type: image/gif\r\nContent-ID: <logo@acme>\r\n"
                  "Content-Transfer-Encoding: base64\r\n\r\nR0lGODlhAQABAIAAAP///wAAACE=\r\n--r1--\r\n");
    auto& table = provider->getContentIds();
    const long before = table.count();
    provider->lockAll();
    Lattice::String id(unid);
    Lattice::Ptr<hx::NotesMessage> message =
        new hx::NotesMessage(id, provider, provider->getUserMailDatabase());
    Lattice::Ptr<hxMail::MessageDetail> detail = new hxMail::MessageDetail();
    testing::internal::CaptureStdout();
    message->loadMimeBody(detail.get(), false, false);
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_FALSE(message->loadFailed()) << "the document is open again";
    provider->unlockAll();

    EXPECT_NE(printed.find("No more items found in note."), std::string::npos) << printed;
    const std::string body = bodyOf(detail);
    EXPECT_NE(body.find("caf\xc3\xa9"), std::string::npos) << body;
    EXPECT_NE(body.find("margin:0in"), std::string::npos);
    ASSERT_EQ(table.count(), before + 1) << body;
    EXPECT_EQ(table[before].contentId, "cid:logo@acme");
    EXPECT_TRUE(table[before].sourcePath.isEmpty());
}

TEST_F(LiveMessageTest, ReplyAndForwardIdsTakeAttachmentsButNoBodyOrSender) {
    const std::string unid =
        addRichMemo("Answer me", {richRun("original text"), richGraphic(kGif)}, {{"agenda.txt", "1. start"}});
    for (const char* prefix : {"reply_", "replyAll_", "forward_"}) {
        const long before = provider->getContentIds().count();
        Lattice::Ptr<hxMail::MessageDetail> detail = open(prefix + unid);
        EXPECT_FALSE(detail->get_from()) << prefix;
        EXPECT_EQ(detail->get_to()->count(), 0) << prefix;
        EXPECT_EQ(bodyOf(detail), "") << prefix;
        const auto attachments = attachmentsOf(detail);
        ASSERT_EQ(attachments.size(), 2u) << prefix;
        EXPECT_EQ(attachments[0]->get_fileName(), "agenda.txt");
        EXPECT_EQ(attachments[1]->get_attachNum(), 100 + before) << "numbered after the table's records";
        EXPECT_EQ(attachments[1]->get_contentId(), "") << "no body parse, so no record to take";
        EXPECT_EQ(provider->getContentIds().count(), before);
    }
}

TEST_F(CannedPageTest, ZeroBytesInAPageDoNotCutTheBody) {
    const std::string nul(1, '\0');
    const struct {
        std::string page, expected;
    } cases[] = {
        {"<p>before" + nul + "after</p>", "before\xEF\xBF\xBD"
                                          "after"},
        {"<p title=\"a" + nul + "b\">x</p>", "title=\"a\xEF\xBF\xBD"
                                             "b\""},
        {"<style>p{font-family:\"a" + nul + "b\"}</style><p>x</p>", "font-family:\"a\xEF\xBF\xBD"
                                                                    "b\""},
    };
    for (const auto& c : cases) {
        web.answer(richPage(c.page + "<p>tail</p>"));
        const std::string body = bodyOf(open(rich));
        EXPECT_NE(body.find(c.expected), std::string::npos) << body;
        EXPECT_NE(body.find("tail"), std::string::npos) << body;
        EXPECT_EQ(body.find('\0'), std::string::npos) << body;
    }
}

TEST_F(LiveMessageTest, MemosWithoutSenderRecipientsOrSubjectOpenWithWhatTheyHave) {
    const std::vector<std::vector<std::string>> missing = {
        {"From"}, {"SendTo"}, {"Subject"}, {"From", "SendTo", "Subject"}};
    for (const auto& items : missing) {
        const std::string unid = addRichMemo("Gone", {richRun("still here")}, {{"kept.txt", "bytes"}});
        changeNote(unid, [&](NOTEHANDLE h) {
            for (const std::string& item : items)
                ASSERT_EQ(NSFItemDelete(h, item.c_str(), static_cast<WORD>(item.size())), NOERROR) << item;
        });
        const bool hasFrom = std::find(items.begin(), items.end(), "From") == items.end();
        const bool hasTo = std::find(items.begin(), items.end(), "SendTo") == items.end();
        const std::string what = "without " + items.back();
        Lattice::Ptr<hxMail::MessageDetail> detail = open(unid);
        EXPECT_EQ(static_cast<bool>(detail->get_from()), hasFrom) << what;
        EXPECT_EQ(detail->get_to() ? detail->get_to()->count() : 0, hasTo ? 1 : 0) << what;
        EXPECT_NE(bodyOf(detail).find("still here"), std::string::npos) << what;
        ASSERT_EQ(attachmentsOf(detail).size(), 1u) << what;
        EXPECT_EQ(bytesOf(attachmentsOf(detail)[0]->get_id().str(), 0), "bytes") << what;
    }
}

TEST_F(CannedPageTest, BodiesPastTheLimitAreCutWithANote) {
    std::string line = "<p>" + std::string(1000, 'w') + "</p>\n";
    std::string text;
    while (text.size() < 9u * 1024 * 1024)
        text += line;
    web.answer(richPage(text + "<p>the very end</p>"));
    const std::string body = bodyOf(open(rich));
    EXPECT_EQ(body.find("the very end"), std::string::npos);
    EXPECT_LT(body.size(), 8u * 1024 * 1024 + 4096);
    EXPECT_GT(body.size(), 8u * 1024 * 1024 - 4096);
    const std::size_t note = body.find("larger than 8 MB");
    ASSERT_NE(note, std::string::npos);
    EXPECT_EQ(body.substr(body.size() - 6), "</div>") << "the note is inside the message's container";
    EXPECT_EQ(body.find(std::string(1000, 'w') + "</p>", note), std::string::npos)
        << "after everything shown";

    web.answer(richPage(text.substr(0, 7u * 1024 * 1024)));
    EXPECT_EQ(bodyOf(open(rich)).find("larger than 8 MB"), std::string::npos)
        << "a body within the limit is whole";
}

TEST_F(LiveMessageTest, AttachmentNamesAreDataNotPaths) {
    const std::string unid = addRichMemo("Names", {richRun("x")}, {{"plain.txt", "the bytes"}});
    const std::vector<std::pair<std::string, std::string>> names = {
        // name as stored, MIME type the host gets
        {"../../etc/passwd", ""},
        {"dir\\sub\\report.pdf", "application/pdf"},
        {"archive.pdf/evil", ""},
        {std::string("ctl\x01\x1f\x7f.txt", 10), "text/plain"},
        {std::string(1000, 'n') + ".pdf", "application/pdf"},
    };
    for (const auto& entry : names)
        addFileEntries(unid, {{entry.first, 0}});
    const Lattice::Ptr<hxMail::MessageDetail> detail = open(unid);
    const auto attachments = attachmentsOf(detail);
    ASSERT_EQ(attachments.size(), names.size() + 1);
    for (std::size_t i = 0; i < names.size(); ++i) {
        const hxMail::Attachment& a = *attachments[i + 1];
        EXPECT_EQ(a.get_fileName().str(), names[i].first) << i;
        EXPECT_EQ(a.get_mimeType().str(), names[i].second) << names[i].first;
        EXPECT_EQ(a.get_attachNum(), static_cast<long>(i + 1));
        EXPECT_EQ(bytesOf(a.get_id().str(), a.get_attachNum()), "the bytes") << names[i].first;
    }
}

namespace {

struct Offered {
    std::string name, mimeType, bytes;
};

struct Shape {
    std::string what, eml, body;
    std::size_t files; // "$FILE" attachments listed before the offered leaves
    std::vector<Offered> offered;
};

const std::string kReturned = "From: jane@acme.example\r\nSubject: Lunch on Friday\r\n"
                              "Content-Type: text/plain\r\n\r\nSee you there.\r\n";

const std::vector<Shape> kShapes = {
    {"single text part", "Subject: One\r\nContent-Type: text/plain\r\n\r\nonly text\r\n", "only text", 0, {}},
    {"alternatives show one body and offer nothing",
     "Subject: Alt\r\nContent-Type: multipart/alternative; boundary=a\r\n\r\n"
     "--a\r\nContent-Type: text/plain\r\n\r\nplain twin\r\n"
     "--a\r\nContent-Type: text/html\r\n\r\n<p>rich twin</p>\r\n--a--\r\n",
     "rich twin",
     0,
     {}},
    {"bounce: text, delivery status and the returned message",
     "Subject: Undeliverable\r\nContent-Type: multipart/report; report-type=delivery-status; "
     "boundary=r\r\n\r\n"
     "--r\r\nContent-Type: text/plain\r\n\r\nDelivery to bob failed.\r\n"
     "--r\r\nContent-Type: message/delivery-status\r\n\r\nReporting-MTA: dns; mx.acme.example\r\n\r\n"
     "Final-Recipient: rfc822; bob@acme.example\r\nAction: failed\r\n"
     "--r\r\nContent-Type: message/rfc822\r\n\r\n" +
         kReturned + "--r--\r\n",
     "Delivery to bob failed.",
     0,
     {{"part-2.txt", "message/delivery-status",
       "Reporting-MTA: dns; mx.acme.example\r\n\r\nFinal-Recipient: rfc822; bob@acme.example\r\nAction: "
       "failed"},
      {"Lunch on Friday.eml", "message/rfc822", kReturned.substr(0, kReturned.size() - 2)}}},
    {"a report alone has no body and is offered",
     "Subject: Status\r\nContent-Type: message/delivery-status\r\n\r\nAction: delayed\r\n",
     "",
     0,
     {{"part-1.txt", "message/delivery-status", "Action: delayed\r\n"}}},
    {"read receipt",
     "Subject: Read\r\nContent-Type: multipart/report; report-type=disposition-notification; "
     "boundary=d\r\n\r\n"
     "--d\r\nContent-Type: text/plain\r\n\r\nYour message was displayed.\r\n"
     "--d\r\nContent-Type: message/disposition-notification\r\n\r\nDisposition: "
     "manual-action/MDN-sent-manually; "
     "displayed\r\n--d--\r\n",
     "Your message was displayed.",
     0,
     {{"part-2.txt", "message/disposition-notification",
       "Disposition: manual-action/MDN-sent-manually; displayed"}}},
    {"further text parts, named inline text and a file beside an HTML body",
     "Subject: Mixed\r\nContent-Type: multipart/mixed; boundary=m\r\n\r\n"
     "--m\r\nContent-Type: multipart/alternative; boundary=a\r\n\r\n"
     "--a\r\nContent-Type: text/plain\r\n\r\nplain twin\r\n"
     "--a\r\nContent-Type: text/html\r\n\r\n<p>rich body</p>\r\n--a--\r\n"
     "--m\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: base64\r\n\r\n"
     "c2Vjb25kIHBhcnQKd2l0aCBhIE5VTCAA\r\n"
     "--m\r\nContent-Type: text/plain; name=notes.txt\r\nContent-Disposition: inline\r\n"
     "Content-Transfer-Encoding: quoted-printable\r\n\r\nnamed =3D inline\r\n"
     "--m\r\nContent-Type: application/pdf\r\nContent-Disposition: attachment; filename=a.pdf\r\n"
     "Content-Transfer-Encoding: base64\r\n\r\nJVBERi0=\r\n--m--\r\n",
     "rich body",
     1,
     {{"part-3.txt", "text/plain", std::string("second part\nwith a NUL \0", 24)},
      {"notes.txt", "text/plain", "named = inline"}}},
};

} // namespace

// A delivered memo holding `eml` as the store keeps a received message: byte for byte, its file
// parts as "$FILE" attachments.
std::string LiveMessageTest::addStoredMemo(const std::string& subject, const std::string& eml) {
    std::string unid;
    addMemo(delivered(subject), &unid);
    store(unid, eml);
    return unid;
}

void LiveMessageTest::store(const std::string& unid, const std::string& eml) {
    notes::mail::Message stored;
    std::string error;
    ASSERT_EQ(notes::mime::storeMessage(eml, &stored, &error), NOERROR) << error;
    changeNote(unid, [&](NOTEHANDLE h) {
        while (NSFItemDelete(h, "Body", 4) == NOERROR) {
        }
        for (const std::string& value : stored.mimeParts)
            append(h, "Body", TYPE_MIME_PART, value);
        for (std::size_t i = 0; i < stored.files.size(); ++i) {
            const std::string path = dir + "/leaf" + std::to_string(i);
            std::ofstream(path, std::ios::binary) << stored.files[i].second;
            ASSERT_EQ(NSFNoteAttachFile(h, "$FILE", 5, path.c_str(), stored.files[i].first.c_str(), 0),
                      NOERROR);
        }
        if (NSFItemInfo(h, "$NoteHasNativeMIME", 18, nullptr, nullptr, nullptr, nullptr) != NOERROR)
            append(h, "$NoteHasNativeMIME", TYPE_TEXT, "1");
    });
}

TEST_F(LiveMessageTest, EveryLeafBesidesTheBodyIsOfferedWithItsDecodedBytes) {
    for (const Shape& shape : kShapes) {
        const std::string unid = addStoredMemo(shape.what, "From: john@acme.example\r\n" + shape.eml);
        const Lattice::Ptr<hxMail::MessageDetail> detail = open(unid);
        EXPECT_NE(bodyOf(detail).find(shape.body), std::string::npos) << shape.what << ": " << bodyOf(detail);
        const auto attachments = attachmentsOf(detail);
        ASSERT_EQ(attachments.size(), shape.files + shape.offered.size()) << shape.what;
        for (std::size_t i = 0; i < shape.offered.size(); ++i) {
            const hxMail::Attachment& a = *attachments[shape.files + i];
            const Offered& want = shape.offered[i];
            EXPECT_EQ(a.get_fileName().str(), want.name) << shape.what;
            EXPECT_EQ(a.get_mimeType().str(), want.mimeType) << shape.what;
            EXPECT_EQ(a.get_size(), static_cast<long>(want.bytes.size())) << shape.what << " " << want.name;
            EXPECT_EQ(bytesOf(a.get_id().str(), a.get_attachNum()), want.bytes)
                << shape.what << " " << want.name;
        }
        if (shape.files > 0) {
            EXPECT_EQ(bytesOf(attachments[0]->get_id().str(), 0), "%PDF-") << shape.what;
        }
        EXPECT_EQ(bytesOf(unid, 1000050), std::nullopt) << shape.what << ": no such leaf";
    }
}

TEST_F(LiveMessageTest, AnOfferedLeafFollowsItsNoteWhenTheNoteChanges) {
    // Listing and downloading reuse one parse of the stored message; a changed note is read afresh.
    std::string unid;
    addMemo(delivered("Status"), &unid);
    for (const std::string report :
         {"Action: delayed\r\n", "Action: failed, after a longer wait\r\n", "Action: delivered\r\n"}) {
        store(unid,
              "From: john@acme.example\r\nSubject: Status\r\nContent-Type: message/delivery-status\r\n\r\n" +
                  report);
        const Lattice::Ptr<hxMail::MessageDetail> detail = open(unid);
        const auto attachments = attachmentsOf(detail);
        ASSERT_EQ(attachments.size(), 1u) << report;
        EXPECT_EQ(attachments[0]->get_size(), static_cast<long>(report.size())) << report;
        for (int twice = 0; twice < 2; ++twice)
            EXPECT_EQ(bytesOf(attachments[0]->get_id().str(), attachments[0]->get_attachNum()), report);
    }
}

namespace {

struct Damaged {
    std::string what, eml;
    std::vector<std::string> unplaced; // the runs offered as "unplaced-N.txt", in order
};

const std::string kMixed = "Subject: Damaged\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n";

// Damage that mail readers accept, and the shapes common clients write (which gain nothing).
const std::vector<Damaged> kDamaged = {
    {"missing final boundary",
     kMixed + "--b\r\nContent-Type: text/plain\r\n\r\nfirst words\r\n--b\r\nContent-Type: text/plain\r\n\r\n"
              "second words run to the end\r\n",
     {}},
    {"list footer after the closing boundary",
     kMixed + "--b\r\nContent-Type: text/plain\r\n\r\nposted words\r\n--b--\r\n____\r\nlist footer words\r\n",
     {"____\r\nlist footer words\r\n"}},
    {"junk before the first boundary",
     kMixed + "This is a multi-part message in MIME format.\r\nold readers see this note\r\n\r\n"
              "--b\r\nContent-Type: text/plain\r\n\r\nbody words\r\n--b--\r\n",
     {"This is a multi-part message in MIME format.\r\nold readers see this note\r\n"}},
    {"duplicated boundary",
     kMixed + "--b\r\n--b\r\nContent-Type: text/plain\r\n\r\nbody words\r\n--b\r\n--b\r\nContent-Type: "
              "text/plain\r\n\r\n"
              "more words\r\n--b--\r\n",
     {}},
    {"truncated part headers",
     kMixed + "--b\r\nContent-Type: text/plain\r\n\r\nbody words\r\n--b\r\nContent-Type: text/pl\r\n--b\r\n"
              "Content-Type: text/plain\r\nwords right under the headers\r\n--b--\r\n",
     {"words right under the headers"}},
    {"a part after the closing boundary",
     kMixed + "--b\r\nContent-Type: text/plain\r\n\r\nbody words\r\n--b--\r\nstray words\r\n--b\r\n"
              "Content-Type: text/plain\r\n\r\nlate words\r\n--b--\r\n",
     {"stray words", "late words"}},
    {"nested multipart without its closing boundary",
     kMixed +
         "--b\r\nContent-Type: multipart/mixed; boundary=a\r\n\r\ninner preamble words\r\n"
         "--a\r\nContent-Type: text/plain\r\n\r\nfirst inner words\r\n--a\r\nContent-Type: text/html\r\n\r\n"
         "<p>second inner words</p>\r\n--b\r\nContent-Type: text/plain; name=notes.txt\r\n\r\nnamed words\r\n"
         "--b--\r\n\r\n",
     {"inner preamble words"}},
    {"a line without colon among the top headers",
     "Subject: Junk\r\nthis line has no colon\r\nContent-Type: text/plain\r\n\r\nbody words\r\n",
     {"this line has no colon\r\n"}},
    {"thunderbird",
     kMixed + "This is a multi-part message in MIME format.\r\n--b\r\nContent-Type: text/plain\r\n\r\n"
              "hello\r\n--b--\r\n",
     {}},
    {"apple mail, line feeds only",
     "Subject: hi\nContent-Type: multipart/alternative;\n\tboundary=\"Apple-Mail=_1\"\n\n\n--Apple-Mail=_1\n"
     "Content-Type: text/plain;\n\tcharset=us-ascii\n\nhi\n\n--Apple-Mail=_1\nContent-Type: text/html;\n"
     "\tcharset=us-ascii\n\n<html><body>hi</body></html>\n--Apple-Mail=_1--\n",
     {}},
    {"outlook, nested related",
     "Subject: logo\r\nContent-Type: "
     "multipart/related;\r\n\tboundary=\"_004_X_\";\r\n\ttype=\"multipart/alternative\"\r\n"
     "MIME-Version: 1.0\r\n\r\n--_004_X_\r\nContent-Type: "
     "multipart/alternative;\r\n\tboundary=\"_000_X_\"\r\n\r\n"
     "--_000_X_\r\nContent-Type: text/plain; charset=\"us-ascii\"\r\n\r\nlogo\r\n\r\n--_000_X_\r\n"
     "Content-Type: text/html; "
     "charset=\"us-ascii\"\r\n\r\n<p>logo</p>\r\n\r\n--_000_X_--\r\n\r\n--_004_X_\r\n"
     "Content-Type: image/png; name=\"image001.png\"\r\nContent-ID: <image001.png@01>\r\n"
     "Content-Transfer-Encoding: base64\r\n\r\niVBORw==\r\n\r\n--_004_X_--\r\n",
     {}},
};

bool isSyntaxLine(std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
        line.remove_suffix(1);
    if (line.empty() || line.rfind("--", 0) == 0 || line[0] == '\t' ||
        line == "This is a multi-part message in MIME format.")
        return true;
    const auto colon = line.find(':');
    return colon != std::string_view::npos && line.find(' ') > colon; // "Name: value"
}

} // namespace

TEST_F(LiveMessageTest, TextNoLeafHoldsIsOfferedAsItCame) {
    for (const Damaged& d : kDamaged) {
        SCOPED_TRACE(d.what);
        const std::string eml = "From: john@acme.example\r\n" + d.eml;
        const std::string unid = addStoredMemo(d.what, eml);
        const Lattice::Ptr<hxMail::MessageDetail> detail = open(unid);
        std::string reachable = bodyOf(detail);
        std::vector<std::string> unplaced;
        for (const hxMail::Attachment* a : attachmentsOf(detail)) {
            const std::optional<std::string> bytes = bytesOf(a->get_id().str(), a->get_attachNum());
            ASSERT_TRUE(bytes.has_value()) << a->get_fileName().str();
            EXPECT_EQ(a->get_size(), static_cast<long>(bytes->size())) << a->get_fileName().str();
            reachable += "\n" + *bytes;
            if (a->get_fileName().str().rfind("unplaced-", 0) == 0) {
                EXPECT_EQ(a->get_fileName().str(),
                          "unplaced-" + std::to_string(unplaced.size() + 1) + ".txt");
                unplaced.push_back(*bytes);
            }
        }
        EXPECT_EQ(unplaced, d.unplaced);
        // Every line that is not header or boundary syntax is shown or offered.
        std::size_t at = 0;
        for (std::size_t next; at < eml.size(); at = next) {
            next = std::min(eml.find('\n', at), eml.size()) + 1;
            std::string line = eml.substr(at, next - at);
            while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
                line.pop_back();
            if (isSyntaxLine(line))
                continue;
            // Shown bodies lose their page tags; file parts are offered decoded.
            std::string text;
            for (std::size_t i = 0, tag = 0; i < line.size(); ++i) {
                tag += line[i] == '<' ? 1 : 0;
                if (tag == 0)
                    text += line[i];
                tag -= line[i] == '>' && tag > 0 ? 1 : 0;
            }
            EXPECT_TRUE(reachable.find(text) != std::string::npos ||
                        reachable.find(notes::mime::decodeBase64(line)) != std::string::npos)
                << "not reachable: " << line;
        }
    }
}
