// login, verify, logout, mailbox: the user's connection through the host's provider interface.
#include "Commands.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <ostream>

namespace hxhost {

namespace {

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

// Who logged in, as the host learns it: from the mailbox the provider builds for the user.
void describeUser(CommandContext& context, Json& out) {
    hxMail::Mailbox& box = sessionMailbox(context);
    out["mailboxId"] = box.get_id().str();
    out["fullName"] = box.get_displayName().str();
    if (const auto& person = box.get_person())
        if (const auto& r = person->get_recipient()) {
            out["notesName"] = r->get_smtpAddress().str();
            out["emailAddress"] = r->get_emailAddress().str();
            out["emailType"] = r->get_emailType().str();
        }
}

void login(CommandContext& context, const Args& args, Json& out) {
    hxMail::MailProvider& provider = requireProvider(context);
    std::string password = passwordFrom(args);
    const long status = provider.login(args[0], password, "", 0, 0);
    scrub(password);
    if (status != 0)
        throw CommandError("login refused for \"" + args[0] +
                           "\": unknown name or wrong password (a session may keep its first answer until "
                           "\"logout\")");
    // A new login is a new connection: the host asks for the mailbox again.
    context.host.session.clear();
    out["user"] = args[0];
    out["status"] = status;
    out["authenticated"] = provider.isAuthenticated();
    describeUser(context, out);
}

void renderLogin(const Json& r, std::ostream& out) {
    out << "Logged in as " << r.value("notesName", r.value("user", "")) << "\n";
    if (!r.value("emailAddress", "").empty())
        out << "  " << r.value("fullName", "") << ", " << r.value("emailType", "") << " address "
            << r.value("emailAddress", "") << "\n";
}

void verify(CommandContext& context, const Args& args, Json& out) {
    hxMail::MailProvider& provider = requireProvider(context);
    std::string password = passwordFrom(args);
    const bool ok = provider.verifyLogin(args[0], password, "", 0, 0, 0);
    scrub(password);
    out["user"] = args[0];
    out["verified"] = ok;
}

void renderVerify(const Json& r, std::ostream& out) {
    out << (r.value("verified", false) ? "Name and password are correct for "
                                       : "Name and password do not match for ")
        << r.value("user", "") << "\n";
}

void logout(CommandContext& context, const Args&, Json& out) {
    hxMail::MailProvider& provider = requireProvider(context);
    const bool hadUser = provider.isAuthenticated() || context.host.session.mailbox;
    out["status"] = provider.logout();
    // The host drops what it held for the user; the flag is the host's own.
    context.host.session.clear();
    provider.setAuthenticated(false);
    lastListing().clear();
    out["wasLoggedIn"] = hadUser;
}

void renderLogout(const Json& r, std::ostream& out) {
    out << (r.value("wasLoggedIn", false) ? "Logged out.\n" : "Nobody was logged in.\n");
}

void mailbox(CommandContext& context, const Args&, Json& out) {
    hxMail::MailProvider& provider = loggedInProvider(context);
    Lattice::Ptr<hxMail::Mailbox> box;
    out["status"] = provider.getMailbox("", box);
    if (!box)
        throw CommandError("the provider built no mailbox (is the mail file there?)");
    context.host.session.clear();
    context.host.session.mailbox = box;
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
    out["mailbox"] = toJson(box.get());
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
    const char* group = "main provider";
    registry.add({"login", "USER [PASSWORD]",
                  "Logs USER in (login) and asks for the user's mailbox (getMailbox); without PASSWORD it is "
                  "asked for on the terminal, without echo. A session keeps its first answer until logout.",
                  1, 2, login, renderLogin, group});
    registry.add({"verify", "USER [PASSWORD]",
                  "Checks a name and password (verifyLogin), without marking the session logged in.", 1, 2,
                  verify, renderVerify, group});
    registry.add({"logout", "", "Forgets the logged-in user (logout); the next login checks anew.", 0, 0,
                  logout, renderLogout, group});
    registry.add({"mailbox", "", "Builds the logged-in user's mailbox (getMailbox) and shows it.", 0, 0,
                  mailbox, renderMailbox, group});
}

} // namespace hxhost
