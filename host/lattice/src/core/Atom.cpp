#include "Lattice/Atom.h"

#include <mutex>
#include <string>
#include <unordered_set>

namespace Lattice {

namespace {
struct AtomTable {
    std::mutex lock;
    std::unordered_set<std::string> names;
};

// Never destroyed: atoms held by static objects of unloading libraries must stay valid.
AtomTable& table() {
    static AtomTable* t = new AtomTable();
    return *t;
}

const std::string* intern(std::string_view name) {
    AtomTable& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    return &*t.names.emplace(name).first;
}
} // namespace

Atom::Atom() : text_(intern("")) {}
Atom::Atom(const char* name) : text_(intern(name ? name : "")) {}
Atom::Atom(std::string_view name) : text_(intern(name)) {}

} // namespace Lattice
