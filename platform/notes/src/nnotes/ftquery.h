// The full-text query language of views: terms, "quoted phrases", a trailing * wildcard,
// [Field] CONTAINS term, AND (&), OR (|), NOT (!), parentheses; adjacent terms mean AND.
// Operators and matching ignore case. Words are runs of letters and digits.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace notes::ft {

constexpr std::size_t kMaxQueryLength = 4096;
constexpr int kMaxDepth = 32;

struct Term {
    std::string field;              // empty: any text item
    std::vector<std::string> words; // folded; more than one is a phrase
    bool prefix = false;            // the last word ended with '*'
};

struct Node {
    enum Kind { kTerm, kAnd, kOr, kNot } kind = kTerm;
    Term term;
    std::vector<Node> kids;
};

// False with a reason in *error when the query is not understandable.
bool parse(std::string_view query, Node* out, std::string* error);
// The folded words of a text.
std::vector<std::string> words(std::string_view text);
// Whether a term's words occur in order in `text` (the words of one value).
bool matches(const Term& term, const std::vector<std::string>& text);
// Lower-cases ASCII and ISO-8859-1 letters.
std::string fold(std::string_view text);

} // namespace notes::ft
