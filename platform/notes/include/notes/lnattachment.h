// File attachments of a note: its "$FILE" items, in item order (LNNote::GetAttachments).
#pragma once

#include "notes/lnstring.h"

#include <memory>
#include <vector>

struct LNNoteBody;

class LNAttachment {
public:
    LNAttachment() = default;

    LNBOOL IsNull() const { return !note_; }
    LNINT GetFileSize() const { return size_; }
    LNString GetFilepath() const { return LNString(path_); }       // the path it was attached from, as stored
    LNString GetAttachmentName() const { return LNString(name_); } // the file name in the note
    // Writes the bytes to path (replacing a file there); the note must be open.
    LNSTATUS Extract(const LNString& path) const;

private:
    friend class LNNote;
    std::shared_ptr<LNNoteBody> note_;
    WORD itemId_ = 0;
    std::string name_, path_;
    LNINT size_ = 0;
};

class LNAttachmentArray {
public:
    LNINT GetCount() const { return static_cast<LNINT>(items_.size()); }
    LNAttachment operator[](LNINT index) const; // a null attachment when out of range

private:
    friend class LNNote;
    std::vector<LNAttachment> items_;
};
