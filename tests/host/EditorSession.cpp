#include "EditorSession.h"

#include <cstdint>

namespace hosttest
{

bool OpenEditor(const HostLibrary& library, Display* display, const std::wstring& script, EditorWindows& windows,
                ChildReport& report, const EditorSetup& setup)
{
    windows.host = CreateHostWindow(display, 1024, 768, false);
    if (setup.watchChildren)
        WatchChildren(display, windows.host);
    void* const host = reinterpret_cast<void*>(windows.host);
    void* const child = library.CreateRenderWindow(nullptr, host, setup.width, setup.height, setup.title,
                                                   setup.scriptName, script.c_str(), L"", 1);
    if (!report.Check(child != nullptr, "CreateRenderWindow returned no render area"))
        return false;
    windows.child = static_cast<WindowId>(reinterpret_cast<std::uintptr_t>(child));
    library.InitNovelSettings(nullptr, host, setup.title, setup.scriptName, script.c_str(), L"", 1);
    return true;
}

} // namespace hosttest
