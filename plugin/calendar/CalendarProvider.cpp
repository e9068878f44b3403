#include "calendar/CalendarProvider.h"

#include "calendar/NotesAppointment.h"
#include "notes/NotesAddressBook.h"
#include "notes/NotesDatabase.h"
#include "notes/NotesDocument.h"
#include "notes/NotesFolder.h"
#include "notes/NotesUser.h"
#include "provider/OperationFrame.h"

#include "Lattice/DateTimeUtil.h"
#include "Lattice/Logger.h"
#include "Lattice/Util.h"

namespace hxMail::hxNotesProvider {

CalendarProvider::~CalendarProvider() = default;

MailProvider* CalendarProvider::mailProvider() const {
    return static_cast<MailProvider*>(owner());
}

NotesDatabase* CalendarProvider::getDb() const {
    MailProvider* provider = mailProvider();
    return provider ? provider->getUserMailDatabase() : nullptr;
}

bool CalendarProvider::withAppointment(String id, const char* operation,
                                       const std::function<void(NotesAppointment&)>& work) {
    MailProvider* provider = mailProvider();
    if (!provider || !provider->isLoggedIn())
        return false;
    OperationFrame frame(provider);
    frame.run([&] {
        if (id.isEmpty())
            return;
        Lattice::Ptr<NotesAppointment> appointment = new NotesAppointment(id, provider, getDb());
        if (appointment->loadFailed()) {
            Lattice::Logger::print("%s: no calendar entry has the id %s", operation, id.c_str());
            return;
        }
        work(*appointment);
    });
    return true;
}

long CalendarProvider::create(hxMail::Appointment* appointment, hxMail::AppointmentDetail* detail) {
    MailProvider* provider = mailProvider();
    if (!provider || !provider->isLoggedIn())
        return kNotSupported;
    if (!appointment)
        return 0;
    OperationFrame frame(provider);
    frame.run([&] {
        Lattice::Ptr<NotesAppointment> entry = new NotesAppointment(provider, getDb());
        entry->save(appointment, detail, true);
        // The host's object has an id slot: it gets the new entry's id, so it can be opened again.
        if (!entry->getId().isEmpty())
            appointment->set_id(entry->getId());
    });
    return 0;
}

long CalendarProvider::newAppointment(String, Lattice::Ptr<hxMail::Appointment>& appointment) {
    return create(appointment.get(), nullptr);
}

long CalendarProvider::addAppointment(String, const Lattice::Ptr<hxMail::Appointment>& appointment,
                                      const Lattice::Ptr<hxMail::AppointmentDetail>& detail, String) {
    return create(appointment.get(), detail.get());
}

long CalendarProvider::removeAppointment(String id, bool, bool, bool& removed) {
    MailProvider* provider = mailProvider();
    const bool ran = withAppointment(id, "removeAppointment", [&](NotesAppointment& entry) {
        entry.getDocument()->Close();
        provider->getUserMailDatabase()->deleteItem(id, provider);
        // Only a delete that really happened is reported as one.
        Lattice::Ptr<NotesAppointment> again = new NotesAppointment(id, provider, getDb());
        if (again->loadFailed())
            removed = true;
        else
            Lattice::Logger::print("removeAppointment: the entry %s could not be deleted", id.c_str());
    });
    return ran ? 0 : kNotSupported;
}

long CalendarProvider::getAppointmentDetail(String id, Lattice::Ptr<hxMail::AppointmentDetail>& detail) {
    if (!detail)
        detail = new hxMail::AppointmentDetail();
    hxMail::AppointmentDetail* target = detail.get();
    return withAppointment(id, "getAppointmentDetail",
                           [&](NotesAppointment& entry) { entry.loadDetail(target); })
               ? 0
               : kNotSupported;
}

long CalendarProvider::saveAppointment(const Lattice::Ptr<hxMail::Appointment>& appointment,
                                       const Lattice::Ptr<hxMail::AppointmentDetail>& detail, bool& flag) {
    const String id = appointment ? appointment->get_id() : String();
    const bool ran = withAppointment(id, "saveAppointment", [&](NotesAppointment& entry) {
        entry.save(appointment.get(), detail.get(), true);
    });
    flag = false;
    return ran ? 0 : kNotSupported;
}

long CalendarProvider::appointmentTimeChanged(String id, Lattice::_DateTimeData start,
                                              Lattice::_DateTimeData end, String subject, bool b1, bool b2) {
    return withAppointment(id, "appointmentTimeChanged",
                           [&](NotesAppointment& entry) { entry.timeChanged(start, end, subject, b1, b2); })
               ? 0
               : kNotSupported;
}

long CalendarProvider::getUserAppointmentRange(String user, String folderId, Lattice::_DateData start,
                                               Lattice::_DateData end, bool, Collection* out) {
    MailProvider* provider = mailProvider();
    if (!provider || !provider->isLoggedIn())
        return kNotSupported;
    OperationFrame frame(provider);
    frame.run([&] {
        if (!folderId.isEmpty()) {
            // The date-range query reads the whole file's calendar: only a calendar folder answers it.
            NotesFolder* folder = provider->findFolder(folderId);
            if (folder && folder->getFolderType() == FolderTypeCalendar)
                folder->getCalendarItems(start, end, out);
            return;
        }
        // A colleague's calendar: that user's own mail file, never the caller's.
        Lattice::Ptr<NotesAddressBook> directory = new NotesAddressBook(provider);
        directory->setChecksPassword(false);
        String noPassword, noReserved;
        NotesUser* colleague =
            user.isEmpty() ? nullptr : directory->VerifyAndCreateUser(user, noPassword, noReserved, provider);
        // A lookup that matched nobody still gives a user, without a mail file.
        if (!colleague || !colleague->isValidUser() || colleague->getInfo()->mailFile.isEmpty()) {
            Lattice::Logger::print("getUserAppointmentRange: nobody is named %s", user.c_str());
        } else if (NotesDatabase* mail = colleague->getMailDatabase(provider); !mail || !mail->isOpen()) {
            Lattice::Logger::print("getUserAppointmentRange: the mail file of %s cannot be opened: %s",
                                   user.c_str(),
                                   notesErrorText(mail ? mail->getOpenStatus() : LNNOERROR).c_str());
        } else {
            Lattice::Ptr<NotesFolder> calendar = new NotesFolder(provider, mail, "Calendar", "($Calendar)",
                                                                 FolderTypeCalendar, false, true, false);
            calendar->getCalendarItems(start, end, out);
        }
        if (colleague)
            colleague->release();
    });
    return 0;
}

long CalendarProvider::getAppointmentRange(String folderId, Lattice::_DateData start, Lattice::_DateData end,
                                           bool, Collection* out) {
    MailProvider* provider = mailProvider();
    if (!provider || !provider->isLoggedIn())
        return kNotSupported;
    getUserAppointmentRange("", folderId, start, end, true, out);
    return 0;
}

long CalendarProvider::getAppointmentDatesRange(String folderId, Lattice::_DateData start,
                                                Lattice::_DateData end, String, Collection* out) {
    MailProvider* provider = mailProvider();
    if (!provider || !provider->isLoggedIn())
        return kNotSupported;
    OperationFrame frame(provider);
    getAppointmentRange(folderId, start, end, true, out);
    return 0;
}

long CalendarProvider::sendUpdateEx(const Lattice::Ptr<hxMail::Appointment>&, bool&) {
    return kNotSupported;
}

long CalendarProvider::sendAppointment(const Lattice::Ptr<hxMail::Appointment>&,
                                       const Lattice::Ptr<hxMail::AppointmentDetail>&, String) {
    return kNotSupported;
}

long CalendarProvider::deleteRecurringAppointment(String, Lattice::_DateTimeData, String, bool) {
    return kNotSupported;
}

long CalendarProvider::recurrenceChanged(String, const Lattice::Ptr<hxMail::RecurrenceObject>&,
                                         Lattice::_DateTimeData, Lattice::_TimeData, Lattice::_TimeData,
                                         String, Lattice::_DateData&, String&, Collection*,
                                         Lattice::_DateData&) {
    return kNotSupported;
}

long CalendarProvider::addRecurringBreak(const Lattice::Ptr<hxMail::Appointment>&,
                                         const Lattice::Ptr<hxMail::AppointmentDetail>&, String&, long&) {
    return kNotSupported;
}

long CalendarProvider::getFilteredDistributionRecipients(String, String, Lattice::_DateData,
                                                         Lattice::_DateData, Collection*) {
    return kNotSupported;
}

long CalendarProvider::getFreeBusyBlocks(Lattice::_DateData start, Lattice::_DateData end,
                                         const Collection& users, Collection* out) {
    MailProvider* provider = mailProvider();
    if (!provider || !provider->isLoggedIn())
        return kNotSupported;
    const long count = users.count();
    OperationFrame frame(provider);
    Lattice::Ptr<NotesAddressBook> book = new NotesAddressBook(provider);
    Lattice::_DurationData day;
    day.days = -1;
    start = Lattice::DateTimeUtil::addToDate(start, day);
    day.days = 1;
    end = Lattice::DateTimeUtil::addToDate(end, day);
    Lattice::FreeBusyCoalescer coalescer(start, end, -1440, nullptr);
    frame.run([&] {
        for (long i = 0; i < count; ++i) {
            const Lattice::Data& element = users[i];
            Lattice::String id;
            if (auto* recipient = element.toObject<hxMail::Recipient>())
                id = recipient->get_id();
            else
                id = element.toString();
            const Lattice::String name = NotesAddressBook::getUserNameFromId(id);
            // From one second past midnight GMT of the widened first day to the same of the last.
            LNDatetime begin, finish;
            begin.SetText("01/01/2005");
            begin.SetDate(start.month, start.day, start.fullYear());
            finish.SetText("01/01/2005");
            finish.SetDate(end.month, end.day, end.fullYear());
            begin.SetTime(0, 0, 1, 0);
            finish.SetTime(0, 0, 1, 0);
            begin.SetTimeZone(0);
            finish.SetTimeZone(0);
            begin.SetDST(FALSE);
            finish.SetDST(FALSE);
            LNDatetimes busy;
            const LNString userName(name.c_str());
            if (book->BusyTimeSearch(LNDatetimeRange(begin, finish), &busy, userName) == 0) {
                for (LNINT r = 0; r < busy.GetDatetimeRangeCount(); ++r) {
                    LNDatetimeRange range;
                    busy.GetDatetimeRange(r, &range);
                    coalescer.add(NotesDocument::gmtDateTime(range.GetBegin()),
                                  NotesDocument::gmtDateTime(range.GetEnd()), 2);
                }
                Lattice::String text(2048, 256);
                coalescer.addToString(text);
                if (out)
                    out->add(Lattice::Data(text));
            }
            coalescer.clear();
        }
    });
    return 0;
}

LATTICE_REGISTER_CLASS(CalendarProvider);

} // namespace hxMail::hxNotesProvider
