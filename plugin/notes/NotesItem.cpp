#include "notes/NotesItem.h"

namespace hxMail::hxNotesProvider {

NotesItem::~NotesItem() = default;

LATTICE_REGISTER_CLASS(NotesItem);

} // namespace hxMail::hxNotesProvider
