// Text items as the mail and calendar wrappers read them.
#pragma once

#include "lnbodies.h"

namespace lnitems {

// The first text of an item; empty when the note lacks it. An absent item is no error of the
// document, so it answers a default in throw-all-errors mode too.
inline LNString firstText(const LNNote& note, const char* name) {
    LNItem item;
    if (!note.HasItem(name) || note.GetItem(name, &item) != LNNOERROR) {
        return LNString();
    }
    LNText text;
    text = item;
    return text.GetCount() > 0 ? text[0] : LNString();
}

// Every text of an item into *out (emptied first; stays empty when the note lacks the item).
inline LNSTATUS textList(const LNNote& note, const char* name, LNText* out) {
    if (out == nullptr) {
        return lnResult(ERR_INVALID_PARAM);
    }
    *out = LNText();
    LNItem item;
    if (note.HasItem(name) && note.GetItem(name, &item) == LNNOERROR) {
        LNText copy;
        copy = item;
        for (LNINT i = 0; i < copy.GetCount(); ++i) {
            out->Append(copy[i]);
        }
    }
    return LNNOERROR;
}

} // namespace lnitems
