#pragma once
// The few services of the operating system that the engine needs beyond SFML: the editor's child window, message
// boxes, the debugger output, the crash reporter and the base folder. Nothing outside src/platform includes a
// system window header; everything goes through these functions.

#include <cstddef>
#include <cstdint>
#include <functional>
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
/// Runs adopt, in which SFML takes over window (a child made by CreateChildWindow) and would show it, and keeps
/// the window as the host left it: not shown. The requests to show it are held back rather than undone later,
/// since an undoing request could reach the server after the host has shown the window. False when they could
/// not be held back; the caller then hides the window itself.
bool AdoptWithoutShowing(NativeHandle window, const std::function<void()>& adopt);
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
/// True while the window exists on the server.
bool WindowExists(NativeHandle window);

/// True when an X server can be reached: without one no window can be made, and SFML would abort the process.
bool DisplayAvailable();
/// Marks the calling thread as running the engine while it lives: X errors raised meanwhile come from the engine's
/// requests. They are logged once per kind and noted (see TakeXErrors) instead of ending the host.
class EngineCallScope
{
public:
    EngineCallScope();
    ~EngineCallScope();
    EngineCallScope(const EngineCallScope&) = delete;
    EngineCallScope& operator=(const EngineCallScope&) = delete;
};
/// Installs the engine's X error handling, once, and keeps the connection of the current GL context (SFML's) from
/// ending the process when the X server goes away. Called whenever a render window has been made.
void GuardRenderConnection();
/// Whether any X error was raised inside the engine since the last call.
bool TakeXErrors();
/// True once a connection of the engine to the X server was lost: no X request may be made any more.
bool ConnectionLost();

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

/// Keeps a logged message (cut to 511 characters) among the last 64, which a crash report lists. Safe from any
/// thread, without a lock.
void RememberLogMessage(const wchar_t* text, std::size_t length);

/// The current folder: the base folder a novel runs from, and where Config.xml and debug.txt live.
std::string CurrentDirectory();

} // namespace platform
} // namespace zel
