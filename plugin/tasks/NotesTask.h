#pragma once
#include "notes/NotesDocument.h"

#include "hxMail/Task.h"

namespace hxMail::hxNotesProvider {

// A to-do document as a host task: subject, completion ("DueState"), importance and the due and
// start days; completing one stamps "CompletedDate".
class HX_EXPORT NotesTask : public NotesDocument {
    LATTICE_CLASS(NotesTask, "NotesTask", NotesDocument)
public:
    // "DueState" of a finished to-do, and of any other.
    static constexpr long kStateComplete = 9;
    static constexpr long kStateOpen = 1;
    // TaskDetail status of a finished and of an open to-do.
    static constexpr long kStatusComplete = 3;
    static constexpr long kStatusOpen = 1;

    NotesTask() = default;
    NotesTask(const NotesTask& other) : NotesDocument(other) {}
    // The existing to-do with the UNID text `id`.
    NotesTask(String& id, MailProvider* provider, NotesDatabase* database)
        : NotesDocument(id, provider, database, false) {}
    // A new document of form "Task".
    NotesTask(MailProvider* provider, NotesDatabase* database) : NotesDocument(provider, "Task", database) {}
    // A document the caller already holds open.
    NotesTask(MailProvider* provider, LNDocument* doc, NotesDatabase* database, bool copy)
        : NotesDocument(provider, doc, database, copy) {}
    ~NotesTask() override;

    using NotesDocument::createDocument;
    long createDocument(MailProvider* provider) { return NotesDocument::createDocument(provider, "Task"); }

    // The folder layer's per-form dispatch hands tasks in as message items.
    long load(Lattice::Ptr<hxMail::MessageItem>& item, Lattice::ObjectCollection* out, bool flag) override;
    virtual long load(Lattice::Ptr<hxMail::Task>& task, Lattice::ObjectCollection* out, bool);
    long loadDetail(Lattice::SchemaBase* detail) override;
    void getIndexLabel(String column, hxMail::MessageItem* item, Lattice::ObjectCollection* out) override;
    Lattice::Ptr<hxMail::ChangeItem> getChangeItem(bool create) override;

    int getImportance();
    void setImportance(int importance);
    bool getCompleted();
    // Writes "DueState" only when it changes, and on completion today's date into "CompletedDate".
    void setCompleted(bool complete);
    long getStatus();

    // Writes the task and its detail (both are needed); dates without a day leave their items.
    virtual long save(hxMail::Task* task, Lattice::SchemaBase* detail, bool saveNow);
    using NotesDocument::save;
    long saveSimple(String subject, bool complete, Lattice::_DateData due, long importance);

    bool isNew() const { return isNew_; }
    void setIsNew(bool value) { isNew_ = value; }
    hxMail::_MessageType messageType() const { return messageType_; }
    void setMessageType(hxMail::_MessageType value) { messageType_ = value; }
    const String& TaskId() const { return taskId_; }
    void setTaskId(const String& value) { taskId_ = value; }

private:
    // "DueDate" as a date and "DueDateTime" as that day at 00:00 GMT; nothing without a day.
    void setDueDate(const Lattice::_DateData& due);
    bool isOpen() const { return document && !loadFailed_; }

    bool isNew_ = false;
    hxMail::_MessageType messageType_{};
    String taskId_;
};

} // namespace hxMail::hxNotesProvider
