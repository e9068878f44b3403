// Runtime start and stop, the data directory, and the mapping of server + path to a file.
#include "notes/admin/config.h"

#include "runtime.h"
#include "values.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>

namespace fs = std::filesystem;

namespace notes {
namespace {

std::mutex gMutex;
int gInitCount = 0;
std::string gDataDirectory; // empty: not resolved yet

std::string trimmed(std::string s) {
    while (!s.empty() && (s.back() == '\r' || s.back() == ' ' || s.back() == '\t')) {
        s.pop_back();
    }
    std::size_t b = 0;
    while (b < s.size() && (s[b] == ' ' || s[b] == '\t')) {
        ++b;
    }
    return s.substr(b);
}

std::string resolveDirectory(const std::string& iniPath) {
    std::string dir;
    if (!iniPath.empty()) {
        dir = iniDirectory(iniPath);
    }
    if (dir.empty()) {
        if (const char* env = std::getenv("NOTES_DATA_DIR"); env != nullptr && *env != '\0') {
            dir = env;
        }
    }
    if (dir.empty()) {
        dir = iniDirectory("notes.ini");
    }
    if (dir.empty()) {
        std::error_code ec;
        dir = fs::current_path(ec).string();
    }
    while (dir.size() > 1 && (dir.back() == '/' || dir.back() == '\\')) {
        dir.pop_back();
    }
    return dir;
}

// The entry of `parent` whose name matches `name` ignoring case; `name` itself when none does.
std::string matchEntry(const fs::path& parent, const std::string& name) {
    std::error_code ec;
    if (fs::exists(parent / name, ec)) {
        return name;
    }
    for (fs::directory_iterator it(parent, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string candidate = it->path().filename().string();
        if (nameEquals(candidate, name)) {
            return candidate;
        }
    }
    return name;
}

// An entry of `dir` named `name` ignoring case; links are not followed out of the directory.
std::optional<fs::path> unlinkedEntry(const fs::path& dir, const std::string& name, bool wantDirectory) {
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        if (!nameEquals(it->path().filename().string(), name)) {
            continue;
        }
        const fs::file_status st = it->symlink_status(ec);
        if (ec) {
            return std::nullopt;
        }
        if (wantDirectory ? fs::is_directory(st) : fs::is_regular_file(st)) {
            return it->path();
        }
    }
    return std::nullopt;
}

bool plainSegment(const std::string& s) {
    return !s.empty() && s != "." && s != ".." && s.find_first_of("/\\:") == std::string::npos &&
           s.find('\0') == std::string::npos;
}

} // namespace

std::string iniDirectory(const std::string& iniPath) {
    std::ifstream in(iniPath);
    std::string line;
    while (std::getline(in, line)) {
        const std::size_t eq = line.find('=');
        if (eq != std::string::npos && nameEquals(trimmed(line.substr(0, eq)), "Directory")) {
            return trimmed(line.substr(eq + 1));
        }
    }
    return "";
}

STATUS initRuntime(const std::string& iniPath) {
    const std::string dir = resolveDirectory(iniPath);
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) {
        return ERR_NO_DATA_DIRECTORY;
    }
    std::lock_guard<std::mutex> lock(gMutex);
    gDataDirectory = dir;
    ++gInitCount;
    return NOERROR;
}

void termRuntime() {
    std::lock_guard<std::mutex> lock(gMutex);
    if (gInitCount > 0 && --gInitCount == 0) {
        gDataDirectory.clear();
    }
}

std::string dataDirectory() {
    std::lock_guard<std::mutex> lock(gMutex);
    if (gInitCount == 0) {
        return resolveDirectory("");
    }
    return gDataDirectory;
}

void splitNetPath(std::string_view netPath, std::string* server, std::string* path) {
    const std::size_t sep = netPath.find("!!");
    if (sep == std::string_view::npos) {
        server->clear();
        *path = std::string(netPath);
    } else {
        *server = std::string(netPath.substr(0, sep));
        *path = std::string(netPath.substr(sep + 2));
    }
}

DataDirectory::DataDirectory(std::string root) : root_(std::move(root)) {}

DataDirectory DataDirectory::current() {
    return DataDirectory(dataDirectory());
}

std::vector<std::string> DataDirectory::servers() const {
    std::vector<std::string> out;
    std::error_code ec;
    for (fs::directory_iterator it(root_, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->is_directory(ec)) {
            out.push_back(it->path().filename().string());
        }
    }
    std::sort(out.begin(), out.end());
    return out;
}

STATUS DataDirectory::serverFolder(std::string_view server, std::string* folder) const {
    const std::string& root = root_;
    std::error_code ec;
    if (!fs::is_directory(root, ec)) {
        return ERR_NO_DATA_DIRECTORY;
    }
    const std::string cn = commonName(server);
    if (cn.empty()) {
        *folder = root;
        return NOERROR;
    }
    if (cn == "." || cn == ".." || cn.find_first_of("/\\") != std::string::npos) {
        return ERR_SERVER_NOT_RESPONDING;
    }
    const fs::path dir = fs::path(root) / matchEntry(root, cn);
    if (!fs::is_directory(dir, ec)) {
        return ERR_SERVER_NOT_RESPONDING;
    }
    *folder = dir.string();
    return NOERROR;
}

STATUS DataDirectory::databaseFile(std::string_view server, std::string_view path, bool mustExist,
                                   std::string* file) const {
    std::string p(path);
    for (char& c : p) {
        if (c == '\\') {
            c = '/';
        }
    }
    if (p.empty()) {
        return ERR_NOEXIST;
    }
    if (p[0] == '/' || (p.size() >= 2 && p[1] == ':')) {
        return ERR_PATH_NOT_ALLOWED;
    }
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= p.size()) {
        std::size_t end = p.find('/', start);
        if (end == std::string::npos) {
            end = p.size();
        }
        const std::string part = p.substr(start, end - start);
        if (part == "..") {
            return ERR_PATH_NOT_ALLOWED;
        }
        if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    if (parts.empty()) {
        return ERR_NOEXIST;
    }
    if (parts.back().find('.') == std::string::npos) {
        parts.back() += ".nsf";
    }
    std::string root;
    if (STATUS s = serverFolder(server, &root); s != NOERROR) {
        return s;
    }
    fs::path full(root);
    for (const std::string& part : parts) {
        full /= matchEntry(full, part);
    }
    std::error_code ec;
    if (mustExist) {
        if (!fs::is_regular_file(full, ec)) {
            return ERR_NOEXIST;
        }
    } else {
        fs::create_directories(full.parent_path(), ec);
        if (ec) {
            return ERR_IO;
        }
    }
    *file = full.string();
    return NOERROR;
}

std::optional<std::string> DataDirectory::existingFile(const std::string& serverFolder,
                                                       const std::vector<std::string>& segments) const {
    if (segments.empty() || !plainSegment(serverFolder)) {
        return std::nullopt;
    }
    fs::path at = fs::path(root_) / serverFolder;
    for (std::size_t i = 0; i < segments.size(); ++i) {
        if (!plainSegment(segments[i])) {
            return std::nullopt;
        }
        auto next = unlinkedEntry(at, segments[i], i + 1 < segments.size());
        if (!next) {
            return std::nullopt;
        }
        at = *next;
    }
    // Belt and braces: whatever the matching did, the file lies inside the data directory.
    std::error_code ec;
    const fs::path real = fs::weakly_canonical(at, ec);
    const fs::path base = fs::weakly_canonical(root_, ec);
    if (ec) {
        return std::nullopt;
    }
    const auto [b, r] = std::mismatch(base.begin(), base.end(), real.begin(), real.end());
    if (b != base.end()) {
        return std::nullopt;
    }
    return real.string();
}

STATUS serverFolder(std::string_view server, std::string* folder) {
    return DataDirectory::current().serverFolder(server, folder);
}

STATUS resolveDatabaseFile(std::string_view server, std::string_view path, bool mustExist,
                           std::string* file) {
    return DataDirectory::current().databaseFile(server, path, mustExist, file);
}

} // namespace notes

extern "C" {

STATUS NotesInitExtended(int argc, char** argv) {
    std::string ini;
    if (argc > 1 && argv != nullptr && argv[1] != nullptr && argv[1][0] == '=') {
        ini = argv[1] + 1;
    }
    return notes::initRuntime(ini);
}

void NotesTerm(void) {
    notes::termRuntime();
}

WORD OSGetDataDirectory(char* retPath) {
    return static_cast<WORD>(notes::copyText(notes::dataDirectory(), retPath, MAXPATH));
}

STATUS OSPathNetConstruct(const char*, const char* serverName, const char* fileName, char* retPath) {
    if (fileName == nullptr || retPath == nullptr) {
        return ERR_INVALID_PARAM;
    }
    std::string out;
    if (serverName != nullptr && *serverName != '\0') {
        out = std::string(serverName) + "!!";
    }
    out += fileName;
    if (out.size() >= MAXPATH) {
        return ERR_BUFFER_TOO_SMALL;
    }
    std::memcpy(retPath, out.c_str(), out.size() + 1);
    return NOERROR;
}

} // extern "C"
