#include "notes/lnmail.h"
#include "lnbodies.h"
#include "lnitemtext.h"

#include <cstdlib>

namespace {

using lnitems::firstText;
using lnitems::textList;

// Sets a one-value text item; an empty value deletes it.
LNSTATUS setText(LNNote* note, const char* name, const std::string& value) {
    if (value.empty()) {
        return note->HasItem(name) ? note->DeleteItem(name) : LNNOERROR;
    }
    return note->CreateItem(name, LNText(LNString(value)), LNITEMFLAGS_SUMMARY, LNITEMOPTION_DELETE_INSERT);
}

int number(const LNString& text, int fallback) {
    const std::string& s = text.str();
    if (s.empty()) {
        return fallback;
    }
    char* end = nullptr;
    const long v = std::strtol(s.c_str(), &end, 10);
    return end && *end == '\0' ? static_cast<int>(v) : fallback;
}

const char* recipientItem(LNRECIPIENTTYPE type) {
    switch (type) {
    case LNRECIPIENTTYPE_TO:
        return "SendTo";
    case LNRECIPIENTTYPE_CC:
        return "CopyTo";
    case LNRECIPIENTTYPE_BCC:
        return "BlindCopyTo";
    }
    return nullptr;
}

} // namespace

// ---- LNMailMessage ----------------------------------------------------------------------------

LNMailMessage& LNMailMessage::operator=(const LNNote& note) {
    LNDocument::operator=(note);
    return *this;
}

LNSTATUS LNMailMessage::GetSubject(LNString* subject) const {
    if (subject == nullptr) {
        return lnResult(ERR_INVALID_PARAM);
    }
    LNText t;
    textList(*this, "Subject", &t);
    return t.GetText(subject);
}

LNSTATUS LNMailMessage::GetSubject(LNText* subject) const {
    return textList(*this, "Subject", subject);
}

LNSTATUS LNMailMessage::SetSubject(const LNString& subject) {
    return CreateItem("Subject", LNText(subject), LNITEMFLAGS_SUMMARY, LNITEMOPTION_DELETE_INSERT);
}

LNSTATUS LNMailMessage::GetSender(LNString* sender) const {
    if (sender == nullptr) {
        return lnResult(ERR_INVALID_PARAM);
    }
    *sender = firstText(*this, "From");
    return LNNOERROR;
}

LNSTATUS LNMailMessage::SetSender(const LNString& sender) {
    return setText(this, "From", sender.str());
}

LNSTATUS LNMailMessage::GetRecipients(LNRECIPIENTTYPE type, LNText* names) const {
    const char* item = recipientItem(type);
    if (item == nullptr) {
        return lnResult(ERR_INVALID_PARAM);
    }
    return textList(*this, item, names);
}

LNSTATUS LNMailMessage::SetRecipients(LNRECIPIENTTYPE type, const LNText& names) {
    const char* item = recipientItem(type);
    if (item == nullptr) {
        return lnResult(ERR_INVALID_PARAM);
    }
    if (names.GetCount() == 0) {
        return HasItem(item) ? DeleteItem(item) : LNNOERROR;
    }
    LNText copy;
    for (LNINT i = 0; i < names.GetCount(); ++i) {
        copy.Append(names[i]);
    }
    return CreateItem(item, copy, LNITEMFLAGS_SUMMARY, LNITEMOPTION_DELETE_INSERT);
}

LNBOOL LNMailMessage::GetReturnReceipt() const {
    return firstText(*this, "ReturnReceipt").str() == "1";
}

LNSTATUS LNMailMessage::SetReturnReceipt(LNBOOL on) {
    return setText(this, "ReturnReceipt", on ? "1" : "");
}

LNDELIVERYREPORT LNMailMessage::GetDeliveryReport() const {
    const std::string v = firstText(*this, "DeliveryReport").str();
    return v == "C"   ? LNDELIVERYREPORT_CONFIRMED
           : v == "T" ? LNDELIVERYREPORT_TRACE
           : v == "N" ? LNDELIVERYREPORT_NONE
                      : LNDELIVERYREPORT_BASIC;
}

LNSTATUS LNMailMessage::SetDeliveryReport(LNDELIVERYREPORT report) {
    const char* v = report == LNDELIVERYREPORT_CONFIRMED ? "C"
                    : report == LNDELIVERYREPORT_TRACE   ? "T"
                    : report == LNDELIVERYREPORT_NONE    ? "N"
                                                         : "B";
    return setText(this, "DeliveryReport", v);
}

LNMOODSTAMP LNMailMessage::GetMoodStamp() const {
    const int v = number(firstText(*this, "MoodStamp"), 0);
    return v >= 0 && v <= 10 ? static_cast<LNMOODSTAMP>(v) : LNMOODSTAMP_NORMAL;
}

LNSTATUS LNMailMessage::SetMoodStamp(LNMOODSTAMP mood) {
    const int v = static_cast<int>(mood);
    if (v < 0 || v > 10) {
        return lnResult(ERR_INVALID_PARAM);
    }
    return setText(this, "MoodStamp", v == 0 ? "" : std::to_string(v));
}

LNMAILIMPORTANCE LNMailMessage::GetMailImportance() const {
    switch (number(firstText(*this, "Importance"), 2)) {
    case 1:
        return LNMAILIMPORTANCE_HIGH;
    case 3:
        return LNMAILIMPORTANCE_LOW;
    default:
        return LNMAILIMPORTANCE_NORMAL;
    }
}

LNSTATUS LNMailMessage::SetMailImportance(LNMAILIMPORTANCE importance) {
    const int v = static_cast<int>(importance);
    if (v < 0 || v > 2) {
        return lnResult(ERR_INVALID_PARAM);
    }
    return setText(this, "Importance", std::to_string(v + 1));
}
