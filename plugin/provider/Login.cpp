// Login, the user's mailbox and logout.
#include "notes/NotesAddressBook.h"
#include "notes/NotesUser.h"
#include "provider/OperationFrame.h"

namespace hxMail::hxNotesProvider {

bool MailProvider::authenticateUser(String& userName, String password, String reserved) {
    if (!user && directory) {
        {
            OperationFrame frame(this);
            directory->authenticate(userName, password, reserved, this);
        }
        if (isLoggedIn()) {
            OperationFrame frame(this);
            alignSyncTimes();
        }
    }
    return isLoggedIn();
}

long MailProvider::login(String userName, String password, String, long, long) {
    if (!authenticateUser(userName, password, String()))
        return 1;
    setAuthenticated(true);
    return 0;
}

bool MailProvider::verifyLogin(String userName, String password, String reserved, long, long, long) {
    return authenticateUser(userName, password, reserved);
}

long MailProvider::logout() {
    if (!user)
        return 0;
    // The user owns its databases, so their handles are closed before it goes.
    unlockAll();
    userMailDatabase = nullptr;
    userAddressBook = nullptr;
    NotesUser* leaving = user;
    user = nullptr;
    leaving->release();
    setAuthenticated(false);
    return 0;
}

long MailProvider::getMailbox(String, Lattice::Ptr<hxMail::Mailbox>& mailbox) {
    if (!isLoggedIn())
        return hxMail::kNotSupported;
    OperationFrame frame(this);
    if (NotesDatabase* mailFile = user->getMailDatabase(this)) {
        mailFile->createMailBox(user->getInfo(), mailbox);
        if (mailbox)
            mailboxId = mailbox->get_id();
    }
    return 0;
}

} // namespace hxMail::hxNotesProvider
