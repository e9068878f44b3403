#pragma once
#include "provider/Export.h"
#include "provider/Forward.h"

#include "hxMail/Providers.h"
#include "hxMail/Task.h"

namespace hxMail::hxNotesProvider {

// The task operations of the main provider: to-dos are added and saved in the user's mail file;
// they are listed through the Tasks folder. Folder ids are not used: there is one to-do list.
class HX_EXPORT TaskProvider : public hxMail::TaskProvider {
    LATTICE_CLASS(TaskProvider, "TaskProvider", hxMail::TaskProvider)
public:
    explicit TaskProvider(hxMail::MailProvider* owner = nullptr) : hxMail::TaskProvider(owner) {}
    TaskProvider(const TaskProvider& other) : hxMail::TaskProvider(other) {}
    ~TaskProvider() override;

    long newTask(String folderId, Lattice::Ptr<hxMail::Task>& task) override;
    long addTask(String folderId, const Lattice::Ptr<hxMail::Task>& task,
                 const Lattice::Ptr<hxMail::TaskDetail>& detail) override;
    long removeTask(String id) override;
    long getTaskDetail(String id, Lattice::Ptr<hxMail::TaskDetail>& detail) override;
    // Writes into the to-do named by the task's id; the flag always comes back false.
    long saveTask(const Lattice::Ptr<hxMail::Task>& task, const Lattice::Ptr<hxMail::TaskDetail>& detail,
                  bool& flag) override;
    long addTaskSimple(String folderId, String subject, bool complete, Lattice::_DateData due,
                       long importance) override;
    long taskRecurrenceChanged(String id, const Lattice::Ptr<hxMail::RecurrenceObject>& recurrence,
                               Lattice::_DateData& nextDue) override;
    long generateRecurringTask(String id, Lattice::Ptr<hxMail::Task>& next) override;

    NotesDatabase* getDb() const;

private:
    MailProvider* mailProvider() const;
};

} // namespace hxMail::hxNotesProvider
