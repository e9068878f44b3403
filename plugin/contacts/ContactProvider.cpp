#include "contacts/ContactProvider.h"

namespace hxMail::hxNotesProvider {

ContactProvider::~ContactProvider() = default;

LATTICE_REGISTER_CLASS(ContactProvider);

} // namespace hxMail::hxNotesProvider
