// Mail documents: LNMailMessage (a memo's mail items; calendar entries are in lncalendar.h). Each
// getter reads one documented memo item (see the README); an absent item gives the default named
// beside it.
#pragma once

#include "notes/lndatabase.h"
#include "notes/lndatetime.h"
#include "notes/lnitem.h"

#include <vector>

// "Importance": "1" high, "2" normal, "3" low. Absent: normal.
enum LNMAILIMPORTANCE { LNMAILIMPORTANCE_HIGH = 0, LNMAILIMPORTANCE_NORMAL = 1, LNMAILIMPORTANCE_LOW = 2 };
// "DeliveryReport": "C", "T", "N", "B". Absent: basic (a report only when delivery fails).
enum LNDELIVERYREPORT {
    LNDELIVERYREPORT_CONFIRMED = 1,
    LNDELIVERYREPORT_TRACE = 2,
    LNDELIVERYREPORT_NONE = 3,
    LNDELIVERYREPORT_BASIC = 5
};
// "MoodStamp": the number as text. Absent: normal.
enum LNMOODSTAMP {
    LNMOODSTAMP_NORMAL = 0,
    LNMOODSTAMP_PERSONAL = 1,
    LNMOODSTAMP_CONFIDENTIAL = 2,
    LNMOODSTAMP_PRIVATE = 3,
    LNMOODSTAMP_THANK_YOU = 4,
    LNMOODSTAMP_FLAME = 5,
    LNMOODSTAMP_GOOD_JOB = 6,
    LNMOODSTAMP_JOKE = 7,
    LNMOODSTAMP_FYI = 8,
    LNMOODSTAMP_QUESTION = 9,
    LNMOODSTAMP_REMINDER = 10
};
// "SendTo", "CopyTo", "BlindCopyTo".
enum LNRECIPIENTTYPE { LNRECIPIENTTYPE_TO = 0, LNRECIPIENTTYPE_CC = 1, LNRECIPIENTTYPE_BCC = 2 };

class LNMailMessage : public LNDocument {
public:
    LNMailMessage() = default;
    LNMailMessage(const LNNote& note) : LNDocument(note) {}
    LNMailMessage& operator=(const LNNote& note);

    LNSTATUS GetSubject(LNString* subject) const; // "Subject", values joined by "; "
    LNSTATUS GetSubject(LNText* subject) const;
    LNSTATUS SetSubject(const LNString& subject);
    LNSTATUS GetSender(LNString* sender) const; // "From" (first value)
    LNSTATUS SetSender(const LNString& sender);
    LNSTATUS GetRecipients(LNRECIPIENTTYPE type, LNText* names) const; // empty when absent
    // Replaces the list; an empty list deletes the item. Another type: ERR_INVALID_PARAM.
    LNSTATUS SetRecipients(LNRECIPIENTTYPE type, const LNText& names);
    LNBOOL GetReturnReceipt() const; // "ReturnReceipt" "1"
    LNSTATUS SetReturnReceipt(LNBOOL on);
    LNDELIVERYREPORT GetDeliveryReport() const;
    LNSTATUS SetDeliveryReport(LNDELIVERYREPORT report); // an unknown value stores basic
    LNMOODSTAMP GetMoodStamp() const;
    LNSTATUS SetMoodStamp(LNMOODSTAMP mood); // outside 0..10: ERR_INVALID_PARAM; 0 deletes the item
    LNMAILIMPORTANCE GetMailImportance() const;
    LNSTATUS SetMailImportance(LNMAILIMPORTANCE importance); // an unknown value: ERR_INVALID_PARAM
};
