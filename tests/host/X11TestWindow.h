#pragma once
// Small Xlib helpers for the host tests: a connection of the test's own, a host window to embed the engine in,
// window queries, the close request a window manager would send, and real pointer and keyboard input through XTest.

#include "X11Host.h"

#include <chrono>
#include <functional>
#include <string>

namespace hosttest
{

// The pieces every host needs (the connection, the host window, capture and focus) come from the host programs'
// common code, so that the tests' editor host is built the way the shot tool's is.
using hostcommon::DestroyWindow;
using hostcommon::FocusedWindow;
using hostcommon::MapWindow;
using hostcommon::WindowId;
using hostcommon::X11Connection;

enum class MapState
{
    Missing,
    Unmapped,
    Unviewable,
    Viewable,
};

/// A top-level window at 0,0 such as an editor hands to the engine; mapped at once when asked.
WindowId CreateHostWindow(Display* display, int width, int height, bool mapped);

/// The screen's root window: what the screen shows.
WindowId RootWindowOf(Display* display);
/// True while the window exists on the server.
bool WindowExists(Display* display, WindowId window);
/// The window's parent, or 0 when the window does not exist.
WindowId ParentOf(Display* display, WindowId window);
/// The window's WM_NAME, or "" when it has none or does not exist.
std::string NameOf(Display* display, WindowId window);
/// The window's map state; Missing when it does not exist.
MapState MapStateOf(Display* display, WindowId window);
/// The window's size; false when it does not exist.
bool SizeOf(Display* display, WindowId window, int& width, int& height);

/// A top-level window (or a window manager's frame child) whose name contains namePart; 0 when there is none.
WindowId FindTopLevelWindow(Display* display, const std::string& namePart);
/// Polls FindTopLevelWindow until it finds one or timeout passes; between runs between polls (may be empty).
WindowId WaitForTopLevelWindow(Display* display, const std::string& namePart, std::chrono::milliseconds timeout,
                               const std::function<void()>& between = {});

/// From now on the host's connection hears when a child of window is shown.
void WatchChildren(Display* display, WindowId window);
/// How often window was shown since the last call, by the events that WatchChildren asked for (the others that
/// arrived are dropped).
int CountMappings(Display* display, WindowId window);

/// Sends the WM_PROTOCOLS / WM_DELETE_WINDOW client message a window manager sends when the user closes a window.
bool SendDeleteWindow(Display* display, WindowId window);
// The input below is faked through XTest with the server to ourselves: window's top level is raised first, so that
// no other window lies over it, and a key goes to window, which takes the keyboard focus for it.

/// Moves the pointer to x,y inside window.
bool MovePointer(Display* display, WindowId window, int x, int y);
/// Pointer buttons by their X numbers; the wheel turns as presses of buttons 4 (up) and 5 (down).
enum class PointerButton
{
    Left = 1,
    Right = 3,
    WheelUp = 4,
    WheelDown = 5,
};
/// Moves the pointer to x,y inside window and presses and releases button there.
bool ClickAt(Display* display, WindowId window, int x, int y, PointerButton button = PointerButton::Left);
/// Moves the pointer to x,y inside window and presses (down) or releases button there: a drag is a press, moves
/// and a release, with frames between them, since the engine takes one pointer move per frame.
bool PressAt(Display* display, WindowId window, int x, int y, bool down, PointerButton button = PointerButton::Left);
/// Presses and releases the key of an X keysym name ("space", "Return", "Control_L", "a") in window, which must be
/// viewable (see GiveFocus).
bool PressKey(Display* display, WindowId window, const std::string& keysymName);
/// Gives window the keyboard focus once it is viewable and waits until the server reports it; false when it did not
/// happen within timeout. Without a window manager nobody else hands out the focus, so keys would otherwise go
/// wherever the pointer happens to be.
bool GiveFocus(Display* display, WindowId window, std::chrono::milliseconds timeout,
               const std::function<void()>& between = {});

} // namespace hosttest
