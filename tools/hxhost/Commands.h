#pragma once
#include "PluginHost.h"
#include "Reflect.h"

#include "hxMail/Items.h"
#include "hxMail/Providers.h"

#include <functional>
#include <iosfwd>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace hxhost {

using Args = std::vector<std::string>;

// Thrown by a handler for a failed command; the text is what the user sees.
class CommandError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct CommandContext {
    PluginHost& host;
    // Where a long-running command (watch) prints as it goes, and whether as JSON lines.
    std::ostream* live = nullptr;
    bool json = false;
};

// One shell command. The handler fills `out` with its result fields (printed as "key: value"
// lines, or as one JSON object with --json) and throws CommandError when it fails.
struct Command {
    std::string name;
    std::string usage; // arguments after the name, e.g. "FOLDER-ID [COUNT]"
    std::string help;
    std::size_t minArgs = 0;
    std::size_t maxArgs = 0;
    std::function<void(CommandContext&, const Args&, Json& out)> run;
    // Prints the result for a person instead of "key: value" lines; unused with --json.
    std::function<void(const Json& result, std::ostream& out)> render;
    // Whose operations the command drives ("main provider", "calendar provider", ...), for help.
    std::string group;
};

class CommandRegistry {
public:
    void add(Command command);
    const Command* find(const std::string& name) const;
    const std::map<std::string, Command>& all() const { return commands_; }
    // The command names in the order they were added.
    const std::vector<std::string>& order() const { return order_; }

private:
    std::map<std::string, Command> commands_;
    std::vector<std::string> order_;
};

// Every command of the shell; "help" and "quit" belong to the shell itself.
void registerCommands(CommandRegistry& registry);
// The factory: info, session and the factory's operations.
void registerFactoryCommands(CommandRegistry& registry);
// The main provider: the user's connection (login, verify, logout, mailbox), its folders (folders,
// sort, index, ls, rm, markread, preview) and every other operation by its own name.
void registerMainProviderCommands(CommandRegistry& registry);
void registerLoginCommands(CommandRegistry& registry);
void registerFolderCommands(CommandRegistry& registry);
// The address books through the contact provider's recipient folders: books, addresses, find,
// search; and the contact provider's operations.
void registerAddressCommands(CommandRegistry& registry);
void registerContactCommands(CommandRegistry& registry);
// A contact as a vCard file and back: contact-export, contact-import.
void registerVCardCommands(CommandRegistry& registry);
// Opening messages and their attachments (open, attachments, save-attachment) and the message
// provider's operations.
void registerMessageCommands(CommandRegistry& registry);
// Writing mail: compose, edit, reply, reply-all, forward, smart, importance.
void registerComposeCommands(CommandRegistry& registry);
void registerCalendarCommands(CommandRegistry& registry);
void registerTaskCommands(CommandRegistry& registry);
// What changed since the last look: changes, watch.
void registerChangeCommands(CommandRegistry& registry);
void registerNoteCommands(CommandRegistry& registry);
void registerMeetingCommands(CommandRegistry& registry);
void registerGroupCommands(CommandRegistry& registry);

// The rows of the last "ls", so that later commands can name a message as "#N" (1 is the first).
struct ListedMessage {
    std::string id;
    std::string subject;
};
std::vector<ListedMessage>& lastListing();
// A message id given as itself or as "#N" of the last listing; CommandError when "#N" is not there.
std::string resolveMessageId(const std::string& text);

// The provider of the session, or a CommandError saying why there is none.
hxMail::MailProvider& requireProvider(CommandContext& context);
// The provider once a login succeeded.
hxMail::MailProvider& loggedInProvider(CommandContext& context);
// The mailbox the host holds, asked for once after login.
hxMail::Mailbox& sessionMailbox(CommandContext& context);
// The folder list of the session's mailbox; built once per mailbox, since building it again
// makes new folder objects, which would forget a chosen sort order. `rebuild` asks anew.
const Lattice::ObjectCollection& sessionFolders(CommandContext& context, bool rebuild);
// A folder named by its display name (any case) or its id; CommandError listing the folders.
hxMail::Folder& pickFolder(CommandContext& context, const std::string& name);

// An address book's id: "gal" (the directory) or "pab" (the personal address book) as the contact
// provider names them under the mailbox, or an id as given.
Lattice::String bookId(CommandContext& context, const std::string& which);

long parseNumber(const std::string& text, const char* what, long least);

// The minimum and maximum number of arguments a usage text allows: WORD is required, [WORD] is
// optional, a trailing "..." repeats the word before it.
std::pair<std::size_t, std::size_t> arity(const std::string& usage);

// One call of a host operation: typed access to the command's arguments by position, the
// providers, and the result (the status and the output arguments). Arguments are all read before
// the operation runs, so a bad one stops the command before anything is touched.
class Call {
public:
    Call(CommandContext& context, const Args& args, Json& out) : context_(context), args_(args), out_(out) {}

    bool has(std::size_t i) const { return i < args_.size(); }
    Lattice::String text(std::size_t i, const char* fallback = "") const;
    long number(std::size_t i, const char* what, long fallback = 0) const;
    bool flag(std::size_t i, bool fallback = false) const;
    Lattice::_DateData date(std::size_t i) const;
    Lattice::_TimeData time(std::size_t i) const;
    Lattice::_DateTimeData dateTime(std::size_t i) const;
    // A folder by display name or id; an unknown name is passed on as an id.
    Lattice::String folder(std::size_t i) const;
    Lattice::String book(std::size_t i) const { return bookId(context_, word(i)); }
    // A message id or "#N" of the last listing.
    Lattice::String message(std::size_t i) const;
    // A new host item of class T with the FIELD=VALUE words and JSON objects from argument i on;
    // fields named "detail.X" (or a JSON "detail" object) are left to detail().
    template <class T> Lattice::Ptr<T> item(std::size_t from) const {
        Lattice::Ptr<T> made(new T());
        setMembers(*made, fieldWords(from, false));
        return made;
    }
    template <class T> Lattice::Ptr<T> detail(std::size_t from) const {
        Lattice::Ptr<T> made(new T());
        setMembers(*made, fieldWords(from, true));
        return made;
    }
    // The same fields (or with `detail` the detail's) written into an object the host already has.
    void setFields(Lattice::Object& target, std::size_t from, bool detail) const {
        setMembers(target, fieldWords(from, detail));
    }
    // The words from argument i on, each as a text element (ids, user names).
    Lattice::ObjectCollection texts(std::size_t from) const;

    hxMail::MailProvider& provider() const { return requireProvider(context_); }
    hxMail::MailProvider& main() const { return loggedInProvider(context_); }
    hxMail::MessageProvider& messages() const;
    hxMail::CalendarProvider& calendar() const;
    hxMail::ContactProvider& contacts() const;
    hxMail::TaskProvider& tasks() const;
    hxMail::NoteProvider& notes() const;
    hxMail::MeetingProvider& meetings() const;
    hxMail::GroupProvider& groups() const;
    CommandContext& context() const { return context_; }

    // The operation's answer: a status (0 done, -1 not supported) or, for the verify operations,
    // a yes or no.
    void status(long value) { out_["status"] = value; }
    void result(bool value) { out_["result"] = value; }
    void out(const char* key, const Lattice::String& value) { out_[key] = value.str(); }
    void out(const char* key, long value) { out_[key] = value; }
    void out(const char* key, bool value) { out_[key] = value; }
    void out(const char* key, const Lattice::_DateData& value) { out_[key] = toJson(Lattice::Data(value)); }
    void out(const char* key, const Lattice::ObjectCollection& value) { out_[key] = toJson(value); }
    void out(const char* key, const Lattice::Base* value) { out_[key] = toJson(value); }
    template <class T> void out(const char* key, const Lattice::Ptr<T>& value) { out(key, value.get()); }

private:
    const std::string& word(std::size_t i) const;
    std::vector<std::string> fieldWords(std::size_t from, bool detail) const;

    CommandContext& context_;
    const Args& args_;
    Json& out_;
};

// A command that calls one host operation, named after it. The usage gives its arguments (and
// with them how many it takes); `call` reads them from the Call and calls the operation.
struct OpRow {
    const char* name;
    const char* usage;
    const char* help;
    std::function<void(Call&)> call;
};
void addOperations(CommandRegistry& registry, const char* group, std::initializer_list<OpRow> rows);

// Prints an operation's result for a person: its status, its values, its objects member by member
// and its lists as tables of the useful columns.
void renderResult(const Json& result, std::ostream& out);

} // namespace hxhost
