// The Notes class library (lcppn30) in one include.
#pragma once

#include "notes/lnattachment.h"
#include "notes/lncalendar.h"
#include "notes/lndatabase.h"
#include "notes/lndatetime.h"
#include "notes/lnform.h"
#include "notes/lnglobal.h"
#include "notes/lnitem.h"
#include "notes/lnmail.h"
#include "notes/lnnote.h"
#include "notes/lnrichtext.h"
#include "notes/lnsession.h"
#include "notes/lnstring.h"
#include "notes/lnviewfolder.h"
