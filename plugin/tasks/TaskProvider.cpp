#include "tasks/TaskProvider.h"

#include "provider/OperationFrame.h"
#include "tasks/NotesTask.h"

#include "Lattice/Logger.h"

namespace hxMail::hxNotesProvider {

TaskProvider::~TaskProvider() = default;

MailProvider* TaskProvider::mailProvider() const {
    return static_cast<MailProvider*>(owner());
}

NotesDatabase* TaskProvider::getDb() const {
    MailProvider* provider = mailProvider();
    return provider ? provider->getUserMailDatabase() : nullptr;
}

long TaskProvider::addTask(String, const Lattice::Ptr<hxMail::Task>& task,
                           const Lattice::Ptr<hxMail::TaskDetail>& detail) {
    MailProvider* provider = mailProvider();
    if (!provider || !provider->isLoggedIn())
        return kNotSupported;
    OperationFrame frame(provider);
    frame.run([&] {
        Lattice::Ptr<NotesTask> made = new NotesTask(provider, getDb());
        made->save(task.get(), detail.get(), true);
        // The host's object has an id slot: it gets the new to-do's id, so it can be saved again.
        if (task && !made->getId().isEmpty())
            task->set_id(made->getId());
    });
    return 0;
}

long TaskProvider::addTaskSimple(String, String subject, bool complete, Lattice::_DateData due,
                                 long importance) {
    MailProvider* provider = mailProvider();
    if (!provider || !provider->isLoggedIn())
        return kNotSupported;
    OperationFrame frame(provider);
    frame.run([&] {
        Lattice::Ptr<NotesTask> made = new NotesTask(provider, getDb());
        made->saveSimple(subject, complete, due, importance);
    });
    return 0;
}

long TaskProvider::saveTask(const Lattice::Ptr<hxMail::Task>& task,
                            const Lattice::Ptr<hxMail::TaskDetail>& detail, bool& flag) {
    MailProvider* provider = mailProvider();
    if (!provider || !provider->isLoggedIn())
        return kNotSupported;
    flag = false;
    String id = task ? task->get_id() : String();
    if (id.isEmpty())
        return 0;
    OperationFrame frame(provider);
    frame.run([&] {
        Lattice::Ptr<NotesTask> existing = new NotesTask(id, provider, getDb());
        if (existing->loadFailed()) {
            Lattice::Logger::print("saveTask: no to-do has the id %s", id.c_str());
            return;
        }
        existing->save(task.get(), detail.get(), true);
    });
    return 0;
}

long TaskProvider::newTask(String, Lattice::Ptr<hxMail::Task>&) {
    return kNotSupported;
}

long TaskProvider::removeTask(String) {
    return kNotSupported;
}

long TaskProvider::getTaskDetail(String, Lattice::Ptr<hxMail::TaskDetail>&) {
    return kNotSupported;
}

long TaskProvider::taskRecurrenceChanged(String, const Lattice::Ptr<hxMail::RecurrenceObject>&,
                                         Lattice::_DateData&) {
    return kNotSupported;
}

long TaskProvider::generateRecurringTask(String, Lattice::Ptr<hxMail::Task>&) {
    return kNotSupported;
}

LATTICE_REGISTER_CLASS(TaskProvider);

} // namespace hxMail::hxNotesProvider
