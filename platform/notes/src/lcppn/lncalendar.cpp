#include "notes/lncalendar.h"
#include "lnbodies.h"
#include "lnitemtext.h"

#include <cstdint>

namespace {

using lnitems::firstText;
using lnitems::textList;

// Entry kinds in the order of their "AppointmentType" codes.
constexpr LNCALENDARENTRYTYPE kKinds[] = {LNCALENDARENTRYTYPE_APPOINTMENT, LNCALENDARENTRYTYPE_ANNIVERSARY,
                                          LNCALENDARENTRYTYPE_ALL_DAY_EVENT, LNCALENDARENTRYTYPE_MEETING,
                                          LNCALENDARENTRYTYPE_REMINDER};

} // namespace

LNCalendarEntry& LNCalendarEntry::operator=(const LNNote& note) {
    LNMailMessage::operator=(note);
    return *this;
}

LNCALENDARENTRYTYPE LNCalendarEntry::GetEntryType() const {
    const std::string code = firstText(*this, "AppointmentType").str();
    if (code.size() == 1 && code[0] >= '0' && code[0] <= '4') {
        return kKinds[code[0] - '0'];
    }
    return LNCALENDARENTRYTYPE_APPOINTMENT;
}

LNSTATUS LNCalendarEntry::SetEntryType(LNCALENDARENTRYTYPE type) {
    for (int code = 0; code < 5; ++code) {
        if (kKinds[code] == type) {
            return CreateItem("AppointmentType", LNText(LNString(std::to_string(code))), LNITEMFLAGS_SUMMARY,
                              LNITEMOPTION_DELETE_INSERT);
        }
    }
    return lnResult(ERR_INVALID_PARAM);
}

LNString LNCalendarEntry::GetBriefDescription() const {
    LNString s;
    GetSubject(&s);
    return s;
}

LNString LNCalendarEntry::GetOwner() const {
    const LNString chair = firstText(*this, "Chair");
    return chair.str().empty() ? firstText(*this, "From") : chair;
}

LNBOOL LNCalendarEntry::GetIsPenciledIn() const {
    return firstText(*this, "PenciledIn").str() == "1";
}

LNSTATUS LNCalendarEntry::SetIsPenciledIn(LNBOOL on) {
    if (!on) {
        return HasItem("PenciledIn") ? DeleteItem("PenciledIn") : LNNOERROR;
    }
    return CreateItem("PenciledIn", LNText(LNString("1")), LNITEMFLAGS_SUMMARY, LNITEMOPTION_DELETE_INSERT);
}

LNSTATUS LNCalendarEntry::GetRequiredAttendees(LNText* names) const {
    return textList(*this, "RequiredAttendees", names);
}

LNSTATUS LNCalendarEntry::GetOptionalAttendees(LNText* names) const {
    return textList(*this, "OptionalAttendees", names);
}

LNSTATUS LNCalendarEntry::GetDatetimeRange(LNDatetimeRange* range) const {
    if (range == nullptr) {
        return lnResult(ERR_INVALID_PARAM);
    }
    LNItem start, end;
    LNDatetimes s, e;
    if (HasItem("StartDateTime") && GetItem("StartDateTime", &start) == LNNOERROR) {
        s = start;
    }
    if (HasItem("EndDateTime") && GetItem("EndDateTime", &end) == LNNOERROR) {
        e = end;
    }
    *range = LNDatetimeRange(s.GetDatetimeCount() ? s[0] : LNDatetime(),
                             e.GetDatetimeCount() ? e[0] : LNDatetime());
    return LNNOERROR;
}

LNSTATUS LNCalendarEntry::SetDatetimeRange(const LNDatetimeRange& range) {
    if (range.GetBegin().IsNull() || range.GetEnd().IsNull() || range.GetEnd() < range.GetBegin()) {
        return lnResult(LNERR_INVALID_DATETIME);
    }
    LNDatetimes start, end;
    start.SetValue(range.GetBegin());
    end.SetValue(range.GetEnd());
    if (LNSTATUS s = CreateItem("StartDateTime", start, LNITEMFLAGS_SUMMARY, LNITEMOPTION_DELETE_INSERT);
        s != LNNOERROR) {
        return s;
    }
    return CreateItem("EndDateTime", end, LNITEMFLAGS_SUMMARY, LNITEMOPTION_DELETE_INSERT);
}

LNSTATUS LNCalendar::GetEntries(const LNDatetimeRange& range, std::vector<LNCalendarEntry>* entries,
                                LNBOOL flag, const LNString& name) {
    return GetEntries(db_, range, entries, flag, name);
}

// Read through the store's calendar index: one range read, no document opened.
LNSTATUS LNCalendar::GetEntries(const LNDatabase& db, const LNDatetimeRange& range,
                                std::vector<LNCalendarEntry>* entries, LNBOOL, const LNString&) {
    if (entries == nullptr) {
        return lnResult(ERR_INVALID_PARAM);
    }
    entries->clear();
    const auto store = notes::handles::database(db.GetDatabaseHandle());
    if (!store) {
        return lnResult(LNERR_DATABASE_NOT_OPEN);
    }
    const LNDatetime begin = range.GetBegin(), end = range.GetEnd();
    if (!begin.HasDate() || !end.HasDate() || end < begin) {
        return lnResult(LNERR_INVALID_DATETIME);
    }
    NOTEID view = 0;
    if (STATUS s = store->findDesign(NOTE_CLASS_VIEW, "($Calendar)", &view); s != NOERROR) {
        return lnResult(s);
    }
    const TIMEDATE to = end.GetTIMEDATE();
    const std::int64_t from = notes::ticksFromTimedate(begin.GetTIMEDATE());
    const std::int64_t until =
        notes::ticksFromTimedate(to) + (notes::timedateHasTime(to) ? 1 : notes::kTicksPerDay);
    std::vector<NOTEID> ids;
    if (STATUS s = store->calendarEntries(from, until, &ids); s != NOERROR) {
        return lnResult(s);
    }
    entries->reserve(ids.size());
    for (NOTEID id : ids) {
        LNDocument doc;
        if (db.GetDocument(id, &doc) == LNNOERROR) {
            entries->push_back(LNCalendarEntry(doc));
        }
    }
    return LNNOERROR;
}
