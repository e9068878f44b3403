#include "provider/MailProvider.h"

#include "notes/NotesUser.h"

#include "Lattice/Logger.h"
#include "Lattice/Settings.h"

#include <new>

namespace hxMail::hxNotesProvider {

MailProvider::MailProvider() {
    initialize();
}

MailProvider::MailProvider(const MailProvider& other) : hxMail::MailProvider(other) {
    initialize();
}

void MailProvider::initialize() {
    Lattice::Logger::init(2, "hxLog.log");

    user = nullptr;
    session = nullptr;
    serverName = Lattice::Settings::get("notes.server", kDefaultServer);
    showPreviewDefault = true;
    messageProvider_.setOwner(this);
    contactProvider_.setOwner(this);
    taskProvider_.setOwner(this);
    calendarProvider_.setOwner(this);
    groupProvider_.setOwner(this);
    meetingProvider_.setOwner(this);
    mailBox = nullptr;
    directory = nullptr;
    userMailDatabase = nullptr;
    userAddressBook = nullptr;

    session = new (std::nothrow) LNNotesSession();
    LNSTATUS status = LNERR_NULL_OBJECT;
    if (session) {
        try {
            status = session->Init(300, 0, nullptr, 0, nullptr);
        } catch (LNSTATUS thrown) {
            status = thrown;
        }
    }
    Lattice::Logger::print(status == LNNOERROR ? "Notes Session Opened!\n"
                                               : "Notes Session Failed to Open!\n");

    if (session && session->IsInitialized()) {
        mailBox = new NotesDatabase(serverName, "mail.box", this);
        mailBox->addRef();
        directory = new NotesAddressBook(serverName, "names.nsf", this, false);
        directory->addRef();
    }

    // Changes from before the provider existed are never reported.
    if (session) {
        lastMailSync = session->GetCurrentDatetime();
        lastAddressBookSync = session->GetCurrentDatetime();
    }
}

MailProvider::~MailProvider() {
    if (session) {
        try {
            session->Term(0);
        } catch (LNSTATUS) {
            // A session that never opened has nothing to end.
        }
    }
    Lattice::Logger::print("Notes Session Terminated!\n");

    // The user owns its two databases; the provider owns the server's two and the user.
    if (user)
        user->release();
    if (mailBox)
        mailBox->release();
    if (directory)
        directory->release();
    user = nullptr;
    mailBox = nullptr;
    directory = nullptr;
    userMailDatabase = nullptr;
    userAddressBook = nullptr;
    delete session;
    session = nullptr;

    contentIds.removeAll();
    conversionSettings.removeAll();
}

hxMail::NoteProvider* MailProvider::noteProvider() {
    return nullptr;
}
hxMail::TaskProvider* MailProvider::taskProvider() {
    return &taskProvider_;
}
hxMail::ContactProvider* MailProvider::contactProvider() {
    return &contactProvider_;
}
hxMail::CalendarProvider* MailProvider::calendarProvider() {
    return &calendarProvider_;
}
hxMail::MessageProvider* MailProvider::messageProvider() {
    return &messageProvider_;
}
hxMail::MeetingProvider* MailProvider::meetingProvider() {
    return &meetingProvider_;
}
hxMail::GroupProvider* MailProvider::groupProvider() {
    return &groupProvider_;
}

LATTICE_REGISTER_CLASS(MailProvider);

} // namespace hxMail::hxNotesProvider
