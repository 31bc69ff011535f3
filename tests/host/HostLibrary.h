#pragma once
// The engine library as the host tests see it: opened with dlopen from its build path and every export resolved
// by name, exactly as an editor or a launcher would. Only ever create one inside a forked child: the library's
// state (window, logger, file system) belongs to the process that loads it.

#include "quillhaven.h"

#include <chrono>
#include <functional>
#include <string>

namespace hosttest
{

struct HostLibrary
{
    decltype(&::CreateRenderWindow) CreateRenderWindow = nullptr;
    decltype(&::InitNovelSettings) InitNovelSettings = nullptr;
    decltype(&::UpdateRenderWindow) UpdateRenderWindow = nullptr;
    decltype(&::DestroyRenderWindow) DestroyRenderWindow = nullptr;
    decltype(&::setNovelScriptText) setNovelScriptText = nullptr;
    decltype(&::setGameMode) setGameMode = nullptr;
    decltype(&::AddCG) AddCG = nullptr;
    decltype(&::getGameOver) getGameOver = nullptr;
    decltype(&::setGameOver) setGameOver = nullptr;
    decltype(&::setEngineResolution) setEngineResolution = nullptr;
    decltype(&::setEngineFullscreen) setEngineFullscreen = nullptr;
    decltype(&::getEngineFullscreen) getEngineFullscreen = nullptr;
    decltype(&::getEngineWidth) getEngineWidth = nullptr;
    decltype(&::getEngineHeight) getEngineHeight = nullptr;
    decltype(&::getEngineColour) getEngineColour = nullptr;
    decltype(&::setRenderWindowProportion) setRenderWindowProportion = nullptr;
    decltype(&::setTweenAnimationDisplay) setTweenAnimationDisplay = nullptr;
    decltype(&::setPlayMusicDuringEdit) setPlayMusicDuringEdit = nullptr;
    decltype(&::setBoundingBoxDisplay) setBoundingBoxDisplay = nullptr;
    decltype(&::getDLLVersion) getDLLVersion = nullptr;
    decltype(&::fillDLLVersion) fillDLLVersion = nullptr;
    decltype(&::getDLLInformation) getDLLInformation = nullptr;
    decltype(&::OutputDebugStringN) OutputDebugStringN = nullptr;
    decltype(&::SetupBugTrapExceptionHandler) SetupBugTrapExceptionHandler = nullptr;

    // The file-system functions an application host calls before it starts the engine, found through the same
    // handle (the library's own dependency).
    int (*PHYSFS_init)(const char* argv0) = nullptr;
    int (*PHYSFS_mount)(const char* newDir, const char* mountPoint, int appendToPath) = nullptr;

    /// Opens QUILLHAVEN_LIBRARY_PATH and resolves everything above; see ok() and error().
    HostLibrary();
    HostLibrary(const HostLibrary&) = delete;
    HostLibrary& operator=(const HostLibrary&) = delete;

    /// True when the library opened and every function resolved.
    bool ok() const { return m_error.empty(); }
    /// What went wrong: the dlopen error or the first name that did not resolve.
    const std::string& error() const { return m_error; }

private:
    template <typename Fn> void Resolve(const char* name, Fn& target);

    // The library stays loaded for the rest of the process, as with a host that loads it once; its statics (the
    // logger among them) shut down when the process exits normally.
    void* m_handle = nullptr;
    std::string m_error;
};

/// Runs frames engine frames, a few milliseconds apart, as a host's frame loop would.
void RunFrames(const HostLibrary& library, int frames);
/// Runs frames until done() holds or timeout passes; returns done().
bool RunFramesUntil(const HostLibrary& library, const std::function<bool()>& done, std::chrono::milliseconds timeout);
/// getDLLInformation without a dialog query; the parser state goes to state when given.
EngineInfo QueryInfo(const HostLibrary& library, int32_t* state = nullptr);

} // namespace hosttest
