#include "tasks/TaskProvider.h"

namespace hxMail::hxNotesProvider {

TaskProvider::~TaskProvider() = default;

LATTICE_REGISTER_CLASS(TaskProvider);

} // namespace hxMail::hxNotesProvider
