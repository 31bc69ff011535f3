#pragma once
// An editor's start-up as the host tests perform it: a top-level window of the host's own, the engine's render area
// made inside it, then the novel settings.

#include "ChildReport.h"
#include "HostLibrary.h"
#include "X11TestWindow.h"

#include <string>

namespace hosttest
{

/// The host's window and the render area the engine made inside it.
struct EditorWindows
{
    WindowId host = 0;
    WindowId child = 0;
};

/// What the editor hands the engine at start-up.
struct EditorSetup
{
    int width = 640;
    int height = 480;
    const wchar_t* title = L"Editor";
    const wchar_t* scriptName = L"main.txt";
    /// Whether the host hears of its children being shown (see CountMappings) from before the render area exists.
    bool watchChildren = false;
};

/// Whether the library loaded and the host's X display opened; what failed is noted in report.
inline bool ReadyToHost(const HostLibrary& library, bool displayOpen, ChildReport& report)
{
    return report.Check(library.ok(), library.error()) && report.Check(displayOpen, "no X display");
}

/// Does what an editor does at start-up: its own window (not yet shown), the render area inside it, then the novel
/// settings. False, noted in report, when the engine made no render area.
bool OpenEditor(const HostLibrary& library, Display* display, const std::wstring& script, EditorWindows& windows,
                ChildReport& report, const EditorSetup& setup = {});

} // namespace hosttest
