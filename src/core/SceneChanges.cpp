#include "core/SceneChanges.h"

#include "core/Clock.h"

#include <limits>

namespace zel
{
namespace
{
// Only the host's thread changes and draws the scene.
bool g_changed = true;
bool g_presentedOnce = false;
Clock::time_point g_presentedAt{};
} // namespace

void SceneChanges::Report()
{
    g_changed = true;
}

bool SceneChanges::Pending()
{
    return g_changed || !g_presentedOnce || Clock::MillisecondsSince(g_presentedAt) >= RefreshMs;
}

long long SceneChanges::SinceDrawnMs()
{
    return g_presentedOnce ? Clock::MillisecondsSince(g_presentedAt) : std::numeric_limits<long long>::max();
}

void SceneChanges::Drawing()
{
    g_changed = false;
    g_presentedOnce = true;
    g_presentedAt = Clock::Now();
}

void SceneChanges::Reset()
{
    g_changed = true;
    g_presentedOnce = false;
}
} // namespace zel
