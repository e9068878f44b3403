#include "lnbodies.h"

#include "ftquery.h"

#include <algorithm>
#include <cstdlib>
#include <unordered_map>

// One reading of a view. A view without categories is its ordered note ids, shared with every
// reader of the file (no copy per reading); a categorised one is its rows with a category entry put
// before the documents of each category.
struct LNVFSnapshot {
    struct Entry {
        NOTEID note = 0; // 0: a category
        std::string category;
        LNVFPosition position;
    };
    std::shared_ptr<LNDatabaseBody> db;
    NOTEID view = 0;
    WORD collation = 0;
    std::shared_ptr<const std::vector<NOTEID>> ids;          // set: a view without categories
    std::vector<notes::ViewRow> rows;                        // categorised; for one without, read by Find
    std::vector<Entry> entries;                              // categorised only
    std::vector<LNINT> rowEntry;                             // entry index of each row
    mutable std::shared_ptr<const notes::ViewValues> values; // read with the first column value
    // Columns read in this reading's order (a view without categories), by column number.
    mutable std::vector<std::pair<std::size_t, std::shared_ptr<const notes::ViewColumnOrder>>> ordered;
    // The entries whose column values were read last, the older first: a reader that walks the view
    // in steps (the edges of its pages) has the value two steps on fetched while it works.
    mutable LNINT lastRead[2] = {-1, -1};

    const notes::ViewColumnOrder* columnOrder(std::size_t column, STATUS* status) const {
        for (const auto& [number, order] : ordered) {
            if (number == column) {
                return order.get();
            }
        }
        const auto database = db ? db->database() : nullptr;
        std::shared_ptr<const notes::ViewColumnOrder> order;
        *status = database ? database->viewColumnOrder(view, collation, column, ids, values, &order)
                           : LNERR_DATABASE_NOT_OPEN;
        if (*status != NOERROR) {
            return nullptr;
        }
        ordered.emplace_back(column, order);
        return order.get();
    }

    bool flat() const { return ids != nullptr; }
    LNINT count() const { return static_cast<LNINT>(flat() ? ids->size() : entries.size()); }
    NOTEID noteAt(LNINT i) const {
        return flat() ? (*ids)[static_cast<std::size_t>(i)] : entries[static_cast<std::size_t>(i)].note;
    }
    std::string categoryAt(LNINT i) const {
        return flat() ? std::string() : entries[static_cast<std::size_t>(i)].category;
    }
    LNVFPosition positionAt(LNINT i) const {
        if (!flat()) {
            return entries[static_cast<std::size_t>(i)].position;
        }
        LNVFPosition p;
        p.levels_ = {i + 1};
        return p;
    }

    void build() {
        entries.clear();
        rowEntry.assign(rows.size(), -1);
        const bool categories = !rows.empty() && !rows.front().category.empty();
        LNINT top = 0, child = 0;
        std::string current;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const notes::ViewRow& r = rows[i];
            Entry e;
            e.note = r.note;
            if (categories) {
                const std::string folded = notes::ft::fold(r.category);
                if (i == 0 || folded != current) {
                    current = folded;
                    Entry c;
                    c.category = r.category;
                    c.position.levels_ = {++top};
                    entries.push_back(std::move(c));
                    child = 0;
                }
                e.category = entries.back().category;
                e.position.levels_ = {top, ++child};
            } else {
                e.position.levels_ = {++top};
            }
            rowEntry[i] = static_cast<LNINT>(entries.size());
            entries.push_back(std::move(e));
        }
    }

    LNINT indexOf(const LNVFPosition& pos) const {
        if (flat()) {
            return pos.levels_.size() == 1 && pos.levels_[0] >= 1 && pos.levels_[0] <= count()
                       ? pos.levels_[0] - 1
                       : -1;
        }
        // Positions grow with the index, so a binary search finds them.
        const auto it = std::lower_bound(
            entries.begin(), entries.end(), pos.levels_,
            [](const Entry& e, const std::vector<LNINT>& p) { return e.position.levels_ < p; });
        return it != entries.end() && it->position.levels_ == pos.levels_
                   ? static_cast<LNINT>(it - entries.begin())
                   : -1;
    }
};

struct LNViewFolderBody {
    std::shared_ptr<LNDatabaseBody> db;
    NOTEID view = 0;
    notes::ViewDesign design;
    WORD collation = 0;
    bool designModified = false; // design changed through LNViewColumn, not yet saved
    std::shared_ptr<LNVFSnapshot> snap;
    LNVFNavigator cursor; // the view's own current entry
};

// ---- LNVFPosition -------------------------------------------------------------------------------

LNVFPosition::LNVFPosition(const LNString& text) {
    const std::string& s = text.str();
    std::size_t i = 0;
    std::vector<LNINT> levels;
    while (i < s.size()) {
        std::size_t j = i;
        while (j < s.size() && s[j] >= '0' && s[j] <= '9') {
            ++j;
        }
        if (j == i || j - i > 9) {
            return;
        }
        const LNINT n = std::atol(s.substr(i, j - i).c_str());
        if (n <= 0) {
            return;
        }
        levels.push_back(n);
        if (j == s.size()) {
            break;
        }
        if (s[j] != '.' || j + 1 == s.size()) {
            return;
        }
        i = j + 1;
    }
    levels_ = std::move(levels);
}

LNINT LNVFPosition::operator[](LNINT level) const {
    return level >= 0 && level < GetLevelCount() ? levels_[static_cast<std::size_t>(level)] : 0;
}

LNString LNVFPosition::GetText(LNCHAR separator) const {
    std::string out;
    for (std::size_t i = 0; i < levels_.size(); ++i) {
        if (i) {
            out += separator;
        }
        out += std::to_string(levels_[i]);
    }
    return LNString(out);
}

LNSTATUS LNVFPosition::GetText(LNString* text, LNCHAR separator) const {
    if (text == nullptr) {
        return lnResult(ERR_INVALID_PARAM);
    }
    *text = GetText(separator);
    return LNNOERROR;
}

// ---- LNVFEntry ----------------------------------------------------------------------------------

LNBOOL LNVFEntry::IsNull() const {
    return !snap_ || index_ < 0;
}

LNBOOL LNVFEntry::IsCategory() const {
    // A view without categories has none: its entries are not looked at (labelling reads thousands).
    return !IsNull() && !snap_->flat() && snap_->noteAt(index_) == 0;
}

LNINT LNVFEntry::GetIndentLevel() const {
    return IsNull() || snap_->flat() ? 0 : snap_->positionAt(index_).GetLevelCount() - 1;
}

NOTEID LNVFEntry::GetNoteID() const {
    return IsNull() ? 0 : snap_->noteAt(index_);
}

LNString LNVFEntry::GetCategory() const {
    return IsNull() ? LNString() : LNString(snap_->categoryAt(index_));
}

LNSTATUS LNVFEntry::GetColumnValue(LNINT column, LNItem* value) const {
    if (value == nullptr || column < 0) {
        return lnResult(ERR_INVALID_PARAM);
    }
    if (IsNull() || IsCategory()) {
        return lnResult(LNERR_NULL_OBJECT);
    }
    if (!snap_->values) {
        const auto db = snap_->db ? snap_->db->database() : nullptr;
        if (!db) {
            return lnResult(LNERR_DATABASE_NOT_OPEN);
        }
        if (STATUS s = db->viewValues(snap_->view, &snap_->values); s != NOERROR) {
            return lnResult(s);
        }
    }
    WORD type = 0;
    std::string_view bytes;
    bool known = false;
    bool found = false;
    if (snap_->flat()) {
        STATUS status = NOERROR;
        const notes::ViewColumnOrder* order = snap_->columnOrder(static_cast<std::size_t>(column), &status);
        if (!order) {
            return lnResult(status);
        }
        if (const LNINT before = snap_->lastRead[0]; before >= 0 && before != index_) {
            const LNINT ahead = index_ + 2 * (index_ - before);
            if (ahead >= 0) {
                order->prefetch(static_cast<std::size_t>(ahead));
            }
        }
        snap_->lastRead[0] = snap_->lastRead[1];
        snap_->lastRead[1] = index_;
        found = order->value(static_cast<std::size_t>(index_), &known, &type, &bytes);
    } else {
        known = snap_->values->has(GetNoteID());
        found = known && snap_->values->value(GetNoteID(), static_cast<std::size_t>(column), &type, &bytes);
    }
    if (!known) {
        return LNWARN_NOT_FOUND; // a document saved after this reading
    }
    if (!found) {
        return lnResult(LNERR_INDEX_OUT_OF_RANGE); // a column the design does not have
    }
    // The caller's free-standing item takes the value in place (an index labels thousands of entries);
    // one attached to a note is let go first, never written through.
    value->AssignRaw(type, bytes.data(), bytes.size());
    return LNNOERROR;
}

LNSTATUS LNVFEntry::GetDocument(LNDocument* doc) const {
    if (doc == nullptr) {
        return lnResult(ERR_INVALID_PARAM);
    }
    if (IsNull() || IsCategory()) {
        return lnResult(LNERR_NULL_OBJECT);
    }
    // The database body is shared, so the document opens through the view's database handle.
    auto body = std::make_shared<LNNoteBody>();
    body->db = snap_->db;
    body->id = GetNoteID();
    doc->body_ = std::move(body);
    return LNNOERROR;
}

LNSTATUS LNVFEntry::GetUniversalID(LNUniversalID* unid) const {
    if (unid == nullptr) {
        return lnResult(ERR_INVALID_PARAM);
    }
    if (IsNull() || IsCategory()) {
        return lnResult(LNERR_NULL_OBJECT);
    }
    const auto db = snap_->db ? snap_->db->database() : nullptr;
    notes::NoteInfo info;
    if (!db) {
        return lnResult(LNERR_DATABASE_NOT_OPEN);
    }
    if (STATUS s = db->info(GetNoteID(), &info); s != NOERROR) {
        return lnResult(s);
    }
    *unid = LNUniversalID(info.unid);
    return LNNOERROR;
}

LNSTATUS LNVFEntry::GetPosition(LNVFPosition* position) const {
    if (position == nullptr) {
        return lnResult(ERR_INVALID_PARAM);
    }
    if (IsNull()) {
        return lnResult(LNERR_NULL_OBJECT);
    }
    *position = snap_->positionAt(index_);
    return LNNOERROR;
}

// ---- LNVFNavigator ------------------------------------------------------------------------------

LNINT LNVFNavigator::GetEntryCount() const {
    return all_ ? (snap_ ? snap_->count() : 0) : static_cast<LNINT>(entries_.size());
}

LNINT LNVFNavigator::indexAt(LNINT index) const {
    return all_ ? index : entries_[static_cast<std::size_t>(index)];
}

LNVFEntry LNVFNavigator::operator[](LNINT index) const {
    LNVFEntry e;
    if (snap_ && index >= 0 && index < GetEntryCount()) {
        e.snap_ = snap_;
        e.index_ = indexAt(index);
    }
    return e;
}

LNSTATUS LNVFNavigator::moveTo(LNINT index, LNVFEntry* entry) {
    if (!snap_ || index < 0 || index >= GetEntryCount()) {
        return LNWARN_NOT_FOUND;
    }
    current_ = index;
    if (entry) {
        *entry = (*this)[index];
    }
    return LNNOERROR;
}

LNSTATUS LNVFNavigator::GotoFirst(LNVFEntry* entry) {
    return moveTo(0, entry);
}
LNSTATUS LNVFNavigator::GotoLast(LNVFEntry* entry) {
    return moveTo(GetEntryCount() - 1, entry);
}
LNSTATUS LNVFNavigator::GotoEntry(LNINT index, LNVFEntry* entry) {
    return moveTo(index, entry);
}

LNSTATUS LNVFNavigator::GotoNext(LNVFEntry* entry) {
    return current_ < 0 ? LNWARN_NOT_FOUND : moveTo(current_ + 1, entry);
}

LNSTATUS LNVFNavigator::GotoPrevious(LNVFEntry* entry) {
    return current_ <= 0 ? LNWARN_NOT_FOUND : moveTo(current_ - 1, entry);
}

LNSTATUS LNVFNavigator::GotoPosition(const LNVFPosition& position, LNVFEntry* entry) {
    if (!snap_ || position.IsNull()) {
        return LNWARN_NOT_FOUND;
    }
    const LNINT viewIndex = snap_->indexOf(position);
    if (all_) {
        return viewIndex < 0 ? LNWARN_NOT_FOUND : moveTo(viewIndex, entry);
    }
    const auto it = std::lower_bound(entries_.begin(), entries_.end(), viewIndex);
    if (viewIndex < 0 || it == entries_.end() || *it != viewIndex) {
        return LNWARN_NOT_FOUND;
    }
    return moveTo(static_cast<LNINT>(it - entries_.begin()), entry);
}

LNSTATUS LNVFNavigator::GotoPosition(const LNString& position, LNVFEntry* entry) {
    return GotoPosition(LNVFPosition(position), entry);
}

LNSTATUS LNVFNavigator::GetEntry(LNVFEntry* entry) const {
    if (entry == nullptr) {
        return lnResult(ERR_INVALID_PARAM);
    }
    if (current_ < 0) {
        return LNWARN_NOT_FOUND;
    }
    *entry = (*this)[current_];
    return LNNOERROR;
}

LNSTATUS LNVFNavigator::GetPosition(LNVFPosition* position) const {
    if (position == nullptr) {
        return lnResult(ERR_INVALID_PARAM);
    }
    if (current_ < 0) {
        return LNWARN_NOT_FOUND;
    }
    return (*this)[current_].GetPosition(position);
}

// ---- LNViewFolder -------------------------------------------------------------------------------

LNViewFolder::LNViewFolder() = default;
LNViewFolder::LNViewFolder(const LNViewFolder& other) = default;
LNViewFolder& LNViewFolder::operator=(const LNViewFolder& other) = default;
LNViewFolder::~LNViewFolder() = default;

// The stored design, unless columns were changed and not yet saved.
LNSTATUS LNViewFolder::readDesign() {
    if (!vf_) {
        return LNERR_NULL_OBJECT;
    }
    const auto db = vf_->db ? vf_->db->database() : nullptr;
    if (!db) {
        return LNERR_DATABASE_NOT_OPEN;
    }
    if (vf_->designModified) {
        return LNNOERROR;
    }
    notes::ViewDesign design;
    if (STATUS s = db->viewDesign(vf_->view, &design); s != NOERROR) {
        return s;
    }
    vf_->design = std::move(design);
    return LNNOERROR;
}

// The entries, read when first needed: opening a view (to see its design, or to add a column) reads
// none, however large the view is.
LNSTATUS LNViewFolder::load() {
    if (!vf_) {
        return LNERR_NULL_OBJECT;
    }
    if (vf_->snap) {
        return LNNOERROR;
    }
    const auto db = vf_->db ? vf_->db->database() : nullptr;
    if (!db) {
        return LNERR_DATABASE_NOT_OPEN;
    }
    notes::ViewDesign stored; // what the index was built for, whatever is being edited
    if (STATUS s = db->viewDesign(vf_->view, &stored); s != NOERROR) {
        return s;
    }
    auto snap = std::make_shared<LNVFSnapshot>();
    snap->db = vf_->db;
    snap->view = vf_->view;
    snap->collation = vf_->collation;
    if (notes::viewCategorized(stored, vf_->collation)) {
        if (STATUS s = db->viewRows(vf_->view, vf_->collation, &snap->rows); s != NOERROR) {
            return s;
        }
        snap->build();
    } else if (STATUS s = db->viewOrderedNoteIds(vf_->view, vf_->collation, &snap->ids); s != NOERROR) {
        return s;
    }
    vf_->snap = snap;
    vf_->cursor = LNVFNavigator();
    GetEntries(&vf_->cursor);
    return LNNOERROR;
}

LNSTATUS LNViewFolder::Open(LNNOTEOPENFLAGS flags) {
    if (LNSTATUS s = LNNote::Open(flags); s != LNNOERROR) {
        return s;
    }
    if (LNSTATUS s = readDesign(); s != LNNOERROR) {
        return lnResult(s);
    }
    if (vf_) {
        vf_->snap.reset();
    }
    return LNNOERROR;
}

LNSTATUS LNViewFolder::Close() {
    if (vf_) {
        vf_->snap.reset();
        vf_->cursor = LNVFNavigator();
    }
    return LNNote::Close();
}

LNSTATUS LNViewFolder::Refresh() {
    if (!vf_) {
        return lnResult(LNERR_NULL_OBJECT);
    }
    vf_->snap.reset();
    if (LNSTATUS s = readDesign(); s != LNNOERROR) {
        return lnResult(s);
    }
    return LNNOERROR;
}

LNString LNViewFolder::GetName() const {
    return vf_ ? LNString(vf_->design.name()) : LNString();
}
LNBOOL LNViewFolder::IsFolder() const {
    return vf_ && vf_->design.folder;
}
LNINT LNViewFolder::GetColumnCount() const {
    return vf_ ? static_cast<LNINT>(vf_->design.columns.size()) : 0;
}
LNINT LNViewFolder::GetCollationCount() const {
    return vf_ ? vf_->design.collationCount() : 0;
}
WORD LNViewFolder::GetCollation() const {
    return vf_ ? vf_->collation : 0;
}

LNINT LNViewFolder::GetEntryCount() {
    if (LNSTATUS s = load(); s != LNNOERROR) {
        lnResult(s);
        return 0;
    }
    return vf_->snap->count();
}

LNSTATUS LNViewFolder::SetCollation(WORD collation) {
    if (!vf_) {
        return lnResult(LNERR_NULL_OBJECT);
    }
    if (collation >= vf_->design.collationCount()) {
        return lnResult(ERR_BAD_COLLATION);
    }
    vf_->collation = collation;
    return Refresh();
}

LNSTATUS LNViewFolder::GetEntries(LNVFNavigator* entries) {
    if (entries == nullptr) {
        return lnResult(ERR_INVALID_PARAM);
    }
    if (LNSTATUS s = load(); s != LNNOERROR) {
        return lnResult(s);
    }
    LNVFNavigator nav;
    nav.snap_ = vf_->snap;
    nav.all_ = true;
    *entries = std::move(nav);
    return LNNOERROR;
}

LNSTATUS LNViewFolder::findIndex(const LNString& key, LNVFFINDOPTIONS options, std::vector<LNINT>* matches) {
    if (LNSTATUS s = load(); s != LNNOERROR) {
        return s;
    }
    matches->clear();
    const std::string prefix =
        notes::viewFindKey(vf_->design, vf_->collation, key.str(), (options & LNVFFINDOPTIONS_PARTIAL) != 0);
    if (prefix.empty()) {
        return LNWARN_NOT_FOUND; // the view has no sorted column to find keys in
    }
    if (vf_->snap->flat() && vf_->snap->rowEntry.empty() && vf_->snap->count() > 0) {
        // Keys are read for the first Find only; should the view have changed since the reading,
        // the reading becomes the rows now read.
        const auto db = vf_->db ? vf_->db->database() : nullptr;
        if (!db) {
            return LNERR_DATABASE_NOT_OPEN;
        }
        auto snap = std::make_shared<LNVFSnapshot>(*vf_->snap);
        if (STATUS s = db->viewRows(vf_->view, vf_->collation, &snap->rows); s != NOERROR) {
            return s;
        }
        const bool same = snap->rows.size() == snap->ids->size() &&
                          std::equal(snap->rows.begin(), snap->rows.end(), snap->ids->begin(),
                                     [](const notes::ViewRow& r, NOTEID id) { return r.note == id; });
        if (same) {
            snap->rowEntry.resize(snap->rows.size());
            for (std::size_t i = 0; i < snap->rowEntry.size(); ++i) {
                snap->rowEntry[i] = static_cast<LNINT>(i);
            }
        } else {
            snap->ids.reset();
            snap->build();
        }
        vf_->snap = snap;
        vf_->cursor.snap_ = snap;
    }
    const auto& rows = vf_->snap->rows;
    auto it = std::lower_bound(rows.begin(), rows.end(), prefix,
                               [](const notes::ViewRow& r, const std::string& p) { return r.key < p; });
    for (; it != rows.end() && it->key.compare(0, prefix.size(), prefix) == 0; ++it) {
        matches->push_back(vf_->snap->rowEntry[static_cast<std::size_t>(it - rows.begin())]);
    }
    std::sort(matches->begin(), matches->end());
    return matches->empty() ? LNWARN_NOT_FOUND : LNNOERROR;
}

LNSTATUS LNViewFolder::Find(const LNString& key) {
    LNVFNavigator nav;
    return Find(key, &nav, LNVFFINDOPTIONS_DEFAULT);
}

LNSTATUS LNViewFolder::Find(const LNString& key, LNVFNavigator* matches, LNVFFINDOPTIONS options) {
    std::vector<LNINT> found;
    if (LNSTATUS s = findIndex(key, options, &found); s != LNNOERROR) {
        return lnResult(s);
    }
    vf_->cursor.moveTo(found.front(), nullptr);
    if (matches) {
        LNVFNavigator nav;
        nav.snap_ = vf_->snap;
        nav.entries_ = std::move(found);
        nav.current_ = 0;
        *matches = std::move(nav);
    }
    return LNNOERROR;
}

LNSTATUS LNViewFolder::Find(const LNString& key, LNVFPosition* position, LNVFFINDOPTIONS options) {
    LNVFNavigator nav;
    if (LNSTATUS s = Find(key, &nav, options); s != LNNOERROR) {
        return s;
    }
    return position ? nav.GetPosition(position) : LNNOERROR;
}

LNSTATUS LNViewFolder::Find(const LNString& key, LNVFEntry* entry, LNVFFINDOPTIONS options) {
    LNVFNavigator nav;
    if (LNSTATUS s = Find(key, &nav, options); s != LNNOERROR) {
        return s;
    }
    return entry ? nav.GetEntry(entry) : LNNOERROR;
}

LNSTATUS LNViewFolder::FTSearch(const LNString& query, LNVFNavigator* results) {
    if (results == nullptr) {
        return lnResult(ERR_INVALID_PARAM);
    }
    if (LNSTATUS s = load(); s != LNNOERROR) {
        return lnResult(s);
    }
    const auto db = vf_->db->database();
    if (!db) {
        return lnResult(LNERR_DATABASE_NOT_OPEN);
    }
    std::vector<NOTEID> docs;
    std::string error;
    if (STATUS s = db->ftSearch(vf_->view, query.str(), &docs, &error); s != NOERROR) {
        return lnResult(s);
    }
    // The first entry of each matching document, in this reading's order.
    std::unordered_map<NOTEID, bool> hit;
    for (NOTEID id : docs) {
        hit.emplace(id, false);
    }
    LNVFNavigator nav;
    nav.snap_ = vf_->snap;
    const LNVFSnapshot& snap = *vf_->snap;
    for (LNINT i = 0; i < snap.count(); ++i) {
        const NOTEID note = snap.noteAt(i);
        const auto h = hit.find(note);
        if (note != 0 && h != hit.end() && !h->second) {
            h->second = true;
            nav.entries_.push_back(static_cast<LNINT>(i));
        }
    }
    *results = std::move(nav);
    return LNNOERROR;
}

LNSTATUS LNViewFolder::GotoFirst(LNVFEntry* entry) {
    if (LNSTATUS s = load(); s != LNNOERROR) {
        return lnResult(s);
    }
    return vf_->cursor.GotoFirst(entry);
}

LNSTATUS LNViewFolder::GotoNext(LNVFEntry* entry) {
    if (LNSTATUS s = load(); s != LNNOERROR) {
        return lnResult(s);
    }
    return vf_->cursor.GotoNext(entry);
}

LNSTATUS LNViewFolder::GotoPrevious(LNVFEntry* entry) {
    if (LNSTATUS s = load(); s != LNNOERROR) {
        return lnResult(s);
    }
    return vf_->cursor.GotoPrevious(entry);
}

LNSTATUS LNViewFolder::GotoLast(LNVFEntry* entry) {
    if (LNSTATUS s = load(); s != LNNOERROR) {
        return lnResult(s);
    }
    return vf_->cursor.GotoLast(entry);
}

LNSTATUS LNViewFolder::GotoPosition(const LNVFPosition& position, LNVFEntry* entry) {
    if (LNSTATUS s = load(); s != LNNOERROR) {
        return lnResult(s);
    }
    return vf_->cursor.GotoPosition(position, entry);
}

LNSTATUS LNViewFolder::GotoPosition(const LNString& position, LNVFEntry* entry) {
    return GotoPosition(LNVFPosition(position), entry);
}

LNSTATUS LNViewFolder::GetEntry(LNVFEntry* entry) {
    if (LNSTATUS s = load(); s != LNNOERROR) {
        return lnResult(s);
    }
    return vf_->cursor.GetEntry(entry);
}

LNSTATUS LNViewFolder::GetPosition(LNVFPosition* position) {
    if (LNSTATUS s = load(); s != LNNOERROR) {
        return lnResult(s);
    }
    return vf_->cursor.GetPosition(position);
}

// ---- LNDatabase ---------------------------------------------------------------------------------

LNSTATUS LNDatabase::GetViewFolder(const LNString& name, LNViewFolder* view) const {
    if (LNSTATUS s = checkOpen(); s != LNNOERROR) {
        return lnResult(s);
    }
    if (view == nullptr) {
        return lnResult(ERR_INVALID_PARAM);
    }
    const auto db = body_->database();
    NOTEID id = 0;
    if (STATUS s = db->findDesign(NOTE_CLASS_VIEW, name.str(), &id); s != NOERROR) {
        return lnResult(s);
    }
    auto vf = std::make_shared<LNViewFolderBody>();
    vf->db = body_;
    vf->view = id;
    if (STATUS s = db->viewDesign(id, &vf->design); s != NOERROR) {
        return lnResult(s);
    }
    auto note = std::make_shared<LNNoteBody>();
    note->db = body_;
    note->id = id;
    view->body_ = std::move(note);
    view->vf_ = std::move(vf);
    return LNNOERROR;
}

// ---- design ---------------------------------------------------------------------------------------

namespace {

notes::ViewColumn* columnOf(const std::shared_ptr<LNViewFolderBody>& vf, LNINT index) {
    return vf && index >= 0 && static_cast<std::size_t>(index) < vf->design.columns.size()
               ? &vf->design.columns[static_cast<std::size_t>(index)]
               : nullptr;
}

std::string joinItems(const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& i : items) {
        out += (out.empty() ? "" : ";") + i;
    }
    return out;
}

std::vector<std::string> splitItems(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t pos = text.find(';', start);
        std::string part = text.substr(start, pos == std::string::npos ? std::string::npos : pos - start);
        if (!part.empty()) {
            out.push_back(std::move(part));
        }
        if (pos == std::string::npos) {
            break;
        }
        start = pos + 1;
    }
    return out;
}

} // namespace

LNBOOL LNViewColumn::IsNull() const {
    return columnOf(vf_, index_) == nullptr;
}

LNString LNViewColumn::GetTitle() const {
    const notes::ViewColumn* c = columnOf(vf_, index_);
    return c ? LNString(c->title) : LNString();
}

LNString LNViewColumn::GetFieldName() const {
    const notes::ViewColumn* c = columnOf(vf_, index_);
    return c ? LNString(joinItems(c->items)) : LNString();
}

LNString LNViewColumn::GetFormula() const {
    const notes::ViewColumn* c = columnOf(vf_, index_);
    return c ? LNString(c->formula) : LNString();
}

LNINT LNViewColumn::GetHeadingSortOption() const {
    const notes::ViewColumn* c = columnOf(vf_, index_);
    return c ? static_cast<LNINT>(c->flags & (notes::kColResortAscending | notes::kColResortDescending)) : 0;
}

LNBOOL LNViewColumn::IsSorted() const {
    const notes::ViewColumn* c = columnOf(vf_, index_);
    return c && (c->flags & notes::kColSorted);
}

LNBOOL LNViewColumn::IsSortDescending() const {
    const notes::ViewColumn* c = columnOf(vf_, index_);
    return c && (c->flags & notes::kColDescending);
}

LNSTATUS LNViewColumn::SetTitle(const LNString& title) {
    notes::ViewColumn* c = columnOf(vf_, index_);
    if (!c) {
        return lnResult(LNERR_NULL_OBJECT);
    }
    if (c->title != title.str()) {
        c->title = title.str();
        vf_->designModified = true;
    }
    return LNNOERROR;
}

LNSTATUS LNViewColumn::SetFieldName(const LNString& name) {
    notes::ViewColumn* c = columnOf(vf_, index_);
    if (!c) {
        return lnResult(LNERR_NULL_OBJECT);
    }
    std::vector<std::string> items = splitItems(name.str());
    if (c->items != items || !c->formula.empty()) {
        c->items = std::move(items);
        c->formula.clear();
        vf_->designModified = true;
    }
    return LNNOERROR;
}

LNSTATUS LNViewColumn::SetFormula(const LNString& formula) {
    notes::ViewColumn* c = columnOf(vf_, index_);
    if (!c) {
        return lnResult(LNERR_NULL_OBJECT);
    }
    if (c->formula != formula.str() || !c->items.empty()) {
        c->formula = formula.str();
        c->items.clear();
        vf_->designModified = true;
    }
    return LNNOERROR;
}

LNSTATUS LNViewColumn::SetHeadingSortOption(LNINT option) {
    notes::ViewColumn* c = columnOf(vf_, index_);
    if (!c) {
        return lnResult(LNERR_NULL_OBJECT);
    }
    if (option != LNVCHEADINGSORT_NONE && option != LNVCHEADINGSORT_ASCENDING &&
        option != LNVCHEADINGSORT_DESCENDING && option != LNVCHEADINGSORT_BOTH) {
        return lnResult(ERR_INVALID_PARAM);
    }
    const DWORD mask = notes::kColResortAscending | notes::kColResortDescending;
    const DWORD flags = (c->flags & ~mask) | static_cast<DWORD>(option);
    if (flags != c->flags) {
        c->flags = flags;
        vf_->designModified = true;
    }
    return LNNOERROR;
}

LNSTATUS LNViewFolder::GetColumn(const LNString& title, LNViewColumn* column) {
    if (column == nullptr) {
        return lnResult(ERR_INVALID_PARAM);
    }
    if (!vf_) {
        return lnResult(LNERR_NULL_OBJECT);
    }
    const auto& cols = vf_->design.columns;
    for (std::size_t i = 0; i < cols.size(); ++i) {
        if (cols[i].title == title.str()) {
            column->vf_ = vf_;
            column->index_ = static_cast<LNINT>(i);
            return LNNOERROR;
        }
    }
    *column = LNViewColumn();
    return LNWARN_NOT_FOUND;
}

LNSTATUS LNViewFolder::GetColumn(LNINT index, LNViewColumn* column) {
    if (column == nullptr) {
        return lnResult(ERR_INVALID_PARAM);
    }
    if (!vf_) {
        return lnResult(LNERR_NULL_OBJECT);
    }
    if (index < 0 || static_cast<std::size_t>(index) >= vf_->design.columns.size()) {
        return lnResult(LNERR_INDEX_OUT_OF_RANGE);
    }
    column->vf_ = vf_;
    column->index_ = index;
    return LNNOERROR;
}

LNSTATUS LNViewFolder::AppendColumn(LNViewColumn* column) {
    if (!vf_) {
        return lnResult(LNERR_NULL_OBJECT);
    }
    vf_->design.columns.emplace_back();
    vf_->designModified = true;
    if (column) {
        column->vf_ = vf_;
        column->index_ = static_cast<LNINT>(vf_->design.columns.size() - 1);
    }
    return LNNOERROR;
}

LNBOOL LNViewFolder::IsDesignModified() const {
    return vf_ && vf_->designModified;
}

LNSTATUS LNViewFolder::Save(LNNOTESAVEFLAGS flags) {
    if (!vf_) {
        return lnResult(LNERR_NULL_OBJECT);
    }
    if (vf_->designModified) {
        if (!IsOpen()) {
            if (LNSTATUS s = LNNote::Open(); s != LNNOERROR) {
                return s;
            }
        }
        const auto note = body_->note();
        if (!note) {
            return lnResult(LNERR_NOTE_NOT_OPEN);
        }
        notes::writeViewDesign(vf_->design, note.get());
        note->dirty = true;
    } else if (!IsModified()) {
        return LNNOERROR; // nothing changed: the design is not rewritten
    }
    if (LNSTATUS s = LNNote::Save(flags); s != LNNOERROR) {
        return s;
    }
    vf_->designModified = false;
    vf_->snap.reset();
    return LNNOERROR;
}

LNSTATUS LNViewFolder::GetNoteIDs(std::vector<NOTEID>* ids) {
    if (ids == nullptr) {
        return lnResult(ERR_INVALID_PARAM);
    }
    if (!vf_) {
        return lnResult(LNERR_NULL_OBJECT);
    }
    const auto db = vf_->db ? vf_->db->database() : nullptr;
    if (!db) {
        return lnResult(LNERR_DATABASE_NOT_OPEN);
    }
    if (STATUS s = db->viewOrderedNoteIds(vf_->view, vf_->collation, ids); s != NOERROR) {
        return lnResult(s);
    }
    return LNNOERROR;
}

// ---- folder members ---------------------------------------------------------------------------------

namespace {

LNSTATUS changeMembers(const std::shared_ptr<LNViewFolderBody>& vf, NOTEID id, bool add) {
    if (!vf) {
        return lnResult(LNERR_NULL_OBJECT);
    }
    const auto db = vf->db ? vf->db->database() : nullptr;
    if (!db) {
        return lnResult(LNERR_DATABASE_NOT_OPEN);
    }
    const std::vector<NOTEID> one{id};
    if (STATUS s = add ? db->changeFolder(vf->view, one, {}) : db->changeFolder(vf->view, {}, one);
        s != NOERROR) {
        return lnResult(s);
    }
    vf->snap.reset();
    return LNNOERROR;
}

} // namespace

LNSTATUS LNViewFolder::AddDocument(const LNDocument& doc) {
    return changeMembers(vf_, doc.GetNoteID(), true);
}
LNSTATUS LNViewFolder::AddDocument(NOTEID id) {
    return changeMembers(vf_, id, true);
}
LNSTATUS LNViewFolder::RemoveDocument(const LNDocument& doc) {
    return changeMembers(vf_, doc.GetNoteID(), false);
}
LNSTATUS LNViewFolder::RemoveDocument(NOTEID id) {
    return changeMembers(vf_, id, false);
}

LNBOOL LNViewFolder::Contains(NOTEID id) {
    std::vector<NOTEID> ids;
    if (GetNoteIDs(&ids) != LNNOERROR) {
        return FALSE;
    }
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}
