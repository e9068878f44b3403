#include "Lattice/Base.h"

#include <algorithm>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace Lattice {

const Atom& Base::classAtom() {
    static const Atom atom("Base");
    return atom;
}

Base* Base::copy(bool) const {
    return new Base();
}

long Base::release() const {
    long left = --refCount_;
    if (left <= 0) {
        delete this;
        return 0;
    }
    return left;
}

namespace {
struct Registration {
    const BaseCreate* owner;
    CreateFunction create;
};

struct Registry {
    std::mutex lock;
    // Newest registration last, so that unloading a library restores what it replaced.
    std::unordered_map<Atom, std::vector<Registration>> classes;
};

Registry& registry() {
    static Registry* r = new Registry();
    return *r;
}
} // namespace

BaseCreate::BaseCreate(const Atom& className, CreateFunction create) : name_(className), create_(create) {
    Registry& r = registry();
    std::lock_guard<std::mutex> guard(r.lock);
    r.classes[name_].push_back({this, create_});
}

BaseCreate::~BaseCreate() {
    Registry& r = registry();
    std::lock_guard<std::mutex> guard(r.lock);
    auto it = r.classes.find(name_);
    if (it == r.classes.end())
        return;
    auto& stack = it->second;
    stack.erase(
        std::remove_if(stack.begin(), stack.end(), [this](const Registration& e) { return e.owner == this; }),
        stack.end());
}

namespace ClassFactory {
Base* create(const Atom& className) {
    CreateFunction fn = nullptr;
    {
        Registry& r = registry();
        std::lock_guard<std::mutex> guard(r.lock);
        auto it = r.classes.find(className);
        if (it == r.classes.end() || it->second.empty())
            return nullptr;
        fn = it->second.back().create;
    }
    return fn ? fn() : nullptr;
}

bool isRegistered(const Atom& className) {
    Registry& r = registry();
    std::lock_guard<std::mutex> guard(r.lock);
    auto it = r.classes.find(className);
    return it != r.classes.end() && !it->second.empty();
}
} // namespace ClassFactory

} // namespace Lattice
