#include "notes/NotesErrors.h"

#include <cstdio>

namespace hxMail::hxNotesProvider {

Lattice::String notesErrorText(LNSTATUS status) {
    char text[LNERROR_MESSAGE_LENGTH] = {};
    LNGetErrorMessageText(status, text, sizeof text);
    return Lattice::String(text);
}

void printNotesError(LNSTATUS status) {
    std::printf("Error:  %s\n", notesErrorText(status).c_str());
    std::fflush(stdout);
}

} // namespace hxMail::hxNotesProvider
