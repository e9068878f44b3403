// hxhost scripts from arbitrary text, run against the real plug-in on a small seeded server: every
// line either runs or fails with a message, and the shell survives whatever the arguments are.
// Scripts that would write files the script names (open --html, save-attachment) are left out.
#include "PluginHost.h"
#include "Shell.h"

#include "admin.h" // nsfadmin

#include "Lattice/Logger.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

const char* kFixture = R"({"servers": [{"name": "CN=Mail1/O=Acme", "domain": "Acme", "people": [
  {"fullName": "CN=Jane Doe/O=Acme", "shortName": "jdoe", "password": "pw", "mail": [
    {"from": "CN=John Smith/O=Acme", "to": ["CN=Jane Doe/O=Acme"], "subject": "Hello", "body": "Hi", "daysAgo": 1,
     "attachments": ["budget.xlsx"]}],
   "calendar": [{"subject": "Standup", "inDays": 1, "start": "09:00", "end": "09:15"}]},
  {"fullName": "CN=John Smith/O=Acme", "shortName": "jsmith", "password": "pw"}]}]})";

// The data folder, removed when the fuzzer exits (a crash keeps it, with the input that caused it).
struct TempFolder {
    std::string path;
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};

bool setUp() {
    char tmpl[] = "/tmp/fuzz-hxscript-XXXXXX";
    if (!mkdtemp(tmpl)) {
        std::abort();
    }
    static TempFolder folder{tmpl};
    const std::string& dir = folder.path;
    setenv("NOTES_DATA_DIR", dir.c_str(), 1);
    Lattice::Logger::setLogFolder(dir.c_str());
    std::ofstream(dir + "/server.json") << kFixture;
    std::ostringstream out, err;
    nsfadmin::Admin admin(dir, out, err);
    if (admin.seed(dir + "/server.json") != 0 || admin.dbCreate({"Mail1", "mail.box"}, "") != 0) {
        std::abort();
    }
    return true;
}

// True when some command of the script writes a file that the script names.
bool writesFiles(const std::string& script) {
    std::istringstream in(script);
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::vector<std::string>> commands;
        std::string error;
        hxhost::Shell::parse(line, commands, error);
        for (const auto& words : commands) {
            for (const std::string& w : words) {
                if (w == "save-attachment" || w == "--html") {
                    return true;
                }
            }
        }
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = setUp();
    static hxhost::CommandRegistry registry = [] {
        hxhost::CommandRegistry r;
        hxhost::registerCommands(r);
        return r;
    }();
    (void)ready;
    const std::string script(reinterpret_cast<const char*>(data), size);
    if (writesFiles(script)) {
        return 0;
    }
    hxhost::PluginHost host(HX_PLUGIN_PATH);
    std::ostringstream out, err;
    hxhost::Shell shell(host, registry, size % 2 == 0, out, err);
    std::istringstream in(script);
    shell.interactive(in, false);
    return 0;
}
