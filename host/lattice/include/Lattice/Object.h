#pragma once
#include "Lattice/Data.h"

namespace Lattice {

// A reference to one declared member, handed to a MemberVisitor.
struct MemberRef {
    enum class Kind { Bool, Long, Double, String, Date, Time, DateTime, Duration, Value, Object };
    Kind kind;
    void* field;
    // For Kind::Object: read, write (type-checked) and make a default sub-object.
    Base* (*getObject)(void* field) = nullptr;
    bool (*setObject)(void* field, Base* value) = nullptr;
    Base* (*makeObject)() = nullptr;
};

// Walks an object's declared members. Return true from visit() to stop the walk.
class MemberVisitor {
public:
    virtual ~MemberVisitor() = default;
    virtual bool visit(const char* name, const MemberRef& ref) = 0;
    bool stopped() const { return stopped_; }

    void operator()(const char* name, bool& f) { call(name, {MemberRef::Kind::Bool, &f}); }
    void operator()(const char* name, long& f) { call(name, {MemberRef::Kind::Long, &f}); }
    void operator()(const char* name, double& f) { call(name, {MemberRef::Kind::Double, &f}); }
    void operator()(const char* name, String& f) { call(name, {MemberRef::Kind::String, &f}); }
    void operator()(const char* name, _DateData& f) { call(name, {MemberRef::Kind::Date, &f}); }
    void operator()(const char* name, _TimeData& f) { call(name, {MemberRef::Kind::Time, &f}); }
    void operator()(const char* name, _DateTimeData& f) { call(name, {MemberRef::Kind::DateTime, &f}); }
    void operator()(const char* name, _DurationData& f) { call(name, {MemberRef::Kind::Duration, &f}); }
    void operator()(const char* name, Data& f) { call(name, {MemberRef::Kind::Value, &f}); }
    template <class T> void operator()(const char* name, Ptr<T>& f) {
        MemberRef ref{MemberRef::Kind::Object, &f};
        ref.getObject = [](void* p) -> Base* { return static_cast<Ptr<T>*>(p)->get(); };
        ref.setObject = [](void* p, Base* v) -> bool {
            if (v == nullptr) {
                static_cast<Ptr<T>*>(p)->reset();
                return true;
            }
            T* t = dynamic_cast<T*>(v);
            if (t == nullptr)
                return false;
            *static_cast<Ptr<T>*>(p) = t;
            return true;
        };
        ref.makeObject = []() -> Base* { return new T(); };
        call(name, ref);
    }

private:
    void call(const char* name, const MemberRef& ref) {
        if (!stopped_)
            stopped_ = visit(name, ref);
    }
    bool stopped_ = false;
};

// A framework object with declared, reflectable members (get_<name>/set_<name> in C++, and
// reachable by dotted member paths such as "businessAddress.city").
class Object : public Base {
public:
    static const Atom& classAtom();
    const Atom& className() const override { return classAtom(); }
    bool inheritsFrom(const Atom& name) const override {
        return name == classAtom() || Base::inheritsFrom(name);
    }
    long sizeOf() const override { return sizeof(Object); }
    Base* copy(bool deep) const override { return deep ? deepCopy() : new Object(); }
    // A new object of the same class whose members equal this one's, sub-objects copied deeply.
    Base* deepCopy() const override;

    // Sets the member at `path`. Intermediate sub-objects that are unset are made when
    // `createMissing` is true; otherwise the call fails. False when any step names no member or
    // the value cannot be stored in it.
    bool setMemberByPath(const String& path, const Data& value, bool createMissing);
    // Reads the member at `path` into `out`. A sub-object comes back as a referencing Data.
    bool getMemberByPath(const String& path, Data& out, bool createMissing = false) const;
    bool hasMember(const String& name) const;
    // Declared member names, base class members first.
    Array<String> memberNames() const;

    // Lists the declared members; every override calls its parent's first.
    virtual void reflect(MemberVisitor& v);

    static bool assign(const MemberRef& ref, const Data& value);
    static Data read(const MemberRef& ref);
};

// The base of the host's model records (message details, contacts, ...).
class SchemaBase : public Object {
public:
    static const Atom& classAtom();
    const Atom& className() const override { return classAtom(); }
    bool inheritsFrom(const Atom& name) const override {
        return name == classAtom() || Object::inheritsFrom(name);
    }
    long sizeOf() const override { return sizeof(SchemaBase); }
    Base* copy(bool deep) const override { return deep ? deepCopy() : new SchemaBase(); }
};

} // namespace Lattice

// Declares a reflected property: a field plus get_<name>() / set_<name>().
#define LATTICE_PROPERTY(Type, name)                                                                         \
public:                                                                                                      \
    const Type& get_##name() const {                                                                         \
        return m_##name;                                                                                     \
    }                                                                                                        \
    Type& get_##name() {                                                                                     \
        return m_##name;                                                                                     \
    }                                                                                                        \
    void set_##name(const Type& value) {                                                                     \
        m_##name = value;                                                                                    \
    }                                                                                                        \
                                                                                                             \
protected:                                                                                                   \
    Type m_##name{};

#define LATTICE_VISIT_PROPERTY(Type, name) v(#name, m_##name);

// Declares every property of LIST (an X-macro taking P(Type, name)) and the reflect() override.
#define LATTICE_PROPERTIES(Parent, LIST)                                                                     \
    LIST(LATTICE_PROPERTY)                                                                                   \
public:                                                                                                      \
    void reflect(::Lattice::MemberVisitor& v) override {                                                     \
        Parent::reflect(v);                                                                                  \
        LIST(LATTICE_VISIT_PROPERTY)                                                                         \
    }                                                                                                        \
                                                                                                             \
private:
