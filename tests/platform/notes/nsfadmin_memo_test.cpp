// nsfadmin add-mime, add-memo, attach, and fixture memos with MIME bodies, pictures and files.
#include "attachments.h"
#include "mimeparts.h"
#include "nsfadmin_fixture.h"
#include "richtext.h"

#include <fstream>
#include <functional>
#include <sys/wait.h>
#include <tuple>

namespace {

const std::string kDemoDir = std::filesystem::path(DEMO_FIXTURE).parent_path().string();

} // namespace

class NsfadminMemoTest : public NsfadminMailFileTest {
protected:
    std::string write(const std::string& name, const std::string& bytes) {
        writeFile(dir + "/" + name, bytes);
        return dir + "/" + name;
    }

    bool inFolder(const std::string& folder, const std::string& unidText) {
        auto db = open();
        NOTEID view = 0;
        std::vector<NOTEID> ids;
        return db->findDesign(NOTE_CLASS_VIEW, folder, &view) == NOERROR &&
               db->viewNoteIds(view, &ids) == NOERROR &&
               std::find(ids.begin(), ids.end(), load(unidText).info.id) != ids.end();
    }

    // The same mail file, named the way the host names it.
    const nsfadmin::DbRef mail{"CN=Mail1/O=Acme", "mail/jdoe"};
};

TEST_F(NsfadminMemoTest, AddMimeStoresTheMessageAsPartsInTheInbox) {
    const std::string eml =
        write("m.eml", "From: Anna Berg <anna@acme.example>\nTo: Jane Doe <jane@acme.example>, "
                       "\"Smith, Bob\" <bob@acme.example>\nSubject: =?utf-8?q?Gr=C3=BC=C3=9Fe?=\n"
                       "Date: Tue, 1 Dec 2026 10:00:00 +0100\nContent-Type: multipart/alternative; "
                       "boundary=x\n\n--x\nContent-Type: text/plain\n\nhello\n--x\nContent-Type: "
                       "text/html\n\n<p>hello</p>\n--x--\n");
    const Outcome r = admin([&](auto& a) { return a.addMime(mail, eml, "($Inbox)"); });
    ASSERT_EQ(r.code, nsfadmin::kOk) << r.err;
    const std::string unid = trimmed(r.out);
    ASSERT_EQ(unid.size(), 32u);
    const notes::Note note = load(unid);
    std::vector<std::string> values;
    ASSERT_NE(note.find("$NoteHasNativeMIME"), nullptr);
    notes::ods::decodeText(note.find("Subject")->type, note.find("Subject")->value, &values);
    EXPECT_EQ(values.at(0), "Gr\xFC\xDF"
                            "e"); // stored in ISO-8859-1
    notes::ods::decodeText(note.find("SendTo")->type, note.find("SendTo")->value, &values);
    EXPECT_EQ(values, (std::vector<std::string>{"Jane Doe <jane@acme.example>",
                                                "\"Smith, Bob\" <bob@acme.example>"}));
    std::vector<TIMEDATE> times;
    std::vector<TIMEDATE_PAIR> ranges;
    notes::ods::decodeTimes(note.find("PostedDate")->type, note.find("PostedDate")->value, &times, &ranges);
    notes::Fields posted = notes::fieldsInZone(times.at(0), 0, false);
    EXPECT_EQ(posted.hour, 9); // 10:00 at +0100
    EXPECT_EQ(posted.day, 1);
    const auto parts = notes::mime::leafParts(note);
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(parts[1].content, "<p>hello</p>");
    EXPECT_TRUE(inFolder("($Inbox)", unid));

    // Refusals write nothing.
    const std::size_t before = documents();
    const std::tuple<nsfadmin::DbRef, std::string, const char*, int, const char*> refusals[] = {
        {mail, eml, "($Drafts)", nsfadmin::kBadInput, "no folder ($Drafts)"}, // a view, not a folder
        {mail, write("empty.eml", ""), "($Inbox)", nsfadmin::kBadInput, "no header and no body"},
        {mail, dir + "/none.eml", "($Inbox)", nsfadmin::kBadInput, ""},
        {{"Mail1", "mail/nobody"}, eml, "($Inbox)", nsfadmin::kNotesError, ""},
    };
    for (const auto& [db, file, folder, code, says] : refusals) {
        const Outcome refused =
            admin([&, d = db, e = file, f = folder](auto& a) { return a.addMime(d, e, f); });
        EXPECT_EQ(refused.code, code) << file << " " << folder;
        EXPECT_NE(refused.err.find(says), std::string::npos) << refused.err;
    }
    EXPECT_EQ(documents(), before);
}

TEST_F(NsfadminMemoTest, ExportMimeGivesBackTheBytesThatCameIn) {
    // LF line ends, a preamble, a binary part and a file whose name is a path: all come back.
    const std::string message =
        "From: a@acme.example\nSubject: back\nContent-Type: multipart/mixed; boundary=e\n\n"
        "preamble\n--e\nContent-Type: text/plain\n\nA\nB\n--e\n"
        "Content-Type: application/octet-stream; name=\"../x/y.bin\"\n"
        "Content-Transfer-Encoding: base64\n\nAAEC/w==\n--e--\nepilogue\n";
    const Outcome added =
        admin([&](auto& a) { return a.addMime(mail, write("in.eml", message), "($Inbox)"); });
    ASSERT_EQ(added.code, nsfadmin::kOk) << added.err;
    const std::string unid = trimmed(added.out);
    const Outcome toStdout = admin([&](auto& a) { return a.exportMime(mail, unid, ""); });
    EXPECT_EQ(toStdout.code, nsfadmin::kOk) << toStdout.err;
    EXPECT_TRUE(toStdout.out == message);
    const std::string file = dir + "/out.eml";
    EXPECT_EQ(admin([&](auto& a) { return a.exportMime(mail, unid, file); }).code, nsfadmin::kOk);
    EXPECT_TRUE(readFile(file) == message);

    const Outcome memo = admin([&](auto& a) {
        nsfadmin::MemoEntry entry;
        entry.from = "Anna Berg/Acme";
        entry.subject = "rich";
        return a.addMemo(mail, entry);
    });
    ASSERT_EQ(memo.code, nsfadmin::kOk) << memo.err;
    const struct {
        std::string unid, file;
        int code;
        const char* says;
    } refusals[] = {{trimmed(memo.out), "", nsfadmin::kBadInput, "has no MIME body"},
                    {unid, dir + "/no/such/folder/x.eml", nsfadmin::kBadInput, "cannot write"},
                    {"nonsense", "", nsfadmin::kBadInput, ""}};
    for (const auto& r : refusals) {
        const Outcome o = admin([&](auto& a) { return a.exportMime(mail, r.unid, r.file); });
        EXPECT_EQ(o.code, r.code) << r.unid;
        EXPECT_NE(o.err.find(r.says), std::string::npos) << o.err;
        EXPECT_TRUE(o.out.empty());
    }
}

TEST_F(NsfadminMemoTest, AddMemoWithPictureAndAttachment) {
    nsfadmin::MemoEntry memo;
    memo.from = "Olivia Brown/Acme";
    memo.to = {"Jane Doe/Acme"};
    memo.subject = "Floor plan";
    memo.text = {"Hi Jane,", "the plan:"};
    memo.pictures = {kDemoDir + "/fixtures/floorplan.gif"};
    memo.attachments = {kDemoDir + "/fixtures/seating-plan.pdf"};
    const Outcome r = admin([&](auto& a) { return a.addMemo(mail, memo); });
    ASSERT_EQ(r.code, nsfadmin::kOk) << r.err;
    notes::Note note = load(trimmed(r.out));
    std::vector<notes::ods::RichTextElement> body;
    ASSERT_TRUE(notes::ods::decodeRichText(note.find("Body")->value, &body));
    EXPECT_EQ(notes::ods::plainText(body), "Hi Jane,\nthe plan:\n\n");
    const auto graphic = std::find_if(body.begin(), body.end(),
                                      [](const auto& e) { return e.kind == notes::ods::kCdGraphic; });
    ASSERT_NE(graphic, body.end());
    EXPECT_EQ(graphic->text, "image/gif");
    EXPECT_EQ(graphic->width, 32);
    EXPECT_EQ(graphic->height, 32);
    EXPECT_EQ(body.back().kind, notes::ods::kCdAttachmentRef);
    EXPECT_EQ(body.back().text, "seating-plan.pdf");
    std::string bytes;
    ASSERT_EQ(notes::files::bytesOf(note, *note.find("$FILE"), &bytes), NOERROR);
    EXPECT_EQ(bytes.rfind("%PDF-1.4", 0), 0u);
    std::vector<std::string> from;
    notes::ods::decodeText(TYPE_TEXT, note.find("From")->value, &from);
    EXPECT_EQ(from.at(0), "CN=Olivia Brown/O=Acme");

    const std::size_t before = documents();
    const std::string pdf = kDemoDir + "/fixtures/seating-plan.pdf";
    const std::pair<std::function<void(nsfadmin::MemoEntry&)>, const char*> refusals[] = {
        {[](auto& m) { m.pictures = {kDemoDir + "/fixtures/lunch.eml"}; }, "not a GIF, PNG or JPEG"},
        {[&](auto& m) {
             m.attachments = {pdf, pdf};
         },
         "two attachments"},
        {[](auto& m) { m.subject.clear(); }, ""},
    };
    for (const auto& [spoil, says] : refusals) {
        nsfadmin::MemoEntry bad = memo;
        spoil(bad);
        const Outcome refused = admin([&](auto& a) { return a.addMemo(mail, bad); });
        EXPECT_EQ(refused.code, nsfadmin::kBadInput) << says;
        EXPECT_NE(refused.err.find(says), std::string::npos) << refused.err;
    }
    EXPECT_EQ(documents(), before);
}

TEST_F(NsfadminMemoTest, AttachAddsFilesOnlyWhenAllCanBeAttached) {
    const Outcome created = admin([&](auto& a) { return a.docCreate(mail, "Memo", {"Subject=files"}); });
    ASSERT_EQ(created.code, nsfadmin::kOk);
    const std::string unid = trimmed(created.out);
    const std::string a = write("a.txt", "alpha"), b = write("b.bin", std::string(70000, '\x01'));
    const Outcome r = admin([&](auto& ad) { return ad.attach(mail, unid, {a, b}); });
    ASSERT_EQ(r.code, nsfadmin::kOk) << r.err;
    EXPECT_EQ(r.out, "a.txt (5 bytes)\nb.bin (70000 bytes)\n");

    auto count = [&] {
        const notes::Note note = load(unid);
        return std::count_if(note.items.begin(), note.items.end(),
                             [](const notes::Item& it) { return notes::files::isFileItem(it); });
    };
    EXPECT_EQ(count(), 2);
    // All or nothing: c.txt is not kept when another file of the call is refused.
    const std::string c = write("c.txt", "c");
    const std::tuple<std::string, std::vector<std::string>, const char*> refusals[] = {
        {unid, {c, dir + "/missing.txt"}, "missing.txt"},
        {unid, {c, a}, "already has a file of that name"},
        {"XYZ", {c}, ""},
        {unid, {}, ""},
    };
    for (const auto& [target, files, says] : refusals) {
        const Outcome refused = admin([&, t = target, f = files](auto& ad) { return ad.attach(mail, t, f); });
        EXPECT_EQ(refused.code, nsfadmin::kBadInput) << says;
        EXPECT_NE(refused.err.find(says), std::string::npos) << refused.err;
        EXPECT_EQ(count(), 2);
    }

    // The bytes made it into the store.
    notes::Note note = load(unid);
    std::string bytes;
    for (const notes::Item& it : note.items) {
        notes::files::FileObject f;
        if (notes::files::isFileItem(it) && notes::files::decode(it.value, &f) && f.name == "b.bin") {
            ASSERT_EQ(notes::files::bytesOf(note, it, &bytes), NOERROR);
        }
    }
    EXPECT_EQ(bytes, std::string(70000, '\x01'));
}

using NsfadminSeedMemoTest = NsfadminMemoTest;

TEST_F(NsfadminSeedMemoTest, FixtureMemoErrorsNameTheFieldAndWriteNothing) {
    const std::string gif = dir + "/p.gif";
    writeFile(gif, std::string("GIF89a\x01\x00\x01\x00\x00\x00\x00", 13));
    writeFile(dir + "/m.eml", "Subject: x\n\nbody\n");
    const std::string head = R"({"servers": [{"name": "Mail3", "people": [{"fullName": "CN=A B/O=Acme",
        "shortName": "ab", "password": "p", "mail": [)";
    const std::string tail = "]}]}]}";
    for (const auto& [memo, message] : std::vector<std::pair<std::string, std::string>>{
             {R"({"eml": "m.eml", "subject": "s"})", "mail[0].subject: not with \"eml\""},
             {R"({"eml": "none.eml"})", "mail[0].eml: cannot read"},
             {R"({"from": "x", "subject": "s", "richBody": [{"picture": "m.eml"}]})",
              "not a GIF, PNG or JPEG"},
             {R"({"from": "x", "subject": "s", "richBody": [{"text": "a", "color": "red"}]})",
              "color: #RRGGBB"},
             {R"({"from": "x", "subject": "s", "richBody": [{"text": "a", "size": 0}]})", "size: points"},
             {R"({"from": "x", "subject": "s", "richBody": [{"link": "u", "bogus": 1}]})", "bogus"},
             {R"({"from": "x", "subject": "s", "body": "b", "richBody": []})",
              "either \"body\" or \"richBody\""},
             {R"({"from": "x", "subject": "s", "files": ["missing.pdf"]})", "cannot read the attachment"}}) {
        const std::string path = dir + "/fixture.json";
        writeFile(path, head + memo + tail);
        const Outcome r = admin([&](auto& a) { return a.seed(path); });
        EXPECT_EQ(r.code, nsfadmin::kBadInput) << memo;
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
        EXPECT_FALSE(std::filesystem::exists(dir + "/Mail3"));
    }
    // Paths are relative to the fixture's folder.
    std::filesystem::create_directories(dir + "/sub");
    std::filesystem::rename(gif, dir + "/sub/p.gif");
    const std::string path = dir + "/sub/fixture.json";
    std::ofstream(path)
        << head +
               R"({"from": "x", "subject": "s", "richBody": [{"picture": "p.gif"}, {"text": "t",
                               "bold": true}], "files": ["../m.eml"]})" +
               tail;
    const Outcome r = admin([&](auto& a) { return a.seed(path); });
    EXPECT_EQ(r.code, nsfadmin::kOk) << r.err;
}

#ifdef NSFADMIN_PATH
TEST_F(NsfadminSeedMemoTest, NewCommandsHaveHelp) {
    for (const char* cmd : {"add-mime", "export-mime", "add-memo", "attach"}) {
        const std::string line = std::string(NSFADMIN_PATH) + " " + cmd + " --help >/dev/null 2>&1";
        const int status = std::system(line.c_str());
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << cmd;
    }
}
#endif
