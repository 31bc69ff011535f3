#include "core/SceneChanges.h"

#include "core/Clock.h"

#include <algorithm>
#include <limits>

namespace zel
{
namespace
{
// Only the host's thread changes and draws the scene.
bool g_changed = true;
bool g_areaChanged = false;
sf::FloatRect g_area;
bool g_presentedOnce = false;
Clock::time_point g_presentedAt{};
SceneChanges::Need g_lastDrawn = SceneChanges::Need::Nothing;

sf::FloatRect Union(const sf::FloatRect& a, const sf::FloatRect& b)
{
    const float left = std::min(a.left, b.left);
    const float top = std::min(a.top, b.top);
    const float right = std::max(a.left + a.width, b.left + b.width);
    const float bottom = std::max(a.top + a.height, b.top + b.height);
    return sf::FloatRect(left, top, right - left, bottom - top);
}
} // namespace

void SceneChanges::Report()
{
    g_changed = true;
}

void SceneChanges::ReportArea(const sf::FloatRect& area)
{
    g_area = g_areaChanged ? Union(g_area, area) : area;
    g_areaChanged = true;
}

SceneChanges::Need SceneChanges::Next()
{
    if (g_changed || !g_presentedOnce)
        return Need::Whole;
    if (g_areaChanged)
        return Need::Area;
    return Clock::MillisecondsSince(g_presentedAt) >= RefreshMs ? Need::Refresh : Need::Nothing;
}

sf::FloatRect SceneChanges::Area()
{
    return g_area;
}

bool SceneChanges::Pending()
{
    return Next() != Need::Nothing;
}

long long SceneChanges::SinceDrawnMs()
{
    return g_presentedOnce ? Clock::MillisecondsSince(g_presentedAt) : std::numeric_limits<long long>::max();
}

void SceneChanges::Drawing(Need drawn)
{
    g_changed = false;
    g_areaChanged = false;
    g_presentedOnce = true;
    g_presentedAt = Clock::Now();
    g_lastDrawn = drawn;
}

SceneChanges::Need SceneChanges::LastDrawn()
{
    return g_lastDrawn;
}

void SceneChanges::Reset()
{
    g_changed = true;
    g_areaChanged = false;
    g_presentedOnce = false;
    g_lastDrawn = Need::Nothing;
}
} // namespace zel
