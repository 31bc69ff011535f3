#include "X11Host.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xcomposite.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace hostcommon
{
static_assert(sizeof(WindowId) == sizeof(Window), "WindowId must carry an Xlib Window");

namespace
{
int g_lastError = 0;
int RecordError(Display*, XErrorEvent* event)
{
    g_lastError = event->error_code;
    return 0;
}

/// Gives window a picture of its own on the server (Composite redirection), so that it keeps its pixels wherever it
/// lies. Manual redirection also keeps it off the screen; a compositing manager holds that for its own use, and then
/// automatic redirection is what remains. False when the server cannot redirect at all.
bool RedirectOffScreen(Display* display, Window window)
{
    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = 2;
    if (!XCompositeQueryExtension(display, &eventBase, &errorBase) ||
        !XCompositeQueryVersion(display, &major, &minor) || (major == 0 && minor < 2))
        return false;
    return Checked(display, [&] { XCompositeRedirectWindow(display, window, CompositeRedirectManual); }) ||
           Checked(display, [&] { XCompositeRedirectWindow(display, window, CompositeRedirectAutomatic); });
}

/// One colour channel of a visual: where its bits lie in a pixel value.
struct Channel
{
    explicit Channel(unsigned long mask) : m_mask(mask)
    {
        for (; mask != 0 && (mask & 1) == 0; mask >>= 1)
            ++m_shift;
        m_max = mask;
    }
    std::uint8_t Of(unsigned long pixel) const
    {
        if (m_max == 0)
            return 0;
        return static_cast<std::uint8_t>(((pixel & m_mask) >> m_shift) * 255 / m_max);
    }

private:
    unsigned long m_mask;
    unsigned m_shift = 0;
    unsigned long m_max = 0;
};

void ToPicture(XImage& image, const Visual& visual, Picture& picture)
{
    const Channel red(visual.red_mask);
    const Channel green(visual.green_mask);
    const Channel blue(visual.blue_mask);
    picture.width = image.width;
    picture.height = image.height;
    picture.rgba.resize(static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height) * 4);
    std::uint8_t* out = picture.rgba.data();
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x, out += 4)
        {
            const unsigned long pixel = XGetPixel(&image, x, y);
            out[0] = red.Of(pixel);
            out[1] = green.Of(pixel);
            out[2] = blue.Of(pixel);
            out[3] = 255;
        }
}

/// Cuts the span from start of length (-1: to the end) to 0..size.
void CutToWindow(int& start, int& length, int size)
{
    const int end = length < 0 ? size : std::min(start + length, size);
    start = std::max(start, 0);
    length = end - start;
}

XKeyEvent KeyEvent(Display* display, Window window, KeyCode keycode)
{
    XKeyEvent event{};
    event.display = display;
    event.window = window;
    event.root = DefaultRootWindow(display);
    event.subwindow = 0;
    event.time = CurrentTime;
    event.keycode = keycode;
    event.same_screen = True;
    return event;
}
} // namespace

X11Connection::X11Connection()
{
    const char* name = std::getenv("DISPLAY");
    const int attempts = name != nullptr && *name != '\0' ? 40 : 1;
    for (int attempt = 0; attempt < attempts && m_display == nullptr; ++attempt)
    {
        m_display = XOpenDisplay(nullptr);
        if (m_display == nullptr && attempt + 1 < attempts)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (m_display != nullptr)
        XSetErrorHandler(RecordError);
}

X11Connection::~X11Connection()
{
    if (m_display != nullptr)
        XCloseDisplay(m_display);
}

bool Checked(Display* display, const std::function<void()>& request)
{
    XSync(display, False);
    g_lastError = 0;
    request();
    XSync(display, False);
    return g_lastError == 0;
}

WindowId CreateHostWindow(Display* display, int width, int height, const HostWindowOptions& options)
{
    const int screen = DefaultScreen(display);
    XSetWindowAttributes attributes{};
    attributes.background_pixel = options.hidden ? BlackPixel(display, screen) : WhitePixel(display, screen);
    attributes.border_pixel = BlackPixel(display, screen);
    attributes.override_redirect = options.hidden ? True : False;
    // Off the screen by more than its own size, wherever the screen's edge lies.
    const int x = options.hidden ? -width - 64 : 0;
    const int y = options.hidden ? -height - 64 : 0;
    Window window = 0;
    Checked(display, [&] {
        window = XCreateWindow(display, RootWindow(display, screen), x, y, static_cast<unsigned>(width),
                               static_cast<unsigned>(height), 0, CopyFromParent, InputOutput, CopyFromParent,
                               CWBackPixel | CWBorderPixel | CWOverrideRedirect, &attributes);
    });
    if (window == 0)
        return 0;
    XStoreName(display, window, options.name.c_str());
    if (options.hidden && !RedirectOffScreen(display, window))
        XMoveWindow(display, window, 0, 0);
    if (options.mapped)
        MapWindow(display, window);
    XSync(display, False);
    return window;
}

void MapWindow(Display* display, WindowId window)
{
    XMapWindow(display, window);
    XSync(display, False);
}

void DestroyWindow(Display* display, WindowId window)
{
    Checked(display, [&] { XDestroyWindow(display, window); });
}

bool CaptureWindow(Display* display, WindowId window, Picture& picture)
{
    return CaptureWindowArea(display, window, 0, 0, -1, -1, picture);
}

bool CaptureWindowArea(Display* display, WindowId window, int x, int y, int width, int height, Picture& picture)
{
    XWindowAttributes attributes{};
    Status status = 0;
    if (!Checked(display, [&] { status = XGetWindowAttributes(display, window, &attributes); }) || status == 0 ||
        attributes.map_state != IsViewable || attributes.visual == nullptr)
        return false;
    // The server refuses an area that reaches past the window.
    CutToWindow(x, width, attributes.width);
    CutToWindow(y, height, attributes.height);
    if (width <= 0 || height <= 0)
        return false;
    XImage* image = nullptr;
    const bool ok = Checked(display, [&] {
        image = XGetImage(display, window, x, y, static_cast<unsigned>(width), static_cast<unsigned>(height), AllPlanes,
                          ZPixmap);
    });
    if (image == nullptr)
        return false;
    if (ok)
        ToPicture(*image, *attributes.visual, picture);
    XDestroyImage(image);
    return ok;
}

bool SendKey(Display* display, WindowId window, const char* keysymName)
{
    const KeySym keysym = XStringToKeysym(keysymName);
    const KeyCode keycode = keysym == NoSymbol ? 0 : XKeysymToKeycode(display, keysym);
    if (keycode == 0)
        return false;
    XEvent press{};
    press.xkey = KeyEvent(display, window, keycode);
    press.xkey.type = KeyPress;
    XEvent release = press;
    release.xkey.type = KeyRelease;
    Status pressed = 0;
    Status released = 0;
    return Checked(display,
                   [&] {
                       pressed = XSendEvent(display, window, False, KeyPressMask, &press);
                       released = XSendEvent(display, window, False, KeyReleaseMask, &release);
                   }) &&
           pressed != 0 && released != 0;
}

WindowId FocusedWindow(Display* display)
{
    Window focus = None;
    int revert = 0;
    XGetInputFocus(display, &focus, &revert);
    return focus;
}

bool FocusOn(Display* display, WindowId window)
{
    const bool given = Checked(display, [&] { XSetInputFocus(display, window, RevertToParent, CurrentTime); });
    XSync(display, False);
    return given;
}

void WatchKeys(Display* display, WindowId window)
{
    Checked(display, [&] { XSelectInput(display, window, KeyPressMask); });
}

std::vector<std::string> TakeKeyPresses(Display* display)
{
    std::vector<std::string> names;
    while (XPending(display) > 0)
    {
        XEvent event{};
        XNextEvent(display, &event);
        if (event.type != KeyPress)
            continue;
        const char* name = XKeysymToString(XLookupKeysym(&event.xkey, 0));
        names.emplace_back(name != nullptr ? name : "");
    }
    return names;
}

bool PointerIn(Display* display, WindowId window, int& x, int& y)
{
    Window root = None;
    Window child = None;
    int rootX = 0;
    int rootY = 0;
    unsigned int buttons = 0;
    Bool found = False;
    return Checked(display,
                   [&] { found = XQueryPointer(display, window, &root, &child, &rootX, &rootY, &x, &y, &buttons); }) &&
           found;
}

} // namespace hostcommon
