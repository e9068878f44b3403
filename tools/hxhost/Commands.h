#pragma once
#include "PluginHost.h"

#include <nlohmann/json.hpp>

#include <functional>
#include <iosfwd>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace hxhost {

using Json = nlohmann::ordered_json;
using Args = std::vector<std::string>;

// Thrown by a handler for a failed command; the text is what the user sees.
class CommandError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct CommandContext {
    PluginHost& host;
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
};

class CommandRegistry {
public:
    void add(Command command);
    const Command* find(const std::string& name) const;
    const std::map<std::string, Command>& all() const { return commands_; }

private:
    std::map<std::string, Command> commands_;
};

// Every command of the shell. A new group of commands (one per host operation) gets its own
// register function, called from here; "help" and "quit" belong to the shell itself.
void registerCommands(CommandRegistry& registry);
// The commands of the plug-in frame: info, session.
void registerFrameCommands(CommandRegistry& registry);
// Logging in and out and the user's mailbox: login, verify, logout, mailbox.
void registerLoginCommands(CommandRegistry& registry);
// The two address books: books, addresses, find, search.
void registerAddressCommands(CommandRegistry& registry);
// The mailbox's folders: folders, sort, index, ls, rm, markread, preview.
void registerFolderCommands(CommandRegistry& registry);

// Opening messages and their attachments: open, attachments, save-attachment.
void registerMessageCommands(CommandRegistry& registry);

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

} // namespace hxhost
