#include "mail/NotesMessage.h"

#include "notes/NotesDatabase.h"
#include "notes/NotesErrors.h"
#include "provider/MailProvider.h"

#include <cstdio>
#include <vector>

namespace hxMail::hxNotesProvider {

namespace {

// The quoted header above a reply's text; every run of blanks is 36 wide.
#define HX_REPLY_INDENT "                                    "
constexpr char kReplyTemplate[] =
    "<font size=2 face=\"Arial\"><br><br><br></font>" HX_REPLY_INDENT
    "<font size=2 face=Tahoma><span style='font-size:10.0pt;font-family:Tahoma'>-----Original "
    "Message-----</span></font><br>" HX_REPLY_INDENT "<b>From: </b>%s<br>" HX_REPLY_INDENT
    "<b>Sent: </b>%s<br>" HX_REPLY_INDENT "<b>To: </b>%s<br>" HX_REPLY_INDENT
    "<b>Subject: </b>%s<br>%s%s<br>" HX_REPLY_INDENT
    "<font size=3 face=\"Times New Roman\"><span style='font-size:12.0pt'>&nbsp;</span></font>";
#undef HX_REPLY_INDENT

// Labels by host sensitivity (private 2, confidential 3, as a loaded memo reports them).
const char* const kSensitivityLabels[] = {"",          "Personal", "Private",  "Confidential",
                                          "Thank You", "Flame",    "Good Job", "Joke",
                                          "FYI",       "Question", "Reminder"};

} // namespace

void NotesMessage::prepareAsNewDraft() {
    static const char* const kAnsweredState[] = {
        "Body",        "$FILE",         "DeliveredDate",  "PostedDate",         "$RespondedTo", "$REF",
        "$RFSaveInfo", "ForwardedFrom", "ForwardedDate",  "Recipients",         "SendTo",       "CopyTo",
        "BlindCopyTo", "MailOptions",   "SaveOptions",    "$NoteHasNativeMIME", "MIME_Version", "smartName",
        "smartValue",  "ReturnReceipt", "DeliveryReport", "MoodStamp",          "Importance"};
    if (!note || loadFailed_)
        return;
    createdHere = true;
    for (const char* name : kAnsweredState)
        while (note->HasItem(name))
            if (note->DeleteItem(name) != LNNOERROR)
                break;
    String form = "Memo";
    setItemString("Form", form);
}

void NotesMessage::setReplyFields(String referenceId, bool sending) {
    NotesMessage answered(referenceId, provider, database);
    if (answered.loadFailed())
        throw static_cast<LNSTATUS>(ERR_INVALID_NOTE);
    document->MakeResponse(*answered.getDocument());
    String form = "Reply";
    setItemString("Form", form);
    if (!sending) {
        if (const unsigned short status = setItemRefList("$RFSaveInfo", answered.getDocument()); status != 0)
            throw static_cast<LNSTATUS>(status);
    }
}

void NotesMessage::setForwardFields(String referenceId, bool) {
    NotesMessage forwarded(referenceId, provider, database);
    if (forwarded.loadFailed())
        throw static_cast<LNSTATUS>(ERR_INVALID_NOTE);
    document->MakeResponse(*forwarded.getDocument());
    String from = getItemString("From", true);
    setItemString("ForwardedFrom", from);
    if (LNNotesSession* session = provider ? provider->getSession() : nullptr) {
        LNDatetime now = session->GetCurrentDatetime();
        now.AdjustTimeZone(0, FALSE);
        Lattice::_DateTimeData when;
        when.setFullYear(static_cast<int>(now.GetYear()));
        when.month = static_cast<short>(now.GetMonth());
        when.day = static_cast<short>(now.GetDay());
        when.hour = static_cast<short>(now.GetHour());
        when.minute = static_cast<short>(now.GetMinute());
        when.hundredths = static_cast<short>(now.GetHundredth());
        bool ok = true;
        setDate("ForwardedDate", Lattice::Data(when), true, true, ok);
    }
    if (const unsigned short status = setItemRefList("$RFSaveInfo", forwarded.getDocument()); status != 0)
        throw static_cast<LNSTATUS>(status);
}

void NotesMessage::getReplyHeaderFields(String& from, String& sent, String& to, String& subject,
                                        String& sensitivityLine, String& importanceLine) {
    Lattice::Ptr<hxMail::MessageItem> message = new hxMail::Message();
    load(message, nullptr, true);
    from = message->get_from();
    to = message->get_to();
    subject = message->get_subject();
    const Lattice::_DateTimeData posted = message->get_sent();
    if (posted.day != 0) {
        char text[64];
        std::snprintf(text, sizeof text, "%02d/%02d/%04d %02d:%02d GMT", posted.month, posted.day,
                      posted.fullYear(), posted.hour, posted.minute);
        sent = text;
    }
    const long sensitivity = message->get_sensitivity();
    if (sensitivity != 0) {
        sensitivityLine += "<b>Sensitivity: </b>";
        if (sensitivity > 0 && sensitivity <= 10)
            sensitivityLine += kSensitivityLabels[sensitivity];
        sensitivityLine += "<br>";
    }
    const long importance = message->get_importance();
    if (importance != ImportanceNormal) {
        importanceLine += "<b>Importance: </b>";
        if (importance == ImportanceLow)
            importanceLine += "Low";
        else if (importance == ImportanceHigh)
            importanceLine += "High";
        importanceLine += "<br>";
    }
}

Lattice::String NotesMessage::getReplyText(bool) {
    String from, sent, to, subject, sensitivityLine, importanceLine;
    getReplyHeaderFields(from, sent, to, subject, sensitivityLine, importanceLine);
    const std::size_t size = sizeof kReplyTemplate + from.length() + sent.length() + to.length() +
                             subject.length() + sensitivityLine.length() + importanceLine.length() + 1;
    std::vector<char> buffer(size);
    std::snprintf(buffer.data(), size, kReplyTemplate, from.c_str(), sent.c_str(), to.c_str(),
                  subject.c_str(), importanceLine.c_str(), sensitivityLine.c_str());
    return String(buffer.data());
}

} // namespace hxMail::hxNotesProvider
