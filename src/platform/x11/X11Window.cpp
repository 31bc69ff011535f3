// Windows of our own on X11 that SFML then draws into: the editor's render area, a plain child of the host's window,
// and the application's top-level window, made here so that it is placed before it is first shown.

#include "platform/Platform.h"
#include "platform/x11/X11Display.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <GL/glx.h>

namespace zel
{
namespace platform
{
namespace
{
using x11::RunChecked;
using x11::SharedDisplay;

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

/// Carries out what other windows of the parent asked while their requests were redirected to us; those of the
/// adopted window are dropped.
void PassOnHeldRequests(Display* display, Window adopted)
{
    XEvent held;
    while (XCheckMaskEvent(display, SubstructureRedirectMask, &held))
    {
        if (held.type == MapRequest && held.xmaprequest.window != adopted)
            RunChecked(display, [&] { XMapWindow(display, held.xmaprequest.window); });
        else if (held.type == ConfigureRequest && held.xconfigurerequest.window != adopted)
        {
            const XConfigureRequestEvent& request = held.xconfigurerequest;
            XWindowChanges changes{request.x,     request.y,     request.width, request.height, request.border_width,
                                   request.above, request.detail};
            RunChecked(display, [&] {
                XConfigureWindow(display, request.window, static_cast<unsigned>(request.value_mask), &changes);
            });
        }
    }
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

bool AdoptWithoutShowing(NativeHandle window, const std::function<void()>& adopt)
{
    Display* display = SharedDisplay();
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (display == nullptr || XQueryTree(display, static_cast<Window>(window), &root, &parent, &children, &count) == 0)
    {
        adopt();
        return false;
    }
    if (children != nullptr)
        XFree(children);
    if (parent == root) // redirecting the root's children would hold back every other client's windows
    {
        adopt();
        return false;
    }
    // With the parent's children redirected to us, SFML's requests to map and raise the window come to us as
    // requests, which we drop. Refused when another client redirects them already (a window manager's own window).
    const bool redirected = RunChecked(display, [&] { XSelectInput(display, parent, SubstructureRedirectMask); });
    adopt();
    if (!redirected)
        return false;
    // SFML's requests must have reached the server while the redirection holds.
    if (Display* drawing = glXGetCurrentDisplay())
        XSync(drawing, False);
    RunChecked(display, [&] { XSelectInput(display, parent, NoEventMask); });
    PassOnHeldRequests(display, static_cast<Window>(window));
    return true;
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
    if (display == nullptr || window == 0 || ConnectionLost())
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
    if (display == nullptr || window == 0 || ConnectionLost())
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
