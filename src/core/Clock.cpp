#include "core/Clock.h"

#include <algorithm>
#include <atomic>

namespace zel
{
namespace
{
std::atomic<bool> g_manual{false};
std::atomic<std::chrono::steady_clock::rep> g_manualTicks{0};
} // namespace

Clock::time_point Clock::Now()
{
    if (g_manual.load())
        return time_point(std::chrono::steady_clock::duration(g_manualTicks.load()));
    return std::chrono::steady_clock::now();
}

double Clock::Milliseconds()
{
    return std::chrono::duration<double, std::milli>(Now().time_since_epoch()).count();
}

long long Clock::MillisecondsSince(time_point mark)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Now() - mark).count();
}

void Clock::SetManual(bool manual)
{
    // Never backwards: an earlier manual run may have moved ahead of the real clock, and whatever measured time
    // against it (the frame loop's second, a wait) must not see time run back.
    const auto real = std::chrono::steady_clock::now().time_since_epoch().count();
    g_manualTicks.store(std::max(real, g_manualTicks.load()));
    g_manual.store(manual);
}

void Clock::Advance(std::chrono::milliseconds step)
{
    g_manualTicks.fetch_add(std::chrono::duration_cast<std::chrono::steady_clock::duration>(step).count());
}

} // namespace zel
