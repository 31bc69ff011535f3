#include "EngineLibrary.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

namespace
{
template <typename Fn> bool Resolve(void* handle, const char* name, Fn& target, std::string& error)
{
    target = reinterpret_cast<Fn>(dlsym(handle, name));
    if (target == nullptr)
        error = std::string("the engine library has no function ") + name;
    return target != nullptr;
}
} // namespace

std::string LibraryBesideProgram(const std::string& programPath)
{
    // The running program's own file first: programPath may be relative to a folder the program has since left
    // (the launcher changes into the novel's folder), or a bare name found through PATH.
    char resolved[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", resolved, sizeof resolved - 1);
    std::string program;
    if (length > 0)
        program.assign(resolved, static_cast<std::size_t>(length));
    else
        program = realpath(programPath.c_str(), resolved) != nullptr ? resolved : programPath;
    const auto slash = program.find_last_of('/');
    return (slash == std::string::npos ? std::string(".") : program.substr(0, slash)) + "/libquillhaven.so";
}

bool EngineLibrary::Load(const std::string& path, std::string& error)
{
    m_handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (m_handle == nullptr)
    {
        const char* why = dlerror();
        error = "cannot load " + path + ": " + (why != nullptr ? why : "unknown error");
        return false;
    }
    return Resolve(m_handle, "CreateRenderWindow", CreateRenderWindow, error) &&
           Resolve(m_handle, "InitNovelSettings", InitNovelSettings, error) &&
           Resolve(m_handle, "UpdateRenderWindow", UpdateRenderWindow, error) &&
           Resolve(m_handle, "DestroyRenderWindow", DestroyRenderWindow, error) &&
           Resolve(m_handle, "setNovelScriptText", setNovelScriptText, error) &&
           Resolve(m_handle, "setGameMode", setGameMode, error) && Resolve(m_handle, "AddCG", AddCG, error) &&
           Resolve(m_handle, "getGameOver", getGameOver, error) &&
           Resolve(m_handle, "setGameOver", setGameOver, error) &&
           Resolve(m_handle, "setEngineResolution", setEngineResolution, error) &&
           Resolve(m_handle, "setEngineFullscreen", setEngineFullscreen, error) &&
           Resolve(m_handle, "getEngineFullscreen", getEngineFullscreen, error) &&
           Resolve(m_handle, "getEngineWidth", getEngineWidth, error) &&
           Resolve(m_handle, "getEngineHeight", getEngineHeight, error) &&
           Resolve(m_handle, "getEngineColour", getEngineColour, error) &&
           Resolve(m_handle, "setRenderWindowProportion", setRenderWindowProportion, error) &&
           Resolve(m_handle, "setTweenAnimationDisplay", setTweenAnimationDisplay, error) &&
           Resolve(m_handle, "setPlayMusicDuringEdit", setPlayMusicDuringEdit, error) &&
           Resolve(m_handle, "setBoundingBoxDisplay", setBoundingBoxDisplay, error) &&
           Resolve(m_handle, "getDLLVersion", getDLLVersion, error) &&
           Resolve(m_handle, "fillDLLVersion", fillDLLVersion, error) &&
           Resolve(m_handle, "getDLLInformation", getDLLInformation, error) &&
           Resolve(m_handle, "OutputDebugStringN", OutputDebugStringN, error) &&
           Resolve(m_handle, "lintNovel", lintNovel, error) &&
           Resolve(m_handle, "SetupBugTrapExceptionHandler", SetupBugTrapExceptionHandler, error) &&
           Resolve(m_handle, "PHYSFS_init", PHYSFS_init, error) &&
           Resolve(m_handle, "PHYSFS_mount", PHYSFS_mount, error) &&
           Resolve(m_handle, "PHYSFS_exists", PHYSFS_exists, error) &&
           Resolve(m_handle, "PHYSFS_openRead", PHYSFS_openRead, error) &&
           Resolve(m_handle, "PHYSFS_fileLength", PHYSFS_fileLength, error) &&
           Resolve(m_handle, "PHYSFS_readBytes", PHYSFS_readBytes, error) &&
           Resolve(m_handle, "PHYSFS_close", PHYSFS_close, error);
}

bool EngineLibrary::LoadBeside(const std::string& programPath, std::string& error)
{
    return Load(LibraryBesideProgram(programPath), error) || Load("libquillhaven.so", error);
}

bool EngineLibrary::ReadFile(const std::string& path, std::string& bytes) const
{
    if (PHYSFS_exists == nullptr || !PHYSFS_exists(path.c_str()))
        return false;
    void* file = PHYSFS_openRead(path.c_str());
    if (file == nullptr)
        return false;
    const std::int64_t length = PHYSFS_fileLength(file);
    bytes.assign(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
    const std::int64_t got = bytes.empty() ? 0 : PHYSFS_readBytes(file, bytes.data(), bytes.size());
    PHYSFS_close(file);
    // A short read is a damaged archive entry, not a shorter file.
    return got == static_cast<std::int64_t>(bytes.size());
}
