// The task provider's operations. Tasks are given as fields of a Task (subject=..., dueDate=...,
// complete=true, importance=2) and of its detail (detail.startDate=..., detail.text=...).
#include "Commands.h"

#include <ostream>

namespace hxhost {

namespace {

using TaskPtr = Lattice::Ptr<hxMail::Task>;

// The to-dos as the Tasks folder lists them.
Lattice::ObjectCollection listTasks(CommandContext& context) {
    hxMail::Folder& folder = pickFolder(context, "Tasks");
    Lattice::ObjectCollection items;
    const long status = loggedInProvider(context).getFolderItemsPage(folder.get_id(), 0, 100000, &items);
    if (status != 0)
        throw CommandError("the Tasks folder could not be listed (status " + std::to_string(status) + ")");
    return items;
}

// The listed to-do with that id (or "#N" of the last "tasks"); CommandError when there is none.
TaskPtr findTask(CommandContext& context, const std::string& word) {
    const std::string id = resolveMessageId(word);
    for (const Lattice::Data& d : listTasks(context))
        if (auto* task = d.toObject<hxMail::Task>(); task && task->get_id().str() == id)
            return TaskPtr(task);
    throw CommandError("no to-do has the id " + id);
}

std::string importanceWord(long importance) {
    return importance == 2 ? "high" : importance == 0 ? "low" : "normal";
}

// One line per to-do: row number, done or not, due day, importance, subject.
void renderTasks(const Json& result, std::ostream& out) {
    const auto list = result.find("tasks");
    if (result.value("status", 0L) != 0 || list == result.end() || !list->is_array()) {
        renderResult(result, out);
        return;
    }
    if (list->empty())
        out << "no to-dos\n";
    int row = 0;
    for (const Json& t : *list) {
        const std::string due = t.value("dueDate", "");
        out << "#" << ++row << "  [" << (t.value("complete", false) ? "x" : " ") << "]  "
            << (due.empty() ? std::string("no due date") : "due " + due) << "  "
            << importanceWord(t.value("importance", 1L)) << "  " << t.value("subject", "") << "\n";
    }
}

// A saved to-do in one line.
void renderSaved(const Json& result, std::ostream& out) {
    const auto task = result.find("task");
    if (result.value("status", 0L) != 0 || task == result.end() || !task->is_object()) {
        renderResult(result, out);
        return;
    }
    out << "saved: [" << (task->value("complete", false) ? "x" : " ") << "]  " << task->value("subject", "")
        << "\n";
}

void addTaskCommand(CommandRegistry& registry, const char* name, const char* usage, const char* help,
                    std::function<void(CommandContext&, const Args&, Json&)> run,
                    std::function<void(const Json&, std::ostream&)> render = renderResult) {
    const auto [least, most] = arity(usage);
    registry.add({name, usage, help, least, most, std::move(run), std::move(render), "tasks"});
}

// Writes the task back through saveTask with the detail fields given among `words`.
void saveBack(CommandContext& context, const TaskPtr& task, const std::vector<std::string>& words,
              Json& out) {
    Args args(words.begin(), words.end());
    Call c(context, args, out);
    bool flag = true;
    c.status(c.tasks().saveTask(task, c.detail<hxMail::TaskDetail>(0), flag));
    c.out("task", task);
}

} // namespace

void registerTaskCommands(CommandRegistry& registry) {
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

    addTaskCommand(
        registry, "tasks", "",
        "The to-dos of the Tasks folder, one a line ([x] done), numbered #N for task, "
        "task-edit and task-done.",
        [](CommandContext& context, const Args&, Json& out) {
            const Lattice::ObjectCollection items = listTasks(context);
            lastListing().clear();
            for (const Lattice::Data& d : items)
                if (auto* t = d.toObject<hxMail::Task>())
                    lastListing().push_back({t->get_id().str(), t->get_subject().str()});
            out["status"] = 0;
            out["tasks"] = toJson(items);
        },
        renderTasks);
    addTaskCommand(registry, "task", "ID", "One to-do (an id or #N of the last \"tasks\").",
                   [](CommandContext& context, const Args& args, Json& out) {
                       out["status"] = 0;
                       out["task"] = toJson(findTask(context, args[0]).get());
                   });
    addTaskCommand(registry, "task-new", "FIELD=VALUE...",
                   "Adds a to-do (subject=..., dueDate=YYYY-MM-DD, importance=0|1|2 for low, normal, high, "
                   "complete=true, detail.startDate=YYYY-MM-DD) and prints its id.",
                   [](CommandContext& context, const Args& args, Json& out) {
                       Call c(context, args, out);
                       TaskPtr task = c.item<hxMail::Task>(0);
                       if (task->get_subject().isEmpty())
                           throw CommandError("a to-do needs a subject (subject=...)");
                       c.status(c.tasks().addTask("", task, c.detail<hxMail::TaskDetail>(0)));
                       c.out("id", task->get_id());
                   });
    addTaskCommand(
        registry, "task-edit", "ID FIELD=VALUE...",
        "Changes the named fields of a to-do (as task-new); the others keep their values.",
        [](CommandContext& context, const Args& args, Json& out) {
            TaskPtr task = findTask(context, args[0]);
            const std::vector<std::string> words(args.begin() + 1, args.end());
            std::vector<std::string> itemWords;
            for (const std::string& w : words)
                if (w.rfind("detail.", 0) != 0)
                    itemWords.push_back(w);
            setMembers(*task, itemWords);
            if (task->get_subject().isEmpty())
                throw CommandError("a to-do needs a subject");
            saveBack(context, task, words, out);
        },
        renderSaved);
    addTaskCommand(
        registry, "task-done", "ID", "Marks a to-do done (Notes stamps today as its completion).",
        [](CommandContext& context, const Args& args, Json& out) {
            TaskPtr task = findTask(context, args[0]);
            task->set_complete(true);
            saveBack(context, task, {}, out);
        },
        renderSaved);
}

} // namespace hxhost
