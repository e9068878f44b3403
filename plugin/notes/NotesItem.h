#pragma once
#include "provider/Export.h"

#include "Lattice/Base.h"

namespace hxMail::hxNotesProvider {

// Registered for the host's class factory; it carries no data.
class HX_EXPORT NotesItem : public Lattice::Base {
    LATTICE_CLASS(NotesItem, "NotesItem", Lattice::Base)
public:
    NotesItem() = default;
    NotesItem(const NotesItem& other) : Lattice::Base(other) {}
    ~NotesItem() override;
};

} // namespace hxMail::hxNotesProvider
