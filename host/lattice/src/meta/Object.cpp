#include "Lattice/Object.h"

#include <cstring>
#include <optional>

namespace Lattice {

const Atom& Object::classAtom() {
    static const Atom atom("Object");
    return atom;
}

const Atom& SchemaBase::classAtom() {
    static const Atom atom("SchemaBase");
    return atom;
}

void Object::reflect(MemberVisitor&) {}

namespace {

// Finds one member by name (case-sensitive, as the host's member names are).
class FindMember : public MemberVisitor {
public:
    explicit FindMember(const String& name) : name_(name) {}
    bool visit(const char* name, const MemberRef& ref) override {
        if (name_ == name) {
            found = ref;
            return true;
        }
        return false;
    }
    String name_;
    std::optional<MemberRef> found;
};

class ListMembers : public MemberVisitor {
public:
    bool visit(const char* name, const MemberRef&) override {
        names.add(String(name));
        return false;
    }
    Array<String> names;
};

class CopyMembers : public MemberVisitor {
public:
    explicit CopyMembers(Object* target) : target_(target) {}
    bool visit(const char* name, const MemberRef& ref) override {
        FindMember dst{String(name)};
        target_->reflect(dst);
        if (!dst.found || dst.found->kind != ref.kind)
            return false;
        if (ref.kind == MemberRef::Kind::Object) {
            Base* src = ref.getObject(ref.field);
            Base* copy = src ? src->deepCopy() : nullptr;
            if (copy)
                copy->addRef();
            dst.found->setObject(dst.found->field, copy);
            if (copy)
                copy->release();
        } else {
            Object::assign(*dst.found, Object::read(ref));
        }
        return false;
    }
    Object* target_;
};

// Walks all but the last step of a path; returns the object that owns the last step.
Object* walk(Object* self, const Array<String>& steps, bool createMissing) {
    Object* cur = self;
    for (long i = 0; i + 1 < steps.count(); ++i) {
        FindMember f(steps[i]);
        cur->reflect(f);
        if (!f.found || f.found->kind != MemberRef::Kind::Object)
            return nullptr;
        Base* sub = f.found->getObject(f.found->field);
        if (!sub) {
            if (!createMissing)
                return nullptr;
            sub = f.found->makeObject();
            sub->addRef();
            bool ok = f.found->setObject(f.found->field, sub);
            sub->release();
            if (!ok)
                return nullptr;
            sub = f.found->getObject(f.found->field);
        }
        cur = dynamic_cast<Object*>(sub);
        if (!cur)
            return nullptr;
    }
    return cur;
}

} // namespace

namespace {

void convert(const Data& v, bool& f) {
    f = v.toBool();
}
void convert(const Data& v, long& f) {
    f = v.toLong();
}
void convert(const Data& v, double& f) {
    f = v.toDouble();
}
void convert(const Data& v, String& f) {
    f = v.toString(false);
}
void convert(const Data& v, _DateData& f) {
    f = v.toDate();
}
void convert(const Data& v, _TimeData& f) {
    f = v.toTime();
}
void convert(const Data& v, _DateTimeData& f) {
    f = v.toDateTime();
}
void convert(const Data& v, _DurationData& f) {
    f = v.toDuration();
}
void convert(const Data& v, Data& f) {
    f = v;
}

// Calls `f` with the member's field as its C++ type; object members are handled by the callers.
template <class F> auto withValueField(const MemberRef& ref, F&& f) {
    switch (ref.kind) {
    case MemberRef::Kind::Bool:
        return f(*static_cast<bool*>(ref.field));
    case MemberRef::Kind::Long:
        return f(*static_cast<long*>(ref.field));
    case MemberRef::Kind::Double:
        return f(*static_cast<double*>(ref.field));
    case MemberRef::Kind::String:
        return f(*static_cast<String*>(ref.field));
    case MemberRef::Kind::Date:
        return f(*static_cast<_DateData*>(ref.field));
    case MemberRef::Kind::Time:
        return f(*static_cast<_TimeData*>(ref.field));
    case MemberRef::Kind::DateTime:
        return f(*static_cast<_DateTimeData*>(ref.field));
    case MemberRef::Kind::Duration:
        return f(*static_cast<_DurationData*>(ref.field));
    case MemberRef::Kind::Value:
    case MemberRef::Kind::Object:
        break;
    }
    return f(*static_cast<Data*>(ref.field));
}

} // namespace

bool Object::assign(const MemberRef& ref, const Data& value) {
    if (ref.kind == MemberRef::Kind::Object) {
        if (!value.isEmpty() && !value.isObject())
            return false;
        return ref.setObject(ref.field, value.toObject());
    }
    return withValueField(ref, [&value](auto& field) {
        convert(value, field);
        return true;
    });
}

Data Object::read(const MemberRef& ref) {
    if (ref.kind == MemberRef::Kind::Object)
        return Data(ref.getObject(ref.field), true);
    return withValueField(ref, [](auto& field) { return Data(field); });
}

// Splits a dotted member path; false when it is empty or has an empty step.
static bool splitPath(const String& path, Array<String>& steps) {
    steps = path.split(".");
    if (steps.isEmpty())
        return false;
    for (const String& s : steps)
        if (s.isEmpty())
            return false;
    return true;
}

bool Object::setMemberByPath(const String& path, const Data& value, bool createMissing) {
    Array<String> steps;
    if (!splitPath(path, steps))
        return false;
    Object* owner = walk(this, steps, createMissing);
    if (!owner)
        return false;
    FindMember f(steps[steps.count() - 1]);
    owner->reflect(f);
    return f.found && assign(*f.found, value);
}

bool Object::getMemberByPath(const String& path, Data& out, bool createMissing) const {
    Array<String> steps;
    if (!splitPath(path, steps))
        return false;
    // Reflection hands out writable references; reading through them does not change the object
    // unless createMissing asks to fill in sub-objects.
    Object* owner = walk(const_cast<Object*>(this), steps, createMissing);
    if (!owner)
        return false;
    FindMember f(steps[steps.count() - 1]);
    owner->reflect(f);
    if (!f.found)
        return false;
    out = read(*f.found);
    return true;
}

bool Object::hasMember(const String& name) const {
    FindMember f(name);
    const_cast<Object*>(this)->reflect(f);
    return f.found.has_value();
}

Array<String> Object::memberNames() const {
    ListMembers l;
    const_cast<Object*>(this)->reflect(l);
    return l.names;
}

Base* Object::deepCopy() const {
    Base* fresh = copy(false);
    if (auto* target = dynamic_cast<Object*>(fresh)) {
        CopyMembers c(target);
        const_cast<Object*>(this)->reflect(c);
    }
    return fresh;
}

} // namespace Lattice
