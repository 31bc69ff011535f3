#pragma once
// The engine library as a host sees it: loaded with dlopen, every export and the file-system functions resolved
// by name.

#include "quillhaven.h"

#include <cstdint>
#include <string>

/// The exports a launcher uses, resolved from the loaded library.
struct EngineLibrary
{
    decltype(&::CreateRenderWindow) CreateRenderWindow = nullptr;
    decltype(&::UpdateRenderWindow) UpdateRenderWindow = nullptr;
    decltype(&::DestroyRenderWindow) DestroyRenderWindow = nullptr;
    decltype(&::getGameOver) getGameOver = nullptr;
    decltype(&::OutputDebugStringN) OutputDebugStringN = nullptr;

    int (*PHYSFS_init)(const char*) = nullptr;
    int (*PHYSFS_mount)(const char*, const char*, int) = nullptr;
    int (*PHYSFS_exists)(const char*) = nullptr;
    void* (*PHYSFS_openRead)(const char*) = nullptr;
    std::int64_t (*PHYSFS_fileLength)(void*) = nullptr;
    std::int64_t (*PHYSFS_readBytes)(void*, void*, std::uint64_t) = nullptr;
    int (*PHYSFS_close)(void*) = nullptr;

    /// Loads the library found beside the program (or on the library path); error names what went wrong.
    bool Load(const std::string& programPath, std::string& error);
    /// Reads a whole file of the virtual file system; false when it is missing or unreadable.
    bool ReadFile(const std::string& path, std::string& bytes) const;

private:
    void* m_handle = nullptr;
};
