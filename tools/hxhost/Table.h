#pragma once
#include <iosfwd>
#include <string>
#include <vector>

namespace hxhost {

// A plain text table: a heading row, a rule, then the rows, each column as wide as its widest
// cell (counted in characters, not bytes, so UTF-8 names line up).
class Table {
public:
    explicit Table(std::vector<std::string> headings);
    void add(std::vector<std::string> row);
    bool empty() const { return rows_.empty(); }
    void print(std::ostream& out, const std::string& indent = "  ") const;

    // The number of characters of a UTF-8 text.
    static std::size_t width(const std::string& text);

private:
    std::vector<std::string> headings_;
    std::vector<std::vector<std::string>> rows_;
};

} // namespace hxhost
