// The calendar index: rows (note id, start, end) ordered by start, and the longest span seen
// ("calendar_span" in meta), so that entries starting before a range and reaching into it are found
// by reading back no further than that span.
#include "calendarindex.h"

#include "sqlite_util.h"
#include "store.h"
#include "values.h"

#include <algorithm>
#include <string>

namespace notes {

using sql::statusOf;
using sql::Use;

namespace {

bool firstTime(const Note& note, const char* name, TIMEDATE* out) {
    const Item* item = note.find(name);
    if (item == nullptr) {
        return false;
    }
    std::vector<TIMEDATE> values;
    std::vector<TIMEDATE_PAIR> ranges;
    if (!ods::decodeTimes(item->type, item->value, &values, &ranges)) {
        return false;
    }
    if (!values.empty()) {
        *out = values.front();
        return true;
    }
    if (!ranges.empty()) {
        *out = ranges.front().Lower;
        return true;
    }
    return false;
}

} // namespace

bool calendarSpan(const Note& note, std::int64_t* start, std::int64_t* end) {
    const Item* form = note.find("Form");
    std::vector<std::string> forms;
    if (form == nullptr || !ods::decodeText(form->type, form->value, &forms) || forms.empty() ||
        lower(forms.front()) != "appointment") {
        return false;
    }
    TIMEDATE begin{}, finish{};
    if (!firstTime(note, "StartDateTime", &begin) || !timedateHasDate(begin)) {
        return false;
    }
    *start = ticksFromTimedate(begin);
    if (firstTime(note, "EndDateTime", &finish) && timedateHasDate(finish)) {
        *end = ticksFromTimedate(finish) + (timedateHasTime(finish) ? 0 : kTicksPerDay);
    } else {
        *end = *start;
    }
    *end = std::max(*end, *start);
    return true;
}

STATUS CalendarIndex::removeLocked(NOTEID id) {
    sqlite3_stmt* s = nullptr;
    if (STATUS st = store_.prepare("DELETE FROM calendar_index WHERE note_id = ?", &s); st != NOERROR) {
        return st;
    }
    Use use(s);
    sqlite3_bind_int64(s, 1, id);
    return statusOf(sqlite3_step(s));
}

STATUS CalendarIndex::indexNoteLocked(NOTEID id, const Note& note) {
    std::int64_t start = 0, end = 0;
    if (!calendarSpan(note, &start, &end)) {
        return removeLocked(id);
    }
    sqlite3_stmt* s = nullptr;
    if (STATUS st =
            store_.prepare("INSERT OR REPLACE INTO calendar_index(note_id, start, end) VALUES(?, ?, ?)", &s);
        st != NOERROR) {
        return st;
    }
    {
        Use use(s);
        sqlite3_bind_int64(s, 1, id);
        sqlite3_bind_int64(s, 2, start);
        sqlite3_bind_int64(s, 3, end);
        if (const int rc = sqlite3_step(s); rc != SQLITE_DONE) {
            return statusOf(rc);
        }
    }
    const std::string span = store_.meta("calendar_span");
    if (span.empty() || std::stoll(span) < end - start) {
        return store_.setMeta("calendar_span", std::to_string(end - start));
    }
    return NOERROR;
}

STATUS CalendarIndex::buildLocked() {
    std::vector<NOTEID> ids;
    sqlite3_stmt* s = nullptr;
    if (STATUS st = store_.prepare("SELECT note_id FROM notes WHERE note_class = ? AND deleted = 0", &s);
        st != NOERROR) {
        return st;
    }
    {
        Use use(s);
        sqlite3_bind_int(s, 1, NOTE_CLASS_DOCUMENT);
        int rc;
        while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
            ids.push_back(static_cast<NOTEID>(sqlite3_column_int64(s, 0)));
        }
        if (rc != SQLITE_DONE) {
            return statusOf(rc);
        }
    }
    for (NOTEID id : ids) {
        Note note;
        if (STATUS st = store_.loadLocked(id, &note); st != NOERROR) {
            return st;
        }
        if (STATUS st = indexNoteLocked(id, note); st != NOERROR) {
            return st;
        }
    }
    return store_.meta("calendar_span").empty() ? store_.setMeta("calendar_span", "0") : NOERROR;
}

STATUS CalendarIndex::overlapping(std::int64_t from, std::int64_t until, std::vector<NOTEID>* out) {
    out->clear();
    if (until <= from) {
        return NOERROR;
    }
    std::lock_guard<std::mutex> lock(store_.mutex_);
    const std::string span = store_.meta("calendar_span");
    const std::int64_t longest = span.empty() ? 0 : std::stoll(span);
    sqlite3_stmt* s = nullptr;
    if (STATUS st = store_.prepare("SELECT note_id FROM calendar_index WHERE start >= ?1 AND start < ?2 "
                                   "AND (end > ?3 OR start >= ?3) ORDER BY start, note_id",
                                   &s);
        st != NOERROR) {
        return st;
    }
    Use use(s);
    sqlite3_bind_int64(s, 1, from - longest);
    sqlite3_bind_int64(s, 2, until);
    sqlite3_bind_int64(s, 3, from);
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        out->push_back(static_cast<NOTEID>(sqlite3_column_int64(s, 0)));
    }
    return rc == SQLITE_DONE ? NOERROR : statusOf(rc);
}

} // namespace notes
