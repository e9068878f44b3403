// Item classes in detail: list edits, ranges, rich text, creation options, string comparison.
#include "fixture.h"

#include <thread>

TEST(NotesItems, TextListEditsAndBounds) {
    LNText t;
    EXPECT_EQ(t.GetCount(), 0);
    EXPECT_TRUE(t.IsNull());
    t << "b"
      << "d";
    EXPECT_EQ(t.Insert(0, "a"), LNNOERROR);
    EXPECT_EQ(t.Insert(2, "c"), LNNOERROR);
    EXPECT_EQ(t.Insert(9, "x"), static_cast<LNSTATUS>(LNERR_INDEX_OUT_OF_RANGE));
    LNString joined;
    t.GetText(&joined, ",");
    EXPECT_EQ(joined, "a,b,c,d");
    EXPECT_EQ(t.Delete(1, 2), LNNOERROR);
    t.GetText(&joined, ",");
    EXPECT_EQ(joined, "a,d");
    EXPECT_EQ(t.Delete(5), static_cast<LNSTATUS>(LNERR_INDEX_OUT_OF_RANGE));
    EXPECT_EQ(t[7], "");
    LNString out;
    EXPECT_EQ(t.GetText(7, &out), static_cast<LNSTATUS>(LNERR_INDEX_OUT_OF_RANGE));
    LNText copy = t;
    copy.Append("e");
    EXPECT_EQ(t.GetCount(), 2); // free-standing copies are independent
    t.DeleteAll();
    EXPECT_EQ(t.GetCount(), 0);
    EXPECT_FALSE(t.IsNull());
}

TEST(NotesItems, NumbersAndDatetimesWithRanges) {
    LNNumbers n;
    n << 1 << 3;
    n.Insert(1, 2);
    ASSERT_EQ(n.GetCount(), 3);
    EXPECT_EQ(n[1], 2);
    EXPECT_EQ(n[3], 0);
    n.Delete(0);
    EXPECT_EQ(n[0], 2);

    LNDatetime a, b;
    a.SetText("01/01/2005 9:00 AM");
    b.SetText("01/01/2005 10:30 AM");
    LNDatetimes dates;
    dates << a;
    EXPECT_EQ(dates.Append(LNDatetime()), static_cast<LNSTATUS>(LNERR_INVALID_DATETIME));
    LNDatetimeRange range;
    range.SetBegin(a);
    range.SetEnd(b);
    dates.Append(range);
    EXPECT_EQ(dates.GetCount(), 2);
    EXPECT_EQ(dates.GetDatetimeCount(), 1);
    EXPECT_EQ(dates.GetDatetimeRangeCount(), 1);
    LNDatetimeRange back;
    ASSERT_EQ(dates.GetDatetimeRange(0, &back), LNNOERROR);
    EXPECT_EQ(back.GetEnd().GetMinute(), 30);
    LNString text;
    back.GetText(&text);
    EXPECT_EQ(text, "01/01/2005 09:00:00 AM - 01/01/2005 10:30:00 AM");
    EXPECT_EQ(dates.GetDatetimeRange(1, &back), static_cast<LNSTATUS>(LNERR_INDEX_OUT_OF_RANGE));
}

TEST(NotesItems, StringComparisonFlagsAndRichTextParagraphs) {
    constexpr auto kCase = LNSTRINGCOMPAREFLAGS_CASE_INSENSITIVE,
                   kAccent = LNSTRINGCOMPAREFLAGS_ACCENT_INSENSITIVE;
    const struct {
        const char *a, *b;
        int flags;
        int sign; // of the comparison; 2: any but equal
    } kCases[] = {
        {"Apple", "apple", 0, -1},
        {"Apple", "apple", kCase, 0},
        {"Caf\xE9", "Cafe", 0, 2},
        {"Caf\xE9", "Cafe", kAccent, 0},
        {"\xC9t\xE9", "ete", kAccent | kCase, 0},
        {"Memo", "Memos", 0, -1}, // a prefix sorts first
    };
    for (const auto& c : kCases) {
        const LNINT r = LNStringCompare(c.a, c.b, static_cast<LNSTRINGCOMPAREFLAGS>(c.flags));
        EXPECT_EQ(c.sign == 2 ? (r != 0 ? 2 : 0) : (r > 0) - (r < 0), c.sign) << c.a << " " << c.b;
    }
    LNString s = "Hello, World";
    EXPECT_EQ(s.Find("World"), 7);
    EXPECT_EQ(s.GetSubString(0, 5), "Hello");
    EXPECT_EQ(s[1], 'e');

    LNRichText rt;
    rt.SetValue("one\ntwo");
    rt.Append("\nthree");
    EXPECT_EQ(rt.GetText(), "one\ntwo\nthree");
    EXPECT_EQ(rt.GetType(), LNITEMTYPE_RICHTEXT);
    rt.DeleteAll();
    EXPECT_EQ(rt.GetText(), "");
}

TEST_F(SessionTest, CreationOptionsDecideWhereTheItemGoes) {
    LNDocument doc;
    db.CreateDocument(&doc); // no form
    EXPECT_EQ(doc.GetItemCount(), 0);
    doc.CreateItem("A", LNText("1"));
    doc.CreateItem("B", LNText("2"));
    doc.CreateItem("A", LNText("3"), LNITEMFLAGS_SUMMARY, LNITEMOPTION_DELETE_INSERT);
    LNItem first;
    doc.GetItem(0, &first);
    EXPECT_EQ(first.GetName(), "A"); // replaced in place
    doc.CreateItem("A", LNText("4"), LNITEMFLAGS_SUMMARY, LNITEMOPTION_DELETE_APPEND);
    LNItem last;
    doc.GetItem(1, &last);
    EXPECT_EQ(last.GetName(), "A"); // moved to the end
    doc.CreateItem("A", LNText("5"), 0, LNITEMOPTION_APPEND_ONLY);
    EXPECT_EQ(doc.GetItemCount(), 3);
    LNText a;
    doc.GetItem("A", &a);
    EXPECT_EQ(a[0], "4"); // the first of the name
    EXPECT_EQ(a.GetFlags(), LNITEMFLAGS_SUMMARY);
}

TEST_F(SessionTest, ChangeReportsFilterByNoteClass) {
    const LNDatetime start = session.GetCurrentDatetime();
    saveDoc("Memo", "a document");
    NOTEHANDLE h = NULLHANDLE;
    ASSERT_EQ(NSFNoteCreate(db.GetDatabaseHandle(), &h), NOERROR);
    const WORD viewClass = NOTE_CLASS_VIEW;
    NSFNoteSetInfo(h, _NOTE_CLASS, &viewClass);
    NSFItemAppend(h, ITEM_SUMMARY, "$TITLE", 6, TYPE_TEXT, "($Inbox)", 8);
    ASSERT_EQ(NSFNoteUpdate(h, 0), NOERROR);
    NSFNoteClose(h);
    LNNoteArray docs, views;
    db.GetModifiedNotes(start, &docs, LNNOTETYPE_DOCUMENT);
    db.GetModifiedNotes(start, &views, LNNOTETYPE_VIEW);
    EXPECT_EQ(docs.GetCount(), 1);
    ASSERT_EQ(views.GetCount(), 1);
    EXPECT_EQ(views[0].GetNoteType(), LNNOTETYPE_VIEW);
    LNDocument notADocument;
    EXPECT_EQ(db.GetDocument(views.GetNoteID(0), &notADocument), static_cast<LNSTATUS>(ERR_INVALID_NOTE));
}

TEST_F(SessionTest, ThreadsWritingOneDatabase) {
    constexpr int kThreads = 4, kDocs = 10;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            LNDatabase own; // each thread its own handle, as separate providers have
            ASSERT_EQ(session.GetDatabase("mail/jdoe", &own, "Mail1"), LNNOERROR);
            ASSERT_EQ(own.Open(), LNNOERROR);
            for (int i = 0; i < kDocs; ++i) {
                LNDocument doc;
                own.CreateDocument(&doc, "Memo");
                ASSERT_EQ(doc.Save(), LNNOERROR);
            }
            own.Close();
        });
    }
    for (std::thread& t : threads) {
        t.join();
    }
    LNNoteArray all;
    db.GetNotes(&all);
    EXPECT_EQ(all.GetCount(), kThreads * kDocs);
}

TEST_F(NotesTest, DatabaseInfoAndDeletion) {
    createDb("Mail1", "mail\\info");
    DBHANDLE h = NULLHANDLE;
    ASSERT_EQ(NSFDbOpen("CN=Mail1/O=Acme!!mail\\info", &h), NOERROR);
    char canonical[MAXPATH], expanded[MAXPATH];
    ASSERT_EQ(NSFDbPathGet(h, canonical, expanded), NOERROR);
    EXPECT_STREQ(canonical, "CN=Mail1/O=Acme!!mail\\info");
    EXPECT_EQ(std::string(expanded), dir + "/Mail1/mail/info.nsf");
    DBREPLICAINFO replica{};
    ASSERT_EQ(NSFDbReplicaInfoGet(h, &replica), NOERROR);
    EXPECT_NE(replica.ID.Innards[0] | replica.ID.Innards[1], 0u);
    NSFDbClose(h);
    EXPECT_EQ(NSFDbDelete("Mail1!!mail/info"), NOERROR);
    EXPECT_FALSE(std::filesystem::exists(dir + "/Mail1/mail/info.nsf"));
    EXPECT_EQ(NSFDbDelete("Mail1!!mail/info"), ERR_NOEXIST);
}

TEST(NotesTime, TimeRecordConversions) {
    TIME t{};
    t.year = 2005, t.month = 1, t.day = 1, t.hour = 15, t.zone = 5;
    ASSERT_FALSE(TimeLocalToGM(&t));
    TIME gmt{};
    gmt.GM = t.GM;
    gmt.zone = 0;
    ASSERT_FALSE(TimeGMToLocalZone(&gmt));
    EXPECT_EQ(gmt.hour, 20);
    EXPECT_EQ(gmt.weekday, 7); // a Saturday
    TIME same{};
    same.GM = t.GM;
    TimeGMToLocal(&same);
    EXPECT_EQ(same.hour, 15);
    EXPECT_EQ(same.zone, 5);
    TIMEDATE lo, hi;
    TimeConstant(TIMEDATE_MINIMUM, &lo);
    TimeConstant(TIMEDATE_MAXIMUM, &hi);
    EXPECT_LT(TimeDateCompare(&lo, &t.GM), 0);
    EXPECT_GT(TimeDateCompare(&hi, &t.GM), 0);
    t.month = 2, t.day = 30;
    EXPECT_TRUE(TimeLocalToGM(&t));
}
