// File attachments of a note.
#include "attachments.h"
#include "lnbodies.h"
#include "saturate.h"

LNAttachment LNAttachmentArray::operator[](LNINT index) const {
    return index >= 0 && static_cast<std::size_t>(index) < items_.size()
               ? items_[static_cast<std::size_t>(index)]
               : LNAttachment();
}

LNSTATUS LNAttachment::Extract(const LNString& path) const {
    if (!note_) {
        return lnResult(LNERR_NULL_OBJECT);
    }
    if (note_->handle == NULLHANDLE || !note_->note()) {
        return lnResult(LNERR_NOTE_NOT_OPEN);
    }
    return lnResult(
        NSFNoteExtractFile(note_->handle, BLOCKID{note_->handle, itemId_}, path.str().c_str(), nullptr));
}

LNSTATUS LNNote::GetAttachments(LNAttachmentArray* attachments) const {
    if (attachments == nullptr) {
        return lnResult(ERR_INVALID_PARAM);
    }
    attachments->items_.clear();
    if (LNSTATUS s = checkOpen(); s != LNNOERROR) {
        return lnResult(s);
    }
    for (const notes::Item& item : body_->note()->items) {
        notes::files::FileObject file;
        if (!notes::files::isFileItem(item) || !notes::files::decode(item.value, &file)) {
            continue;
        }
        LNAttachment a;
        a.note_ = body_;
        a.itemId_ = item.id;
        a.name_ = file.name;
        a.path_ = file.originalPath;
        a.size_ = notes::saturating<LNINT>(file.size);
        attachments->items_.push_back(std::move(a));
    }
    return LNNOERROR;
}

LNSTATUS LNNote::CreateAttachment(const LNString& path, const LNString& attachmentName,
                                  LNAttachment* attachment) {
    if (LNSTATUS s = checkOpen(); s != LNNOERROR) {
        return lnResult(s);
    }
    WORD id = 0;
    auto note = body_->note();
    if (STATUS s =
            notes::files::attachFromDisk(*note, "$FILE", path.str(), path.str(), attachmentName.str(), &id);
        s != NOERROR) {
        return lnResult(s);
    }
    if (attachment != nullptr) {
        notes::files::FileObject file;
        notes::files::decode(note->findById(id)->value, &file);
        attachment->note_ = body_;
        attachment->itemId_ = id;
        attachment->name_ = file.name;
        attachment->path_ = file.originalPath;
        attachment->size_ = notes::saturating<LNINT>(file.size);
    }
    return LNNOERROR;
}
