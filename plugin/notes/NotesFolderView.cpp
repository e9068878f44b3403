// Sorting, indexing and paging of a folder's view, and what a folder lists by form.
#include "calendar/NotesAppointment.h"
#include "contacts/NotesContact.h"
#include "contacts/NotesDistributionList.h"
#include "mail/NotesMessage.h"
#include "notes/NotesAddressBook.h"
#include "notes/NotesDatabase.h"
#include "notes/NotesErrors.h"
#include "notes/NotesFolder.h"
#include "notes/NotesHandle.h"
#include "provider/MailProvider.h"
#include "tasks/NotesTask.h"

#include "Lattice/HTMLEncode.h"
#include "Lattice/Logger.h"
#include "hxMail/Calendar.h"
#include "hxMail/Contact.h"
#include "hxMail/Task.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <utility>

namespace hxMail::hxNotesProvider {

namespace {

constexpr LNINT kResortAscending = 256;
constexpr const char* kSizeFormula = "@If(@IsDocTruncated;@If(@TextToNumber(@Version) < 172; "
                                     "@DocLength;@DocOmittedLength + @DocLength);@DocLength)";

// The column of the view design titled `title`, or -1.
LNINT findColumn(LNNote& view, const char* title) {
    LNItem item;
    if (view.GetItem("$ColumnTitles", &item) != LNNOERROR)
        return -1;
    LNText titles;
    titles = item;
    for (LNINT i = 0; i < titles.GetCount(); ++i)
        if (LNStringCompare(titles[i], LNString(title), 0) == 0)
            return i;
    return -1;
}

// Appends one column to the four design lists of the view note.
void appendColumn(LNNote& view, const char* title, const char* items, const char* formula, LNINT flags) {
    auto appendText = [&view](const char* name, const char* value) {
        LNItem item;
        LNText list;
        if (view.HasItem(name) && view.GetItem(name, &item) == LNNOERROR) {
            list = item;
            list.Append(LNString(value));
        } else {
            LNText fresh;
            fresh.Append(LNString(value));
            view.CreateItem(name, fresh, LNITEMFLAGS_SUMMARY, LNITEMOPTION_DELETE_APPEND);
        }
    };
    LNINT before = 0;
    if (LNItem titles; view.HasItem("$ColumnTitles") && view.GetItem("$ColumnTitles", &titles) == LNNOERROR) {
        LNText t;
        t = titles;
        before = t.GetCount();
    }
    // Lists shorter than the titles are padded so that the new column lines up.
    auto pad = [&](const char* name) {
        LNItem item;
        if (!view.HasItem(name)) {
            LNText fresh;
            for (LNINT i = 0; i < before; ++i)
                fresh.Append(LNString(""));
            view.CreateItem(name, fresh, LNITEMFLAGS_SUMMARY, LNITEMOPTION_DELETE_APPEND);
            return;
        }
        view.GetItem(name, &item);
        LNText list;
        list = item;
        while (list.GetCount() < before)
            list.Append(LNString(""));
    };
    pad("$ColumnItems");
    pad("$ColumnFormulas");
    appendText("$ColumnTitles", title);
    appendText("$ColumnItems", items);
    appendText("$ColumnFormulas", formula);
    LNItem flagItem;
    if (view.HasItem("$ColumnFlags") && view.GetItem("$ColumnFlags", &flagItem) == LNNOERROR) {
        LNNumbers numbers;
        numbers = flagItem;
        while (numbers.GetCount() < before)
            numbers.Append(0);
        numbers.Append(static_cast<LNNUMBER>(flags));
    } else {
        LNNumbers fresh;
        for (LNINT i = 0; i < before; ++i)
            fresh.Append(0);
        fresh.Append(static_cast<LNNUMBER>(flags));
        view.CreateItem("$ColumnFlags", fresh, LNITEMFLAGS_SUMMARY, LNITEMOPTION_DELETE_APPEND);
    }
}

// The collation of each sortable column by folder kind, in the mail template's views. Columns
// marked addColumn are made re-sortable (or added) by modColumn before the collation is used.
struct SortCollation {
    _FolderType folder;
    const char* column;
    WORD collation;
    bool addColumn;
};
constexpr SortCollation kSortCollations[] = {
    {FolderTypeInbox, "received", 5, false},   {FolderTypeInbox, "flag", 5, false},
    {FolderTypeInbox, "from", 2, false},       {FolderTypeInbox, "subject", 7, true},
    {FolderTypeInbox, "size", 6, false},       {FolderTypeInbox, "hasAttachments", 0, false},
    {FolderTypeTasks, "complete", 3, false},   {FolderTypeTasks, "subject", 1, false},
    {FolderTypeTasks, "importance", 6, true},  {FolderTypeTasks, "dueDate", 2, false},
    {FolderTypeSentItems, "sent", 4, false},   {FolderTypeSentItems, "to", 2, false},
    {FolderTypeSentItems, "subject", 6, true}, {FolderTypeSentItems, "size", 5, false},
    {FolderTypeDrafts, "sent", 3, false},      {FolderTypeDrafts, "to", 2, false},
    {FolderTypeDrafts, "subject", 4, true},    {FolderTypeDrafts, "size", 5, true},
};

// The view column whose values label the pages of a host sort column, by folder kind. Columns not
// listed (attachments, the drafts' send date, tasks and contacts) are labelled from the documents.
enum class LabelFrom { Day, Name, Text, Number };
struct LabelColumn {
    _FolderType folder;
    const char* column;
    const char* title;
    LabelFrom from;
    // The collation sorts by this very column, so equal labels stand together.
    bool inRuns;
};
constexpr LabelColumn kLabelColumns[] = {
    {FolderTypeInbox, "received", "Date", LabelFrom::Day, true},
    {FolderTypeInbox, "flag", "Date", LabelFrom::Day, false},
    {FolderTypeInbox, "from", "Who", LabelFrom::Name, false},
    {FolderTypeInbox, "subject", "Subject", LabelFrom::Text, false},
    {FolderTypeInbox, "size", "Size", LabelFrom::Number, true},
    {FolderTypeSentItems, "sent", "Date", LabelFrom::Day, true},
    {FolderTypeSentItems, "to", "To", LabelFrom::Name, false},
    {FolderTypeSentItems, "subject", "Subject", LabelFrom::Text, false},
    {FolderTypeSentItems, "size", "Size", LabelFrom::Number, true},
    {FolderTypeDrafts, "to", "To", LabelFrom::Name, false},
    {FolderTypeDrafts, "subject", "Subject", LabelFrom::Text, false},
    {FolderTypeDrafts, "size", "Size", LabelFrom::Number, true},
};

Lattice::String textOf(const LNString& s, bool utf8) {
    Lattice::String text(s.GetTextPtr(), static_cast<std::size_t>(s.GetByteLength()));
    return utf8 ? Lattice::HTMLEncode::string8ToUTF8(text) : text;
}

} // namespace

void NotesFolder::setSortContext(String column, bool ascending) {
    sortColumn = column;
    sortAscending = ascending;
    if (folderType == FolderTypeContacts)
        collation = 0;
    if (folderType == FolderTypeTasks)
        viewName = "($Todo)";
    for (const SortCollation& row : kSortCollations) {
        if (row.folder != folderType || column != row.column)
            continue;
        if (row.addColumn)
            modColumn(column);
        collation = row.collation;
        break;
    }
    Lattice::Logger::print("Folder Name=%s", viewName.c_str());
    Lattice::Logger::print("Sort Column Name=%s", column.c_str());
    Lattice::Logger::print("Sort Column Index=%d", static_cast<int>(collation));
}

void NotesFolder::modColumn(String column) {
    ThrowAllErrorsScope throwing;
    try {
        LNDatabase* db = database ? database->getDatabase() : nullptr;
        if (!db)
            return;
        LNViewFolder view;
        db->GetViewFolder(LNString(viewName.c_str()), &view);
        view.Open();
        bool changed = false;
        if (column == "importance") {
            if (findColumn(view, "Importance") < 0) {
                appendColumn(view, "Importance", "Importance", "", kResortAscending);
                changed = true;
            }
        } else if (column == "size") {
            if (findColumn(view, "Size") < 0) {
                appendColumn(view, "Size", "", kSizeFormula, kResortAscending);
                changed = true;
            }
        } else if (column == "subject") {
            const LNINT at = findColumn(view, "Subject");
            LNItem item;
            if (at >= 0 && view.GetItem("$ColumnFlags", &item) == LNNOERROR) {
                LNNumbers flags;
                flags = item;
                while (flags.GetCount() <= at)
                    flags.Append(0);
                const LNINT current = static_cast<LNINT>(flags[at]);
                if (current != kResortAscending) {
                    flags.Delete(at);
                    flags.Insert(at, static_cast<LNNUMBER>(kResortAscending));
                    changed = true;
                }
            }
        }
        if (changed) {
            view.Save();
            view.Refresh();
        }
        view.Close();
    } catch (LNSTATUS status) {
        Lattice::Logger::print("LOTUS ERROR=%s", notesErrorText(status).c_str());
    }
}

bool NotesFolder::readViewNoteIds(bool setCollationAlways, std::vector<unsigned long>& ids, bool logErrors,
                                  const std::function<void(long total, long* first, long* count)>& window) {
    ids.clear();
    LNDatabase* db = database ? database->getDatabase() : nullptr;
    if (!db)
        return false;
    const DBHANDLE handle = db->GetDatabaseHandle();
    NOTEID viewId = 0;
    STATUS status = NIFFindView(handle, viewName.c_str(), &viewId);
    NotesCollection collection;
    if (status == NOERROR)
        status = NIFOpenCollection(handle, handle, viewId, 0, NULLHANDLE, collection.out(), nullptr, nullptr,
                                   nullptr, nullptr);
    if (status != NOERROR) {
        if (logErrors)
            Lattice::Logger::print("LOTUS ERROR=%s", notesErrorText(status).c_str());
        return false;
    }
    if (setCollationAlways || collation > 0) {
        const STATUS set = NIFSetCollation(collection.get(), collation);
        if (!setCollationAlways && ERR(set) == ERR_BAD_COLLATION)
            Lattice::Logger::print("Bad collation number:%d\n", static_cast<int>(collation));
    }
    COLLECTIONPOSITION position{};
    NotesMemory buffer;
    DWORD bufferLength = 0;
    DWORD skipped = 0;
    DWORD returned = 0;
    WORD signal = 0;
    DWORD skip = 1;
    DWORD wanted = NIF_READ_ALL;
    if (window) {
        // Skipping past the end counts the entries without reading one.
        status =
            NIFReadEntriesExt(collection.get(), &position, NAVIGATE_NEXT, 0xFFFFFFFFUL, NAVIGATE_NEXT, 0,
                              READ_MASK_NOTEID, buffer.out(), &bufferLength, &skipped, &returned, &signal);
        if (status != NOERROR) {
            if (logErrors)
                Lattice::Logger::print("LOTUS ERROR=%s", notesErrorText(status).c_str());
            return false;
        }
        buffer = NotesMemory();
        long first = 0;
        long count = 0;
        window(static_cast<long>(skipped), &first, &count);
        if (count <= 0 || first < 0)
            return true;
        skip = static_cast<DWORD>(first) + 1;
        wanted = static_cast<DWORD>(count);
        position = COLLECTIONPOSITION{};
    }
    status = NIFReadEntriesExt(collection.get(), &position, NAVIGATE_NEXT, skip, NAVIGATE_NEXT, wanted,
                               READ_MASK_NOTEID, buffer.out(), &bufferLength, &skipped, &returned, &signal);
    if (status != NOERROR) {
        if (logErrors)
            Lattice::Logger::print("LOTUS ERROR=%s", notesErrorText(status).c_str());
        return false;
    }
    if (buffer) {
        const DWORD* entries = static_cast<const DWORD*>(OSLockObject(buffer.get()));
        ids.assign(entries, entries + returned);
        OSUnlockObject(buffer.get());
    }
    return true;
}

bool NotesFolder::getSortIndexFromView(long pageSize, Lattice::ObjectCollection* out) {
    const LabelColumn* label = nullptr;
    for (const LabelColumn& row : kLabelColumns)
        if (row.folder == folderType && sortColumn == row.column)
            label = &row;
    LNDatabase* db = database ? database->getDatabase() : nullptr;
    if (!label || !db)
        return false;
    LNViewFolder view;
    LNViewColumn column;
    if (db->GetViewFolder(LNString(viewName.c_str()), &view) != LNNOERROR || view.Open() != LNNOERROR ||
        view.GetColumn(LNString(label->title), &column) != LNNOERROR)
        return false;
    if (collation > 0) {
        LNSTATUS status = LNNOERROR;
        try {
            status = view.SetCollation(collation);
        } catch (LNSTATUS thrown) {
            status = thrown;
        }
        if (status != LNNOERROR)
            return false; // the documents' way reports the bad number and reads on
    }
    LNVFNavigator entries;
    view.GetEntries(&entries);
    const long n = entries.GetEntryCount();
    LNNotesSession* session = provider ? provider->getSession() : nullptr;
    // One host item carries each value into the same label a document's item gives.
    Lattice::Ptr<hxMail::Message> item = new hxMail::Message();
    const Lattice::Ptr<hxMail::Message> blank = new hxMail::Message();
    // Neighbouring pages mostly share a day: its label is made once, and the last one is at hand.
    std::map<std::pair<DWORD, DWORD>, Lattice::Data> days;
    std::pair<DWORD, DWORD> lastDay{0xFFFFFFFFu, 0xFFFFFFFFu};
    Lattice::Data lastDayLabel;
    // A name or text label reads one field of the item; only that one is filled.
    enum class Field { From, To, Subject, All };
    const Field field = sortColumn == "from"      ? Field::From
                        : sortColumn == "to"      ? Field::To
                        : sortColumn == "subject" ? Field::Subject
                                                  : Field::All;
    // One item of the column's kind takes every entry's value in turn, read straight into it: a label
    // costs no allocation or copy of its own.
    LNDatetimes dates;
    LNText text;
    LNNumbers numbers;
    LNItem& value = label->from == LabelFrom::Day      ? static_cast<LNItem&>(dates)
                    : label->from == LabelFrom::Number ? static_cast<LNItem&>(numbers)
                                                       : static_cast<LNItem&>(text);
    const LNINT columnIndex = column.GetIndex();
    long readAt = -1;
    LNITEMTYPE type = LNITEMTYPE_ERROR;
    // Reads the value at a position; gives what its label depends on (a time's day, a number),
    // or nothing where the value is missing or its label depends on more.
    auto read = [&](long position) -> std::optional<std::uint64_t> {
        if (position != readAt) {
            readAt = position;
            const LNVFEntry entry = entries[static_cast<LNINT>(position)];
            if (entry.IsNull() || entry.GetColumnValue(columnIndex, &value) != LNNOERROR)
                value = LNItem();
            type = value.IsNull() ? LNITEMTYPE_ERROR : value.GetType();
        }
        if (label->from == LabelFrom::Day && type == LNITEMTYPE_DATETIMES) {
            // A time without a date collates by its time of day alone and so has no day's place.
            const LNDatetime when = dates[0];
            if (!when.IsNull() && when.HasDate())
                return when.GetTIMEDATE().Innards[1] & 0xFFFFFFu;
            return std::nullopt;
        }
        if (label->from == LabelFrom::Number && type == LNITEMTYPE_NUMBERS && numbers.GetCount() > 0)
            return std::bit_cast<std::uint64_t>(static_cast<double>(numbers[0]));
        return std::nullopt;
    };
    // Adds the label of the value read last.
    auto addLabel = [&] {
        switch (label->from) {
        case LabelFrom::Day: {
            const bool isTime = type == LNITEMTYPE_DATETIMES;
            // An index past the values gives a null time: no count is asked first.
            const LNDatetime when = isTime ? dates[0] : LNDatetime();
            // The label shows the day in GMT, which is what a time's Julian day counts.
            const TIMEDATE stamp = when.IsNull() ? TIMEDATE{} : when.GetTIMEDATE();
            const auto key =
                std::make_pair(stamp.Innards[0] == ALLDAY ? ALLDAY : 0, stamp.Innards[1] & 0xFFFFFFu);
            if (key == lastDay) {
                out->add(lastDayLabel);
                return;
            }
            if (const auto hit = days.find(key); hit != days.end()) {
                lastDay = key;
                lastDayLabel = hit->second;
                out->add(hit->second);
                return;
            }
            const Lattice::_DateTimeData day =
                when.IsNull()
                    ? (label->column == std::string("sent") ? blank->get_sent() : blank->get_received())
                    : gmtDateTime(when);
            item->set_received(day);
            item->set_sent(day);
            const long before = out->count();
            NotesMessage::indexLabel(sortColumn, item.get(), out);
            if (out->count() > before) {
                lastDay = key;
                lastDayLabel = (*out)[out->count() - 1];
                days.emplace(key, lastDayLabel);
            }
            return;
        }
        case LabelFrom::Name:
        case LabelFrom::Text: {
            const bool isText = type == LNITEMTYPE_TEXT;
            LNString first = isText ? text[0] : LNString();
            if (label->from == LabelFrom::Name && session && first.GetByteLength() > 0)
                first = session->AbbreviateName(first);
            const String shown = textOf(first, true);
            if (field == Field::From || field == Field::All)
                item->set_from(shown);
            if (field == Field::To || field == Field::All)
                item->set_to(shown);
            if (field == Field::Subject || field == Field::All)
                item->set_subject(shown);
            break;
        }
        case LabelFrom::Number: {
            const bool isNumber = type == LNITEMTYPE_NUMBERS;
            item->set_size(isNumber && numbers.GetCount() > 0 ? static_cast<long>(numbers[0])
                                                              : blank->get_size());
            break;
        }
        }
        NotesMessage::indexLabel(sortColumn, item.get(), out);
    };
    std::vector<long> positions;
    positions.reserve(static_cast<std::size_t>(2 * ((n + pageSize - 1) / pageSize)));
    if (sortAscending) {
        for (long first = 0; first < n; first += pageSize) {
            positions.push_back(first);
            positions.push_back(std::min(first + pageSize - 1, n - 1));
        }
    } else {
        for (long high = n - 1; high >= 0; high -= pageSize) {
            positions.push_back(high);
            positions.push_back(std::max(high - pageSize + 1, 0L));
        }
    }
    // Where the collation sorts by the labelled column, positions between two with the same day (or
    // number) share it: a run of equal labels is found with doubling steps and a binary search, so
    // a folder reads about two values per distinct label rather than two per page.
    const std::size_t m = positions.size();
    for (std::size_t i = 0; i < m;) {
        const std::optional<std::uint64_t> key = read(positions[i]);
        const long before = out->count();
        addLabel();
        std::size_t same = i;
        if (label->inRuns && key && out->count() > before) {
            const Lattice::Data shown = (*out)[out->count() - 1];
            std::size_t differs = m;
            for (std::size_t step = 1; same + step < m; step *= 2) {
                if (read(positions[same + step]) != key) {
                    differs = same + step;
                    break;
                }
                same += step;
            }
            while (differs - same > 1) {
                const std::size_t middle = same + (differs - same) / 2;
                (read(positions[middle]) == key ? same : differs) = middle;
            }
            for (std::size_t k = i + 1; k <= same; ++k)
                out->add(shown);
        }
        i = same + 1;
    }
    view.Close();
    return true;
}

void NotesFolder::getSortIndexItems(long pageSize, Lattice::ObjectCollection* out) {
    ThrowAllErrorsScope throwing;
    if (!out || pageSize <= 0)
        return;
    try {
        if (getSortIndexFromView(pageSize, out))
            return;
    } catch (LNSTATUS status) {
        Lattice::Logger::print("LOTUS ERROR=%s", notesErrorText(status).c_str());
        return;
    }
    std::vector<unsigned long> ids;
    if (!out || !readViewNoteIds(false, ids, true) || ids.empty() || pageSize <= 0)
        return;
    const long n = static_cast<long>(ids.size());
    if (sortAscending) {
        for (long first = 0; first < n; first += pageSize)
            getIndexLabels(first, std::min(first + pageSize - 1, n - 1), ids.data(), out);
    } else {
        for (long high = n - 1; high >= 0; high -= pageSize)
            getIndexLabels(high, std::max(high - pageSize + 1, 0L), ids.data(), out);
    }
}

void NotesFolder::getIndexLabels(long first, long last, unsigned long* noteIds,
                                 Lattice::ObjectCollection* out) {
    LNDatabase* db = database ? database->getDatabase() : nullptr;
    if (!db || !noteIds)
        return;
    for (long position : {first, last}) {
        try {
            LNDocument doc;
            db->GetDocument(static_cast<NOTEID>(noteIds[position]), &doc);
            doc.Open();
            loadDocument(database, &doc, out, true);
            doc.Close();
        } catch (LNSTATUS status) {
            Lattice::Logger::print("loadDocument-Lotus Error=%s", notesErrorText(status).c_str());
        }
    }
}

void NotesFolder::getSortItems(String, long start, long count, Lattice::ObjectCollection* out) {
    ThrowAllErrorsScope throwing;
    if (!out)
        return;
    if (start < 0)
        start = 0;
    if (count < 0)
        count = 0;
    long n = 0;
    long first = 0;
    long last = -1;
    long low = 0;
    // Only the page's entries are read; its bounds follow from the number of entries.
    auto window = [&](long total, long* from, long* howMany) {
        n = total;
        if (n <= 0)
            return;
        // Written so that no sum passes the largest long, whatever start and count the host sends.
        if (sortAscending) {
            first = start >= n - 1 ? n - 1 : start;
            last = start > n - 1 - count ? n - 1 : start + count;
        } else {
            first = n - 1 - start;
            last = first <= 0 || count > first ? 0 : first - count + 1;
        }
        low = std::max(std::min(first, last), 0L);
        const long high = std::max(first, last);
        *from = low;
        *howMany = high >= low ? high - low + 1 : 0;
    };
    std::vector<unsigned long> ids;
    if (!readViewNoteIds(true, ids, false, window) || n <= 0)
        return;
    const long read = static_cast<long>(ids.size());
    auto load = [&](long i) {
        if (i - low >= 0 && i - low < read)
            loadSortItem(i - low, ids.data(), out);
    };
    if (sortAscending) {
        Lattice::Logger::print("Ascending - StartIndex=%d", static_cast<int>(first));
        Lattice::Logger::print("Ascending - endIndex=%d", static_cast<int>(last));
        for (long i = first; i <= last; ++i)
            load(i);
    } else {
        Lattice::Logger::print("Descending - StartIndex=%d", static_cast<int>(first));
        Lattice::Logger::print("Descending - endIndex=%d", static_cast<int>(last));
        for (long i = first; i >= last && i >= 0; --i)
            load(i);
    }
}

void NotesFolder::loadSortItem(long index, unsigned long* noteIds, Lattice::ObjectCollection* out) {
    LNDatabase* db = database ? database->getDatabase() : nullptr;
    if (!db || !noteIds)
        return;
    try {
        LNDocument doc;
        db->GetDocument(static_cast<NOTEID>(noteIds[index]), &doc);
        doc.Open();
        loadDocument(database, &doc, out, false);
        doc.Close();
    } catch (LNSTATUS status) {
        Lattice::Logger::print("loadDocument-Lotus Error=%s", notesErrorText(status).c_str());
    }
}

void NotesFolder::loadDocument(NotesDatabase* db, LNDocument* doc, Lattice::ObjectCollection* out,
                               bool indexLabel) {
    ThrowAllErrorsScope throwing;
    String loadedId;
    try {
        LNString kind;
        for (const char* name : {"Form", "Type"}) {
            if (!doc->HasItem(name))
                continue;
            LNItem item;
            doc->GetItem(name, &item);
            LNText text;
            text = item;
            if (text.GetCount() > 0 && text[0].GetByteLength() > 0) {
                kind = text[0];
                break;
            }
        }
        if (kind.GetByteLength() == 0)
            Lattice::Logger::print("No Form or Type field!!");

        Lattice::Ptr<NotesDocument> wrapper;
        Lattice::Ptr<hxMail::MessageItem> item;
        bool isAppointment = false;
        if (LNStringCompare(kind, "Memo", 0) == 0 || LNStringCompare(kind, "Reply", 0) == 0) {
            wrapper = new NotesMessage(provider, doc, db, false);
            item = new hxMail::Message();
        } else if (LNStringCompare(kind, "Task", 0) == 0) {
            wrapper = new NotesTask(provider, doc, db, false);
            item = new hxMail::Task();
        } else if (LNStringCompare(kind, "Person", 0) == 0) {
            wrapper = new NotesContact(provider, doc, dynamic_cast<NotesAddressBook*>(db), false);
            item = new hxMail::Contact();
        } else if (LNStringCompare(kind, "Appointment", 0) == 0) {
            wrapper = new NotesAppointment(provider, doc, db, false);
            item = new hxMail::Appointment();
            isAppointment = true;
        } else if (LNStringCompare(kind, "Group", 0) == 0) {
            LNItem groupType;
            LNText type;
            if (doc->HasItem("GroupType") && doc->GetItem("GroupType", &groupType) == LNNOERROR) {
                type = groupType;
                if (type.GetCount() > 0 && LNStringCompare(type[0], "1", 0) == 0) {
                    wrapper =
                        new NotesDistributionList(provider, doc, dynamic_cast<NotesAddressBook*>(db), false);
                    item = new hxMail::DistributionList();
                }
            }
        }
        if (wrapper) {
            if (!indexLabel) {
                wrapper->load(item, out, false);
                loadedId = wrapper->getId();
            } else {
                wrapper->load(item, nullptr, false);
                if (!isAppointment)
                    wrapper->getIndexLabel(sortColumn, item.get(), out);
            }
        }
    } catch (LNSTATUS status) {
        Lattice::Logger::print("loadDocument-Lotus Error=%s", notesErrorText(status).c_str());
    }
    if (!indexLabel) {
        folderItemIds += loadedId;
        folderItemIds += ";";
    }
}

void NotesFolder::getCalendarItems(Lattice::_DateData from, Lattice::_DateData to,
                                   Lattice::ObjectCollection* out) {
    ThrowAllErrorsScope throwing;
    folderItemIds = String();
    try {
        LNDatabase* db = database ? database->getDatabase() : nullptr;
        if (!db)
            return;
        LNDatetime begin;
        LNDatetime end;
        begin.SetDate(from.month, from.day, from.fullYear());
        end.SetDate(to.month, to.day, to.fullYear());
        LNDatetimeRange range;
        range.SetBegin(begin);
        range.SetEnd(end);
        std::vector<LNCalendarEntry> entries;
        LNCalendar::GetEntries(*db, range, &entries, TRUE, "");
        for (LNCalendarEntry& entry : entries) {
            entry.Open();
            loadDocument(database, &entry, out, false);
            entry.Close();
        }
    } catch (LNSTATUS) {
        // A failing calendar read ends the listing with what it has.
    }
}

long NotesFolder::deleteItems(const Lattice::ObjectCollection& ids, bool, bool& done) {
    if (database)
        for (const Lattice::Data& id : ids)
            database->deleteItem(id.toString(false), provider);
    done = true;
    return 0;
}

} // namespace hxMail::hxNotesProvider
