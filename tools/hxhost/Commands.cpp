#include "Commands.h"

#include "provider/MailProvider.h"
#include "provider/NotesProviderFactory.h"

#include <cstdlib>
#include <ostream>

namespace hxhost {

void CommandRegistry::add(Command command) {
    const std::string name = command.name;
    commands_[name] = std::move(command);
}

const Command* CommandRegistry::find(const std::string& name) const {
    auto it = commands_.find(name);
    return it == commands_.end() ? nullptr : &it->second;
}

hxMail::MailProvider& requireProvider(CommandContext& context) {
    hxMail::MailProvider* provider = context.host.provider();
    if (!provider)
        throw CommandError(context.host.error());
    return *provider;
}

std::vector<ListedMessage>& lastListing() {
    static std::vector<ListedMessage> listing;
    return listing;
}

std::string resolveMessageId(const std::string& text) {
    if (text.empty() || text[0] != '#')
        return text;
    const std::string digits = text.substr(1);
    const bool number =
        !digits.empty() && digits.size() < 9 && digits.find_first_not_of("0123456789") == std::string::npos;
    const long row = number ? std::stol(digits) : 0;
    const auto& listing = lastListing();
    if (row < 1 || static_cast<std::size_t>(row) > listing.size())
        throw CommandError("\"" + text + "\" names no row of the last listing (" +
                           std::to_string(listing.size()) + " row(s); run \"ls\" first)");
    return listing[static_cast<std::size_t>(row - 1)].id;
}

namespace {

void info(CommandContext& context, const Args&, Json& out) {
    if (!context.host.load())
        throw CommandError(context.host.error());
    auto* factory = context.host.factory();
    out["typeName"] = factory->getTypeName();
    out["displayName"] = factory->getDisplayName();
    out["plugin"] = context.host.path();
}

void session(CommandContext& context, const Args&, Json& out) {
    // The plug-in's provider class is not exported; its layout is known from its header.
    auto& provider = static_cast<hxMail::hxNotesProvider::MailProvider&>(requireProvider(context));
    LNNotesSession* notes = provider.getSession();
    const bool open = notes && notes->IsInitialized();
    out["providerMade"] = true;
    out["sessionOpen"] = open;
    out["server"] = provider.getServerName().c_str();
    const char* dataDir = std::getenv("NOTES_DATA_DIR");
    out["dataDir"] = dataDir ? dataDir : "";
    out["mailBox"] = provider.getMailBox() != nullptr;
    out["directory"] = provider.getDirectory() != nullptr;
}

void echo(CommandContext&, const Args& args, Json& out) {
    std::string text;
    for (const std::string& word : args)
        text += (text.empty() ? "" : " ") + word;
    out["text"] = text;
}

void renderEcho(const Json& result, std::ostream& out) {
    out << result.value("text", "") << "\n";
}

} // namespace

void registerCommands(CommandRegistry& registry) {
    registerFrameCommands(registry);
    registerLoginCommands(registry);
    registerAddressCommands(registry);
    registerFolderCommands(registry);
    registerMessageCommands(registry);
}

void registerFrameCommands(CommandRegistry& registry) {
    registry.add({"echo", "[TEXT...]", "Prints TEXT (headings in scripts).", 0, 64, echo, renderEcho});
    registry.add(
        {"info", "", "The factory's type and display names and the plug-in's path.", 0, 0, info, nullptr});
    registry.add({"session", "", "Makes the session's provider (once) and shows its Notes session.", 0, 0,
                  session, nullptr});
}

} // namespace hxhost
