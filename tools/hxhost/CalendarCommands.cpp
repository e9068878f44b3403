// The calendar provider's operations. Appointments are given as fields of an Appointment
// (subject=..., startDate=2026-12-07T12:00, location=...) and of its detail (detail.body.text=...).
#include "Commands.h"
#include "UserCalendar.h"

#include <ctime>
#include <map>
#include <ostream>
#include <vector>

namespace hxhost {

namespace {

using Collection = Lattice::ObjectCollection;
using AppointmentPtr = Lattice::Ptr<hxMail::Appointment>;
using DetailPtr = Lattice::Ptr<hxMail::AppointmentDetail>;

AppointmentPtr appointment(const Call& c, std::size_t from) {
    return c.item<hxMail::Appointment>(from);
}
DetailPtr detail(const Call& c, std::size_t from) {
    return c.detail<hxMail::AppointmentDetail>(from);
}

std::string field(const Json& object, const char* name) {
    const auto it = object.find(name);
    return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

// One line per appointment: its row number (for appt, appt-move, appt-rm), when, what, where, what kind.
void renderAgenda(const Json& result, std::ostream& out) {
    const auto list = result.find("appointments");
    if (result.value("status", 0L) != 0 || list == result.end() || !list->is_array()) {
        renderResult(result, out);
        return;
    }
    if (list->empty())
        out << "no appointments\n";
    // A colleague's rows are not numbered: #N names the user's own entries, which she can open.
    const bool own = !result.contains("user");
    int row = 0;
    for (const Json& a : *list) {
        if (own)
            out << "#" << ++row << "  ";
        else
            out << "-   ";
        std::string kind = a.value("isMeeting", false) ? "meeting"
                           : a.value("allDay", false)  ? "all day"
                                                       : "";
        if (a.value("busyStatus", 2L) == 0)
            kind += kind.empty() ? "penciled in" : ", penciled in";
        out << field(a, "startDate") << " - " << field(a, "endDate") << "  " << field(a, "subject");
        if (!field(a, "location").empty())
            out << "  @ " << field(a, "location");
        if (!kind.empty())
            out << "  (" << kind << ")";
        out << "\n";
    }
}

// "today", "+N" and "-N" (days from today, by this machine's clock in GMT) as YYYY-MM-DD; any other
// word is left to the date parser.
std::string relativeDay(const std::string& word) {
    long offset = 0;
    if (word == "today") {
        offset = 0;
    } else if (word.size() > 1 && (word[0] == '+' || word[0] == '-') &&
               word.find_first_not_of("0123456789", 1) == std::string::npos && word.size() < 7) {
        offset = std::stol(word);
    } else {
        return word;
    }
    const std::time_t when = std::time(nullptr) + offset * 86400;
    std::tm parts{};
    gmtime_r(&when, &parts);
    char text[16];
    std::strftime(text, sizeof text, "%Y-%m-%d", &parts);
    return text;
}

// The dates each appointment of the last own listing was listed for, so appt-edit finds it again
// with the same query.
std::map<std::string, std::pair<Lattice::_DateData, Lattice::_DateData>>& listedRanges() {
    static std::map<std::string, std::pair<Lattice::_DateData, Lattice::_DateData>> ranges;
    return ranges;
}

// The plug-in's own slot for a named user's calendar. Only the Notes plug-in's calendar provider
// has it, so any other plug-in is refused rather than called through a slot it lacks.
UserCalendarProvider& userCalendar(const Call& c) {
    MailProviderFactory* factory = c.context().host.factory();
    if (!factory || std::string(factory->getTypeName() ? factory->getTypeName() : "") != "hxNotes")
        throw CommandError(
            "cal --user needs the Notes plug-in (hxNotes); this plug-in lists no user's calendar");
    return static_cast<UserCalendarProvider&>(c.calendar());
}

// The appointment with `id` as the Calendar holds it now: searched in the dates it was last listed
// for, else over every date the host shows.
Lattice::Ptr<hxMail::Appointment> currentAppointment(const Call& c, const Lattice::String& id) {
    const std::pair<Lattice::_DateData, Lattice::_DateData> always{parseDate("1970-01-01", "date"),
                                                                   parseDate("2099-12-31", "date")};
    std::vector<std::pair<Lattice::_DateData, Lattice::_DateData>> ranges;
    if (const auto it = listedRanges().find(id.str()); it != listedRanges().end())
        ranges.push_back(it->second);
    ranges.push_back(always); // not listed, or moved since
    const Lattice::String calendarId = pickFolder(c.context(), "Calendar").get_id();
    for (const auto& [from, to] : ranges) {
        Collection list;
        c.calendar().getAppointmentRange(calendarId, from, to, true, &list);
        for (const Lattice::Data& d : list)
            if (auto* a = d.toObject<hxMail::Appointment>(); a && a->get_id() == id)
                return Lattice::Ptr<hxMail::Appointment>(a);
    }
    throw CommandError("no appointment of the Calendar has the id " + id.str());
}

// A readable command that calls one operation.
void addAgendaCommand(CommandRegistry& registry, const char* name, const char* usage, const char* help,
                      std::function<void(Call&)> call) {
    const auto [least, most] = arity(usage);
    registry.add({name, usage, help, least, most,
                  [call](CommandContext& context, const Args& args, Json& out) {
                      Call c(context, args, out);
                      call(c);
                  },
                  renderResult, "calendar"});
}

} // namespace

void registerCalendarCommands(CommandRegistry& registry) {
    addOperations(
        registry, "calendar provider",
        {
            {"newAppointment", "FOLDER [FIELD=VALUE...]", "Creates an appointment from the fields.",
             [](Call& c) {
                 AppointmentPtr a = appointment(c, 1);
                 c.status(c.calendar().newAppointment(c.folder(0), a));
                 c.out("appointment", a);
             }},
            {"addAppointment", "FOLDER [FIELD=VALUE...]",
             "Creates an appointment with its detail (detail.X=...).",
             [](Call& c) {
                 c.status(c.calendar().addAppointment(c.folder(0), appointment(c, 1), detail(c, 1), ""));
             }},
            {"removeAppointment", "ID", "Deletes an appointment.",
             [](Call& c) {
                 bool removed = false;
                 c.status(c.calendar().removeAppointment(c.message(0), false, false, removed));
                 c.out("removed", removed);
             }},
            {"getAppointmentDetail", "ID", "An appointment's detail.",
             [](Call& c) {
                 DetailPtr d(new hxMail::AppointmentDetail());
                 c.status(c.calendar().getAppointmentDetail(c.message(0), d));
                 c.out("detail", d);
             }},
            {"sendUpdateEx", "[FIELD=VALUE...]", "Sends an update of an appointment.",
             [](Call& c) {
                 bool sent = false;
                 c.status(c.calendar().sendUpdateEx(appointment(c, 0), sent));
                 c.out("sent", sent);
             }},
            {"saveAppointment", "[FIELD=VALUE...]", "Writes the fields into the appointment id=ID.",
             [](Call& c) {
                 bool flag = true;
                 c.status(c.calendar().saveAppointment(appointment(c, 0), detail(c, 0), flag));
                 c.out("flag", flag);
             }},
            {"appointmentTimeChanged", "ID START END [SUBJECT]",
             "Moves an appointment (date-times YYYY-MM-DDTHH:MM[Z|+HH:MM]) and gives it SUBJECT.",
             [](Call& c) {
                 c.status(c.calendar().appointmentTimeChanged(c.message(0), c.dateTime(1), c.dateTime(2),
                                                              c.text(3), false, false));
             }},
            {"sendAppointment", "[FIELD=VALUE...]", "Sends an appointment as an invitation.",
             [](Call& c) { c.status(c.calendar().sendAppointment(appointment(c, 0), detail(c, 0), "")); }},
            {"deleteRecurringAppointment", "ID INSTANCE [TEXT]",
             "Deletes one instance of a repeating appointment.",
             [](Call& c) {
                 c.status(
                     c.calendar().deleteRecurringAppointment(c.message(0), c.dateTime(1), c.text(2), false));
             }},
            {"recurrenceChanged", "ID START START-TIME END-TIME [FIELD=VALUE...]",
             "Changes the repeat rule (fields of a RecurrenceObject) of an appointment.",
             [](Call& c) {
                 Lattice::_DateData first;
                 Lattice::_DateData last;
                 Lattice::String newId;
                 Collection changed;
                 c.status(c.calendar().recurrenceChanged(c.message(0), c.item<hxMail::RecurrenceObject>(4),
                                                         c.dateTime(1), c.time(2), c.time(3), "", first,
                                                         newId, &changed, last));
                 c.out("firstDate", first);
                 c.out("newId", newId);
                 c.out("changed", changed);
                 c.out("lastDate", last);
             }},
            {"getAppointmentRange", "FOLDER START END", "The appointments of a folder between two dates.",
             [](Call& c) {
                 Collection out;
                 c.status(c.calendar().getAppointmentRange(c.folder(0), c.date(1), c.date(2), true, &out));
                 c.out("appointments", out);
             }},
            {"getAppointmentDatesRange", "FOLDER START END", "The same, as the host asks for a date range.",
             [](Call& c) {
                 Collection out;
                 c.status(c.calendar().getAppointmentDatesRange(c.folder(0), c.date(1), c.date(2), "", &out));
                 c.out("appointments", out);
             }},
            {"addRecurringBreak", "[FIELD=VALUE...]", "Splits a repeating appointment.",
             [](Call& c) {
                 Lattice::String newId;
                 long status = 0;
                 c.status(c.calendar().addRecurringBreak(appointment(c, 0), detail(c, 0), newId, status));
                 c.out("newId", newId);
                 c.out("breakStatus", status);
             }},
            {"getFilteredDistributionRecipients", "LIST FILTER START END",
             "The members of a distribution list free between two dates.",
             [](Call& c) {
                 Collection out;
                 c.status(c.calendar().getFilteredDistributionRecipients(c.text(0), c.text(1), c.date(2),
                                                                         c.date(3), &out));
                 c.out("recipients", out);
             }},
            {"getFreeBusyBlocks", "START END USER...",
             "The busy time of users (recipient ids) between two dates.",
             [](Call& c) {
                 Collection out;
                 c.status(c.calendar().getFreeBusyBlocks(c.date(0), c.date(1), c.texts(2), &out));
                 c.out("blocks", out);
             }},
            {"syncAppointments", "[FIELD=VALUE...]", "Hands the provider one appointment to synchronise.",
             [](Call& c) {
                 Collection list;
                 list.add(Lattice::Data(appointment(c, 0)));
                 c.status(c.calendar().syncAppointments(list));
             }},
        });

    registry.add(
        {"cal", "[FOLDER|--user NAME] FROM TO",
         "The appointments from FROM to TO (YYYY-MM-DD, today, +N or -N days; both days included) of "
         "FOLDER (default Calendar), or of the calendar of the person NAME (any Notes name form) where "
         "that person lets the user read it; one a line.",
         2, 4,
         [](CommandContext& context, const Args& given, Json& out) {
             Args args = given;
             std::string user;
             if (args[0] == "--user") {
                 if (args.size() != 4 || args[1].empty())
                     throw CommandError("cal --user takes a name and two dates: cal --user NAME FROM TO");
                 user = args[1];
                 args.erase(args.begin(), args.begin() + 2);
             } else if (args.size() == 4) {
                 throw CommandError("cal takes [FOLDER] FROM TO, or --user NAME FROM TO");
             }
             if (args.size() == 2)
                 args.insert(args.begin(), "Calendar");
             args[1] = relativeDay(args[1]);
             args[2] = relativeDay(args[2]);
             Call c(context, args, out);
             const Lattice::_DateData from = c.date(1), to = c.date(2);
             Collection list;
             if (!user.empty()) {
                 c.status(userCalendar(c).getUserAppointmentRange(user.c_str(), "", from, to, true, &list));
                 out["user"] = user;
                 c.out("appointments", list);
                 return;
             }
             c.status(c.calendar().getAppointmentRange(c.folder(0), from, to, true, &list));
             c.out("appointments", list);
             // Rows are "#N" for appt, appt-edit, appt-move and appt-rm, as a folder listing's are.
             lastListing().clear();
             listedRanges().clear();
             for (const Lattice::Data& d : list)
                 if (auto* a = d.toObject<hxMail::MessageItem>()) {
                     lastListing().push_back({a->get_id().str(), a->get_subject().str()});
                     listedRanges()[a->get_id().str()] = {from, to};
                 }
         },
         renderAgenda, "calendar"});
    registry.add({"freebusy", "FROM TO NAME...",
                  "The busy time of people (Notes names, any form) from FROM to TO (YYYY-MM-DD, today, +N or "
                  "-N), one line of merged spans per person that has a schedule.",
                  3, 1000,
                  [](CommandContext& context, const Args& given, Json& out) {
                      Args args = given;
                      args[0] = relativeDay(args[0]);
                      args[1] = relativeDay(args[1]);
                      // The host names a user by a recipient id: the name follows "---".
                      for (std::size_t i = 2; i < args.size(); ++i)
                          args[i] = "---" + args[i];
                      Call c(context, args, out);
                      Collection blocks;
                      c.status(c.calendar().getFreeBusyBlocks(c.date(0), c.date(1), c.texts(2), &blocks));
                      c.out("blocks", blocks);
                  },
                  renderResult, "calendar"});
    addAgendaCommand(registry, "appt", "ID", "An appointment's detail: owner, attendees, body.", [](Call& c) {
        DetailPtr d(new hxMail::AppointmentDetail());
        c.status(c.calendar().getAppointmentDetail(c.message(0), d));
        c.out("detail", d);
    });
    addAgendaCommand(registry, "appt-new", "FIELD=VALUE...",
                     "Creates an appointment in the Calendar (subject=..., startDate=YYYY-MM-DDTHH:MM, "
                     "endDate=..., location=..., isMeeting=true, allDay=true) and prints its id.",
                     [](Call& c) {
                         AppointmentPtr a = appointment(c, 0);
                         c.status(c.calendar().newAppointment("", a));
                         c.out("id", a->get_id());
                     });
    addAgendaCommand(
        registry, "appt-edit", "ID FIELD=VALUE...",
        "Changes fields of an appointment (subject=..., location=..., startDate=..., endDate=..., "
        "isMeeting=..., allDay=...; detail.X=... for its detail, saved with its body) and saves it; the "
        "others stay.",
        [](Call& c) {
            const Lattice::String id = c.message(0);
            // Every field is tried on scratch objects first, so a bad one stops before anything is read.
            AppointmentPtr scratch(new hxMail::Appointment());
            DetailPtr scratchDetail(new hxMail::AppointmentDetail());
            c.setFields(*scratch, 1, false);
            c.setFields(*scratchDetail, 1, true);
            if (!scratch->get_id().isEmpty())
                throw CommandError("appt-edit: the id is the first argument and cannot be changed");
            AppointmentPtr edited = currentAppointment(c, id);
            c.setFields(*edited, 1, false);
            // A detail is saved only when one of its fields is given: saving one rewrites the body.
            DetailPtr d;
            for (std::size_t i = 1; c.has(i) && !d; ++i) {
                const std::string word = c.text(i).str();
                if (word.rfind("detail.", 0) == 0 ||
                    (word[0] == '{' && word.find("\"detail\"") != std::string::npos))
                    d = new hxMail::AppointmentDetail();
            }
            if (d) {
                if (const long status = c.calendar().getAppointmentDetail(id, d); status != 0) {
                    c.status(status);
                    return;
                }
                // The body comes from the web task; a detail read without it would be saved with an
                // empty body unless the edit gives the body itself.
                const bool bodyGiven =
                    scratchDetail->get_body() && !scratchDetail->get_body()->get_text().isEmpty();
                if (d->get_textType().isEmpty() && !bodyGiven)
                    throw CommandError(
                        "appt-edit: the appointment's body could not be read (the web task did "
                        "not answer), so its detail is not saved; nothing was changed");
                c.setFields(*d, 1, true);
            }
            bool flag = true;
            c.status(c.calendar().saveAppointment(edited, d, flag));
            c.out("appointment", currentAppointment(c, id));
        });
    addAgendaCommand(registry, "appt-move", "ID START END SUBJECT",
                     "Moves an appointment (YYYY-MM-DDTHH:MM[Z|+HH:MM]) and gives it SUBJECT.", [](Call& c) {
                         c.status(c.calendar().appointmentTimeChanged(
                             c.message(0), c.dateTime(1), c.dateTime(2), c.text(3), false, false));
                     });
    addAgendaCommand(registry, "appt-rm", "ID", "Deletes an appointment; says whether it was deleted.",
                     [](Call& c) {
                         bool removed = false;
                         c.status(c.calendar().removeAppointment(c.message(0), false, false, removed));
                         c.out("removed", removed);
                     });
}

} // namespace hxhost
