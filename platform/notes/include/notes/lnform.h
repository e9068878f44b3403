// LNForm and LNFormField: a form design of a database (a NOTE_CLASS_FORM note found by its
// "$TITLE", see LNDatabase::GetForm) and one of the fields its "$Fields" lists. A field stored as
// HTML and MIME is named in the form's "$StoreAsHTMLAndMIME" text list; changing the option changes
// the open form, which LNNote::Save writes.
#pragma once

#include "notes/lnnote.h"

class LNFormField;

class LNForm : public LNNote {
public:
    LNForm() = default;
    LNForm(const LNForm& other) = default;
    LNForm& operator=(const LNForm& other) = default;
    ~LNForm() override = default;

    LNString GetName() const;
    // The field of that name (ignoring case); LNWARN_NOT_FOUND when the form has none. The form
    // must be open.
    LNSTATUS GetField(const LNString& name, LNFormField* field) const;
};

class LNFormField {
public:
    LNFormField() = default;
    LNString GetName() const { return name_; }
    LNBOOL GetStoreAsHTMLAndMIME() const;
    LNSTATUS SetStoreAsHTMLAndMIME(LNBOOL on);

private:
    friend class LNForm;
    LNForm form_; // shares the form's state
    LNString name_;
};
