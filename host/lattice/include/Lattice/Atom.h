#pragma once
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace Lattice {

// An interned name: equal texts share one stored copy, so comparison is a pointer compare.
// Interning is thread-safe and interned texts live for the whole process.
class Atom {
public:
    Atom();
    Atom(const char* name);
    Atom(std::string_view name);
    Atom(const std::string& name) : Atom(std::string_view(name)) {}

    const char* c_str() const { return text_->c_str(); }
    const std::string& str() const { return *text_; }
    bool isEmpty() const { return text_->empty(); }

    bool operator==(const Atom& o) const { return text_ == o.text_; }
    bool operator!=(const Atom& o) const { return text_ != o.text_; }
    bool operator<(const Atom& o) const { return *text_ < *o.text_; }
    std::size_t hash() const { return std::hash<const void*>()(text_); }

private:
    const std::string* text_;
};

} // namespace Lattice

template <> struct std::hash<Lattice::Atom> {
    std::size_t operator()(const Lattice::Atom& a) const noexcept { return a.hash(); }
};
