#include "Lattice/Util.h"

#include <cstring>

namespace Lattice {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int sextet(unsigned char c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

} // namespace

const Atom& BaseObject64::classAtom() {
    static const Atom atom("BaseObject64");
    return atom;
}

BaseObject64::BaseObject64(const BaseObject64& o) : Base(o) {
    setBinaryData(o.binaryData(), o.length(), true);
}

BaseObject64& BaseObject64::operator=(const BaseObject64& o) {
    if (this != &o)
        setBinaryData(o.binaryData(), o.length(), true);
    return *this;
}

// The bytes are the block's value, so even a shallow copy carries them.
Base* BaseObject64::copy(bool /*deep*/) const {
    return new BaseObject64(*this);
}

bool BaseObject64::setBinaryData(const char* bytes, long length, bool copy) {
    std::unique_ptr<char[]> taken(copy ? nullptr : const_cast<char*>(bytes));
    if (length < 0 || (!bytes && length > 0))
        return false;
    if (length == 0) {
        clear();
        return true;
    }
    if (copy) {
        std::unique_ptr<char[]> block(new char[static_cast<std::size_t>(length)]);
        std::memcpy(block.get(), bytes, static_cast<std::size_t>(length));
        data_ = std::move(block);
    } else {
        data_ = std::move(taken);
    }
    length_ = length;
    return true;
}

void BaseObject64::clear() {
    data_.reset();
    length_ = 0;
}

String BaseObject64::toBase64() const {
    return encode(data_.get(), length_);
}

bool BaseObject64::fromBase64(const String& text) {
    std::vector<char> bytes;
    if (!decode(text, bytes))
        return false;
    return setBinaryData(bytes.data(), static_cast<long>(bytes.size()), true);
}

String BaseObject64::encode(const char* bytes, long length) {
    if (!bytes || length <= 0)
        return String();
    const auto* p = reinterpret_cast<const unsigned char*>(bytes);
    const auto n = static_cast<std::size_t>(length);
    std::string out;
    out.reserve((n + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= n; i += 3) {
        uint32_t v = (uint32_t{p[i]} << 16) | (uint32_t{p[i + 1]} << 8) | p[i + 2];
        out += kAlphabet[v >> 18];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
        out += kAlphabet[v & 63];
    }
    if (n - i == 1) {
        uint32_t v = uint32_t{p[i]} << 16;
        out += kAlphabet[v >> 18];
        out += kAlphabet[(v >> 12) & 63];
        out += "==";
    } else if (n - i == 2) {
        uint32_t v = (uint32_t{p[i]} << 16) | (uint32_t{p[i + 1]} << 8);
        out += kAlphabet[v >> 18];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
        out += '=';
    }
    return String(std::move(out));
}

bool BaseObject64::decode(const String& text, std::vector<char>& out) {
    std::vector<char> bytes;
    bytes.reserve(static_cast<std::size_t>(text.length()) / 4 * 3);
    int group[4];
    int filled = 0;
    int padding = 0;
    bool finished = false; // a padded group ends the data
    for (long i = 0; i < text.length(); ++i) {
        auto c = static_cast<unsigned char>(text[i]);
        if (c == '\r' || c == '\n')
            continue;
        if (finished)
            return false;
        if (c == '=') {
            // Padding only in the last two places of a group, after at least two data characters.
            if (filled < 2)
                return false;
            ++padding;
            group[filled++] = 0;
        } else {
            int v = sextet(c);
            if (v < 0 || padding > 0)
                return false;
            group[filled++] = v;
        }
        if (filled == 4) {
            uint32_t v = (uint32_t(group[0]) << 18) | (uint32_t(group[1]) << 12) | (uint32_t(group[2]) << 6) |
                         uint32_t(group[3]);
            // Unused bits must be zero, so every byte string has exactly one encoding.
            if ((padding == 1 && (v & 0xFF) != 0) || (padding == 2 && (v & 0xFFFF) != 0))
                return false;
            bytes.push_back(static_cast<char>(v >> 16));
            if (padding < 2)
                bytes.push_back(static_cast<char>((v >> 8) & 0xFF));
            if (padding < 1)
                bytes.push_back(static_cast<char>(v & 0xFF));
            finished = padding > 0;
            filled = 0;
        }
    }
    if (filled != 0)
        return false;
    out = std::move(bytes);
    return true;
}

} // namespace Lattice
