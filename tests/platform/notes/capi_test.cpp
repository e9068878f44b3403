// The C API: errors, memory handles, databases, notes and raw items.
#include "fixture.h"

#include "runtime.h"
#include "store.h"

#include <cstring>
#include <vector>

TEST(NotesErrors, TextsOfTheRaisedStatuses) {
    char buf[200];
    EXPECT_GT(OSLoadString(nullptr, ERR_ITEM_NOT_FOUND, buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "Note item not found");
    OSLoadString(nullptr, 0x8000 | ERR_ITEM_NOT_FOUND, buf, sizeof buf); // flag bits are masked off
    EXPECT_STREQ(buf, "Note item not found");
    for (int s : {ERR_NOEXIST, ERR_SERVER_NOT_RESPONDING, ERR_PATH_NOT_ALLOWED, ERR_INVALID_NOTE,
                  ERR_NOTE_DELETED, LNERR_INVALID_UNID, LNERR_DATABASE_NOT_OPEN}) {
        OSLoadString(nullptr, static_cast<STATUS>(s), buf, sizeof buf);
        EXPECT_EQ(std::string(buf).find("Unknown"), std::string::npos) << s;
    }
    OSLoadString(nullptr, 0x1234, buf, sizeof buf);
    EXPECT_STREQ(buf, "Unknown error 0x1234");
    EXPECT_EQ(ERR(0xC222), 0x0222);
    // The class library's text is cut to its buffer.
    EXPECT_EQ(LNGetErrorMessageText(ERR_NOEXIST, buf, sizeof buf), 19);
    EXPECT_STREQ(buf, "File does not exist");
    char small[5];
    EXPECT_EQ(LNGetErrorMessageText(ERR_NOEXIST, small, sizeof small), 4);
    EXPECT_STREQ(small, "File");
}

TEST(NotesMemory, AllocLockUnlockFree) {
    DHANDLE h = NULLHANDLE;
    ASSERT_EQ(OSMemAlloc(BLK_MEM_ALLOC, 16, &h), NOERROR);
    ASSERT_NE(h, NULLHANDLE);
    char* p = static_cast<char*>(OSLockObject(h));
    ASSERT_NE(p, nullptr);
    std::memcpy(p, "hello", 6);
    EXPECT_TRUE(OSUnlockObject(h));
    EXPECT_FALSE(OSUnlockObject(h)); // not locked any more
    EXPECT_STREQ(static_cast<char*>(OSLockObject(h)), "hello");
    OSUnlockObject(h);
    DWORD size = 0;
    EXPECT_EQ(OSMemGetSize(h, &size), NOERROR);
    EXPECT_EQ(size, 16u);
    EXPECT_EQ(OSMemFree(h), NOERROR);
    EXPECT_EQ(OSMemFree(h), ERR_INVALID_HANDLE);
    EXPECT_EQ(OSLockObject(h), nullptr);
    EXPECT_EQ(OSLockObject(0xFFFFFFF0u), nullptr);
}

// Names of a database: both separators, canonical or common server name and any case reach the
// server's folder; nothing reaches outside it; unknown servers, missing and non-database files fail.
TEST_F(NotesTest, DatabaseNamesResolveInsideTheServersFolderOnly) {
    createDb("Mail1", "mail/jdoe");
    createDb("Mail1", "names");
    createDb("", "local");
    EXPECT_TRUE(std::filesystem::exists(dir + "/Mail1/mail/jdoe.nsf"));
    std::filesystem::create_directory(dir + "/Mail1/folder.nsf");
    writeFile(dir + "/Mail1/junk.nsf", "this is not a database file, just text that is long enough");
    const std::string outside = "Mail1!!" + dir + "/local.nsf";
    const struct {
        const char* path;
        STATUS open; // ERR_NOT_A_DATABASE: either it or ERR_DATABASE_DAMAGED
    } kCases[] = {
        {"CN=Mail1/O=Acme!!mail\\jdoe", NOERROR},
        {"Mail1!!mail/jdoe.nsf", NOERROR},
        {"mail1!!MAIL/JDOE", NOERROR},
        {"local", NOERROR}, // no server: the data directory itself
        {"Mail1!!../local", ERR_PATH_NOT_ALLOWED},
        {"Mail1!!mail/../../local.nsf", ERR_PATH_NOT_ALLOWED},
        {outside.c_str(), ERR_PATH_NOT_ALLOWED},
        {"Mail1!!C:\\notes\\data\\local.nsf", ERR_PATH_NOT_ALLOWED},
        {"CN=Nowhere/O=Acme!!names.nsf", ERR_SERVER_NOT_RESPONDING},
        {"Mail1!!missing.nsf", ERR_NOEXIST},
        {"Mail1!!folder.nsf", ERR_NOEXIST},
        {"Mail1!!junk.nsf", ERR_NOT_A_DATABASE},
    };
    for (const auto& c : kCases) {
        DBHANDLE h = NULLHANDLE;
        const STATUS s = NSFDbOpen(c.path, &h);
        if (c.open == ERR_NOT_A_DATABASE) {
            EXPECT_TRUE(s == ERR_NOT_A_DATABASE || s == ERR_DATABASE_DAMAGED) << c.path << ": " << s;
        } else {
            EXPECT_EQ(s, c.open) << c.path;
        }
        if (s == NOERROR) {
            EXPECT_EQ(NSFDbClose(h), NOERROR);
            EXPECT_EQ(NSFDbClose(h), ERR_INVALID_HANDLE);
        }
    }
    EXPECT_EQ(NSFDbCreate("Mail1!!../escape", DBCLASS_NOTEFILE, FALSE), ERR_PATH_NOT_ALLOWED);
    EXPECT_FALSE(std::filesystem::exists(dir + "/escape.nsf"));
    EXPECT_EQ(NSFDbCreate("Nowhere!!names.nsf", DBCLASS_NOTEFILE, FALSE), ERR_SERVER_NOT_RESPONDING);
    EXPECT_EQ(NSFDbCreate("Mail1!!names.nsf", DBCLASS_NOTEFILE, FALSE), ERR_EXISTS);
}

namespace {

// Appends one item of each basic type, saves, and returns the note id.
NOTEID writeAllTypes(DBHANDLE hDb) {
    NOTEHANDLE hNote = NULLHANDLE;
    EXPECT_EQ(NSFNoteCreate(hDb, &hNote), NOERROR);
    const double number = 42.5;
    TIMEDATE when{};
    EXPECT_EQ(ConvertTextToTIMEDATE("01/01/2005 3:00:00 PM", 80, &when), NOERROR);
    const std::string list = notes::ods::encodeTextList({"a", "bc"});
    const std::string numbers = notes::ods::encodeNumbers({1, 2, 3});
    const std::string times = notes::ods::encodeTimes({when, when}, {});
    EXPECT_EQ(NSFItemAppend(hNote, ITEM_SUMMARY, "Text", 4, TYPE_TEXT, "hello", 5), NOERROR);
    EXPECT_EQ(NSFItemAppend(hNote, ITEM_SUMMARY, "TextList", 0, TYPE_TEXT_LIST, list.data(), list.size()),
              NOERROR);
    EXPECT_EQ(NSFItemAppend(hNote, ITEM_SUMMARY, "Number", 0, TYPE_NUMBER, &number, sizeof number), NOERROR);
    EXPECT_EQ(NSFItemAppend(hNote, 0, "Numbers", 0, TYPE_NUMBER_RANGE, numbers.data(), numbers.size()),
              NOERROR);
    EXPECT_EQ(NSFItemAppend(hNote, ITEM_SUMMARY, "Time", 0, TYPE_TIME, &when, sizeof when), NOERROR);
    EXPECT_EQ(NSFItemAppend(hNote, ITEM_SUMMARY, "Times", 0, TYPE_TIME_RANGE, times.data(), times.size()),
              NOERROR);
    EXPECT_EQ(NSFItemAppend(hNote, 0, "Body", 4, TYPE_MIME_PART, "\x01\x02", 2), NOERROR);
    EXPECT_EQ(NSFNoteUpdate(hNote, 0), NOERROR);
    NOTEID id = 0;
    NSFNoteGetInfo(hNote, _NOTE_ID, &id);
    EXPECT_EQ(NSFNoteClose(hNote), NOERROR);
    return id;
}

} // namespace

TEST_F(NotesTest, ItemTypeCodesAndNoteInfoRoundTrip) {
    createDb("Mail1", "types");
    DBHANDLE hDb = NULLHANDLE;
    ASSERT_EQ(NSFDbOpen("Mail1!!types", &hDb), NOERROR);
    const NOTEID id = writeAllTypes(hDb);
    EXPECT_EQ(id % 4, 0u);
    NSFDbClose(hDb);

    ASSERT_EQ(NSFDbOpen("Mail1!!types", &hDb), NOERROR);
    NOTEHANDLE hNote = NULLHANDLE;
    ASSERT_EQ(NSFNoteOpen(hDb, id, 0, &hNote), NOERROR);
    const struct {
        const char* name;
        WORD type;
    } expected[] = {{"text", TYPE_TEXT},     {"TEXTLIST", TYPE_TEXT_LIST},
                    {"Number", TYPE_NUMBER}, {"numbers", TYPE_NUMBER_RANGE},
                    {"Time", TYPE_TIME},     {"Times", TYPE_TIME_RANGE},
                    {"body", TYPE_MIME_PART}};
    for (const auto& e : expected) {
        BLOCKID item{}, value{};
        WORD type = 0;
        DWORD length = 0;
        ASSERT_EQ(
            NSFItemInfo(hNote, e.name, static_cast<WORD>(std::strlen(e.name)), &item, &type, &value, &length),
            NOERROR)
            << e.name;
        EXPECT_EQ(type, e.type) << e.name;
        // The value block starts with the type word.
        WORD stored = 0;
        std::memcpy(&stored, OSLockBlock(char, value), sizeof stored);
        OSUnlockBlock(value);
        EXPECT_EQ(stored, e.type);
    }
    char text[100];
    EXPECT_EQ(NSFItemConvertToText(hNote, "TextList", text, sizeof text, ';'), 4);
    EXPECT_STREQ(text, "a;bc");
    NSFItemConvertToText(hNote, "Numbers", text, sizeof text, ';');
    EXPECT_STREQ(text, "1;2;3");
    NSFItemConvertToText(hNote, "Time", text, sizeof text, ';');
    EXPECT_STREQ(text, "01/01/2005 03:00:00 PM");
    EXPECT_EQ(NSFItemGetTextListEntries(hNote, "textlist"), 2);
    EXPECT_EQ(NSFItemGetTextListEntry(hNote, "textlist", 1, text, sizeof text), 2);
    EXPECT_STREQ(text, "bc");
    EXPECT_EQ(NSFItemInfo(hNote, "Missing", 7, nullptr, nullptr, nullptr, nullptr), ERR_ITEM_NOT_FOUND);
    NSFNoteClose(hNote);

    // The originator id, a response's parent reference, and a closed note handle refused.
    ORIGINATORID oid{};
    WORD noteClass = 0;
    ASSERT_EQ(NSFDbGetNoteInfo(hDb, id, &oid, nullptr, &noteClass), NOERROR);
    EXPECT_EQ(noteClass, NOTE_CLASS_DOCUMENT);
    EXPECT_EQ(oid.Sequence, 1u);
    // The parent reference of a response: a count of 1 and the 16-byte UNID.
    NOTEHANDLE hReply = NULLHANDLE;
    ASSERT_EQ(NSFNoteCreate(hDb, &hReply), NOERROR);
    char ref[18];
    const WORD one = 1;
    std::memcpy(ref, &one, 2);
    std::memcpy(ref + 2, &oid.File, 8);
    std::memcpy(ref + 10, &oid.Note, 8);
    ASSERT_EQ(NSFItemAppend(hReply, ITEM_SUMMARY, "$RFSaveInfo", 11, TYPE_NOTEREF_LIST, ref, 18), NOERROR);
    ASSERT_EQ(NSFNoteUpdate(hReply, 0), NOERROR);
    NSFItemConvertToText(hReply, "$RFSaveInfo", text, sizeof text, ';');
    UNID unid{oid.File, oid.Note};
    EXPECT_EQ(text, notes::unidToText(unid));
    EXPECT_EQ(NSFNoteComputeWithForm(hReply, NULLHANDLE, 0, nullptr, nullptr), NOERROR);
    NSFNoteClose(hReply);
    EXPECT_EQ(NSFNoteComputeWithForm(hReply, NULLHANDLE, 0, nullptr, nullptr), ERR_INVALID_HANDLE);
    EXPECT_EQ(NSFDbGetNoteInfo(hDb, 0x7FFFFFFC, &oid, nullptr, nullptr), ERR_INVALID_NOTE);
    NSFDbClose(hDb);
}

TEST_F(NotesTest, ItemsOfOneNameAreWalkedAndDeletedOneByOne) {
    createDb("Mail1", "mime");
    DBHANDLE hDb = NULLHANDLE;
    ASSERT_EQ(NSFDbOpen("Mail1!!mime", &hDb), NOERROR);
    NOTEHANDLE hNote = NULLHANDLE;
    ASSERT_EQ(NSFNoteCreate(hDb, &hNote), NOERROR);
    for (const char* part : {"one", "two", "three"}) {
        NSFItemAppend(hNote, ITEM_SUMMARY, "Body", 4, TYPE_MIME_PART, part,
                      static_cast<DWORD>(std::strlen(part)));
        NSFItemAppend(hNote, ITEM_SUMMARY, "Other", 5, TYPE_TEXT, "x", 1);
    }
    std::vector<std::string> seen;
    BLOCKID item{}, value{};
    DWORD length = 0;
    STATUS s = NSFItemInfo(hNote, "Body", 4, &item, nullptr, &value, &length);
    while (s == NOERROR) {
        seen.emplace_back(OSLockBlock(char, value) + 2, length - 2);
        OSUnlockBlock(value);
        char name[80];
        WORD nameLength = 0, flags = 0, type = 0;
        NSFItemQuery(hNote, item, name, sizeof name, &nameLength, &flags, &type, nullptr, nullptr);
        EXPECT_STREQ(name, "Body");
        EXPECT_EQ(flags, ITEM_SUMMARY);
        s = NSFItemInfoNext(hNote, item, "Body", 4, &item, nullptr, &value, &length);
    }
    EXPECT_EQ(s, ERR_ITEM_NOT_FOUND);
    EXPECT_EQ(seen, (std::vector<std::string>{"one", "two", "three"}));
    // A deletion takes the first item of the name only; the other name's items stay.
    int deleted = 0;
    while (NSFItemDelete(hNote, "Body", 4) == NOERROR)
        ++deleted;
    EXPECT_EQ(deleted, 3);
    EXPECT_TRUE(NSFItemIsPresent(hNote, "Other", 5));
    const std::size_t before = notes::handles::count();
    NSFNoteClose(hNote); // frees the value blocks handed out
    EXPECT_EQ(notes::handles::count(), before - 1 - 3);
    NSFDbClose(hDb);
}

TEST_F(NotesTest, DataDirectoryComesFromTheEnvironmentThenTheIniFile) {
    char path[MAXPATH];
    OSGetDataDirectory(path);
    EXPECT_EQ(std::string(path), dir);
    const std::string ini = dir + "/custom.ini";
    std::filesystem::create_directory(dir + "/other");
    {
        std::FILE* f = std::fopen(ini.c_str(), "w");
        std::fprintf(f, "[Notes]\nKeyFilename=user.id\ndirectory = %s/other\n", dir.c_str());
        std::fclose(f);
    }
    LNNotesSession s;
    ASSERT_EQ(s.Init(300, 0, nullptr, FALSE, ini.c_str()), LNNOERROR);
    EXPECT_EQ(s.GetDataDirectory(), LNString(dir + "/other"));
    s.Term();
    setenv("NOTES_DATA_DIR", (dir + "/missing").c_str(), 1);
    LNNotesSession bad;
    EXPECT_EQ(bad.Init(), static_cast<LNSTATUS>(ERR_NO_DATA_DIRECTORY));
    EXPECT_FALSE(bad.IsInitialized());
}

TEST(NotesIdTables, InsertDeleteScan) {
    DHANDLE t = NULLHANDLE;
    ASSERT_EQ(IDCreateTable(sizeof(NOTEID), &t), NOERROR);
    BOOL done = FALSE;
    for (NOTEID id : {12u, 4u, 8u, 4u}) {
        IDInsert(t, id, &done);
    }
    EXPECT_FALSE(done); // 4 was there already
    EXPECT_EQ(IDEntries(t), 3u);
    EXPECT_TRUE(IDIsPresent(t, 8));
    EXPECT_FALSE(IDIsPresent(t, 16));
    std::vector<NOTEID> seen;
    NOTEID id = 0;
    for (BOOL first = TRUE; IDScan(t, first, &id); first = FALSE) {
        seen.push_back(id);
    }
    EXPECT_EQ(seen, (std::vector<NOTEID>{4, 8, 12}));
    // Locked, the table reads as a count and the ids in order.
    const auto* raw = static_cast<const DWORD*>(OSLockObject(t));
    EXPECT_EQ(raw[0], 3u);
    EXPECT_EQ(raw[1], 4u);
    OSUnlockObject(t);
    IDDelete(t, 8, &done);
    EXPECT_TRUE(done);
    EXPECT_EQ(IDDeleteAll(t), NOERROR);
    EXPECT_EQ(IDEntries(t), 0u);
    EXPECT_EQ(IDDestroyTable(t), NOERROR);
    EXPECT_EQ(IDInsert(t, 4, &done), ERR_INVALID_HANDLE);
}
