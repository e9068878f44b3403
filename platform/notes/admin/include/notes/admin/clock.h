// The stand-in's clock. Every "now" of the library (note times, the session's current date-time,
// OSCurrentTIMEDATE) reads it. Tests may pin it and move it; it is process-wide.
#pragma once

#include <chrono>
#include <cstdint>

namespace notes {

class Clock {
public:
    using time_point = std::chrono::system_clock::time_point;

    // The current time: the pinned time when set, else the system clock.
    static time_point now();
    // Pins the clock at t.
    static void set(time_point t);
    // Pins the clock at year-month-day hour:minute:second GMT.
    static void set(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);
    // Moves the clock forward (pins it at now() + seconds first when it was free running).
    static void advance(std::int64_t seconds);
    // Back to the system clock.
    static void reset();
    static bool isPinned();
};

} // namespace notes
