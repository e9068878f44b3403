#include "datafolder.h"

#include "text.h"

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;

namespace domino {

namespace {

// An entry of `dir` named `name` ignoring case; symbolic links are not followed out of the folder.
std::optional<fs::path> entry(const fs::path& dir, const std::string& name, bool wantDirectory) {
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        if (!equalsNoCase(it->path().filename().string(), name)) {
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

std::string firstText(const notes::Note& note, const char* name) {
    const notes::Item* item = note.find(name);
    std::vector<std::string> values;
    if (item == nullptr || !notes::ods::decodeText(item->type, item->value, &values) || values.empty()) {
        return "";
    }
    return values.front();
}

} // namespace

std::optional<std::string> DataFolder::server(const std::string& name) const {
    const std::string cn = notes::commonName(name);
    if (!plainSegment(cn)) {
        return std::nullopt;
    }
    if (auto dir = entry(root_, cn, true)) {
        return dir->filename().string();
    }
    return std::nullopt;
}

std::vector<std::string> DataFolder::servers() const {
    std::vector<std::string> out;
    std::error_code ec;
    for (fs::directory_iterator it(root_, ec), end; !ec && it != end; it.increment(ec)) {
        if (fs::is_directory(it->symlink_status(ec))) {
            out.push_back(it->path().filename().string());
        }
    }
    std::sort(out.begin(), out.end());
    return out;
}

std::optional<std::string> DataFolder::databaseFile(const std::string& serverFolder,
                                                    const std::vector<std::string>& segments) const {
    if (segments.empty() || !plainSegment(serverFolder)) {
        return std::nullopt;
    }
    fs::path at = fs::path(root_) / serverFolder;
    for (std::size_t i = 0; i < segments.size(); ++i) {
        if (!plainSegment(segments[i])) {
            return std::nullopt;
        }
        auto next = entry(at, segments[i], i + 1 < segments.size());
        if (!next) {
            return std::nullopt;
        }
        at = *next;
    }
    // Belt and braces: whatever the matching did, the file lies inside the data folder.
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

std::vector<Person> DataFolder::findPeople(const std::string& loginName) const {
    std::vector<std::string> keys{loginName};
    if (loginName.find('/') != std::string::npos) {
        const std::string canonical = notes::canonicalizeName(loginName);
        if (!notes::nameEquals(canonical, loginName)) {
            keys.push_back(canonical);
        }
    }
    for (const std::string& server : servers()) {
        const auto file = databaseFile(server, {"names.nsf"});
        if (!file) {
            continue;
        }
        std::shared_ptr<notes::Database> db;
        NOTEID view = 0;
        notes::ViewDesign design;
        if (notes::Database::open(*file, server, "names.nsf", &db) != NOERROR ||
            db->findDesign(NOTE_CLASS_VIEW, "($Users)", &view) != NOERROR ||
            db->viewDesign(view, &design) != NOERROR) {
            continue;
        }
        std::vector<NOTEID> found;
        for (const std::string& key : keys) {
            const std::string prefix = notes::viewFindKey(design, 0, key, false);
            std::vector<NOTEID> ids;
            if (prefix.empty() || db->viewMatches(view, 0, prefix, &ids) != NOERROR) {
                continue;
            }
            for (NOTEID id : ids) {
                if (std::find(found.begin(), found.end(), id) == found.end()) {
                    found.push_back(id);
                }
            }
        }
        std::vector<Person> people;
        for (NOTEID id : found) {
            notes::Note note;
            if (db->load(id, &note) != NOERROR || !notes::nameEquals(firstText(note, "Form"), "Person")) {
                continue; // groups share the view but cannot log in
            }
            people.push_back({firstText(note, "FullName"), firstText(note, "MailServer"),
                              firstText(note, "MailFile"), firstText(note, "HTTPPassword")});
        }
        if (!people.empty()) {
            return people;
        }
    }
    return {};
}

std::string normalDatabasePath(const std::string& path) {
    std::string out;
    for (char c : path) {
        out.push_back(c == '\\' ? '/' : static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    }
    while (!out.empty() && out.front() == '/') {
        out.erase(out.begin());
    }
    const std::size_t slash = out.rfind('/');
    const std::string last = out.substr(slash == std::string::npos ? 0 : slash + 1);
    if (!last.empty() && last.find('.') == std::string::npos) {
        out += ".nsf";
    }
    return out;
}

} // namespace domino
