#pragma once
#include "provider/Export.h"
#include "provider/Forward.h"

#include "Lattice/Base.h"
#include "Lattice/String.h"
#include "hxMail/Message.h"

namespace hxMail::hxNotesProvider {

// The logged-in user's record, read from the directory's person document.
struct _UserInfoStruct {
    Lattice::String abbreviatedName;
    Lattice::String internetAddress;
    Lattice::String firstName;
    Lattice::String middleInitial;
    Lattice::String lastName;
    Lattice::String shortName;
    Lattice::String credentialName;
    Lattice::String loginName;
    Lattice::String commonName;
    Lattice::String password;
    Lattice::String passwordDigest;
    Lattice::String reservedText;
    Lattice::String mailSystem;
    Lattice::String mailFile;
    Lattice::String addressBookPath;
    Lattice::String mailServer;
    bool authenticated = false;
    bool validUser = false;
    hxMail::Recipient* recipient = nullptr; // owned
};

// A directory user with the databases opened on the user's behalf.
class HX_EXPORT NotesUser : public Lattice::Base {
    LATTICE_CLASS(NotesUser, "NotesUser", Lattice::Base)
public:
    NotesUser();
    // An empty record and a new, empty recipient.
    explicit NotesUser(MailProvider* provider);
    // Copies nothing: the copy has no record.
    NotesUser(const NotesUser& other);
    NotesUser& operator=(const NotesUser&) = delete;
    ~NotesUser() override;

    _UserInfoStruct* getInfo() const { return info; }
    bool isAuthenticated() const { return info && info->authenticated; }
    bool isValidUser() const { return info && info->validUser; }
    hxMail::Recipient* getRecipient() const { return info ? info->recipient : nullptr; }

    // The user's mail file, made and opened on the first call.
    NotesDatabase* getMailDatabase(MailProvider* provider);
    // The user's personal address book, made and opened on the first call.
    NotesAddressBook* getPabDatabase(MailProvider* provider);
    // "Authorization: Basic " and the Base64 of "credentialName:password", for the Domino web task.
    Lattice::String getBase64Credentials();

protected:
    _UserInfoStruct* info = nullptr;
    NotesDatabase* mailDatabase = nullptr;
    NotesAddressBook* addressBook = nullptr;
    MailProvider* provider = nullptr;
};

} // namespace hxMail::hxNotesProvider
