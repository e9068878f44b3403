// Composing through the message provider: drafts, sending into "mail.box", replies and forwards,
// read back through the store and, for bodies, through GMime.
#include "MessageFixture.h"

#include "mail/NotesMessage.h"
#include "mail/NotesMessageProvider.h"

#include "hxMail/Types.h"

#include "domino/router.h"
#include "domino/webserver.h"
#include "mimeparts.h"

#include <gmime/gmime.h>

#include <cstring>
#include <map>

namespace {

struct BodyChunk {
    unsigned char header[20];
    std::string text;
};

// What a save left in the store.
struct Stored {
    std::vector<std::string> names; // item names in note order
    std::map<std::string, std::vector<std::string>> texts;
    std::vector<BodyChunk> body;
    std::string exported;   // the message as the store hands it out, files put back
    std::string parentUnid; // from "$REF"
    bool exists = false;

    bool has(const std::string& name) const {
        return std::find(names.begin(), names.end(), name) != names.end();
    }
    std::string text(const std::string& name) const {
        auto it = texts.find(name);
        return it == texts.end() || it->second.empty() ? std::string() : it->second.front();
    }
    std::string joinedBody() const {
        if (!exported.empty())
            return exported;
        std::string all;
        for (const BodyChunk& c : body)
            all += c.text;
        return all;
    }
};

// A parsed message, as a standard reader sees it.
struct Parsed {
    std::string subject, to, cc, plain, html;
    std::vector<std::pair<std::string, std::string>> files; // name, bytes
    int leaves = 0;
    bool ok = false;
};

std::string partBytes(GMimePart* part) {
    GMimeDataWrapper* content = g_mime_part_get_content(part);
    if (!content)
        return {};
    GMimeStream* out = g_mime_stream_mem_new();
    g_mime_data_wrapper_write_to_stream(content, out);
    GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(out));
    std::string result(reinterpret_cast<const char*>(bytes->data), bytes->len);
    g_object_unref(out);
    return result;
}

void collect(GMimeObject*, GMimeObject* part, gpointer data) {
    auto* parsed = static_cast<Parsed*>(data);
    if (!GMIME_IS_PART(part))
        return;
    ++parsed->leaves;
    GMimePart* leaf = GMIME_PART(part);
    const char* name = g_mime_part_get_filename(leaf);
    GMimeContentType* type = g_mime_object_get_content_type(part);
    if (name)
        parsed->files.emplace_back(name, partBytes(leaf));
    else if (g_mime_content_type_is_type(type, "text", "plain"))
        parsed->plain = partBytes(leaf);
    else if (g_mime_content_type_is_type(type, "text", "html"))
        parsed->html = partBytes(leaf);
}

Parsed parseWithGMime(const std::string& text) {
    static const bool initialised = [] {
        g_mime_init();
        return true;
    }();
    (void)initialised;
    Parsed parsed;
    GMimeStream* stream = g_mime_stream_mem_new_with_buffer(text.data(), text.size());
    GMimeParser* parser = g_mime_parser_new_with_stream(stream);
    GMimeMessage* message = g_mime_parser_construct_message(parser, nullptr);
    if (message) {
        parsed.ok = true;
        if (const char* s = g_mime_message_get_subject(message))
            parsed.subject = s;
        auto list = [&](GMimeAddressType t) {
            InternetAddressList* l = g_mime_message_get_addresses(message, t);
            char* s = l ? internet_address_list_to_string(l, nullptr, FALSE) : nullptr;
            std::string out = s ? s : "";
            g_free(s);
            return out;
        };
        parsed.to = list(GMIME_ADDRESS_TYPE_TO);
        parsed.cc = list(GMIME_ADDRESS_TYPE_CC);
        g_mime_message_foreach(message, collect, &parsed);
        g_object_unref(message);
    }
    g_object_unref(parser);
    g_object_unref(stream);
    return parsed;
}

Lattice::Ptr<hxMail::Recipient> recipient(const std::string& name, const std::string& address) {
    Lattice::Ptr<hxMail::Recipient> r = new hxMail::Recipient();
    r->set_displayName(name.c_str());
    r->set_smtpAddress(address.c_str());
    r->set_emailAddress(address.c_str());
    return r;
}

} // namespace

class ComposeTest : public MessageTest {
protected:
    void SetUp() override {
        MessageTest::SetUp();
        if (HasFatalFailure())
            return;
        addPerson(kDirectory, john());
    }

    struct Draft {
        Lattice::Ptr<hxMail::Message> message = new hxMail::Message();
        Lattice::Ptr<hxMail::MessageDetail> detail = new hxMail::MessageDetail();
    };

    Draft draft(const std::string& subject, const std::string& html = "<p>Hello <b>John</b></p>") {
        Draft d;
        d.message->set_subject(subject.c_str());
        d.message->set_importance(1);
        d.detail->get_to()->add(recipient("John Smith", "CN=John Smith/O=Acme"));
        d.detail->set_textType("html");
        d.detail->get_body()->set_text(html.c_str());
        return d;
    }

    void attachFile(Draft& d, const std::string& name, const std::string& bytes) {
        const std::string path = dir + "/" + name;
        std::ofstream(path, std::ios::binary) << bytes;
        Lattice::Ptr<hxMail::Attachment> a = new hxMail::Attachment();
        a->set_fileName(name.c_str());
        a->set_path(path.c_str());
        a->set_size(static_cast<long>(bytes.size()));
        d.detail->get_attachments()->add(a);
    }

    // Saves as a draft; the id the provider answers.
    std::string save(Draft& d, const std::string& id = "") {
        d.message->set_id(id.c_str());
        Lattice::String out;
        Lattice::Ptr<hxMail::Attachments> unused;
        EXPECT_EQ(messages().saveMessage(d.message, d.detail, out, unused), 0);
        return out.c_str();
    }

    long send(Draft& d, const std::string& id = "") {
        d.message->set_id(id.c_str());
        return messages().sendMessage(d.message, d.detail, "");
    }

    Stored stored(const std::string& unid, hx::NotesDatabase* db = nullptr) {
        Stored s;
        provider->lockAll();
        Lattice::String id = unid.c_str();
        hx::NotesDocument doc(id, provider, db ? db : provider->getUserMailDatabase(), false);
        if (!doc.loadFailed()) {
            s.exists = true;
            LNNote* note = doc.getNote();
            for (LNINT i = 0; i < note->GetItemCount(); ++i) {
                LNItem item;
                note->GetItem(i, &item);
                const std::string name = item.GetName().GetTextPtr();
                s.names.push_back(name);
                if (item.GetType() == LNITEMTYPE_TEXT && !s.texts.count(name)) {
                    LNText list = doc.getItemTextList(name.c_str());
                    for (LNINT k = 0; k < list.GetCount(); ++k)
                        s.texts[name].push_back(list[k].GetTextPtr());
                }
            }
            const NOTEHANDLE h = note->GetNoteHandle();
            notes::mime::exportedText(h, &s.exported);
            BLOCKID item{}, value{};
            WORD type = 0;
            DWORD length = 0;
            for (STATUS st = NSFItemInfo(h, "Body", 4, &item, &type, &value, &length); st == NOERROR;
                 st = NSFItemInfoNext(h, item, "Body", 4, &item, &type, &value, &length)) {
                if (type != TYPE_MIME_PART)
                    continue;
                const char* bytes = OSLockBlock(char, value) + 2;
                BodyChunk chunk;
                std::memcpy(chunk.header, bytes, 20);
                chunk.text.assign(bytes + 20, length - 22);
                s.body.push_back(chunk);
                OSUnlockBlock(value);
            }
            if (NSFItemInfo(h, "$REF", 4, &item, &type, &value, &length) == NOERROR && length >= 20) {
                const char* ref = OSLockBlock(char, value) + 4; // type word, entry count
                UNID u;
                std::memcpy(&u, ref, sizeof u);
                char text[33];
                std::snprintf(text, sizeof text, "%08X%08X%08X%08X", static_cast<unsigned>(u.File.Innards[1]),
                              static_cast<unsigned>(u.File.Innards[0]),
                              static_cast<unsigned>(u.Note.Innards[1]),
                              static_cast<unsigned>(u.Note.Innards[0]));
                s.parentUnid = text;
                OSUnlockBlock(value);
            }
        }
        provider->unlockAll();
        return s;
    }

    // The UNIDs of the documents waiting in "mail.box".
    std::vector<std::string> mailBox() {
        std::vector<std::string> out;
        provider->lockAll();
        LNNoteArray notes;
        provider->getMailBox()->getDatabase()->GetNotes(&notes);
        for (LNINT i = 0; i < notes.GetCount(); ++i) {
            LNDocument doc;
            provider->getMailBox()->getDatabase()->GetDocument(notes.GetNoteID(i), &doc);
            LNUniversalID u;
            doc.GetUniversalID(&u);
            out.push_back(u.GetText().GetTextPtr());
        }
        provider->unlockAll();
        return out;
    }
};

TEST_F(ComposeTest, ADraftStoresItsEnvelopeInOrderAndItsBodyAsMimePartItems) {
    Draft d = draft("Quarterly numbers");
    d.message->set_importance(2);
    d.message->set_sensitivity(2);
    d.message->set_readReceiptRequested(true);
    d.detail->get_cc()->add(recipient("", "partner@example.org"));
    attachFile(d, "figures.bin", std::string("a\0b\n\r\xff", 6));
    const std::string id = save(d);
    ASSERT_EQ(id.size(), 32u) << "a new draft answers its UNID";

    const Stored s = stored(id);
    // The envelope precedes the body, the ordinary-message options follow it.
    const std::vector<std::string> order = {
        "From", "SendTo", "CopyTo", "Recipients", "$NoteHasNativeMIME", "Body", "MailOptions", "SaveOptions"};
    std::size_t last = 0;
    for (const std::string& name : order) {
        auto at = std::find(s.names.begin(), s.names.end(), name);
        ASSERT_NE(at, s.names.end()) << name;
        const std::size_t index = static_cast<std::size_t>(at - s.names.begin());
        EXPECT_GE(index, last) << name;
        last = index;
    }
    const std::pair<const char*, const char*> items[] = {
        {"Form", "Memo"},       {"From", "CN=Jane Doe/O=Acme"}, {"Subject", "Quarterly numbers"},
        {"Importance", "1"}, // host high
        {"MoodStamp", "3"},  // host private is the private stamp
        {"ReturnReceipt", "1"}, {"MailOptions", "0"},           {"SaveOptions", "1"},
    };
    for (const auto& [item, value] : items)
        EXPECT_EQ(s.text(item), value) << item;
    EXPECT_EQ(s.texts.at("Recipients"),
              (std::vector<std::string>{"CN=John Smith/O=Acme", "partner@example.org"}));
    EXPECT_FALSE(s.has("PostedDate")) << "a draft is not posted";

    ASSERT_GE(s.body.size(), 3u) << "laid out on save: header block, then one item per segment";
    EXPECT_EQ(s.body.front().header[6], MIME_PART_MESSAGE);
    const std::string first = s.body.front().text;
    EXPECT_EQ(std::count(s.names.begin(), s.names.end(), "$FILE"), 1) << "the file part is an attachment";

    const Parsed parsed = parseWithGMime(s.joinedBody());
    ASSERT_TRUE(parsed.ok);
    EXPECT_EQ(parsed.subject, "Quarterly numbers");
    EXPECT_NE(first.find("\r\nTo: John Smith <CN=John Smith/O=Acme>\r\n"), std::string::npos) << first;
    EXPECT_NE(first.find("From: Jane Doe <jane.doe@acme.example>\r\n"), std::string::npos) << first;
    EXPECT_NE(parsed.cc.find("partner@example.org"), std::string::npos) << parsed.cc;
    EXPECT_NE(parsed.html.find("<b>John</b>"), std::string::npos) << parsed.html;
    EXPECT_NE(parsed.plain.find("Hello"), std::string::npos) << parsed.plain;
    ASSERT_EQ(parsed.files.size(), 1u);
    EXPECT_EQ(parsed.files[0],
              (std::pair<std::string, std::string>{"figures.bin", std::string("a\0b\n\r\xff", 6)}));
}

TEST_F(ComposeTest, RecipientsAndSubjectsThatCouldBreakTheStoredMessage) {
    std::vector<std::pair<std::string, std::string>> thousand;
    std::vector<std::string> thousandAddresses;
    for (int i = 0; i < 1000; ++i) {
        thousandAddresses.push_back("person" + std::to_string(i) + "@example.org");
        thousand.emplace_back("Person " + std::to_string(i), thousandAddresses.back());
    }
    struct Case {
        const char* label;
        std::vector<std::pair<std::string, std::string>> to;
        std::string subject;
        std::vector<std::string> recipients;
    };
    const Case cases[] = {
        {"no recipients at all", {}, "Note to self", {}},
        {"comma, quotes and angle brackets in a name",
         {{"Smith, \"Jo\" <x>", "jo@example.org"}},
         "Quotes",
         {"jo@example.org"}},
        {"non-ASCII name", {{"Jürgen Müller", "jm@example.de"}}, "Grüße aus Köln", {"jm@example.de"}},
        {"CR/LF in the subject", {{"", "a@example.org"}}, "Hi\r\nBcc: victim@example.org", {"a@example.org"}},
        {"1,000 recipients", thousand, "Everyone", thousandAddresses},
    };
    for (const Case& c : cases) {
        Draft d = draft(c.subject);
        d.detail->get_to()->clear();
        for (const auto& [name, address] : c.to)
            d.detail->get_to()->add(recipient(name, address));
        const Stored s = stored(save(d));
        ASSERT_TRUE(s.exists) << c.label;
        EXPECT_EQ(s.has("Recipients"), !c.recipients.empty()) << c.label;
        if (!c.recipients.empty()) {
            EXPECT_EQ(s.texts.at("Recipients"), c.recipients) << c.label;
        }
        EXPECT_TRUE(s.has("$NoteHasNativeMIME")) << c.label << ": the to list exists, so the body is stored";
        const Parsed parsed = parseWithGMime(s.joinedBody());
        ASSERT_TRUE(parsed.ok) << c.label;
        EXPECT_EQ(countOf(s.joinedBody(), "\nBcc:"), 0) << c.label << ": no header injected";
    }
}

TEST_F(ComposeTest, AMessageWithoutToListIsStoredBareAndSendingDeliversNothing) {
    Draft d = draft("Nobody");
    d.detail->set_to(nullptr);
    const std::string id = save(d);
    const Stored s = stored(id);
    EXPECT_FALSE(s.has("Recipients"));
    EXPECT_FALSE(s.has("Body"));
    EXPECT_FALSE(s.has("$NoteHasNativeMIME"));

    EXPECT_EQ(send(d, id), hx::NotesMessageProvider::kNobodyToDeliverTo);
    EXPECT_TRUE(mailBox().empty());
    EXPECT_NE(logText().find("no recipients"), std::string::npos);
}

TEST_F(ComposeTest, SendingPostsIntoMailBoxAndKeepsTheMemoAsSent) {
    Draft d = draft("To the router");
    const std::string id = save(d);
    ASSERT_EQ(send(d, id), 0);
    const Stored sent = stored(id);
    EXPECT_TRUE(sent.has("PostedDate"));
    const std::vector<std::string> waiting = mailBox();
    ASSERT_EQ(waiting.size(), 1u);
    const Stored posted = stored(waiting[0], provider->getMailBox());
    EXPECT_EQ(posted.text("Subject"), "To the router");
    EXPECT_EQ(posted.texts.at("Recipients"), (std::vector<std::string>{"CN=John Smith/O=Acme"}));
    EXPECT_EQ(posted.joinedBody(), sent.joinedBody());

    // Sent straight away, without a draft first.
    Draft direct = draft("Direct");
    EXPECT_EQ(send(direct), 0);
    EXPECT_EQ(mailBox().size(), 2u);
}

TEST_F(ComposeTest, AMemoThatCannotReachMailBoxStaysADraft) {
    Draft d = draft("Stuck");
    const std::string id = save(d);
    ASSERT_EQ(NSFDbDelete("Mail1!!mail.box"), NOERROR);
    testing::internal::CaptureStdout();
    EXPECT_EQ(send(d, id), 0);
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_NE(printed.find("Error:  "), std::string::npos) << printed;
    const Stored s = stored(id);
    EXPECT_FALSE(s.has("PostedDate")) << "not listed as sent";
    EXPECT_EQ(s.text("Subject"), "Stuck");
}

TEST_F(ComposeTest, SensitivityAndImportanceSurviveASaveAndALoad) {
    for (long sensitivity : {0L, 1L, 2L, 3L}) {
        Draft d = draft("Mood " + std::to_string(sensitivity));
        d.message->set_sensitivity(sensitivity);
        d.message->set_importance(sensitivity % 3);
        const std::string id = save(d);
        provider->lockAll();
        Lattice::String text = id.c_str();
        hx::NotesMessage message(text, provider, provider->getUserMailDatabase());
        Lattice::Ptr<hxMail::MessageItem> loaded = new hxMail::Message();
        message.load(loaded, nullptr, true);
        provider->unlockAll();
        EXPECT_EQ(loaded->get_sensitivity(), sensitivity);
        EXPECT_EQ(loaded->get_importance(), sensitivity % 3);
    }
}

TEST_F(ComposeTest, RepliesAndForwardsAreNewDraftsTiedToTheAnsweredMemo) {
    std::string original;
    MemoSetup memo = delivered("Lunch?");
    memo.posted = "03/01/2026 09:00:00 AM";
    addMemo(memo, &original);

    struct Case {
        const char* prefix;
        bool sending;
        const char* form;
        bool refSave;
        bool forwarded;
    };
    const Case cases[] = {
        {"reply_", false, "Reply", true, false},    {"reply_", true, "Reply", false, false},
        {"replyAll_", false, "Reply", true, false}, {"forward_", false, "Memo", true, true},
        {"forward_", true, "Memo", true, true},
    };
    for (const Case& c : cases) {
        const std::string label = std::string(c.prefix) + (c.sending ? " sent" : " saved");
        const std::size_t before = mailBox().size();
        Draft d = draft("Re: Lunch?");
        std::string id;
        if (c.sending) {
            ASSERT_EQ(send(d, c.prefix + original), 0) << label;
            ASSERT_EQ(mailBox().size(), before + 1) << label;
            id = mailBox().back();
        } else {
            id = save(d, c.prefix + original);
        }
        ASSERT_EQ(id.size(), 32u) << label;
        ASSERT_NE(id, original) << label;
        const Stored s = stored(id, c.sending ? provider->getMailBox() : nullptr);
        EXPECT_EQ(s.text("Form"), c.form) << label;
        EXPECT_EQ(s.parentUnid, original) << label;
        EXPECT_EQ(s.has("$RFSaveInfo"), c.refSave) << label;
        EXPECT_EQ(s.has("ForwardedFrom"), c.forwarded) << label;
        EXPECT_EQ(s.has("ForwardedDate"), c.forwarded) << label;
        if (c.forwarded) {
            EXPECT_EQ(s.text("ForwardedFrom"), "CN=Jane Doe/O=Acme") << label << ": the forwarding user";
        }
        EXPECT_FALSE(s.has("DeliveredDate")) << label;
        EXPECT_EQ(s.has("PostedDate"), c.sending) << label;
        EXPECT_FALSE(s.has("MailOptions")) << label;
        EXPECT_EQ(countOf(s.joinedBody(), "MIME-Version"), 1) << label;
    }
    const Stored answered = stored(original);
    EXPECT_FALSE(answered.has("$REF")) << "the answered memo is only read";
}

TEST_F(ComposeTest, AForwardCarriesStoredAttachmentBytesAndNeverTheRecordedPath) {
    const std::string secret = dir + "/secret.txt";
    std::ofstream(secret) << "private bytes of this machine";
    const std::string original =
        addRichMemo("With file", {richRun("see file")}, {{"secret.txt", "stored bytes"}});
    // The recorded path of the attachment names a real file here.
    Lattice::Ptr<hxMail::MessageDetail> detail = open(original);
    ASSERT_EQ(attachmentsOf(detail).size(), 1u);
    attachmentsOf(detail)[0]->set_path(secret.c_str());

    Draft d = draft("Fwd: With file");
    d.detail->set_attachments(detail->get_attachments());
    const Stored s = stored(save(d, "forward_" + original));
    const Parsed parsed = parseWithGMime(s.joinedBody());
    ASSERT_EQ(parsed.files.size(), 1u);
    EXPECT_EQ(parsed.files[0].second, "stored bytes");
    EXPECT_EQ(std::count(s.names.begin(), s.names.end(), "$FILE"), 1)
        << "the answered memo's file items are not copied beside the MIME body";
}

TEST_F(ComposeTest, DraftsAndSentMemosListTheirFilesInItemsUnderTheLimitAndSavingAgainKeepsOneBody) {
    const std::string bytes = std::string("PK\x03\x04\0\xff\r\n", 8) + std::string(70000, 'z');
    for (const bool sending : {false, true}) {
        SCOPED_TRACE(sending ? "sent" : "draft");
        Draft d = draft(sending ? "Sent with file" : "Draft with file");
        attachFile(d, "archive.zip", bytes);
        const std::string id = save(d);
        ASSERT_FALSE(id.empty());
        if (sending) {
            ASSERT_EQ(send(d, id), 0);
        }
        const Stored first = stored(id);
        EXPECT_EQ(std::count(first.names.begin(), first.names.end(), "$FILE"), 1);
        ASSERT_GT(first.body.size(), 2u);
        for (const BodyChunk& c : first.body)
            EXPECT_LE(c.text.size(), 65535u) << "no body item over the item limit";
        const Parsed parsed = parseWithGMime(first.joinedBody());
        ASSERT_EQ(parsed.files.size(), 1u);
        EXPECT_TRUE(parsed.files[0].second == bytes) << "the export puts the file back";

        const Lattice::Ptr<hxMail::MessageDetail> detail = open(id);
        const auto files = attachmentsOf(detail);
        ASSERT_EQ(files.size(), 1u);
        EXPECT_EQ(files[0]->get_fileName(), "archive.zip");
        EXPECT_TRUE(bytesOf(id, files[0]->get_attachNum()) == bytes);

        // Saved again, edited: the plug-in writes the body afresh and the store lays it out again in
        // place of the old one, in the same document.
        for (int edit = 0; edit < 2; ++edit) {
            const std::string subject = "Edit " + std::to_string(edit);
            d.message->set_subject(subject.c_str());
            d.detail->get_body()->set_text(("<p>version " + std::to_string(edit) + "</p>").c_str());
            EXPECT_EQ(save(d, id), "") << "an existing message gets no new id";
            const Stored again = stored(id);
            EXPECT_EQ(again.text("Subject"), subject);
            EXPECT_EQ(countOf(again.joinedBody(), "MIME-Version"), 1) << "one body, not one per save";
            EXPECT_EQ(std::count(again.names.begin(), again.names.end(), "$FILE"), 1);
            const Parsed reparsed = parseWithGMime(again.joinedBody());
            EXPECT_NE(reparsed.html.find("version " + std::to_string(edit)), std::string::npos);
            ASSERT_EQ(reparsed.files.size(), 1u);
            EXPECT_TRUE(reparsed.files[0].second == bytes);
            const Lattice::Ptr<hxMail::MessageDetail> reopened = open(id);
            EXPECT_EQ(attachmentsOf(reopened).size(), 1u) << "the replaced body's file is not kept twice";
        }
        // The file dropped: a body of several items shrinks to one, and none of the old ones stays.
        d.detail->get_attachments()->clear();
        EXPECT_EQ(save(d, id), "");
        const Stored shrunk = stored(id);
        EXPECT_EQ(shrunk.joinedBody().find("archive.zip"), std::string::npos);
        EXPECT_EQ(parseWithGMime(shrunk.joinedBody()).files.size(), 0u);
        EXPECT_EQ(attachmentsOf(open(id)).size(), 0u);
    }
}

TEST_F(ComposeTest, IdsThatNameNothingWriteNothing) {
    const std::string missing = "0123456789ABCDEF0123456789ABCDEF";
    const std::string elsewhere = addDoc(kDirectory, {{"Form", {"Memo"}}, {"Subject", {"In the directory"}}});
    for (const std::string& id : {missing, "reply_" + missing, "forward_" + missing,
                                  std::string("not-a-unid"), elsewhere, "reply_" + elsewhere}) {
        Draft d = draft("Lost");
        testing::internal::CaptureStdout();
        EXPECT_EQ(save(d, id), "") << id;
        EXPECT_EQ(send(d, id), 0) << id;
        const std::string printed = testing::internal::GetCapturedStdout();
        EXPECT_NE(printed.find("Error:  "), std::string::npos) << id;
    }
    EXPECT_TRUE(mailBox().empty());
}

TEST_F(ComposeTest, TheReplyHeaderFollowsItsTemplateByteForByte) {
    std::string original;
    MemoSetup memo = delivered("Budget");
    memo.posted = "03/01/2026 09:30:00 AM";
    memo.extra.push_back({"Importance", {"1"}});
    memo.extra.push_back({"MoodStamp", {"2"}});
    addMemo(memo, &original);
    provider->lockAll();
    Lattice::String id = original.c_str();
    hx::NotesMessage message(id, provider, provider->getUserMailDatabase());
    const std::string text = message.getReplyText(false).c_str();
    Lattice::String from, sent, to, subject, sensitivity, importance;
    message.getReplyHeaderFields(from, sent, to, subject, sensitivity, importance);
    provider->unlockAll();

    const std::string blanks(36, ' ');
    const std::string expected =
        "<font size=2 face=\"Arial\"><br><br><br></font>" + blanks +
        "<font size=2 face=Tahoma><span style='font-size:10.0pt;font-family:Tahoma'>-----Original "
        "Message-----</span></font><br>" +
        blanks + "<b>From: </b>" + from.c_str() + "<br>" + blanks + "<b>Sent: </b>" + sent.c_str() + "<br>" +
        blanks + "<b>To: </b>" + to.c_str() + "<br>" + blanks + "<b>Subject: </b>Budget<br>" +
        "<b>Importance: </b>High<br><b>Sensitivity: </b>Confidential<br><br>" + blanks +
        "<font size=3 face=\"Times New Roman\"><span style='font-size:12.0pt'>&nbsp;</span></font>";
    EXPECT_EQ(text, expected);
    const std::size_t values = from.length() + sent.length() + to.length() + subject.length() +
                               sensitivity.length() + importance.length();
    EXPECT_EQ(text.size() - values + 12, 552u) << "the template itself, six %s included";
}

TEST_F(ComposeTest, TheMemoAndReplyFormsStoreTheirBodyAsHtmlAndMime) {
    auto option = [&](const char* formName) {
        LNForm form;
        EXPECT_EQ(provider->getUserMailDatabase()->getDatabase()->GetForm(formName, &form), LNNOERROR);
        form.Open();
        LNFormField body;
        EXPECT_EQ(form.GetField("body", &body), LNNOERROR) << "field names ignore case";
        const bool on = body.GetStoreAsHTMLAndMIME();
        form.Close();
        return on;
    };
    struct Step {
        bool reply, on;
        bool memoAfter, replyAfter;
    };
    const Step steps[] = {{false, true, true, false},
                          {true, true, true, true},
                          {true, true, true, true},
                          {false, false, false, true},
                          {true, false, false, false}};
    provider->lockAll();
    for (const Step& step : steps) {
        hx::NotesMessage message(provider, provider->getUserMailDatabase());
        message.setIsReply(step.reply);
        message.modifyFormSaveAsMime(step.on);
        EXPECT_EQ(option("Memo"), step.memoAfter);
        EXPECT_EQ(option("Reply"), step.replyAfter);
    }
    LNForm missing;
    EXPECT_NE(provider->getUserMailDatabase()->getDatabase()->GetForm("NoSuchForm", &missing), LNNOERROR);
    provider->unlockAll();
}

// Jane sends, the router delivers, John logs in and opens the memo through the web task.
class DeliveryTest : public ComposeTest {
protected:
    void SetUp() override {
        ComposeTest::SetUp();
        if (HasFatalFailure())
            return;
        createDb("Mail1!!mail/jsmith.nsf");
        DBHANDLE hDb = NULLHANDLE;
        ASSERT_EQ(NSFDbOpen("Mail1!!mail/jsmith.nsf", &hDb), NOERROR);
        ASSERT_EQ(notes::templates::apply(hDb, notes::templates::Kind::Mail), NOERROR);
        NSFDbClose(hDb);
        web = std::make_unique<domino::WebServer>(dir, domino::Options{});
        web->start(0);
        pointWebTaskAt(web->port());
    }
    void TearDown() override {
        web.reset();
        if (john)
            john->release();
        ComposeTest::TearDown();
    }

    // John's inbox after logging in: the provider and the listed memos.
    Lattice::ObjectCollection johnsInbox() {
        john = makeProvider();
        EXPECT_EQ(john->login("jsmith", "john-password", "", 0, 0), 0);
        Lattice::Ptr<hxMail::Mailbox> mailbox;
        EXPECT_EQ(john->getMailbox("", mailbox), 0);
        Lattice::ObjectCollection list, items;
        EXPECT_EQ(john->getFolders("", mailbox->get_id(), &list), 0);
        for (const Lattice::Data& d : list) {
            if (auto* f = d.toObject<hxMail::Folder>(); f && f->folderType() == hxMail::FolderTypeInbox) {
                EXPECT_EQ(john->getFolderItemsPage(f->get_id(), 0, 50, &items), 0);
            }
        }
        return items;
    }

    std::unique_ptr<domino::WebServer> web;
    hx::MailProvider* john = nullptr;
};

// The bytes of a picture, of an empty file and of a 50 MB one arrive unchanged.
TEST_F(DeliveryTest, ASentMemoArrivesUnreadAndOpensWithItsAttachmentsByteForByte) {
    Draft d = draft("Figures for you", "<p>See the <i>attached</i> figures.</p>");
    std::string big(50 * 1024 * 1024, '\0');
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>((i * 2654435761u) >> 11);
    const std::map<std::string, std::string> files = {
        {"chart.png", std::string("\x89PNG\r\n\x1a\n\0\x01", 10) + "binary"},
        {"empty.dat", ""},
        {"huge.bin", big}};
    for (const auto& [name, bytes] : files)
        attachFile(d, name, bytes);
    ASSERT_EQ(send(d), 0);
    const domino::RouteReport report = domino::Router("Mail1", dir).routeOnce();
    EXPECT_EQ(report.delivered, 1u);
    EXPECT_TRUE(report.errors.empty());

    const Lattice::ObjectCollection inbox = johnsInbox();
    ASSERT_EQ(subjects(inbox), (std::vector<std::string>{"Figures for you"}));
    auto* item = inbox.at(0).toObject<hxMail::MessageItem>();
    EXPECT_FALSE(item->get_readFlag()) << "unread for John";
    const std::string id = item->get_id().c_str();

    Lattice::Ptr<hxMail::MessageDetail> detail = new hxMail::MessageDetail();
    ASSERT_EQ(john->messageProvider()->getMessageDetail(id.c_str(), "html", detail), 0);
    EXPECT_NE(bodyOf(detail).find("attached"), std::string::npos) << bodyOf(detail);
    const auto arrived = attachmentsOf(detail);
    ASSERT_EQ(arrived.size(), files.size());
    for (hxMail::Attachment* file : arrived) {
        const std::string name = file->get_fileName().c_str();
        ASSERT_TRUE(files.count(name)) << name;
        Lattice::Ptr<Lattice::BaseObject64> data;
        ASSERT_EQ(john->messageProvider()->loadAttachmentData(file->get_id(), file->get_attachNum(), data),
                  0);
        EXPECT_TRUE(std::string(data->binaryData(), static_cast<std::size_t>(data->length())) ==
                    files.at(name))
            << name;
    }
}
