#pragma once
// The X11 side of a host program: a display connection whose errors are recorded instead of ending the process, the
// top-level window a host embeds the engine's render area in, clicks handed straight to a window, and a window's
// pixels read back. Shared by the shot tool and the host-level tests.

#include "Picture.h"

#include <functional>
#include <string>
#include <vector>

// Xlib's headers stay out of here: their macros (None, Bool, Status, ...) collide with other code.
typedef struct _XDisplay Display;

namespace hostcommon
{

/// An X11 window id (Xlib's Window).
using WindowId = unsigned long;

/// A display connection of the host's own. X errors on it (a window that is already gone, say) are recorded, see
/// Checked, instead of ending the process the way Xlib's default handler would.
class X11Connection
{
public:
    /// Connects to $DISPLAY; a server that is resetting refuses connections for a moment, so a set DISPLAY is tried
    /// for up to two seconds.
    X11Connection();
    ~X11Connection();
    X11Connection(const X11Connection&) = delete;
    X11Connection& operator=(const X11Connection&) = delete;

    Display* get() const { return m_display; }
    explicit operator bool() const { return m_display != nullptr; }

private:
    Display* m_display = nullptr;
};

/// Runs request and reports whether the server answered it without an error.
bool Checked(Display* display, const std::function<void()>& request);

struct HostWindowOptions
{
    std::string name = "quillhaven host";
    bool mapped = false;
    /// Out of the user's sight: off the screen, passed over by window managers, and drawn into a picture of its own
    /// rather than onto the screen, so that CaptureWindow still reads what the engine drew. Without the server's
    /// Composite extension a window off the screen has no pixels to read; such a window is put at 0,0 instead.
    bool hidden = false;
};

/// A top-level window such as an editor hands to the engine (at 0,0 unless hidden); 0 when the server refused it.
WindowId CreateHostWindow(Display* display, int width, int height, const HostWindowOptions& options = {});
/// Maps a window and waits until the server has done so.
void MapWindow(Display* display, WindowId window);
/// Destroys a window of ours.
void DestroyWindow(Display* display, WindowId window);

/// Reads what window shows into picture (opaque RGBA); false when the window does not exist, is not viewable or
/// the server refused to hand over its pixels.
bool CaptureWindow(Display* display, WindowId window, Picture& picture);
/// Reads the area of window at x,y, width x height pixels, cut to the window (-1 for "to its edge"); as
/// CaptureWindow, and false when nothing of the area lies in the window. Quicker than the whole window when polled.
bool CaptureWindowArea(Display* display, WindowId window, int x, int y, int width, int height, Picture& picture);

/// Hands window a press and release of the key of an X keysym name ("space"), as the server would deliver them to
/// the focused window, without taking the keyboard focus or raising any window.
bool SendKey(Display* display, WindowId window, const char* keysymName);

/// The window holding the keyboard focus (may be None or PointerRoot).
WindowId FocusedWindow(Display* display);

/// Gives window the keyboard focus; false when the server refused (a window that is not viewable, say).
bool FocusOn(Display* display, WindowId window);

/// From now on the key presses in window (the engine's render area, say) reach this connection as well as the
/// window's own client; TakeKeyPresses hands them over.
void WatchKeys(Display* display, WindowId window);
/// The keysym names ("Escape") of the key presses that reached this connection since the last call.
std::vector<std::string> TakeKeyPresses(Display* display);
/// Where the pointer is, in window's pixels; false when the window does not exist.
bool PointerIn(Display* display, WindowId window, int& x, int& y);

} // namespace hostcommon
