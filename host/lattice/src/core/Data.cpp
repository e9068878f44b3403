#include "Lattice/Data.h"

#include <cstdio>

namespace Lattice {

namespace {
template <class... F> struct Overload : F... { using F::operator()...; };
template <class... F> Overload(F...) -> Overload<F...>;
} // namespace

Data::Data(Base* object, bool holdReference) : v_(ObjectRef{object, holdReference && object != nullptr}) {
    retain();
}

Data::Data(const Data& o) : v_(o.v_) {
    retain();
}
Data::Data(Data&& o) noexcept : v_(std::move(o.v_)) {
    o.v_ = std::monostate{};
}

Data& Data::operator=(const Data& o) {
    if (this != &o) {
        Data tmp(o);
        *this = std::move(tmp);
    }
    return *this;
}

Data& Data::operator=(Data&& o) noexcept {
    if (this != &o) {
        drop();
        v_ = std::move(o.v_);
        o.v_ = std::monostate{};
    }
    return *this;
}

Data::~Data() {
    drop();
}

void Data::retain() {
    if (auto* r = std::get_if<ObjectRef>(&v_); r && r->held)
        r->object->addRef();
}

void Data::drop() {
    if (auto* r = std::get_if<ObjectRef>(&v_); r && r->held) {
        Base* o = r->object;
        v_ = std::monostate{};
        o->release();
    }
}

DataType Data::type() const {
    return std::visit(Overload{
                          [](std::monostate) { return DataType::Empty; },
                          [](bool) { return DataType::Bool; },
                          [](long) { return DataType::Long; },
                          [](double) { return DataType::Double; },
                          [](const String&) { return DataType::String; },
                          [](const _DateData&) { return DataType::Date; },
                          [](const _TimeData&) { return DataType::Time; },
                          [](const _DateTimeData&) { return DataType::DateTime; },
                          [](const _DurationData&) { return DataType::Duration; },
                          [](const ObjectRef&) { return DataType::Object; },
                      },
                      v_);
}

bool Data::toBool() const {
    return std::visit(Overload{
                          [](bool b) { return b; },
                          [](long l) { return l != 0; },
                          [](double d) { return d != 0.0; },
                          [](const String& s) {
                              String t = s.trimmed();
                              return t.equalsNoCase("true") || t.equalsNoCase("yes") || t == "1";
                          },
                          [](const ObjectRef& r) { return r.object != nullptr; },
                          [](const auto&) { return false; },
                      },
                      v_);
}

long Data::toLong() const {
    return std::visit(Overload{
                          [](bool b) { return b ? 1L : 0L; },
                          [](long l) { return l; },
                          [](double d) {
                              if (!(d > -9.2e18 && d < 9.2e18))
                                  return 0L;
                              return static_cast<long>(d);
                          },
                          [](const String& s) { return s.toLong(static_cast<long>(s.toDouble(0))); },
                          [](const auto&) { return 0L; },
                      },
                      v_);
}

double Data::toDouble() const {
    return std::visit(Overload{
                          [](bool b) { return b ? 1.0 : 0.0; },
                          [](long l) { return static_cast<double>(l); },
                          [](double d) { return d; },
                          [](const String& s) { return s.toDouble(0.0); },
                          [](const auto&) { return 0.0; },
                      },
                      v_);
}

String Data::toString(bool quoted) const {
    return std::visit(
        Overload{
            [](std::monostate) { return String(); },
            [](bool b) { return String(b ? "true" : "false"); },
            [](long l) { return String::fromLong(l); },
            [](double d) { return String::fromDouble(d); },
            [quoted](const String& s) { return quoted ? String("\"") + s + "\"" : s; },
            [](const _DateData& d) { return String::format("%04d-%02d-%02d", d.fullYear(), d.month, d.day); },
            [](const _TimeData& t) {
                return String::format("%02d:%02d:%02d.%02d", t.hour, t.minute, t.second, t.hundredths);
            },
            [](const _DateTimeData& t) {
                // ISO 8601; the offset is east-positive there, the opposite of zoneOffset.
                long east = -t.zoneOffset;
                char sign = east < 0 ? '-' : '+';
                long a = east < 0 ? -east : east;
                return String::format("%04d-%02d-%02dT%02d:%02d:%02d%c%02ld:%02ld", t.fullYear(), t.month,
                                      t.day, t.hour, t.minute, t.second, sign, a / 60, a % 60);
            },
            [](const _DurationData& d) {
                return String::format("P%ldY%ldM%ldDT%ldH%ldM%ldS", d.years, d.months, d.days, d.hours,
                                      d.minutes, d.seconds);
            },
            [](const ObjectRef& r) {
                return r.object ? String("[") + r.object->className().c_str() + "]" : String("[null]");
            },
        },
        v_);
}

_DateData Data::toDate() const {
    if (auto* d = std::get_if<_DateData>(&v_))
        return *d;
    if (auto* dt = std::get_if<_DateTimeData>(&v_))
        return dt->date();
    return {};
}

_TimeData Data::toTime() const {
    if (auto* t = std::get_if<_TimeData>(&v_))
        return *t;
    if (auto* dt = std::get_if<_DateTimeData>(&v_))
        return dt->time();
    return {};
}

_DateTimeData Data::toDateTime() const {
    if (auto* dt = std::get_if<_DateTimeData>(&v_))
        return *dt;
    _DateTimeData r;
    if (auto* d = std::get_if<_DateData>(&v_)) {
        r.century = d->century;
        r.year = d->year;
        r.month = d->month;
        r.day = d->day;
    }
    return r;
}

_DurationData Data::toDuration() const {
    if (auto* d = std::get_if<_DurationData>(&v_))
        return *d;
    return {};
}

Base* Data::toObject() const {
    if (auto* r = std::get_if<ObjectRef>(&v_))
        return r->object;
    return nullptr;
}

bool Data::holdsReference() const {
    auto* r = std::get_if<ObjectRef>(&v_);
    return r && r->held;
}

bool Data::operator==(const Data& o) const {
    if (type() != o.type())
        return false;
    if (auto* r = std::get_if<ObjectRef>(&v_))
        return r->object == std::get<ObjectRef>(o.v_).object;
    return v_ == o.v_;
}

} // namespace Lattice
