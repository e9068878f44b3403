#include "calendar/NotesAppointment.h"

#include "notes/NotesDatabase.h"
#include "notes/NotesErrors.h"
#include "notes/NotesUser.h"
#include "provider/MailProvider.h"

#include "Lattice/DateTimeUtil.h"
#include "Lattice/Logger.h"
#include "Lattice/Util.h"
#include "hxMail/Calendar.h"
#include "hxMailConversion/Conversion.h"
#include "hxMime/Mime.h"

#include <cstdio>

namespace hxMail::hxNotesProvider {

namespace {

Lattice::String latin1(const LNString& text) {
    return Lattice::String(text.GetTextPtr(), static_cast<std::size_t>(text.GetByteLength()));
}

} // namespace

NotesAppointment::~NotesAppointment() = default;

long NotesAppointment::load(Lattice::Ptr<hxMail::MessageItem>& item, Lattice::ObjectCollection* list,
                            bool flag) {
    Lattice::Ptr<hxMail::Appointment> appointment(dynamic_cast<hxMail::Appointment*>(item.get()));
    if (!appointment) {
        appointment = new hxMail::Appointment();
        item = Lattice::Ptr<hxMail::MessageItem>(appointment.get());
    }
    return load(appointment, list, flag);
}

long NotesAppointment::load(Lattice::Ptr<hxMail::Appointment>& appointment, Lattice::ObjectCollection* list,
                            bool) {
    if (!appointment)
        appointment = new hxMail::Appointment();
    if (!document || loadFailed_)
        return 0;
    hxMail::Appointment& a = *appointment;
    const LNCalendarEntry entry(*document);
    const LNCALENDARENTRYTYPE type = entry.GetEntryType();
    a.set_id(universalId);
    a.set_subject(latin1(entry.GetBriefDescription()));
    a.set_isMeeting(type == LNCALENDARENTRYTYPE_MEETING);
    a.set_allDay(type == LNCALENDARENTRYTYPE_ALL_DAY_EVENT);
    a.set_isProposal(false);
    a.set_hasSentInvitations(false);
    a.set_iconType(3);
    {
        // An entry without a location, start or end reads as empty, not as an error.
        ThrowAllErrorsScope quiet(FALSE);
        a.set_location(getItemString("Location", false));
        const Lattice::Data start = getDate("StartDateTime", true);
        const Lattice::Data end = getDate("EndDateTime", true);
        a.set_startDate(start.isEmpty() ? Lattice::_DateTimeData() : start.toDateTime());
        a.set_endDate(end.isEmpty() ? Lattice::_DateTimeData() : end.toDateTime());
    }
    a.set_isOriginator(true);
    a.set_busyStatus(entry.GetIsPenciledIn() ? 0 : 2);
    a.set_color(0);
    a.set_recurrenceStart(Lattice::_TimeData());
    a.set_recurrenceEnd(Lattice::_TimeData());
    a.set_isRecurring(false);
    if (list)
        list->add(Lattice::Data(appointment.get(), true), true);
    return 0;
}

long NotesAppointment::loadDetail(Lattice::SchemaBase* schema) {
    auto* detail = dynamic_cast<hxMail::AppointmentDetail*>(schema);
    if (!detail || !document || loadFailed_)
        return 0;
    LNString owner = LNCalendarEntry(*document).GetOwner();
    std::fputs("Sender Name=", stdout);
    std::fwrite(owner.GetTextPtr(), 1, static_cast<std::size_t>(owner.GetByteLength()), stdout);
    std::fflush(stdout);
    if (!owner.IsNull() && owner.GetByteLength() > 0) {
        hxMail::Recipient* found = nullptr;
        NotesUser* user = nullptr;
        if (loadRecipient(owner, &found, &user) && found) {
            Lattice::Ptr<hxMail::Recipient> from(found);
            from->set_recipientType(0);
            detail->set_from(from);
        }
        if (user)
            user->release();
    }
    Lattice::Ptr<Lattice::ObjectCollection> attendees = new Lattice::ObjectCollection();
    loadAttendees(attendees.get());
    detail->set_attendeeList(attendees);
    loadBodyHTTP(detail, true, false);
    return 0;
}

// Attendees the directory does not know are left out: a returned lookup is not a resolved name.
void NotesAppointment::loadAttendees(Lattice::ObjectCollection* out) {
    if (!out || !document || loadFailed_)
        return;
    const LNCalendarEntry entry(*document);
    for (long type = 1; type <= 2; ++type) {
        LNText names;
        if (type == 1)
            entry.GetRequiredAttendees(&names);
        else
            entry.GetOptionalAttendees(&names);
        for (LNINT i = 0; i < names.GetCount(); ++i) {
            LNString name = names[i];
            hxMail::Recipient* found = nullptr;
            NotesUser* user = nullptr;
            Lattice::Ptr<hxMail::Recipient> recipient;
            if (loadRecipient(name, &found, &user) && found)
                recipient = found;
            if (user)
                user->release();
            // A lookup that matched nobody still answers a recipient, without any address.
            if (!recipient ||
                (recipient->get_emailAddress().isEmpty() && recipient->get_smtpAddress().isEmpty()))
                continue;
            recipient->set_recipientType(type);
            Lattice::Ptr<hxMail::AppointmentAttendee> attendee = new hxMail::AppointmentAttendee();
            attendee->set_attendType(1);
            attendee->set_sendMessage(false);
            attendee->set_recipient(recipient);
            out->add(Lattice::Data(recipient.get(), true));
        }
    }
}

NotesAppointment::String NotesAppointment::getAppointmentType(hxMail::Appointment* appointment) {
    if (appointment && appointment->get_isMeeting())
        return "3";
    if (appointment && appointment->get_allDay())
        return "2";
    return "0";
}

int NotesAppointment::getAppointmentIcon(hxMail::Appointment* appointment) {
    if (appointment && appointment->get_isMeeting())
        return 158;
    if (appointment && appointment->get_allDay())
        return 9;
    return 160;
}

bool NotesAppointment::toNotesDatetime(const Lattice::_DateTimeData& dt, LNDatetime* out) {
    if (dt.day == 0)
        return false;
    LNDatetime stamp;
    stamp.SetText("01/01/2005 3:00:00 PM");
    // The host's offset already includes any daylight saving, so none is added.
    const bool valid = stamp.SetDate(dt.month, dt.day, dt.fullYear()) == LNNOERROR &&
                       stamp.SetTimeZone(static_cast<LNINT>(dt.zoneOffset / 60)) == LNNOERROR &&
                       stamp.SetDST(FALSE) == LNNOERROR && stamp.SetHour(dt.hour) == LNNOERROR &&
                       stamp.SetMinute(dt.minute) == LNNOERROR &&
                       stamp.SetHundredth(dt.hundredths) == LNNOERROR;
    if (valid)
        *out = stamp;
    return valid;
}

// An empty or impossible end leaves the stored range as it was: an entry never gets half a range.
bool NotesAppointment::setAppointmentDate(Lattice::_DateTimeData start, Lattice::_DateTimeData end) {
    if (!document || loadFailed_)
        return false;
    LNDatetime begin, finish;
    bool valid = false;
    {
        ThrowAllErrorsScope quiet(FALSE);
        valid = toNotesDatetime(start, &begin) && toNotesDatetime(end, &finish);
    }
    if (!valid)
        return false;
    LNDatetimeRange range;
    range.SetBegin(begin);
    range.SetEnd(finish);
    LNCalendarEntry entry(*document);
    entry.SetDatetimeRange(range);
    return true;
}

void NotesAppointment::timeChanged(Lattice::_DateTimeData start, Lattice::_DateTimeData end, String subject,
                                   bool, bool) {
    ThrowAllErrorsScope throwing;
    throwing.run([&] {
        if (!document || loadFailed_)
            return;
        setItemString("Subject", subject);
        if (setAppointmentDate(start, end))
            NotesDocument::save();
    });
}

long NotesAppointment::save(hxMail::Appointment* appointment, Lattice::SchemaBase* detail, bool saveNow) {
    if (!appointment)
        return 0;
    ThrowAllErrorsScope throwing;
    throwing.run([&] {
        if (!document || loadFailed_)
            return;
        String type = getAppointmentType(appointment);
        setItemString("AppointmentType", type);
        setInt("_ViewIcon", getAppointmentIcon(appointment));
        setAppointmentDate(appointment->get_startDate(), appointment->get_endDate());
        String location = appointment->get_location();
        setItemString("Location", location);
        // The message part is stored the way a memo is; with a detail, its body, files and
        // recipients too.
        _UserInfoStruct* info = provider && provider->getUser() ? provider->getUser()->getInfo() : nullptr;
        const String from = info ? info->loginName : String();
        auto* message = dynamic_cast<hxMail::AppointmentDetail*>(detail);
        Lattice::Ptr<hxMailLib::Mime::Email> email;
        if (message) {
            const Lattice::_DateTimeData now = Lattice::DateTimeUtil::computeCurrentGMTTime();
            message->set_id(Lattice::Guid::create().toString());
            appointment->set_sent(now);
            appointment->set_received(now);
            Lattice::Map<String, Lattice::Data> settings = provider->getConversionSettings();
            hxMailConversion::cast_MailMessage_toMimeEmail(appointment, message, email, settings);
        }
        store(email, from, appointment->get_subject(), appointment->get_importance(),
              appointment->get_readReceiptRequested(), appointment->get_deliveryReceiptRequested(),
              appointment->get_sensitivity(), appointment->get_smartName(), String(),
              message ? message->get_attachments().get() : nullptr,
              message ? message->get_to().get() : nullptr, message ? message->get_cc().get() : nullptr,
              message ? message->get_bcc().get() : nullptr);
        if (String chair = from; !chair.isEmpty())
            setItemString("Chair", chair);
        if (saveNow)
            NotesDocument::save();
    });
    return 0;
}

void NotesAppointment::getIndexLabel(String column, hxMail::MessageItem* item,
                                     Lattice::ObjectCollection* out) {
    if (!item || !out)
        return;
    using Lattice::DateTimeUtil;
    if (column == "sent") {
        const Lattice::_DateTimeData sent = item->get_sent();
        out->add(Lattice::Data(sent.year == 0 ? String("None") : DateTimeUtil::getSMTPDayString(sent)));
        return;
    }
    NotesMessage::getIndexLabel(column, item, out);
}

Lattice::Ptr<hxMail::ChangeItem> NotesAppointment::getChangeItem(bool create) {
    if (!create)
        return nullptr;
    Lattice::Ptr<hxMail::ChangeItemCopy> change = new hxMail::ChangeItemCopy();
    if (database)
        change->set_parentId(database->getParentFolderId(noteId, universalId, create));
    Lattice::Ptr<hxMail::Appointment> appointment = new hxMail::Appointment();
    load(appointment, nullptr, false);
    change->set_itemId(appointment->get_id());
    change->set_item(Lattice::Ptr<hxMail::Item>(appointment.get()));
    return Lattice::Ptr<hxMail::ChangeItem>(change.get());
}

LATTICE_REGISTER_CLASS(NotesAppointment);

} // namespace hxMail::hxNotesProvider
