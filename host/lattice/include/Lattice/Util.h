#pragma once
#include "Lattice/Base.h"
#include "Lattice/Containers.h"
#include "Lattice/Dates.h"
#include "Lattice/String.h"

#include <cstdint>
#include <vector>

namespace Lattice {

class StringUtil {
public:
    // MIME type by the file name's extension (case-insensitive); the empty text when unknown.
    static String computeMimeType(const String& fileName);
};

// A fresh random (version 4) GUID.
class Guid {
public:
    static Guid create();
    // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper case.
    String toString() const;
    const uint8_t* bytes() const { return b_; }

private:
    uint8_t b_[16] = {};
};

// A binary block handed to the host, with RFC 4648 Base64.
class BaseObject64 : public Base {
public:
    static const Atom& classAtom();
    const Atom& className() const override { return classAtom(); }
    bool inheritsFrom(const Atom& name) const override {
        return name == classAtom() || Base::inheritsFrom(name);
    }
    long sizeOf() const override { return sizeof(BaseObject64); }
    Base* copy(bool deep) const override;

    // With `copy`, the bytes are copied; without, the block takes ownership of `bytes`
    // (allocated with new[]) and frees them.
    void setBinaryData(const char* bytes, long length, bool copy);
    const char* binaryData() const { return data_.data(); }
    long length() const { return static_cast<long>(data_.size()); }

    String toBase64() const;
    // False (and the block unchanged) for text that is not Base64.
    bool fromBase64(const String& text);
    static String encode(const char* bytes, long length);
    static String encode(const String& text) { return encode(text.data(), text.length()); }
    static bool decode(const String& text, std::vector<char>& out);

private:
    std::vector<char> data_;
};

// Merges busy spans over a window into the host's free/busy text.
class FreeBusyCoalescer {
public:
    // `granularity` in minutes; a negative value means one block per |granularity| minutes
    // starting at `start`. `timeZone` may be null (GMT).
    FreeBusyCoalescer(const _DateData& start, const _DateData& end, long granularity,
                      const _TimeZoneData* timeZone);
    void add(const _DateTimeData& start, const _DateTimeData& end, long status);
    // Appends the merged spans to `out` (format in docs/decisions.md).
    void addToString(String& out) const;
    void clear();
    long spanCount() const { return static_cast<long>(spans_.size()); }

private:
    struct Span {
        int64_t start;
        int64_t end;
        long status;
    };
    int64_t windowStart_;
    int64_t windowEnd_;
    long granularity_;
    long bias_;
    std::vector<Span> spans_;
};

} // namespace Lattice
