#include "ftquery.h"

#include <cctype>

namespace notes::ft {
namespace {

bool isWordChar(unsigned char c) {
    return std::isalnum(c) || (c >= 0xC0 && c != 0xD7 && c != 0xF7);
}

struct Token {
    enum Kind { kEnd, kOpen, kClose, kField, kPhrase, kWord, kAnd, kOr, kNot, kContains } kind = kEnd;
    std::string text;
};

bool operatorWord(const std::string& w, Token::Kind* kind) {
    const std::string f = fold(w);
    if (f == "and") {
        *kind = Token::kAnd;
    } else if (f == "or") {
        *kind = Token::kOr;
    } else if (f == "not") {
        *kind = Token::kNot;
    } else if (f == "contains") {
        *kind = Token::kContains;
    } else {
        return false;
    }
    return true;
}

bool tokenize(std::string_view q, std::vector<Token>* out, std::string* error) {
    std::size_t i = 0;
    while (i < q.size()) {
        const char c = q[i];
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
            continue;
        }
        Token t;
        if (c == '(' || c == ')') {
            t.kind = c == '(' ? Token::kOpen : Token::kClose;
            ++i;
        } else if (c == '&' || c == '|' || c == '!') {
            t.kind = c == '&' ? Token::kAnd : c == '|' ? Token::kOr : Token::kNot;
            ++i;
        } else if (c == '[') {
            const std::size_t end = q.find(']', i + 1);
            if (end == std::string_view::npos) {
                *error = "a field name is not closed with ']'";
                return false;
            }
            t.kind = Token::kField;
            t.text = std::string(q.substr(i + 1, end - i - 1));
            if (t.text.empty()) {
                *error = "empty field name";
                return false;
            }
            for (const char fc : t.text) {
                if (!std::isalnum(static_cast<unsigned char>(fc)) && fc != '_' && fc != '$') {
                    *error = "field name '" + t.text + "' has characters other than letters, digits, _ and $";
                    return false;
                }
            }
            i = end + 1;
        } else if (c == '"') {
            const std::size_t end = q.find('"', i + 1);
            if (end == std::string_view::npos) {
                *error = "unbalanced quotes";
                return false;
            }
            t.kind = Token::kPhrase;
            t.text = std::string(q.substr(i + 1, end - i - 1));
            i = end + 1;
        } else if (c == ']') {
            *error = "']' without '['";
            return false;
        } else {
            std::size_t end = i;
            while (end < q.size() && !std::isspace(static_cast<unsigned char>(q[end])) &&
                   std::string_view("()[]\"&|!").find(q[end]) == std::string_view::npos) {
                ++end;
            }
            t.text = std::string(q.substr(i, end - i));
            if (!operatorWord(t.text, &t.kind)) {
                t.kind = Token::kWord;
            }
            i = end;
        }
        out->push_back(std::move(t));
    }
    out->push_back(Token{});
    return true;
}

class Parser {
public:
    Parser(std::vector<Token> tokens, std::string* error) : tokens_(std::move(tokens)), error_(error) {}

    bool query(Node* out) {
        if (peek().kind == Token::kEnd) {
            return fail("the query is empty");
        }
        if (!expr(out, 0)) {
            return false;
        }
        if (peek().kind == Token::kClose) {
            return fail("unbalanced parentheses: ')' without '('");
        }
        if (peek().kind != Token::kEnd) {
            return fail("unexpected '" + peek().text + "'");
        }
        return true;
    }

private:
    const Token& peek() const { return tokens_[pos_]; }
    const Token& next() { return tokens_[pos_ < tokens_.size() - 1 ? pos_++ : pos_]; }
    bool fail(std::string why) {
        if (error_->empty()) {
            *error_ = std::move(why);
        }
        return false;
    }

    bool startsUnary() const {
        const auto k = peek().kind;
        return k == Token::kOpen || k == Token::kField || k == Token::kPhrase || k == Token::kWord ||
               k == Token::kNot;
    }

    bool expr(Node* out, int depth) {
        if (depth > kMaxDepth) {
            return fail("the query is nested too deeply");
        }
        Node first;
        if (!conjunction(&first, depth)) {
            return false;
        }
        if (peek().kind != Token::kOr) {
            *out = std::move(first);
            return true;
        }
        Node n;
        n.kind = Node::kOr;
        n.kids.push_back(std::move(first));
        while (peek().kind == Token::kOr) {
            next();
            Node k;
            if (!conjunction(&k, depth)) {
                return false;
            }
            n.kids.push_back(std::move(k));
        }
        *out = std::move(n);
        return true;
    }

    bool conjunction(Node* out, int depth) {
        Node first;
        if (!unary(&first, depth)) {
            return false;
        }
        Node n;
        n.kind = Node::kAnd;
        n.kids.push_back(std::move(first));
        for (;;) {
            if (peek().kind == Token::kAnd) {
                next();
            } else if (!startsUnary()) {
                break;
            }
            Node k;
            if (!unary(&k, depth)) {
                return false;
            }
            n.kids.push_back(std::move(k));
        }
        *out = n.kids.size() == 1 ? std::move(n.kids.front()) : std::move(n);
        return true;
    }

    bool unary(Node* out, int depth) {
        if (peek().kind == Token::kNot) {
            if (depth > kMaxDepth) {
                return fail("the query is nested too deeply");
            }
            next();
            Node k;
            if (!unary(&k, depth + 1)) {
                return false;
            }
            out->kind = Node::kNot;
            out->kids.push_back(std::move(k));
            return true;
        }
        return primary(out, depth);
    }

    bool primary(Node* out, int depth) {
        const Token& t = next();
        switch (t.kind) {
        case Token::kOpen:
            if (!expr(out, depth + 1)) {
                return false;
            }
            if (next().kind != Token::kClose) {
                return fail("unbalanced parentheses: '(' without ')'");
            }
            return true;
        case Token::kField: {
            const std::string field = t.text;
            if (next().kind != Token::kContains) {
                return fail("[" + field + "] must be followed by CONTAINS");
            }
            if (!term(out)) {
                return false;
            }
            out->term.field = field;
            return true;
        }
        case Token::kWord:
        case Token::kPhrase:
            --pos_;
            return term(out);
        case Token::kEnd:
            return fail("the query ends where a term is expected");
        case Token::kClose:
            return fail("unbalanced parentheses: ')' without '('");
        default:
            return fail("an operator stands where a term is expected");
        }
    }

    bool term(Node* out) {
        const Token& t = next();
        if (t.kind != Token::kWord && t.kind != Token::kPhrase) {
            return fail(t.kind == Token::kEnd ? "the query ends where a term is expected"
                                              : "a term is expected");
        }
        std::string text = t.text;
        out->kind = Node::kTerm;
        if (!text.empty() && text.back() == '*') {
            out->term.prefix = true;
            while (!text.empty() && text.back() == '*') {
                text.pop_back();
            }
        }
        out->term.words = words(text);
        if (out->term.words.empty()) {
            return fail("the term '" + t.text + "' has no letters or digits");
        }
        return true;
    }

    std::vector<Token> tokens_;
    std::size_t pos_ = 0;
    std::string* error_;
};

} // namespace

std::string fold(std::string_view text) {
    std::string out(text);
    for (char& ch : out) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            ch = static_cast<char>(std::tolower(c));
        } else if (c >= 0xC0 && c <= 0xDE && c != 0xD7) {
            ch = static_cast<char>(c + 0x20);
        }
    }
    return out;
}

std::vector<std::string> words(std::string_view text) {
    std::vector<std::string> out;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && !isWordChar(static_cast<unsigned char>(text[i]))) {
            ++i;
        }
        const std::size_t start = i;
        while (i < text.size() && isWordChar(static_cast<unsigned char>(text[i]))) {
            ++i;
        }
        if (i > start) {
            out.push_back(fold(text.substr(start, i - start)));
        }
    }
    return out;
}

bool matches(const Term& term, const std::vector<std::string>& text) {
    const std::size_t n = term.words.size();
    if (n == 0 || text.size() < n) {
        return false;
    }
    for (std::size_t at = 0; at + n <= text.size(); ++at) {
        bool all = true;
        for (std::size_t k = 0; k < n && all; ++k) {
            const std::string& want = term.words[k];
            const std::string& have = text[at + k];
            all = (k + 1 == n && term.prefix) ? have.compare(0, want.size(), want) == 0 : have == want;
        }
        if (all) {
            return true;
        }
    }
    return false;
}

bool parse(std::string_view query, Node* out, std::string* error) {
    error->clear();
    if (query.size() > kMaxQueryLength) {
        *error = "the query is longer than " + std::to_string(kMaxQueryLength) + " characters";
        return false;
    }
    std::vector<Token> tokens;
    if (!tokenize(query, &tokens, error)) {
        return false;
    }
    Parser p(std::move(tokens), error);
    return p.query(out);
}

} // namespace notes::ft
