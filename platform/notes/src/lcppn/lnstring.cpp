#include "lnbodies.h"

#include <cstring>

namespace {

// Folds one Latin-1 character for comparison.
unsigned char fold(unsigned char c, LNSTRINGCOMPAREFLAGS flags) {
    if (flags & LNSTRINGCOMPAREFLAGS_ACCENT_INSENSITIVE) {
        // Latin-1 0xC0..0xFF to their base letters ('*' keeps the character).
        static const char kBase[] = "AAAAAAACEEEEIIII" "DNOOOOO*OUUUUYPs" "aaaaaaaceeeeiiii" "dnooooo*ouuuuypy";
        if (c >= 0xC0 && kBase[c - 0xC0] != '*') {
            c = static_cast<unsigned char>(kBase[c - 0xC0]);
        }
    }
    if (flags & LNSTRINGCOMPAREFLAGS_CASE_INSENSITIVE) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<unsigned char>(c + 32);
        } else if (c >= 0xC0 && c <= 0xDE && c != 0xD7) {
            c = static_cast<unsigned char>(c + 32);
        }
    }
    return c;
}

} // namespace

LNString::LNString(const char* text) : text_(text ? text : "") {}

LNString::LNString(const char* text, LNINT byteLength)
    : text_(text && byteLength > 0 ? std::string(text, static_cast<std::size_t>(byteLength)) : std::string()) {}

LNString& LNString::operator=(const char* text) {
    text_ = text ? text : "";
    return *this;
}

LNString& LNString::operator+=(const LNString& other) {
    text_ += other.text_;
    return *this;
}

LNString& LNString::operator+=(const char* other) {
    text_ += other ? other : "";
    return *this;
}

LNSTATUS LNString::Append(const LNString& other) {
    text_ += other.text_;
    return LNNOERROR;
}

LNCHAR LNString::At(LNINT index) const {
    return index >= 0 && static_cast<std::size_t>(index) < text_.size() ? text_[static_cast<std::size_t>(index)] : '\0';
}

LNString LNString::GetSubString(LNINT position, LNINT count) const {
    if (position < 0 || static_cast<std::size_t>(position) >= text_.size() || count <= 0) {
        return LNString();
    }
    return LNString(text_.substr(static_cast<std::size_t>(position), static_cast<std::size_t>(count)));
}

LNINT LNString::Find(const LNString& text, LNINT start) const {
    if (start < 0) {
        start = 0;
    }
    const std::size_t pos = text_.find(text.text_, static_cast<std::size_t>(start));
    return pos == std::string::npos ? -1 : static_cast<LNINT>(pos);
}

LNINT LNStringCompare(const LNString& a, const LNString& b, LNSTRINGCOMPAREFLAGS flags) {
    const std::string& x = a.str();
    const std::string& y = b.str();
    const std::size_t n = std::min(x.size(), y.size());
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char cx = fold(static_cast<unsigned char>(x[i]), flags);
        const unsigned char cy = fold(static_cast<unsigned char>(y[i]), flags);
        if (cx != cy) {
            return cx < cy ? -1 : 1;
        }
    }
    return x.size() == y.size() ? 0 : (x.size() < y.size() ? -1 : 1);
}
