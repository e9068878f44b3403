#include "notes/NotesDocument.h"

#include "notes/NotesDatabase.h"
#include "notes/NotesErrors.h"
#include "provider/MailProvider.h"

#include "Lattice/DateTimeUtil.h"
#include "Lattice/HTMLEncode.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>

namespace hxMail::hxNotesProvider {

namespace {

// Creation options of new items: text and numbers go last, rich text and dates replace in place.
constexpr LNITEMOPTION kAppendNew = LNITEMOPTION_DELETE_APPEND;
constexpr LNITEMOPTION kInsertNew = LNITEMOPTION_DELETE_INSERT;

LNString toLN(const Lattice::String& s) {
    return LNString(s.data(), s.length());
}

Lattice::String fromLN(const LNString& s, bool utf8) {
    Lattice::String text(s.GetTextPtr(), static_cast<std::size_t>(s.GetByteLength()));
    return utf8 ? Lattice::HTMLEncode::string8ToUTF8(text) : text;
}

} // namespace

NotesDocument::NotesDocument() = default;

NotesDocument::NotesDocument(const NotesDocument& other) : Lattice::Base(other) {}

NotesDocument::NotesDocument(String& id, MailProvider* provider, NotesDatabase* database, bool asFolder)
    : database(database), provider(provider) {
    openDocument(id, provider, asFolder);
}

NotesDocument::NotesDocument(MailProvider* provider, const char* formName, NotesDatabase* database)
    : database(database), provider(provider), createdHere(true) {
    createDocument(provider, formName);
}

NotesDocument::NotesDocument(MailProvider* provider, LNDocument* doc, NotesDatabase* database, bool copy)
    : database(database), provider(provider) {
    if (copy) {
        createDocument(doc, provider);
        if (loadFailed_)
            return;
    } else {
        // A second reference to the caller's note: both share its open state, and each side
        // frees only its own object.
        document = doc ? std::make_unique<LNDocument>(*doc) : std::make_unique<LNDocument>();
        note = document.get();
    }
    try {
        if (note->IsNull() || note->Open() != LNNOERROR) {
            loadFailed_ = true;
            return;
        }
        setUniversalId();
    } catch (LNSTATUS) {
        loadFailed_ = true;
    }
}

NotesDocument::~NotesDocument() {
    if (document) {
        if (!loadFailed_ && !document->IsNull() && document->IsOpen()) {
            try {
                document->Close();
            } catch (LNSTATUS) {
                // Nothing to do about a note that will not close while going away.
            }
        }
    }
    dropFolder();
}

long NotesDocument::load(Lattice::Ptr<hxMail::MessageItem>&, Lattice::ObjectCollection*, bool) {
    return 0;
}

long NotesDocument::loadDetail(Lattice::SchemaBase*) {
    return 0;
}

void NotesDocument::documentReserved1() {}

void NotesDocument::documentReserved2() {}

void NotesDocument::getIndexLabel(String, hxMail::MessageItem*, Lattice::ObjectCollection*) {}

Lattice::Ptr<hxMail::ChangeItem> NotesDocument::getChangeItem(bool) {
    return nullptr;
}

LNUniversalID NotesDocument::getUniversalID(const String& text) {
    return LNUniversalID(toLN(text));
}

long NotesDocument::openDocument(String& id, MailProvider* owner, bool asFolder) {
    if (owner)
        provider = owner;
    if (asFolder)
        return openFolder(id);

    isFolder_ = false;
    document = std::make_unique<LNDocument>();
    note = document.get();
    LNSTATUS status = LNERR_NULL_OBJECT;
    try {
        LNDatabase* db = database ? database->getDatabase() : nullptr;
        if (db) {
            status = db->GetDocument(getUniversalID(id), document.get());
            if (status == LNNOERROR)
                status = note->Open();
        }
    } catch (LNSTATUS thrown) {
        status = thrown;
    }
    if (status != LNNOERROR) {
        loadFailed_ = true;
        return static_cast<long>(status);
    }
    loadFailed_ = false;
    setUniversalId();
    return 0;
}

long NotesDocument::newHandle() {
    if (isFolder_) {
        dropFolder();
        return openFolder(String(openedName.GetTextPtr()));
    }
    String id = universalId;
    return openDocument(id, provider, false);
}

long NotesDocument::createDocument(MailProvider* owner, const char* formName) {
    if (owner)
        provider = owner;
    ThrowAllErrorsScope throwAll;
    document = std::make_unique<LNDocument>();
    note = document.get();
    isFolder_ = false;
    try {
        LNDatabase* db = database ? database->getDatabase() : nullptr;
        if (!db)
            throw static_cast<LNSTATUS>(LNERR_NULL_OBJECT);
        db->CreateDocument(document.get(), formName ? formName : "");
        loadFailed_ = false;
    } catch (LNSTATUS status) {
        reportNotesError(status);
        loadFailed_ = true;
        return static_cast<long>(status);
    }
    return 0;
}

long NotesDocument::createDocument(LNDocument* source, MailProvider* owner) {
    if (owner)
        provider = owner;
    ThrowAllErrorsScope throwAll;
    document = std::make_unique<LNDocument>();
    note = document.get();
    isFolder_ = false;
    try {
        LNDatabase* db = database ? database->getDatabase() : nullptr;
        if (!db || !source)
            throw static_cast<LNSTATUS>(LNERR_NULL_OBJECT);
        db->CreateDocument(*source, document.get());
        loadFailed_ = false;
    } catch (LNSTATUS status) {
        reportNotesError(status);
        loadFailed_ = true;
        return static_cast<long>(status);
    }
    return 0;
}

long NotesDocument::save() {
    ThrowAllErrorsScope throwAll;
    try {
        if (!note || loadFailed_)
            throw static_cast<LNSTATUS>(LNERR_NULL_OBJECT);
        note->Save();
        if (createdHere)
            setUniversalId();
    } catch (LNSTATUS status) {
        reportNotesError(status);
        return static_cast<long>(status);
    }
    return 0;
}

void NotesDocument::setUniversalId() {
    if (!note)
        return;
    try {
        LNUniversalID unid;
        if (note->GetUniversalID(&unid) == LNNOERROR && unid.IsValid())
            universalId = fromLN(unid.GetText(), false);
        noteId = note->GetNoteID();
    } catch (LNSTATUS) {
        // A note without an id yet (never saved) keeps the empty text.
    }
}

long NotesDocument::computeWithForm() {
    const NOTEHANDLE h = note ? note->GetNoteHandle() : NULLHANDLE;
    if (STATUS status = NSFNoteComputeWithForm(h, NULLHANDLE, 0, nullptr, nullptr); status != NOERROR)
        throw static_cast<LNSTATUS>(status);
    return 0;
}

unsigned short NotesDocument::setItemRefList(const char* name, LNDocument* parent) {
    if (!name || !parent || !note || parent->IsNull())
        return ERR_INVALID_PARAM;
    LNDatabase* db = database ? database->getDatabase() : nullptr;
    const DBHANDLE hDb = db ? db->GetDatabaseHandle() : NULLHANDLE;
    ORIGINATORID oid{};
    if (STATUS status = NSFDbGetNoteInfo(hDb, parent->GetNoteID(), &oid, nullptr, nullptr); status != NOERROR)
        return ERR(status);

    // A note-reference list of one entry: the count, then the parent's UNID (file part, note part).
    unsigned char value[18];
    const WORD count = 1;
    std::memcpy(value, &count, sizeof count);
    std::memcpy(value + 2, &oid.File, sizeof oid.File);
    std::memcpy(value + 10, &oid.Note, sizeof oid.Note);
    const STATUS status =
        NSFItemAppend(note->GetNoteHandle(), ITEM_SUMMARY, name, static_cast<WORD>(std::strlen(name)),
                      TYPE_NOTEREF_LIST, value, sizeof value);
    return ERR(status);
}

bool NotesDocument::findItem(const char* name, LNItem& item) const {
    if (loadFailed_ || !note || !name || !*name)
        return false;
    try {
        if (!note->IsOpen() || !note->HasItem(name))
            return false;
        return note->GetItem(name, &item) == LNNOERROR;
    } catch (LNSTATUS) {
        return false;
    }
}

Lattice::String NotesDocument::getItemString(const char* name, bool utf8) {
    LNItem item;
    if (!findItem(name, item) || item.GetType() != LNITEMTYPE_TEXT)
        return String();
    LNText text;
    text = item;
    return text.GetCount() > 0 ? fromLN(text[0], utf8) : String();
}

Lattice::String NotesDocument::getItemName(const char* name, int form, bool utf8) {
    String value = getItemString(name, false);
    if (value.isEmpty())
        return value;
    LNNotesSession* session = provider ? provider->getSession() : nullptr;
    LNString converted = toLN(value);
    if (session && form == 0)
        converted = session->CanonicalizeName(converted);
    else if (session && form == 1)
        converted = session->AbbreviateName(converted);
    return fromLN(converted, utf8);
}

LNText NotesDocument::getItemTextList(const char* name) {
    LNText values;
    LNItem item;
    if (!findItem(name, item) || item.GetType() != LNITEMTYPE_TEXT)
        return values;
    LNText stored;
    stored = item;
    // A free-standing copy, so that changing it leaves the note alone.
    for (LNINT i = 0; i < stored.GetCount(); ++i)
        values.Append(stored[i]);
    return values;
}

void NotesDocument::setItemTextList(const char* name, LNText& values, bool append) {
    if (loadFailed_ || !note)
        return;
    LNItem item;
    if (findItem(name, item)) {
        if (item.GetType() == LNITEMTYPE_TEXT) {
            LNText stored;
            stored = item;
            if (!append)
                stored.DeleteAll();
            // Read the new values first: `values` may be this very item.
            LNText added;
            for (LNINT i = 0; i < values.GetCount(); ++i)
                added.Append(values[i]);
            for (LNINT i = 0; i < added.GetCount(); ++i)
                stored.Insert(stored.GetCount(), added[i]);
            return;
        }
        note->CreateItem(name, values, LNITEMFLAGS_SUMMARY, kInsertNew);
        return;
    }
    note->CreateItem(name, values, LNITEMFLAGS_SUMMARY, kAppendNew);
}

void NotesDocument::dumpItemTextList(LNText& values) {
    String joined;
    for (LNINT i = 0; i < values.GetCount(); ++i) {
        if (i > 0)
            joined += ";";
        joined += fromLN(values[i], false);
    }
    std::printf("text item contents=%s\n", joined.c_str());
}

void NotesDocument::setItemString(const char* name, String& value) {
    if (loadFailed_ || !note)
        return;
    LNItem item;
    LNText text(toLN(value));
    if (findItem(name, item)) {
        if (item.GetType() == LNITEMTYPE_TEXT) {
            LNText stored;
            stored = item;
            stored.SetValue(toLN(value));
            return;
        }
        note->CreateItem(name, text, LNITEMFLAGS_SUMMARY, kInsertNew);
        return;
    }
    note->CreateItem(name, text, LNITEMFLAGS_SUMMARY, kAppendNew);
}

Lattice::String NotesDocument::getItemTextRT(const char* name, bool utf8) {
    LNItem item;
    if (!findItem(name, item) || item.GetType() != LNITEMTYPE_RICHTEXT)
        return String();
    LNRichText rich;
    rich = item;
    return fromLN(rich.GetText(), utf8);
}

void NotesDocument::setItemTextRT(const char* name, String& value) {
    if (loadFailed_ || !note)
        return;
    LNItem item;
    if (findItem(name, item) && item.GetType() == LNITEMTYPE_RICHTEXT) {
        LNRichText stored;
        stored = item;
        stored.SetValue(toLN(value));
        return;
    }
    LNRichText rich;
    rich.SetValue(toLN(value));
    note->CreateItem(name, rich, LNITEMFLAGS_SUMMARY, kInsertNew);
}

Lattice::_DateTimeData NotesDocument::gmtDateTime(LNDatetime value) {
    Lattice::_DateTimeData dt;
    if (value.IsNull())
        return dt;
    if (value.HasDate() && value.HasTime())
        value.AdjustTimeZone(0, FALSE);
    dt.setFullYear(static_cast<int>(value.GetYear()));
    dt.month = static_cast<short>(value.GetMonth());
    dt.day = static_cast<short>(value.GetDay());
    dt.hour = static_cast<short>(value.GetHour());
    dt.minute = static_cast<short>(value.GetMinute());
    dt.second = static_cast<short>(value.GetSecond());
    dt.hundredths = static_cast<short>(value.GetHundredth());
    dt.zoneOffset = 0;
    return dt;
}

Lattice::Data NotesDocument::getDate(const char* name, bool withTime) {
    LNItem item;
    if (!findItem(name, item) || item.GetType() != LNITEMTYPE_DATETIMES)
        return Lattice::Data();
    LNDatetimes dates;
    dates = item;
    if (dates.GetDatetimeCount() == 0)
        return Lattice::Data();
    LNDatetime value = dates[0];
    if (value.IsNull())
        return Lattice::Data();
    try {
        if (withTime)
            return Lattice::Data(gmtDateTime(value));
    } catch (LNSTATUS) {
        return Lattice::Data();
    }
    Lattice::_DateData d;
    const long year = value.GetYear();
    d.century = static_cast<short>(year / 100);
    d.year = static_cast<short>(year % 100);
    d.month = static_cast<short>(value.GetMonth());
    d.day = static_cast<short>(value.GetDay());
    return Lattice::Data(d);
}

void NotesDocument::setDate(const char* name, Lattice::Data value, bool withDate, bool withTime, bool& ok) {
    if (!ok || loadFailed_ || !note)
        return;
    LNDatetime stamp;
    bool valid = true;
    try {
        if (withTime) {
            const Lattice::_DateTimeData dt = value.toDateTime();
            stamp.SetText(withDate ? "01/01/2005 3:00:00 PM" : "3:20 PM");
            if (dt.day == 0) {
                ok = false;
                return;
            }
            if (withDate) {
                valid = stamp.SetDate(dt.month, dt.day, dt.fullYear()) == LNNOERROR;
                // The host's offset already includes any daylight saving, so none is added here.
                valid = valid && stamp.SetTimeZone(static_cast<LNINT>(dt.zoneOffset / 60)) == LNNOERROR &&
                        stamp.SetDST(FALSE) == LNNOERROR;
            }
            valid = valid && stamp.SetHour(dt.hour) == LNNOERROR && stamp.SetMinute(dt.minute) == LNNOERROR &&
                    stamp.SetHundredth(dt.hundredths) == LNNOERROR;
        } else {
            const Lattice::_DateData d = value.type() == Lattice::DataType::DateTime
                                             ? Lattice::DateTimeUtil::convert(value.toDateTime())
                                             : value.toDate();
            stamp.SetText("01/01/2005");
            if (d.day == 0) {
                ok = false;
                return;
            }
            valid = stamp.SetDate(d.month, d.day, d.fullYear()) == LNNOERROR;
        }
    } catch (LNSTATUS) {
        valid = false;
    }
    if (!valid) {
        // Fields Notes cannot hold (month 13, 31 February ...) count as no date.
        ok = false;
        return;
    }

    LNItem item;
    if (findItem(name, item) && item.GetType() == LNITEMTYPE_DATETIMES) {
        LNDatetimes stored;
        stored = item;
        stored.SetValue(stamp);
        return;
    }
    LNDatetimes dates;
    dates.SetValue(stamp);
    note->CreateItem(name, dates, LNITEMFLAGS_SUMMARY, kInsertNew);
}

long NotesDocument::getInt(const char* name, long defaultValue) {
    LNItem item;
    if (!findItem(name, item) || item.GetType() != LNITEMTYPE_NUMBERS)
        return defaultValue;
    LNNumbers numbers;
    numbers = item;
    if (numbers.GetCount() == 0)
        return defaultValue;
    const double v = std::trunc(numbers[0]);
    if (!std::isfinite(v) || v < static_cast<double>(std::numeric_limits<long>::min()) ||
        v >= static_cast<double>(std::numeric_limits<long>::max()))
        return defaultValue;
    return static_cast<long>(v);
}

void NotesDocument::setInt(const char* name, long value) {
    if (loadFailed_ || !note)
        return;
    // The host's long is 32 bits and goes into Notes as unsigned: -1 becomes 4294967295.
    const double stored = static_cast<double>(static_cast<std::uint32_t>(value));
    LNItem item;
    if (findItem(name, item)) {
        if (item.GetType() == LNITEMTYPE_NUMBERS) {
            LNNumbers numbers;
            numbers = item;
            numbers.SetValue(stored);
            return;
        }
        LNNumbers numbers;
        numbers.SetValue(stored);
        note->CreateItem(name, numbers, LNITEMFLAGS_SUMMARY, kInsertNew);
        return;
    }
    LNNumbers numbers;
    numbers.SetValue(stored);
    note->CreateItem(name, numbers, LNITEMFLAGS_SUMMARY, kAppendNew);
}

LATTICE_REGISTER_CLASS(NotesDocument);

} // namespace hxMail::hxNotesProvider
