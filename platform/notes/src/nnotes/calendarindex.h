// The calendar index of a database: one row per "Appointment" document with its start and end as
// GMT ticks, kept in the transaction that saves or deletes the document. A date-range question is
// one indexed range read, whatever the size of the file.
#pragma once

#include "notes/capi.h"

#include <cstdint>
#include <vector>

namespace notes {

class Database;
class Note;

class CalendarIndex {
public:
    explicit CalendarIndex(Database& store) : store_(store) {}
    CalendarIndex(const CalendarIndex&) = delete;
    CalendarIndex& operator=(const CalendarIndex&) = delete;

    // Entries that overlap [from, until): those starting before `until` and ending after `from`;
    // an entry without duration counts when it starts at or after `from`. In start order.
    STATUS overlapping(std::int64_t from, std::int64_t until, std::vector<NOTEID>* out);

    // Within the store's transaction, under its mutex:
    STATUS indexNoteLocked(NOTEID id, const Note& note); // a document's row (none unless an entry)
    STATUS removeLocked(NOTEID id);
    STATUS buildLocked(); // indexes every live document; a store made before the index had none

private:
    Database& store_;
};

// The span of an "Appointment" document in GMT ticks: false for any other note or one without a
// start. A missing end is the start; a date-only end takes in its whole day.
bool calendarSpan(const Note& note, std::int64_t* start, std::int64_t* end);

} // namespace notes
