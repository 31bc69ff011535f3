#pragma once
// The few services of the operating system that the engine needs beyond SFML: the editor's child window, message
// boxes, the debugger output, the crash reporter and the base folder. Nothing outside src/platform includes a
// system window header; everything goes through these functions.

#include <cstdint>
#include <string>

namespace zel
{
namespace platform
{

/// A native window id carried in a pointer-sized value (an X11 window id here).
using NativeHandle = std::uintptr_t;

/// Creates the editor's render area: a child of parent named "renderwindow" at 0,0, not shown until the host
/// shows it. Returns 0 on failure.
NativeHandle CreateChildWindow(NativeHandle parent, int width, int height);
/// Resizes a child window at 0,0; its old contents are not kept.
void ResizeChildWindow(NativeHandle window, int width, int height);
/// Destroys a window made by CreateChildWindow or CreateApplicationWindow.
void DestroyChildWindow(NativeHandle window);
/// Creates the application's own top-level window, not yet shown, at x,y (its top-left corner on the screen) with a
/// title bar and a close button and a size the user cannot change. SFML adopts and shows it, so that it appears
/// where it will stay. Returns 0 on failure.
NativeHandle CreateApplicationWindow(int x, int y, int width, int height);
/// Hands SFML the window manager's messages (a close request, say) to a window made by CreateApplicationWindow: X
/// delivers them to the window's maker, which is not SFML's connection. Called once per update; they arrive in
/// SFML's events by the next.
void PassOnWindowManagerMessages(NativeHandle window);
/// Gives the window the keyboard focus (the editor's render area takes it when clicked).
void FocusWindow(NativeHandle window);

/// Shows an area of the current GL context's back buffer in its window (x, y: the area's bottom-left corner, counted
/// from the window's bottom-left) and keeps the back buffer as it was, so that the next frame may redraw only a part
/// of it, or nothing. Returns false, showing nothing, where the driver cannot: the caller swaps buffers instead.
bool PresentBackBufferArea(int x, int y, int width, int height);

/// Reports a message to the user without blocking: the log and standard error receive text and caption.
void ShowMessageBox(const std::wstring& text, const std::wstring& caption);

/// The debugger output: standard error while QUILLHAVEN_DEBUG_OUTPUT is set in the environment, else nothing.
void DebuggerOutput(const std::wstring& text);
/// Whether the debugger output shows anything now.
bool DebuggerOutputWanted();

/// Installs, once, handlers for fatal signals that write a crash report (naming appName and attaching the last
/// lines of logPath) into the current folder, then let the signal take its default course.
/// Returns false when it was installed already.
bool InstallCrashHandler(const std::string& appName, const std::string& logPath);

/// The current folder: the base folder a novel runs from, and where Config.xml and debug.txt live.
std::string CurrentDirectory();

} // namespace platform
} // namespace zel
