#include "notes/admin/clock.h"

#include "values.h"

#include <mutex>
#ifdef _WIN32
#include <sys/timeb.h>
#endif

namespace notes {
namespace {

std::mutex gMutex;
bool gPinned = false;
Clock::time_point gPinnedAt;

// The 32-bit Windows runtime's clock_gettime, which the standard clock reads, stops at 2038.
Clock::time_point systemNow() {
#ifdef _WIN32
    __timeb64 now{};
    _ftime64(&now);
    return Clock::time_point(std::chrono::duration_cast<Clock::time_point::duration>(
        std::chrono::seconds(now.time) + std::chrono::milliseconds(now.millitm)));
#else
    return std::chrono::system_clock::now();
#endif
}

} // namespace

Clock::time_point Clock::now() {
    std::lock_guard<std::mutex> lock(gMutex);
    return gPinned ? gPinnedAt : systemNow();
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
        gPinnedAt = systemNow();
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
