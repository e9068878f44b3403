// The login half of the address book: the directory lookup of a user and the password check.
#include "notes/NotesAddressBook.h"

#include "notes/NotesDocument.h"
#include "notes/NotesHandle.h"
#include "notes/NotesUser.h"
#include "provider/MailProvider.h"

#include "Lattice/Logger.h"
#include "notes/capi.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace hxMail::hxNotesProvider {

namespace {

constexpr const char* kLookupItems =
    "FullName;ShortName;FirstName;MiddleInitial;LastName;MailAddress;MailSystem;"
    "MailServer;MailDomain;MailFile;InternetAddress;HTTPPassword";
constexpr std::size_t kMaxLookupName = 511;
constexpr std::size_t kTextValueRoom = 519;
constexpr WORD kFullNameRoom = 1024;

// A digest of a password nobody has, made once. Checking against it when a user has no digest
// makes an unknown name cost as much as a wrong password, so the answer time does not tell which
// names exist.
const std::string& decoyDigest() {
    static const std::string digest = [] {
        static const char decoy[] = "no user has this password";
        BYTE out[SEC_DIGEST_SIZE] = {};
        WORD length = 0;
        if (SECHashPassword(static_cast<WORD>(sizeof decoy - 1), reinterpret_cast<const BYTE*>(decoy),
                            sizeof out, &length, out, 0, nullptr) != NOERROR)
            return std::string();
        return std::string(reinterpret_cast<const char*>(out), length);
    }();
    return digest;
}

STATUS verifyPassword(const Lattice::String& password, const std::string& digest) {
    if (password.length() > SEC_MAX_PASSWORD)
        return ERR_PASSWORD_TOO_LONG;
    return SECVerifyPassword(static_cast<WORD>(password.length()),
                             reinterpret_cast<const BYTE*>(password.data()),
                             static_cast<WORD>(std::min<std::size_t>(digest.size(), 0xFFFF)),
                             reinterpret_cast<const BYTE*>(digest.data()), 0, nullptr);
}

Lattice::String beforeFirst(const Lattice::String& text, char c) {
    const long at = text.find(c);
    return at >= 0 ? text.left(at) : text;
}

} // namespace

NotesAddressBook::NotesAddressBook(String serverName, String databasePath, MailProvider* provider,
                                   bool personal)
    : NotesDatabase(std::move(serverName), std::move(databasePath), provider), isPersonal(personal) {}

NotesAddressBook::NotesAddressBook(const NotesAddressBook& other) : NotesDatabase(other) {}

NotesAddressBook::~NotesAddressBook() = default;

bool NotesAddressBook::authenticate(String& userName, String& password, String& reserved,
                                    MailProvider* owner) {
    NotesUser* user = VerifyAndCreateUser(userName, password, reserved, owner);
    if (owner)
        owner->setUser(user);
    if (!user)
        return false;
    bool authenticated = user->isAuthenticated();
    if (authenticated && owner) {
        NotesDatabase* mailFile = user->getMailDatabase(owner);
        if (!mailFile || !mailFile->isOpen()) {
            // Without its mail file the account has nothing to show; say so now rather than
            // failing every folder operation afterwards.
            Lattice::Logger::print("Mail file %s on %s cannot be opened; login refused\n",
                                   user->getInfo()->mailFile.c_str(), user->getInfo()->mailServer.c_str());
            user->getInfo()->authenticated = false;
            authenticated = false;
        } else {
            owner->setUserMailDatabase(mailFile);
            owner->setUserAddressBook(user->getPabDatabase(owner));
        }
    }
    // The provider holds its own reference now.
    user->release();
    return authenticated;
}

NotesUser* NotesAddressBook::VerifyAndCreateUser(String& userName, String& password, String&,
                                                 MailProvider* owner) {
    NotesUser* user = new NotesUser(owner);
    user->addRef();
    _UserInfoStruct* info = user->getInfo();
    setNames(info, userName, owner);
    info->password = password;
    info->reservedText = String();
    info->recipient->set_displayName(info->commonName);
    info->recipient->set_recipientType(3);
    info->recipient->set_displayType(0);

    // Name spaces, names and items go in as consecutive zero-terminated strings.
    static const char nameSpace[] = "($Users)";
    char name[kMaxLookupName + 1] = {};
    std::memcpy(name, userName.data(),
                std::min<std::size_t>(static_cast<std::size_t>(userName.length()), kMaxLookupName));
    char items[512] = {};
    WORD itemCount = 0;
    char* itemNames[16] = {};
    {
        std::size_t at = 0;
        for (const char* p = kLookupItems; *p;) {
            const char* end = std::strchr(p, ';');
            const std::size_t len = end ? static_cast<std::size_t>(end - p) : std::strlen(p);
            itemNames[itemCount++] = items + at;
            std::memcpy(items + at, p, len);
            at += len + 1;
            p += len + (end ? 1 : 0);
        }
    }

    // A name with a zero byte inside would be looked up as its first part; it names nobody.
    if (userName.find('\0') >= 0) {
        info->validUser = true;
        if (checksPassword)
            (void)verifyPassword(info->password, decoyDigest());
        String id;
        getUserIdString(info->loginName, id, owner);
        info->recipient->set_emailType("SMTP");
        info->recipient->set_id(id);
        return user;
    }

    NotesMemory buffer;
    const STATUS status = NAMELookup2("", 0, 1, nameSpace, 1, name, itemCount, items, buffer.out());
    if (status != NOERROR) {
        std::printf("Error: unable to look up names in N&A books.\n");
        std::fflush(stdout);
        user->release();
        return nullptr;
    }

    void* lookup = OSLockObject(buffer.get());
    WORD matches = 0;
    void* nameResult = lookup ? NAMELocateNextName2(lookup, nullptr, &matches) : nullptr;
    info->validUser = true;
    // A login name that two people share would check one person's password and open another's
    // mail: it logs nobody in. (Recipient lookups check no password and keep the last match.)
    const bool ambiguous = checksPassword && matches > 1;
    if (ambiguous)
        Lattice::Logger::print("Login name %s matches %u people in the directory; login refused\n", name,
                               static_cast<unsigned>(matches));
    void* match = nullptr;
    for (WORD m = 0; nameResult && m < matches && !ambiguous; ++m) {
        match = NAMELocateNextMatch2(lookup, nameResult, match);
        if (!match)
            break;
        for (WORD i = 0; i < itemCount; ++i) {
            WORD dataType = 0;
            WORD size = 0;
            void* value = NAMELocateItem2(match, i, &dataType, &size);
            if (value)
                loadAddressBookItem(user, static_cast<char*>(match), itemNames[i], i,
                                    static_cast<char*>(value), dataType, size, owner);
        }
    }
    if (lookup)
        OSUnlockObject(buffer.get());
    buffer.reset();

    if ((ambiguous || info->passwordDigest.isEmpty()) && checksPassword)
        (void)verifyPassword(info->password, decoyDigest());

    hxMail::Recipient* recipient = info->recipient;
    if (info->mailSystem == "1") {
        recipient->set_emailType("NOTES");
        recipient->set_smtpAddress(info->abbreviatedName);
        recipient->set_emailAddress(info->loginName);
    } else {
        recipient->set_emailType("SMTP");
    }
    String id;
    getUserIdString(info->loginName, id, owner);
    recipient->set_id(id);

    // The caller takes over the reference made above.
    return user;
}

unsigned short NotesAddressBook::loadAddressBookItem(NotesUser* user, char* match, char* itemName,
                                                     unsigned short itemIndex, char* value,
                                                     unsigned short dataType, unsigned short valueLength,
                                                     MailProvider* owner) {
    if (!user || !user->getInfo() || !itemName || !value || valueLength <= 2)
        return 0;
    _UserInfoStruct* info = user->getInfo();

    if (dataType == TYPE_TEXT_LIST) {
        if (std::strcmp(itemName, "FullName") != 0)
            return 0;
        char text[kFullNameRoom] = {};
        if (NAMEGetTextItem2(match, itemIndex, 0, text, sizeof text) == NOERROR) {
            String fullName(text);
            setNames(info, fullName, owner);
        }
        return 0;
    }
    if (dataType != TYPE_TEXT)
        return 0;

    char buffer[kTextValueRoom + 1] = {};
    std::memcpy(buffer, value + 2, std::min<std::size_t>(valueLength - 2u, kTextValueRoom));
    const String text(buffer);
    if (std::strcmp(itemName, "ShortName") == 0) {
        info->shortName = text;
    } else if (std::strcmp(itemName, "FirstName") == 0) {
        info->firstName = text;
    } else if (std::strcmp(itemName, "MiddleInitial") == 0) {
        info->middleInitial = text;
    } else if (std::strcmp(itemName, "LastName") == 0) {
        info->lastName = text;
    } else if (std::strcmp(itemName, "MailServer") == 0) {
        info->mailServer = text;
    } else if (std::strcmp(itemName, "MailFile") == 0) {
        info->mailFile = text;
        // "mail\jdoe" gives "pab/jdoe_pab": the personal address book sits beside the mail folder.
        info->addressBookPath = "pab/" + text.substring(std::min(5L, text.length())) + "_pab";
    } else if (std::strcmp(itemName, "MailSystem") == 0) {
        info->mailSystem = text;
    } else if (std::strcmp(itemName, "InternetAddress") == 0) {
        info->internetAddress = text;
        info->recipient->set_smtpAddress(text);
    } else if (std::strcmp(itemName, "HTTPPassword") == 0) {
        info->passwordDigest = text;
        info->authenticated =
            checksPassword && verifyPassword(info->password, info->passwordDigest.str()) == NOERROR;
    }
    return 0;
}

void NotesAddressBook::setNames(_UserInfoStruct* info, String& name, MailProvider* owner) {
    if (!info)
        return;
    info->loginName = name;
    LNNotesSession* session = owner ? owner->getSession() : nullptr;
    String abbreviated = name;
    if (session) {
        try {
            abbreviated = session->AbbreviateName(LNString(name.data(), name.length())).GetTextPtr();
        } catch (LNSTATUS) {
            // A name the session cannot parse is used as given.
        }
    }
    info->commonName = beforeFirst(abbreviated, '/');
    info->abbreviatedName = beforeFirst(abbreviated, '@');
    info->credentialName = info->abbreviatedName;
}

void NotesAddressBook::setNames(NotesDocument* document, _UserInfoStruct* info, String& itemName,
                                MailProvider*) {
    if (!document || !info)
        return;
    const String abbreviated = document->getItemName(itemName.c_str(), 1, true);
    info->commonName = beforeFirst(abbreviated, '/');
    info->abbreviatedName = beforeFirst(abbreviated, '@');
    info->credentialName = info->abbreviatedName;
    info->loginName = document->getItemName(itemName.c_str(), 0, true);
}

void NotesAddressBook::getUserIdString(String name, String& id, MailProvider* owner) {
    LNNotesSession* session = owner ? owner->getSession() : nullptr;
    String now;
    if (session)
        now = session->GetCurrentDatetime().GetText().GetTextPtr();
    id = now + "---" + name;
}

Lattice::String NotesAddressBook::getUserNameFromId(String id) {
    const long at = id.find(String("---"));
    return at >= 0 ? id.substring(at + 3) : id;
}

long NotesAddressBook::getFolders(_UserInfoStruct*, String, Lattice::ObjectCollection* out) {
    addSystemFolder(Contacts, "Contacts", "($PeopleGroupsFlat)", FolderTypeContacts, out);
    return 0;
}

LATTICE_REGISTER_CLASS(NotesAddressBook);

} // namespace hxMail::hxNotesProvider
