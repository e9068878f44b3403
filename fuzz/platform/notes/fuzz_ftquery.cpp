// The views' full-text query parser on arbitrary input: it either parses or gives a reason, and a
// parsed query's terms always have words to match.
#include "ftquery.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

void check(const notes::ft::Node& n) {
    if (n.kind == notes::ft::Node::kTerm) {
        if (n.term.words.empty()) {
            std::abort();
        }
        notes::ft::matches(n.term, n.term.words);
        return;
    }
    if (n.kids.empty() || (n.kind == notes::ft::Node::kNot && n.kids.size() != 1)) {
        std::abort();
    }
    for (const notes::ft::Node& k : n.kids) {
        check(k);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view query(reinterpret_cast<const char*>(data), size);
    notes::ft::Node root;
    std::string error;
    if (notes::ft::parse(query, &root, &error)) {
        check(root);
    } else if (error.empty()) {
        std::abort();
    }
    return 0;
}
