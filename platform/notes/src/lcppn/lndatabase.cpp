#include "attachments.h"
#include "lnbodies.h"

namespace {

std::string netPath(const LNDatabaseBody& b) {
    return b.server.empty() ? b.path : b.server + "!!" + b.path;
}

} // namespace

LNDatabase::LNDatabase() = default;
LNDatabase::LNDatabase(const LNDatabase& other) = default;
LNDatabase& LNDatabase::operator=(const LNDatabase& other) = default;
LNDatabase::~LNDatabase() = default;

LNSTATUS LNDatabase::checkOpen() const {
    if (!body_) {
        return LNERR_NULL_OBJECT;
    }
    return body_->handle != NULLHANDLE ? LNNOERROR : LNERR_DATABASE_NOT_OPEN;
}

LNSTATUS LNDatabase::Open(LNDBOPENFLAGS) {
    if (!body_) {
        return lnResult(LNERR_NULL_OBJECT);
    }
    if (body_->handle != NULLHANDLE) {
        return LNNOERROR;
    }
    DBHANDLE h = NULLHANDLE;
    if (STATUS s = NSFDbOpen(netPath(*body_).c_str(), &h); s != NOERROR) {
        return lnResult(s);
    }
    const auto db = notes::handles::database(h);
    if (STATUS s = db ? notes::acl::checkRead(body_->identity.get(), *db) : STATUS(ERR_INVALID_HANDLE);
        s != NOERROR) {
        NSFDbClose(h);
        return lnResult(s);
    }
    body_->handle = h;
    return LNNOERROR;
}

LNSTATUS LNDatabase::Close() {
    if (!body_) {
        return lnResult(LNERR_NULL_OBJECT);
    }
    if (body_->handle != NULLHANDLE) {
        NSFDbClose(body_->handle);
        body_->handle = NULLHANDLE;
    }
    return LNNOERROR;
}

LNBOOL LNDatabase::IsOpen() const {
    return checkOpen() == LNNOERROR;
}
LNBOOL LNDatabase::IsNull() const {
    return !body_;
}
DBHANDLE LNDatabase::GetDatabaseHandle() const {
    return body_ ? body_->handle : NULLHANDLE;
}
LNString LNDatabase::GetServer() const {
    return body_ ? LNString(body_->server) : LNString();
}
LNString LNDatabase::GetFilepath() const {
    return body_ ? LNString(body_->path) : LNString();
}

LNString LNDatabase::GetTitle() const {
    const auto db = body_ ? body_->database() : nullptr;
    return db ? LNString(db->title()) : LNString();
}

LNSTATUS LNDatabase::GetReplicaID(TIMEDATE* id) const {
    if (LNSTATUS s = checkOpen(); s != LNNOERROR) {
        return lnResult(s);
    }
    DBREPLICAINFO info{};
    if (STATUS s = NSFDbReplicaInfoGet(body_->handle, &info); s != NOERROR) {
        return lnResult(s);
    }
    if (id) {
        *id = info.ID;
    }
    return LNNOERROR;
}

LNSTATUS LNDatabase::GetDocument(NOTEID id, LNDocument* doc) const {
    if (LNSTATUS s = checkOpen(); s != LNNOERROR) {
        return lnResult(s);
    }
    if (doc == nullptr) {
        return lnResult(ERR_INVALID_PARAM);
    }
    notes::NoteInfo info;
    if (STATUS s = body_->database()->info(id, &info); s != NOERROR) {
        return lnResult(s);
    }
    if (info.deleted) {
        return lnResult(ERR_NOTE_DELETED);
    }
    if (info.noteClass != NOTE_CLASS_DOCUMENT) {
        return lnResult(ERR_INVALID_NOTE);
    }
    auto body = std::make_shared<LNNoteBody>();
    body->db = body_;
    body->id = id;
    doc->body_ = std::move(body);
    return LNNOERROR;
}

LNSTATUS LNDatabase::GetDocument(const LNUniversalID& unid, LNDocument* doc) const {
    if (LNSTATUS s = checkOpen(); s != LNNOERROR) {
        return lnResult(s);
    }
    if (!unid.IsValid()) {
        return lnResult(LNERR_INVALID_UNID);
    }
    NOTEID id = 0;
    if (STATUS s = body_->database()->findByUnid(unid.GetUNID(), &id); s != NOERROR) {
        return lnResult(s);
    }
    return GetDocument(id, doc);
}

LNSTATUS LNDatabase::CreateDocument(LNDocument* newDoc, const LNString& formName) {
    if (LNSTATUS s = checkOpen(); s != LNNOERROR) {
        return lnResult(s);
    }
    if (newDoc == nullptr) {
        return lnResult(ERR_INVALID_PARAM);
    }
    NOTEHANDLE h = NULLHANDLE;
    if (STATUS s = NSFNoteCreate(body_->handle, &h); s != NOERROR) {
        return lnResult(s);
    }
    if (!formName.IsNull()) {
        NSFItemAppend(h, ITEM_SUMMARY, "Form", 4, TYPE_TEXT, formName.GetTextPtr(),
                      static_cast<DWORD>(formName.GetByteLength()));
    }
    auto body = std::make_shared<LNNoteBody>();
    body->db = body_;
    body->handle = h;
    body->isNew = true;
    newDoc->body_ = std::move(body);
    return LNNOERROR;
}

LNSTATUS LNDatabase::CreateDocument(const LNDocument& source, LNDocument* newDoc) {
    if (LNSTATUS s = checkOpen(); s != LNNOERROR) {
        return lnResult(s);
    }
    if (newDoc == nullptr || source.IsNull()) {
        return lnResult(ERR_INVALID_PARAM);
    }
    // The source's items: from its open note, else loaded from its database.
    notes::Note copy;
    if (const auto open = source.body_->note()) {
        copy = *open;
        copy.blocks.clear(); // the open note's value blocks stay its own
    } else {
        const auto db = source.body_->db ? source.body_->db->database() : nullptr;
        if (!db) {
            return lnResult(LNERR_DATABASE_NOT_OPEN);
        }
        if (STATUS s = db->load(source.body_->id, &copy); s != NOERROR) {
            return lnResult(s);
        }
        copy.db = db;
    }
    LNDocument created;
    if (LNSTATUS s = CreateDocument(&created); s != LNNOERROR) {
        return s;
    }
    const auto note = created.body_->note();
    for (const notes::Item& it : copy.items) {
        notes::files::FileObject file;
        std::string bytes;
        // Attachments take their bytes along: the copy may live in another database, and its
        // objects must not vanish with the source.
        if (notes::files::isFileItem(it) && notes::files::decode(it.value, &file) &&
            notes::files::bytesOf(copy, it, &bytes) == NOERROR && (file.objectId != 0 || !bytes.empty())) {
            file.objectId = 0;
            const WORD id = note->append(it.name, it.type, it.flags, notes::files::encode(file)).id;
            note->pendingObjects.emplace_back(id, std::move(bytes));
            continue;
        }
        note->append(it.name, it.type, it.flags, it.value);
    }
    *newDoc = created;
    return LNNOERROR;
}

LNSTATUS LNDatabase::DeleteDocument(LNDocument* doc) {
    if (LNSTATUS s = checkOpen(); s != LNNOERROR) {
        return lnResult(s);
    }
    if (doc == nullptr || doc->IsNull()) {
        return lnResult(LNERR_NULL_OBJECT);
    }
    if (doc->body_->db != body_ && doc->body_->db && doc->body_->db->path != body_->path) {
        return lnResult(LNERR_DIFFERENT_DATABASE);
    }
    const bool isNew = doc->IsNewNote();
    const NOTEID id = doc->GetNoteID();
    doc->Close();
    if (isNew) {
        return LNNOERROR; // never stored
    }
    if (STATUS s = NSFNoteDelete(body_->handle, id, 0); s != NOERROR) {
        return lnResult(s);
    }
    return LNNOERROR;
}

LNSTATUS LNDatabase::DeleteDocument(NOTEID id) {
    if (LNSTATUS s = checkOpen(); s != LNNOERROR) {
        return lnResult(s);
    }
    if (STATUS s = NSFNoteDelete(body_->handle, id, 0); s != NOERROR) {
        return lnResult(s);
    }
    return LNNOERROR;
}

LNSTATUS LNDatabase::GetModifiedNotes(const LNDatetime& since, LNNoteArray* out, LNNOTETYPE noteType,
                                      LNDatetime* until) {
    if (LNSTATUS s = checkOpen(); s != LNNOERROR) {
        return lnResult(s);
    }
    if (out == nullptr) {
        return lnResult(ERR_INVALID_PARAM);
    }
    std::vector<NOTEID> ids;
    std::int64_t untilTicks = 0;
    const TIMEDATE from = since.GetTIMEDATE();
    const STATUS status =
        body_->database()->modifiedSince(notes::ticksFromTimedate(from), noteType, &ids, &untilTicks);
    if (status != NOERROR && status != ERR_SINCE_PURGED) {
        return lnResult(status);
    }
    out->db_ = body_;
    out->assign(std::make_shared<std::vector<NOTEID>>(std::move(ids)), false);
    // Also with ERR_SINCE_PURGED: the caller reads afresh and goes on from here.
    if (until) {
        int zone = 0;
        bool dst = false;
        notes::machineZone(untilTicks, &zone, &dst);
        *until = LNDatetime(notes::timedateFromTicks(untilTicks, zone, dst));
    }
    return status == NOERROR ? LNNOERROR : lnResult(status);
}

LNSTATUS LNDatabase::GetNotes(LNNoteArray* out, LNNOTETYPE noteType) {
    if (LNSTATUS s = checkOpen(); s != LNNOERROR) {
        return lnResult(s);
    }
    if (out == nullptr) {
        return lnResult(ERR_INVALID_PARAM);
    }
    std::vector<NOTEID> ids;
    if (STATUS s = body_->database()->list(noteType, &ids); s != NOERROR) {
        return lnResult(s);
    }
    out->db_ = body_;
    out->assign(std::make_shared<std::vector<NOTEID>>(std::move(ids)), false);
    return LNNOERROR;
}

LNSTATUS LNDatabase::GetUnreadList(LNNoteArray* unread, LNBOOL) {
    if (LNSTATUS s = checkOpen(); s != LNNOERROR) {
        return lnResult(s);
    }
    if (unread == nullptr) {
        return lnResult(ERR_INVALID_PARAM);
    }
    std::shared_ptr<const std::vector<NOTEID>> ids;
    if (STATUS s = body_->database()->unreadShared("", &ids); s != NOERROR) {
        return lnResult(s);
    }
    unread->db_ = body_;
    unread->assign(std::move(ids), true);
    return LNNOERROR;
}

LNSTATUS LNDatabase::MarkRead(NOTEID id, LNBOOL read) {
    if (LNSTATUS s = checkOpen(); s != LNNOERROR) {
        return lnResult(s);
    }
    const std::vector<NOTEID> one{id};
    const std::vector<NOTEID> none;
    if (STATUS s = body_->database()->setUnread("", read ? none : one, read ? one : none, false);
        s != NOERROR) {
        return lnResult(s);
    }
    return LNNOERROR;
}

LNSTATUS LNDatabase::SetUnreadList(const LNNoteArray& unread, const LNNoteArray* original, LNBOOL update) {
    if (LNSTATUS s = checkOpen(); s != LNNOERROR) {
        return lnResult(s);
    }
    const DHANDLE wanted = notes::idtable::create(unread.ids());
    const DHANDLE before = original ? notes::idtable::create(original->ids()) : NULLHANDLE;
    const STATUS s = NSFDbSetUnreadNoteTable(body_->handle, "", 0, update, before, wanted);
    IDDestroyTable(wanted);
    if (before != NULLHANDLE) {
        IDDestroyTable(before);
    }
    return s == NOERROR ? LNNOERROR : lnResult(s);
}
