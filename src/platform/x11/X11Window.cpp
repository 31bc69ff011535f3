// Windows of our own on X11 that SFML then draws into: the editor's render area, a plain child of the host's window,
// and the application's top-level window, made here so that it is placed before it is first shown.

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

/// Runs a request that creates a window and returns it; a window whose making raised an X error is destroyed again
/// and 0 returned.
template <typename Create> NativeHandle CreateChecked(Display* display, Create&& create)
{
    Window window = 0;
    const bool ok = RunChecked(display, [&] { window = create(); });
    if (!ok && window != 0)
        RunChecked(display, [&] { XDestroyWindow(display, window); });
    return ok ? static_cast<NativeHandle>(window) : 0;
}

/// Asks window managers for a title bar with a close and a minimise button, and for moving but not resizing.
void RequestFixedDecorations(Display* display, Window window)
{
    constexpr long kFunctions = 1, kDecorations = 2;                       // which fields below count
    constexpr long kMove = 4, kMinimise = 8, kClose = 32;                  // functions
    constexpr long kBorder = 2, kTitle = 8, kMenu = 16, kMinimiseBox = 32; // decorations
    const long hints[5] = {kFunctions | kDecorations, kMove | kMinimise | kClose,
                           kBorder | kTitle | kMenu | kMinimiseBox, 0, 0};
    const Atom property = XInternAtom(display, "_MOTIF_WM_HINTS", False);
    XChangeProperty(display, window, property, property, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(hints), 5);
}

/// Close requests come as messages rather than the end of the connection; see PassOnWindowManagerMessages.
void RequestCloseMessages(Display* display, Window window)
{
    Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(display, window, &deleteWindow, 1);
}

/// The place is the user's choice as far as window managers are concerned, and the size is fixed.
void RequestFixedPlaceAndSize(Display* display, Window window, int x, int y, int width, int height)
{
    XSizeHints* hints = XAllocSizeHints();
    if (hints == nullptr)
        return;
    hints->flags = USPosition | PPosition | PMinSize | PMaxSize;
    hints->x = x;
    hints->y = y;
    hints->min_width = hints->max_width = width;
    hints->min_height = hints->max_height = height;
    XSetWMNormalHints(display, window, hints);
    XFree(hints);
}
} // namespace

NativeHandle CreateChildWindow(NativeHandle parent, int width, int height)
{
    Display* display = SharedDisplay();
    if (display == nullptr || parent == 0 || width <= 0 || height <= 0)
        return 0;
    return CreateChecked(display, [&] {
        // No event mask of ours: SFML selects the window's input events on its own connection, and
        // X lets only one client select button presses on a window.
        XSetWindowAttributes attributes{};
        const Window child = XCreateWindow(display, static_cast<Window>(parent), 0, 0, static_cast<unsigned>(width),
                                           static_cast<unsigned>(height), 0, CopyFromParent, InputOutput,
                                           CopyFromParent, 0, &attributes);
        if (child != 0)
            XStoreName(display, child, "renderwindow");
        return child;
    });
}

NativeHandle CreateApplicationWindow(int x, int y, int width, int height)
{
    Display* display = SharedDisplay();
    if (display == nullptr || width <= 0 || height <= 0)
        return 0;
    return CreateChecked(display, [&] {
        // Input events are SFML's to select, as for the render area.
        XSetWindowAttributes attributes{};
        attributes.background_pixel = BlackPixel(display, DefaultScreen(display));
        const Window window = XCreateWindow(display, DefaultRootWindow(display), x, y, static_cast<unsigned>(width),
                                            static_cast<unsigned>(height), 0, CopyFromParent, InputOutput,
                                            CopyFromParent, CWBackPixel, &attributes);
        if (window != 0)
        {
            RequestFixedPlaceAndSize(display, window, x, y, width, height);
            RequestFixedDecorations(display, window);
            RequestCloseMessages(display, window);
        }
        return window;
    });
}

void PassOnWindowManagerMessages(NativeHandle window)
{
    Display* display = SharedDisplay();
    if (display == nullptr || window == 0)
        return;
    const Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
    bool passed = false;
    while (XPending(display) > 0)
    {
        XEvent event{};
        XNextEvent(display, &event);
        if (event.type != ClientMessage || event.xclient.window != static_cast<Window>(window) ||
            event.xclient.message_type != protocols)
            continue;
        // SFML listens to the window's structure events; a message sent with that mask reaches its connection.
        RunChecked(display, [&] { XSendEvent(display, event.xclient.window, False, StructureNotifyMask, &event); });
        passed = true;
    }
    if (passed)
        XFlush(display);
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
