#pragma once
#include "hxMail/Message.h"

namespace hxMail {

class Appointment : public Message {
    LATTICE_CLASS(Appointment, "Appointment", Message)
#define HX_APPOINTMENT_PROPERTIES(P)                                                                         \
    P(Lattice::_DateTimeData, startDate)                                                                     \
    P(Lattice::_DateTimeData, endDate)                                                                       \
    P(Lattice::_TimeData, recurrenceStart)                                                                   \
    P(Lattice::_TimeData, recurrenceEnd)                                                                     \
    P(bool, allDay)                                                                                          \
    P(Lattice::String, location)                                                                             \
    P(bool, isMeeting)                                                                                       \
    P(bool, isRecurring)                                                                                     \
    P(bool, isOriginator)                                                                                    \
    P(bool, isProposal)                                                                                      \
    P(bool, hasSentInvitations)                                                                              \
    P(long, busyStatus)                                                                                      \
    P(long, color)
    LATTICE_PROPERTIES(Message, HX_APPOINTMENT_PROPERTIES)
#undef HX_APPOINTMENT_PROPERTIES
};

// An appointment's detail: the message detail plus its attendees. The attendee list exists from
// construction.
class AppointmentDetail : public MessageDetail {
    LATTICE_CLASS(AppointmentDetail, "AppointmentDetail", MessageDetail)
#define HX_APPOINTMENTDETAIL_PROPERTIES(P) P(Lattice::Ptr<Lattice::ObjectCollection>, attendeeList)
    LATTICE_PROPERTIES(MessageDetail, HX_APPOINTMENTDETAIL_PROPERTIES)
#undef HX_APPOINTMENTDETAIL_PROPERTIES
public:
    AppointmentDetail() {
        m_attendeeList = new Lattice::ObjectCollection();
    }
};

class AppointmentAttendee : public Lattice::SchemaBase {
    LATTICE_CLASS(AppointmentAttendee, "AppointmentAttendee", Lattice::SchemaBase)
#define HX_APPOINTMENTATTENDEE_PROPERTIES(P)                                                                 \
    P(Lattice::Ptr<Recipient>, recipient)                                                                    \
    P(long, attendType)                                                                                      \
    P(bool, sendMessage)
    LATTICE_PROPERTIES(Lattice::SchemaBase, HX_APPOINTMENTATTENDEE_PROPERTIES)
#undef HX_APPOINTMENTATTENDEE_PROPERTIES
};

// The repeat rule of a recurring appointment or task.
class RecurrenceObject : public Lattice::SchemaBase {
    LATTICE_CLASS(RecurrenceObject, "RecurrenceObject", Lattice::SchemaBase)
#define HX_RECURRENCEOBJECT_PROPERTIES(P)                                                                    \
    P(long, recurrenceType)                                                                                  \
    P(long, interval)                                                                                        \
    P(long, dayOfWeekMask)                                                                                   \
    P(long, dayOfMonth)                                                                                      \
    P(long, monthOfYear)                                                                                     \
    P(long, instance)                                                                                        \
    P(long, occurrences)                                                                                     \
    P(bool, noEndDate)                                                                                       \
    P(Lattice::_DateData, patternStartDate)                                                                  \
    P(Lattice::_DateData, patternEndDate)
    LATTICE_PROPERTIES(Lattice::SchemaBase, HX_RECURRENCEOBJECT_PROPERTIES)
#undef HX_RECURRENCEOBJECT_PROPERTIES
};

} // namespace hxMail
