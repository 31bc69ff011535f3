#include "X11TestWindow.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <chrono>
#include <thread>
#include <vector>

namespace hosttest
{
static_assert(sizeof(WindowId) == sizeof(Window), "WindowId must carry an Xlib Window");

namespace
{
using hostcommon::Checked;

/// Runs request with the server grabbed, so that no other client's request comes between its steps: test windows of
/// other processes on the same server map themselves on top and take the keyboard focus when they open. The input
/// that XTest fakes is handled before the server reads our next request, so it lands within the grab.
template <typename Request> bool Exclusively(Display* display, Request&& request)
{
    XGrabServer(display);
    const bool ok = Checked(display, request);
    XUngrabServer(display);
    XSync(display, False);
    return ok;
}

/// A window's place in the tree: its parent and its children (the parent is 0 when the query failed).
struct TreeNode
{
    Window parent = 0;
    std::vector<Window> children;
};

TreeNode QueryTree(Display* display, Window window)
{
    TreeNode node;
    Window root = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (!Checked(display, [&] { XQueryTree(display, window, &root, &node.parent, &children, &count); }))
        return TreeNode{};
    node.children.assign(children, children + count);
    if (children != nullptr)
        XFree(children);
    return node;
}

Window FindNamedBelow(Display* display, Window parent, const std::string& namePart, int depth)
{
    for (Window child : QueryTree(display, parent).children)
    {
        const std::string name = NameOf(display, child);
        if (!name.empty() && name.find(namePart) != std::string::npos)
            return child;
        if (depth > 0)
            if (Window found = FindNamedBelow(display, child, namePart, depth - 1))
                return found;
    }
    return 0;
}

/// The window's ancestor that is a child of the root: the one whose stacking decides what lies on top.
Window TopLevelOf(Display* display, Window window)
{
    const Window root = DefaultRootWindow(display);
    for (;;)
    {
        const Window parent = QueryTree(display, window).parent;
        if (parent == 0 || parent == root)
            return window;
        window = parent;
    }
}

/// The root coordinates of x,y inside window, where XTest puts the pointer; false when the server has no XTest or
/// the window is gone.
bool XTestTarget(Display* display, Window window, int x, int y, int& rootX, int& rootY)
{
    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = 0;
    Window ignored = 0;
    return XTestQueryExtension(display, &eventBase, &errorBase, &major, &minor) != 0 &&
           XTranslateCoordinates(display, window, DefaultRootWindow(display), x, y, &rootX, &rootY, &ignored) != 0;
}
} // namespace

Window CreateHostWindow(Display* display, int width, int height, bool mapped)
{
    hostcommon::HostWindowOptions options;
    options.name = "quillhaven test host";
    options.mapped = mapped;
    return hostcommon::CreateHostWindow(display, width, height, options);
}

Window RootWindowOf(Display* display)
{
    return DefaultRootWindow(display);
}

bool WindowExists(Display* display, Window window)
{
    return MapStateOf(display, window) != MapState::Missing;
}

Window ParentOf(Display* display, Window window)
{
    return QueryTree(display, window).parent;
}

std::string NameOf(Display* display, Window window)
{
    char* name = nullptr;
    if (!Checked(display, [&] { XFetchName(display, window, &name); }) || name == nullptr)
        return "";
    std::string result = name;
    XFree(name);
    return result;
}

MapState MapStateOf(Display* display, Window window)
{
    XWindowAttributes attributes{};
    Status status = 0;
    if (!Checked(display, [&] { status = XGetWindowAttributes(display, window, &attributes); }) || status == 0)
        return MapState::Missing;
    switch (attributes.map_state)
    {
    case IsViewable:
        return MapState::Viewable;
    case IsUnviewable:
        return MapState::Unviewable;
    default:
        return MapState::Unmapped;
    }
}

bool SizeOf(Display* display, Window window, int& width, int& height)
{
    XWindowAttributes attributes{};
    Status status = 0;
    if (!Checked(display, [&] { status = XGetWindowAttributes(display, window, &attributes); }) || status == 0)
        return false;
    width = attributes.width;
    height = attributes.height;
    return true;
}

Window FindTopLevelWindow(Display* display, const std::string& namePart)
{
    // Depth 1 also finds a client inside a window manager's frame.
    return FindNamedBelow(display, DefaultRootWindow(display), namePart, 1);
}

Window WaitForTopLevelWindow(Display* display, const std::string& namePart, std::chrono::milliseconds timeout,
                             const std::function<void()>& between)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;)
    {
        if (const Window found = FindTopLevelWindow(display, namePart))
            return found;
        if (std::chrono::steady_clock::now() >= deadline)
            return 0;
        if (between)
            between();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

void WatchChildren(Display* display, WindowId window)
{
    XSelectInput(display, window, SubstructureNotifyMask);
    XSync(display, False);
}

int CountMappings(Display* display, WindowId window)
{
    XSync(display, False);
    int mappings = 0;
    XEvent event;
    while (XCheckMaskEvent(display, SubstructureNotifyMask, &event))
        mappings += event.type == MapNotify && event.xmap.window == window ? 1 : 0;
    return mappings;
}

bool SendDeleteWindow(Display* display, Window window)
{
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    Status sent = 0;
    return Checked(display, [&] { sent = XSendEvent(display, window, False, NoEventMask, &event); }) && sent != 0;
}

namespace
{
/// Raises the window, moves the pointer to (x, y) in it and then does what follows, with nothing in between.
template <typename Then> bool WithPointerAt(Display* display, Window window, int x, int y, Then then)
{
    int rootX = 0;
    int rootY = 0;
    if (!XTestTarget(display, window, x, y, rootX, rootY))
        return false;
    const Window top = TopLevelOf(display, window);
    return Exclusively(display, [&] {
        XRaiseWindow(display, top);
        XTestFakeMotionEvent(display, -1, rootX, rootY, CurrentTime);
        then();
    });
}
} // namespace

bool MovePointer(Display* display, Window window, int x, int y)
{
    return WithPointerAt(display, window, x, y, [] {});
}

bool ClickAt(Display* display, Window window, int x, int y, PointerButton button)
{
    const auto number = static_cast<unsigned>(button);
    return WithPointerAt(display, window, x, y, [&] {
        XTestFakeButtonEvent(display, number, True, CurrentTime);
        XTestFakeButtonEvent(display, number, False, CurrentTime);
    });
}

bool PressAt(Display* display, Window window, int x, int y, bool down, PointerButton button)
{
    return WithPointerAt(display, window, x, y, [&] {
        XTestFakeButtonEvent(display, static_cast<unsigned>(button), down ? True : False, CurrentTime);
    });
}

bool PressKey(Display* display, Window window, const std::string& keysymName)
{
    const KeySym keysym = XStringToKeysym(keysymName.c_str());
    const KeyCode keycode = keysym != NoSymbol ? XKeysymToKeycode(display, keysym) : 0;
    int rootX = 0;
    int rootY = 0;
    if (keycode == 0 || !XTestTarget(display, window, 0, 0, rootX, rootY))
        return false;
    return Exclusively(display, [&] {
        XSetInputFocus(display, window, RevertToParent, CurrentTime);
        XTestFakeKeyEvent(display, keycode, True, CurrentTime);
        XTestFakeKeyEvent(display, keycode, False, CurrentTime);
    });
}

bool GiveFocus(Display* display, Window window, std::chrono::milliseconds timeout, const std::function<void()>& between)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;)
    {
        // Only a viewable window can take the focus; asking earlier is an error the server refuses.
        if (MapStateOf(display, window) == MapState::Viewable)
        {
            if (hostcommon::FocusOn(display, window) && FocusedWindow(display) == window)
                return true;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        if (between)
            between();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

} // namespace hosttest
