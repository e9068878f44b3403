#include "lnbodies.h"

#include <algorithm>

namespace {

LNDatetime inMachineZone(std::int64_t ticks) {
    int zone = 0;
    bool dst = false;
    notes::machineZone(ticks, &zone, &dst);
    return LNDatetime(notes::timedateFromTicks(ticks, zone, dst));
}

std::string emptyValue(WORD type) {
    switch (type) {
    case TYPE_TEXT_LIST:
        return notes::ods::encodeTextList({});
    case TYPE_NUMBER_RANGE:
        return notes::ods::encodeNumbers({});
    case TYPE_TIME_RANGE:
        return notes::ods::encodeTimes({}, {});
    default:
        return "";
    }
}

// Puts an item into the note as `option` says; returns its id.
WORD place(notes::Note& note, const std::string& name, WORD type, WORD flags, std::string value,
           LNITEMOPTION option) {
    if (option == LNITEMOPTION_DELETE_INSERT) {
        const auto first = std::find_if(note.items.begin(), note.items.end(), [&](const notes::Item& it) {
            return notes::nameEquals(it.name, name);
        });
        if (first != note.items.end()) {
            const WORD keep = first->id;
            first->name = name, first->type = type, first->flags = flags, first->value = std::move(value);
            note.items.erase(std::remove_if(note.items.begin(), note.items.end(),
                                            [&](const notes::Item& it) {
                                                return it.id != keep && notes::nameEquals(it.name, name);
                                            }),
                             note.items.end());
            note.dirty = true;
            return keep;
        }
    } else if (option != LNITEMOPTION_APPEND_ONLY) {
        note.remove(name);
    }
    return note.append(name, type, flags, std::move(value)).id;
}

} // namespace

// Attaches item to the item `id` of this note.
void LNNote::attach(LNItem* item, WORD id, const std::string& name) const {
    auto attached = std::make_shared<LNItemBody>();
    attached->note = body_->handle;
    attached->itemId = id;
    attached->name = name;
    item->body_ = std::move(attached);
}

// The stored state of this note: from its open note, else from its database.
bool LNNote::info(notes::NoteInfo* out) const {
    if (!body_) {
        return false;
    }
    if (const auto note = body_->note()) {
        *out = note->info;
        return true;
    }
    const auto db = body_->db ? body_->db->database() : nullptr;
    return db && !body_->isNew && db->info(body_->id, out) == NOERROR;
}

// ---- LNUniversalID -----------------------------------------------------------------------------

LNUniversalID::LNUniversalID(const LNString& text) {
    valid_ = notes::unidFromText(text.str(), &unid_);
}

LNString LNUniversalID::GetText() const {
    return LNString(notes::unidToText(unid_));
}

bool operator==(const LNUniversalID& a, const LNUniversalID& b) {
    return a.unid_.File.Innards[0] == b.unid_.File.Innards[0] &&
           a.unid_.File.Innards[1] == b.unid_.File.Innards[1] &&
           a.unid_.Note.Innards[0] == b.unid_.Note.Innards[0] &&
           a.unid_.Note.Innards[1] == b.unid_.Note.Innards[1];
}

// ---- LNNote ------------------------------------------------------------------------------------

LNNote::LNNote() = default;
LNNote::LNNote(const LNNote& other) = default;
LNNote& LNNote::operator=(const LNNote& other) = default;
LNNote::~LNNote() = default;

LNSTATUS LNNote::checkOpen() const {
    if (!body_) {
        return LNERR_NULL_OBJECT;
    }
    return body_->handle != NULLHANDLE && body_->note() ? LNNOERROR : LNERR_NOTE_NOT_OPEN;
}

LNSTATUS LNNote::Open(LNNOTEOPENFLAGS) {
    if (!body_ || !body_->db) {
        return lnResult(LNERR_NULL_OBJECT);
    }
    if (body_->handle != NULLHANDLE) {
        return LNNOERROR;
    }
    if (body_->db->handle == NULLHANDLE) {
        return lnResult(LNERR_DATABASE_NOT_OPEN);
    }
    NOTEHANDLE h = NULLHANDLE;
    if (STATUS s = NSFNoteOpen(body_->db->handle, body_->id, 0, &h); s != NOERROR) {
        return lnResult(s);
    }
    body_->handle = h;
    return LNNOERROR;
}

LNSTATUS LNNote::Close() {
    if (!body_) {
        return lnResult(LNERR_NULL_OBJECT);
    }
    if (body_->handle != NULLHANDLE) {
        NSFNoteClose(body_->handle);
        body_->handle = NULLHANDLE;
    }
    return LNNOERROR;
}

LNBOOL LNNote::IsOpen() const {
    return checkOpen() == LNNOERROR;
}

LNSTATUS LNNote::Save(LNNOTESAVEFLAGS) {
    if (LNSTATUS s = checkOpen(); s != LNNOERROR) {
        return lnResult(s);
    }
    if (STATUS s = NSFNoteUpdate(body_->handle, 0); s != NOERROR) {
        return lnResult(s);
    }
    body_->id = body_->note()->info.id;
    body_->isNew = false;
    return LNNOERROR;
}

LNBOOL LNNote::IsNull() const {
    return !body_;
}
LNBOOL LNNote::IsNewNote() const {
    return body_ && body_->isNew;
}

LNBOOL LNNote::IsModified() const {
    const auto note = body_ ? body_->note() : nullptr;
    return note && note->dirty;
}

LNBOOL LNNote::IsDeleted() const {
    notes::NoteInfo info;
    return this->info(&info) && info.deleted;
}

NOTEID LNNote::GetNoteID() const {
    if (!body_) {
        return 0;
    }
    const auto note = body_->note();
    return note ? note->info.id : body_->id;
}

LNSTATUS LNNote::GetUniversalID(LNUniversalID* unid) const {
    if (!body_ || unid == nullptr) {
        return lnResult(LNERR_NULL_OBJECT);
    }
    if (const auto note = body_->note()) {
        *unid = note->info.id == 0 ? LNUniversalID() : LNUniversalID(note->info.unid);
        return LNNOERROR;
    }
    const auto db = body_->db ? body_->db->database() : nullptr;
    if (!db) {
        return lnResult(LNERR_DATABASE_NOT_OPEN);
    }
    notes::NoteInfo info;
    if (STATUS s = db->info(body_->id, &info); s != NOERROR) {
        return lnResult(s);
    }
    *unid = LNUniversalID(info.unid);
    return LNNOERROR;
}

NOTEHANDLE LNNote::GetNoteHandle() const {
    return body_ ? body_->handle : NULLHANDLE;
}

LNNOTETYPE LNNote::GetNoteType() const {
    notes::NoteInfo info;
    return this->info(&info) ? info.noteClass : 0;
}

LNDatetime LNNote::GetCreated() const {
    notes::NoteInfo info;
    return this->info(&info) && info.id != 0 ? inMachineZone(info.created) : LNDatetime();
}

LNDatetime LNNote::GetLastModified() const {
    notes::NoteInfo info;
    return this->info(&info) && info.id != 0 ? inMachineZone(info.modified) : LNDatetime();
}

LNINT LNNote::GetSize() const {
    const auto note = body_ ? body_->note() : nullptr;
    if (!note) {
        return 0;
    }
    return static_cast<LNINT>(note->size());
}

LNBOOL LNNote::HasAttachments() const {
    const auto note = body_ ? body_->note() : nullptr;
    return note && note->find("$FILE") != nullptr;
}

LNDatabase LNNote::GetDatabase() const {
    LNDatabase db;
    if (body_) {
        db.body_ = body_->db;
    }
    return db;
}

LNBOOL LNNote::HasItem(const LNString& name) const {
    const auto note = body_ ? body_->note() : nullptr;
    return note && note->find(name.str()) != nullptr;
}

LNSTATUS LNNote::GetItem(const LNString& name, LNItem* item) const {
    if (LNSTATUS s = checkOpen(); s != LNNOERROR) {
        return lnResult(s);
    }
    if (item == nullptr) {
        return lnResult(ERR_INVALID_PARAM);
    }
    const notes::Item* found = body_->note()->find(name.str());
    if (found == nullptr) {
        return lnResult(ERR_ITEM_NOT_FOUND);
    }
    if (!item->Accepts(found->type)) {
        return lnResult(LNERR_ITEM_TYPE);
    }
    attach(item, found->id, found->name);
    return LNNOERROR;
}

LNINT LNNote::GetItemCount() const {
    const auto note = body_ ? body_->note() : nullptr;
    return note ? static_cast<LNINT>(note->items.size()) : 0;
}

LNSTATUS LNNote::GetItem(LNINT index, LNItem* item) const {
    if (LNSTATUS s = checkOpen(); s != LNNOERROR) {
        return lnResult(s);
    }
    const auto note = body_->note();
    if (item == nullptr || index < 0 || static_cast<std::size_t>(index) >= note->items.size()) {
        return lnResult(LNERR_INDEX_OUT_OF_RANGE);
    }
    return GetItem(LNString(note->items[static_cast<std::size_t>(index)].name), item);
}

LNSTATUS LNNote::CreateItem(const LNString& name, LNItem* item, LNITEMFLAGS flags, LNITEMOPTION option) {
    if (LNSTATUS s = checkOpen(); s != LNNOERROR) {
        return lnResult(s);
    }
    if (item == nullptr || name.IsNull()) {
        return lnResult(ERR_INVALID_PARAM);
    }
    const WORD type = item->StoredType() ? item->StoredType() : static_cast<WORD>(TYPE_TEXT_LIST);
    attach(item, place(*body_->note(), name.str(), type, flags, emptyValue(type), option), name.str());
    return LNNOERROR;
}

LNSTATUS LNNote::CreateItem(const LNString& name, const LNItem& value, LNITEMFLAGS flags, LNITEMOPTION option,
                            LNItem* newItem) {
    if (LNSTATUS s = checkOpen(); s != LNNOERROR) {
        return lnResult(s);
    }
    if (name.IsNull()) {
        return lnResult(ERR_INVALID_PARAM);
    }
    WORD type = 0;
    std::string bytes;
    if (LNSTATUS s = value.Read(&type, &bytes); s != LNNOERROR) {
        return lnResult(s);
    }
    if (type == 0) { // an empty free-standing item: an empty item of its kind
        type = value.StoredType() ? value.StoredType() : static_cast<WORD>(TYPE_TEXT_LIST);
        bytes = emptyValue(type);
    }
    if (newItem != nullptr && !newItem->Accepts(type)) {
        return lnResult(LNERR_ITEM_TYPE);
    }
    const WORD id = place(*body_->note(), name.str(), type, flags, std::move(bytes), option);
    if (newItem != nullptr) {
        attach(newItem, id, name.str());
    }
    return LNNOERROR;
}

LNSTATUS LNNote::DeleteItem(const LNString& name) {
    if (LNSTATUS s = checkOpen(); s != LNNOERROR) {
        return lnResult(s);
    }
    const auto note = body_->note();
    if (note->find(name.str()) == nullptr) {
        return lnResult(ERR_ITEM_NOT_FOUND);
    }
    note->remove(name.str());
    return LNNOERROR;
}

// ---- LNDocument --------------------------------------------------------------------------------

LNDocument& LNDocument::operator=(const LNNote& note) {
    LNNote::operator=(note);
    return *this;
}

LNSTATUS LNDocument::MakeResponse(const LNDocument& parent) {
    if (LNSTATUS s = checkOpen(); s != LNNOERROR) {
        return lnResult(s);
    }
    LNUniversalID unid;
    if (parent.IsNull() || parent.IsNewNote()) {
        return lnResult(LNERR_NULL_OBJECT);
    }
    if (LNSTATUS s = parent.GetUniversalID(&unid); s != LNNOERROR) {
        return lnResult(s);
    }
    place(*body_->note(), "$REF", TYPE_NOTEREF_LIST, ITEM_SUMMARY,
          notes::ods::encodeNoteRefs({unid.GetUNID()}), LNITEMOPTION_DELETE_INSERT);
    return LNNOERROR;
}

LNBOOL LNDocument::IsResponse() const {
    return HasItem("$REF");
}

LNSTATUS LNDocument::GetParentDocument(LNDocument* parent) const {
    if (LNSTATUS s = checkOpen(); s != LNNOERROR) {
        return lnResult(s);
    }
    const notes::Item* ref = body_->note()->find("$REF");
    std::vector<UNID> refs;
    if (ref == nullptr || !notes::ods::decodeNoteRefs(ref->value, &refs) || refs.empty()) {
        return lnResult(ERR_ITEM_NOT_FOUND);
    }
    return GetDatabase().GetDocument(LNUniversalID(refs.front()), parent);
}

LNSTATUS LNDocument::GetForm(LNString* form) const {
    LNText text;
    if (LNSTATUS s = GetItem("Form", &text); s != LNNOERROR) {
        return s;
    }
    *form = text[0];
    return LNNOERROR;
}

LNSTATUS LNDocument::SetForm(const LNString& form) {
    return CreateItem("Form", LNText(form), LNITEMFLAGS_SUMMARY, LNITEMOPTION_DELETE_INSERT);
}

// ---- LNNoteArray -------------------------------------------------------------------------------

const std::vector<NOTEID>& LNNoteArray::ids() const {
    static const std::vector<NOTEID> kNone;
    return ids_ ? *ids_ : kNone;
}

std::vector<NOTEID>& LNNoteArray::mutableIds() {
    if (!ids_ || ids_.use_count() > 1) {
        ids_ = std::make_shared<std::vector<NOTEID>>(ids());
    }
    return const_cast<std::vector<NOTEID>&>(*ids_);
}

void LNNoteArray::assign(std::shared_ptr<const std::vector<NOTEID>> ids, bool sorted) {
    ids_ = std::move(ids);
    sorted_ = sorted;
}

LNNote LNNoteArray::operator[](LNINT index) const {
    LNNote note;
    const auto& v = ids();
    if (index >= 0 && static_cast<std::size_t>(index) < v.size()) {
        note.body_ = std::make_shared<LNNoteBody>();
        note.body_->db = db_;
        note.body_->id = v[static_cast<std::size_t>(index)];
    }
    return note;
}

NOTEID LNNoteArray::GetNoteID(LNINT index) const {
    const auto& v = ids();
    return index >= 0 && static_cast<std::size_t>(index) < v.size() ? v[static_cast<std::size_t>(index)] : 0;
}

LNBOOL LNNoteArray::Contains(NOTEID id) const {
    const auto& v = ids();
    return sorted_ ? std::binary_search(v.begin(), v.end(), id)
                   : std::find(v.begin(), v.end(), id) != v.end();
}

LNSTATUS LNNoteArray::Append(NOTEID id) {
    auto& v = mutableIds();
    sorted_ = sorted_ && (v.empty() || v.back() < id);
    v.push_back(id);
    return LNNOERROR;
}

LNSTATUS LNNoteArray::Append(const LNNote& note) {
    if (note.IsNull()) {
        return lnResult(LNERR_NULL_OBJECT);
    }
    if (!db_) {
        db_ = note.body_->db;
    }
    return Append(note.GetNoteID());
}

LNSTATUS LNNoteArray::Remove(NOTEID id) {
    if (!Contains(id)) {
        return LNWARN_NOT_FOUND;
    }
    auto& v = mutableIds();
    v.erase(std::find(v.begin(), v.end(), id));
    return LNNOERROR;
}

LNSTATUS LNNoteArray::DeleteAll() {
    ids_.reset();
    sorted_ = true;
    return LNNOERROR;
}
