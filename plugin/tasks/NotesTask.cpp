#include "tasks/NotesTask.h"

#include "notes/NotesDatabase.h"
#include "notes/NotesErrors.h"
#include "notes/NotesUser.h"
#include "provider/MailProvider.h"

#include "Lattice/DateTimeUtil.h"
#include "Lattice/HTMLEncode.h"

#include <cstdlib>

namespace hxMail::hxNotesProvider {

namespace {

Lattice::String latin1(const LNString& text) {
    return Lattice::String(text.GetTextPtr(), static_cast<std::size_t>(text.GetByteLength()));
}

Lattice::_DateData dayOf(const LNDatetime& value) {
    Lattice::_DateData day;
    day.setFullYear(static_cast<int>(value.GetYear()));
    day.month = static_cast<short>(value.GetMonth());
    day.day = static_cast<short>(value.GetDay());
    return day;
}

} // namespace

NotesTask::~NotesTask() = default;

long NotesTask::load(Lattice::Ptr<hxMail::MessageItem>& item, Lattice::ObjectCollection* out, bool flag) {
    Lattice::Ptr<hxMail::Task> task(dynamic_cast<hxMail::Task*>(item.get()));
    if (!task) {
        task = new hxMail::Task();
        item = Lattice::Ptr<hxMail::MessageItem>(task.get());
    }
    return load(task, out, flag);
}

long NotesTask::load(Lattice::Ptr<hxMail::Task>& task, Lattice::ObjectCollection* out, bool) {
    if (!task)
        task = new hxMail::Task();
    ThrowAllErrorsScope throwing;
    throwing.run([&] {
        if (!isOpen())
            return;
        hxMail::Task& t = *task;
        t.set_id(universalId);
        if (provider && provider->getUser() && provider->getUser()->getInfo())
            t.set_from(provider->getUser()->getInfo()->credentialName);
        t.set_iconType(0);
        LNText subject;
        {
            // A to-do without a subject reads as an empty one.
            ThrowAllErrorsScope quiet(FALSE);
            LNMailMessage(*document).GetSubject(&subject);
        }
        String joined;
        for (LNINT i = 0; i < subject.GetCount(); ++i) {
            if (i > 0)
                joined += ";";
            joined += latin1(subject[i]);
        }
        t.set_subject(Lattice::HTMLEncode::string8ToUTF8(joined));
        t.set_complete(getCompleted());
        t.set_importance(getImportance());
        const Lattice::Data due = getDate("DueDate", false);
        t.set_dueDate(due.isEmpty() ? Lattice::_DateData() : due.toDate());
        if (out)
            out->add(Lattice::Data(task.get(), true));
    });
    return 0;
}

long NotesTask::loadDetail(Lattice::SchemaBase* schema) {
    auto* detail = dynamic_cast<hxMail::TaskDetail*>(schema);
    if (!detail || !isOpen())
        return 0;
    ThrowAllErrorsScope throwing;
    throwing.run([&] {
        {
            // A body that cannot be read leaves the text empty.
            ThrowAllErrorsScope quiet(FALSE);
            detail->set_text(getItemTextRT("Body", true));
        }
        const Lattice::Data start = getDate("StartDate", false);
        detail->set_startDate(start.isEmpty() ? Lattice::_DateData() : start.toDate());
        const long status = getStatus();
        detail->set_status(status);
        detail->set_percentComplete(status == kStatusOpen ? "0%" : "100%");
    });
    return 0;
}

int NotesTask::getImportance() {
    const String value = getItemString("Importance", false);
    return value == "1" ? 2 : value == "3" ? 0 : 1;
}

void NotesTask::setImportance(int importance) {
    String value = importance == 2 ? "1" : importance == 0 ? "3" : "2";
    setItemString("Importance", value);
}

// Older writers keep "DueState" as text; any value but 9 is an open to-do.
bool NotesTask::getCompleted() {
    long state = getInt("DueState", 0);
    if (state == 0) {
        const String text = getItemString("DueState", false);
        char* end = nullptr;
        const long parsed = text.isEmpty() ? 0 : std::strtol(text.c_str(), &end, 10);
        if (end && *end == '\0')
            state = parsed;
    }
    return state == kStateComplete;
}

long NotesTask::getStatus() {
    return getCompleted() ? kStatusComplete : kStatusOpen;
}

void NotesTask::setCompleted(bool complete) {
    if (!isOpen())
        return;
    const long state = complete ? kStateComplete : kStateOpen;
    LNItem item;
    if (findItem("DueState", item) && item.GetType() == LNITEMTYPE_NUMBERS && getInt("DueState", -1) == state)
        return;
    LNNumbers value;
    value.SetValue(static_cast<LNNUMBER>(state));
    note->CreateItem("DueState", value, LNITEMFLAGS_SUMMARY, LNITEMOPTION_DELETE_INSERT);
    if (state != kStateComplete)
        return;
    Lattice::_DateData today;
    if (LNNotesSession* session = provider ? provider->getSession() : nullptr) {
        LNDatetime now = session->GetCurrentDatetime();
        now.AdjustTimeZone(0, FALSE);
        today = dayOf(now);
    } else {
        today = Lattice::DateTimeUtil::convert(Lattice::DateTimeUtil::computeCurrentGMTTime());
    }
    bool ok = true;
    setDate("CompletedDate", Lattice::Data(today), false, false, ok);
}

void NotesTask::setDueDate(const Lattice::_DateData& due) {
    bool ok = true;
    setDate("DueDate", Lattice::Data(due), false, false, ok);
    Lattice::_DateTimeData midnight = Lattice::DateTimeUtil::convertToDateTime(due);
    midnight.zoneOffset = 0;
    setDate("DueDateTime", Lattice::Data(midnight), true, true, ok);
}

long NotesTask::save(hxMail::Task* task, Lattice::SchemaBase* schema, bool saveNow) {
    auto* detail = dynamic_cast<hxMail::TaskDetail*>(schema);
    if (!task || !detail)
        return 0;
    ThrowAllErrorsScope throwing;
    throwing.run([&] {
        if (!isOpen())
            return;
        String from = Lattice::HTMLEncode::UTF8ToString8(task->get_from());
        setItemString("From", from);
        String subject = Lattice::HTMLEncode::UTF8ToString8(task->get_subject());
        setItemString("Subject", subject);
        setCompleted(task->get_complete());
        setImportance(static_cast<int>(task->get_importance()));
        bool ok = true;
        setDate("StartDate", Lattice::Data(detail->get_startDate()), false, false, ok);
        setDueDate(task->get_dueDate());
        if (saveNow)
            NotesDocument::save();
    });
    return 0;
}

long NotesTask::saveSimple(String subject, bool complete, Lattice::_DateData due, long importance) {
    ThrowAllErrorsScope throwing;
    throwing.run([&] {
        if (!isOpen())
            return;
        String text = Lattice::HTMLEncode::UTF8ToString8(subject);
        setItemString("Subject", text);
        setCompleted(complete);
        setImportance(static_cast<int>(importance));
        setDueDate(due);
        NotesDocument::save();
    });
    return 0;
}

void NotesTask::getIndexLabel(String column, hxMail::MessageItem* item, Lattice::ObjectCollection* out) {
    auto* task = dynamic_cast<hxMail::Task*>(item);
    if (!task || !out)
        return;
    if (column == "complete") {
        out->add(Lattice::Data(String(task->get_complete() ? "Completed" : "In Progress")));
    } else if (column == "subject") {
        out->add(Lattice::Data(task->get_subject()));
    } else if (column == "importance") {
        const long importance = task->get_importance();
        out->add(Lattice::Data(String(importance == 0 ? "Low" : importance == 2 ? "High" : "Normal")));
    } else if (column == "dueDate") {
        const Lattice::_DateData due = task->get_dueDate();
        out->add(Lattice::Data(due.isSet() ? Lattice::DateTimeUtil::getSMTPDayString(
                                                 Lattice::DateTimeUtil::convertToDateTime(due))
                                           : String("None")));
    } else {
        out->add(Lattice::Data());
    }
}

Lattice::Ptr<hxMail::ChangeItem> NotesTask::getChangeItem(bool create) {
    if (!create)
        return nullptr;
    Lattice::Ptr<hxMail::ChangeItemCopy> change = new hxMail::ChangeItemCopy();
    if (database)
        change->set_parentId(database->getWellKnownFolderId(NotesDatabase::ToDo));
    Lattice::Ptr<hxMail::Task> task = new hxMail::Task();
    load(task, nullptr, false);
    change->set_itemId(task->get_id());
    change->set_item(Lattice::Ptr<hxMail::Item>(task.get()));
    return Lattice::Ptr<hxMail::ChangeItem>(change.get());
}

LATTICE_REGISTER_CLASS(NotesTask);

} // namespace hxMail::hxNotesProvider
