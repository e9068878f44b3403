#pragma once
#include "Lattice/Base.h"
#include "Lattice/Containers.h"
#include "Lattice/Dates.h"
#include "Lattice/String.h"

#include <variant>

namespace Lattice {

// Type tags of Data; the numbers are the host's.
enum class DataType : int {
    Empty = 0,
    Bool = 1,
    Long = 3,
    Double = 5,
    String = 8,
    Date = 12,
    Time = 13,
    DateTime = 14,
    Duration = 15,
    Object = 20,
};

// A variant value. An object is held either with a reference (Data(obj, true), which keeps the
// object alive) or as a plain pointer that the caller keeps alive.
class Data {
public:
    Data() = default;
    Data(bool v) : v_(v) {}
    Data(int v) : v_(static_cast<long>(v)) {}
    Data(long v) : v_(v) {}
    Data(double v) : v_(v) {}
    Data(const char* v) : v_(String(v)) {}
    Data(const String& v) : v_(v) {}
    Data(const _DateData& v) : v_(v) {}
    Data(const _TimeData& v) : v_(v) {}
    Data(const _DateTimeData& v) : v_(v) {}
    Data(const _DurationData& v) : v_(v) {}
    Data(Base* object, bool holdReference);
    template <class T> Data(const Ptr<T>& object) : Data(static_cast<Base*>(object.get()), true) {}

    Data(const Data& o);
    Data(Data&& o) noexcept;
    Data& operator=(const Data& o);
    Data& operator=(Data&& o) noexcept;
    ~Data();

    DataType type() const;
    int typeTag() const { return static_cast<int>(type()); }
    bool isEmpty() const { return type() == DataType::Empty; }
    bool isObject() const { return type() == DataType::Object; }

    // Conversions never throw: a value of another type converts where it sensibly can and
    // otherwise gives the type's zero.
    bool toBool() const;
    long toLong() const;
    double toDouble() const;
    // Text form of any value. `quoted` puts texts in double quotes (for diagnostics).
    String toString(bool quoted = false) const;
    _DateData toDate() const;
    _TimeData toTime() const;
    _DateTimeData toDateTime() const;
    _DurationData toDuration() const;
    Base* toObject() const;
    template <class T> T* toObject() const { return dynamic_cast<T*>(toObject()); }
    bool holdsReference() const;

    bool operator==(const Data& o) const;
    bool operator!=(const Data& o) const { return !(*this == o); }

private:
    struct ObjectRef {
        Base* object = nullptr;
        bool held = false;
        bool operator==(const ObjectRef& o) const { return object == o.object; }
    };
    using Value = std::variant<std::monostate, bool, long, double, String, _DateData, _TimeData,
                               _DateTimeData, _DurationData, ObjectRef>;
    void retain();
    void drop();
    Value v_;
};

// The ordered list through which results go to the host.
class ObjectCollection : public Base {
public:
    static const Atom& classAtom();
    const Atom& className() const override { return classAtom(); }
    bool inheritsFrom(const Atom& name) const override {
        return name == classAtom() || Base::inheritsFrom(name);
    }
    long sizeOf() const override { return sizeof(ObjectCollection); }
    Base* copy(bool deep) const override;
    Base* deepCopy() const override;

    // Appends (atEnd) or prepends the value.
    void add(const Data& value, bool atEnd = true);
    void insertAt(long position, const Data& value);
    void removeAt(long position);
    // Removes every element; `releaseObjects` drops the references that elements hold.
    void removeAll(bool releaseObjects = true);
    long count() const { return items_.count(); }
    bool isEmpty() const { return items_.isEmpty(); }
    const Data& at(long i) const { return items_.at(i); }
    Data& at(long i) { return items_.at(i); }
    const Data& operator[](long i) const { return items_.at(i); }

    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

private:
    Array<Data> items_;
};

} // namespace Lattice
