#include "Lattice/Settings.h"

#include <map>
#include <mutex>
#include <string>

namespace Lattice {

namespace {
struct Store {
    std::mutex mutex;
    std::map<std::string, std::string> values;
};

// Built on first use so settings made from static initialisers in other libraries still land.
Store& store() {
    static Store* s = new Store();
    return *s;
}
} // namespace

namespace Settings {

void set(const String& key, const String& value) {
    Store& s = store();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.values[key.str()] = value.str();
}

String get(const String& key, const String& fallback) {
    Store& s = store();
    std::lock_guard<std::mutex> lock(s.mutex);
    auto it = s.values.find(key.str());
    return it == s.values.end() ? fallback : String(it->second);
}

bool has(const String& key) {
    Store& s = store();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.values.count(key.str()) != 0;
}

void remove(const String& key) {
    Store& s = store();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.values.erase(key.str());
}

} // namespace Settings

String getRuntimePath() {
    return Settings::get("runtimePath", "/hx/");
}

} // namespace Lattice
