#pragma once
#include "Lattice/Atom.h"

#include <utility>

namespace Lattice {

// Root of every framework object. The reference count is a plain counter: objects belong to
// one thread of work at a time, as in the host.
class Base {
public:
    Base() = default;
    Base(const Base&) : refCount_(0) {}
    Base& operator=(const Base&) { return *this; }
    virtual ~Base() = default;

    static const Atom& classAtom();
    virtual const Atom& className() const { return classAtom(); }
    // True when this object's class is exactly `name`.
    virtual bool isA(const Atom& name) const { return name == className(); }
    // True for the class's own name and every base class name.
    virtual bool inheritsFrom(const Atom& name) const { return name == classAtom(); }
    virtual long sizeOf() const { return sizeof(Base); }
    // A new object of the same class; `deep` also copies owned sub-objects.
    virtual Base* copy(bool deep) const;
    virtual Base* deepCopy() const { return copy(false); }

    void addRef() const { ++refCount_; }
    // Drops one reference; deletes the object when none is left. Returns the remaining count.
    long release() const;
    long refCount() const { return refCount_; }

private:
    mutable long refCount_ = 0;
};

// Intrusive reference-counting pointer.
template <class T> class Ptr {
public:
    Ptr() = default;
    Ptr(std::nullptr_t) {}
    Ptr(T* p) : p_(p) {
        if (p_)
            p_->addRef();
    }
    Ptr(const Ptr& o) : Ptr(o.p_) {}
    Ptr(Ptr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    template <class U> Ptr(const Ptr<U>& o) : Ptr(static_cast<T*>(o.get())) {}
    ~Ptr() { reset(); }

    Ptr& operator=(const Ptr& o) {
        Ptr(o).swap(*this);
        return *this;
    }
    Ptr& operator=(Ptr&& o) noexcept {
        Ptr(std::move(o)).swap(*this);
        return *this;
    }
    Ptr& operator=(T* p) {
        Ptr(p).swap(*this);
        return *this;
    }

    void reset() {
        if (T* p = std::exchange(p_, nullptr))
            p->release();
    }
    void swap(Ptr& o) noexcept { std::swap(p_, o.p_); }

    T* get() const { return p_; }
    T* operator->() const { return p_; }
    T& operator*() const { return *p_; }
    explicit operator bool() const { return p_ != nullptr; }
    bool isNull() const { return p_ == nullptr; }
    bool operator==(const Ptr& o) const { return p_ == o.p_; }
    bool operator==(std::nullptr_t) const { return p_ == nullptr; }

private:
    T* p_ = nullptr;
};

// Checked downcast by class name, for objects that came through Data or the class factory.
template <class T> T* dynamicCast(Base* b) {
    return dynamic_cast<T*>(b);
}

using CreateFunction = Base* (*)();

// One class-factory registration; normally a static object next to the class. A later
// registration under the same name replaces an earlier one (so a loaded plug-in's "MailProvider"
// wins); destroying it, e.g. when a plug-in is unloaded, brings the earlier one back.
class BaseCreate {
public:
    BaseCreate(const Atom& className, CreateFunction create);
    ~BaseCreate();
    BaseCreate(const BaseCreate&) = delete;
    BaseCreate& operator=(const BaseCreate&) = delete;

private:
    Atom name_;
    CreateFunction create_;
};

namespace ClassFactory {
// A new object of the class registered under `className`, or null when none is.
Base* create(const Atom& className);
bool isRegistered(const Atom& className);
} // namespace ClassFactory

} // namespace Lattice

// Declares the class operations of a framework class in one line:
// className/isA/inheritsFrom/sizeOf/copy and a static create().
// `copy(false)` makes a fresh default object, `copy(true)` deepCopy() (which by default copies).
#define LATTICE_CLASS(Type, AtomText, Parent)                                                                \
public:                                                                                                      \
    static const ::Lattice::Atom& classAtom() {                                                              \
        static const ::Lattice::Atom atom(AtomText);                                                         \
        return atom;                                                                                         \
    }                                                                                                        \
    const ::Lattice::Atom& className() const override {                                                      \
        return classAtom();                                                                                  \
    }                                                                                                        \
    bool inheritsFrom(const ::Lattice::Atom& name) const override {                                          \
        return name == classAtom() || Parent::inheritsFrom(name);                                            \
    }                                                                                                        \
    long sizeOf() const override {                                                                           \
        return static_cast<long>(sizeof(Type));                                                              \
    }                                                                                                        \
    ::Lattice::Base* copy(bool deep) const override {                                                        \
        return deep ? deepCopy() : new Type();                                                               \
    }                                                                                                        \
    static ::Lattice::Base* create() {                                                                       \
        return new Type();                                                                                   \
    }                                                                                                        \
                                                                                                             \
private:

// Registers `Type::create` under its class atom when the enclosing library loads.
#define LATTICE_REGISTER_CLASS(Type)                                                                         \
    static const ::Lattice::BaseCreate hxRegistration_##Type(Type::classAtom(), &Type::create)
