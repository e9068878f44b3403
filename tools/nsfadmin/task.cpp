// add-task: a to-do written through the class library with the items the mail template's "Task"
// form keeps (the ones the "($ToDo)" view shows and sorts by).
#include "task.h"

#include "admin_impl.h"

#include <cstdio>

namespace nsfadmin {

namespace {

bool readDay(const std::string& text, LNDatetime* out, std::string* error) {
    int y = 0, m = 0, d = 0;
    char tail = 0;
    LNDatetime day;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d%c", &y, &m, &d, &tail) != 3 ||
        day.SetDate(m, d, y) != LNNOERROR) {
        *error = "\"" + text + "\" is not a date YYYY-MM-DD of the Notes date range";
        return false;
    }
    *out = day;
    return true;
}

LNSTATUS setDates(LNDocument& doc, const char* name, const LNDatetime& value) {
    LNDatetimes dates;
    dates.SetValue(value);
    return doc.CreateItem(name, dates, LNITEMFLAGS_SUMMARY, LNITEMOPTION_DELETE_INSERT);
}

LNSTATUS setText(LNDocument& doc, const char* name, const std::string& value) {
    return doc.CreateItem(name, LNText(LNString(value.c_str())), LNITEMFLAGS_SUMMARY);
}

} // namespace

int Admin::addTask(const DbRef& ref, const TaskEntry& entry) {
    if (entry.subject.empty()) {
        return impl_->badInput("a task needs a subject");
    }
    const char* importance = entry.importance == "high"     ? "1"
                             : entry.importance == "normal" ? "2"
                             : entry.importance == "low"    ? "3"
                                                            : nullptr;
    if (!importance) {
        return impl_->badInput("--importance: high, normal or low");
    }
    LNDatetime due, start;
    std::string error;
    if ((!entry.due.empty() && !readDay(entry.due, &due, &error)) ||
        (!entry.start.empty() && !readDay(entry.start, &start, &error))) {
        return impl_->badInput(error);
    }
    LNDatabase db;
    if (int rc = impl_->openDb(ref, &db); rc != kOk) {
        return rc;
    }
    LNDocument doc;
    LNSTATUS s = db.CreateDocument(&doc, "Task");
    if (s == LNNOERROR)
        s = setText(doc, "Subject", utf8ToLatin1(entry.subject));
    if (s == LNNOERROR && !entry.from.empty())
        s = setText(doc, "From", notes::canonicalizeName(utf8ToLatin1(entry.from)));
    if (s == LNNOERROR)
        s = setText(doc, "Importance", importance);
    if (s == LNNOERROR && !due.IsNull()) {
        s = setDates(doc, "DueDate", due);
        // The same day at midnight GMT, which the view sorts by when "DueDate" is missing.
        LNDatetime midnight = due;
        if (s == LNNOERROR)
            s = midnight.SetTime(0, 0, 0, 0);
        if (s == LNNOERROR)
            s = midnight.SetTimeZone(0);
        if (s == LNNOERROR)
            s = setDates(doc, "DueDateTime", midnight);
    }
    if (s == LNNOERROR && !start.IsNull())
        s = setDates(doc, "StartDate", start);
    LNNumbers state;
    state.Append(entry.completed ? 9 : 1);
    if (s == LNNOERROR)
        s = doc.CreateItem("DueState", state, LNITEMFLAGS_SUMMARY, LNITEMOPTION_DELETE_INSERT);
    if (s == LNNOERROR && entry.completed) {
        LNDatetime today = impl_->session.GetCurrentDatetime();
        today.AdjustTimeZone(0);
        LNDatetime day;
        s = day.SetDate(today.GetMonth(), today.GetDay(), today.GetYear());
        if (s == LNNOERROR)
            s = setDates(doc, "CompletedDate", day);
    }
    if (s == LNNOERROR && !entry.text.empty()) {
        LNRichText body;
        body.SetValue(LNString(utf8ToLatin1(entry.text)));
        s = doc.CreateItem("Body", body, 0, LNITEMOPTION_DELETE_INSERT);
    }
    if (s != LNNOERROR) {
        return impl_->notesError("cannot write the task", s);
    }
    if (s = doc.Save(); s != LNNOERROR) {
        return impl_->notesError("cannot save the task", s);
    }
    LNUniversalID unid;
    doc.GetUniversalID(&unid);
    impl_->out << unid.GetText().str() << "\n";
    return kOk;
}

} // namespace nsfadmin
