#include "lnbodies.h"

#include <algorithm>
#include <cstring>

namespace {
thread_local bool tThrowAll = false;
}

LNSTATUS lnResult(LNSTATUS s) {
    if (s != LNNOERROR && s != LNWARN_NOT_FOUND && tThrowAll) {
        throw s;
    }
    return s;
}

void LNSetThrowAllErrorsGlobal(LNBOOL flag) { tThrowAll = flag != 0; }

LNBOOL LNGetThrowAllErrorsGlobal() { return tThrowAll ? TRUE : FALSE; }

LNINT LNGetErrorMessageText(LNSTATUS error, char* buf, LNINT buflen) {
    const std::string text = error == LNWARN_NOT_FOUND ? std::string("Entry not found")
                                                       : notes::errorText(static_cast<STATUS>(error & 0xFFFF));
    if (buf == nullptr || buflen <= 0) {
        return static_cast<LNINT>(text.size());
    }
    return static_cast<LNINT>(notes::copyText(text, buf, static_cast<std::size_t>(buflen)));
}
