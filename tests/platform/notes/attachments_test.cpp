// File attachments: attaching from disk, bytes saved with the note, listing, extraction in chunks,
// damaged and listed-only attachments, and MIME body items through the item walk.
#include "attachments.h"
#include "fixture.h"
#include "mailgen.h"
#include "mimeparts.h"
#include "notes/admin/testhooks.h"
#include "runtime.h"
#include "store.h"
#include "templates.h"

#include <cstring>
#include <limits>

namespace {

std::string patterned(std::size_t n) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) {
        s[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    }
    return s;
}

struct Extracted {
    std::string bytes;
    std::vector<DWORD> chunks;
    STATUS failWith = NOERROR;
};

STATUS collect(const BYTE* bytes, DWORD length, void* param) {
    auto* x = static_cast<Extracted*>(param);
    x->chunks.push_back(length);
    x->bytes.append(reinterpret_cast<const char*>(bytes), length);
    return x->failWith;
}

// The attachment of a given number, found and extracted through the C API as a mail client does.
Extracted extract(NOTEHANDLE h, WORD number) {
    Extracted x;
    BLOCKID bh{};
    EXPECT_TRUE(
        MailGetMessageAttachmentInfo(h, number, &bh, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(NSFNoteExtractWithCallback(h, bh, nullptr, 0, collect, &x), NOERROR);
    return x;
}

} // namespace

class NotesAttachments : public SessionTest {
protected:
    // A saved memo with the given files attached; returns its UNID.
    std::string memoWith(const std::vector<std::string>& paths) {
        LNDocument doc;
        EXPECT_EQ(db.CreateDocument(&doc, "Memo"), LNNOERROR);
        for (const std::string& p : paths) {
            EXPECT_EQ(doc.CreateAttachment(p.c_str()), LNNOERROR) << p;
        }
        EXPECT_EQ(doc.Save(), LNNOERROR);
        LNUniversalID unid;
        doc.GetUniversalID(&unid);
        return unid.GetText().str();
    }

    std::shared_ptr<notes::Database> store() { return notes::handles::database(db.GetDatabaseHandle()); }
};

TEST_F(NotesAttachments, BytesSurviveSaveAndComeBackInChunks) {
    const std::string big = patterned(150000), small = "hello\n";
    writeFile(dir + "/plan.pdf", big);
    writeFile(dir + "/note.txt", small);
    const std::string unid = memoWith({dir + "/plan.pdf", dir + "/note.txt"});

    LNDocument doc = openDoc(db, unid);
    EXPECT_TRUE(doc.HasAttachments());
    LNAttachmentArray list;
    ASSERT_EQ(doc.GetAttachments(&list), LNNOERROR);
    ASSERT_EQ(list.GetCount(), 2);
    EXPECT_EQ(list[0].GetAttachmentName(), "plan.pdf");
    EXPECT_EQ(list[0].GetFileSize(), 150000);
    EXPECT_EQ(list[0].GetFilepath(), LNString(dir + "/plan.pdf"));
    EXPECT_EQ(list[1].GetAttachmentName(), "note.txt");
    EXPECT_TRUE(list[2].IsNull());
    ASSERT_EQ(list[0].Extract((dir + "/out.pdf").c_str()), LNNOERROR);
    EXPECT_EQ(readFile(dir + "/out.pdf"), big);

    // The C API numbers attachments in the same order.
    const NOTEHANDLE h = doc.GetNoteHandle();
    BLOCKID item{};
    char name[MAXPATH] = {};
    DWORD size = 0;
    WORD host = 0;
    ASSERT_TRUE(MailGetMessageAttachmentInfo(h, 0, &item, name, &size, nullptr, &host, nullptr, nullptr));
    EXPECT_STREQ(name, "plan.pdf");
    EXPECT_EQ(size, 150000u);
    Extracted x;
    ASSERT_EQ(NSFNoteExtractWithCallback(h, item, nullptr, 0, collect, &x), NOERROR);
    EXPECT_EQ(x.bytes, big);
    EXPECT_EQ(x.chunks, (std::vector<DWORD>{65536, 65536, 150000 - 131072, 0}));
    ASSERT_TRUE(
        MailGetMessageAttachmentInfo(h, 1, &item, nullptr, &size, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(size, small.size());
    EXPECT_FALSE(MailGetMessageAttachmentInfo(h, 2, &item, name, &size, nullptr, nullptr, nullptr, nullptr));
    EXPECT_FALSE(
        MailGetMessageAttachmentInfo(NULLHANDLE, 0, &item, name, &size, nullptr, nullptr, nullptr, nullptr));
    ASSERT_EQ(NSFNoteExtractFile(h, item, (dir + "/n.txt").c_str(), nullptr), NOERROR);
    EXPECT_EQ(readFile(dir + "/n.txt"), small);

    // A callback's error ends the extraction and comes back.
    Extracted failing;
    failing.failWith = ERR_IO;
    ASSERT_TRUE(
        MailGetMessageAttachmentInfo(h, 0, &item, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(NSFNoteExtractWithCallback(h, item, nullptr, 0, collect, &failing), ERR_IO);
    EXPECT_EQ(failing.chunks.size(), 1u);
    EXPECT_EQ(NSFNoteExtractWithCallback(h, BLOCKID{h, 999}, nullptr, 0, collect, &x), ERR_ITEM_NOT_FOUND);
    EXPECT_EQ(NSFNoteExtractFile(h, item, "/nonexistent-dir/x", nullptr), ERR_IO);
    LNINT total = doc.GetSize();
    EXPECT_GT(total, 150000); // a document's size counts its attachments
}

TEST_F(NotesAttachments, DamagedObjectHandsOutWhatThereIs) {
    writeFile(dir + "/a.bin", patterned(5000));
    const std::string unid = memoWith({dir + "/a.bin"});
    LNDocument doc = openDoc(db, unid);
    const notes::Item* item = notes::handles::note(doc.GetNoteHandle())->find("$FILE");
    notes::files::FileObject file;
    ASSERT_TRUE(notes::files::decode(item->value, &file));
    ASSERT_NE(file.objectId, 0u);
    const DBHANDLE h = db.GetDatabaseHandle();
    ASSERT_EQ(notes::testhooks::truncateObject(h, file.objectId, 1000), NOERROR);
    EXPECT_EQ(notes::testhooks::truncateObject(h, 987654, 10), ERR_ITEM_NOT_FOUND);
    EXPECT_EQ(notes::testhooks::truncateObject(NULLHANDLE, file.objectId, 10), ERR_INVALID_HANDLE);
    // The same by attachment number; a number without an attachment is refused.
    ASSERT_EQ(notes::testhooks::truncateAttachment(h, doc.GetNoteID(), 0, 1000), NOERROR);
    EXPECT_EQ(notes::testhooks::truncateAttachment(h, doc.GetNoteID(), 1, 10), ERR_ITEM_NOT_FOUND);

    BLOCKID bh{};
    DWORD size = 0;
    ASSERT_TRUE(MailGetMessageAttachmentInfo(doc.GetNoteHandle(), 0, &bh, nullptr, &size, nullptr, nullptr,
                                             nullptr, nullptr));
    EXPECT_EQ(size, 5000u); // the recorded size stays
    const Extracted x = extract(doc.GetNoteHandle(), 0);
    EXPECT_EQ(x.bytes, patterned(5000).substr(0, 1000));
    EXPECT_EQ(x.chunks.back(), 0u);
}

// A "$FILE" record may say up to 4 GB; the class library's LNINT (a 32-bit long on the target)
// gives the largest size it holds rather than a negative one, while the C API keeps the record's.
TEST_F(NotesAttachments, RecordedSizesPast2GBNeverReadNegative) {
    const DWORD recorded[] = {0x7FFFFFFF, 0x80000000, 0xC0000000, 0xFFFFFFFF};
    LNDocument doc;
    ASSERT_EQ(db.CreateDocument(&doc, "Memo"), LNNOERROR);
    const NOTEHANDLE h = doc.GetNoteHandle();
    for (const DWORD size : recorded) {
        notes::files::FileObject file;
        file.name = "image" + std::to_string(size) + ".iso";
        file.size = size;
        const std::string value = notes::files::encode(file);
        ASSERT_EQ(
            NSFItemAppend(h, 0, "$FILE", 5, TYPE_OBJECT, value.data(), static_cast<DWORD>(value.size())),
            NOERROR);
    }
    LNAttachmentArray list;
    ASSERT_EQ(doc.GetAttachments(&list), LNNOERROR);
    ASSERT_EQ(list.GetCount(), 4);
    for (WORD i = 0; i < 4; ++i) {
        SCOPED_TRACE(recorded[i]);
        EXPECT_EQ(list[i].GetFileSize(), static_cast<LNINT>(std::min<std::uint64_t>(
                                             recorded[i], std::numeric_limits<LNINT>::max())));
        DWORD size = 0;
        BLOCKID bh{};
        ASSERT_TRUE(
            MailGetMessageAttachmentInfo(h, i, &bh, nullptr, &size, nullptr, nullptr, nullptr, nullptr));
        EXPECT_EQ(size, recorded[i]);
    }
}

TEST_F(NotesAttachments, ListedOnlyEntriesAndUnsavedAttachments) {
    LNDocument doc;
    ASSERT_EQ(db.CreateDocument(&doc, "Memo"), LNNOERROR);
    const NOTEHANDLE h = doc.GetNoteHandle();
    // An older seeded entry: the item value is the name, there are no bytes.
    ASSERT_EQ(NSFItemAppend(h, 0, "$FILE", 5, TYPE_OBJECT, "old.doc", 7), NOERROR);
    writeFile(dir + "/new.txt", "fresh");
    LNAttachment made;
    ASSERT_EQ(doc.CreateAttachment((dir + "/new.txt").c_str(), "renamed.txt", &made), LNNOERROR);
    EXPECT_EQ(made.GetAttachmentName(), "renamed.txt");
    EXPECT_EQ(made.GetFileSize(), 5);

    LNAttachmentArray list;
    ASSERT_EQ(doc.GetAttachments(&list), LNNOERROR);
    ASSERT_EQ(list.GetCount(), 2);
    EXPECT_EQ(list[0].GetAttachmentName(), "old.doc");
    EXPECT_EQ(list[0].GetFileSize(), 0);
    EXPECT_EQ(extract(h, 0).chunks, std::vector<DWORD>{0});
    EXPECT_EQ(extract(h, 1).bytes, "fresh"); // before the save, from memory

    // Refusals leave the note as it was.
    const LNINT items = doc.GetItemCount();
    EXPECT_EQ(doc.CreateAttachment((dir + "/missing.txt").c_str()), static_cast<LNSTATUS>(ERR_NOEXIST));
    EXPECT_EQ(doc.CreateAttachment((dir + "/new.txt").c_str(), "RENAMED.TXT"),
              static_cast<LNSTATUS>(ERR_EXISTS));
    EXPECT_EQ(doc.CreateAttachment(dir.c_str()), static_cast<LNSTATUS>(ERR_INVALID_PARAM)); // a folder
    EXPECT_EQ(NSFNoteAttachFile(h, "$FILE", 5, (dir + "/missing").c_str(), nullptr, 0), ERR_NOEXIST);
    // A sparse file one byte past 4 GB: its size does not fit an attachment, and is known without
    // reading it (or wrapping through a 32-bit size).
    writeFile(dir + "/huge.bin", "");
    std::filesystem::resize_file(dir + "/huge.bin", 0x100000001ull);
    EXPECT_EQ(NSFNoteAttachFile(h, "$FILE", 5, (dir + "/huge.bin").c_str(), nullptr, 0),
              ERR_ITEM_VALUE_TOO_BIG);
    EXPECT_EQ(doc.GetItemCount(), items);

    // The C API names the attachment after the original path.
    ASSERT_EQ(
        NSFNoteAttachFile(h, "$FILE", 5, (dir + "/new.txt").c_str(), "C:\\\\Users\\\\jd\\\\report.txt", 0),
        NOERROR);
    ASSERT_EQ(doc.Save(), LNNOERROR);
    ASSERT_EQ(doc.GetAttachments(&list), LNNOERROR);
    ASSERT_EQ(list.GetCount(), 3);
    EXPECT_EQ(list[2].GetAttachmentName(), "report.txt");
    ASSERT_EQ(list[2].Extract((dir + "/r.txt").c_str()), LNNOERROR);
    EXPECT_EQ(readFile(dir + "/r.txt"), "fresh");
    doc.Close();
    EXPECT_EQ(list[2].Extract((dir + "/r2.txt").c_str()), static_cast<LNSTATUS>(LNERR_NOTE_NOT_OPEN));
    EXPECT_EQ(LNAttachment().Extract("x"), static_cast<LNSTATUS>(LNERR_NULL_OBJECT));
}

TEST_F(NotesAttachments, RemovedAttachmentsAndDeletedNotesDropTheirBytes) {
    writeFile(dir + "/a.txt", "aaa");
    writeFile(dir + "/b.txt", "bbb");
    const std::string unid = memoWith({dir + "/a.txt", dir + "/b.txt"});
    LNDocument doc = openDoc(db, unid);
    auto objectIds = [&] {
        std::vector<DWORD> ids;
        for (const notes::Item& it : notes::handles::note(doc.GetNoteHandle())->items) {
            notes::files::FileObject f;
            if (notes::files::isFileItem(it) && notes::files::decode(it.value, &f)) {
                ids.push_back(f.objectId);
            }
        }
        return ids;
    };
    const std::vector<DWORD> before = objectIds();
    ASSERT_EQ(before.size(), 2u);
    std::string bytes;
    ASSERT_EQ(store()->objectBytes(before[0], &bytes), NOERROR);
    EXPECT_EQ(bytes, "aaa");

    // Saving again keeps the objects; removing the items drops them.
    ASSERT_EQ(doc.CreateItem("Subject", LNText("again")), LNNOERROR);
    ASSERT_EQ(doc.Save(), LNNOERROR);
    EXPECT_EQ(objectIds(), before);
    EXPECT_EQ(store()->objectBytes(before[1], &bytes), NOERROR);
    ASSERT_EQ(doc.DeleteItem("$FILE"), LNNOERROR);
    ASSERT_EQ(doc.Save(), LNNOERROR);
    EXPECT_FALSE(doc.HasAttachments());
    EXPECT_EQ(store()->objectBytes(before[0], &bytes), ERR_ITEM_NOT_FOUND);
    EXPECT_EQ(store()->objectBytes(before[1], &bytes), ERR_ITEM_NOT_FOUND);

    const std::string other = memoWith({dir + "/a.txt"});
    LNDocument second = openDoc(db, other);
    notes::files::FileObject f;
    ASSERT_TRUE(notes::files::decode(notes::handles::note(second.GetNoteHandle())->find("$FILE")->value, &f));
    const NOTEID id = second.GetNoteID();
    second.Close();
    ASSERT_EQ(NSFNoteDelete(db.GetDatabaseHandle(), id, 0), NOERROR);
    EXPECT_EQ(store()->objectBytes(f.objectId, &bytes), ERR_ITEM_NOT_FOUND);
}

TEST_F(NotesAttachments, SeededMailCarriesDeterministicBytes) {
    ASSERT_EQ(notes::templates::apply(*store(), notes::templates::Kind::Mail), NOERROR);
    notes::mail::Message m;
    m.from = "CN=Anna Berg/O=Acme";
    m.subject = "Report";
    m.posted = m.delivered = notes::ticksNow();
    m.attachments = {"report.pdf", "photo.jpg"};
    std::vector<NOTEID> ids;
    ASSERT_EQ(notes::mail::store(*store(), {m, m}, &ids), NOERROR);
    std::string first[2];
    for (int k = 0; k < 2; ++k) {
        LNDocument doc = openDoc(db, ids[static_cast<std::size_t>(k)]);
        LNAttachmentArray list;
        ASSERT_EQ(doc.GetAttachments(&list), LNNOERROR);
        ASSERT_EQ(list.GetCount(), 2);
        EXPECT_GE(list[0].GetFileSize(), 256);
        ASSERT_EQ(list[0].Extract((dir + "/x.pdf").c_str()), LNNOERROR);
        first[k] = readFile(dir + "/x.pdf");
        EXPECT_EQ(first[k].size(), static_cast<std::size_t>(list[0].GetFileSize()));
        EXPECT_EQ(first[k].rfind("%PDF-", 0), 0u);
        ASSERT_EQ(list[1].Extract((dir + "/x.jpg").c_str()), LNNOERROR);
        EXPECT_EQ(readFile(dir + "/x.jpg").substr(0, 3), "\xFF\xD8\xFF");
    }
    EXPECT_EQ(first[0], first[1]);
}

TEST_F(NotesAttachments, MimeBodyItemsWalkInOrderAfterARawMimeOpen) {
    notes::mime::Message m;
    ASSERT_TRUE(
        notes::mime::parseMessage("Subject: s\r\nContent-Type: multipart/alternative; boundary=b\r\n\r\n"
                                  "--b\r\nContent-Type: text/plain\r\n\r\nplain\r\n"
                                  "--b\r\nContent-Type: text/html\r\n\r\n<p>html</p>\r\n--b--\r\n",
                                  &m, nullptr));
    std::vector<std::pair<WORD, std::string>> parts;
    ASSERT_EQ(notes::mime::encodeParts(m, &parts), NOERROR);
    NOTEHANDLE h = NULLHANDLE;
    const DBHANDLE hDb = db.GetDatabaseHandle();
    ASSERT_EQ(NSFNoteCreate(hDb, &h), NOERROR);
    ASSERT_EQ(NSFItemAppend(h, ITEM_SUMMARY, "$NoteHasNativeMIME", 18, TYPE_TEXT, "1", 1), NOERROR);
    ASSERT_EQ(NSFItemAppend(h, ITEM_SUMMARY, "Subject", 7, TYPE_TEXT, "s", 1), NOERROR);
    for (const auto& [type, value] : parts) {
        ASSERT_EQ(NSFItemAppend(h, ITEM_SUMMARY, "Body", 4, TYPE_MIME_PART, value.data(),
                                static_cast<DWORD>(value.size())),
                  NOERROR);
    }
    ASSERT_EQ(NSFNoteUpdate(h, 0), NOERROR);
    NOTEID id = 0;
    NSFNoteGetInfo(h, _NOTE_ID, &id);
    NSFNoteClose(h);

    ASSERT_EQ(NSFNoteOpenExt(hDb, id, OPEN_RAW_MIME, &h), NOERROR);
    EXPECT_EQ(NSFItemInfo(h, "$NoteHasNativeMIME", 18, nullptr, nullptr, nullptr, nullptr), NOERROR);
    EXPECT_EQ(NSFItemInfo(h, "$NoHasNativeMIME", 16, nullptr, nullptr, nullptr, nullptr), ERR_ITEM_NOT_FOUND);
    BLOCKID item{}, value{};
    WORD type = 0;
    DWORD length = 0;
    std::vector<BYTE> seen;
    std::string texts;
    STATUS s = NSFItemInfo(h, "Body", 4, &item, &type, &value, &length);
    while (s == NOERROR) {
        char name[81] = {};
        WORD nameLength = 0;
        NSFItemQuery(h, item, name, sizeof name, &nameLength, nullptr, &type, &value, &length);
        EXPECT_STREQ(name, "Body");
        EXPECT_EQ(type, TYPE_MIME_PART);
        const char* p = OSLockBlock(char, value);
        WORD typeWord = 0;
        std::memcpy(&typeWord, p, 2);
        EXPECT_EQ(typeWord, TYPE_MIME_PART);
        void* cursor = const_cast<char*>(p + 2);
        MIME_PART record{};
        ODSReadMemory(&cursor, _MIME_PART, &record, 1);
        seen.push_back(record.cPartType);
        texts.append(static_cast<const char*>(cursor), record.wByteCount);
        OSUnlockBlock(value);
        s = NSFItemInfoNext(h, item, "Body", 4, &item, &type, &value, &length);
    }
    EXPECT_EQ(ERR(s), ERR_ITEM_NOT_FOUND);
    EXPECT_EQ(seen, (std::vector<BYTE>{MIME_PART_MESSAGE, MIME_PART_BODY, MIME_PART_BODY, MIME_PART_EPILOG}));
    EXPECT_NE(texts.find("\r\n--b\r\nContent-Type: text/html\r\n\r\n<p>html</p>\r\n"), std::string::npos);
    const auto leaves = notes::mime::leafParts(*notes::handles::note(h));
    ASSERT_EQ(leaves.size(), 2u);
    EXPECT_EQ(leaves[1].content, "<p>html</p>");
    NSFNoteClose(h);
}

TEST_F(NotesAttachments, CopiesOwnTheirBytes) {
    writeFile(dir + "/a.txt", "copied bytes");
    const std::string unid = memoWith({dir + "/a.txt"});
    createDb("CN=Mail1/O=Acme", "mail\\other");
    LNDatabase other;
    openDb(session, other, "mail\\other", "CN=Mail1/O=Acme");

    // A copy into another database, from the unopened source, and one in the same database made
    // through the C API from the raw item value.
    LNDocument source;
    ASSERT_EQ(db.GetDocument(LNUniversalID(unid.c_str()), &source), LNNOERROR);
    LNDocument elsewhere;
    ASSERT_EQ(other.CreateDocument(source, &elsewhere), LNNOERROR);
    ASSERT_EQ(elsewhere.Save(), LNNOERROR);
    LNDocument opened = openDoc(db, unid);
    const notes::Item* raw = notes::handles::note(opened.GetNoteHandle())->find("$FILE");
    NOTEHANDLE h = NULLHANDLE;
    ASSERT_EQ(NSFNoteCreate(db.GetDatabaseHandle(), &h), NOERROR);
    ASSERT_EQ(NSFItemAppend(h, ITEM_SUMMARY, "$FILE", 5, TYPE_OBJECT, raw->value.data(),
                            static_cast<DWORD>(raw->value.size())),
              NOERROR);
    ASSERT_EQ(NSFNoteUpdate(h, 0), NOERROR);
    opened.Close();

    // The source goes; both copies keep their bytes.
    ASSERT_EQ(NSFNoteDelete(db.GetDatabaseHandle(), source.GetNoteID(), 0), NOERROR);
    for (NOTEHANDLE note : {elsewhere.GetNoteHandle(), h}) {
        EXPECT_EQ(extract(note, 0).bytes, "copied bytes");
    }
    NSFNoteClose(h);
    elsewhere.Close();
    other.Close();
}
