#include "notes/admin/clock.h"

#include "values.h"

#include <mutex>

namespace notes {
namespace {

std::mutex gMutex;
bool gPinned = false;
Clock::time_point gPinnedAt;

} // namespace

Clock::time_point Clock::now() {
    std::lock_guard<std::mutex> lock(gMutex);
    return gPinned ? gPinnedAt : std::chrono::system_clock::now();
}

void Clock::set(time_point t) {
    std::lock_guard<std::mutex> lock(gMutex);
    gPinned = true;
    gPinnedAt = t;
}

void Clock::set(int year, int month, int day, int hour, int minute, int second) {
    const std::int64_t secs = daysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
    set(time_point(std::chrono::seconds(secs)));
}

void Clock::advance(std::int64_t seconds) {
    std::lock_guard<std::mutex> lock(gMutex);
    if (!gPinned) {
        gPinned = true;
        gPinnedAt = std::chrono::system_clock::now();
    }
    gPinnedAt += std::chrono::seconds(seconds);
}

void Clock::reset() {
    std::lock_guard<std::mutex> lock(gMutex);
    gPinned = false;
}

bool Clock::isPinned() {
    std::lock_guard<std::mutex> lock(gMutex);
    return gPinned;
}

std::int64_t ticksNow() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(Clock::now().time_since_epoch()).count() / 10;
}

} // namespace notes
