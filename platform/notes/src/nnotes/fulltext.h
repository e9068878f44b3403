// Full-text search of a database: the documents of a view that a query (see ftquery.h) matches.
#pragma once

#include "notes/capi.h"

#include <string>
#include <string_view>
#include <vector>

namespace notes {

class Database;

class FullText {
public:
    explicit FullText(Database& store) : store_(store) {}
    FullText(const FullText&) = delete;
    FullText& operator=(const FullText&) = delete;

    // ERR_FT_QUERY on a bad query, with the reason in *error.
    STATUS search(NOTEID view, std::string_view query, std::vector<NOTEID>* out, std::string* error);

private:
    Database& store_;
};

} // namespace notes
