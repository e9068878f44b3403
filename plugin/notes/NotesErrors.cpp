#include "notes/NotesErrors.h"

#include <cstdio>

namespace hxMail::hxNotesProvider {

Lattice::String notesErrorText(LNSTATUS status) {
    char text[LNERROR_MESSAGE_LENGTH] = {};
    LNGetErrorMessageText(status, text, sizeof text);
    return Lattice::String(text);
}

Lattice::String apiErrorText(STATUS status) {
    char text[200] = {};
    OSLoadString(nullptr, static_cast<STATUS>(status & ERR_MASK), text, sizeof text);
    return Lattice::String(text);
}

void reportNotesError(LNSTATUS status, ErrorChannel channel) {
    switch (channel) {
    case ErrorChannel::Silent:
        break;
    case ErrorChannel::StandardOutput:
        std::printf("Error:  %s\n", notesErrorText(status).c_str());
        std::fflush(stdout);
        break;
    case ErrorChannel::StandardError:
        std::fprintf(stderr, "\n%s\n", apiErrorText(static_cast<STATUS>(status)).c_str());
        break;
    }
}

} // namespace hxMail::hxNotesProvider
