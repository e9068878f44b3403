// To-dos through a logged-in provider: what the host's task and detail become in Notes and come
// back as, completion and importance, labels, and documents other writers left behind.
#include "MailFixture.h"

#include "tasks/NotesTask.h"
#include "tasks/TaskProvider.h"

#include "notes/admin/clock.h"

#include "hxMail/Task.h"

#include <map>

namespace {

Lattice::_DateData day(int year, int month, int d) {
    Lattice::_DateData out;
    out.setFullYear(year);
    out.month = static_cast<short>(month);
    out.day = static_cast<short>(d);
    return out;
}

} // namespace

class TasksTest : public MailTest {
protected:
    void SetUp() override {
        MailTest::SetUp();
        if (HasFatalFailure())
            return;
        loginAndList();
        tasks = provider->taskProvider();
        ASSERT_NE(tasks, nullptr);
    }

    void TearDown() override {
        notes::Clock::reset();
        MailTest::TearDown();
    }

    // The text of every item of the document the tests read, by name ("" when missing).
    std::map<std::string, std::string> stored(const std::string& unid) {
        std::map<std::string, std::string> out;
        for (const char* name : {"Form", "Subject", "From", "Importance", "DueState", "DueDate",
                                 "DueDateTime", "StartDate", "CompletedDate"})
            out[name] = itemText(unid, name);
        return out;
    }

    // The tasks the Tasks folder lists, by subject.
    std::map<std::string, Lattice::Ptr<hxMail::Task>> listed() {
        std::map<std::string, Lattice::Ptr<hxMail::Task>> out;
        Lattice::ObjectCollection items;
        EXPECT_EQ(provider->getFolderItemsPage(folderId("Tasks").c_str(), 0, 100, &items), 0);
        for (const Lattice::Data& d : items)
            if (auto* t = d.toObject<hxMail::Task>())
                out[t->get_subject().c_str()] = t;
        return out;
    }

    Lattice::Ptr<hxMail::TaskDetail> detailOf(std::string unid) {
        Lattice::Ptr<hxMail::TaskDetail> detail = new hxMail::TaskDetail();
        provider->lockAll();
        Lattice::String id(unid.c_str());
        Lattice::Ptr<hx::NotesTask> task = new hx::NotesTask(id, provider, provider->getUserMailDatabase());
        EXPECT_FALSE(task->loadFailed());
        task->loadDetail(detail.get());
        task = nullptr;
        provider->unlockAll();
        return detail;
    }

    std::string add(const char* subject, bool complete, long importance, Lattice::_DateData due,
                    Lattice::_DateData start = {}) {
        Lattice::Ptr<hxMail::Task> task = new hxMail::Task();
        task->set_subject(subject);
        task->set_complete(complete);
        task->set_importance(importance);
        task->set_dueDate(due);
        Lattice::Ptr<hxMail::TaskDetail> detail = new hxMail::TaskDetail();
        detail->set_startDate(start);
        EXPECT_EQ(tasks->addTask("any folder", task, detail), 0);
        EXPECT_EQ(task->get_id().length(), 32u) << "the host's task gets the new to-do's id";
        return task->get_id().c_str();
    }

    hxMail::TaskProvider* tasks = nullptr;
};

// Each row: the host's fields, what Notes holds afterwards, and what the Tasks folder lists again.
TEST_F(TasksTest, TheItemMapHoldsBothWays) {
    const struct {
        const char* subject;
        bool complete;
        long importance;
        Lattice::_DateData due, start;
        const char* importanceItem;
        const char* state;
        const char* dueItem;
        long importanceBack;
        const char* percent;
    } rows[] = {
        {"High, open", false, 2, day(2026, 3, 10), day(2026, 3, 1), "1", "1", "03/10/2026", 2, "0%"},
        {"Low, done", true, 0, day(2026, 3, 11), {}, "3", "9", "03/11/2026", 0, "100%"},
        {"Odd importance", false, 5, {}, {}, "2", "1", "", 1, "0%"},
        {"Early due", false, 1, day(1899, 12, 31), {}, "2", "1", "12/31/1899", 1, "0%"},
        {"Late due", false, 1, day(2101, 1, 1), {}, "2", "1", "01/01/2101", 1, "0%"},
        {"Impossible due", false, 1, day(2026, 2, 30), {}, "2", "1", "", 1, "0%"},
        {"Caf\xc3\xa9 f\xc3\xbcr Sch\xc3\xb6n", false, 1, {}, {}, "2", "1", "", 1, "0%"},
    };
    std::map<std::string, std::string> ids;
    for (const auto& r : rows)
        ids[r.subject] = add(r.subject, r.complete, r.importance, r.due, r.start);
    auto back = listed();
    for (const auto& r : rows) {
        SCOPED_TRACE(r.subject);
        const auto items = stored(ids[r.subject]);
        EXPECT_EQ(items.at("Form"), "Task");
        EXPECT_EQ(items.at("Importance"), r.importanceItem);
        EXPECT_EQ(items.at("DueState"), r.state);
        EXPECT_EQ(items.at("DueDate"), r.dueItem);
        EXPECT_EQ(items.at("DueDateTime").empty(), std::string(r.dueItem).empty());
        EXPECT_EQ(items.at("CompletedDate").empty(), !r.complete);
        ASSERT_TRUE(back.count(r.subject));
        const hxMail::Task& t = *back[r.subject];
        EXPECT_EQ(t.get_id(), ids[r.subject].c_str());
        EXPECT_EQ(t.get_complete(), r.complete);
        EXPECT_EQ(t.get_importance(), r.importanceBack);
        EXPECT_EQ(t.get_dueDate(), std::string(r.dueItem).empty() ? Lattice::_DateData() : r.due);
        EXPECT_EQ(t.get_iconType(), 0);
        EXPECT_EQ(t.get_from(), "Jane Doe/Acme") << "the logged-in user's credential name";
        const auto detail = detailOf(ids[r.subject]);
        EXPECT_EQ(detail->get_status(), r.complete ? 3 : 1);
        EXPECT_EQ(detail->get_percentComplete(), r.percent);
        EXPECT_EQ(detail->get_startDate(), r.start);
    }
}

TEST_F(TasksTest, CompletingStampsTheDayOnceAndSavingWithoutDatesKeepsThem) {
    notes::Clock::set(2026, 3, 5, 23, 30, 0);
    const std::string id = add("Report", false, 1, day(2026, 3, 20), day(2026, 3, 2));
    Lattice::Ptr<hxMail::Task> task = listed()["Report"];
    Lattice::Ptr<hxMail::TaskDetail> noDates = new hxMail::TaskDetail();
    task->set_dueDate({});
    bool flag = true;
    const struct {
        bool complete;
        int clockDay;
        const char* state;
        const char* completed;
    } steps[] = {
        {true, 5, "9", "03/05/2026"}, // done: today's date
        {true, 7, "9", "03/05/2026"}, // done again later: the first day stays
        {false, 8, "1", "03/05/2026"},
        {true, 9, "9", "03/09/2026"},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.clockDay);
        notes::Clock::set(2026, 3, s.clockDay, 23, 30, 0);
        task->set_complete(s.complete);
        EXPECT_EQ(tasks->saveTask(task, noDates, flag), 0);
        EXPECT_FALSE(flag);
        const auto items = stored(id);
        EXPECT_EQ(items.at("DueState"), s.state);
        EXPECT_EQ(items.at("CompletedDate"), s.completed);
        EXPECT_EQ(items.at("DueDate"), "03/20/2026");
        EXPECT_FALSE(items.at("DueDateTime").empty());
        EXPECT_EQ(items.at("StartDate"), "03/02/2026");
    }
}

TEST_F(TasksTest, SavesThatNameNoToDoWriteNothing) {
    const std::string id = add("Keep", false, 1, day(2026, 3, 20));
    Lattice::Ptr<hxMail::TaskDetail> detail = new hxMail::TaskDetail();
    const struct {
        const char* id;
        bool withDetail;
    } rows[] = {
        {"", true}, {"00000000000000000000000000000000", true}, {"not an id", true}, {id.c_str(), false}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.id);
        Lattice::Ptr<hxMail::Task> task = new hxMail::Task();
        task->set_id(r.id);
        task->set_subject("Overwritten");
        bool flag = true;
        EXPECT_EQ(tasks->saveTask(task, r.withDetail ? detail : nullptr, flag), 0);
        EXPECT_FALSE(flag);
    }
    EXPECT_EQ(stored(id).at("Subject"), "Keep");
    EXPECT_EQ(listed().size(), 1u);
}

TEST_F(TasksTest, AddTaskSimpleWritesTheShortForm) {
    ASSERT_EQ(tasks->addTaskSimple("", "Call back", true, day(2026, 4, 1), 0), 0);
    auto back = listed();
    ASSERT_TRUE(back.count("Call back"));
    EXPECT_TRUE(back["Call back"]->get_complete());
    EXPECT_EQ(back["Call back"]->get_importance(), 0);
    EXPECT_EQ(back["Call back"]->get_dueDate(), day(2026, 4, 1));
}

// Documents written by other clients: a text "DueState", values outside the known ones, no items.
TEST_F(TasksTest, DocumentsOfOtherWritersLoadWithDefaults) {
    const struct {
        const char* subject;
        Items extra;
        bool complete;
        long importance;
    } rows[] = {
        {"Text state", {{"DueState", {"9"}}, {"Importance", {"1"}}}, true, 2},
        {"Unknown state", {{"DueState", {"5"}}, {"Importance", {"x"}}}, false, 1},
        {"Bare", {}, false, 1},
    };
    for (const auto& r : rows) {
        Items items{{"Form", {"Task"}}, {"Subject", {r.subject}}};
        items.insert(items.end(), r.extra.begin(), r.extra.end());
        addDoc(kMail, items);
    }
    auto back = listed();
    for (const auto& r : rows) {
        SCOPED_TRACE(r.subject);
        ASSERT_TRUE(back.count(r.subject));
        EXPECT_EQ(back[r.subject]->get_complete(), r.complete);
        EXPECT_EQ(back[r.subject]->get_importance(), r.importance);
        EXPECT_FALSE(back[r.subject]->get_dueDate().isSet());
    }
}

TEST_F(TasksTest, IndexLabelsNameTheColumnsValue) {
    Lattice::Ptr<hxMail::Task> task = new hxMail::Task();
    task->set_subject("Report");
    const struct {
        const char* column;
        bool complete;
        long importance;
        Lattice::_DateData due;
        const char* label;
    } rows[] = {
        {"complete", true, 1, {}, "Completed"}, {"complete", false, 1, {}, "In Progress"},
        {"importance", false, 0, {}, "Low"},    {"importance", false, 2, {}, "High"},
        {"importance", false, 7, {}, "Normal"}, {"dueDate", false, 1, {}, "None"},
        {"subject", false, 1, {}, "Report"},    {"Subject", false, 1, {}, ""},
    };
    hx::NotesTask wrapper;
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.column) + " " + r.label);
        task->set_complete(r.complete);
        task->set_importance(r.importance);
        task->set_dueDate(r.due);
        Lattice::ObjectCollection out;
        wrapper.getIndexLabel(r.column, task.get(), &out);
        ASSERT_EQ(out.count(), 1);
        EXPECT_EQ(out.at(0).toString(), r.label);
    }
    task->set_dueDate(day(2026, 3, 10));
    Lattice::ObjectCollection out;
    wrapper.getIndexLabel("dueDate", task.get(), &out);
    EXPECT_NE(out.at(0).toString().find("2026"), std::string::npos) << out.at(0).toString().c_str();
}
