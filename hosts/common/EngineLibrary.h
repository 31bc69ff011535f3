#pragma once
// The engine library as a host sees it: loaded with dlopen and every export resolved by name, together with the
// file-system functions an application host calls before it starts the engine (the library's own dependency,
// found through the same handle). Shared by the launcher, the editor host and the host-level tests.

#include "quillhaven.h"

#include <cstdint>
#include <string>

struct EngineLibrary
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
    decltype(&::lintNovel) lintNovel = nullptr;
    decltype(&::SetupBugTrapExceptionHandler) SetupBugTrapExceptionHandler = nullptr;

    int (*PHYSFS_init)(const char* argv0) = nullptr;
    int (*PHYSFS_mount)(const char* newDir, const char* mountPoint, int appendToPath) = nullptr;
    int (*PHYSFS_exists)(const char* path) = nullptr;
    void* (*PHYSFS_openRead)(const char* path) = nullptr;
    std::int64_t (*PHYSFS_fileLength)(void* file) = nullptr;
    std::int64_t (*PHYSFS_readBytes)(void* file, void* buffer, std::uint64_t length) = nullptr;
    int (*PHYSFS_close)(void* file) = nullptr;

    /// Opens the library at path and resolves everything above; false with error naming the dlopen failure or
    /// the first missing function. The library stays loaded for the rest of the process, as with any host.
    bool Load(const std::string& path, std::string& error);
    /// Loads the library beside the program at programPath, else the one the system's loader finds by name; false
    /// with error naming the last failure.
    bool LoadBeside(const std::string& programPath, std::string& error);
    /// Reads a whole file of the virtual file system; false when it is missing or unreadable.
    bool ReadFile(const std::string& path, std::string& bytes) const;

private:
    void* m_handle = nullptr;
};

/// Path of libquillhaven.so in the folder of the running program.
std::string LibraryBesideProgram(const std::string& programPath);
