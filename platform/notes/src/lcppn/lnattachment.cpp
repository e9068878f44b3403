// File attachments of a note.
#include "lnbodies.h"

LNAttachment LNAttachmentArray::operator[](LNINT index) const {
    return index >= 0 && static_cast<std::size_t>(index) < items_.size()
               ? items_[static_cast<std::size_t>(index)]
               : LNAttachment();
}

LNSTATUS LNAttachment::Extract(const LNString&) const {
    return lnResult(ERR_NOT_AN_ATTACHMENT);
}

LNSTATUS LNNote::GetAttachments(LNAttachmentArray* attachments) const {
    if (attachments == nullptr) {
        return lnResult(ERR_INVALID_PARAM);
    }
    attachments->items_.clear();
    return lnResult(checkOpen());
}

LNSTATUS LNNote::CreateAttachment(const LNString&, const LNString&, LNAttachment*) {
    return lnResult(ERR_NOT_AN_ATTACHMENT);
}
