// Text lists and the scheduling service: a person's busy time is read from the calendar index of
// the mail file the directory names for them, so a month for twenty people opens no document that
// is not in that month.
#include "notes/admin/names.h"
#include "runtime.h"
#include "store.h"
#include "values.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

bool readList(const std::vector<char>& bytes, std::vector<std::string>* out) {
    if (bytes.size() < sizeof(WORD))
        return false;
    WORD count = 0;
    std::memcpy(&count, bytes.data(), sizeof count);
    std::size_t at = sizeof(WORD) + count * sizeof(WORD);
    if (bytes.size() < at)
        return false;
    for (WORD i = 0; i < count; ++i) {
        WORD length = 0;
        std::memcpy(&length, bytes.data() + sizeof(WORD) * (1 + i), sizeof length);
        if (bytes.size() < at + length)
            return false;
        out->emplace_back(bytes.data() + at, length);
        at += length;
    }
    return true;
}

std::vector<char> writeList(const std::vector<std::string>& texts) {
    std::vector<char> bytes;
    auto word = [&](std::size_t v) {
        const WORD w = static_cast<WORD>(v);
        bytes.insert(bytes.end(), reinterpret_cast<const char*>(&w),
                     reinterpret_cast<const char*>(&w) + sizeof w);
    };
    word(texts.size());
    for (const std::string& t : texts)
        word(t.size());
    for (const std::string& t : texts)
        bytes.insert(bytes.end(), t.begin(), t.end());
    return bytes;
}

// The busy spans of one person within [from, until), merged, in GMT ticks.
STATUS busySpans(const std::string& name, std::int64_t from, std::int64_t until,
                 std::vector<std::pair<std::int64_t, std::int64_t>>* out) {
    notes::NameLookup lookup;
    if (STATUS s = lookup.open(notes::DataDirectory::current(), "", {"($Users)"}); s != NOERROR)
        return s;
    std::vector<notes::NameMatch> matches;
    if (lookup.find(name, false, {"Form", "MailServer", "MailFile"}, &matches) != NOERROR || matches.empty())
        return ERR_SCHED_NO_USER;
    const notes::NameMatch& m = matches.back();
    std::vector<std::string> form, server, file;
    if (m.items.size() < 3 || !notes::ods::decodeText(m.items[0].first, m.items[0].second, &form) ||
        form.empty() || notes::lower(form[0]) != "person" ||
        !notes::ods::decodeText(m.items[2].first, m.items[2].second, &file) || file.empty() ||
        file[0].empty())
        return ERR_SCHED_NO_USER; // a group, or a person without mail
    notes::ods::decodeText(m.items[1].first, m.items[1].second, &server);
    std::string path;
    if (notes::resolveDatabaseFile(server.empty() ? m.server : server[0], file[0], true, &path) != NOERROR)
        return ERR_SCHED_NO_USER;
    std::shared_ptr<notes::Database> db;
    if (STATUS s = notes::Database::open(path, server.empty() ? m.server : server[0], file[0], &db);
        s != NOERROR)
        return s;
    std::vector<NOTEID> ids;
    if (STATUS s = db->calendarEntries(from, until, &ids); s != NOERROR)
        return s;
    for (NOTEID id : ids) {
        notes::Note note;
        if (db->load(id, &note) != NOERROR)
            continue;
        std::vector<std::string> penciled;
        if (const notes::Item* p = note.find("PenciledIn");
            p && notes::ods::decodeText(p->type, p->value, &penciled) && !penciled.empty() &&
            penciled[0] == "1")
            continue; // penciled in: not busy
        std::int64_t start = 0, end = 0;
        if (!notes::calendarSpan(note, &start, &end) || end <= start)
            continue;
        out->emplace_back(std::max(start, from), std::min(end, until));
    }
    std::sort(out->begin(), out->end());
    std::vector<std::pair<std::int64_t, std::int64_t>> merged;
    for (const auto& span : *out) {
        if (!merged.empty() && span.first <= merged.back().second)
            merged.back().second = std::max(merged.back().second, span.second);
        else
            merged.push_back(span);
    }
    *out = std::move(merged);
    return NOERROR;
}

// A container: the interval and, per name, the status of its schedule and the range list bytes.
struct Schedule {
    STATUS status = NOERROR;
    std::vector<std::pair<std::int64_t, std::int64_t>> busy;
};

} // namespace

extern "C" {

STATUS ListAllocate(WORD entries, WORD textSize, BOOL fPrefixDataType, DHANDLE* rethList, void** retpList,
                    WORD* retListSize) {
    if (rethList == nullptr || fPrefixDataType)
        return ERR_INVALID_PARAM;
    std::vector<std::string> texts(entries, std::string(textSize, '\0'));
    std::vector<char> bytes = writeList(texts);
    const WORD size = static_cast<WORD>(bytes.size());
    *rethList = notes::handles::addMemory(std::move(bytes));
    if (retListSize)
        *retListSize = size;
    if (retpList)
        *retpList = OSLockObject(*rethList);
    return NOERROR;
}

STATUS ListAddEntry(DHANDLE hList, BOOL fPrefixDataType, WORD* pListSize, WORD entryNumber, const char* text,
                    WORD textSize) {
    const auto block = notes::handles::memory(hList);
    if (!block || fPrefixDataType || (text == nullptr && textSize > 0))
        return ERR_INVALID_PARAM;
    if (block->locks > 0)
        return ERR_HANDLE_LOCKED;
    std::vector<std::string> texts;
    if (!readList(block->bytes, &texts))
        return ERR_INVALID_PARAM;
    const std::size_t at = std::min<std::size_t>(entryNumber, texts.size());
    texts.insert(texts.begin() + static_cast<std::ptrdiff_t>(at), std::string(text ? text : "", textSize));
    block->bytes = writeList(texts);
    if (pListSize)
        *pListSize = static_cast<WORD>(block->bytes.size());
    return NOERROR;
}

STATUS SchRetrieve(const void*, const TIMEDATE*, DWORD, const TIMEDATE_PAIR* pInterval, const LIST* pNames,
                   HCNTNR* rethCntnr, void*, void*, void*) {
    if (pInterval == nullptr || pNames == nullptr || rethCntnr == nullptr)
        return ERR_INVALID_PARAM;
    const std::int64_t from = notes::ticksFromTimedate(pInterval->Lower);
    const std::int64_t until = notes::ticksFromTimedate(pInterval->Upper);
    if (until < from)
        return ERR_SCHED_BAD_INTERVAL;
    // The list is read in place: its layout is counted from its own words.
    const WORD count = pNames->ListEntries;
    const char* base = reinterpret_cast<const char*>(pNames);
    std::vector<char> bytes(base, base + sizeof(WORD) * (1 + count));
    std::size_t total = 0;
    for (WORD i = 0; i < count; ++i) {
        WORD length = 0;
        std::memcpy(&length, base + sizeof(WORD) * (1 + i), sizeof length);
        total += length;
    }
    bytes.insert(bytes.end(), base + bytes.size(), base + bytes.size() + total);
    std::vector<std::string> names;
    readList(bytes, &names);
    std::vector<Schedule> schedules(names.size());
    for (std::size_t i = 0; i < names.size(); ++i)
        schedules[i].status = busySpans(names[i], from, until, &schedules[i].busy);
    // The container's block: per schedule its status (WORD), span count (DWORD) and spans.
    std::vector<char> container;
    auto put = [&](const void* p, std::size_t n) {
        container.insert(container.end(), static_cast<const char*>(p), static_cast<const char*>(p) + n);
    };
    const DWORD n = static_cast<DWORD>(schedules.size());
    put(&n, sizeof n);
    for (const Schedule& s : schedules) {
        const DWORD spans = static_cast<DWORD>(s.busy.size());
        put(&s.status, sizeof s.status);
        put(&spans, sizeof spans);
        for (const auto& span : s.busy) {
            put(&span.first, sizeof span.first);
            put(&span.second, sizeof span.second);
        }
    }
    *rethCntnr = notes::handles::addMemory(std::move(container));
    return NOERROR;
}

STATUS SchContainer_GetFirstSchedule(HCNTNR hCntnr, DWORD* rethSchedObj, void** retpSchedule) {
    const auto block = notes::handles::memory(hCntnr);
    if (!block || rethSchedObj == nullptr)
        return ERR_INVALID_HANDLE;
    DWORD n = 0;
    std::memcpy(&n, block->bytes.data(), sizeof n);
    if (n == 0)
        return ERR_SCHED_NO_USER;
    STATUS status = NOERROR;
    std::memcpy(&status, block->bytes.data() + sizeof n, sizeof status);
    if (status != NOERROR)
        return status;
    *rethSchedObj = 1;
    if (retpSchedule)
        *retpSchedule = nullptr;
    return NOERROR;
}

STATUS Schedule_ExtractBusyTimeRange(HCNTNR hCntnr, DWORD hSchedObj, const UNID*,
                                     const TIMEDATE_PAIR* pInterval, DWORD* retdwSize, DHANDLE* rethRange,
                                     DHANDLE* rethMoreCtx) {
    const auto block = notes::handles::memory(hCntnr);
    if (!block || hSchedObj != 1 || rethRange == nullptr)
        return ERR_INVALID_HANDLE;
    const char* p = block->bytes.data() + sizeof(DWORD) + sizeof(STATUS);
    DWORD spans = 0;
    std::memcpy(&spans, p, sizeof spans);
    p += sizeof spans;
    std::int64_t from = INT64_MIN, until = INT64_MAX;
    if (pInterval) {
        from = notes::ticksFromTimedate(pInterval->Lower);
        until = notes::ticksFromTimedate(pInterval->Upper);
    }
    std::vector<TIMEDATE_PAIR> pairs;
    for (DWORD i = 0; i < spans; ++i) {
        std::pair<std::int64_t, std::int64_t> span;
        std::memcpy(&span.first, p + i * 2 * sizeof(std::int64_t), sizeof span.first);
        std::memcpy(&span.second, p + (i * 2 + 1) * sizeof(std::int64_t), sizeof span.second);
        if (span.second <= from || span.first >= until)
            continue;
        pairs.push_back({notes::timedateFromTicks(std::max(span.first, from)),
                         notes::timedateFromTicks(std::min(span.second, until))});
    }
    RANGE head{0, static_cast<WORD>(pairs.size())};
    std::vector<char> bytes(reinterpret_cast<const char*>(&head),
                            reinterpret_cast<const char*>(&head) + sizeof head);
    for (const TIMEDATE_PAIR& pair : pairs)
        bytes.insert(bytes.end(), reinterpret_cast<const char*>(&pair),
                     reinterpret_cast<const char*>(&pair) + sizeof pair);
    if (retdwSize)
        *retdwSize = static_cast<DWORD>(bytes.size());
    *rethRange = notes::handles::addMemory(std::move(bytes));
    if (rethMoreCtx)
        *rethMoreCtx = NULLHANDLE;
    return NOERROR;
}

void SchContainer_Free(HCNTNR hCntnr) {
    notes::handles::freeMemory(hCntnr);
}

} // extern "C"
