#pragma once
// Every item class of the host mail model.
#include "hxMail/Account.h"
#include "hxMail/Calendar.h"
#include "hxMail/Change.h"
#include "hxMail/Contact.h"
#include "hxMail/Folder.h"
#include "hxMail/Message.h"
#include "hxMail/Task.h"
#include "hxMail/Types.h"
