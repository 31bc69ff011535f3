#pragma once
// The engine's own X connection and the checked running of requests on it, shared by the units of this folder.

#include <X11/Xlib.h>

#include <type_traits>

namespace zel
{
namespace platform
{
namespace x11
{

/// One connection for the windows we create ourselves; SFML keeps its own for drawing and events. Null when no X
/// server can be reached.
Display* SharedDisplay();

/// Runs an X request with its errors recorded rather than reported; returns whether it raised none.
bool RunChecked(Display* display, void (*request)(Display*, void*), void* data);

template <typename Request> bool RunChecked(Display* display, Request&& request)
{
    using Body = std::remove_reference_t<Request>;
    return RunChecked(
        display, [](Display*, void* data) { (*static_cast<Body*>(data))(); }, &request);
}

} // namespace x11
} // namespace platform
} // namespace zel
