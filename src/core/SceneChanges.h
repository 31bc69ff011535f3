#pragma once
// What the frame loop knows about the picture: whether anything that shows has changed since the frame on screen,
// and where. Whatever changes a look reports it here (entities through NEntity::ReportChange, the parser after a
// read, input, the exports); the loop draws and presents only then, and at least every RefreshMs, so that a reader
// who waits costs next to nothing. A change confined to a small area (the wait icon's blink) is reported with that
// area, and the loop may then draw just that area.

#include <SFML/Graphics/Rect.hpp>

namespace zel
{
namespace SceneChanges
{
/// The longest time a picture stays on screen without being presented again (a window uncovered, a driver that lost
/// it).
constexpr long long RefreshMs = 250;

/// What the next frame has to do to show everything reported so far.
enum class Need
{
    Nothing, ///< the picture on screen is current
    Refresh, ///< nothing changed, but the picture on screen is RefreshMs old: present it again
    Area,    ///< only what lies in Area() changed
    Whole,   ///< anything may have changed
};

/// Something visible changed: the next frame that pacing allows is drawn whole.
void Report();
/// Something changed within area (view coordinates, as drawn: after the camera): the next frame may draw only there.
void ReportArea(const sf::FloatRect& area);
/// What the next frame needs.
Need Next();
/// Where the changes reported as areas lie (meaningful when Next() is Need::Area).
sf::FloatRect Area();
/// True when something changed since the last drawn frame, or the picture on screen is older than RefreshMs.
bool Pending();
/// Milliseconds since the last frame was drawn (a very large number before the first).
long long SinceDrawnMs();
/// A frame that shows everything reported so far is being drawn, the way given; what is reported while it draws
/// belongs to the next frame.
void Drawing(Need drawn);
/// How the last frame was drawn (Need::Nothing before the first).
Need LastDrawn();
/// Forgets everything (a new engine).
void Reset();
} // namespace SceneChanges
} // namespace zel
