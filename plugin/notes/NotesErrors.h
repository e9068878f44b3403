#pragma once
#include "Lattice/String.h"
#include "notes/lnglobal.h"

namespace hxMail::hxNotesProvider {

// Where an operation writes the Notes errors it swallows: the class library's statuses go to
// standard output as "Error:  <text>", the C API's to standard error as the text between line ends.
enum class ErrorChannel { Silent, StandardOutput, StandardError };

// The text of a class-library status, as the Notes API words it.
Lattice::String notesErrorText(LNSTATUS status);
// The text of a C API status (its error code only, without the package flags).
Lattice::String apiErrorText(STATUS status);
// The one reporter of Notes errors: writes the status's text to `channel`.
void reportNotesError(LNSTATUS status, ErrorChannel channel = ErrorChannel::StandardOutput);

// Switches throw-all-errors mode on (or, given FALSE, off) for a scope and puts back the mode it
// found on every way out, so nested operations never switch it off under their caller.
class ThrowAllErrorsScope {
public:
    explicit ThrowAllErrorsScope(LNBOOL mode = TRUE) : previous_(LNGetThrowAllErrorsGlobal()) {
        LNSetThrowAllErrorsGlobal(mode);
    }
    ~ThrowAllErrorsScope() { LNSetThrowAllErrorsGlobal(previous_); }
    ThrowAllErrorsScope(const ThrowAllErrorsScope&) = delete;
    ThrowAllErrorsScope& operator=(const ThrowAllErrorsScope&) = delete;

    // Runs `work`; a Notes error it throws is reported on `channel` and gives false.
    template <class Work> bool run(Work&& work, ErrorChannel channel = ErrorChannel::StandardOutput) {
        try {
            work();
            return true;
        } catch (LNSTATUS status) {
            reportNotesError(status, channel);
            return false;
        }
    }

private:
    LNBOOL previous_;
};

} // namespace hxMail::hxNotesProvider
