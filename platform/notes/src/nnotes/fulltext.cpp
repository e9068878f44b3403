// Full-text search: a query over the items of a view's documents, one scan per term.
#include "fulltext.h"

#include "ftquery.h"
#include "sqlite_util.h"
#include "store.h"

#include <functional>
#include <unordered_set>

namespace notes {

using sql::columnText;
using sql::statusOf;
using sql::Use;

STATUS FullText::search(NOTEID view, std::string_view query, std::vector<NOTEID>* out, std::string* error) {
    ft::Node root;
    if (!ft::parse(query, &root, error)) {
        return ERR_FT_QUERY;
    }
    std::vector<ViewRow> rows;
    if (STATUS st = store_.views_.viewRows(view, 0, &rows); st != NOERROR) {
        return st;
    }
    std::unordered_set<NOTEID> universe;
    for (const ViewRow& r : rows) {
        universe.insert(r.note);
    }
    std::lock_guard<std::mutex> lock(store_.mutex_);
    // Each term is one scan of the items it can match; the tree combines the sets. Bare terms look
    // at summary items only, which keeps secrets such as password digests out of searches.
    auto term = [&](const ft::Term& t, std::unordered_set<NOTEID>* hits) -> STATUS {
        sqlite3_stmt* s = nullptr;
        const char* sql =
            t.field.empty()
                ? "SELECT note_id, type, value FROM items WHERE type IN (1280, 1281) AND (flags & 4) != 0"
                : "SELECT note_id, type, value FROM items WHERE name = ?";
        if (STATUS st = store_.prepare(sql, &s); st != NOERROR) {
            return st;
        }
        Use use(s);
        if (!t.field.empty()) {
            sqlite3_bind_text(s, 1, t.field.c_str(), -1, SQLITE_STATIC);
        }
        int rc;
        std::vector<std::string> values;
        while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
            const NOTEID id = static_cast<NOTEID>(sqlite3_column_int64(s, 0));
            if (!universe.count(id) || hits->count(id)) {
                continue;
            }
            const void* blob = sqlite3_column_blob(s, 2);
            const std::string_view value(static_cast<const char*>(blob ? blob : ""),
                                         static_cast<std::size_t>(sqlite3_column_bytes(s, 2)));
            if (!ods::decodeText(static_cast<WORD>(sqlite3_column_int(s, 1)), value, &values)) {
                continue;
            }
            for (const std::string& v : values) {
                if (ft::matches(t, ft::words(v))) {
                    hits->insert(id);
                    break;
                }
            }
        }
        return rc == SQLITE_DONE ? NOERROR : statusOf(rc);
    };
    std::function<STATUS(const ft::Node&, std::unordered_set<NOTEID>*)> eval =
        [&](const ft::Node& n, std::unordered_set<NOTEID>* hits) -> STATUS {
        switch (n.kind) {
        case ft::Node::kTerm:
            return term(n.term, hits);
        case ft::Node::kNot: {
            std::unordered_set<NOTEID> inner;
            if (STATUS st = eval(n.kids.front(), &inner); st != NOERROR) {
                return st;
            }
            for (NOTEID id : universe) {
                if (!inner.count(id)) {
                    hits->insert(id);
                }
            }
            return NOERROR;
        }
        case ft::Node::kOr:
            for (const ft::Node& k : n.kids) {
                if (STATUS st = eval(k, hits); st != NOERROR) {
                    return st;
                }
            }
            return NOERROR;
        case ft::Node::kAnd: {
            std::unordered_set<NOTEID> acc;
            for (std::size_t i = 0; i < n.kids.size(); ++i) {
                std::unordered_set<NOTEID> k;
                if (STATUS st = eval(n.kids[i], &k); st != NOERROR) {
                    return st;
                }
                if (i == 0) {
                    acc = std::move(k);
                } else {
                    std::unordered_set<NOTEID> both;
                    for (NOTEID id : acc) {
                        if (k.count(id)) {
                            both.insert(id);
                        }
                    }
                    acc = std::move(both);
                }
            }
            hits->insert(acc.begin(), acc.end());
            return NOERROR;
        }
        }
        return NOERROR;
    };
    std::unordered_set<NOTEID> hits;
    if (STATUS st = eval(root, &hits); st != NOERROR) {
        return st;
    }
    out->clear();
    std::unordered_set<NOTEID> added;
    for (const ViewRow& r : rows) {
        if (hits.count(r.note) && added.insert(r.note).second) {
            out->push_back(r.note);
        }
    }
    return NOERROR;
}

} // namespace notes
