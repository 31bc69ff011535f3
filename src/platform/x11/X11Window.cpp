// The editor's render area on X11: a plain child window of the host's window that SFML then draws into.

#include "platform/Platform.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <mutex>

namespace zel
{
namespace platform
{
namespace
{

/// One connection for the windows we create ourselves; SFML keeps its own for drawing and events.
Display* SharedDisplay()
{
    static std::once_flag once;
    static Display* display = nullptr;
    std::call_once(once, [] {
        XInitThreads();
        display = XOpenDisplay(nullptr);
    });
    return display;
}

/// X errors (a parent window that does not exist, say) must not end the host, as Xlib's default handler would.
int g_lastXError = 0;
int RecordXError(Display*, XErrorEvent* event)
{
    g_lastXError = event->error_code;
    return 0;
}

/// Runs an X request under the recording handler and reports whether it raised an error.
template <typename Request> bool RunChecked(Display* display, Request&& request)
{
    XSync(display, False);
    g_lastXError = 0;
    auto previous = XSetErrorHandler(RecordXError);
    request();
    XSync(display, False);
    XSetErrorHandler(previous);
    return g_lastXError == 0;
}

} // namespace

NativeHandle CreateChildWindow(NativeHandle parent, int width, int height)
{
    Display* display = SharedDisplay();
    if (display == nullptr || parent == 0 || width <= 0 || height <= 0)
        return 0;
    Window child = 0;
    bool ok = RunChecked(display, [&] {
        // No event mask of ours: SFML selects the window's input events on its own connection, and
        // X lets only one client select button presses on a window.
        XSetWindowAttributes attributes{};
        child = XCreateWindow(display, static_cast<Window>(parent), 0, 0, static_cast<unsigned>(width),
                              static_cast<unsigned>(height), 0, CopyFromParent, InputOutput, CopyFromParent, 0,
                              &attributes);
        if (child != 0)
            XStoreName(display, child, "renderwindow");
    });
    if (!ok && child != 0)
    {
        RunChecked(display, [&] { XDestroyWindow(display, child); });
        child = 0;
    }
    return ok ? static_cast<NativeHandle>(child) : 0;
}

void ResizeChildWindow(NativeHandle window, int width, int height)
{
    Display* display = SharedDisplay();
    if (display == nullptr || window == 0 || width <= 0 || height <= 0)
        return;
    RunChecked(display, [&] {
        XMoveResizeWindow(display, static_cast<Window>(window), 0, 0, static_cast<unsigned>(width),
                          static_cast<unsigned>(height));
    });
}

void DestroyChildWindow(NativeHandle window)
{
    Display* display = SharedDisplay();
    if (display == nullptr || window == 0)
        return;
    RunChecked(display, [&] { XDestroyWindow(display, static_cast<Window>(window)); });
}

void FocusWindow(NativeHandle window)
{
    Display* display = SharedDisplay();
    if (display == nullptr || window == 0)
        return;
    RunChecked(display, [&] {
        XWindowAttributes attributes{};
        if (XGetWindowAttributes(display, static_cast<Window>(window), &attributes) &&
            attributes.map_state == IsViewable)
            XSetInputFocus(display, static_cast<Window>(window), RevertToParent, CurrentTime);
    });
}

} // namespace platform
} // namespace zel
