#include "contacts/NotesDistributionList.h"

namespace hxMail::hxNotesProvider {

NotesDistributionList::~NotesDistributionList() = default;

LATTICE_REGISTER_CLASS(NotesDistributionList);

} // namespace hxMail::hxNotesProvider
