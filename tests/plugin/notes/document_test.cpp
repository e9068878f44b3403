// NotesDocument item access on real documents of the stand-in.
#include "ProviderFixture.h"

#include "Lattice/DateTimeUtil.h"
#include "notes/admin/templates.h" // the stand-in's database templates

#include <cstring>
#include <tuple>

using Lattice::Data;
using Lattice::String;

namespace {

class DocumentTest : public ProviderTest {
protected:
    void SetUp() override {
        ProviderTest::SetUp();
        if (HasFatalFailure())
            return;
        mailFile->lockHandle();
        ASSERT_TRUE(mailFile->isOpen());
    }

    // A saved memo with a few items; returns its UNID text.
    String savedMemo() {
        hx::NotesDocument doc(provider, "Memo", mailFile);
        String subject("Lunch");
        doc.setItemString("Subject", subject);
        doc.setInt("Importance", 2);
        doc.save();
        return doc.getId();
    }

    static Lattice::_DateTimeData dateTime(int y, int mo, int d, int h, int mi, int s, long zone) {
        Lattice::_DateTimeData dt;
        dt.setFullYear(y);
        dt.month = static_cast<short>(mo);
        dt.day = static_cast<short>(d);
        dt.hour = static_cast<short>(h);
        dt.minute = static_cast<short>(mi);
        dt.second = static_cast<short>(s);
        dt.zoneOffset = zone;
        return dt;
    }
};

} // namespace

TEST_F(DocumentTest, NewDocumentGetsItsIdAtTheFirstSave) {
    hx::NotesDocument doc(provider, "Memo", mailFile);
    EXPECT_FALSE(doc.loadFailed());
    EXPECT_FALSE(doc.isFolder());
    EXPECT_TRUE(doc.getId().isEmpty());
    EXPECT_EQ(doc.getItemString("Form", false), "Memo");
    EXPECT_EQ(doc.save(), 0);
    ASSERT_EQ(doc.getId().length(), 32);
    EXPECT_NE(doc.getNoteId(), 0u);
    const String first = doc.getId();
    EXPECT_EQ(doc.save(), 0);
    EXPECT_EQ(doc.getId(), first) << "the id stays with the document";

    String id = first;
    hx::NotesDocument again(id, provider, mailFile, false);
    EXPECT_FALSE(again.loadFailed());
    EXPECT_EQ(again.getNoteId(), doc.getNoteId());
}

TEST_F(DocumentTest, OpeningWhatIsNotThereFails) {
    String malformed("xyz");
    hx::NotesDocument bad(malformed, provider, mailFile, false);
    EXPECT_TRUE(bad.loadFailed());
    String unknown("0123456789ABCDEF0123456789ABCDEF");
    hx::NotesDocument missing(unknown, provider, mailFile, false);
    EXPECT_TRUE(missing.loadFailed());
    // Every item access on a failed object is harmless.
    EXPECT_TRUE(missing.getItemString("Subject", true).isEmpty());
    String value("x");
    missing.setItemString("Subject", value);
    EXPECT_EQ(missing.getInt("Size", 7), 7);

    hx::NotesDocument noDatabase(unknown, provider, nullptr, false);
    EXPECT_TRUE(noDatabase.loadFailed());
}

TEST_F(DocumentTest, FailedCreateAndSaveReportOnStandardOutput) {
    hx::NotesDatabase missing("Mail1", "mail/nobody", provider);
    testing::internal::CaptureStdout();
    hx::NotesDocument doc(provider, "Memo", &missing);
    EXPECT_NE(doc.save(), 0);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.rfind("Error:  ", 0), 0u) << out;
    EXPECT_TRUE(doc.loadFailed());
    EXPECT_TRUE(doc.getId().isEmpty());
    EXPECT_FALSE(LNGetThrowAllErrorsGlobal());
}

TEST_F(DocumentTest, MissingItemsReadAsEmptyOrDefault) {
    hx::NotesDocument doc(provider, "Memo", mailFile);
    EXPECT_TRUE(doc.getItemString("Nothing", true).isEmpty());
    EXPECT_TRUE(doc.getItemName("Nothing", 1, true).isEmpty());
    EXPECT_TRUE(doc.getItemTextRT("Nothing", true).isEmpty());
    EXPECT_EQ(doc.getItemTextList("Nothing").GetCount(), 0);
    EXPECT_EQ(doc.getInt("Nothing", -5), -5);
    EXPECT_TRUE(doc.getDate("Nothing", true).isEmpty());
    EXPECT_TRUE(doc.getDate("Form", true).isEmpty()) << "a text item is no date";
    EXPECT_EQ(doc.getInt("Form", 3), 3) << "a text item is no number";
    EXPECT_TRUE(doc.getItemTextRT("Form", false).isEmpty()) << "a text item is no rich text";
    EXPECT_TRUE(doc.getItemString("", false).isEmpty());
}

TEST_F(DocumentTest, NumbersAreStoredAsUnsigned32Bit) {
    hx::NotesDocument doc(provider, "Memo", mailFile);
    doc.setInt("Count", -1);
    EXPECT_EQ(doc.getInt("Count", 0), 4294967295L);
    LNNumbers stored;
    ASSERT_EQ(doc.getNote()->GetItem("Count", &stored), LNNOERROR);
    EXPECT_EQ(stored[0], 4294967295.0);
    doc.setInt("Count", 12);
    EXPECT_EQ(doc.getInt("Count", 0), 12);
    EXPECT_EQ(doc.getNote()->GetItemCount(), 2) << "replaced in place, not added";

    // Any existing item takes the number.
    String text("twelve");
    doc.setItemString("Mixed", text);
    doc.setInt("Mixed", 5);
    EXPECT_EQ(doc.getInt("Mixed", 0), 5);
    EXPECT_TRUE(doc.getItemString("Mixed", false).isEmpty());
}

TEST_F(DocumentTest, TextNamesAndConversion) {
    hx::NotesDocument doc(provider, "Memo", mailFile);
    String name("CN=John Doe/O=Acme");
    doc.setItemString("From", name);
    EXPECT_EQ(doc.getItemName("From", 1, true), "John Doe/Acme");
    EXPECT_EQ(doc.getItemName("From", 0, true), "CN=John Doe/O=Acme");
    EXPECT_EQ(doc.getItemName("From", 7, true), "CN=John Doe/O=Acme");
    String abbreviated("John Doe/Acme");
    doc.setItemString("Principal", abbreviated);
    EXPECT_EQ(doc.getItemName("Principal", 0, false), "CN=John Doe/O=Acme");

    String latin("Caf\xE9");
    doc.setItemString("Subject", latin);
    EXPECT_EQ(doc.getItemString("Subject", false), "Caf\xE9");
    EXPECT_EQ(doc.getItemString("Subject", true), "Caf\xC3\xA9");

    String rich("first line\nsecond line");
    doc.setItemTextRT("Body", rich);
    EXPECT_EQ(doc.getItemTextRT("Body", false), rich);
    String replaced("only line");
    doc.setItemTextRT("Body", replaced);
    EXPECT_EQ(doc.getItemTextRT("Body", false), replaced);
    EXPECT_TRUE(doc.getItemString("Body", false).isEmpty()) << "rich text is not a text item";
}

TEST_F(DocumentTest, TextListsAppendReplaceAndCreate) {
    hx::NotesDocument doc(provider, "Memo", mailFile);
    LNText three;
    three << "a"
          << "b"
          << "c";
    doc.setItemTextList("SendTo", three, false);
    LNText two;
    two << "d"
        << "e";
    doc.setItemTextList("SendTo", two, true);
    LNText all = doc.getItemTextList("SendTo");
    ASSERT_EQ(all.GetCount(), 5);
    EXPECT_EQ(all[0], "a");
    EXPECT_EQ(all[3], "d");
    EXPECT_EQ(all[4], "e");

    doc.setItemTextList("SendTo", two, false);
    all = doc.getItemTextList("SendTo");
    ASSERT_EQ(all.GetCount(), 2);
    EXPECT_EQ(all[0], "d");

    // The list handed out is a copy: changing it leaves the note alone.
    all.Append("f");
    EXPECT_EQ(doc.getItemTextList("SendTo").GetCount(), 2);

    // Appending a list to itself doubles it.
    LNText self = doc.getItemTextList("SendTo");
    doc.setItemTextList("SendTo", self, true);
    EXPECT_EQ(doc.getItemTextList("SendTo").GetCount(), 4);

    testing::internal::CaptureStdout();
    doc.dumpItemTextList(two);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "text item contents=d;e\n");
}

// Written with or without their time, read back as date-times in GMT or as dates.
TEST_F(DocumentTest, DatesReadBackInGmtOrAsTheirDate) {
    Lattice::_DateData due;
    due.setFullYear(2007);
    due.month = 3;
    due.day = 9;
    const struct {
        const char* what;
        const char* item; // a fresh item is created, a repeated one replaced
        Data written;
        bool withTime, readWithTime;
        Data expected;
    } cases[] = {
        // 10:30:45 in New York winter (5 hours west of GMT); written times are exact to the minute.
        {"GMT", "PostedDate", Data(dateTime(2006, 2, 14, 10, 30, 45, 300)), true, true,
         Data(dateTime(2006, 2, 14, 15, 30, 0, 0))},
        {"crossing midnight into GMT", "PostedDate", Data(dateTime(2006, 12, 31, 23, 0, 0, 300)), true, true,
         Data(dateTime(2007, 1, 1, 4, 0, 0, 0))},
        {"read as a date, the local date stays", "PostedDate", Data(dateTime(2006, 12, 31, 23, 0, 0, 300)),
         true, false, Data(dateTime(2006, 12, 31, 0, 0, 0, 0).date())},
        {"a date alone", "DueDate", Data(due), false, false, Data(due)},
        {"a date-time cut to its date", "StartDate", Data(dateTime(2008, 7, 1, 22, 15, 0, -120)), false,
         false, Data(dateTime(2008, 7, 1, 0, 0, 0, 0).date())},
    };
    hx::NotesDocument doc(provider, "Memo", mailFile);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        bool ok = true;
        doc.setDate(c.item, c.written, true, c.withTime, ok);
        EXPECT_TRUE(ok);
        const Data read = doc.getDate(c.item, c.readWithTime);
        ASSERT_EQ(read.type(), c.expected.type());
        if (c.readWithTime) {
            EXPECT_EQ(read.toDateTime(), c.expected.toDateTime());
        } else {
            EXPECT_EQ(read.toDate(), c.expected.toDate());
        }
    }
    // A time without date ("3:20 PM" template) is taken.
    bool ok = true;
    doc.setDate("Alarm", Data(dateTime(2008, 7, 1, 9, 5, 0, 0)), false, true, ok);
    EXPECT_TRUE(ok);
}

TEST_F(DocumentTest, DatesThatAreNoDatesLeaveTheDocumentAlone) {
    hx::NotesDocument doc(provider, "Memo", mailFile);
    const LNINT items = doc.getNote()->GetItemCount();
    // Fields Notes cannot hold are refused as empty values are, and so is any write after a caller's
    // earlier failure.
    const std::tuple<const char*, Data, bool, bool> refused[] = {
        {"PostedDate", Data(Lattice::_DateTimeData{}), true, true},
        {"DueDate", Data(Lattice::_DateData{}), false, true},
        {"DueDate", Data(), false, true},
        {"PostedDate", Data(dateTime(2006, 13, 1, 10, 0, 0, 0)), true, true},
        {"PostedDate", Data(dateTime(2006, 2, 30, 10, 0, 0, 0)), true, true},
        {"PostedDate", Data(dateTime(2006, 2, 14, 10, 0, 0, 0)), true, false},
    };
    for (const auto& [item, value, withTime, okBefore] : refused) {
        bool ok = okBefore;
        doc.setDate(item, value, true, withTime, ok);
        EXPECT_FALSE(ok) << item;
    }
    EXPECT_EQ(doc.getNote()->GetItemCount(), items);
    EXPECT_FALSE(doc.getNote()->HasItem("PostedDate"));
    EXPECT_FALSE(doc.getNote()->HasItem("DueDate"));
}

TEST_F(DocumentTest, ASavedDocumentIsWrappedCopiedAndReopenedWithChangesMadeElsewhere) {
    String id = savedMemo();
    LNDocument source;
    ASSERT_EQ(mailFile->getDatabase()->GetDocument(hx::NotesDocument::getUniversalID(id), &source),
              LNNOERROR);

    hx::NotesDocument wrapped(provider, &source, mailFile, false);
    EXPECT_FALSE(wrapped.loadFailed());
    EXPECT_EQ(wrapped.getId(), id);
    EXPECT_EQ(wrapped.getItemString("Subject", false), "Lunch");

    hx::NotesDocument copy(provider, &source, mailFile, true);
    EXPECT_FALSE(copy.loadFailed());
    EXPECT_EQ(copy.getItemString("Subject", false), "Lunch");
    EXPECT_EQ(copy.getInt("Importance", 0), 2);
    EXPECT_EQ(copy.save(), 0);
    LNUniversalID copyId;
    ASSERT_EQ(copy.getNote()->GetUniversalID(&copyId), LNNOERROR);
    EXPECT_NE(copyId.GetText(), LNString(id.c_str())) << "the copy is a document of its own";

    // A new handle sees what another handle saved; once the document is gone it fails.
    hx::NotesDocument reader(id, provider, mailFile, false);
    ASSERT_FALSE(reader.loadFailed());
    {
        hx::NotesDocument writer(id, provider, mailFile, false);
        String subject("Dinner");
        writer.setItemString("Subject", subject);
        writer.save();
    }
    EXPECT_EQ(reader.getItemString("Subject", false), "Lunch");
    EXPECT_EQ(reader.newHandle(), 0);
    EXPECT_EQ(reader.getItemString("Subject", false), "Dinner");

    mailFile->deleteItem(id, provider);
    EXPECT_NE(reader.newHandle(), 0);
    EXPECT_TRUE(reader.loadFailed());
}

TEST_F(DocumentTest, ReferenceListPointsAtTheParent) {
    String parentId = savedMemo();
    hx::NotesDocument parent(parentId, provider, mailFile, false);
    hx::NotesDocument reply(provider, "Reply", mailFile);
    EXPECT_EQ(reply.setItemRefList("$RFSaveInfo", parent.getDocument()), 0);

    LNItem item;
    ASSERT_EQ(reply.getNote()->GetItem("$RFSaveInfo", &item), LNNOERROR);
    EXPECT_EQ(item.GetNotesType(), TYPE_NOTEREF_LIST);
    EXPECT_TRUE(item.GetFlags() & LNITEMFLAGS_SUMMARY);
    const std::string raw = item.GetRawValue();
    ASSERT_EQ(raw.size(), 18u);
    WORD count = 0;
    std::memcpy(&count, raw.data(), sizeof count);
    EXPECT_EQ(count, 1);
    UNID unid{};
    std::memcpy(&unid, raw.data() + 2, sizeof unid);
    EXPECT_EQ(LNUniversalID(unid).GetText(), LNString(parentId.c_str()));

    LNDocument unsaved;
    EXPECT_NE(reply.setItemRefList("$RFSaveInfo", &unsaved), 0);
    EXPECT_NE(reply.setItemRefList("$RFSaveInfo", nullptr), 0);
    LNSetThrowAllErrorsGlobal(FALSE);
}

TEST_F(DocumentTest, ComputeWithForm) {
    hx::NotesDocument doc(provider, "Memo", mailFile);
    EXPECT_EQ(doc.computeWithForm(), 0);
    hx::NotesDocument empty;
    EXPECT_THROW(empty.computeWithForm(), LNSTATUS);
}

// Written through one provider, read back through a new one after the first is gone.
TEST_F(DocumentTest, ItemsPersistAcrossSessions) {
    String id;
    {
        hx::NotesDocument doc(provider, "Memo", mailFile);
        String subject("Budget 2007");
        doc.setItemString("Subject", subject);
        doc.setInt("Size", 1234);
        LNText to;
        to << "CN=Ann Lee/O=Acme"
           << "CN=Bob Ray/O=Acme";
        doc.setItemTextList("SendTo", to, false);
        bool ok = true;
        doc.setDate("PostedDate", Data(dateTime(2007, 5, 4, 8, 15, 0, 0)), true, true, ok);
        String body("Numbers attached.");
        doc.setItemTextRT("Body", body);
        ASSERT_EQ(doc.save(), 0);
        id = doc.getId();
    }
    mailFile->unlockHandle();
    mailFile->release();
    mailFile = nullptr;
    provider->release();
    provider = nullptr;

    provider = makeProvider();
    ASSERT_TRUE(provider->getSession()->IsInitialized());
    mailFile = new hx::NotesDatabase("CN=Mail1/O=Acme", "mail\\jdoe", provider);
    mailFile->addRef();
    mailFile->lockHandle();
    hx::NotesDocument doc(id, provider, mailFile, false);
    ASSERT_FALSE(doc.loadFailed());
    EXPECT_EQ(doc.getItemString("Subject", false), "Budget 2007");
    EXPECT_EQ(doc.getInt("Size", 0), 1234);
    EXPECT_EQ(doc.getItemTextList("SendTo").GetCount(), 2);
    EXPECT_EQ(doc.getItemName("SendTo", 1, true), "Ann Lee/Acme");
    EXPECT_EQ(doc.getDate("PostedDate", true).toDateTime().hour, 8);
    EXPECT_EQ(doc.getItemTextRT("Body", false), "Numbers attached.");
    EXPECT_EQ(doc.getItemString("Form", false), "Memo");
}

TEST_F(DocumentTest, FolderModeOpensAViewByNameAndReopensIt) {
    ASSERT_EQ(NSFDbDelete("Mail1!!names.nsf"), NOERROR);
    ASSERT_EQ(notes::templates::create("Mail1", "names.nsf", notes::templates::Kind::Directory), NOERROR);
    hx::NotesDatabase directory("CN=Mail1/O=Acme", "names.nsf", provider);
    directory.lockHandle();
    ASSERT_TRUE(directory.isOpen());

    String name("($users)"); // view names compare without case
    hx::NotesDocument view(name, provider, &directory, true);
    EXPECT_FALSE(view.loadFailed());
    EXPECT_TRUE(view.isFolder());
    const String first = view.getId();
    ASSERT_EQ(first.length(), 32) << "a folder's id is its view note's UNID";
    EXPECT_EQ(view.newHandle(), 0);
    EXPECT_FALSE(view.loadFailed());
    EXPECT_EQ(view.getId(), first);

    String missing("($NoSuchView)");
    hx::NotesDocument none(missing, provider, &directory, true);
    EXPECT_TRUE(none.loadFailed());
    EXPECT_TRUE(none.isFolder());
    EXPECT_NE(none.newHandle(), 0) << "reopening what is not there fails again, harmlessly";
    directory.unlockHandle();
}
