#include "notes/lnform.h"

#include "lnbodies.h"
#include "notes/lndatabase.h"
#include "notes/lnitem.h"

namespace {

constexpr const char* kFields = "$Fields";
constexpr const char* kStoreAsMime = "$StoreAsHTMLAndMIME";

// The values of a text item of the note, or none.
LNText textList(const LNNote& note, const char* name) {
    LNText values;
    LNItem item;
    if (note.HasItem(name) && note.GetItem(name, &item) == LNNOERROR && item.GetType() == LNITEMTYPE_TEXT)
        values = item;
    return values;
}

LNINT indexOf(const LNText& values, const LNString& name) {
    for (LNINT i = 0; i < values.GetCount(); ++i)
        if (LNStringCompare(values[i], name, LNSTRINGCOMPAREFLAGS_CASE_INSENSITIVE) == 0)
            return i;
    return -1;
}

} // namespace

LNSTATUS LNDatabase::GetForm(const LNString& name, LNForm* form) const {
    if (LNSTATUS s = checkOpen(); s != LNNOERROR)
        return lnResult(s);
    if (form == nullptr)
        return lnResult(ERR_INVALID_PARAM);
    NOTEID id = 0;
    if (STATUS s = body_->database()->findDesign(NOTE_CLASS_FORM, name.str(), &id); s != NOERROR)
        return lnResult(s);
    auto note = std::make_shared<LNNoteBody>();
    note->db = body_;
    note->id = id;
    form->body_ = std::move(note);
    return LNNOERROR;
}

LNString LNForm::GetName() const {
    const LNText title = textList(*this, "$TITLE");
    return title.GetCount() ? title[0] : LNString();
}

LNSTATUS LNForm::GetField(const LNString& name, LNFormField* field) const {
    if (LNSTATUS s = checkOpen(); s != LNNOERROR)
        return lnResult(s);
    if (field == nullptr)
        return lnResult(ERR_INVALID_PARAM);
    const LNText fields = textList(*this, kFields);
    const LNINT at = indexOf(fields, name);
    if (at < 0)
        return LNWARN_NOT_FOUND;
    field->form_ = *this;
    field->name_ = fields[at];
    return LNNOERROR;
}

LNBOOL LNFormField::GetStoreAsHTMLAndMIME() const {
    return indexOf(textList(form_, kStoreAsMime), name_) >= 0;
}

LNSTATUS LNFormField::SetStoreAsHTMLAndMIME(LNBOOL on) {
    if (form_.IsNull())
        return lnResult(LNERR_NULL_OBJECT);
    LNText stored = textList(form_, kStoreAsMime);
    const LNINT at = indexOf(stored, name_);
    if ((at >= 0) == (on != FALSE))
        return LNNOERROR;
    LNText changed;
    for (LNINT i = 0; i < stored.GetCount(); ++i)
        if (i != at)
            changed.Append(stored[i]);
    if (on)
        changed.Append(name_);
    if (changed.GetCount() == 0)
        return form_.HasItem(kStoreAsMime) ? form_.DeleteItem(kStoreAsMime) : LNNOERROR;
    return form_.CreateItem(kStoreAsMime, changed, LNITEMFLAGS_SUMMARY, LNITEMOPTION_DELETE_APPEND);
}
