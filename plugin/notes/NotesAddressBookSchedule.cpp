// A user's busy time from the Notes scheduling service, through the C API.
#include "notes/NotesAddressBook.h"
#include "notes/NotesDatabase.h"

#include <cstring>

namespace hxMail::hxNotesProvider {

unsigned long NotesAddressBook::BusyTimeSearch(const LNDatetimeRange& interval, LNDatetimes* busy,
                                               const LNString& userName) {
    DHANDLE list = NULLHANDLE;
    void* names = nullptr;
    WORD listSize = 0;
    STATUS status = ListAllocate(0, 0, FALSE, &list, &names, &listSize);
    if (status == NOERROR) {
        OSUnlockObject(list);
        names = nullptr;
        status = ListAddEntry(list, FALSE, &listSize, 1, userName.GetTextPtr(),
                              static_cast<WORD>(userName.GetByteLength()));
    }
    HCNTNR container = NULLHANDLE;
    if (status == NOERROR) {
        TIMEDATE_PAIR pair{interval.GetBegin().GetTIMEDATE(), interval.GetEnd().GetTIMEDATE()};
        names = OSLockObject(list);
        status = SchRetrieve(nullptr, nullptr, SCHRQST_FORCEREMOTE | SCHRQST_EACHPERSON, &pair,
                             static_cast<const LIST*>(names), &container, nullptr, nullptr, nullptr);
        DWORD schedule = 0;
        if (status == NOERROR)
            status = SchContainer_GetFirstSchedule(container, &schedule, nullptr);
        DHANDLE ranges = NULLHANDLE;
        DWORD size = 0;
        if (status == NOERROR)
            status =
                Schedule_ExtractBusyTimeRange(container, schedule, nullptr, nullptr, &size, &ranges, nullptr);
        if (status == NOERROR && ranges != NULLHANDLE) {
            getBusyRanges(static_cast<char*>(OSLockObject(ranges)), busy, userName);
            OSUnlockObject(ranges);
            OSMemFree(ranges);
        }
        if (container != NULLHANDLE)
            SchContainer_Free(container);
    }
    if (status != NOERROR)
        NotesDatabase::PrintAPIError(status);
    if (list != NULLHANDLE) {
        if (names)
            OSUnlockObject(list);
        OSMemFree(list);
    }
    return status;
}

// Only range entries count: the single-entry count of the header is not read.
void NotesAddressBook::getBusyRanges(char* rangeList, LNDatetimes* busy, LNString) {
    if (!rangeList || !busy)
        return;
    WORD count = 0;
    std::memcpy(&count, rangeList + sizeof(WORD), sizeof count);
    const char* pairs = rangeList + 2 * sizeof(WORD);
    for (WORD i = 0; i < count; ++i) {
        TIMEDATE_PAIR pair;
        std::memcpy(&pair, pairs + i * sizeof pair, sizeof pair);
        busy->Append(LNDatetimeRange(pair));
    }
}

void NotesAddressBook::GetTDString(TIMEDATE* td, char* text) {
    if (!td || !text)
        return;
    WORD length = 0;
    if (ConvertTIMEDATEToText(nullptr, nullptr, td, text, 80, &length) != NOERROR)
        length = 0;
    text[length] = '\0';
}

} // namespace hxMail::hxNotesProvider
