#include "HostLibrary.h"

#include <dlfcn.h>

#include <thread>

namespace hosttest
{

template <typename Fn> void HostLibrary::Resolve(const char* name, Fn& target)
{
    target = m_handle != nullptr ? reinterpret_cast<Fn>(dlsym(m_handle, name)) : nullptr;
    if (target == nullptr && m_error.empty())
        m_error = std::string("the library has no symbol ") + name;
}

HostLibrary::HostLibrary()
{
    m_handle = dlopen(QUILLHAVEN_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    if (m_handle == nullptr)
    {
        const char* why = dlerror();
        m_error = std::string("dlopen " QUILLHAVEN_LIBRARY_PATH ": ") + (why != nullptr ? why : "unknown error");
        return;
    }
    Resolve("CreateRenderWindow", CreateRenderWindow);
    Resolve("InitNovelSettings", InitNovelSettings);
    Resolve("UpdateRenderWindow", UpdateRenderWindow);
    Resolve("DestroyRenderWindow", DestroyRenderWindow);
    Resolve("setNovelScriptText", setNovelScriptText);
    Resolve("setGameMode", setGameMode);
    Resolve("AddCG", AddCG);
    Resolve("getGameOver", getGameOver);
    Resolve("setGameOver", setGameOver);
    Resolve("setEngineResolution", setEngineResolution);
    Resolve("setEngineFullscreen", setEngineFullscreen);
    Resolve("getEngineFullscreen", getEngineFullscreen);
    Resolve("getEngineWidth", getEngineWidth);
    Resolve("getEngineHeight", getEngineHeight);
    Resolve("getEngineColour", getEngineColour);
    Resolve("setRenderWindowProportion", setRenderWindowProportion);
    Resolve("setTweenAnimationDisplay", setTweenAnimationDisplay);
    Resolve("setPlayMusicDuringEdit", setPlayMusicDuringEdit);
    Resolve("setBoundingBoxDisplay", setBoundingBoxDisplay);
    Resolve("getDLLVersion", getDLLVersion);
    Resolve("fillDLLVersion", fillDLLVersion);
    Resolve("getDLLInformation", getDLLInformation);
    Resolve("OutputDebugStringN", OutputDebugStringN);
    Resolve("SetupBugTrapExceptionHandler", SetupBugTrapExceptionHandler);
    Resolve("PHYSFS_init", PHYSFS_init);
    Resolve("PHYSFS_mount", PHYSFS_mount);
}

void RunFrames(const HostLibrary& library, int frames)
{
    for (int i = 0; i < frames; ++i)
    {
        library.UpdateRenderWindow();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

bool RunFramesUntil(const HostLibrary& library, const std::function<bool()>& done, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done())
    {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        RunFrames(library, 1);
    }
    return true;
}

EngineInfo QueryInfo(const HostLibrary& library, int32_t* state)
{
    UserDialogInfo dialog{};
    return library.getDLLInformation(state, nullptr, &dialog, 0);
}

} // namespace hosttest
