#include "Lattice/Util.h"

#include <cstring>
#include <mutex>
#include <random>

namespace Lattice {

namespace {

struct Generator {
    std::mutex mutex;
    std::mt19937_64 engine;

    Generator() {
        std::random_device rd;
        std::seed_seq seq{rd(), rd(), rd(), rd(), rd(), rd(), rd(), rd()};
        engine.seed(seq);
    }
};

Generator& generator() {
    static Generator* g = new Generator();
    return *g;
}

} // namespace

Guid Guid::create() {
    Guid g;
    Generator& gen = generator();
    {
        std::lock_guard<std::mutex> lock(gen.mutex);
        for (int i = 0; i < 16; i += 8) {
            uint64_t v = gen.engine();
            std::memcpy(g.b_ + i, &v, 8);
        }
    }
    g.b_[6] = static_cast<uint8_t>((g.b_[6] & 0x0F) | 0x40); // version 4
    g.b_[8] = static_cast<uint8_t>((g.b_[8] & 0x3F) | 0x80); // RFC 4122 variant
    return g;
}

String Guid::toString() const {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string s;
    s.reserve(36);
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            s += '-';
        s += kHex[b_[i] >> 4];
        s += kHex[b_[i] & 0x0F];
    }
    return String(std::move(s));
}

bool Guid::operator==(const Guid& o) const {
    return std::memcmp(b_, o.b_, sizeof b_) == 0;
}

} // namespace Lattice
