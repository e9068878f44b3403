#pragma once
#include "Lattice/Base.h"
#include "Lattice/Containers.h"
#include "Lattice/Dates.h"
#include "Lattice/String.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace Lattice {

class StringUtil {
public:
    // MIME type by the file name's extension (case-insensitive): the text after the last ".", or
    // the whole text when it has no "." so that a bare extension ("pdf") works too. The empty
    // text when the extension is unknown or missing ("name.").
    static String computeMimeType(const String& fileName);
};

// A fresh random (version 4) GUID. Thread-safe.
class Guid {
public:
    static Guid create();
    // "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX", upper case. No braces: the text also serves as a
    // MIME boundary, where braces are not allowed.
    String toString() const;
    bool operator==(const Guid& o) const;
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

    BaseObject64() = default;
    BaseObject64(const BaseObject64& o);
    BaseObject64& operator=(const BaseObject64& o);

    // With `copy`, the bytes are copied and stay the caller's. Without, the block takes ownership
    // of `bytes`, which must come from new[], and frees them with delete[] — also when the call
    // is refused. Refused (false, the block unchanged): a negative length, or null bytes with a
    // positive length.
    bool setBinaryData(const char* bytes, long length, bool copy);
    const char* binaryData() const { return data_.get(); }
    long length() const { return length_; }
    void clear();

    String toBase64() const;
    // False (and the block unchanged) for text that is not Base64.
    bool fromBase64(const String& text);
    // RFC 4648 Base64 with padding, no line breaks.
    static String encode(const char* bytes, long length);
    static String encode(const String& text) { return encode(text.data(), text.length()); }
    // Strict: only the standard alphabet, whole 4-character groups, "=" only as the padding of the
    // last group and unused bits zero; CR and LF are skipped. False (and `out` unchanged)
    // otherwise.
    static bool decode(const String& text, std::vector<char>& out);

private:
    std::unique_ptr<char[]> data_;
    long length_ = 0;
};

// Merges busy spans over a window of days into the host's free/busy text.
//
// The window runs from `start` 00:00 to the midnight after `end`, as local days of `timeZone`
// (GMT when null). `granularity` in minutes: zero or negative keeps spans exact to the second;
// a positive value widens each span outward to whole blocks of that many minutes counted from
// the window's start.
//
// Text form: the merged spans in time order, separated by ";", each
// "YYYY-MM-DDTHH:MM:SSZ/YYYY-MM-DDTHH:MM:SSZ/status" in GMT (start inclusive, end exclusive).
// Where spans overlap the higher status wins; overlapping or touching spans of one status merge.
// No span gives the empty text.
class FreeBusyCoalescer {
public:
    struct Span {
        int64_t start; // epoch seconds, GMT
        int64_t end;
        long status;
        bool operator==(const Span&) const = default;
    };

    FreeBusyCoalescer(const _DateData& start, const _DateData& end, long granularity,
                      const _TimeZoneData* timeZone);
    // Date-times in any zone. A span with status 0 or less (free), an unset or reversed span, or
    // one wholly outside the window is skipped (false); the rest is clipped to the window.
    bool add(const _DateTimeData& start, const _DateTimeData& end, long status);
    // The merged spans, in time order.
    std::vector<Span> merged() const;
    // Appends the merged spans to `out` in the text form above.
    void addToString(String& out) const;
    void clear();
    long spanCount() const { return static_cast<long>(spans_.size()); }
    int64_t windowStart() const { return windowStart_; }
    int64_t windowEnd() const { return windowEnd_; }

private:
    int64_t windowStart_ = 0;
    int64_t windowEnd_ = 0;
    long granularity_ = 0;
    std::vector<Span> spans_;
};

} // namespace Lattice
