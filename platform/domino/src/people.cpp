#include "people.h"

#include "notes/admin/names.h"
#include "values.h"

#include <cctype>

namespace domino {

std::vector<Person> findPeople(const notes::DataDirectory& dir, const std::string& loginName) {
    static const std::vector<std::string> kItems{"Form", "FullName", "MailServer", "MailFile",
                                                 "HTTPPassword"};
    notes::NameLookup lookup;
    std::vector<notes::NameMatch> matches;
    if (lookup.open(dir, "", {"($Users)"}) != NOERROR ||
        lookup.find(loginName, false, kItems, &matches) != NOERROR) {
        return {};
    }
    const auto first = [](const std::pair<WORD, std::string>& item) {
        std::vector<std::string> values;
        if (item.first == 0 || !notes::ods::decodeText(item.first, item.second, &values) || values.empty()) {
            return std::string();
        }
        return values.front();
    };
    std::vector<Person> people;
    for (const notes::NameMatch& m : matches) {
        if (notes::nameEquals(first(m.items[0]), "Person")) {
            people.push_back({first(m.items[1]), first(m.items[2]), first(m.items[3]), first(m.items[4])});
        }
    }
    return people;
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
