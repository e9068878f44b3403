// The task provider's operations. Tasks are given as fields of a Task (subject=..., dueDate=...,
// complete=true, importance=2) and of its detail (detail.startDate=..., detail.text=...).
#include "Commands.h"

namespace hxhost {

void registerTaskCommands(CommandRegistry& registry) {
    using TaskPtr = Lattice::Ptr<hxMail::Task>;
    addOperations(
        registry, "task provider",
        {
            {"newTask", "FOLDER", "A new, unsaved task.",
             [](Call& c) {
                 TaskPtr task;
                 c.status(c.tasks().newTask(c.folder(0), task));
                 c.out("task", task);
             }},
            {"addTask", "FOLDER [FIELD=VALUE...]", "Creates a task from the fields.",
             [](Call& c) {
                 c.status(c.tasks().addTask(c.folder(0), c.item<hxMail::Task>(1),
                                            c.detail<hxMail::TaskDetail>(1)));
             }},
            {"removeTask", "ID", "Deletes a task.",
             [](Call& c) { c.status(c.tasks().removeTask(c.message(0))); }},
            {"getTaskDetail", "ID", "A task's detail.",
             [](Call& c) {
                 Lattice::Ptr<hxMail::TaskDetail> detail(new hxMail::TaskDetail());
                 c.status(c.tasks().getTaskDetail(c.message(0), detail));
                 c.out("detail", detail);
             }},
            {"saveTask", "[FIELD=VALUE...]", "Writes the fields into the task id=ID.",
             [](Call& c) {
                 bool flag = true;
                 c.status(c.tasks().saveTask(c.item<hxMail::Task>(0), c.detail<hxMail::TaskDetail>(0), flag));
                 c.out("flag", flag);
             }},
            {"addTaskSimple", "FOLDER SUBJECT [COMPLETE [DUE [IMPORTANCE]]]",
             "Creates a task from a subject, done or not, a due date (YYYY-MM-DD) and an importance.",
             [](Call& c) {
                 c.status(c.tasks().addTaskSimple(
                     c.folder(0), c.text(1), c.flag(2), c.date(3),
                     c.number(4, "IMPORTANCE", hxMail::MessageItem::ImportanceNormal)));
             }},
            {"taskRecurrenceChanged", "ID [FIELD=VALUE...]",
             "Changes a task's repeat rule (fields of a RecurrenceObject).",
             [](Call& c) {
                 Lattice::_DateData next;
                 c.status(c.tasks().taskRecurrenceChanged(c.message(0), c.item<hxMail::RecurrenceObject>(1),
                                                          next));
                 c.out("nextDue", next);
             }},
            {"generateRecurringTask", "ID", "The next task of a repeating task.",
             [](Call& c) {
                 TaskPtr next;
                 c.status(c.tasks().generateRecurringTask(c.message(0), next));
                 c.out("task", next);
             }},
        });
}

} // namespace hxhost
