// login, verify, logout, mailbox: the user's connection through the host's provider interface.
#include "Commands.h"

#include "provider/MailProvider.h"

#include "hxMail/Folder.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <ostream>

namespace hxhost {

namespace {

// The plug-in's own provider class: its layout is known from its header, and it is needed for
// what the host interface does not show (the user's record).
hxMail::hxNotesProvider::MailProvider& notesProvider(CommandContext& context) {
    return static_cast<hxMail::hxNotesProvider::MailProvider&>(requireProvider(context));
}

// Overwrites a secret before its memory is given back.
void scrub(std::string& secret) {
    volatile char* p = secret.data();
    for (std::size_t i = 0; i < secret.size(); ++i)
        p[i] = 0;
    secret.clear();
}

// Reads a password from the terminal with echo off.
std::string askPassword(const std::string& user) {
    // Only someone typing at the shell can be asked; a script or pipe must say the password.
    const int fd = isatty(STDIN_FILENO) ? open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC) : -1;
    if (fd < 0)
        throw CommandError("no password given and no terminal to ask for one");
    const std::string prompt = "Password for " + user + ": ";
    (void)!write(fd, prompt.data(), prompt.size());
    termios saved{};
    const bool haveTerm = tcgetattr(fd, &saved) == 0;
    if (haveTerm) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(fd, TCSAFLUSH, &quiet);
    }
    std::string password;
    char c = 0;
    while (read(fd, &c, 1) == 1 && c != '\n' && c != '\r')
        password += c;
    if (haveTerm)
        tcsetattr(fd, TCSAFLUSH, &saved);
    (void)!write(fd, "\n", 1);
    close(fd);
    return password;
}

std::string passwordFrom(const Args& args) {
    return args.size() > 1 ? args[1] : askPassword(args[0]);
}

// What the directory said about the logged-in user; nothing secret.
void describeUser(hxMail::hxNotesProvider::MailProvider& provider, Json& out) {
    hxMail::hxNotesProvider::NotesUser* user = provider.getUser();
    const hxMail::hxNotesProvider::_UserInfoStruct* info = user ? user->getInfo() : nullptr;
    if (!info)
        return;
    out["fullName"] = info->commonName.str();
    out["notesName"] = info->abbreviatedName.str();
    out["internetAddress"] = info->internetAddress.str();
    out["mailServer"] = info->mailServer.str();
    out["mailFile"] = info->mailFile.str();
    out["addressBook"] = info->addressBookPath.str();
}

void login(CommandContext& context, const Args& args, Json& out) {
    auto& provider = notesProvider(context);
    std::string password = passwordFrom(args);
    const long status = provider.login(args[0], password, "", 0, 0);
    scrub(password);
    if (status != 0) {
        std::string why = "login refused for \"" + args[0] + "\": unknown name or wrong password";
        if (provider.getUser())
            why += " (this session keeps that answer until \"logout\")";
        throw CommandError(why);
    }
    out["user"] = args[0];
    out["authenticated"] = provider.isAuthenticated();
    describeUser(provider, out);
}

void renderLogin(const Json& r, std::ostream& out) {
    out << "Logged in as " << r.value("notesName", r.value("user", "")) << "\n";
    if (r.contains("mailFile"))
        out << "  mail file " << r.value("mailFile", "") << " on " << r.value("mailServer", "")
            << ", personal address book " << r.value("addressBook", "") << "\n";
}

void verify(CommandContext& context, const Args& args, Json& out) {
    auto& provider = notesProvider(context);
    std::string password = passwordFrom(args);
    const bool repeated = provider.getUser() != nullptr;
    const bool ok = provider.verifyLogin(args[0], password, "", 0, 0, 0);
    scrub(password);
    out["user"] = args[0];
    out["verified"] = ok;
    out["repeated"] = repeated;
}

void renderVerify(const Json& r, std::ostream& out) {
    out << (r.value("verified", false) ? "Name and password are correct for "
                                       : "Name and password do not match for ")
        << r.value("user", "")
        << (r.value("repeated", false) ? " (this session's first answer, kept until logout)" : "") << "\n";
}

void logout(CommandContext& context, const Args&, Json& out) {
    auto& provider = notesProvider(context);
    const bool hadUser = provider.getUser() != nullptr;
    provider.logout();
    out["wasLoggedIn"] = hadUser;
}

void renderLogout(const Json& r, std::ostream& out) {
    out << (r.value("wasLoggedIn", false) ? "Logged out.\n" : "Nobody was logged in.\n");
}

void mailbox(CommandContext& context, const Args&, Json& out) {
    auto& provider = notesProvider(context);
    if (!provider.isAuthenticated())
        throw CommandError("not logged in (use \"login USER PASSWORD\" first)");
    Lattice::Ptr<hxMail::Mailbox> box;
    provider.getMailbox("", box);
    if (!box)
        throw CommandError("the provider built no mailbox (is the mail file there?)");
    out["id"] = box->get_id().str();
    out["displayName"] = box->get_displayName().str();
    out["isSystem"] = box->get_isSystem();
    if (const auto& person = box->get_person()) {
        out["fullName"] = person->get_fullName().str();
        out["firstName"] = person->get_firstName().str();
        out["initials"] = person->get_initials().str();
        out["lastName"] = person->get_lastName().str();
        if (const auto& r = person->get_recipient()) {
            out["emailType"] = r->get_emailType().str();
            out["emailAddress"] = r->get_emailAddress().str();
            out["smtpAddress"] = r->get_smtpAddress().str();
        }
    }
    Json user;
    describeUser(provider, user);
    out["internetAddress"] = user.value("internetAddress", "");
    out["mailServer"] = user.value("mailServer", "");
    out["mailFile"] = user.value("mailFile", "");
    out["addressBook"] = user.value("addressBook", "");
}

void renderMailbox(const Json& r, std::ostream& out) {
    out << "Mailbox of " << r.value("displayName", "") << "\n";
    const std::pair<const char*, const char*> rows[] = {
        {"Mailbox id", "id"},
        {"First name", "firstName"},
        {"Initials", "initials"},
        {"Last name", "lastName"},
        {"Mail type", "emailType"},
        {"Notes address", "emailAddress"},
        {"Mail address", "smtpAddress"},
        {"Internet address", "internetAddress"},
        {"Mail server", "mailServer"},
        {"Mail file", "mailFile"},
        {"Address book", "addressBook"},
    };
    for (const auto& [label, key] : rows) {
        const std::string value = r.value(key, "");
        if (!value.empty())
            out << "  " << label << std::string(18 - std::char_traits<char>::length(label), ' ') << value
                << "\n";
    }
}

} // namespace

void registerLoginCommands(CommandRegistry& registry) {
    registry.add({"login", "USER [PASSWORD]",
                  "Logs USER in against the directory; without PASSWORD it is asked for on the terminal, "
                  "without echo. A session keeps its first answer until logout.",
                  1, 2, login, renderLogin});
    registry.add({"verify", "USER [PASSWORD]",
                  "Checks a name and password like login, without marking the session logged in.", 1, 2,
                  verify, renderVerify});
    registry.add({"logout", "", "Forgets the logged-in user; the next login checks anew.", 0, 0, logout,
                  renderLogout});
    registry.add(
        {"mailbox", "", "Builds the logged-in user's mailbox and shows it.", 0, 0, mailbox, renderMailbox});
}

} // namespace hxhost
