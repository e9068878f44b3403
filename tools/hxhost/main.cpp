// hxhost: loads the Notes provider plug-in as the host does and drives it from commands.
#include "Shell.h"

#include "Lattice/Settings.h"

#include <CLI/CLI.hpp>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <streambuf>
#include <string>
#include <vector>

namespace {

// The plug-in beside the installed executable: <prefix>/bin/hxhost -> <prefix>/lib/.
std::string defaultPluginPath() {
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    const std::filesystem::path base = ec ? std::filesystem::current_path() : self.parent_path();
    return (base / ".." / "lib" / "libhxNotesProvider.so").lexically_normal().string();
}

// Writes to a descriptor of its own, so the result stream survives standard output being redirected.
class DescriptorBuffer : public std::streambuf {
public:
    explicit DescriptorBuffer(int fd) : fd_(fd) { setp(buffer_, buffer_ + sizeof buffer_); }
    DescriptorBuffer(const DescriptorBuffer&) = delete;
    DescriptorBuffer& operator=(const DescriptorBuffer&) = delete;
    ~DescriptorBuffer() override {
        sync();
        close(fd_);
    }

protected:
    int_type overflow(int_type ch) override {
        if (sync() != 0)
            return traits_type::eof();
        if (!traits_type::eq_int_type(ch, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(ch);
            pbump(1);
        }
        return traits_type::not_eof(ch);
    }
    int sync() override {
        const char* from = pbase();
        while (from < pptr()) {
            const ssize_t written = write(fd_, from, static_cast<std::size_t>(pptr() - from));
            if (written <= 0)
                return -1;
            from += written;
        }
        setp(buffer_, buffer_ + sizeof buffer_);
        return 0;
    }

private:
    int fd_;
    char buffer_[8192];
};

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"Loads the Notes provider plug-in the way the host does and runs commands against one "
                 "provider.\nWithout -c or SCRIPT it reads commands interactively; \"help\" lists them.\n"
                 "In -c and scripts the first failing command ends the run with exit status 1."};
    std::string pluginPath = defaultPluginPath();
    std::string dataDir;
    std::string commands;
    std::string script;
    std::vector<std::string> settings;
    bool json = false;
    app.add_option("--plugin", pluginPath, "The plug-in to load")->capture_default_str();
    app.add_option("--data", dataDir,
                   "Notes data directory (one folder per server), set before the provider is made");
    app.add_option("--set", settings,
                   "Framework setting KEY=VALUE (repeatable), set before the plug-in loads, e.g.\n"
                   "http.connectTo=Mail1:80=127.0.0.1:8080, runtimePath=/hx/, notes.server=Mail1")
        ->allow_extra_args(false);
    app.add_flag("--json", json, "Print each command's result as one JSON object per line");
    auto* commandOption = app.add_option("-c", commands, "Commands to run, separated by \";\"");
    app.add_option("SCRIPT", script, "A file of commands, one or more per line")->excludes(commandOption);
    CLI11_PARSE(app, argc, argv);

    if (!dataDir.empty()) {
        std::error_code ec;
        if (!std::filesystem::is_directory(dataDir, ec)) {
            std::cerr << "hxhost: --data " << dataDir << ": not a directory" << std::endl;
            return 2;
        }
        setenv("NOTES_DATA_DIR", dataDir.c_str(), 1);
    }

    for (const std::string& setting : settings) {
        const std::size_t eq = setting.find('=');
        if (eq == std::string::npos || eq == 0) {
            std::cerr << "hxhost: --set " << setting << ": expected KEY=VALUE" << std::endl;
            return 2;
        }
        Lattice::Settings::set(setting.substr(0, eq), setting.substr(eq + 1));
    }

    hxhost::CommandRegistry registry;
    hxhost::registerCommands(registry);
    hxhost::PluginHost host(pluginPath);
    // A script reading --json output must see only JSON lines, but the plug-in writes its own
    // notices to standard output; those are sent to standard error instead.
    std::optional<DescriptorBuffer> jsonBuffer;
    std::optional<std::ostream> jsonStream;
    if (json) {
        const int resultFd = dup(STDOUT_FILENO);
        if (resultFd >= 0 && dup2(STDERR_FILENO, STDOUT_FILENO) >= 0) {
            jsonBuffer.emplace(resultFd);
            jsonStream.emplace(&*jsonBuffer);
        } else if (resultFd >= 0) {
            close(resultFd);
        }
    }
    hxhost::Shell shell(host, registry, json, jsonStream ? *jsonStream : std::cout, std::cerr);

    bool ok = true;
    if (!commands.empty()) {
        ok = shell.runLine(commands);
    } else if (!script.empty()) {
        std::ifstream in(script);
        if (!in) {
            std::cerr << "hxhost: cannot read script " << script << std::endl;
            return 2;
        }
        ok = shell.runScript(in);
    } else {
        ok = shell.interactive(std::cin, isatty(STDIN_FILENO) != 0);
    }
    return ok ? 0 : 1;
}
