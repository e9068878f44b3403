#pragma once
#include "Lattice/String.h"
#include "notes/lnglobal.h"

namespace hxMail::hxNotesProvider {

// The text of a class-library status, as the Notes API words it.
Lattice::String notesErrorText(LNSTATUS status);
// Writes "Error:  <text>" and a line end to standard output.
void printNotesError(LNSTATUS status);

// Switches throw-all-errors mode on for a scope and off again on every way out.
class ThrowAllErrorsScope {
public:
    ThrowAllErrorsScope() { LNSetThrowAllErrorsGlobal(TRUE); }
    ~ThrowAllErrorsScope() { LNSetThrowAllErrorsGlobal(FALSE); }
    ThrowAllErrorsScope(const ThrowAllErrorsScope&) = delete;
    ThrowAllErrorsScope& operator=(const ThrowAllErrorsScope&) = delete;
};

} // namespace hxMail::hxNotesProvider
