// The directory name lookup behind NAMELookup2, for servers that answer logins themselves (the web
// task) in a data directory of their own.
#pragma once

#include "notes/admin/config.h"

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace notes {

// One document a name finds, with the asked items in the asked order: type word and value, or
// type 0 when the document has no such item.
struct NameMatch {
    std::string server;
    NOTEID note = 0;
    std::vector<std::pair<WORD, std::string>> items;
};

class NameLookup {
public:
    // The directories ("names.nsf") to search: the server's, or for "" the local one and then every
    // server's in folder-name order. ERR_NO_DIRECTORY when there is none, ERR_NAMESPACE_NOT_FOUND
    // when no directory has one of the views.
    STATUS open(const DataDirectory& dir, std::string_view server, const std::vector<std::string>& views);
    // The documents a name finds in the views (a hierarchical name in its canonical form too); with
    // all, in every directory, else in the first directory that knows the name.
    STATUS find(std::string_view name, bool all, const std::vector<std::string>& items,
                std::vector<NameMatch>* out) const;

private:
    struct Directory;
    std::vector<std::shared_ptr<Directory>> directories_;
};

} // namespace notes
