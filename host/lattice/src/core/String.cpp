#include "Lattice/String.h"

#include "Lattice/Containers.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace Lattice {

namespace {
inline char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
inline char upperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}
inline bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

long clampPos(long pos, long len) {
    return std::clamp(pos, 0L, len);
}
} // namespace

String::String(int capacity, int growBy) {
    (void)growBy;
    if (capacity > 0)
        s_.reserve(static_cast<std::size_t>(capacity));
}

int String::compare(const String& o) const {
    int c = s_.compare(o.s_);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

int String::compareNoCase(const String& o) const {
    std::size_t n = std::min(s_.size(), o.s_.size());
    for (std::size_t i = 0; i < n; ++i) {
        auto a = static_cast<unsigned char>(lowerAscii(s_[i]));
        auto b = static_cast<unsigned char>(lowerAscii(o.s_[i]));
        if (a != b)
            return a < b ? -1 : 1;
    }
    if (s_.size() == o.s_.size())
        return 0;
    return s_.size() < o.s_.size() ? -1 : 1;
}

long String::find(const String& what, long from) const {
    if (from < 0)
        from = 0;
    if (from > length())
        return npos;
    auto p = s_.find(what.s_, static_cast<std::size_t>(from));
    return p == std::string::npos ? npos : static_cast<long>(p);
}

long String::find(char c, long from) const {
    if (from < 0)
        from = 0;
    if (from >= length())
        return npos;
    auto p = s_.find(c, static_cast<std::size_t>(from));
    return p == std::string::npos ? npos : static_cast<long>(p);
}

long String::findNoCase(const String& what, long from) const {
    if (from < 0)
        from = 0;
    long n = length(), m = what.length();
    if (from > n || m > n - from)
        return npos;
    auto it = std::search(s_.begin() + from, s_.end(), what.s_.begin(), what.s_.end(),
                          [](char a, char b) { return lowerAscii(a) == lowerAscii(b); });
    return it == s_.end() && m > 0 ? npos : static_cast<long>(it - s_.begin());
}

long String::findLast(const String& what) const {
    auto p = s_.rfind(what.s_);
    return p == std::string::npos ? npos : static_cast<long>(p);
}

long String::findLast(char c) const {
    auto p = s_.rfind(c);
    return p == std::string::npos ? npos : static_cast<long>(p);
}

bool String::startsWith(const String& p) const {
    return s_.compare(0, p.s_.size(), p.s_) == 0 && p.length() <= length();
}
bool String::startsWithNoCase(const String& p) const {
    return p.length() <= length() && left(p.length()).compareNoCase(p) == 0;
}
bool String::endsWith(const String& p) const {
    return p.length() <= length() && right(p.length()) == p;
}
bool String::endsWithNoCase(const String& p) const {
    return p.length() <= length() && right(p.length()).compareNoCase(p) == 0;
}

String String::substring(long start, long count) const {
    long n = length();
    start = clampPos(start, n);
    long avail = n - start;
    if (count < 0 || count > avail)
        count = avail;
    return String(s_.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(count)));
}

String String::right(long count) const {
    long n = length();
    count = clampPos(count, n);
    return substring(n - count, count);
}

long String::replaceAll(const String& from, const String& to) {
    if (from.isEmpty())
        return 0;
    long replaced = 0;
    std::string out;
    std::size_t pos = 0;
    for (;;) {
        auto hit = s_.find(from.s_, pos);
        if (hit != std::string::npos && replaced == 0) // a text without a match costs no copy
            out.reserve(s_.size() + (to.s_.size() > from.s_.size() ? to.s_.size() - from.s_.size() : 0) * 16);
        if (hit == std::string::npos)
            break;
        out.append(s_, pos, hit - pos);
        out += to.s_;
        pos = hit + from.s_.size();
        ++replaced;
    }
    if (replaced) {
        out.append(s_, pos, std::string::npos);
        s_.swap(out);
    }
    return replaced;
}

long String::replaceAllNoCase(const String& from, const String& to) {
    if (from.isEmpty())
        return 0;
    long replaced = 0;
    std::string out;
    long pos = 0;
    for (;;) {
        long hit = findNoCase(from, pos);
        if (hit < 0)
            break;
        out.append(s_, static_cast<std::size_t>(pos), static_cast<std::size_t>(hit - pos));
        out += to.s_;
        pos = hit + from.length();
        ++replaced;
    }
    if (replaced) {
        out.append(s_, static_cast<std::size_t>(pos), std::string::npos);
        s_.swap(out);
    }
    return replaced;
}

Array<String> String::split(const String& sep, bool keepEmpty) const {
    Array<String> parts;
    if (sep.isEmpty()) {
        if (!isEmpty() || keepEmpty)
            parts.add(*this);
        return parts;
    }
    std::size_t pos = 0;
    for (;;) {
        auto hit = s_.find(sep.s_, pos);
        std::string piece = s_.substr(pos, hit == std::string::npos ? std::string::npos : hit - pos);
        if (keepEmpty || !piece.empty())
            parts.add(String(std::move(piece)));
        if (hit == std::string::npos)
            break;
        pos = hit + sep.s_.size();
    }
    return parts;
}

String String::join(const Array<String>& parts, const String& sep) {
    std::string out;
    for (long i = 0; i < parts.count(); ++i) {
        if (i)
            out += sep.s_;
        out += parts[i].s_;
    }
    return String(std::move(out));
}

String String::trimmed() const {
    std::size_t b = 0, e = s_.size();
    while (b < e && isSpace(s_[b]))
        ++b;
    while (e > b && isSpace(s_[e - 1]))
        --e;
    return String(s_.substr(b, e - b));
}

String String::toLower() const {
    std::string r(s_);
    std::transform(r.begin(), r.end(), r.begin(), lowerAscii);
    return String(std::move(r));
}

String String::toUpper() const {
    std::string r(s_);
    std::transform(r.begin(), r.end(), r.begin(), upperAscii);
    return String(std::move(r));
}

long String::toLong(long fallback) const {
    String t = trimmed();
    if (t.isEmpty())
        return fallback;
    errno = 0;
    char* end = nullptr;
    long v = std::strtol(t.c_str(), &end, 10);
    if (errno == ERANGE || end == t.c_str() || *end != '\0')
        return fallback;
    return v;
}

double String::toDouble(double fallback) const {
    String t = trimmed();
    if (t.isEmpty())
        return fallback;
    errno = 0;
    char* end = nullptr;
    double v = std::strtod(t.c_str(), &end);
    if (errno == ERANGE || end == t.c_str() || *end != '\0' || !std::isfinite(v))
        return fallback;
    return v;
}

bool String::isNumber() const {
    String t = trimmed();
    if (t.isEmpty())
        return false;
    char* end = nullptr;
    std::strtod(t.c_str(), &end);
    return end != t.c_str() && *end == '\0';
}

String String::fromLong(long v) {
    return String(std::to_string(v));
}

String String::fromDouble(double v, int precision) {
    if (precision < 0)
        return format("%g", v);
    return format("%.*f", precision, v);
}

String String::vformat(const char* fmt, va_list ap) {
    if (!fmt)
        return String();
    va_list copy;
    va_copy(copy, ap);
    char small[256];
    int n = std::vsnprintf(small, sizeof small, fmt, copy);
    va_end(copy);
    if (n < 0)
        return String();
    if (static_cast<std::size_t>(n) < sizeof small)
        return String(small, static_cast<std::size_t>(n));
    std::string big(static_cast<std::size_t>(n) + 1, '\0');
    std::vsnprintf(big.data(), big.size(), fmt, ap);
    big.resize(static_cast<std::size_t>(n));
    return String(std::move(big));
}

String String::format(const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    String r = vformat(fmt, ap);
    va_end(ap);
    return r;
}

String& String::appendFormat(const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    s_ += vformat(fmt, ap).s_;
    va_end(ap);
    return *this;
}

} // namespace Lattice
