#pragma once
#include "ProviderFactory.h"

#include "hxMail/Folder.h"

#include "Lattice/Data.h"

#include <map>
#include <string>

namespace hxhost {

// What the host keeps between calls for the session's user: only what the provider handed over.
struct HostSession {
    // The mailbox of the last getMailbox; its id names the mailbox in getFolders.
    Lattice::Ptr<hxMail::Mailbox> mailbox;
    // The folders of the last getFolders, for that mailbox id.
    Lattice::ObjectCollection folders;
    Lattice::String foldersFor;

    void clear() {
        folders.removeAll(true);
        foldersFor = Lattice::String();
        mailbox.reset();
    }
};

// Loads the plug-in the way the host does and keeps one provider for the whole session.
class PluginHost {
public:
    explicit PluginHost(std::string pluginPath);
    ~PluginHost();
    PluginHost(const PluginHost&) = delete;
    PluginHost& operator=(const PluginHost&) = delete;

    // dlopen + getMailProviderInterface; false with error() set when either fails.
    bool load();
    bool isLoaded() const { return factory_ != nullptr; }
    const std::string& path() const { return path_; }
    const std::string& error() const { return error_; }

    MailProviderFactory* factory() const { return factory_; }
    // The session's provider, made on first use; null (with error() set) when it cannot be made.
    hxMail::MailProvider* provider();
    bool hasProvider() const { return provider_ != nullptr; }
    // A child provider made by class name through the framework's class factory, for a child that
    // the main provider does not hand out; owned by the session, owned by (set to) the provider.
    Lattice::Base* childByName(const char* className);

    HostSession session;

private:
    std::string path_;
    std::string error_;
    void* module_ = nullptr;
    MailProviderFactory* factory_ = nullptr;
    hxMail::MailProvider* provider_ = nullptr;
    std::map<std::string, Lattice::Ptr<Lattice::Base>> children_;
};

} // namespace hxhost
