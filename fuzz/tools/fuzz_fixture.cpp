// Seed fixtures (server.json) from arbitrary JSON: reading one either succeeds or throws the
// fixture's own error with a message saying where, never a JSON type error or worse. Files a
// fixture names are looked for in a folder that does not exist.
#include "fixture.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const nsfadmin::json root = nsfadmin::json::parse(data, data + size, nullptr, false);
    if (root.is_discarded()) {
        return 0;
    }
    try {
        nsfadmin::readFixture(root, "/nonexistent-fixture-folder");
    } catch (const nsfadmin::FixtureError& e) {
        if (e.message.empty()) {
            std::abort();
        }
    }
    return 0;
}
