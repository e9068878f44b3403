#include "notes/NotesUser.h"

#include "notes/NotesAddressBook.h"
#include "notes/NotesDatabase.h"

#include "Lattice/Util.h"

namespace hxMail::hxNotesProvider {

NotesUser::NotesUser() = default;

NotesUser::NotesUser(MailProvider* provider) : info(new _UserInfoStruct()), provider(provider) {
    info->recipient = new hxMail::Recipient();
    info->recipient->addRef();
}

NotesUser::NotesUser(const NotesUser& other) : Lattice::Base(other) {}

NotesUser::~NotesUser() {
    // The user owns its two databases; their handles were closed by the last unlockAll.
    if (mailDatabase) {
        mailDatabase->unlockHandle();
        mailDatabase->release();
    }
    if (addressBook) {
        addressBook->unlockHandle();
        addressBook->release();
    }
    if (info) {
        if (info->recipient)
            info->recipient->release();
        delete info;
    }
}

NotesDatabase* NotesUser::getMailDatabase(MailProvider* owner) {
    if (!mailDatabase && info) {
        mailDatabase = new NotesDatabase(info->mailServer, info->mailFile, owner);
        mailDatabase->addRef();
        mailDatabase->lockHandle();
    }
    return mailDatabase;
}

NotesAddressBook* NotesUser::getPabDatabase(MailProvider* owner) {
    if (!addressBook && info) {
        addressBook = new NotesAddressBook(info->mailServer, info->addressBookPath, owner, true);
        addressBook->addRef();
        addressBook->lockHandle();
    }
    return addressBook;
}

Lattice::String NotesUser::getBase64Credentials() {
    Lattice::String pair;
    if (info)
        pair = info->credentialName + ":" + info->password;
    return "Authorization: Basic " + Lattice::BaseObject64::encode(pair);
}

LATTICE_REGISTER_CLASS(NotesUser);

} // namespace hxMail::hxNotesProvider
