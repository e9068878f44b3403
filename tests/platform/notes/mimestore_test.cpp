// Messages stored byte for byte: the round trip through a mail file, GMime's structure, hostile input.
#include "attachments.h"
#include "fixture.h"
#include "mailgen.h"
#include "mimeparts.h"
#include "runtime.h"
#include "store.h"
#include "templates.h"

#include <cstring>
#include <random>

namespace {

using notes::mime::Part;

struct Sample {
    const char* name;
    std::string eml;
    std::size_t leaves; // as GMime places them
};

std::string crlf(std::string_view lf) {
    std::string out;
    for (char c : lf) {
        if (c == '\n') {
            out += '\r';
        }
        out += c;
    }
    return out;
}

// Hand-written corpus: the RFC examples, the shapes common clients write, and damage that mail
// readers still accept.
std::vector<Sample> corpus() {
    std::vector<Sample> s;
    s.push_back(
        {"rfc2045 plain",
         crlf("From: Nathaniel Borenstein <nsb@bellcore.com>\nTo: Ned Freed <ned@innosoft.com>\n"
              "Subject: Sample message\nMIME-Version: 1.0\nContent-type: text/plain; charset=us-ascii\n\n"
              "Just a plain line.\n"),
         1});
    s.push_back(
        {"rfc2046 preamble and epilogue",
         crlf("From: Nathaniel Borenstein <nsb@bellcore.com>\nTo: Ned Freed <ned@innosoft.com>\n"
              "Date: Sun, 21 Mar 1993 23:56:48 -0800 (PST)\nSubject: Sample message\nMIME-Version: 1.0\n"
              "Content-type: multipart/mixed; boundary=\"simple boundary\"\n\n"
              "This is the preamble.  It is to be ignored, though it\nis a handy place for composition "
              "agents to "
              "include an\nexplanatory note to non-MIME conformant readers.\n\n--simple boundary\n\n"
              "This is implicitly typed plain US-ASCII text.\nIt does NOT end with a linebreak.\n"
              "--simple boundary\nContent-type: text/plain; charset=us-ascii\n\n"
              "This is explicitly typed plain US-ASCII text.\nIt DOES end with a linebreak.\n\n"
              "--simple boundary--\n\nThis is the epilogue.  It is also to be ignored.\n"),
         2});
    s.push_back(
        {"rfc2049 complex",
         crlf("MIME-Version: 1.0\nFrom: Nathaniel Borenstein <nsb@nsb.fv.com>\nTo: Ned Freed "
              "<ned@innosoft.com>\n"
              "Date: Fri, 07 Oct 1994 16:15:05 -0700 (PDT)\nSubject: A multipart example\n"
              "Content-Type: multipart/mixed;\n              boundary=unique-boundary-1\n\n"
              "This is the preamble area of a multipart message.\n\n--unique-boundary-1\n\n"
              "  ... Some text appears here ...\n\n--unique-boundary-1\nContent-type: text/plain; "
              "charset=US-ASCII\n\n"
              "This could have been part of the previous part, but\nillustrates explicit versus implicit "
              "typing.\n\n"
              "--unique-boundary-1\nContent-Type: multipart/parallel; boundary=unique-boundary-2\n\n"
              "--unique-boundary-2\nContent-Type: audio/basic\nContent-Transfer-Encoding: base64\n\n"
              "AAECAwQFBgcICQ==\n\n--unique-boundary-2\nContent-Type: image/jpeg\n"
              "Content-Transfer-Encoding: base64\n\n/9j/4AAQ\n\n--unique-boundary-2--\n\n"
              "--unique-boundary-1\nContent-type: text/enriched\n\nThis is "
              "<bold><italic>enriched.</italic></bold>\n"
              "<smaller>as defined in RFC 1896</smaller>\n\n--unique-boundary-1\nContent-Type: "
              "message/rfc822\n\n"
              "From: (mailbox in US-ASCII)\nTo: (address in US-ASCII)\nSubject: (subject in US-ASCII)\n"
              "Content-Type: Text/plain; charset=ISO-8859-1\nContent-Transfer-Encoding: Quoted-printable\n\n"
              "  ... Additional text in ISO-8859-1 goes here ...\n\n--unique-boundary-1--\n"),
         6});
    s.push_back({"rfc2047 words",
                 crlf("From: =?US-ASCII?Q?Keith_Moore?= <moore@cs.utk.edu>\n"
                      "To: =?ISO-8859-1?Q?Keld_J=F8rn_Simonsen?= <keld@dkuug.dk>\n"
                      "CC: =?ISO-8859-1?Q?Andr=E9?= Pirard <PIRARD@vm1.ulg.ac.be>\n"
                      "Subject: =?ISO-8859-1?B?SWYgeW91IGNhbiByZWFkIHRoaXMgeW8=?=\n\nbody\n"),
                 1});
    s.push_back(
        {"thunderbird",
         crlf("Message-ID: <1@example.com>\nDate: Tue, 1 Dec 2026 10:00:00 +0100\n"
              "MIME-Version: 1.0\nUser-Agent: Mozilla Thunderbird\nContent-Language: en-US\n"
              "To: jdoe@acme.example\nFrom: Anna <anna@acme.example>\nSubject: report\n"
              "Content-Type: multipart/mixed;\n boundary=\"------------0aBcDeF\"\n\n"
              "This is a multi-part message in MIME format.\n--------------0aBcDeF\n"
              "Content-Type: text/plain; charset=UTF-8; format=flowed\nContent-Transfer-Encoding: 7bit\n\n"
              "See attached. \nThanks\n\n--------------0aBcDeF\n"
              "Content-Type: application/pdf; name=\"report.pdf\"\n"
              "Content-Disposition: attachment; filename=\"report.pdf\"\n"
              "Content-Transfer-Encoding: base64\n\n"
              "JVBERi0xLjQKJcfsj6IKNSAwIG9iago8PC9MZW5ndGggNiAwIFIvRmlsdGVyIC9GbGF0\n"
              "ZURlY29kZT4+CnN0cmVhbQp4nA==\n\n--------------0aBcDeF--\n"),
         2});
    s.push_back({"outlook related",
                 crlf("From: Bob <bob@corp.example>\nTo: jdoe@acme.example\nSubject: logo\n"
                      "Content-Type: multipart/related;\n\tboundary=\"_004_X_\";\n\ttype=\"text/html\"\n"
                      "MIME-Version: 1.0\n\n--_004_X_\nContent-Type: text/html; charset=\"us-ascii\"\n"
                      "Content-Transfer-Encoding: quoted-printable\n\n<html><body><img "
                      "src=3D\"cid:image001.png@01\">=\n"
                      "</body></html>\n\n--_004_X_\nContent-Type: image/png; name=\"image001.png\"\n"
                      "Content-Description: image001.png\nContent-Disposition: inline; "
                      "filename=\"image001.png\"; size=4\n"
                      "Content-ID: <image001.png@01>\nContent-Transfer-Encoding: base64\n\niVBORw==\n\n"
                      "--_004_X_--\n"),
                 2});
    s.push_back(
        {"apple mail lf",
         "From: Carl <carl@mac.example>\nContent-Type: multipart/alternative;\n\tboundary=\"Apple-Mail=_1\"\n"
         "Mime-Version: 1.0 (Mac OS X Mail 16.0)\nSubject: hi\n\n\n--Apple-Mail=_1\n"
         "Content-Transfer-Encoding: 7bit\nContent-Type: text/plain;\n\tcharset=us-ascii\n\nhi\n\n"
         "--Apple-Mail=_1\nContent-Transfer-Encoding: 7bit\nContent-Type: text/html;\n\tcharset=us-ascii\n\n"
         "<html><body>hi</body></html>\n--Apple-Mail=_1--\n",
         2});
    s.push_back(
        {"mutt 8bit",
         "Date: Tue, 1 Dec 2026 10:00:00 +0100\nFrom: Dora <dora@example.org>\nTo: jdoe@acme.example\n"
         "Subject: Gr\xC3\xBC\xC3\x9F"
         "e\nMIME-Version: 1.0\nContent-Type: text/plain; charset=utf-8\n"
         "Content-Disposition: inline\nContent-Transfer-Encoding: 8bit\n\nGr\xC3\xBC\xC3\x9F"
         "e\n",
         1});
    s.push_back({"binary part",
                 crlf("Subject: bin\nContent-Type: multipart/mixed; boundary=b\n\n--b\n"
                      "Content-Type: application/octet-stream; name=raw.bin\n"
                      "Content-Transfer-Encoding: binary\n\n") +
                     std::string("A\nB\0C\r\xFF", 7) + crlf("\n--b--\n"),
                 1});
    s.push_back({"boundary reused inside a part",
                 crlf("Subject: r\nContent-Type: multipart/mixed; boundary=x\n\n--x\nContent-Type: "
                      "multipart/alternative; "
                      "boundary=x\n\n--x\nContent-Type: text/plain\n\ninner\n--x--\n--x\nContent-Type: "
                      "text/plain\n\nouter\n--x--\n"),
                 2});
    s.push_back({"part not starting with the boundary",
                 crlf("Subject: p\nContent-Type: multipart/mixed; boundary=q\n\nstray text before\n--q\n"
                      "Content-Type: text/plain\n\none\n--q\nContent-Type: text/html\n\n<b>two</b>\n--q--\n"),
                 2});
    s.push_back(
        {"multipart without boundary",
         crlf("Subject: m\nContent-Type: multipart/mixed\n\n--z\nContent-Type: text/plain\n\nlost?\n--z--\n"),
         1});
    s.push_back({"no closing boundary",
                 crlf("Subject: t\nContent-Type: multipart/mixed; boundary=c\n\n--c\nContent-Type: "
                      "text/plain\n\ncut he"),
                 1});
    s.push_back(
        {"header line without colon", crlf("Subject: h\nthis is no header\nFrom: a@b.example\n\nbody\n"), 1});
    s.push_back(
        {"part without blank line",
         crlf("Subject: n\nContent-Type: multipart/mixed; boundary=n\n\n--n\nContent-Type: text/plain\n"
              "text right after the headers\n--n--\n"),
         1});
    s.push_back({"8-bit headers and NUL",
                 std::string("Subject: \xE9t\xE9\0x\nFrom: \xFF\n\nbody\0with NUL\n", 37), 1});
    s.push_back({"no header", "just some words, no header at all", 1});
    s.push_back({"duplicated boundaries",
                 crlf("Subject: d\nContent-Type: multipart/mixed; boundary=d\n\n--d\n--d\nContent-Type: "
                      "text/plain\n\nx\n"
                      "--d\n--d--\n--d--\n"),
                 1});
    return s;
}

std::string attachmentMessage(const std::string& name, const std::string& bytes,
                              std::size_t lineLength = 76) {
    std::string quoted;
    for (char c : name) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
        }
        quoted += c;
    }
    return "From: a@acme.example\r\nSubject: file\r\nContent-Type: multipart/mixed; boundary=f\r\n\r\n"
           "--f\r\nContent-Type: text/plain\r\n\r\nhere\r\n--f\r\nContent-Type: application/octet-stream\r\n"
           "Content-Disposition: attachment; filename=\"" +
           quoted + "\"\r\nContent-Transfer-Encoding: base64\r\n\r\n" +
           notes::mime::encodeBase64(bytes, lineLength) + "\r\n--f--\r\n";
}

// Damage as a mail server sees it: cut, flipped bits, lines doubled or dropped, bytes inserted.
std::string mutate(const std::string& in, std::mt19937& rng) {
    std::string s = in;
    auto pick = [&](std::size_t n) { return n == 0 ? std::size_t{0} : std::size_t{rng() % n}; };
    const int rounds = 1 + static_cast<int>(rng() % 4);
    for (int r = 0; r < rounds && !s.empty(); ++r) {
        const std::size_t at = pick(s.size());
        const std::size_t lineStart = s.rfind('\n', at) == std::string::npos ? 0 : s.rfind('\n', at) + 1;
        const std::size_t lineEnd = s.find('\n', at) == std::string::npos ? s.size() : s.find('\n', at) + 1;
        switch (rng() % 7) {
        case 0:
            s.resize(at);
            break;
        case 1:
            s[at] = static_cast<char>(s[at] ^ (1 << (rng() % 8)));
            break;
        case 2:
            s.insert(lineStart, s.substr(lineStart, lineEnd - lineStart));
            break;
        case 3:
            s.erase(lineStart, lineEnd - lineStart);
            break;
        case 4:
            s.insert(at, 1, '\0');
            break;
        case 5:
            s[at] = static_cast<char>(0x80 | (rng() & 0x7F));
            break;
        default: // a boundary line made to look like a delimiter of another level
            s.insert(lineStart, "--" + std::to_string(rng() % 3) + "\r\n");
            break;
        }
    }
    return s;
}

// Appends a message as a composing client does: "Body" items of part type 2, `size` bytes of it each.
void appendChunks(NOTEHANDLE h, const std::string& eml, std::size_t size) {
    for (std::size_t at = 0; at < eml.size(); at += size) {
        const std::string chunk = eml.substr(at, size);
        MIME_PART record{};
        record.wVersion = MIME_PART_VERSION;
        record.cPartType = MIME_PART_BODY;
        record.wByteCount = static_cast<WORD>(chunk.size());
        const std::string value = std::string(reinterpret_cast<const char*>(&record), sizeof record) + chunk;
        ASSERT_EQ(NSFItemAppend(h, ITEM_SUMMARY, "Body", 4, TYPE_MIME_PART, value.data(),
                                static_cast<DWORD>(value.size())),
                  NOERROR);
    }
}

std::string exported(notes::Note& note) {
    std::string out;
    EXPECT_EQ(notes::mime::exportMessage(note,
                                         [&](std::string_view piece) {
                                             out += piece;
                                             return true;
                                         }),
              NOERROR);
    return out;
}

// Stores a message into a note in memory and exports it again.
std::string roundTrip(const std::string& eml, STATUS* status, notes::Note* keep = nullptr) {
    notes::mail::Message m;
    std::string error;
    *status = notes::mime::storeMessage(eml, &m, &error);
    if (*status != NOERROR) {
        EXPECT_FALSE(error.empty());
        return {};
    }
    notes::Note note;
    notes::mail::fill(m, &note);
    const std::string out = exported(note);
    if (keep) {
        *keep = std::move(note);
    }
    return out;
}

class MimeStore : public SessionTest {
protected:
    void SetUp() override {
        SessionTest::SetUp();
        auto store = notes::handles::database(db.GetDatabaseHandle());
        ASSERT_EQ(notes::templates::apply(*store, notes::templates::Kind::Mail), NOERROR);
    }

    // Stores a message in the mail file; the note as loaded from the file.
    notes::Note storeInFile(const std::string& eml) {
        notes::mail::Message m;
        std::string error;
        EXPECT_EQ(notes::mime::storeMessage(eml, &m, &error), NOERROR) << error;
        auto store = notes::handles::database(db.GetDatabaseHandle());
        std::vector<NOTEID> ids;
        std::vector<notes::mail::Message> batch;
        batch.push_back(std::move(m));
        EXPECT_EQ(notes::mail::store(*store, std::move(batch), &ids), NOERROR);
        notes::Note note;
        EXPECT_EQ(store->load(ids.at(0), &note), NOERROR);
        note.db = store; // file bytes are read through the note's database
        return note;
    }
};

} // namespace

TEST_F(MimeStore, EveryCorpusMessageComesBackByteForByteWithGMimesLeaves) {
    for (const Sample& sample : corpus()) {
        SCOPED_TRACE(sample.name);
        notes::Note note = storeInFile(sample.eml);
        EXPECT_TRUE(exported(note) == sample.eml);
        EXPECT_EQ(notes::mime::leafParts(note).size(), sample.leaves);
    }
}

TEST_F(MimeStore, DamagedStructureStaysReachable) {
    // GMime's recovery decides the leaves; text it could not place is still served or exported.
    const std::vector<Sample> all = corpus();
    auto leaves = [&](const char* name) {
        for (const Sample& s : all) {
            if (std::string_view(s.name) == name) {
                notes::Note note;
                STATUS st = NOERROR;
                EXPECT_EQ(roundTrip(s.eml, &st, &note), s.eml);
                return notes::mime::leafParts(note);
            }
        }
        ADD_FAILURE() << name;
        return std::vector<Part>{};
    };
    const auto noBoundary = leaves("multipart without boundary");
    ASSERT_EQ(noBoundary.size(), 1u);
    EXPECT_NE(noBoundary[0].content.find("lost?"), std::string::npos);
    const auto stray = leaves("part not starting with the boundary");
    ASSERT_EQ(stray.size(), 2u);
    EXPECT_EQ(stray[1].contentType, "text/html");
    const auto binary = leaves("binary part");
    ASSERT_EQ(binary.size(), 1u);
    EXPECT_TRUE(binary[0].inObject);
    const auto cut = leaves("no closing boundary");
    ASSERT_EQ(cut.size(), 1u);
    EXPECT_EQ(cut[0].content, "cut he");
    const auto noColon = leaves("header line without colon");
    ASSERT_EQ(noColon.size(), 1u);
}

TEST_F(MimeStore, SeededMutantsAreStoredLosslesslyOrRefusedWithAReason) {
    std::mt19937 rng(20261206);
    std::size_t stored = 0;
    std::vector<std::string> seeds;
    for (const Sample& s : corpus()) {
        seeds.push_back(s.eml);
    }
    seeds.push_back(attachmentMessage("a.bin", std::string(3000, '\x7f')));
    for (int round = 0; round < 1500; ++round) {
        const std::string eml = mutate(seeds[rng() % seeds.size()], rng);
        STATUS status = NOERROR;
        const std::string back = roundTrip(eml, &status);
        if (status == NOERROR) {
            ++stored;
            ASSERT_TRUE(back == eml) << "round " << round;
        } else {
            ASSERT_TRUE(eml.empty()) << "only an empty input is no message; round " << round;
        }
    }
    EXPECT_GT(stored, 1400u);
}

TEST_F(MimeStore, ManyPartsAndDeepNestingRoundTrip) {
    std::string many = "Subject: many\r\nContent-Type: multipart/mixed; boundary=m\r\n\r\n";
    for (int i = 0; i < 1000; ++i) {
        many += "--m\r\nContent-Type: text/plain\r\n\r\npart " + std::to_string(i) + "\r\n";
    }
    many += "--m--\r\n";
    std::string deep = "Subject: deep\r\n";
    for (int i = 0; i < 50; ++i) {
        deep += "Content-Type: multipart/mixed; boundary=l" + std::to_string(i) + "\r\n\r\n--l" +
                std::to_string(i) + "\r\n";
    }
    deep += "Content-Type: text/plain\r\n\r\nbottom\r\n";
    for (int i = 49; i >= 0; --i) {
        deep += "--l" + std::to_string(i) + "--\r\n";
    }
    const struct {
        const std::string& eml;
        std::size_t leaves;
        const char* last;
    } cases[] = {{many, 1000, "part 999"}, {deep, 1, "bottom"}};
    for (const auto& c : cases) {
        notes::Note note;
        STATUS status = NOERROR;
        EXPECT_TRUE(roundTrip(c.eml, &status, &note) == c.eml);
        const auto parts = notes::mime::leafParts(note);
        ASSERT_EQ(parts.size(), c.leaves);
        EXPECT_EQ(parts.back().content, c.last);
    }
}

TEST_F(MimeStore, NamesAreDataAndKeepTheirBytes) {
    const std::string bytes = "\x01\x02payload\xFF";
    const std::string names[] = {"a/b\\c.txt", "../../etc/passwd", "tab\there\x01.bin",
                                 std::string(1000, 'n')};
    for (const std::string& name : names) {
        SCOPED_TRACE(name.substr(0, 20));
        const std::string eml = attachmentMessage(name, bytes);
        notes::Note note = storeInFile(eml);
        EXPECT_TRUE(exported(note) == eml);
        bool found = false;
        for (const notes::Item& item : note.items) {
            notes::files::FileObject file;
            std::string got;
            if (notes::files::isFileItem(item) && notes::files::decode(item.value, &file) &&
                file.name == name) {
                found = true;
                EXPECT_EQ(notes::files::bytesOf(note, item, &got), NOERROR);
                EXPECT_EQ(got, bytes);
            }
        }
        EXPECT_TRUE(found);
    }
}

TEST_F(MimeStore, FileEncodingsThatCannotBeRedoneKeepTheirText) {
    // Odd line lengths, LF lines, a missing last line end, quoted-printable: the export is exact.
    const std::string data(1000, 'q');
    const std::string odd =
        "Subject: o\r\nContent-Type: multipart/mixed; boundary=f\r\n\r\n--f\r\n"
        "Content-Type: image/png; name=x.png\r\nContent-Transfer-Encoding: base64\r\n\r\n"
        "cXFx\r\ncXFxcXFx\r\ncQ==\r\n--f\r\n"
        "Content-Type: application/pdf; name=y.pdf\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n"
        "a=3Db=\r\nc\r\n--f--\r\n";
    const std::string cases[] = {attachmentMessage("lf.bin", data, 64), attachmentMessage("one.bin", data, 0),
                                 odd, crlf(attachmentMessage("crlf-twice.bin", data, 72))};
    for (const std::string& eml : cases) {
        notes::Note note = storeInFile(eml);
        EXPECT_TRUE(exported(note) == eml);
    }
}

TEST_F(MimeStore, ChunksAppendedThroughTheCApiReadAsOneMessage) {
    // What a composing client appends with NSFItemAppend: part-type-2 chunks that together make the
    // message, read back after the note is saved and opened again.
    const std::string eml = corpus()[1].eml;
    const DBHANDLE hDb = db.GetDatabaseHandle();
    NOTEHANDLE h = NULLHANDLE;
    ASSERT_EQ(NSFNoteCreate(hDb, &h), NOERROR);
    ASSERT_EQ(NSFItemAppend(h, ITEM_SUMMARY, "$NoteHasNativeMIME", 18, TYPE_TEXT, "1", 1), NOERROR);
    appendChunks(h, eml, 100);
    ASSERT_EQ(NSFNoteUpdate(h, 0), NOERROR);
    NOTEID id = 0;
    NSFNoteGetInfo(h, _NOTE_ID, &id);
    ASSERT_EQ(NSFNoteClose(h), NOERROR);
    ASSERT_EQ(NSFNoteOpenExt(hDb, id, OPEN_RAW_MIME, &h), NOERROR);
    notes::Note& note = *notes::handles::note(h);
    EXPECT_EQ(exported(note), eml);
    const auto parts = notes::mime::leafParts(note);
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(parts[1].content,
              "This is explicitly typed plain US-ASCII text.\r\nIt DOES end with a linebreak.\r\n");
    NSFNoteClose(h);
}

// A writer's plain run of chunks is laid out when saved: files to "$FILE", the export unchanged.
TEST_F(MimeStore, WrittenChunksAreLaidOutOnSaveAndASecondSaveChangesNothing) {
    const DBHANDLE hDb = db.GetDatabaseHandle();
    auto write = [](NOTEHANDLE h, const std::string& eml) {
        while (NSFItemDelete(h, "Body", 4) == NOERROR) {
        }
        appendChunks(h, eml, 1000);
    };
    auto files = [](const notes::Note& note) {
        std::vector<std::string> names;
        for (const notes::Item& item : note.items) {
            notes::files::FileObject file;
            if (notes::files::isFileItem(item) && notes::files::decode(item.value, &file)) {
                names.push_back(file.name);
            }
        }
        return names;
    };
    const std::string first = attachmentMessage("a.bin", std::string("\0\x01\xff\r\n", 5));
    const std::string second = attachmentMessage("b.bin", std::string(3000, 'b'));
    const struct {
        const char* what;
        std::string rewrite;            // the body written before the second save (none: as is)
        bool otherFile;                 // an attachment made otherwise, named like the body's file
        std::string exported;           // after the second save
        std::vector<std::string> names; // the note's attachments after it
    } cases[] = {{"saved again as it is", "", false, first, {"a.bin"}},
                 {"rewritten with another file", second, false, second, {"b.bin"}},
                 {"a name clash keeps what was written", second, true, second, {"b.bin"}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        NOTEHANDLE h = NULLHANDLE;
        ASSERT_EQ(NSFNoteCreate(hDb, &h), NOERROR);
        ASSERT_EQ(NSFItemAppend(h, ITEM_SUMMARY, "$NoteHasNativeMIME", 18, TYPE_TEXT, "1", 1), NOERROR);
        ASSERT_EQ(NSFItemAppend(h, ITEM_SUMMARY, "Subject", 7, TYPE_TEXT, "s", 1), NOERROR);
        write(h, first);
        ASSERT_EQ(NSFNoteUpdate(h, 0), NOERROR);
        notes::Note& note = *notes::handles::note(h);
        EXPECT_TRUE(notes::mime::isVerbatim(note));
        EXPECT_EQ(files(note), std::vector<std::string>{"a.bin"});
        EXPECT_EQ(note.items.at(2).name, "Body") << "the body keeps its place";
        EXPECT_EQ(exported(note), first);
        if (c.otherFile) {
            notes::files::FileObject file;
            file.name = "b.bin";
            ASSERT_EQ(notes::files::attach(note, "$FILE", "other", file, nullptr), NOERROR);
        }
        if (!c.rewrite.empty()) {
            write(h, c.rewrite);
        }
        const std::vector<notes::Item> before = note.items;
        ASSERT_EQ(NSFNoteUpdate(h, 0), NOERROR);
        NOTEID id = 0;
        NSFNoteGetInfo(h, _NOTE_ID, &id);
        ASSERT_EQ(NSFNoteClose(h), NOERROR);
        ASSERT_EQ(NSFNoteOpenExt(hDb, id, 0, &h), NOERROR);
        notes::Note& saved = *notes::handles::note(h);
        EXPECT_EQ(exported(saved), c.exported);
        if (c.otherFile) {
            EXPECT_FALSE(notes::mime::isVerbatim(saved));
            EXPECT_EQ(files(saved), (std::vector<std::string>{"a.bin", "b.bin"}));
        } else {
            EXPECT_EQ(files(saved), c.names) << "the replaced body's file leaves with it";
        }
        if (c.rewrite.empty()) {
            ASSERT_EQ(saved.items.size(), before.size());
            for (std::size_t i = 0; i < before.size(); ++i) {
                EXPECT_EQ(saved.items[i].name, before[i].name);
                EXPECT_TRUE(saved.items[i].value == before[i].value) << before[i].name;
            }
        }
        NSFNoteClose(h);
    }
}

TEST_F(MimeStore, AHundredMegabyteAttachmentRoundTrips) {
    std::string bytes(100u << 20, '\0');
    std::mt19937 rng(3);
    for (std::size_t i = 0; i < bytes.size(); i += 4) {
        const std::uint32_t v = rng();
        std::memcpy(&bytes[i], &v, 4);
    }
    const std::string eml = attachmentMessage("big.bin", bytes);
    bytes = std::string();
    notes::Note note = storeInFile(eml);
    std::size_t at = 0;
    bool same = true;
    EXPECT_EQ(notes::mime::exportMessage(note,
                                         [&](std::string_view piece) {
                                             same = same && eml.compare(at, piece.size(), piece) == 0;
                                             at += piece.size();
                                             return true;
                                         }),
              NOERROR);
    EXPECT_TRUE(same);
    EXPECT_EQ(at, eml.size());
}

TEST_F(MimeStore, ExportRefusalsSayWhatIsWrong) {
    const std::string eml = attachmentMessage("gone.bin", "bytes");
    notes::Note withFile;
    STATUS status = NOERROR;
    ASSERT_EQ(roundTrip(eml, &status, &withFile), eml);
    notes::Note fileRemoved = withFile;
    fileRemoved.remove("$FILE");
    notes::Note rich;
    rich.append("Body", TYPE_COMPOSITE, 0, "");
    const struct {
        const char* what;
        notes::Note* note;
        bool sinkAccepts;
        STATUS expected;
    } cases[] = {{"no MIME body", &rich, true, ERR_ITEM_NOT_FOUND},
                 {"the named file is gone", &fileRemoved, true, ERR_INVALID_ITEM_VALUE},
                 {"the sink refuses", &withFile, false, ERR_IO}};
    for (const auto& c : cases) {
        EXPECT_EQ(notes::mime::exportMessage(*c.note, [&](std::string_view) { return c.sinkAccepts; }),
                  c.expected)
            << c.what;
    }
}
