#include "EngineLibrary.h"

#include <dlfcn.h>

namespace
{
std::string DirectoryOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

template <typename Fn> bool Resolve(void* handle, const char* name, Fn& target, std::string& error)
{
    target = reinterpret_cast<Fn>(dlsym(handle, name));
    if (target == nullptr)
        error = std::string("the engine library has no function ") + name;
    return target != nullptr;
}
} // namespace

bool EngineLibrary::Load(const std::string& programPath, std::string& error)
{
    char resolved[4096];
    const std::string program = realpath(programPath.c_str(), resolved) != nullptr ? resolved : programPath;
    m_handle = dlopen((DirectoryOf(program) + "/libquillhaven.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    if (m_handle == nullptr)
        m_handle = dlopen("libquillhaven.so", RTLD_NOW | RTLD_LOCAL);
    if (m_handle == nullptr)
    {
        error = std::string("cannot load libquillhaven.so: ") + dlerror();
        return false;
    }
    return Resolve(m_handle, "CreateRenderWindow", CreateRenderWindow, error) &&
           Resolve(m_handle, "UpdateRenderWindow", UpdateRenderWindow, error) &&
           Resolve(m_handle, "DestroyRenderWindow", DestroyRenderWindow, error) &&
           Resolve(m_handle, "getGameOver", getGameOver, error) &&
           Resolve(m_handle, "OutputDebugStringN", OutputDebugStringN, error) &&
           Resolve(m_handle, "PHYSFS_init", PHYSFS_init, error) &&
           Resolve(m_handle, "PHYSFS_mount", PHYSFS_mount, error) &&
           Resolve(m_handle, "PHYSFS_exists", PHYSFS_exists, error) &&
           Resolve(m_handle, "PHYSFS_openRead", PHYSFS_openRead, error) &&
           Resolve(m_handle, "PHYSFS_fileLength", PHYSFS_fileLength, error) &&
           Resolve(m_handle, "PHYSFS_readBytes", PHYSFS_readBytes, error) &&
           Resolve(m_handle, "PHYSFS_close", PHYSFS_close, error);
}

bool EngineLibrary::ReadFile(const std::string& path, std::string& bytes) const
{
    if (!PHYSFS_exists(path.c_str()))
        return false;
    void* file = PHYSFS_openRead(path.c_str());
    if (file == nullptr)
        return false;
    const std::int64_t length = PHYSFS_fileLength(file);
    bytes.assign(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
    const std::int64_t got = bytes.empty() ? 0 : PHYSFS_readBytes(file, bytes.data(), bytes.size());
    PHYSFS_close(file);
    if (got < 0)
        return false;
    bytes.resize(static_cast<std::size_t>(got));
    return true;
}
