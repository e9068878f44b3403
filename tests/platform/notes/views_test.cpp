// Views: template designs, order, Find positions, categories, collations, full-text search and
// the index kept current across saves, deletions and processes.
#include "fixture.h"
#include "runtime.h"
#include "store.h"
#include "templates.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

struct Person {
    const char* full;
    const char* shortName;
    const char* mail;
};

} // namespace

class ViewTest : public TemplateTest {
protected:
    void SetUp() override {
        NotesTest::SetUp();
        create(notes::templates::Kind::Directory, "names.nsf");
    }

    NOTEID addPerson(const Person& p) {
        LNDocument doc;
        EXPECT_EQ(db.CreateDocument(&doc, "Person"), LNNOERROR);
        LNText full;
        full << notes::canonicalizeName(p.full).c_str() << notes::commonName(p.full).c_str();
        EXPECT_EQ(doc.CreateItem("FullName", full), LNNOERROR);
        EXPECT_EQ(doc.CreateItem("ShortName", LNText(p.shortName)), LNNOERROR);
        EXPECT_EQ(doc.CreateItem("InternetAddress", LNText(p.mail)), LNNOERROR);
        EXPECT_EQ(doc.Save(), LNNOERROR);
        const NOTEID id = doc.GetNoteID();
        doc.Close();
        return id;
    }

    NOTEID addGroup(const char* name, std::vector<const char*> members) {
        LNDocument doc;
        EXPECT_EQ(db.CreateDocument(&doc, "Group"), LNNOERROR);
        EXPECT_EQ(doc.CreateItem("ListName", LNText(name)), LNNOERROR);
        LNText m;
        for (const char* n : members) {
            m << n;
        }
        EXPECT_EQ(doc.CreateItem("Members", m), LNNOERROR);
        EXPECT_EQ(doc.Save(), LNNOERROR);
        const NOTEID id = doc.GetNoteID();
        doc.Close();
        return id;
    }

    void addStaff() {
        addPerson({"CN=Jane Doe/O=Acme", "jdoe", "jane.doe@acme.example"});
        addPerson({"CN=Adam Smith/O=Acme", "asmith", "adam.smith@acme.example"});
        addPerson({"CN=Zoe Miller/O=Acme", "zmiller", "zoe.miller@acme.example"});
        addGroup("Sales", {"CN=Jane Doe/O=Acme", "CN=Adam Smith/O=Acme"});
    }

    // The names of a view's documents in view order (first "FullName" value, else "ListName").
    std::vector<std::string> names(LNViewFolder& view) {
        std::vector<std::string> out;
        LNVFNavigator nav;
        EXPECT_EQ(view.GetEntries(&nav), LNNOERROR);
        LNVFEntry e;
        for (LNSTATUS s = nav.GotoFirst(&e); s == LNNOERROR; s = nav.GotoNext(&e)) {
            out.push_back(docName(e));
        }
        return out;
    }

    std::string docName(const LNVFEntry& e) {
        if (e.IsCategory()) {
            return "[" + e.GetCategory().str() + "]";
        }
        LNDocument doc;
        EXPECT_EQ(e.GetDocument(&doc), LNNOERROR);
        EXPECT_EQ(doc.Open(), LNNOERROR);
        const char* item = doc.HasItem("FullName")   ? "FullName"
                           : doc.HasItem("ListName") ? "ListName"
                                                     : "Subject";
        char buf[256] = "";
        NSFItemGetTextListEntry(doc.GetNoteHandle(), item, 0, buf, sizeof buf);
        doc.Close();
        return buf;
    }

    std::string position(LNViewFolder& view) {
        LNVFPosition pos;
        EXPECT_EQ(view.GetPosition(&pos), LNNOERROR);
        return pos.GetText().str();
    }
};

TEST_F(ViewTest, DirectoryTemplateHasItsFormsAndViews) {
    LNViewFolder users, vim;
    EXPECT_EQ(db.GetViewFolder("($Users)", &users), LNNOERROR);
    EXPECT_EQ(db.GetViewFolder("($vimpeopleandgroups)", &vim), LNNOERROR); // names ignore case
    EXPECT_EQ(vim.GetName(), "($VIMPeopleAndGroups)");
    LNViewFolder flat;
    EXPECT_EQ(db.GetViewFolder("($PeopleGroupsFlat)", &flat), ERR_NOT_FOUND); // only in address books
    LNNoteArray forms;
    ASSERT_EQ(db.GetNotes(&forms, LNNOTETYPE_FORM), LNNOERROR);
    EXPECT_EQ(forms.GetCount(), 2);

    ASSERT_EQ(notes::templates::create("Mail1", "pab/jdoe_pab", notes::templates::Kind::AddressBook),
              NOERROR);
    LNDatabase pab;
    openDb(session, pab, "pab/jdoe_pab");
    for (const char* v : {"($Users)", "($VIMPeopleAndGroups)", "($PeopleGroupsFlat)"}) {
        LNViewFolder view;
        EXPECT_EQ(pab.GetViewFolder(v, &view), LNNOERROR) << v;
        EXPECT_EQ(view.GetEntryCount(), 0) << v;
    }
    // A template database cannot be made twice over.
    EXPECT_EQ(notes::templates::create("Mail1", "names.nsf", notes::templates::Kind::Directory), ERR_EXISTS);
}

TEST_F(ViewTest, UsersViewHasAnEntryPerKeyAndFindsThemIgnoringCase) {
    addStaff();
    LNViewFolder users = openView(db, "($Users)");
    // Per person: canonical name, common name, short name, Internet address; the group: its name.
    EXPECT_EQ(users.GetEntryCount(), 3 * 4 + 1);

    for (const char* key : {"jdoe", "JDOE", "Jane Doe", "cn=jane doe/o=acme", "Jane.Doe@Acme.Example"}) {
        LNVFNavigator found;
        ASSERT_EQ(users.Find(key, &found), LNNOERROR) << key;
        ASSERT_EQ(found.GetEntryCount(), 1) << key;
        LNVFEntry e;
        ASSERT_EQ(found.GetEntry(&e), LNNOERROR);
        EXPECT_EQ(docName(e), "CN=Jane Doe/O=Acme") << key;
    }
    EXPECT_EQ(users.Find("sales"), LNNOERROR);
    // Keys sort ignoring case: "adam smith", "adam.smith@...", "asmith", "cn=adam ...", "cn=jane ...",
    // "cn=zoe ...", "jane doe", "jane.doe@...", "jdoe", "sales", ...
    EXPECT_EQ(position(users), "10");
    EXPECT_EQ(users.Find("jdoe"), LNNOERROR);
    EXPECT_EQ(position(users), "9");

    // Exact keys by default; a partial find takes every key that starts with the text.
    EXPECT_EQ(users.Find("jd"), LNWARN_NOT_FOUND);
    LNVFNavigator partial;
    ASSERT_EQ(users.Find("ja", &partial, LNVFFINDOPTIONS_PARTIAL), LNNOERROR);
    EXPECT_EQ(partial.GetEntryCount(), 2); // "jane doe" and "jane.doe@acme.example"
    LNVFPosition pos;
    ASSERT_EQ(users.Find("nobody", &pos), LNWARN_NOT_FOUND);
    EXPECT_TRUE(pos.IsNull());

    // Not-found is a warning, so throw-all-errors mode does not throw it.
    LNSetThrowAllErrorsGlobal(TRUE);
    EXPECT_NO_THROW(EXPECT_EQ(users.Find("nobody"), LNWARN_NOT_FOUND));
    LNSetThrowAllErrorsGlobal(FALSE);
}

TEST_F(ViewTest, PeopleAndGroupsInNameOrderWithCollations) {
    addStaff();
    LNViewFolder vim = openView(db, "($VIMPeopleAndGroups)");
    EXPECT_EQ(vim.GetEntryCount(), 4);
    EXPECT_EQ(names(vim), (std::vector<std::string>{"CN=Adam Smith/O=Acme", "CN=Jane Doe/O=Acme", "Sales",
                                                    "CN=Zoe Miller/O=Acme"}));
    // Find takes the common name the column shows, or the full name.
    EXPECT_EQ(vim.Find("sales"), LNNOERROR);
    EXPECT_EQ(position(vim), "3");
    EXPECT_EQ(vim.Find("CN=Zoe Miller/O=Acme"), LNNOERROR);
    EXPECT_EQ(position(vim), "4");

    // Name ascending (1), name descending (2), address ascending (3), address descending (4).
    EXPECT_EQ(vim.GetCollationCount(), 5);
    ASSERT_EQ(vim.SetCollation(2), LNNOERROR);
    EXPECT_EQ(names(vim).front(), "CN=Zoe Miller/O=Acme");
    ASSERT_EQ(vim.SetCollation(3), LNNOERROR);
    EXPECT_EQ(names(vim).front(), "Sales"); // no address sorts first
    EXPECT_EQ(vim.SetCollation(5), ERR_BAD_COLLATION);
    EXPECT_EQ(vim.GetCollation(), 3);
}

TEST_F(ViewTest, IndexFollowsSavesAndDeletionsAndOtherConnections) {
    addStaff();
    LNViewFolder vim = openView(db, "($VIMPeopleAndGroups)");
    ASSERT_EQ(vim.GetEntryCount(), 4);

    const NOTEID bob = addPerson({"CN=Bob Brown/O=Acme", "bbrown", "bob.brown@acme.example"});
    EXPECT_EQ(vim.GetEntryCount(), 4); // a reading stays as it was until Refresh
    ASSERT_EQ(vim.Refresh(), LNNOERROR);
    EXPECT_EQ(names(vim)[1], "CN=Bob Brown/O=Acme");

    // Renaming moves the entry; the old key is gone from ($Users).
    LNDocument doc = openDoc(db, bob);
    ASSERT_EQ(doc.CreateItem("FullName", LNText("CN=Yves Brown/O=Acme")), LNNOERROR);
    ASSERT_EQ(doc.Save(), LNNOERROR);
    doc.Close();
    ASSERT_EQ(vim.Refresh(), LNNOERROR);
    EXPECT_EQ(names(vim)[3], "CN=Yves Brown/O=Acme");
    LNViewFolder users;
    ASSERT_EQ(db.GetViewFolder("($Users)", &users), LNNOERROR);
    EXPECT_EQ(users.Find("Bob Brown"), LNWARN_NOT_FOUND);
    EXPECT_EQ(users.Find("Yves Brown/Acme"), LNWARN_NOT_FOUND); // keys are the stored texts
    EXPECT_EQ(users.Find("cn=yves brown/o=acme"), LNNOERROR);

    // Another connection (as another process would) sees and changes the same index.
    LNDatabase other;
    openDb(session, other, "names.nsf");
    ASSERT_EQ(other.DeleteDocument(bob), LNNOERROR);
    ASSERT_EQ(vim.Refresh(), LNNOERROR);
    EXPECT_EQ(vim.GetEntryCount(), 4);
    EXPECT_EQ(users.Refresh(), LNNOERROR);
    EXPECT_EQ(users.Find("bbrown"), LNWARN_NOT_FOUND);

    // A document of another form is not selected.
    LNDocument memo;
    ASSERT_EQ(db.CreateDocument(&memo, "Memo"), LNNOERROR);
    ASSERT_EQ(memo.CreateItem("FullName", LNText("CN=Not A Person/O=Acme")), LNNOERROR);
    ASSERT_EQ(memo.Save(), LNNOERROR);
    ASSERT_EQ(vim.Refresh(), LNNOERROR);
    EXPECT_EQ(vim.GetEntryCount(), 4);
}

TEST_F(ViewTest, CategoriesGiveTwoLevelPositions) {
    // A view of its own: categorised by "Dept", then sorted by "Subject".
    const auto store = notes::handles::database(db.GetDatabaseHandle());
    notes::ViewDesign d;
    d.title = "By Dept|bydept";
    d.forms = {"Memo"};
    notes::ViewColumn dept, subject;
    dept.title = "Dept";
    dept.items = {"Dept"};
    dept.flags = notes::kColSorted | notes::kColCategory;
    subject.title = "Subject";
    subject.items = {"Subject"};
    subject.flags = notes::kColSorted;
    d.columns = {dept, subject};
    notes::Note view;
    view.info.noteClass = NOTE_CLASS_VIEW;
    notes::writeViewDesign(d, &view);
    ASSERT_EQ(store->save(view), NOERROR);

    auto memo = [&](const char* deptName, const char* subj) {
        LNDocument doc;
        ASSERT_EQ(db.CreateDocument(&doc, "Memo"), LNNOERROR);
        if (deptName) {
            ASSERT_EQ(doc.CreateItem("Dept", LNText(deptName)), LNNOERROR);
        }
        ASSERT_EQ(doc.CreateItem("Subject", LNText(subj)), LNNOERROR);
        ASSERT_EQ(doc.Save(), LNNOERROR);
    };
    memo("Sales", "b");
    memo("Accounts", "x");
    memo("sales", "a");
    memo(nullptr, "z");

    LNViewFolder view2;
    ASSERT_EQ(db.GetViewFolder("BYDEPT", &view2), LNNOERROR); // by alias
    ASSERT_EQ(view2.Open(), LNNOERROR);
    EXPECT_EQ(view2.GetEntryCount(), 7); // three categories, four documents
    EXPECT_EQ(names(view2),
              (std::vector<std::string>{"[(Not Categorized)]", "z", "[Accounts]", "x", "[sales]", "a", "b"}));
    LNVFEntry e;
    ASSERT_EQ(view2.GotoPosition("3.2", &e), LNNOERROR);
    EXPECT_EQ(docName(e), "b");
    EXPECT_EQ(e.GetIndentLevel(), 1);
    EXPECT_EQ(view2.GotoPosition("3.3", &e), LNWARN_NOT_FOUND);
    EXPECT_EQ(view2.GotoPosition("3..1", &e), LNWARN_NOT_FOUND);
    ASSERT_EQ(view2.GotoPosition("2", &e), LNNOERROR);
    EXPECT_TRUE(e.IsCategory());
    LNDocument none;
    EXPECT_EQ(e.GetDocument(&none), LNERR_NULL_OBJECT);

    // Find by the category key lands inside the category.
    ASSERT_EQ(view2.Find("SALES"), LNNOERROR);
    EXPECT_EQ(position(view2), "3.1");
    ASSERT_EQ(view2.GotoNext(&e), LNNOERROR);
    EXPECT_EQ(position(view2), "3.2");
    EXPECT_EQ(view2.GotoNext(&e), LNWARN_NOT_FOUND);
}

TEST_F(ViewTest, FullTextSearchSubset) {
    addStaff();
    addPerson({"CN=Anna Smithers/O=Acme", "asmithers", "anna@acme.example"});
    LNViewFolder vim = openView(db, "($VIMPeopleAndGroups)");
    auto search = [&](const char* q) {
        LNVFNavigator nav;
        std::vector<std::string> out;
        const LNSTATUS s = vim.FTSearch(q, &nav);
        EXPECT_EQ(s, LNNOERROR) << q;
        for (LNINT i = 0; i < nav.GetEntryCount(); ++i) {
            out.push_back(docName(nav[i]));
        }
        return out;
    };
    const std::string adam = "CN=Adam Smith/O=Acme", anna = "CN=Anna Smithers/O=Acme",
                      jane = "CN=Jane Doe/O=Acme";
    // The plug-in's filter query.
    EXPECT_EQ(search("([FullName] CONTAINS smi*) OR ([ListName] CONTAINS smi*)"),
              (std::vector<std::string>{adam, anna}));
    EXPECT_EQ(search("([FullName] CONTAINS sal*) OR ([ListName] CONTAINS sal*)"),
              (std::vector<std::string>{"Sales"}));
    EXPECT_EQ(search("[FullName] CONTAINS smith"), (std::vector<std::string>{adam}));
    // Bare terms search every text item, so the group matches through its members too.
    EXPECT_EQ(search("jane"), (std::vector<std::string>{jane, "Sales"}));
    EXPECT_EQ(search("ACME AND doe"), (std::vector<std::string>{jane, "Sales"}));
    EXPECT_EQ(search("acme doe"), (std::vector<std::string>{jane, "Sales"})); // adjacent terms: AND
    EXPECT_EQ(search("\"jane doe\""), (std::vector<std::string>{jane, "Sales"}));
    EXPECT_EQ(search("\"doe jane\""), (std::vector<std::string>{}));
    EXPECT_EQ(search("smith* AND NOT anna"), (std::vector<std::string>{adam, "Sales"}));
    EXPECT_EQ(search("(zoe | jane) & !doe"), (std::vector<std::string>{"CN=Zoe Miller/O=Acme"}));
    EXPECT_EQ(search("[ShortName] contains JDOE or [ListName] contains sales"),
              (std::vector<std::string>{jane, "Sales"}));
    EXPECT_EQ(search("jane.doe@acme.example"), (std::vector<std::string>{jane}));
    EXPECT_EQ(search("nobody*"), (std::vector<std::string>{}));
    // Bare terms skip non-summary items (such as password digests); a named field is searched.
    LNDocument doc;
    LNVFEntry adamEntry;
    ASSERT_EQ(vim.Find("Adam Smith", &adamEntry), LNNOERROR);
    ASSERT_EQ(adamEntry.GetDocument(&doc), LNNOERROR);
    ASSERT_EQ(doc.Open(), LNNOERROR);
    ASSERT_EQ(doc.CreateItem("Secret", LNText("swordfish"), 0), LNNOERROR);
    ASSERT_EQ(doc.Save(), LNNOERROR);
    doc.Close();
    EXPECT_EQ(search("swordfish"), (std::vector<std::string>{}));
    EXPECT_EQ(search("[Secret] CONTAINS swordfish"), (std::vector<std::string>{adam}));

    // Hostile queries: a clear status, nothing thrown in status mode, the view still usable.
    for (const char* bad :
         {"", "   ", "(jane", "jane)", "((a) OR b", "\"jane", "[FullName CONTAINS x",
          "[Full Name] CONTAINS x", "[FullName] x", "[FullName] CONTAINS", "AND jane", "jane OR", "NOT", "*",
          "()", "a ] b", "([FullName] CONTAINS smi\"*) OR ([ListName] CONTAINS smi\"*)"}) {
        LNVFNavigator nav;
        EXPECT_EQ(vim.FTSearch(bad, &nav), ERR_FT_QUERY) << bad;
    }
    EXPECT_EQ(vim.FTSearch(std::string(5000, 'a').c_str(), nullptr), ERR_INVALID_PARAM);
    LNVFNavigator nav;
    EXPECT_EQ(vim.FTSearch(std::string(5000, 'a').c_str(), &nav), ERR_FT_QUERY);
    EXPECT_EQ(vim.FTSearch((std::string(100, '(') + "a" + std::string(100, ')')).c_str(), &nav),
              ERR_FT_QUERY);
    EXPECT_EQ(vim.FTSearch((std::string(2000, '!') + "a").c_str(), &nav), ERR_FT_QUERY);
    LNSetThrowAllErrorsGlobal(TRUE);
    EXPECT_THROW(vim.FTSearch("(unbalanced", &nav), LNSTATUS);
    LNSetThrowAllErrorsGlobal(FALSE);
    EXPECT_EQ(vim.GetEntryCount(), 5);
    char text[LNERROR_MESSAGE_LENGTH];
    LNGetErrorMessageText(ERR_FT_QUERY, text);
    EXPECT_STREQ(text, "Query is not understandable");
}

TEST_F(ViewTest, NavigatorWalksBothWaysAndStopsAtTheEnds) {
    addStaff();
    LNViewFolder vim;
    ASSERT_EQ(db.GetViewFolder("($VIMPeopleAndGroups)", &vim), LNNOERROR);
    LNVFNavigator nav;
    ASSERT_EQ(vim.GetEntries(&nav), LNNOERROR); // reads the entries without an explicit Open
    LNVFEntry e;
    EXPECT_EQ(nav.GotoNext(&e), LNWARN_NOT_FOUND); // no current entry yet
    ASSERT_EQ(nav.GotoLast(&e), LNNOERROR);
    EXPECT_EQ(nav.GotoNext(&e), LNWARN_NOT_FOUND);
    ASSERT_EQ(nav.GotoPrevious(&e), LNNOERROR);
    LNVFPosition pos;
    ASSERT_EQ(nav.GetPosition(&pos), LNNOERROR);
    EXPECT_EQ(pos.GetText(), "3");
    EXPECT_EQ(pos[0], 3);
    EXPECT_EQ(pos[1], 0);
    ASSERT_EQ(nav.GotoPosition(LNVFPosition(LNString("1")), &e), LNNOERROR);
    EXPECT_EQ(nav.GotoPrevious(&e), LNWARN_NOT_FOUND);
    EXPECT_TRUE(nav[99].IsNull());
    EXPECT_TRUE(LNVFPosition(LNString("1.x")).IsNull());
    EXPECT_TRUE(LNVFPosition(LNString("0")).IsNull());
    EXPECT_EQ(LNVFPosition(LNString("12.3")).GetText('/'), "12/3");
    LNUniversalID unid;
    ASSERT_EQ(nav[0].GetUniversalID(&unid), LNNOERROR);
    EXPECT_TRUE(unid.IsValid());
    EXPECT_NE(nav[0].GetNoteID(), 0u);
    // The view is a note: its universal id and note id are those of the view note.
    ASSERT_EQ(vim.LNNote::Open(), LNNOERROR);
    EXPECT_NE(vim.GetNoteID(), 0u);
    EXPECT_TRUE(vim.HasItem("$TITLE"));
    EXPECT_FALSE(vim.IsFolder());
    vim.Close();
    LNViewFolder unbound;
    EXPECT_EQ(unbound.GetEntryCount(), 0);
    EXPECT_EQ(unbound.Find("x"), LNERR_NULL_OBJECT);
}

TEST_F(ViewTest, CollectionsReadNoteIdsInCollationOrder) {
    const NOTEID adam = addPerson({"CN=Adam Smith/O=Acme", "asmith", "adam@acme.example"});
    const NOTEID zoe = addPerson({"CN=Zoe Miller/O=Acme", "zmiller", "zoe@acme.example"});
    const NOTEID jane = addPerson({"CN=Jane Doe/O=Acme", "jdoe", "jane@acme.example"});
    const DBHANDLE h = db.GetDatabaseHandle();
    NOTEID view = 0;
    ASSERT_EQ(NIFFindView(h, "($vimpeopleandgroups)", &view), NOERROR);
    EXPECT_EQ(NIFFindView(h, "($Nothing)", &view), ERR_NOT_FOUND);
    ASSERT_EQ(NIFFindView(h, "($VIMPeopleAndGroups)", &view), NOERROR);
    HCOLLECTION coll = NULLHANDLE;
    UNID unid{};
    ASSERT_EQ(NIFOpenCollection(h, h, view, 0, NULLHANDLE, &coll, nullptr, &unid, nullptr, nullptr), NOERROR);
    EXPECT_NE(unid.File.Innards[0] | unid.File.Innards[1], 0u);

    auto readAll = [&](DWORD count, WORD* flags) {
        COLLECTIONPOSITION pos{};
        DHANDLE buffer = NULLHANDLE;
        WORD length = 0;
        DWORD skipped = 0, returned = 0;
        EXPECT_EQ(NIFReadEntries(coll, &pos, NAVIGATE_NEXT, 1, NAVIGATE_NEXT, count, READ_MASK_NOTEID,
                                 &buffer, &length, &skipped, &returned, flags),
                  NOERROR);
        std::vector<NOTEID> ids(returned);
        if (buffer != NULLHANDLE) {
            EXPECT_EQ(length, returned * sizeof(NOTEID));
            std::memcpy(ids.data(), OSLockObject(buffer), length);
            OSUnlockObject(buffer);
            OSMemFree(buffer);
        }
        return ids;
    };
    WORD flags = 0;
    EXPECT_EQ(readAll(0xFFFFFFFF, &flags), (std::vector<NOTEID>{adam, jane, zoe}));
    EXPECT_EQ(flags, 0);
    EXPECT_EQ(readAll(2, &flags), (std::vector<NOTEID>{adam, jane}));
    EXPECT_EQ(flags, SIGNAL_MORE_TO_DO);
    ASSERT_EQ(NIFSetCollation(coll, 2), NOERROR); // name descending
    EXPECT_EQ(readAll(0xFFFFFFFF, &flags), (std::vector<NOTEID>{zoe, jane, adam}));
    EXPECT_EQ(NIFSetCollation(coll, 9), ERR_BAD_COLLATION);

    // Reading on from a position, and past the end.
    COLLECTIONPOSITION pos{};
    pos.Tumbler[0] = 2;
    DHANDLE buffer = NULLHANDLE;
    DWORD skipped = 0, returned = 0;
    ASSERT_EQ(NIFReadEntries(coll, &pos, NAVIGATE_NEXT, 1, NAVIGATE_NEXT, 5, READ_MASK_NOTEID, &buffer,
                             nullptr, &skipped, &returned, nullptr),
              NOERROR);
    EXPECT_EQ(returned, 1u);
    EXPECT_EQ(pos.Tumbler[0], 3u);
    OSMemFree(buffer);
    ASSERT_EQ(NIFReadEntries(coll, &pos, NAVIGATE_NEXT, 1, NAVIGATE_NEXT, 5, READ_MASK_NOTEID, &buffer,
                             nullptr, &skipped, &returned, nullptr),
              NOERROR);
    EXPECT_EQ(returned, 0u);
    EXPECT_EQ(skipped, 0u);
    EXPECT_EQ(buffer, NULLHANDLE);
    EXPECT_EQ(NIFCloseCollection(coll), NOERROR);
    EXPECT_EQ(NIFCloseCollection(coll), ERR_INVALID_HANDLE);
    EXPECT_EQ(
        NIFReadEntries(coll, &pos, 0, 0, 0, 1, READ_MASK_NOTEID, &buffer, nullptr, nullptr, nullptr, nullptr),
        ERR_INVALID_HANDLE);
    EXPECT_EQ(NIFOpenCollection(h, h, 4, 0, NULLHANDLE, &coll, nullptr, nullptr, nullptr, nullptr),
              ERR_INVALID_NOTE);
}

TEST_F(ViewTest, FoldersHoldTheDocumentsPutInThem) {
    const auto store = notes::handles::database(db.GetDatabaseHandle());
    notes::ViewDesign d;
    d.title = "Projects";
    d.folder = true;
    notes::ViewColumn name;
    name.items = {"FullName", "ListName"};
    name.flags = notes::kColSorted | notes::kColCommonName;
    d.columns = {name};
    notes::Note folderNote;
    folderNote.info.noteClass = NOTE_CLASS_VIEW;
    notes::writeViewDesign(d, &folderNote);
    ASSERT_EQ(store->save(folderNote), NOERROR);
    const NOTEID folder = folderNote.info.id;

    const NOTEID zoe = addPerson({"CN=Zoe Miller/O=Acme", "zmiller", "zoe@acme.example"});
    const NOTEID adam = addPerson({"CN=Adam Smith/O=Acme", "asmith", "adam@acme.example"});
    const NOTEID sales = addGroup("Sales", {});
    const DBHANDLE h = db.GetDatabaseHandle();
    DWORD count = 99;
    ASSERT_EQ(FolderDocCount(h, h, folder, 0, &count), NOERROR);
    EXPECT_EQ(count, 0u); // nothing is selected into a folder

    DHANDLE table = NULLHANDLE;
    ASSERT_EQ(IDCreateTable(sizeof(NOTEID), &table), NOERROR);
    for (NOTEID id : {zoe, sales, adam}) {
        IDInsert(table, id, nullptr);
    }
    ASSERT_EQ(FolderDocAdd(h, h, folder, table, 0), NOERROR);
    ASSERT_EQ(FolderDocAdd(h, h, folder, table, 0), NOERROR); // adding twice changes nothing
    LNViewFolder projects;
    ASSERT_EQ(db.GetViewFolder("projects", &projects), LNNOERROR);
    EXPECT_TRUE(projects.IsFolder());
    EXPECT_EQ(names(projects),
              (std::vector<std::string>{"CN=Adam Smith/O=Acme", "Sales", "CN=Zoe Miller/O=Acme"}));

    // Changing a member re-sorts it; removing and deleting take it out.
    LNDocument doc = openDoc(db, zoe);
    ASSERT_EQ(doc.CreateItem("FullName", LNText("CN=Aaron Miller/O=Acme")), LNNOERROR);
    ASSERT_EQ(doc.Save(), LNNOERROR);
    doc.Close();
    ASSERT_EQ(projects.Refresh(), LNNOERROR);
    EXPECT_EQ(names(projects).front(), "CN=Aaron Miller/O=Acme");
    IDDeleteAll(table);
    IDInsert(table, sales, nullptr);
    ASSERT_EQ(FolderDocRemove(h, h, folder, table, 0), NOERROR);
    ASSERT_EQ(db.DeleteDocument(adam), LNNOERROR);
    DHANDLE members = NULLHANDLE;
    ASSERT_EQ(NSFFolderGetIDTable(h, h, folder, 0, &members), NOERROR);
    EXPECT_EQ(IDEntries(members), 1u);
    EXPECT_TRUE(IDIsPresent(members, zoe));
    IDDestroyTable(members);
    // A view answers with its documents; a non-folder or a non-document is refused.
    NOTEID vim = 0;
    ASSERT_EQ(NIFFindView(h, "($VIMPeopleAndGroups)", &vim), NOERROR);
    ASSERT_EQ(NSFFolderGetIDTable(h, h, vim, 0, &members), NOERROR);
    EXPECT_EQ(IDEntries(members), 2u); // Zoe (now Aaron) and Sales
    IDDestroyTable(members);
    EXPECT_EQ(FolderDocAdd(h, h, vim, table, 0), ERR_INVALID_NOTE);
    IDDeleteAll(table);
    IDInsert(table, folder, nullptr);
    EXPECT_EQ(FolderDocAdd(h, h, folder, table, 0), ERR_INVALID_NOTE);
    IDDeleteAll(table);
    IDInsert(table, 4000, nullptr);
    EXPECT_EQ(FolderDocAdd(h, h, folder, table, 0), ERR_INVALID_NOTE);
    ASSERT_EQ(FolderDocCount(h, h, folder, 0, &count), NOERROR);
    EXPECT_EQ(count, 1u); // the refused calls changed nothing
    IDDestroyTable(table);
}

TEST_F(ViewTest, DamagedDesignsStillOpen) {
    // Column flags out of range, more flags than titles, no sorted column: the view still reads.
    const auto store = notes::handles::database(db.GetDatabaseHandle());
    notes::Note view;
    view.info.noteClass = NOTE_CLASS_VIEW;
    view.append("$TITLE", TYPE_TEXT, ITEM_SUMMARY, "Damaged");
    view.append("$ColumnFlags", TYPE_NUMBER_RANGE, ITEM_SUMMARY, notes::ods::encodeNumbers({1e300, -5, 1e9}));
    view.append("$ColumnItems", TYPE_TEXT_LIST, ITEM_SUMMARY, notes::ods::encodeTextList({";;", ""}));
    view.append("$SelectForms", TYPE_TEXT, ITEM_SUMMARY, "Person");
    ASSERT_EQ(store->save(view), NOERROR);
    addPerson({"CN=Adam Smith/O=Acme", "asmith", "adam@acme.example"});
    LNViewFolder damaged = openView(db, "Damaged");
    EXPECT_EQ(damaged.GetEntryCount(), 1);
    EXPECT_EQ(damaged.GetColumnCount(), 3);
    EXPECT_EQ(damaged.Find("anything"), LNWARN_NOT_FOUND); // nothing sorted to find in
    // A view note without a title is no view.
    notes::Note untitled;
    untitled.info.noteClass = NOTE_CLASS_VIEW;
    untitled.append("$ColumnFlags", TYPE_NUMBER_RANGE, ITEM_SUMMARY, notes::ods::encodeNumbers({1}));
    ASSERT_EQ(store->save(untitled), NOERROR);
    EXPECT_EQ(damaged.Refresh(), LNNOERROR);
    EXPECT_EQ(damaged.GetEntryCount(), 1);
}
