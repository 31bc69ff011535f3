#pragma once
// What the frame loop knows about the picture: whether anything that shows has changed since the frame on screen.
// Whatever changes a look reports it here (entities through NEntity::ReportChange, the parser after a read, input,
// the exports); the loop draws and presents only then, and at least every RefreshMs, so that a reader who waits
// costs next to nothing.

namespace zel
{
namespace SceneChanges
{
/// The longest time a picture stays on screen without being drawn again (a window uncovered, a driver that lost it).
constexpr long long RefreshMs = 250;

/// Something visible changed: the next frame that pacing allows is drawn.
void Report();
/// True when something changed since the last drawn frame, or the picture on screen is older than RefreshMs.
bool Pending();
/// Milliseconds since the last frame was drawn (a very large number before the first).
long long SinceDrawnMs();
/// A frame that shows everything reported so far is being drawn; what is reported while it draws belongs to the
/// next frame.
void Drawing();
/// Forgets everything (a new engine).
void Reset();
} // namespace SceneChanges
} // namespace zel
