#pragma once
#include <string>

namespace hxMail {
class MailProvider;
namespace hxNotesProvider {
class NotesProviderFactory;
}
} // namespace hxMail

namespace hxhost {

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

    hxMail::hxNotesProvider::NotesProviderFactory* factory() const { return factory_; }
    // The session's provider, made on first use; null (with error() set) when it cannot be made.
    hxMail::MailProvider* provider();
    bool hasProvider() const { return provider_ != nullptr; }

private:
    std::string path_;
    std::string error_;
    void* module_ = nullptr;
    hxMail::hxNotesProvider::NotesProviderFactory* factory_ = nullptr;
    hxMail::MailProvider* provider_ = nullptr;
};

} // namespace hxhost
