// The engine's X connections and what happens to their errors. Xlib's default handlers end the process on any
// error, and a host that embeds the engine must survive a window of its own going away under the engine, or the
// X server itself going away. Errors raised while the engine runs are logged once per kind and noted, so that the
// engine can find out whether its window is gone; a lost connection is logged and noted instead of exiting.

#include "platform/x11/X11Display.h"
#include "platform/Platform.h"
#include "resources/Logger.h"

#include <GL/glx.h>
#include <X11/Xproto.h>

#include <atomic>
#include <cwchar>
#include <mutex>

namespace zel
{
namespace platform
{
namespace
{
/// Whether the thread is inside the engine; X errors processed meanwhile come from the engine's requests, since
/// the engine never reads the host's connection.
thread_local int t_engineCalls = 0;
/// Set by the recording handler of RunChecked.
int g_recordedError = 0;
int RecordXError(Display*, XErrorEvent* event)
{
    g_recordedError = event->error_code;
    return 0;
}

/// The engine's connections: ours and SFML's.
constexpr int kGuardedCapacity = 8;
std::atomic<Display*> g_guarded[kGuardedCapacity];
std::atomic<int> g_guardedCount{0};
XIOErrorHandler g_hostIOHandler = nullptr;

bool IsGuarded(Display* display)
{
    for (const auto& guarded : g_guarded)
        if (guarded.load() == display)
            return true;
    return false;
}

XErrorHandler g_hostHandler = nullptr;
std::atomic<bool> g_errorSeen{false};
std::atomic<bool> g_connectionLost{false};

/// The kinds of error already logged (error code and request), so that a frame loop meeting the same error every
/// frame logs it once.
struct ErrorKind
{
    int code;
    int request;
    int minor;
};
constexpr int kKindCapacity = 64;
ErrorKind g_loggedKinds[kKindCapacity];
int g_loggedCount = 0;
std::mutex g_kindsMutex;

bool FirstOfKind(const XErrorEvent& event)
{
    std::lock_guard<std::mutex> lock(g_kindsMutex);
    for (int i = 0; i < g_loggedCount; ++i)
    {
        const ErrorKind& kind = g_loggedKinds[i];
        if (kind.code == event.error_code && kind.request == event.request_code && kind.minor == event.minor_code)
            return false;
    }
    if (g_loggedCount == kKindCapacity)
        return false; // that many kinds: the log has told enough
    g_loggedKinds[g_loggedCount++] = {event.error_code, event.request_code, event.minor_code};
    return true;
}

int OnXError(Display* display, XErrorEvent* event)
{
    // An error of the engine's own requests may still be read after the call that made them (SFML closing its
    // connection at exit, say), hence both tests.
    if (t_engineCalls == 0 && !IsGuarded(display))
        return g_hostHandler != nullptr ? g_hostHandler(display, event) : 0; // the host's own connection
    // SFML asks for the keyboard focus when it adopts a window, which the host may not have shown yet: the server
    // refuses that, and nothing is lost.
    if (event->request_code == X_SetInputFocus && event->error_code == BadMatch)
        return 0;
    g_errorSeen = true;
    if (!FirstOfKind(*event))
        return 0;
    // Looked up in Xlib's local error database: no request goes to the server from here.
    char text[256] = "";
    XGetErrorText(display, event->error_code, text, sizeof text);
    // Formatted here: the log formats messages only once the novel state exists, and this may come before.
    wchar_t message[512];
    std::swprintf(message, 512,
                  L"\nERROR. (X11) %s (error %d, request %d.%d, resource 0x%lx); the engine carries on \n", text,
                  static_cast<int>(event->error_code), static_cast<int>(event->request_code),
                  static_cast<int>(event->minor_code), event->resourceid);
    OutputDebugStringVerbatim(message);
    return 0;
}

/// Called by Xlib once a connection of the engine broke, in place of exiting the process.
void OnConnectionLost(Display*, void*)
{
    if (!g_connectionLost.exchange(true))
        OutputDebugStringN(L"\nERROR. (X11) the connection to the X server was lost; the engine closes its window \n");
}

/// Xlib's own handler for a broken connection ends the process; for the engine's connections this one returns, and
/// Xlib then calls OnConnectionLost instead of exiting.
int OnIOError(Display* display)
{
    if (t_engineCalls > 0 || IsGuarded(display))
        return 0;
    return g_hostIOHandler != nullptr ? g_hostIOHandler(display) : 0; // the host's connection: as before
}

void InstallErrorHandler()
{
    static std::once_flag once;
    std::call_once(once, [] {
        g_hostHandler = XSetErrorHandler(OnXError);
        if (g_hostHandler == OnXError)
            g_hostHandler = nullptr;
        g_hostIOHandler = XSetIOErrorHandler(OnIOError);
        if (g_hostIOHandler == OnIOError)
            g_hostIOHandler = nullptr;
    });
}

/// Keeps a lost connection from ending the process.
void SurviveLoss(Display* display)
{
    if (display == nullptr || IsGuarded(display))
        return;
    g_guarded[g_guardedCount.fetch_add(1) % kGuardedCapacity].store(display);
    XSetIOErrorExitHandler(display, OnConnectionLost, nullptr);
}
} // namespace

namespace x11
{

Display* SharedDisplay()
{
    static std::once_flag once;
    static Display* display = nullptr;
    std::call_once(once, [] {
        XInitThreads();
        display = XOpenDisplay(nullptr);
        if (display == nullptr)
            return;
        InstallErrorHandler(); // before SFML makes its first request
        SurviveLoss(display);
    });
    return display;
}

bool RunChecked(Display* display, void (*request)(Display*, void*), void* data)
{
    XSync(display, False);
    g_recordedError = 0;
    // Swapped in and out rather than relying on the engine's handler: the host may have replaced that one.
    const XErrorHandler previous = XSetErrorHandler(RecordXError);
    request(display, data);
    XSync(display, False);
    XSetErrorHandler(previous);
    return g_recordedError == 0;
}

} // namespace x11

EngineCallScope::EngineCallScope()
{
    ++t_engineCalls;
}

EngineCallScope::~EngineCallScope()
{
    --t_engineCalls;
}

bool DisplayAvailable()
{
    return x11::SharedDisplay() != nullptr;
}

void GuardRenderConnection()
{
    InstallErrorHandler();
    SurviveLoss(glXGetCurrentDisplay());
}

bool TakeXErrors()
{
    return g_errorSeen.exchange(false);
}

bool ConnectionLost()
{
    return g_connectionLost.load();
}

bool WindowExists(NativeHandle window)
{
    Display* display = x11::SharedDisplay();
    if (display == nullptr || window == 0 || ConnectionLost())
        return false;
    Status status = 0;
    const bool answered = x11::RunChecked(display, [&] {
        XWindowAttributes attributes{};
        status = XGetWindowAttributes(display, static_cast<Window>(window), &attributes);
    });
    return answered && status != 0;
}

} // namespace platform
} // namespace zel
