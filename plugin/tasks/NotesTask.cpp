#include "tasks/NotesTask.h"

namespace hxMail::hxNotesProvider {

NotesTask::~NotesTask() = default;

LATTICE_REGISTER_CLASS(NotesTask);

} // namespace hxMail::hxNotesProvider
