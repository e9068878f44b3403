// LNString: the class library's 8-bit text (the stand-in's native character set is ISO-8859-1,
// standing in for LMBCS).
#pragma once

#include "notes/lnglobal.h"

#include <string>

typedef unsigned long LNSTRINGCOMPAREFLAGS;
#define LNSTRINGCOMPAREFLAGS_DEFAULT 0x0           // case and accent sensitive
#define LNSTRINGCOMPAREFLAGS_CASE_INSENSITIVE 0x1  // ASCII and Latin-1 letters fold
#define LNSTRINGCOMPAREFLAGS_ACCENT_INSENSITIVE 0x2

class LNString {
public:
    LNString() = default;
    LNString(const char* text);
    LNString(const char* text, LNINT byteLength);
    LNString(const std::string& text) : text_(text) {}
    LNString(std::string&& text) : text_(std::move(text)) {}

    LNString& operator=(const char* text);
    LNString& operator+=(const LNString& other);
    LNString& operator+=(const char* other);
    LNSTATUS Append(const LNString& other);

    const char* GetTextPtr() const { return text_.c_str(); }
    operator const char*() const { return text_.c_str(); }
    LNINT GetByteLength() const { return static_cast<LNINT>(text_.size()); }
    LNINT GetCharacterCount() const { return static_cast<LNINT>(text_.size()); }
    LNBOOL IsNull() const { return text_.empty(); }
    LNCHAR operator[](int index) const { return At(index); }
    LNCHAR operator[](long index) const { return At(index); }
    LNCHAR operator[](unsigned long index) const { return At(static_cast<LNINT>(index)); }
    LNCHAR At(LNINT index) const; // 0 when out of range
    LNString GetSubString(LNINT position, LNINT count) const;
    // Position of the first occurrence of `text` at or after `start`, or -1.
    LNINT Find(const LNString& text, LNINT start = 0) const;
    void DeleteAll() { text_.clear(); }

    // Stand-in extension: the text as a std::string.
    const std::string& str() const { return text_; }

    friend bool operator==(const LNString& a, const LNString& b) { return a.text_ == b.text_; }
    friend bool operator==(const LNString& a, const char* b) { return a.text_ == (b ? b : ""); }
    friend bool operator==(const char* a, const LNString& b) { return b == a; }
    friend bool operator!=(const LNString& a, const LNString& b) { return !(a == b); }
    friend bool operator!=(const LNString& a, const char* b) { return !(a == b); }
    friend bool operator!=(const char* a, const LNString& b) { return !(b == a); }
    friend bool operator<(const LNString& a, const LNString& b) { return a.text_ < b.text_; }
    friend LNString operator+(const LNString& a, const LNString& b) { return LNString(a.text_ + b.text_); }
    friend LNString operator+(const LNString& a, const char* b) { return LNString(a.text_ + (b ? b : "")); }

private:
    std::string text_;
};

// <0, 0 or >0 as a sorts before, with or after b.
LNINT LNStringCompare(const LNString& a, const LNString& b, LNSTRINGCOMPAREFLAGS flags = LNSTRINGCOMPAREFLAGS_DEFAULT);
