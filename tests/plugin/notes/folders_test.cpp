// The folder tree, sorting, index labels, pages, read marks and deletion through the provider.
#include "MailFixture.h"

#include <climits>
#include <cstring>
#include <functional>

// Memo specs name only the fields a case cares about.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

#include "mail/NotesMessage.h"
#include "notes/NotesAddressBook.h"

#include "hxMail/Contact.h"
#include "hxMail/Message.h"

namespace {

class FolderTest : public MailTest {
protected:
    // Ten memos "m00".."m09" in the inbox, listed by subject.
    void addTen() {
        for (int i = 0; i < 10; ++i) {
            char subject[8];
            std::snprintf(subject, sizeof subject, "m%02d", i);
            ids.push_back(addMemo({.subject = subject}, &unids.emplace_back()));
        }
    }

    std::vector<std::string> page(const std::string& folder, long start, long count) {
        Lattice::ObjectCollection items;
        EXPECT_EQ(provider->getFolderItemsPage(folder.c_str(), start, count, &items), 0);
        return subjects(items);
    }

    std::vector<std::string> index(const std::string& folder, long pageSize) {
        Lattice::ObjectCollection labels;
        Lattice::String type;
        EXPECT_EQ(provider->getSortIndex(folder.c_str(), "", pageSize, &labels, type, 0), 0);
        EXPECT_EQ(type, "string");
        std::vector<std::string> out;
        for (const Lattice::Data& d : labels)
            out.push_back(d.toString(false).c_str());
        return out;
    }

    void sort(const std::string& folder, const char* column, bool ascending) {
        Lattice::String selected;
        ASSERT_EQ(provider->setSortContext(column, folder.c_str(), ascending, "", selected), 0);
        EXPECT_EQ(selected, folder.c_str());
    }

    hx::NotesFolder* folder(const char* name) { return provider->findFolder(folderId(name).c_str()); }

    std::vector<NOTEID> ids;
    std::vector<std::string> unids;
};

using Subjects = std::vector<std::string>;

TEST_F(FolderTest, MailFoldersInOrderThenContactsWithStableIds) {
    loginAndList();
    ASSERT_EQ(folders.count(), 6);
    const char* names[] = {"Inbox", "Drafts", "Sent Items", "Tasks", "Calendar", "Contacts"};
    const hxMail::_FolderType kinds[] = {hxMail::FolderTypeInbox,     hxMail::FolderTypeDrafts,
                                         hxMail::FolderTypeSentItems, hxMail::FolderTypeTasks,
                                         hxMail::FolderTypeCalendar,  hxMail::FolderTypeContacts};
    std::vector<std::string> firstIds;
    for (long i = 0; i < 6; ++i) {
        auto* f = folders[i].toObject<hxMail::Folder>();
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->get_displayName(), names[i]);
        EXPECT_EQ(f->folderType(), kinds[i]);
        EXPECT_TRUE(f->get_isSystem());
        EXPECT_TRUE(f->get_showPreview());
        EXPECT_FALSE(f->get_hasSubFolders());
        EXPECT_EQ(f->get_id().length(), 32u) << names[i];
        firstIds.push_back(f->get_id().c_str());
    }

    Lattice::ObjectCollection again;
    again.add(Lattice::Data("left over"));
    ASSERT_EQ(provider->getFolders("", mailboxId, &again), 0);
    ASSERT_EQ(again.count(), 6) << "the collection is emptied first";
    for (long i = 0; i < 6; ++i) {
        EXPECT_EQ(again[i].toObject<hxMail::Folder>()->get_id(), firstIds[i].c_str());
        EXPECT_NE(again[i].toObject<hxMail::Folder>(), folders[i].toObject<hxMail::Folder>())
            << "new objects";
    }
    EXPECT_EQ(provider->getUserMailDatabase()->getFolderMap().count(), 5);

    Lattice::ObjectCollection other;
    other.add(Lattice::Data("kept"));
    EXPECT_EQ(provider->getFolders("", "some other mailbox", &other), 0);
    EXPECT_EQ(other.count(), 1);
}

class MissingViewTest : public FolderTest {
protected:
    void SetUp() override {
        skipView = "($Calendar)";
        FolderTest::SetUp();
    }
};

TEST_F(MissingViewTest, AMissingViewStillGivesAFolderWithAnEmptyId) {
    loginAndList();
    ASSERT_EQ(folders.count(), 6);
    auto* calendar = folders[4].toObject<hxMail::Folder>();
    EXPECT_EQ(calendar->get_displayName(), "Calendar");
    EXPECT_TRUE(calendar->get_id().isEmpty());
    EXPECT_EQ(provider->findFolder(""), nullptr) << "an empty id finds nothing";
}

TEST_F(FolderTest, PagesAndTheirIndexLabelsAscendingAndDescendingAtTheEdges) {
    addTen();
    loginAndList();
    const std::string inbox = folderId("Inbox");
    sort(inbox, "subject", true);
    EXPECT_EQ(page(inbox, 0, 4), (Subjects{"m00", "m01", "m02", "m03", "m04"}))
        << "count + 1 inside the view";
    EXPECT_EQ(page(inbox, 8, 4), (Subjects{"m08", "m09"}));
    EXPECT_EQ(page(inbox, 9, 4), (Subjects{"m09"}));
    EXPECT_EQ(page(inbox, 25, 4), (Subjects{"m09"})) << "past the end: the last entry alone";

    sort(inbox, "subject", false);
    EXPECT_EQ(page(inbox, 0, 4), (Subjects{"m09", "m08", "m07", "m06"}));
    EXPECT_EQ(page(inbox, 8, 4), (Subjects{"m01", "m00"}));
    EXPECT_EQ(page(inbox, 10, 4), Subjects{});
    EXPECT_EQ(page(inbox, 25, 4), Subjects{});

    // Starts and counts near the largest long take the same rule, without overflowing.
    EXPECT_EQ(page(inbox, LONG_MAX, LONG_MAX), Subjects{});
    EXPECT_EQ(page(inbox, 0, LONG_MAX),
              (Subjects{"m09", "m08", "m07", "m06", "m05", "m04", "m03", "m02", "m01", "m00"}));
    sort(inbox, "subject", true);
    EXPECT_EQ(page(inbox, LONG_MAX, LONG_MAX), (Subjects{"m09"}));
    EXPECT_EQ(page(inbox, 9, LONG_MAX), (Subjects{"m09"}));
    EXPECT_EQ(page(inbox, 8, LONG_MAX - 1), (Subjects{"m08", "m09"}));

    const std::string log = logText();
    EXPECT_NE(log.find("Ascending - StartIndex=9"), std::string::npos);
    EXPECT_NE(log.find("Descending - endIndex=0"), std::string::npos);

    // The index labels the first and last entry of each page.
    sort(inbox, "subject", true);
    EXPECT_EQ(index(inbox, 4), (Subjects{"m00", "m03", "m04", "m07", "m08", "m09"}));
    EXPECT_EQ(index(inbox, 20), (Subjects{"m00", "m09"}));
    EXPECT_EQ(index(inbox, 1).size(), 20u) << "a one-entry page gives its label twice";
    sort(inbox, "subject", false);
    EXPECT_EQ(index(inbox, 4), (Subjects{"m09", "m06", "m05", "m02", "m01", "m00"}));
    EXPECT_EQ(index(inbox, 0), Subjects{});
}

// The labels of the page edges as the documents give them: every entry opened through a page read.
std::vector<std::string> labelsOfDocuments(hx::MailProvider* provider, const std::string& folder,
                                           const char* column, long pageSize) {
    Lattice::ObjectCollection items;
    EXPECT_EQ(provider->getFolderItemsPage(folder.c_str(), 0, LONG_MAX / 2, &items), 0);
    std::vector<std::string> out;
    for (long first = 0; first < items.count(); first += pageSize)
        for (const long at : {first, std::min(first + pageSize - 1, items.count() - 1)}) {
            Lattice::ObjectCollection label;
            hx::NotesMessage::indexLabel(column, items[at].toObject<hxMail::Message>(), &label);
            out.push_back(label.count() ? label[0].toString(false).c_str() : "?");
        }
    return out;
}

// Labels come from the values the view's index keeps; they must be the labels the documents at the
// page edges give, in every folder, column and direction.
TEST_F(FolderTest, IndexLabelsFromTheViewEqualThoseOfTheDocuments) {
    const char* people[] = {"CN=Zoe Zimmer/O=Acme", "CN=adam Ant/O=Acme", "CN=Ève Été/O=Acme", ""};
    const char* subjects[] = {"beta", "Alpha", "", "alpha", "Gamma", "Zeta"};
    for (int i = 0; i < 6; ++i) {
        char delivered[32];
        std::snprintf(delivered, sizeof delivered, "03/0%d/2026 0%d:00:00 AM", 1 + i % 4, 1 + i);
        const std::vector<std::string> to{people[(i + 1) % 4]};
        addMemo({.subject = subjects[i],
                 .from = people[i % 4],
                 .delivered = delivered,
                 .extra = {{"SendTo", to}, {"Body", {std::string(static_cast<std::size_t>(i) * 40, 'x')}}}});
        addMemo({.subject = subjects[i],
                 .from = people[i % 4],
                 .delivered = "",
                 .posted = delivered,
                 .extra = {{"SendTo", to}},
                 .inbox = false});
        addMemo({.subject = subjects[i], .delivered = "", .extra = {{"SendTo", to}}, .inbox = false});
    }
    loginAndList();
    const std::pair<const char*, std::vector<const char*>> kColumns[] = {
        {"Inbox", {"received", "flag", "from", "subject", "size", "hasAttachments"}},
        {"Sent Items", {"sent", "to", "subject", "size"}},
        {"Drafts", {"to", "subject", "size", "sent"}},
    };
    for (const auto& [name, columns] : kColumns) {
        const std::string id = folderId(name);
        for (const char* column : columns) {
            for (const bool ascending : {true, false}) {
                SCOPED_TRACE(std::string(name) + " " + column + (ascending ? " ascending" : " descending"));
                sort(id, column, ascending);
                ASSERT_EQ(page(id, 0, 10).size(), 6u);
                EXPECT_EQ(index(id, 4), labelsOfDocuments(provider, id, column, 4));
            }
        }
    }
    EXPECT_EQ(logText().find("Message Size="), std::string::npos) << "size labels come from the view";
}

// The index reads the order and values the view keeps for a reading of the collation; whatever
// changes the view between two index calls shows in the next one, and a new session reads the same.
TEST_F(FolderTest, IndexLabelsFollowSavesAndReopening) {
    const char* people[] = {"CN=Zoe Zimmer/O=Acme", "CN=adam Ant/O=Acme", "CN=Bob Brown/O=Acme"};
    for (int i = 0; i < 11; ++i) {
        char delivered[32];
        std::snprintf(delivered, sizeof delivered, "03/%02d/2026 0%d:00:00 AM", 1 + (i * 7) % 11, 1 + i % 9);
        ids.push_back(addMemo({.subject = "s" + std::to_string((i * 5) % 11),
                               .from = people[i % 3],
                               .delivered = delivered,
                               .extra = {{"Body", {std::string(static_cast<std::size_t>(i) * 30, 'x')}}}}));
    }
    loginAndList();
    int saves = 0;
    // Another handle rewrites a document's subject, sender, delivery time and size, which moves it in
    // every collation.
    auto move = [&] {
        const NOTEID id = ids[static_cast<std::size_t>(saves * 4) % ids.size()];
        ++saves;
        DBHANDLE hDb = NULLHANDLE;
        ASSERT_EQ(NSFDbOpen(kMail, &hDb), NOERROR);
        NOTEHANDLE h = NULLHANDLE;
        ASSERT_EQ(NSFNoteOpen(hDb, id, 0, &h), NOERROR);
        for (const char* item : {"Subject", "From", "DeliveredDate", "Body"})
            NSFItemDelete(h, item, static_cast<WORD>(std::strlen(item)));
        const std::string subject = "moved " + std::to_string(saves);
        append(h, "Subject", TYPE_TEXT, subject);
        append(h, "From", TYPE_TEXT, people[saves % 3]);
        append(h, "DeliveredDate", TYPE_TIME,
               timeValue("04/" + std::to_string(10 + saves % 19) + "/2026 11:00:00 PM"));
        append(h, "Body", TYPE_TEXT, std::string(static_cast<std::size_t>(500 + saves), 'y'));
        ASSERT_EQ(NSFNoteUpdate(h, 0), NOERROR);
        NSFNoteClose(h);
        NSFDbClose(hDb);
    };
    const struct {
        const char* what;
        std::function<void()> between;
        bool sortAgain; // a new session starts from unsorted folders
    } kSteps[] = {
        {"nothing changed", [] {}, false},
        {"a document moved by another handle", move, false},
        {"a document added", [&] { ids.push_back(addMemo({.subject = "added " + std::to_string(++saves)})); },
         false},
        {"a new session",
         [&] {
             provider->release();
             provider = makeProvider();
             loginAndList();
         },
         true},
    };
    for (const auto& step : kSteps)
        for (const char* column : {"received", "from", "subject", "size"})
            for (const bool ascending : {true, false}) {
                SCOPED_TRACE(std::string(step.what) + ", " + column +
                             (ascending ? " ascending" : " descending"));
                const std::string id = folderId("Inbox");
                sort(id, column, ascending);
                EXPECT_FALSE(index(id, 4).empty());
                step.between();
                if (step.sortAgain)
                    sort(id, column, ascending);
                EXPECT_EQ(index(id, 4), labelsOfDocuments(provider, id, column, 4));
                EXPECT_EQ(index(id, 3), labelsOfDocuments(provider, id, column, 3));
            }
}

// Days and sizes shared by many pages in a row, with a day that starts mid-page, a date without a
// time and a memo without one: the labels skipped over inside a run equal those the documents give.
TEST_F(FolderTest, IndexLabelsOfLongRunsOfOneDayOrSize) {
    const struct {
        const char* day;
        int memos;
    } kDays[] = {{"03/01/2026", 1}, {"03/02/2026", 17}, {"03/05/2026", 23}, {"03/09/2026", 2}, {"", 1}};
    int i = 0;
    for (const auto& day : kDays)
        for (int k = 0; k < day.memos; ++k, ++i) {
            char time[16];
            std::snprintf(time, sizeof time, " %02d:%02d:00 AM", 1 + k % 11, i % 60);
            // The third memo of a day has its date alone.
            const std::string delivered = *day.day && k != 2 ? day.day + std::string(time) : day.day;
            addMemo({.subject = "m" + std::to_string(i),
                     .delivered = delivered,
                     .extra = {{"Body", {std::string(static_cast<std::size_t>(i / 9) * 100, 'x')}}}});
        }
    loginAndList();
    const std::string id = folderId("Inbox");
    for (const char* column : {"received", "size", "flag"})
        for (const bool ascending : {true, false}) {
            sort(id, column, ascending);
            for (const long pageSize : {1L, 2L, 3L, 7L, 50L}) {
                SCOPED_TRACE(std::string(column) + (ascending ? " ascending, " : " descending, ") +
                             std::to_string(pageSize));
                EXPECT_EQ(index(id, pageSize), labelsOfDocuments(provider, id, column, pageSize));
            }
        }
}

TEST_F(FolderTest, EmptyViewsAndUnknownFolders) {
    loginAndList();
    const std::string inbox = folderId("Inbox");
    EXPECT_EQ(page(inbox, 0, 50), Subjects{});
    EXPECT_EQ(index(inbox, 50), Subjects{});
    EXPECT_EQ(page("0123456789ABCDEF0123456789ABCDEF", 0, 50), Subjects{});
    EXPECT_EQ(index("no such folder", 50), Subjects{}) << "still a string index";
}

TEST_F(FolderTest, CollationsPerColumnAndDirection) {
    loginAndList();
    hx::NotesFolder* inbox = folder("Inbox");
    ASSERT_NE(inbox, nullptr);
    EXPECT_EQ(inbox->getCollation(), 0) << "a new folder";
    const std::pair<const char*, int> inboxTable[] = {{"received", 5}, {"from", 2},    {"size", 6},
                                                      {"flag", 5},     {"subject", 7}, {"hasAttachments", 0}};
    for (const auto& [column, expected] : inboxTable) {
        sort(folderId("Inbox"), column, false);
        EXPECT_EQ(inbox->getCollation(), expected) << column;
        EXPECT_EQ(inbox->getSortColumn(), column);
        EXPECT_FALSE(inbox->getSortAscending());
    }
    sort(folderId("Inbox"), "size", true);
    sort(folderId("Inbox"), "Received", true);
    EXPECT_EQ(inbox->getCollation(), 6) << "names compare with case; unknown ones keep the collation";

    const struct {
        const char* folder;
        const char* column;
        int collation;
    } others[] = {
        {"Sent Items", "sent", 4},   {"Sent Items", "to", 2}, {"Sent Items", "subject", 6},
        {"Drafts", "size", 5},       {"Drafts", "sent", 3},   {"Tasks", "dueDate", 2},
        {"Contacts", "anything", 0}, // one view, whatever the column
    };
    for (const auto& o : others) {
        sort(folderId(o.folder), o.column, true);
        ASSERT_NE(folder(o.folder), nullptr) << o.folder;
        EXPECT_EQ(folder(o.folder)->getCollation(), o.collation) << o.folder << " " << o.column;
    }
    EXPECT_EQ(folder("Tasks")->getViewName(), "($Todo)");

    hx::NotesFolder* calendar = folder("Calendar");
    sort(folderId("Calendar"), "subject", false);
    EXPECT_TRUE(calendar->getSortColumn().isEmpty()) << "calendar folders are not sorted";

    const std::string log = logText();
    EXPECT_NE(log.find("Folder Name=($Inbox)"), std::string::npos);
    EXPECT_NE(log.find("Sort Column Name=received"), std::string::npos);
    EXPECT_NE(log.find("Sort Column Index=7"), std::string::npos);
}

// The Subject column's flags and the view note's sequence, read straight from the store.
std::pair<double, DWORD> subjectFlagAndSequence(const char* db, const char* view, const char* title) {
    DBHANDLE hDb = NULLHANDLE;
    EXPECT_EQ(NSFDbOpen(db, &hDb), NOERROR);
    NOTEID id = 0;
    EXPECT_EQ(NIFFindView(hDb, view, &id), NOERROR);
    LNSetThrowAllErrorsGlobal(FALSE);
    NOTEHANDLE h = NULLHANDLE;
    EXPECT_EQ(NSFNoteOpen(hDb, id, 0, &h), NOERROR);
    std::pair<double, DWORD> out{-1, 0};
    WORD titlesCount = NSFItemGetTextListEntries(h, "$ColumnTitles");
    for (WORD i = 0; i < titlesCount; ++i) {
        char text[64] = {};
        NSFItemGetTextListEntry(h, "$ColumnTitles", i, text, sizeof text - 1);
        if (std::string(text) == title) {
            BLOCKID block{};
            WORD type = 0;
            DWORD length = 0;
            if (NSFItemInfo(h, "$ColumnFlags", 12, nullptr, &type, &block, &length) == NOERROR) {
                const char* p = OSLockBlock(char, block) + 2 + 4;
                std::memcpy(&out.first, p + 8 * i, sizeof(double));
                OSUnlockBlock(block);
            }
        }
    }
    ORIGINATORID oid{};
    NSFDbGetNoteInfo(hDb, id, &oid, nullptr, nullptr);
    out.second = oid.Sequence;
    NSFNoteClose(h);
    NSFDbClose(hDb);
    return out;
}

TEST_F(FolderTest, SortingBySubjectChangesTheDesignOnceOnly) {
    addTen();
    loginAndList();
    const auto before = subjectFlagAndSequence(kMail, "($Inbox)", "Subject");
    EXPECT_EQ(before.first, 0);
    sort(folderId("Inbox"), "subject", true);
    const auto after = subjectFlagAndSequence(kMail, "($Inbox)", "Subject");
    EXPECT_EQ(after.first, 256);
    EXPECT_GT(after.second, before.second);
    sort(folderId("Inbox"), "subject", false);
    EXPECT_EQ(subjectFlagAndSequence(kMail, "($Inbox)", "Subject").second, after.second)
        << "no second rewrite";

    sort(folderId("Drafts"), "size", true);
    const auto size = subjectFlagAndSequence(kMail, "($Drafts)", "Size");
    EXPECT_EQ(size.first, 256) << "the missing column is appended";
    sort(folderId("Drafts"), "size", true);
    EXPECT_EQ(subjectFlagAndSequence(kMail, "($Drafts)", "Size").second, size.second);
    EXPECT_EQ(page(folderId("Inbox"), 0, 2), (Subjects{"m09", "m08"})) << "the view still reads";
}

TEST_F(FolderTest, DocumentsAreListedByTheirForm) {
    addMemo({.subject = "a memo"});
    addMemo({.subject = "b reply", .form = "Reply"});
    std::string mailGroup, otherGroup;
    addMemo({.subject = "c mail group", .form = "Group", .extra = {{"GroupType", {"1"}}}}, &mailGroup);
    addMemo({.subject = "d other group", .form = "Group", .extra = {{"GroupType", {"0"}}}}, &otherGroup);
    addMemo({.subject = "e notice", .form = "Notice"});
    addMemo({.subject = "f typed", .form = "", .extra = {{"Type", {"Memo"}}}});
    loginAndList();
    const std::string inbox = folderId("Inbox");
    sort(inbox, "subject", true);
    Lattice::ObjectCollection items;
    ASSERT_EQ(provider->getFolderItemsPage(inbox.c_str(), 0, 20, &items), 0);
    // The mail group comes as a distribution list, which has no subject.
    EXPECT_EQ(subjects(items), (Subjects{"a memo", "b reply", "", "f typed"}));
    EXPECT_TRUE(items.at(2).toObject<hxMail::DistributionList>());
    const std::string listed = provider->findFolder(inbox.c_str())->getFolderItemIds().c_str();
    EXPECT_EQ(countOf(listed, ";"), 6) << "one mark per document read";
    EXPECT_NE(listed.find(mailGroup), std::string::npos) << "a mail group goes to its own class";
    EXPECT_EQ(listed.find(otherGroup), std::string::npos) << "other groups are not listed";

    addMemo({.subject = "g formless", .form = ""});
    Lattice::ObjectCollection more;
    ASSERT_EQ(provider->getFolderItemsPage(inbox.c_str(), 0, 20, &more), 0);
    EXPECT_EQ(more.count(), 4);
    EXPECT_NE(logText().find("No Form or Type field!!"), std::string::npos);
}

TEST_F(FolderTest, MessageRowsIconsAndUnreadMarks) {
    std::string unid;
    addMemo({.subject = "Fwd: Re: lunch", .extra = {{"Importance", {"1"}}, {"MoodStamp", {"2"}}}}, &unid);
    addMemo({.subject = "RE: no blank", .extra = {{"$RespondedTo", {"1"}}}});
    addMemo({.subject = "Re:tight", .extra = {{"$RespondedTo", {"2"}}}});
    addMemo({.subject = "draft", .delivered = "", .extra = {{"$RespondedTo", {"1"}}}});
    addMemo({.subject = "posted", .delivered = "", .posted = "03/02/2026 09:00:00 AM"});
    loginAndList();
    const std::string inbox = folderId("Inbox");
    sort(inbox, "subject", true);
    Lattice::ObjectCollection items;
    ASSERT_EQ(provider->getFolderItemsPage(inbox.c_str(), 0, 10, &items), 0);
    ASSERT_EQ(items.count(), 5);
    auto row = [&](const char* subject) -> hxMail::MessageItem* {
        for (const Lattice::Data& d : items)
            if (auto* m = d.toObject<hxMail::MessageItem>(); m->get_subject() == subject)
                return m;
        return nullptr;
    };
    hxMail::MessageItem* lunch = row("Fwd: Re: lunch");
    ASSERT_NE(lunch, nullptr);
    EXPECT_EQ(lunch->get_id(), unid.c_str());
    EXPECT_EQ(lunch->get_normalizedSubject(), "lunch");
    EXPECT_EQ(lunch->get_from(), "Sam Sender/Acme");
    EXPECT_EQ(lunch->get_iconType(), 5);
    EXPECT_FALSE(lunch->get_readFlag());
    EXPECT_EQ(lunch->get_importance(), 2);
    EXPECT_EQ(lunch->get_sensitivity(), 3);
    EXPECT_FALSE(lunch->get_unsent());
    EXPECT_EQ(lunch->get_received().day, 1);
    EXPECT_GT(lunch->get_size(), 0);
    EXPECT_EQ(row("RE: no blank")->get_normalizedSubject(), "RE: no blank");
    EXPECT_EQ(row("RE: no blank")->get_iconType(), 10);
    EXPECT_EQ(row("Re:tight")->get_normalizedSubject(), "Re:tight");
    EXPECT_EQ(row("Re:tight")->get_iconType(), 9);
    EXPECT_EQ(row("draft")->get_iconType(), 7) << "neither posted nor delivered";
    EXPECT_EQ(row("posted")->get_iconType(), 5);
    EXPECT_TRUE(row("posted")->get_unsent());
    EXPECT_EQ(row("posted")->get_sent().day, 2);

    EXPECT_EQ(provider->markFolderRead(inbox.c_str(), 0, 0, 0), 0);
    Lattice::ObjectCollection after;
    ASSERT_EQ(provider->getFolderItemsPage(inbox.c_str(), 0, 10, &after), 0);
    for (const Lattice::Data& d : after) {
        auto* m = d.toObject<hxMail::MessageItem>();
        EXPECT_TRUE(m->get_readFlag()) << m->get_subject().c_str();
        EXPECT_NE(m->get_iconType(), 5);
    }
}

TEST_F(FolderTest, IndexLabelsPerColumn) {
    hx::NotesMessage message;
    hxMail::Message item;
    item.set_subject("s");
    item.set_from("f");
    item.set_size(42);
    item.set_importance(0);
    Lattice::_DateTimeData received;
    received.setFullYear(2005);
    received.month = 11;
    received.day = 1;
    item.set_received(received);
    const std::pair<const char*, Lattice::Data> labels[] = {
        {"subject", Lattice::Data("s")},
        {"from", Lattice::Data("f")},
        {"size", Lattice::Data(42L)},
        {"MessageClass", Lattice::Data("Message")},
        {"importance", Lattice::Data("Low")},
        {"hasAttachments", Lattice::Data(false)},
        {"Importance", Lattice::Data("Tue, 1 Nov 2005")}, // names compare with case: the received day
        {"flag", Lattice::Data("Tue, 1 Nov 2005")},
    };
    for (const auto& [column, expected] : labels) {
        Lattice::ObjectCollection out;
        message.getIndexLabel(column, &item, &out);
        ASSERT_EQ(out.count(), 1) << column;
        EXPECT_EQ(out[0].toString(), expected.toString()) << column;
        EXPECT_EQ(out[0].type(), expected.type()) << column;
    }
    EXPECT_EQ(hx::NotesMessage::getNormalizedSubject("Re: Re: x"), "Re: x");
    EXPECT_FALSE(message.getChangeItem(false));
}

TEST_F(FolderTest, DeleteItemsByIdAndParentFolders) {
    addTen();
    std::string never;
    const NOTEID outside = addMemo({.subject = "zz never listed", .inbox = false}, &never);
    loginAndList();
    const std::string inbox = folderId("Inbox");
    sort(inbox, "subject", true);
    EXPECT_EQ(page(inbox, 0, 1).size(), 2u);

    provider->lockAll();
    hx::NotesDatabase* mail = provider->getUserMailDatabase();
    EXPECT_EQ(mail->getParentFolderId(ids[0], unids[0].c_str(), false), inbox.c_str());
    EXPECT_EQ(mail->getParentFolderId(ids[5], unids[5].c_str(), false), "") << "not listed yet";
    EXPECT_EQ(mail->getParentFolderId(ids[5], unids[5].c_str(), true), inbox.c_str());
    EXPECT_EQ(mail->getParentFolderId(outside, never.c_str(), true), "");
    EXPECT_EQ(mail->getParentFolderId(ids[5]), inbox.c_str());
    EXPECT_EQ(mail->getParentFolderId(outside), "");
    const unsigned long inboxNote = provider->findFolder(inbox.c_str())->getNoteId();
    EXPECT_TRUE(mail->docIsInFolder(inboxNote, ids[3]));
    EXPECT_FALSE(mail->docIsInFolder(inboxNote, outside));
    EXPECT_FALSE(mail->docIsInFolder(0xFFFC, ids[3])) << "no such folder";
    provider->unlockAll();

    bool done = false;
    Lattice::ObjectCollection none;
    EXPECT_EQ(provider->deleteItems(inbox.c_str(), none, false, done), 0);
    EXPECT_TRUE(done);

    Lattice::ObjectCollection two;
    two.add(Lattice::Data(unids[0].c_str()));
    two.add(Lattice::Data(unids[9].c_str()));
    two.add(Lattice::Data("not a unid"));
    done = false;
    EXPECT_EQ(provider->deleteItems(inbox.c_str(), two, false, done), 0);
    EXPECT_TRUE(done);
    EXPECT_EQ(page(inbox, 0, 20), (Subjects{"m01", "m02", "m03", "m04", "m05", "m06", "m07", "m08"}));

    done = false;
    EXPECT_EQ(provider->deleteItems("unknown", two, false, done), 0);
    EXPECT_FALSE(done);
}

TEST_F(FolderTest, CalendarFolderIsNotPagedButDeletes) {
    std::string unid;
    addMemo({.subject = "meeting", .form = "Appointment", .inbox = false}, &unid);
    loginAndList();
    const std::string calendar = folderId("Calendar");
    ASSERT_FALSE(calendar.empty());
    EXPECT_EQ(page(calendar, 0, 10), Subjects{});
    EXPECT_EQ(index(calendar, 10), Subjects{});
    Lattice::ObjectCollection ids;
    ids.add(Lattice::Data(unid.c_str()));
    bool done = false;
    EXPECT_EQ(provider->deleteItems(calendar.c_str(), ids, false, done), 0);
    EXPECT_TRUE(done);
    DBHANDLE hDb = NULLHANDLE;
    ASSERT_EQ(NSFDbOpen(kMail, &hDb), NOERROR);
    NOTEHANDLE h = NULLHANDLE;
    UNID u{};
    EXPECT_NE(NSFNoteOpenByUNID(hDb, unidOf(unid, &u), 0, &h), NOERROR) << "deleted";
    NSFDbClose(hDb);
}

// The reserved slots' answers are checked with every other slot in the conformance table.
TEST_F(FolderTest, ThePreviewFlagIsPerFolderAndAnUnknownFolderSetsTheDefault) {
    loginAndList();
    const std::string inbox = folderId("Inbox");
    EXPECT_EQ(provider->setShowPreview(inbox.c_str(), false), 0);
    EXPECT_FALSE(provider->findFolder(inbox.c_str())->getFolderObject()->get_showPreview());
    EXPECT_TRUE(provider->getShowPreviewDefault());
    EXPECT_EQ(provider->setShowPreview("unknown", false), 0);
    EXPECT_FALSE(provider->getShowPreviewDefault());
}

} // namespace
