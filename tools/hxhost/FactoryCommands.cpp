// info, session, echo and the factory's operations: the plug-in as the host first meets it.
#include "Commands.h"

#include <cstdlib>
#include <ostream>

namespace hxhost {

namespace {

MailProviderFactory& factory(CommandContext& context) {
    if (!context.host.load())
        throw CommandError(context.host.error());
    return *context.host.factory();
}

void info(CommandContext& context, const Args&, Json& out) {
    MailProviderFactory& f = factory(context);
    out["typeName"] = f.getTypeName();
    out["displayName"] = f.getDisplayName();
    out["plugin"] = context.host.path();
}

// What the host can see of a fresh provider; whether the plug-in's own session opened is its
// own business (it logs it).
void session(CommandContext& context, const Args&, Json& out) {
    hxMail::MailProvider& provider = requireProvider(context);
    out["providerMade"] = true;
    out["moduleName"] = provider.getModuleName().str();
    out["authenticated"] = provider.isAuthenticated();
    const char* dataDir = std::getenv("NOTES_DATA_DIR");
    out["dataDir"] = dataDir ? dataDir : "";
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

void registerFactoryCommands(CommandRegistry& registry) {
    registry.add(
        {"echo", "[TEXT...]", "Prints TEXT (headings in scripts).", 0, 64, echo, renderEcho, "shell"});
    registry.add({"info", "",
                  "The factory's type and display names (getTypeName, getDisplayName) and the "
                  "plug-in's path.",
                  0, 0, info, nullptr, "factory"});
    registry.add({"session", "",
                  "Makes the session's provider (createProvider, once) and shows what the host sees of it.",
                  0, 0, session, nullptr, "factory"});
    const auto f = [](Call& c) -> MailProviderFactory& { return factory(c.context()); };
    addOperations(
        registry, "factory",
        {
            {"getTypeName", "", "The provider type's name.",
             [f](Call& c) { c.out("typeName", Lattice::String(f(c).getTypeName())); }},
            {"getDisplayName", "", "The provider type's name for people.",
             [f](Call& c) { c.out("displayName", Lattice::String(f(c).getDisplayName())); }},
            {"createProvider", "", "Makes a second provider and drops it again (the session keeps its own).",
             [f](Call& c) {
                 Lattice::Ptr<hxMail::MailProvider> made(f(c).createProvider());
                 c.out("made", static_cast<bool>(made));
                 if (made)
                     c.out("moduleName", made->getModuleName());
             }},
            {"createAccount", "", "Makes the plug-in's account object and shows it.",
             [f](Call& c) {
                 Lattice::Ptr<hxMail::LotusNotesAccount> account(f(c).createAccount());
                 c.out("account", account);
             }},
            {"factoryReserved1", "[NUMBER]", "A reserved factory operation.",
             [f](Call& c) { c.status(f(c).factoryReserved1(c.number(0, "NUMBER"))); }},
            {"factoryReserved2", "", "A reserved factory operation.",
             [f](Call& c) { c.status(f(c).factoryReserved2()); }},
            {"factoryReserved3", "", "A reserved factory operation.",
             [f](Call& c) { c.status(f(c).factoryReserved3()); }},
        });
}

} // namespace hxhost
