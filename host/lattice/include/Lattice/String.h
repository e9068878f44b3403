#pragma once
#include <cstdarg>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace Lattice {

template <class T> class Array;

// The framework's 8-bit text with value semantics. Positions are byte offsets; "not found" is -1.
// Case-insensitive operations fold ASCII letters only, which is what 8-bit Notes text needs.
class String {
public:
    static constexpr long npos = -1;

    String() = default;
    String(const char* s) : s_(s ? s : "") {}
    String(const char* s, std::size_t len) : s_(s ? std::string(s, len) : std::string()) {}
    String(std::string s) : s_(std::move(s)) {}
    String(std::string_view s) : s_(s) {}
    // Sized constructor: an empty text with room for `capacity` bytes (the growth step is advisory).
    String(int capacity, int growBy);

    const char* c_str() const { return s_.c_str(); }
    const char* data() const { return s_.data(); }
    const std::string& str() const { return s_; }
    std::string& str() { return s_; }
    std::string_view view() const { return s_; }
    operator std::string_view() const { return s_; }
    long length() const { return static_cast<long>(s_.size()); }
    bool isEmpty() const { return s_.empty(); }
    char operator[](long i) const { return s_[static_cast<std::size_t>(i)]; }
    char charAt(long i) const { return (i >= 0 && i < length()) ? s_[static_cast<std::size_t>(i)] : '\0'; }

    String& operator+=(const String& o) {
        s_ += o.s_;
        return *this;
    }
    String& operator+=(const char* o) {
        s_ += (o ? o : "");
        return *this;
    }
    String& operator+=(char c) {
        s_ += c;
        return *this;
    }
    String& append(const char* p, long n) {
        if (p && n > 0)
            s_.append(p, static_cast<std::size_t>(n));
        return *this;
    }
    void clear() { s_.clear(); }
    void reserve(long n) { s_.reserve(n > 0 ? static_cast<std::size_t>(n) : 0); }

    friend String operator+(const String& a, const String& b) { return String(a.s_ + b.s_); }
    friend String operator+(const String& a, const char* b) { return String(a.s_ + (b ? b : "")); }
    friend String operator+(const char* a, const String& b) { return String((a ? a : "") + b.s_); }
    friend String operator+(const String& a, char c) { return String(a.s_ + c); }

    bool operator==(const String& o) const { return s_ == o.s_; }
    bool operator==(const char* o) const { return s_ == (o ? o : ""); }
    bool operator!=(const String& o) const { return s_ != o.s_; }
    bool operator!=(const char* o) const { return !(*this == o); }
    bool operator<(const String& o) const { return s_ < o.s_; }

    // <0, 0, >0 like strcmp.
    int compare(const String& o) const;
    int compareNoCase(const String& o) const;
    bool equalsNoCase(const String& o) const { return compareNoCase(o) == 0; }

    long find(const String& what, long from = 0) const;
    long findNoCase(const String& what, long from = 0) const;
    long find(char c, long from = 0) const;
    long findLast(const String& what) const;
    long findLast(char c) const;
    bool contains(const String& what) const { return find(what) >= 0; }
    bool containsNoCase(const String& what) const { return findNoCase(what) >= 0; }
    bool startsWith(const String& p) const;
    bool startsWithNoCase(const String& p) const;
    bool endsWith(const String& p) const;
    bool endsWithNoCase(const String& p) const;

    // Out-of-range arguments are clamped, never thrown.
    String substring(long start, long count = npos) const;
    String left(long count) const { return substring(0, count); }
    String right(long count) const;

    // Returns the number of replacements; an empty `from` replaces nothing.
    long replaceAll(const String& from, const String& to);
    long replaceAllNoCase(const String& from, const String& to);
    String replaced(const String& from, const String& to) const {
        String r(*this);
        r.replaceAll(from, to);
        return r;
    }

    // Splits on every occurrence of `sep`; `keepEmpty` keeps empty pieces between adjacent separators.
    Array<String> split(const String& sep, bool keepEmpty = true) const;
    static String join(const Array<String>& parts, const String& sep);

    String trimmed() const;
    String& trim() { return *this = trimmed(); }
    String toLower() const;
    String toUpper() const;

    long toLong(long fallback = 0) const;
    double toDouble(double fallback = 0.0) const;
    bool isNumber() const;
    static String fromLong(long v);
    static String fromDouble(double v, int precision = -1);

    // printf-style formatting; never truncates.
    static String format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
    static String vformat(const char* fmt, va_list ap);
    String& appendFormat(const char* fmt, ...) __attribute__((format(printf, 2, 3)));

    std::size_t hash() const { return std::hash<std::string>()(s_); }

private:
    std::string s_;
};

} // namespace Lattice

template <> struct std::hash<Lattice::String> {
    std::size_t operator()(const Lattice::String& s) const noexcept { return s.hash(); }
};
