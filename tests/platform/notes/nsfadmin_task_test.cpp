// nsfadmin add-task: the items a to-do is stored with, and refused input writing nothing.
#include "nsfadmin_fixture.h"
#include "task.h"

#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

class NsfadminTaskTest : public NsfadminMailFileTest {};

TEST_F(NsfadminTaskTest, StoresTheItemsTheToDoViewShows) {
    const struct {
        nsfadmin::TaskEntry entry;
        const char* importance;
        const char* state;
        bool completedDate;
        bool dueDate;
    } cases[] = {
        {{.subject = "Report", .due = "2005-01-10", .start = "2005-01-03", .importance = "high"},
         "1",
         "1",
         false,
         true},
        {{.subject = "Done", .importance = "low", .completed = true}, "3", "9", true, false},
        {{.subject = "Plain"}, "2", "1", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entry.subject);
        ASSERT_EQ(run([&](auto& a) { return a.addTask(mail, c.entry); }), nsfadmin::kOk) << err;
        ASSERT_EQ(out.size(), 33u);
        const notes::Note note = load(out);
        EXPECT_EQ(text(note, "Form"), "Task");
        EXPECT_EQ(text(note, "Subject"), c.entry.subject);
        EXPECT_EQ(text(note, "Importance"), c.importance);
        EXPECT_EQ(text(note, "DueState"), c.state);
        EXPECT_EQ(note.find("CompletedDate") != nullptr, c.completedDate);
        EXPECT_EQ(note.find("DueDate") != nullptr, c.dueDate);
        EXPECT_EQ(note.find("DueDateTime") != nullptr, c.dueDate);
        if (c.dueDate) {
            EXPECT_EQ(text(note, "DueDate"), "01/10/2005");
            EXPECT_EQ(text(note, "StartDate"), "01/03/2005");
        }
    }
}

TEST_F(NsfadminTaskTest, BadInputIsRefusedAndNothingIsWritten) {
    const struct {
        nsfadmin::TaskEntry entry;
        const char* says;
    } cases[] = {
        {{.subject = ""}, "needs a subject"},
        {{.subject = "x", .due = "2005-02-30"}, "not a date"},
        {{.subject = "x", .start = "10.01.2005"}, "not a date"},
        {{.subject = "x", .due = "2005-01-10x"}, "not a date"},
        {{.subject = "x", .importance = "urgent"}, "high, normal or low"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(run([&](auto& a) { return a.addTask(mail, c.entry); }), nsfadmin::kBadInput) << c.says;
        EXPECT_NE(err.find(c.says), std::string::npos) << err;
    }
    EXPECT_EQ(documents(), 0u);
}
