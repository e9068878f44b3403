// Jane Doe logged in, her memos given rich-text or native MIME bodies and file attachments through
// the C API, and the host's HTTP facility pointed at a web task on loopback for "Mail1:80".
#pragma once

#include "MailFixture.h"

#include "mimeparts.h"
#include "richtext.h"

#include "Lattice/HTTP.h"
#include "Lattice/Settings.h"
#include "hxMail/Message.h"

#include <fstream>
#include <functional>
#include <optional>

using notes::ods::RichTextElement;

inline RichTextElement richElement(WORD kind, const std::string& text = "") {
    RichTextElement e;
    e.kind = kind;
    e.text = text;
    return e;
}

inline RichTextElement richRun(const std::string& text) {
    return richElement(notes::ods::kCdText, text);
}

inline RichTextElement richGraphic(const std::string& bytes) {
    RichTextElement e = richElement(notes::ods::kCdGraphic, "image/gif");
    e.bytes = bytes;
    e.width = 1;
    e.height = 1;
    return e;
}

inline const std::string kGif =
    std::string("GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\xff\xff\x00\x00\x00!", 19) +
    std::string("\x00\x00\x00\x00;", 5);
inline const std::string kOtherGif = kGif + std::string("\x00\x01\x02", 3);

class MessageTest : public MailTest {
protected:
    void SetUp() override {
        MailTest::SetUp();
        if (HasFatalFailure())
            return;
        // The web task finds memos through the mail file's "($All)" view, which the template has.
        loginAndList();
    }

    void TearDown() override {
        Lattice::Settings::remove("http.connectTo");
        Lattice::HTTP::setLimits(Lattice::HTTP::Limits{});
        MailTest::TearDown();
    }

    void pointWebTaskAt(int port) {
        Lattice::Settings::set("http.connectTo", "Mail1:80=127.0.0.1:" + std::to_string(port));
    }

    static MemoSetup delivered(const std::string& subject) {
        MemoSetup memo;
        memo.subject = subject;
        memo.from = "CN=John Smith/O=Acme";
        memo.extra = {{"SendTo", {"CN=Jane Doe/O=Acme"}}};
        return memo;
    }

    // A delivered memo from John Smith to Jane with a rich-text body and files attached from disk
    // (name -> bytes, in order).
    std::string addRichMemo(const std::string& subject, const std::vector<RichTextElement>& body,
                            const std::vector<std::pair<std::string, std::string>>& files = {}) {
        std::string unid;
        addMemo(delivered(subject), &unid);
        changeNote(unid, [&](NOTEHANDLE h) {
            const std::string value = notes::ods::encodeRichText(body);
            append(h, "Body", TYPE_COMPOSITE, value);
            for (const auto& [name, bytes] : files) {
                const std::string path = dir + "/" + name;
                std::ofstream(path, std::ios::binary) << bytes;
                ASSERT_EQ(NSFNoteAttachFile(h, "$FILE", 5, path.c_str(), ("C:\\files\\" + name).c_str(), 0),
                          NOERROR)
                    << name;
            }
        });
        return unid;
    }

    // A delivered native MIME memo made from an RFC 5322 message.
    std::string addMimeMemo(const std::string& subject, const std::string& eml) {
        std::string unid;
        addMemo(delivered(subject), &unid);
        changeNote(unid, [&](NOTEHANDLE h) {
            notes::mime::Message message;
            std::string error;
            ASSERT_TRUE(notes::mime::parseMessage(eml, &message, &error)) << error;
            std::vector<std::pair<WORD, std::string>> items;
            ASSERT_EQ(notes::mime::encodeParts(message, &items), NOERROR);
            for (const auto& item : items)
                append(h, "Body", TYPE_MIME_PART, item.second);
            append(h, "$NoteHasNativeMIME", TYPE_TEXT, "1");
            append(h, "MIME_Version", TYPE_TEXT, "1.0");
        });
        return unid;
    }

    hxMail::MessageProvider& messages() { return *provider->messageProvider(); }

    Lattice::Ptr<hxMail::MessageDetail> open(const std::string& unid) {
        Lattice::Ptr<hxMail::MessageDetail> detail = new hxMail::MessageDetail();
        EXPECT_EQ(messages().getMessageDetail(unid.c_str(), "html", detail), 0);
        return detail;
    }

    static std::string bodyOf(const Lattice::Ptr<hxMail::MessageDetail>& detail) {
        return detail && detail->get_body() ? detail->get_body()->get_text().str() : std::string();
    }

    static std::vector<hxMail::Attachment*> attachmentsOf(const Lattice::Ptr<hxMail::MessageDetail>& detail) {
        std::vector<hxMail::Attachment*> out;
        for (long i = 0; i < detail->get_attachments()->count(); ++i)
            out.push_back(detail->get_attachments()->at(i));
        return out;
    }

    // The bytes of attachment `number`, or nullopt when the provider answers -1.
    std::optional<std::string> bytesOf(const std::string& id, long number) {
        Lattice::Ptr<Lattice::BaseObject64> data;
        if (messages().loadAttachmentData(id.c_str(), number, data) != 0)
            return std::nullopt;
        return std::string(data->binaryData(), static_cast<std::size_t>(data->length()));
    }
};
