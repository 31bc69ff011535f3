#pragma once
// The one clock that the frame loop, waits and pacing read. Tests switch it to manual time and advance it, so
// timing behaviour is tested without sleeping.

#include <chrono>

namespace zel
{

class Clock
{
public:
    using time_point = std::chrono::steady_clock::time_point;

    static time_point Now();
    /// Now as milliseconds on the clock's own scale (for the start and elapsed times of animations).
    static double Milliseconds();
    /// Whole milliseconds from mark to now.
    static long long MillisecondsSince(time_point mark);
    /// Manual time starts at the current real time (or where an earlier manual run left it, if later) and moves
    /// only through Advance.
    static void SetManual(bool manual);
    static void Advance(std::chrono::milliseconds step);
};

} // namespace zel
