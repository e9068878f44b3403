// The view index: designs read from view notes, and their indexes in the store. Every entry of every
// collation is a row of view_index whose sort key compares (as bytes) in view order, so reading a
// view is an ordered index scan; saving or deleting a document rewrites only that document's rows.
#include "attachments.h"
#include "ftquery.h"
#include "ordercache.h"
#include "runtime.h"
#include "sqlite_util.h"
#include "store.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <functional>
#include <iterator>
#include <set>
#include <unordered_map>
#include <unordered_set>

namespace notes {
namespace {

using sql::columnText;
using sql::ReadTransaction;
using sql::statusOf;
using sql::Transaction;
using sql::Use;

struct Part {
    std::size_t column = 0;
    bool descending = false;
};

// The sort parts of a collation; false when the view has no such collation.
bool collationParts(const ViewDesign& d, WORD collation, std::vector<Part>* out) {
    out->clear();
    for (std::size_t i = 0; i < d.columns.size(); ++i) {
        if (d.columns[i].flags & kColSorted) {
            out->push_back({i, (d.columns[i].flags & kColDescending) != 0});
        }
    }
    if (collation == 0) {
        return true;
    }
    const std::vector<Part> base = *out;
    WORD n = 0;
    for (std::size_t i = 0; i < d.columns.size(); ++i) {
        for (const DWORD flag : {kColResortAscending, kColResortDescending}) {
            if ((d.columns[i].flags & flag) && ++n == collation) {
                out->assign(1, Part{i, flag == kColResortDescending});
                for (const Part& p : base) {
                    if (p.column != i) {
                        out->push_back(p);
                    }
                }
                return true;
            }
        }
    }
    return false;
}

// One value of a column.
struct Value {
    enum Kind : unsigned char { kEmpty = 1, kNumber = 2, kTime = 3, kText = 4 } kind = kEmpty;
    double number = 0;
    std::int64_t ticks = 0;
    TIMEDATE td{}; // a time as stored, zone included (what the column value hands out)
    std::string text;
};

// The few formulas a column evaluates without items.
bool formulaValue(const ViewColumn& col, const Note& note, Value* out) {
    if (col.formula.find("@DocLength") != std::string::npos) {
        out->kind = Value::kNumber;
        out->number = static_cast<double>(note.size());
    } else if (col.formula == "@Created") {
        out->kind = Value::kTime;
        out->ticks = note.info.created;
        out->td = timedateFromTicks(out->ticks);
    } else if (col.formula == "@Modified") {
        out->kind = Value::kTime;
        out->ticks = note.info.modified;
        out->td = timedateFromTicks(out->ticks);
    } else {
        return false;
    }
    return true;
}

std::vector<Value> columnValues(const ViewColumn& col, const Note& note) {
    std::vector<Value> out;
    if (col.items.empty()) {
        Value v;
        if (formulaValue(col, note, &v)) {
            out.push_back(v);
        }
        return out;
    }
    for (const std::string& name : col.items) {
        for (const Item& it : note.items) {
            if (!nameEquals(it.name, name)) {
                continue;
            }
            std::vector<std::string> texts;
            std::vector<double> numbers;
            std::vector<TIMEDATE> times;
            std::vector<TIMEDATE_PAIR> ranges;
            if (ods::decodeText(it.type, it.value, &texts)) {
                for (std::string& t : texts) {
                    Value v;
                    v.kind = Value::kText;
                    v.text = (col.flags & kColCommonName) ? commonName(t) : std::move(t);
                    out.push_back(std::move(v));
                }
            } else if (ods::decodeNumbers(it.type, it.value, &numbers)) {
                for (double d : numbers) {
                    Value v;
                    v.kind = Value::kNumber;
                    v.number = d;
                    out.push_back(std::move(v));
                }
            } else if (ods::decodeTimes(it.type, it.value, &times, &ranges)) {
                for (const TIMEDATE& td : times) {
                    Value v;
                    v.kind = Value::kTime;
                    v.ticks = ticksFromTimedate(td);
                    v.td = td;
                    out.push_back(std::move(v));
                }
            }
        }
    }
    return out;
}

void putOrdered64(std::string& out, std::uint64_t u) {
    for (int shift = 56; shift >= 0; shift -= 8) {
        out += static_cast<char>((u >> shift) & 0xFF);
    }
}

// A key part: a kind byte, the value, and for text a terminator; 0x00 inside text is escaped, so
// no part is a prefix of another and byte order is value order. Descending parts are inverted.
std::string encodePart(const Value& v, bool caseSensitive, bool descending, bool terminate = true) {
    std::string out(1, static_cast<char>(v.kind));
    switch (v.kind) {
    case Value::kNumber: {
        std::uint64_t u = 0;
        std::memcpy(&u, &v.number, sizeof u);
        u = (u & 0x8000000000000000ull) ? ~u : (u | 0x8000000000000000ull);
        putOrdered64(out, u);
        break;
    }
    case Value::kTime:
        putOrdered64(out, static_cast<std::uint64_t>(v.ticks) ^ 0x8000000000000000ull);
        break;
    case Value::kText: {
        const std::string t = caseSensitive ? v.text : collateFold(v.text);
        for (const char c : t) {
            out += c;
            if (c == '\0') {
                out += '\xFF';
            }
        }
        if (terminate) {
            out += '\0';
            out += '\x01';
        }
        break;
    }
    default:
        break;
    }
    if (descending) {
        for (char& c : out) {
            c = static_cast<char>(~static_cast<unsigned char>(c));
        }
    }
    return out;
}

std::string valueText(const Value& v) {
    return v.kind == Value::kText ? v.text : std::string();
}

// A document's column values as the index keeps them: per column its first value, as WORD type
// (0 for none), DWORD length and the value's bytes (text, an 8-byte double or a TIMEDATE).
void appendValue(std::string& out, const Value& v) {
    WORD type = 0;
    std::string bytes;
    switch (v.kind) {
    case Value::kText:
        type = TYPE_TEXT;
        bytes = v.text;
        break;
    case Value::kNumber:
        type = TYPE_NUMBER;
        bytes.assign(reinterpret_cast<const char*>(&v.number), sizeof v.number);
        break;
    case Value::kTime:
        type = TYPE_TIME;
        bytes.assign(reinterpret_cast<const char*>(&v.td), sizeof v.td);
        break;
    default:
        break;
    }
    const DWORD length = static_cast<DWORD>(bytes.size());
    out.append(reinterpret_cast<const char*>(&type), sizeof type);
    out.append(reinterpret_cast<const char*>(&length), sizeof length);
    out += bytes;
}

// The kept values are the items' own: a column of common names keeps the full name.
std::string encodeValues(const ViewDesign& d, const Note& note,
                         const std::vector<std::vector<Value>>& values) {
    std::string out;
    for (std::size_t i = 0; i < d.columns.size(); ++i) {
        if (d.columns[i].flags & kColCommonName) {
            ViewColumn raw = d.columns[i];
            raw.flags &= ~kColCommonName;
            const std::vector<Value> vs = columnValues(raw, note);
            appendValue(out, vs.empty() ? Value{} : vs.front());
        } else {
            appendValue(out, values[i].empty() ? Value{} : values[i].front());
        }
    }
    return out;
}

Value valueFrom(WORD type, std::string_view bytes) {
    Value v;
    if (type == TYPE_TEXT) {
        v.kind = Value::kText;
        v.text = std::string(bytes);
    } else if (type == TYPE_NUMBER && bytes.size() == sizeof(double)) {
        v.kind = Value::kNumber;
        std::memcpy(&v.number, bytes.data(), sizeof v.number);
    } else if (type == TYPE_TIME && bytes.size() == sizeof(TIMEDATE)) {
        v.kind = Value::kTime;
        std::memcpy(&v.td, bytes.data(), sizeof v.td);
        v.ticks = ticksFromTimedate(v.td);
    }
    return v;
}

struct RowOut {
    std::string key;
    std::string category;
};

// The rows of a document in a collation: one, or one per distinct value of the column that makes
// separate entries.
std::vector<std::vector<Value>> allValues(const ViewDesign& d, const Note& note) {
    std::vector<std::vector<Value>> values(d.columns.size());
    for (std::size_t i = 0; i < d.columns.size(); ++i) {
        values[i] = columnValues(d.columns[i], note);
    }
    return values;
}

std::vector<RowOut> rowsFor(const ViewDesign& d, const std::vector<Part>& parts,
                            const std::vector<std::vector<Value>>& values, bool categories) {
    std::size_t split = d.columns.size();
    for (std::size_t i = 0; i < d.columns.size(); ++i) {
        if ((d.columns[i].flags & kColSeparateEntries) && !values[i].empty()) {
            split = i;
            break;
        }
    }
    const std::size_t variants = split < d.columns.size() ? values[split].size() : 1;
    std::vector<RowOut> rows;
    std::set<std::string> seen;
    for (std::size_t n = 0; n < variants; ++n) {
        RowOut r;
        for (const Part& p : parts) {
            const auto& vs = values[p.column];
            const Value v = p.column == split ? vs[n] : (vs.empty() ? Value{} : vs.front());
            r.key += encodePart(v, (d.columns[p.column].flags & kColCaseSensitive) != 0, p.descending);
        }
        if (categories) {
            const auto& vs = values[parts.front().column];
            r.category = parts.front().column == split ? valueText(vs[n])
                         : vs.empty()                  ? ""
                                                       : valueText(vs.front());
            if (r.category.empty()) {
                r.category = "(Not Categorized)";
            }
        }
        if (seen.insert(r.key).second) {
            rows.push_back(std::move(r));
        }
    }
    return rows;
}

bool categorized(const ViewDesign& d, WORD collation, const std::vector<Part>& parts) {
    return collation == 0 && !parts.empty() && (d.columns[parts.front().column].flags & kColCategory);
}

std::vector<std::string> textList(const Note& note, std::string_view name) {
    std::vector<std::string> out;
    const Item* it = note.find(name);
    if (it) {
        ods::decodeText(it->type, it->value, &out);
    }
    return out;
}

std::vector<std::string> splitList(std::string_view s, char sep) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start <= s.size()) {
        const std::size_t pos = s.find(sep, start);
        const std::string part(
            s.substr(start, pos == std::string_view::npos ? std::string_view::npos : pos - start));
        if (!part.empty()) {
            out.push_back(part);
        }
        if (pos == std::string_view::npos) {
            break;
        }
        start = pos + 1;
    }
    return out;
}

bool selects(const ViewDesign& d, const Note& note) {
    if (!d.forms.empty()) {
        const std::vector<std::string> form = textList(note, "Form");
        const bool ok =
            !form.empty() && std::any_of(d.forms.begin(), d.forms.end(),
                                         [&](const std::string& f) { return nameEquals(f, form.front()); });
        if (!ok) {
            return false;
        }
    }
    return std::all_of(d.items.begin(), d.items.end(),
                       [&](const std::string& i) { return note.find(i) != nullptr; }) &&
           std::none_of(d.notItems.begin(), d.notItems.end(),
                        [&](const std::string& i) { return note.find(i) != nullptr; });
}

// The smallest byte string greater than every string starting with prefix ("" when none is).
std::string successor(std::string prefix) {
    while (!prefix.empty() && static_cast<unsigned char>(prefix.back()) == 0xFF) {
        prefix.pop_back();
    }
    if (!prefix.empty()) {
        prefix.back() = static_cast<char>(static_cast<unsigned char>(prefix.back()) + 1);
    }
    return prefix;
}

} // namespace

// ---- designs -----------------------------------------------------------------------------------

std::string collateFold(std::string_view text) {
    // ISO-8859-1 letters with accents sort with their base letters.
    static const char* const kBase[64] = {
        "a", "a", "a", "a", "a", "a", "ae", "c",     "e", "e", "e", "e", "i", "i", "i",  "i",
        "d", "n", "o", "o", "o", "o", "o",  nullptr, "o", "u", "u", "u", "u", "y", "th", "ss",
        "a", "a", "a", "a", "a", "a", "ae", "c",     "e", "e", "e", "e", "i", "i", "i",  "i",
        "d", "n", "o", "o", "o", "o", "o",  nullptr, "o", "u", "u", "u", "u", "y", "th", "y"};
    std::string out;
    out.reserve(text.size());
    for (const char ch : text) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out += static_cast<char>(std::tolower(c));
        } else if (c >= 0xC0 && kBase[c - 0xC0] != nullptr) {
            out += kBase[c - 0xC0];
        } else {
            out += ch;
        }
    }
    return out;
}

std::string ViewDesign::name() const {
    return title.substr(0, title.find('|'));
}

bool ViewDesign::answersTo(std::string_view wanted) const {
    for (const std::string& n : splitList(title, '|')) {
        if (nameEquals(n, wanted)) {
            return true;
        }
    }
    return false;
}

WORD ViewDesign::collationCount() const {
    WORD n = 1;
    for (const ViewColumn& c : columns) {
        n = static_cast<WORD>(n + ((c.flags & kColResortAscending) ? 1 : 0) +
                              ((c.flags & kColResortDescending) ? 1 : 0));
    }
    return n;
}

bool readViewDesign(const Note& note, ViewDesign* out) {
    ViewDesign d;
    d.id = note.info.id;
    const std::vector<std::string> title = textList(note, "$TITLE");
    if (title.empty()) {
        return false;
    }
    d.title = title.front();
    const std::vector<std::string> flags = textList(note, "$Flags");
    d.folder = !flags.empty() && flags.front().find('F') != std::string::npos;
    d.forms = textList(note, "$SelectForms");
    d.items = textList(note, "$SelectItems");
    d.notItems = textList(note, "$SelectNotItems");
    const std::vector<std::string> titles = textList(note, "$ColumnTitles");
    const std::vector<std::string> items = textList(note, "$ColumnItems");
    const std::vector<std::string> formulas = textList(note, "$ColumnFormulas");
    std::vector<double> colFlags;
    if (const Item* it = note.find("$ColumnFlags")) {
        ods::decodeNumbers(it->type, it->value, &colFlags);
    }
    const std::size_t n = std::max({titles.size(), items.size(), colFlags.size()});
    for (std::size_t i = 0; i < n; ++i) {
        ViewColumn c;
        c.title = i < titles.size() ? titles[i] : "";
        c.items = i < items.size() ? splitList(items[i], ';') : std::vector<std::string>{};
        // A damaged or hostile design must not make the conversion overflow.
        c.flags = i < colFlags.size() && colFlags[i] >= 0 && colFlags[i] <= 0xFFFF
                      ? static_cast<DWORD>(colFlags[i])
                      : 0;
        c.formula = i < formulas.size() ? formulas[i] : "";
        d.columns.push_back(std::move(c));
    }
    *out = std::move(d);
    return true;
}

void writeViewDesign(const ViewDesign& d, Note* note) {
    for (const char* name : {"$TITLE", "$Flags", "$SelectForms", "$SelectItems", "$SelectNotItems",
                             "$ColumnTitles", "$ColumnItems", "$ColumnFlags", "$ColumnFormulas"}) {
        note->remove(name);
    }
    note->append("$TITLE", TYPE_TEXT, ITEM_SUMMARY, d.title);
    note->append("$Flags", TYPE_TEXT, ITEM_SUMMARY, d.folder ? "F" : "");
    note->append("$SelectForms", TYPE_TEXT_LIST, ITEM_SUMMARY, ods::encodeTextList(d.forms));
    note->append("$SelectItems", TYPE_TEXT_LIST, ITEM_SUMMARY, ods::encodeTextList(d.items));
    if (!d.notItems.empty()) {
        note->append("$SelectNotItems", TYPE_TEXT_LIST, ITEM_SUMMARY, ods::encodeTextList(d.notItems));
    }
    std::vector<std::string> titles, items, formulas;
    std::vector<double> flags;
    for (const ViewColumn& c : d.columns) {
        titles.push_back(c.title);
        std::string joined;
        for (const std::string& i : c.items) {
            joined += (joined.empty() ? "" : ";") + i;
        }
        items.push_back(joined);
        flags.push_back(c.flags);
        formulas.push_back(c.formula);
    }
    note->append("$ColumnTitles", TYPE_TEXT_LIST, ITEM_SUMMARY, ods::encodeTextList(titles));
    note->append("$ColumnItems", TYPE_TEXT_LIST, ITEM_SUMMARY, ods::encodeTextList(items));
    note->append("$ColumnFlags", TYPE_NUMBER_RANGE, ITEM_SUMMARY, ods::encodeNumbers(flags));
    note->append("$ColumnFormulas", TYPE_TEXT_LIST, ITEM_SUMMARY, ods::encodeTextList(formulas));
}

std::string viewFindKey(const ViewDesign& d, WORD collation, std::string_view key, bool partial) {
    std::vector<Part> parts;
    if (!collationParts(d, collation, &parts) || parts.empty()) {
        return std::string();
    }
    Value v;
    v.kind = Value::kText;
    v.text = std::string(key);
    if (d.columns[parts.front().column].flags & kColCommonName) {
        v.text = commonName(v.text);
    }
    return encodePart(v, (d.columns[parts.front().column].flags & kColCaseSensitive) != 0,
                      parts.front().descending, !partial);
}

// ---- the store's side --------------------------------------------------------------------------

STATUS ViewIndex::bumpDesignVersionLocked() {
    sqlite3_stmt* s = nullptr;
    if (STATUS st = store_.prepare(
            "UPDATE meta SET value = CAST(value AS INTEGER) + 1 WHERE key = 'design_version'", &s);
        st != NOERROR) {
        return st;
    }
    Use use(s);
    return statusOf(sqlite3_step(s));
}

STATUS ViewIndex::designsLocked(const std::vector<ViewDesign>** out) {
    const std::string version = store_.meta("design_version");
    if (version != designVersion_) {
        sqlite3_stmt* s = nullptr;
        if (STATUS st = store_.prepare(
                "SELECT note_id FROM notes WHERE note_class = 8 AND deleted = 0 ORDER BY note_id", &s);
            st != NOERROR) {
            return st;
        }
        std::vector<NOTEID> ids;
        {
            Use use(s);
            int rc;
            while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
                ids.push_back(static_cast<NOTEID>(sqlite3_column_int64(s, 0)));
            }
            if (rc != SQLITE_DONE) {
                return statusOf(rc);
            }
        }
        std::vector<ViewDesign> designs;
        for (NOTEID id : ids) {
            Note n;
            ViewDesign d;
            if (store_.loadLocked(id, &n) == NOERROR && readViewDesign(n, &d)) {
                designs.push_back(std::move(d));
            }
        }
        designs_ = std::move(designs);
        designVersion_ = version;
    }
    *out = &designs_;
    return NOERROR;
}

// Runs a statement that takes (view, note) and returns nothing.
STATUS ViewIndex::stepViewNoteLocked(const char* sql, NOTEID view, NOTEID id) {
    sqlite3_stmt* s = nullptr;
    if (STATUS st = store_.prepare(sql, &s); st != NOERROR) {
        return st;
    }
    Use use(s);
    sqlite3_bind_int64(s, 1, view);
    sqlite3_bind_int64(s, 2, id);
    const int rc = sqlite3_step(s);
    return rc == SQLITE_DONE ? NOERROR : statusOf(rc);
}

STATUS ViewIndex::indexInViewLocked(const ViewDesign& d, NOTEID id, const Note& note) {
    for (const char* sql : {"DELETE FROM view_index WHERE view_id = ?1 AND note_id = ?2",
                            "DELETE FROM view_values WHERE view_id = ?1 AND note_id = ?2"}) {
        if (STATUS st = stepViewNoteLocked(sql, d.id, id); st != NOERROR) {
            return st;
        }
    }
    sqlite3_stmt* s = nullptr;
    bool member = false;
    if (d.folder) {
        if (STATUS st =
                store_.prepare("SELECT 1 FROM folder_entries WHERE folder_id = ? AND note_id = ?", &s);
            st != NOERROR) {
            return st;
        }
        Use use(s);
        sqlite3_bind_int64(s, 1, d.id);
        sqlite3_bind_int64(s, 2, id);
        member = sqlite3_step(s) == SQLITE_ROW;
    } else {
        member = selects(d, note);
    }
    if (!member) {
        return NOERROR;
    }
    const std::vector<std::vector<Value>> values = allValues(d, note);
    if (STATUS st = store_.prepare("INSERT INTO view_values(view_id, note_id, vals) VALUES(?, ?, ?)", &s);
        st != NOERROR) {
        return st;
    }
    {
        const std::string vals = encodeValues(d, note, values);
        Use use(s);
        sqlite3_bind_int64(s, 1, d.id);
        sqlite3_bind_int64(s, 2, id);
        sqlite3_bind_blob(s, 3, vals.data(), static_cast<int>(vals.size()), SQLITE_STATIC);
        if (const int rc = sqlite3_step(s); rc != SQLITE_DONE) {
            return statusOf(rc);
        }
    }
    const WORD count = d.collationCount();
    std::vector<Part> parts;
    for (WORD c = 0; c < count; ++c) {
        if (!collationParts(d, c, &parts)) {
            continue;
        }
        const bool cats = categorized(d, c, parts);
        for (const RowOut& r : rowsFor(d, parts, values, cats)) {
            if (STATUS st = insertRowLocked(d.id, c, r.key, id, cats ? &r.category : nullptr);
                st != NOERROR) {
                return st;
            }
        }
    }
    return NOERROR;
}

STATUS ViewIndex::insertRowLocked(NOTEID view, WORD collation, const std::string& key, NOTEID id,
                                  const std::string* category) {
    sqlite3_stmt* s = nullptr;
    if (STATUS st = store_.prepare(
            "INSERT OR IGNORE INTO view_index(view_id, collation, sort_key, note_id, category) "
            "VALUES(?, ?, ?, ?, ?)",
            &s);
        st != NOERROR) {
        return st;
    }
    Use use(s);
    sqlite3_bind_int64(s, 1, view);
    sqlite3_bind_int(s, 2, collation);
    sqlite3_bind_blob(s, 3, key.data(), static_cast<int>(key.size()), SQLITE_STATIC);
    sqlite3_bind_int64(s, 4, id);
    category ? sqlite3_bind_text(s, 5, category->c_str(), -1, SQLITE_STATIC) : sqlite3_bind_null(s, 5);
    const int rc = sqlite3_step(s);
    return rc == SQLITE_DONE ? NOERROR : statusOf(rc);
}

STATUS ViewIndex::indexNoteLocked(NOTEID id, const Note& note) {
    const std::vector<ViewDesign>* designs = nullptr;
    if (STATUS st = designsLocked(&designs); st != NOERROR) {
        return st;
    }
    for (const ViewDesign& d : *designs) {
        if (STATUS st = indexInViewLocked(d, id, note); st != NOERROR) {
            return st;
        }
    }
    return NOERROR;
}

STATUS ViewIndex::rebuildViewLocked(const ViewDesign& d, DWORD sequence) {
    sqlite3_stmt* s = nullptr;
    for (const char* sql :
         {"DELETE FROM view_index WHERE view_id = ?1", "DELETE FROM view_values WHERE view_id = ?1"}) {
        if (STATUS st = store_.prepare(sql, &s); st != NOERROR) {
            return st;
        }
        Use use(s);
        sqlite3_bind_int64(s, 1, d.id);
        if (const int rc = sqlite3_step(s); rc != SQLITE_DONE) {
            return statusOf(rc);
        }
    }
    std::vector<NOTEID> ids;
    if (d.folder) {
        if (STATUS st =
                store_.prepare("SELECT f.note_id FROM folder_entries f JOIN notes n ON n.note_id = f.note_id "
                               "WHERE f.folder_id = ? AND n.deleted = 0",
                               &s);
            st != NOERROR) {
            return st;
        }
        Use use(s);
        sqlite3_bind_int64(s, 1, d.id);
        int rc;
        while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
            ids.push_back(static_cast<NOTEID>(sqlite3_column_int64(s, 0)));
        }
    } else {
        if (STATUS st = store_.prepare("SELECT note_id FROM notes WHERE note_class = 1 AND deleted = 0", &s);
            st != NOERROR) {
            return st;
        }
        Use use(s);
        int rc;
        while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
            ids.push_back(static_cast<NOTEID>(sqlite3_column_int64(s, 0)));
        }
    }
    for (NOTEID id : ids) {
        Note n;
        if (store_.loadLocked(id, &n) != NOERROR) {
            continue;
        }
        if (STATUS st = indexInViewLocked(d, id, n); st != NOERROR) {
            return st;
        }
    }
    return markBuiltLocked(d.id, sequence);
}

STATUS ViewIndex::markBuiltLocked(NOTEID view, DWORD sequence) {
    sqlite3_stmt* s = nullptr;
    if (STATUS st = store_.prepare("INSERT OR REPLACE INTO view_state(view_id, design_seq) VALUES(?, ?)", &s);
        st != NOERROR) {
        return st;
    }
    Use use(s);
    sqlite3_bind_int64(s, 1, view);
    sqlite3_bind_int64(s, 2, sequence);
    const int rc = sqlite3_step(s);
    return rc == SQLITE_DONE ? NOERROR : statusOf(rc);
}

STATUS ViewIndex::findDesign(WORD noteClass, std::string_view name, NOTEID* out) {
    std::lock_guard<std::mutex> lock(store_.mutex_);
    sqlite3_stmt* s = nullptr;
    if (STATUS st = store_.prepare(
            "SELECT note_id, title FROM notes WHERE note_class = ? AND deleted = 0 AND title IS NOT NULL "
            "ORDER BY note_id",
            &s);
        st != NOERROR) {
        return st;
    }
    Use use(s);
    sqlite3_bind_int(s, 1, noteClass);
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        ViewDesign probe;
        probe.title = columnText(s, 1);
        if (probe.answersTo(name)) {
            *out = static_cast<NOTEID>(sqlite3_column_int64(s, 0));
            return NOERROR;
        }
    }
    return rc == SQLITE_DONE ? ERR_NOT_FOUND : statusOf(rc);
}

STATUS ViewIndex::viewDesign(NOTEID view, ViewDesign* out) {
    std::lock_guard<std::mutex> lock(store_.mutex_);
    Note n;
    if (STATUS st = store_.loadLocked(view, &n); st != NOERROR) {
        return st;
    }
    if (n.info.noteClass != NOTE_CLASS_VIEW || !readViewDesign(n, out)) {
        return ERR_INVALID_NOTE;
    }
    return NOERROR;
}

STATUS ViewIndex::ensureViewIndex(NOTEID view) {
    std::lock_guard<std::mutex> lock(store_.mutex_);
    sqlite3_stmt* s = nullptr;
    // A read first: the usual case (index current) takes no write lock.
    NoteInfo info;
    if (STATUS st = store_.infoLocked(view, &info); st != NOERROR) {
        return st;
    }
    if (info.deleted) {
        return ERR_NOTE_DELETED;
    }
    auto current = [&](bool* yes) -> STATUS {
        if (STATUS st = store_.prepare("SELECT design_seq FROM view_state WHERE view_id = ?", &s);
            st != NOERROR) {
            return st;
        }
        Use use(s);
        sqlite3_bind_int64(s, 1, view);
        const int rc = sqlite3_step(s);
        *yes = rc == SQLITE_ROW && static_cast<DWORD>(sqlite3_column_int64(s, 0)) == info.sequence;
        return rc == SQLITE_ROW || rc == SQLITE_DONE ? NOERROR : statusOf(rc);
    };
    bool yes = false;
    if (STATUS st = current(&yes); st != NOERROR || yes) {
        return st;
    }
    Transaction tx(store_.db_);
    if (!tx.ok()) {
        return statusOf(tx.rc());
    }
    if (STATUS st = store_.infoLocked(view, &info); st != NOERROR) {
        return st;
    }
    if (STATUS st = current(&yes); st != NOERROR || yes) {
        return st;
    }
    Note n;
    ViewDesign d;
    if (STATUS st = store_.loadLocked(view, &n); st != NOERROR) {
        return st;
    }
    if (n.info.noteClass != NOTE_CLASS_VIEW || !readViewDesign(n, &d)) {
        return ERR_INVALID_NOTE;
    }
    if (STATUS st = rebuildViewLocked(d, info.sequence); st != NOERROR) {
        return st;
    }
    return statusOf(tx.commit());
}

// Brings a view's index up to date and checks that it has `collation`.
STATUS ViewIndex::readyCollation(NOTEID view, WORD collation) {
    if (STATUS st = ensureViewIndex(view); st != NOERROR) {
        return st;
    }
    ViewDesign d;
    if (STATUS st = viewDesign(view, &d); st != NOERROR) {
        return st;
    }
    return collation < d.collationCount() ? NOERROR : ERR_BAD_COLLATION;
}

STATUS ViewIndex::viewRows(NOTEID view, WORD collation, std::vector<ViewRow>* out) {
    if (STATUS st = readyCollation(view, collation); st != NOERROR) {
        return st;
    }
    std::lock_guard<std::mutex> lock(store_.mutex_);
    sqlite3_stmt* s = nullptr;
    if (STATUS st = store_.prepare(
            "SELECT note_id, sort_key, category FROM view_index WHERE view_id = ? AND collation = ? "
            "ORDER BY sort_key, note_id",
            &s);
        st != NOERROR) {
        return st;
    }
    Use use(s);
    sqlite3_bind_int64(s, 1, view);
    sqlite3_bind_int(s, 2, collation);
    out->clear();
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        ViewRow r;
        r.note = static_cast<NOTEID>(sqlite3_column_int64(s, 0));
        const void* blob = sqlite3_column_blob(s, 1);
        r.key.assign(static_cast<const char*>(blob ? blob : ""),
                     static_cast<std::size_t>(sqlite3_column_bytes(s, 1)));
        r.category = columnText(s, 2);
        out->push_back(std::move(r));
    }
    return rc == SQLITE_DONE ? NOERROR : statusOf(rc);
}

STATUS ViewIndex::viewOrderedNoteIds(NOTEID view, WORD collation,
                                     std::shared_ptr<const std::vector<NOTEID>>* out) {
    if (STATUS st = readyCollation(view, collation); st != NOERROR) {
        return st;
    }
    const std::string key = "view " + std::to_string(view) + " " + std::to_string(collation);
    auto read = [&](ordercache::Ids* ids) {
        std::lock_guard<std::mutex> lock(store_.mutex_);
        return readOrderedNoteIdsLocked(view, collation, ids);
    };
    {
        std::lock_guard<std::mutex> lock(store_.mutex_);
        if (!sqlite3_get_autocommit(store_.db_)) {
            // Inside a batch this connection sees its own uncommitted rows: nothing to share.
            return readOrderedNoteIdsLocked(view, collation, out);
        }
    }
    return ordercache::get(store_.file_, key, read, out);
}

STATUS ViewIndex::readOrderedNoteIdsLocked(NOTEID view, WORD collation,
                                           std::shared_ptr<const std::vector<NOTEID>>* out) {
    sqlite3_stmt* s = nullptr;
    if (STATUS st = store_.prepare("SELECT note_id FROM view_index WHERE view_id = ? AND collation = ? "
                                   "ORDER BY sort_key, note_id",
                                   &s);
        st != NOERROR) {
        return st;
    }
    auto ids = std::make_shared<std::vector<NOTEID>>();
    Use use(s);
    sqlite3_bind_int64(s, 1, view);
    sqlite3_bind_int(s, 2, collation);
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        ids->push_back(static_cast<NOTEID>(sqlite3_column_int64(s, 0)));
    }
    if (rc != SQLITE_DONE) {
        return statusOf(rc);
    }
    *out = std::move(ids);
    return NOERROR;
}

STATUS ViewIndex::viewOrderedNoteIds(NOTEID view, WORD collation, std::vector<NOTEID>* out) {
    std::shared_ptr<const std::vector<NOTEID>> ids;
    if (STATUS st = viewOrderedNoteIds(view, collation, &ids); st != NOERROR) {
        return st;
    }
    *out = *ids;
    return NOERROR;
}

STATUS ViewIndex::viewMatches(NOTEID view, WORD collation, const std::string& prefix,
                              std::vector<NOTEID>* out) {
    if (STATUS st = ensureViewIndex(view); st != NOERROR) {
        return st;
    }
    std::lock_guard<std::mutex> lock(store_.mutex_);
    sqlite3_stmt* s = nullptr;
    const std::string upper = successor(prefix);
    if (STATUS st = store_.prepare(
            upper.empty() ? "SELECT note_id FROM view_index WHERE view_id = ?1 AND collation = ?2 AND "
                            "sort_key >= ?3 ORDER BY sort_key, note_id"
                          : "SELECT note_id FROM view_index WHERE view_id = ?1 AND collation = ?2 AND "
                            "sort_key >= ?3 AND sort_key < ?4 ORDER BY sort_key, note_id",
            &s);
        st != NOERROR) {
        return st;
    }
    Use use(s);
    sqlite3_bind_int64(s, 1, view);
    sqlite3_bind_int(s, 2, collation);
    sqlite3_bind_blob(s, 3, prefix.data(), static_cast<int>(prefix.size()), SQLITE_STATIC);
    if (!upper.empty()) {
        sqlite3_bind_blob(s, 4, upper.data(), static_cast<int>(upper.size()), SQLITE_STATIC);
    }
    out->clear();
    std::unordered_set<NOTEID> seen;
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        const NOTEID id = static_cast<NOTEID>(sqlite3_column_int64(s, 0));
        if (seen.insert(id).second) {
            out->push_back(id);
        }
    }
    return rc == SQLITE_DONE ? NOERROR : statusOf(rc);
}

STATUS ViewIndex::viewNoteIds(NOTEID view, std::vector<NOTEID>* out) {
    if (STATUS st = ensureViewIndex(view); st != NOERROR) {
        return st;
    }
    std::lock_guard<std::mutex> lock(store_.mutex_);
    return readMembersLocked(view, out);
}

namespace {

// A view's documents as last read in this process, and the membership log entry they include.
struct Members {
    std::string file; // meta replica id and creation time: a file replaced under the path differs
    std::int64_t seq = 0;
    std::shared_ptr<std::vector<NOTEID>> ids; // handed out read-only; changed only while unshared
};

constexpr std::size_t kMaxMemberLists = 256;
std::mutex membersMutex;
std::unordered_map<std::string, Members> memberLists; // by path and view note id

} // namespace

STATUS ViewIndex::viewMembers(NOTEID view, std::shared_ptr<const std::vector<NOTEID>>* out) {
    if (STATUS st = ensureViewIndex(view); st != NOERROR) {
        return st;
    }
    std::lock_guard<std::mutex> lock(store_.mutex_);
    if (!sqlite3_get_autocommit(store_.db_)) {
        // Inside a batch this connection sees its own uncommitted rows: nothing to share.
        auto ids = std::make_shared<std::vector<NOTEID>>();
        if (STATUS st = readMembersLocked(view, ids.get()); st != NOERROR) {
            return st;
        }
        *out = std::move(ids);
        return NOERROR;
    }
    // The log's bounds, the file's identity and the rows read below all come from one snapshot.
    ReadTransaction tx(store_.db_);
    if (!tx.ok) {
        return statusOf(sqlite3_errcode(store_.db_));
    }
    Database::LogBounds bounds;
    if (STATUS st = store_.logBoundsLocked(Database::ChangeLog::Views, &bounds); st != NOERROR) {
        return st;
    }
    const std::int64_t first = bounds.first, last = bounds.last;
    const std::string& file = bounds.file;
    const std::string key = store_.file_ + '\n' + std::to_string(view);
    Members held;
    {
        std::lock_guard<std::mutex> guard(membersMutex);
        if (auto it = memberLists.find(key); it != memberLists.end()) {
            if (it->second.ids && it->second.file == file && it->second.seq == last) {
                *out = it->second.ids;
                return NOERROR;
            }
            // Taken out, so that no one else holds it while it is brought up to date in place.
            held = std::move(it->second);
            memberLists.erase(it);
        }
    }
    std::shared_ptr<std::vector<NOTEID>> ids = std::move(held.ids);
    // Caught up only when the log still holds every entry after the reading (none trimmed).
    const bool logged = ids && held.file == file && held.seq < last && (first == 0 || first <= held.seq + 1);
    ids = logged ? idtable::own(std::move(ids)) : std::make_shared<std::vector<NOTEID>>();
    if (STATUS st =
            logged ? catchUpMembersLocked(view, held.seq, ids.get()) : readMembersLocked(view, ids.get());
        st != NOERROR) {
        return st;
    }
    {
        std::lock_guard<std::mutex> guard(membersMutex);
        if (memberLists.size() >= kMaxMemberLists) {
            memberLists.clear();
        }
        Members& slot = memberLists[key];
        if (!slot.ids || slot.file != file || slot.seq <= last) {
            slot = Members{file, last, ids};
        }
    }
    *out = std::move(ids);
    return NOERROR;
}

// `ids` with the changes the log records after `since` applied: each logged document is in the
// result exactly when it has a row in the view now.
STATUS ViewIndex::catchUpMembersLocked(NOTEID view, std::int64_t since, std::vector<NOTEID>* ids) {
    sqlite3_stmt* s = nullptr;
    if (STATUS st = store_.prepare("SELECT DISTINCT note_id FROM view_log WHERE seq > ? AND view_id = ?", &s);
        st != NOERROR) {
        return st;
    }
    std::vector<NOTEID> changed;
    {
        Use use(s);
        sqlite3_bind_int64(s, 1, since);
        sqlite3_bind_int64(s, 2, view);
        int rc;
        while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
            changed.push_back(static_cast<NOTEID>(sqlite3_column_int64(s, 0)));
        }
        if (rc != SQLITE_DONE) {
            return statusOf(rc);
        }
    }
    std::sort(changed.begin(), changed.end());
    if (STATUS st = store_.prepare(
            "SELECT 1 FROM view_index WHERE note_id = ? AND view_id = ? AND collation = 0 LIMIT 1", &s);
        st != NOERROR) {
        return st;
    }
    std::vector<NOTEID> present;
    for (NOTEID id : changed) {
        Use use(s);
        sqlite3_bind_int64(s, 1, id);
        sqlite3_bind_int64(s, 2, view);
        const int rc = sqlite3_step(s);
        if (rc == SQLITE_ROW) {
            present.push_back(id);
        } else if (rc != SQLITE_DONE) {
            return statusOf(rc);
        }
    }
    idtable::update(ids, changed, present);
    return NOERROR;
}

STATUS ViewIndex::readMembersLocked(NOTEID view, std::vector<NOTEID>* out) {
    sqlite3_stmt* s = nullptr;
    if (STATUS st = store_.prepare(
            "SELECT DISTINCT note_id FROM view_index WHERE view_id = ? AND collation = 0 ORDER BY note_id",
            &s);
        st != NOERROR) {
        return st;
    }
    Use use(s);
    sqlite3_bind_int64(s, 1, view);
    out->clear();
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        out->push_back(static_cast<NOTEID>(sqlite3_column_int64(s, 0)));
    }
    return rc == SQLITE_DONE ? NOERROR : statusOf(rc);
}

STATUS ViewIndex::changeFolder(NOTEID folder, const std::vector<NOTEID>& add,
                               const std::vector<NOTEID>& remove) {
    if (STATUS st = ensureViewIndex(folder); st != NOERROR) {
        return st;
    }
    std::lock_guard<std::mutex> lock(store_.mutex_);
    Transaction tx(store_.db_);
    if (!tx.ok()) {
        return statusOf(tx.rc());
    }
    Note n;
    ViewDesign d;
    if (STATUS st = store_.loadLocked(folder, &n); st != NOERROR) {
        return st;
    }
    if (n.info.noteClass != NOTE_CLASS_VIEW || !readViewDesign(n, &d) || !d.folder) {
        return ERR_INVALID_NOTE;
    }
    sqlite3_stmt* s = nullptr;
    for (NOTEID id : remove) {
        for (const char* sql : {"DELETE FROM folder_entries WHERE folder_id = ? AND note_id = ?",
                                "DELETE FROM view_index WHERE view_id = ? AND note_id = ?",
                                "DELETE FROM view_values WHERE view_id = ? AND note_id = ?"}) {
            if (STATUS st = store_.prepare(sql, &s); st != NOERROR) {
                return st;
            }
            Use use(s);
            sqlite3_bind_int64(s, 1, folder);
            sqlite3_bind_int64(s, 2, id);
            if (const int rc = sqlite3_step(s); rc != SQLITE_DONE) {
                return statusOf(rc);
            }
        }
    }
    for (NOTEID id : add) {
        Note doc;
        if (STATUS st = store_.loadLocked(id, &doc); st != NOERROR) {
            return st;
        }
        if (doc.info.noteClass != NOTE_CLASS_DOCUMENT) {
            return ERR_INVALID_NOTE;
        }
        if (STATUS st =
                store_.prepare("INSERT OR IGNORE INTO folder_entries(folder_id, note_id) VALUES(?, ?)", &s);
            st != NOERROR) {
            return st;
        }
        {
            Use use(s);
            sqlite3_bind_int64(s, 1, folder);
            sqlite3_bind_int64(s, 2, id);
            if (const int rc = sqlite3_step(s); rc != SQLITE_DONE) {
                return statusOf(rc);
            }
        }
        if (STATUS st = indexInViewLocked(d, id, doc); st != NOERROR) {
            return st;
        }
    }
    return statusOf(tx.commit());
}

bool columnValue(std::string_view encoded, std::size_t column, WORD* type, std::string_view* value) {
    std::size_t at = 0;
    for (std::size_t i = 0;; ++i) {
        WORD t = 0;
        DWORD length = 0;
        if (encoded.size() - at < sizeof t + sizeof length) {
            return false;
        }
        std::memcpy(&t, encoded.data() + at, sizeof t);
        std::memcpy(&length, encoded.data() + at + sizeof t, sizeof length);
        at += sizeof t + sizeof length;
        if (encoded.size() - at < length) {
            return false;
        }
        if (i == column) {
            *type = t;
            *value = encoded.substr(at, length);
            return true;
        }
        at += length;
    }
}

void ViewValues::reserve(NOTEID lastId) {
    reserved_ = lastId / 4 + 1;
    rows_.resize(std::max(rows_.size(), reserved_));
}

void ViewValues::add(NOTEID id, std::string_view encoded) {
    const std::size_t row = id / 4;
    if (id % 4 != 0) {
        return;
    }
    if (row >= rows_.size()) {
        rows_.resize(std::max(row + 1, rows_.size() * 2));
    }
    rows_[row] = true;
    std::size_t at = 0;
    constexpr std::size_t kHeader = sizeof(WORD) + sizeof(DWORD);
    for (std::size_t column = 0; encoded.size() - at >= kHeader; ++column) {
        Cell cell;
        DWORD length = 0;
        std::memcpy(&cell.type, encoded.data() + at, sizeof cell.type);
        std::memcpy(&length, encoded.data() + at + sizeof(WORD), sizeof length);
        at += kHeader;
        if (encoded.size() - at < length) {
            break;
        }
        if (column >= columns_.size()) {
            columns_.emplace_back().cells.resize(reserved_);
        }
        Column& c = columns_[column];
        if (row >= c.cells.size()) {
            c.cells.resize(std::max(row + 1, c.cells.size() * 2));
        }
        cell.length = length;
        cell.present = true;
        if (length <= sizeof cell.payload) {
            std::memcpy(&cell.payload, encoded.data() + at, length);
        } else {
            cell.payload = c.bytes.size();
            c.bytes.append(encoded.substr(at, length));
        }
        c.cells[row] = cell;
        at += length;
    }
}

bool ViewValues::has(NOTEID id) const {
    return id % 4 == 0 && id / 4 < rows_.size() && rows_[id / 4];
}

bool ViewValues::value(NOTEID id, std::size_t column, WORD* type, std::string_view* bytes) const {
    if (id % 4 != 0 || column >= columns_.size() || id / 4 >= columns_[column].cells.size()) {
        return false;
    }
    const Column& c = columns_[column];
    const Cell& cell = c.cells[id / 4];
    if (!cell.present) {
        return false;
    }
    *type = cell.type;
    *bytes = cell.length <= sizeof cell.payload
                 ? std::string_view(reinterpret_cast<const char*>(&cell.payload), cell.length)
                 : std::string_view(c.bytes).substr(static_cast<std::size_t>(cell.payload), cell.length);
    return true;
}

ViewColumnOrder::ViewColumnOrder(std::shared_ptr<const ViewValues> values,
                                 std::shared_ptr<const std::vector<NOTEID>> ids, std::size_t column)
    : values_(std::move(values)), ids_(std::move(ids)) {
    cells_.resize(ids_->size());
    const ViewValues::Column* c = column < values_->columns_.size() ? &values_->columns_[column] : nullptr;
    if (c) {
        bytes_ = &c->bytes;
    }
    for (std::size_t i = 0; i < cells_.size(); ++i) {
        const NOTEID id = (*ids_)[i];
        ViewValues::Cell& cell = cells_[i];
        if (!values_->has(id)) {
            continue;
        }
        if (c && id / 4 < c->cells.size()) {
            cell = c->cells[id / 4];
        }
        cell.rowKnown = true;
    }
}

bool viewCategorized(const ViewDesign& d, WORD collation) {
    std::vector<Part> parts;
    return collationParts(d, collation, &parts) && categorized(d, collation, parts);
}

STATUS ViewIndex::viewValues(NOTEID view, std::shared_ptr<const ViewValues>* out) {
    if (STATUS st = ensureViewIndex(view); st != NOERROR) {
        return st;
    }
    auto read = [&](std::shared_ptr<const ViewValues>* values) {
        std::lock_guard<std::mutex> lock(store_.mutex_);
        sqlite3_stmt* s = nullptr;
        if (STATUS st = store_.prepare("SELECT note_id, vals FROM view_values WHERE view_id = ?", &s);
            st != NOERROR) {
            return st;
        }
        auto map = std::make_shared<ViewValues>();
        sqlite3_stmt* last = nullptr;
        if (STATUS st = store_.prepare("SELECT max(note_id) FROM view_values WHERE view_id = ?", &last);
            st != NOERROR) {
            return st;
        }
        {
            Use use(last);
            sqlite3_bind_int64(last, 1, view);
            if (sqlite3_step(last) == SQLITE_ROW) {
                map->reserve(static_cast<NOTEID>(sqlite3_column_int64(last, 0)));
            }
        }
        Use use(s);
        sqlite3_bind_int64(s, 1, view);
        int rc;
        while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
            const void* blob = sqlite3_column_blob(s, 1);
            map->add(static_cast<NOTEID>(sqlite3_column_int64(s, 0)),
                     std::string_view(static_cast<const char*>(blob ? blob : ""),
                                      static_cast<std::size_t>(sqlite3_column_bytes(s, 1))));
        }
        if (rc != SQLITE_DONE) {
            return statusOf(rc);
        }
        *values = std::move(map);
        return NOERROR;
    };
    bool inBatch = false;
    {
        std::lock_guard<std::mutex> lock(store_.mutex_);
        inBatch = !sqlite3_get_autocommit(store_.db_);
    }
    if (inBatch) {
        return read(out); // this connection's own uncommitted rows: nothing to share
    }
    ordercache::Object object;
    if (STATUS st = ordercache::getObject(
            store_.file_, "values " + std::to_string(view),
            [&](ordercache::Object* o) {
                std::shared_ptr<const ViewValues> values;
                const STATUS readStatus = read(&values);
                *o = values;
                return readStatus;
            },
            &object);
        st != NOERROR) {
        return st;
    }
    *out = std::static_pointer_cast<const ViewValues>(object);
    return NOERROR;
}

STATUS ViewIndex::viewColumnOrder(NOTEID view, WORD collation, std::size_t column,
                                  const std::shared_ptr<const std::vector<NOTEID>>& ids,
                                  const std::shared_ptr<const ViewValues>& values,
                                  std::shared_ptr<const ViewColumnOrder>* out) {
    if (!ids || !values) {
        return ERR_INVALID_PARAM;
    }
    auto build = [&] { return std::make_shared<const ViewColumnOrder>(values, ids, column); };
    bool inBatch = false;
    {
        std::lock_guard<std::mutex> lock(store_.mutex_);
        inBatch = !sqlite3_get_autocommit(store_.db_);
    }
    if (!inBatch) {
        ordercache::Object object;
        const std::string key =
            "column " + std::to_string(view) + " " + std::to_string(collation) + " " + std::to_string(column);
        if (STATUS st = ordercache::getObject(
                store_.file_, key,
                [&](ordercache::Object* o) {
                    *o = build();
                    return NOERROR;
                },
                &object);
            st != NOERROR) {
            return st;
        }
        auto held = std::static_pointer_cast<const ViewColumnOrder>(object);
        if (held->ids() == ids.get()) {
            *out = std::move(held);
            return NOERROR;
        }
    }
    *out = build(); // a reading older than the shared one keeps its own order
    return NOERROR;
}

namespace {

constexpr DWORD kResortFlags = kColResortAscending | kColResortDescending;

bool sameParts(const std::vector<Part>& a, const std::vector<Part>& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](const Part& x, const Part& y) {
               return x.column == y.column && x.descending == y.descending;
           });
}

// Whether `after` keeps every entry and collation of `before` as it was and only offers more
// collations (a heading made re-sortable, a re-sortable column appended).
bool onlyAddsCollations(const ViewDesign& before, const ViewDesign& after) {
    if (before.folder != after.folder || before.forms != after.forms || before.items != after.items ||
        before.notItems != after.notItems || after.columns.size() < before.columns.size() ||
        after.collationCount() < before.collationCount()) {
        return false;
    }
    for (std::size_t i = 0; i < after.columns.size(); ++i) {
        const ViewColumn& a = after.columns[i];
        if (i < before.columns.size()) {
            const ViewColumn& b = before.columns[i];
            if (a.items != b.items || a.formula != b.formula ||
                (a.flags & ~kResortFlags) != (b.flags & ~kResortFlags)) {
                return false;
            }
        } else if (a.flags & (kColSorted | kColCategory | kColSeparateEntries)) {
            return false;
        }
    }
    std::vector<Part> p, q;
    for (WORD c = 0; c < before.collationCount(); ++c) {
        if (!collationParts(before, c, &p) || !collationParts(after, c, &q) || !sameParts(p, q)) {
            return false;
        }
    }
    return true;
}

bool sameEntries(const ViewDesign& before, const ViewDesign& after) {
    if (!onlyAddsCollations(before, after) || after.collationCount() != before.collationCount() ||
        after.columns.size() != before.columns.size()) {
        return false;
    }
    return true;
}

using Prepare = std::function<STATUS(const char*, sqlite3_stmt**)>;

// The first value of an appended column for each document of the view (none: no entry). The kept
// value is the item's own (names in full); formulas give what formulaValue gives for a document.
STATUS appendedValues(const Prepare& prepare, NOTEID view, const ViewColumn& col,
                      std::unordered_map<NOTEID, Value>* out) {
    sqlite3_stmt* s = nullptr;
    if (col.items.empty()) {
        const bool created = col.formula == "@Created";
        if (col.formula.find("@DocLength") != std::string::npos) {
            // A document's size: its items' names and values, and the bytes of its attachments.
            if (STATUS st = prepare(
                    "SELECT i.note_id, i.name, length(i.value), CASE WHEN i.type = ?2 AND i.name = '$FILE' "
                    "THEN i.value END FROM view_values v JOIN items i ON i.note_id = v.note_id "
                    "WHERE v.view_id = ?1",
                    &s);
                st != NOERROR) {
                return st;
            }
            Use use(s);
            sqlite3_bind_int64(s, 1, view);
            sqlite3_bind_int(s, 2, TYPE_OBJECT);
            std::unordered_map<NOTEID, double> sizes;
            int rc;
            while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
                double& size = sizes[static_cast<NOTEID>(sqlite3_column_int64(s, 0))];
                sqlite3_column_text(s, 1);
                size += static_cast<double>(sqlite3_column_bytes(s, 1)) +
                        static_cast<double>(sqlite3_column_int64(s, 2)) + 2;
                if (sqlite3_column_type(s, 3) != SQLITE_NULL) {
                    const void* blob = sqlite3_column_blob(s, 3);
                    files::FileObject file;
                    if (files::decode(std::string_view(static_cast<const char*>(blob ? blob : ""),
                                                       static_cast<std::size_t>(sqlite3_column_bytes(s, 3))),
                                      &file)) {
                        size += file.size;
                    }
                }
            }
            if (rc != SQLITE_DONE) {
                return statusOf(rc);
            }
            for (const auto& [id, size] : sizes) {
                Value v;
                v.kind = Value::kNumber;
                v.number = size;
                out->emplace(id, v);
            }
            return NOERROR;
        }
        if (!created && col.formula != "@Modified") {
            return NOERROR; // a formula no column evaluates: no values
        }
        if (STATUS st = prepare(created ? "SELECT n.note_id, n.created FROM view_values v JOIN notes n "
                                          "ON n.note_id = v.note_id WHERE v.view_id = ?1"
                                        : "SELECT n.note_id, n.modified FROM view_values v JOIN notes n "
                                          "ON n.note_id = v.note_id WHERE v.view_id = ?1",
                                &s);
            st != NOERROR) {
            return st;
        }
        Use use(s);
        sqlite3_bind_int64(s, 1, view);
        int rc;
        while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
            Value v;
            v.kind = Value::kTime;
            v.ticks = sqlite3_column_int64(s, 1);
            v.td = timedateFromTicks(v.ticks);
            out->emplace(static_cast<NOTEID>(sqlite3_column_int64(s, 0)), v);
        }
        return rc == SQLITE_DONE ? NOERROR : statusOf(rc);
    }
    for (const std::string& name : col.items) {
        if (STATUS st = prepare("SELECT i.note_id, i.type, i.value FROM items i JOIN view_values v "
                                "ON v.view_id = ?1 AND v.note_id = i.note_id WHERE i.name = ?2 "
                                "ORDER BY i.note_id, i.seq",
                                &s);
            st != NOERROR) {
            return st;
        }
        Use use(s);
        sqlite3_bind_int64(s, 1, view);
        sqlite3_bind_text(s, 2, name.c_str(), static_cast<int>(name.size()), SQLITE_STATIC);
        ViewColumn single = col;
        single.items = {name};
        single.flags &= ~kColCommonName; // kept as stored
        int rc;
        while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
            const NOTEID id = static_cast<NOTEID>(sqlite3_column_int64(s, 0));
            if (out->count(id)) {
                continue;
            }
            Note one;
            Item item;
            item.name = name;
            item.type = static_cast<WORD>(sqlite3_column_int(s, 1));
            const void* blob = sqlite3_column_blob(s, 2);
            item.value.assign(static_cast<const char*>(blob ? blob : ""),
                              static_cast<std::size_t>(sqlite3_column_bytes(s, 2)));
            one.items.push_back(std::move(item));
            const std::vector<Value> vs = columnValues(single, one);
            if (!vs.empty()) {
                out->emplace(id, vs.front());
            }
        }
        if (rc != SQLITE_DONE) {
            return statusOf(rc);
        }
    }
    return NOERROR;
}

} // namespace

// A new collation whose first part is column `k` and whose other parts are collation 0's keys
// is collation 0's key with k's value put in front: built from the kept values and keys, without
// opening a document.
STATUS ViewIndex::addCollationsLocked(const ViewDesign& before, const ViewDesign& after, bool* done) {
    *done = false;
    std::vector<Part> base;
    collationParts(after, 0, &base);
    if (categorized(after, 0, base)) {
        return NOERROR; // collation 0's keys are not the other collations' tails
    }
    for (const ViewColumn& c : after.columns) {
        if (c.flags & kColSeparateEntries) {
            return NOERROR;
        }
    }
    struct NewCollation {
        WORD number;
        Part first;
    };
    std::vector<NewCollation> added;
    std::vector<Part> parts;
    for (WORD c = before.collationCount(); c < after.collationCount(); ++c) {
        if (!collationParts(after, c, &parts)) {
            return NOERROR;
        }
        for (const Part& p : base) {
            if (p.column == parts.front().column) {
                return NOERROR; // sorting again by a sorted column reorders the tail
            }
        }
        added.push_back({c, parts.front()});
    }
    // Appended columns have no kept values yet: an item column's come from that item's rows, a
    // formula column's from the notes' own records, never from whole documents.
    const std::size_t keptColumns = before.columns.size();
    const Prepare prepare = [this](const char* sql, sqlite3_stmt** out) { return store_.prepare(sql, out); };
    std::unordered_map<NOTEID, std::vector<Value>> fresh; // note -> values of the appended columns
    for (std::size_t k = keptColumns; k < after.columns.size(); ++k) {
        std::unordered_map<NOTEID, Value> firsts;
        if (STATUS st = appendedValues(prepare, after.id, after.columns[k], &firsts); st != NOERROR) {
            return st;
        }
        for (auto& [id, v] : firsts) {
            auto& row = fresh[id];
            row.resize(after.columns.size() - keptColumns);
            row[k - keptColumns] = std::move(v);
        }
    }
    // The kept values in one buffer, and every entry's collation 0 key: two scans, no row per entry
    // held in a map of its own.
    sqlite3_stmt* s = nullptr;
    ViewValues kept;
    if (STATUS st = store_.prepare("SELECT note_id, vals FROM view_values WHERE view_id = ?", &s);
        st != NOERROR) {
        return st;
    }
    {
        Use use(s);
        sqlite3_bind_int64(s, 1, after.id);
        int rc;
        while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
            const void* vals = sqlite3_column_blob(s, 1);
            kept.add(static_cast<NOTEID>(sqlite3_column_int64(s, 0)),
                     std::string_view(static_cast<const char*>(vals ? vals : ""),
                                      static_cast<std::size_t>(sqlite3_column_bytes(s, 1))));
        }
        if (rc != SQLITE_DONE) {
            return statusOf(rc);
        }
    }
    if (STATUS st = store_.prepare(
            "SELECT note_id, sort_key FROM view_index WHERE view_id = ? AND collation = 0", &s);
        st != NOERROR) {
        return st;
    }
    struct NewRow {
        NOTEID id;
        WORD collation;
        std::string key;
    };
    std::vector<NewRow> rows;
    std::vector<NOTEID> ids;
    {
        Use use(s);
        sqlite3_bind_int64(s, 1, after.id);
        int rc;
        while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
            const NOTEID id = static_cast<NOTEID>(sqlite3_column_int64(s, 0));
            const void* key = sqlite3_column_blob(s, 1);
            const std::string_view base(static_cast<const char*>(key ? key : ""),
                                        static_cast<std::size_t>(sqlite3_column_bytes(s, 1)));
            const auto extra = fresh.find(id);
            for (const NewCollation& c : added) {
                Value v;
                if (c.first.column >= keptColumns) {
                    if (extra != fresh.end()) {
                        v = extra->second[c.first.column - keptColumns];
                    }
                } else {
                    WORD type = 0;
                    std::string_view bytes;
                    if (kept.value(id, c.first.column, &type, &bytes)) {
                        v = valueFrom(type, bytes);
                    }
                }
                if (v.kind == Value::kText && (after.columns[c.first.column].flags & kColCommonName)) {
                    v.text = commonName(v.text);
                }
                std::string k = encodePart(v, (after.columns[c.first.column].flags & kColCaseSensitive) != 0,
                                           c.first.descending);
                k.append(base);
                rows.push_back({id, c.number, std::move(k)});
            }
            ids.push_back(id);
        }
        if (rc != SQLITE_DONE) {
            return statusOf(rc);
        }
    }
    // Written in note order: the new rows land in a range of their own however they are ordered,
    // while the index by note takes one row in each of its pages, each page touched once.
    std::sort(rows.begin(), rows.end(), [](const NewRow& a, const NewRow& b) {
        return a.id != b.id ? a.id < b.id : a.collation < b.collation;
    });
    for (const NewRow& r : rows) {
        if (STATUS st = insertRowLocked(after.id, r.collation, r.key, r.id, nullptr); st != NOERROR) {
            return st;
        }
    }
    if (after.columns.size() > keptColumns) {
        std::sort(ids.begin(), ids.end());
        ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
        if (STATUS st =
                store_.prepare("UPDATE view_values SET vals = ?3 WHERE view_id = ?1 AND note_id = ?2", &s);
            st != NOERROR) {
            return st;
        }
        for (const NOTEID id : ids) {
            if (!kept.has(id)) {
                continue;
            }
            std::string vals;
            for (std::size_t k = 0; k < keptColumns; ++k) {
                WORD type = 0;
                std::string_view bytes;
                if (!kept.value(id, k, &type, &bytes)) {
                    type = 0;
                    bytes = {};
                }
                const DWORD length = static_cast<DWORD>(bytes.size());
                vals.append(reinterpret_cast<const char*>(&type), sizeof type);
                vals.append(reinterpret_cast<const char*>(&length), sizeof length);
                vals.append(bytes);
            }
            const auto extra = fresh.find(id);
            for (std::size_t k = keptColumns; k < after.columns.size(); ++k) {
                appendValue(vals, extra == fresh.end() ? Value{} : extra->second[k - keptColumns]);
            }
            Use use(s);
            sqlite3_bind_int64(s, 1, after.id);
            sqlite3_bind_int64(s, 2, id);
            sqlite3_bind_blob(s, 3, vals.data(), static_cast<int>(vals.size()), SQLITE_STATIC);
            if (const int rc = sqlite3_step(s); rc != SQLITE_DONE) {
                return statusOf(rc);
            }
        }
    }
    *done = true;
    return NOERROR;
}

STATUS ViewIndex::viewSavedLocked(NOTEID view, const Note& note, const ViewDesign* before,
                                  DWORD beforeSequence) {
    if (STATUS st = bumpDesignVersionLocked(); st != NOERROR) {
        return st;
    }
    ViewDesign after;
    if (!readViewDesign(note, &after)) {
        return NOERROR; // not a view design (yet): nothing to index
    }
    after.id = view;
    NoteInfo info;
    if (STATUS st = store_.infoLocked(view, &info); st != NOERROR) {
        return st;
    }
    bool current = false;
    if (before) {
        sqlite3_stmt* s = nullptr;
        if (STATUS st = store_.prepare("SELECT design_seq FROM view_state WHERE view_id = ?", &s);
            st != NOERROR) {
            return st;
        }
        Use use(s);
        sqlite3_bind_int64(s, 1, view);
        current =
            sqlite3_step(s) == SQLITE_ROW && static_cast<DWORD>(sqlite3_column_int64(s, 0)) == beforeSequence;
    }
    bool done = false;
    if (current && sameEntries(*before, after)) {
        done = true;
    } else if (current && onlyAddsCollations(*before, after)) {
        if (STATUS st = addCollationsLocked(*before, after, &done); st != NOERROR) {
            return st;
        }
    }
    if (!done) {
        return rebuildViewLocked(after, info.sequence);
    }
    return markBuiltLocked(view, info.sequence);
}

} // namespace notes
