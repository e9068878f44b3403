// Common types of the Notes class library (lcppn30) and its error mode.
//
// Error mode: every LN* call that fails returns its status (an LNSTATUS, the 16-bit Notes status
// zero-extended). When throw-all-errors is on, the call throws that LNSTATUS instead. The mode
// belongs to the calling thread: LNSetThrowAllErrorsGlobal switches it for the current thread
// only, so providers that run on different threads cannot switch it under each other. Warnings
// (LNWARN_*) are returned, never thrown.
#pragma once

#include "notes/capi.h"

typedef unsigned long LNSTATUS;
typedef long LNINT;
typedef int LNBOOL;
typedef double LNNUMBER;
typedef char LNCHAR;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

#define LNNOERROR ((LNSTATUS)0)
#define LNERROR_MESSAGE_LENGTH 512

// The class library's API version; LNNotesSession::Init accepts versions up to this one.
#define LNCPP_API_VERSION 300

// Warnings (returned, never thrown).
#define LNWARN_NOT_FOUND ((LNSTATUS)(PKG_LNCPP + 0x80)) // 0x3C80

// Statuses of the class library are defined beside the C API's (LNERR_* in notes/capi.h).

// Switches throw-all-errors mode on (non-zero) or off for the calling thread.
void LNSetThrowAllErrorsGlobal(LNBOOL flag);
LNBOOL LNGetThrowAllErrorsGlobal();
// Copies the text of `error` into buf (at most buflen bytes with the terminating zero) and returns
// the text's length.
LNINT LNGetErrorMessageText(LNSTATUS error, char* buf, LNINT buflen = LNERROR_MESSAGE_LENGTH);
