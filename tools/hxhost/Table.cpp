#include "Table.h"

#include <algorithm>
#include <ostream>

namespace hxhost {

Table::Table(std::vector<std::string> headings) : headings_(std::move(headings)) {}

void Table::add(std::vector<std::string> row) {
    row.resize(headings_.size());
    rows_.push_back(std::move(row));
}

std::size_t Table::width(const std::string& text) {
    std::size_t n = 0;
    for (const char c : text)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80)
            ++n;
    return n;
}

void Table::print(std::ostream& out, const std::string& indent) const {
    std::vector<std::size_t> widths(headings_.size());
    for (std::size_t i = 0; i < headings_.size(); ++i) {
        widths[i] = width(headings_[i]);
        for (const auto& row : rows_)
            widths[i] = std::max(widths[i], width(row[i]));
    }
    auto line = [&](const std::vector<std::string>& cells) {
        std::string text = indent;
        for (std::size_t i = 0; i < cells.size(); ++i) {
            text += cells[i];
            if (i + 1 < cells.size())
                text += std::string(widths[i] - width(cells[i]) + 2, ' ');
        }
        out << text << "\n";
    };
    line(headings_);
    std::vector<std::string> rule;
    for (const std::size_t w : widths)
        rule.emplace_back(w, '-');
    line(rule);
    for (const auto& row : rows_)
        line(row);
}

} // namespace hxhost
