#include "resources/ResourcePool.h"

#include "core/Services.h"
#include "entities/LineValue.h"
#include "resources/ImageSize.h"
#include "resources/Logger.h"
#include "resources/NHelper.h"
#include "script/NParser.h"
#include "script/Parser.h"

#include <SFML/OpenGL.hpp>
#include <SFML/System/FileInputStream.hpp>
#include <physfs.h>

#include <algorithm>
#include <filesystem>

namespace zel
{
namespace
{
std::wstring WithForwardSlashes(std::wstring path)
{
    std::replace(path.begin(), path.end(), L'\\', L'/');
    return path;
}

/// The file's stream in the virtual file system, or null (logged) when it holds no such file.
std::shared_ptr<PhysFsStream> OpenStream(const std::string& filePath, const std::wstring& path)
{
    auto stream = std::make_shared<PhysFsStream>();
    if (stream->open(filePath))
        return stream;
    OutputDebugStringN(L"[ResourcePool::getNewResource] PHYSFS_openRead FAILED. filepath:%s. err-msg:%s \n",
                       path.c_str(), PhysFsLastError().c_str());
    return nullptr;
}

bool LoadFromFile(Texture& resource, const std::string& path)
{
    return resource.texture.loadFromFile(path);
}

bool LoadFromFile(Font& resource, const std::string& path)
{
    return resource.font.loadFromFile(path);
}

bool LoadFromStream(Texture& resource)
{
    return resource.texture.loadFromStream(*resource.stream);
}

bool LoadFromStream(Font& resource)
{
    return resource.font.loadFromStream(*resource.stream);
}

/// A picture whose header gives a size beyond the driver's texture limit is refused before decoding: decoded, a
/// few kilobytes of file can take gigabytes and minutes only to fail.
bool FitsTheDriver(Texture*, sf::InputStream& source, const std::wstring& path)
{
    sf::Vector2u size;
    const unsigned largest = sf::Texture::getMaximumSize();
    if (!ReadImageSize(source, size) || (size.x <= largest && size.y <= largest))
        return true;
    OutputDebugStringN(L"\nERROR. (ResourcePool::getNewResource) %s is %ix%i pixels, more than the %i the graphics "
                       L"driver can show: not loaded \n",
                       path.c_str(), static_cast<int>(size.x), static_cast<int>(size.y), static_cast<int>(largest));
    return false;
}

bool FitsTheDriver(Font*, sf::InputStream&, const std::wstring&)
{
    return true;
}

template <typename T> bool PlainFileFits(const std::string& filePath, const std::wstring& path)
{
    sf::FileInputStream file;
    return !file.open(filePath) || FitsTheDriver(static_cast<T*>(nullptr), file, path);
}

/// Whether the virtual file system finds path in an archive: else it would only read the plain file again.
bool InArchive(const std::string& filePath)
{
    const char* holder = PHYSFS_isInit() ? PHYSFS_getRealDir(filePath.c_str()) : nullptr;
    std::error_code ignored;
    return holder != nullptr && !std::filesystem::is_directory(holder, ignored);
}

void FinishLoading(Texture& resource)
{
    resource.texture.setSmooth(true);
}

void FinishLoading(Font&) {}

int Count(long count)
{
    return static_cast<int>(count);
}

/// Read line of the running parser; the main line when no parser runs.
int CurrentLine(int mainLine)
{
    if (Services::pNParser == nullptr)
        return mainLine;
    std::shared_ptr<Parser> current = Services::pNParser->Current();
    return current != nullptr ? current->readlineno : mainLine;
}
} // namespace

template <typename T> typename ResourcePool<T>::State& ResourcePool<T>::state()
{
    // Never destroyed: the engine's teardown at exit (Services::ReleaseAll) still empties the pools, and it may run
    // after this unit's own statics are gone.
    static State* const pool = new State();
    return *pool;
}

template <typename T> std::wstring ResourcePool<T>::keyOf(const std::wstring& path)
{
    const std::size_t slash = path.find(L'/');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

template <typename T> bool ResourcePool<T>::getResource(std::shared_ptr<T>& out, const std::wstring& path)
{
    // The plain-file load would follow a ".." out of the novel: a picture or font from anywhere on the disk.
    if (RefusedName(path, L"ResourcePool::getResource"))
    {
        out.reset();
        return false;
    }
    Services::ActivateRenderWindow();
    const std::wstring key = keyOf(path);
    if (getExistingResource(out, key, path))
        return true;
    return getNewResource(out, key, path);
}

template <typename T>
bool ResourcePool<T>::getExistingResource(std::shared_ptr<T>& out, const std::wstring& key, const std::wstring& path)
{
    auto& pool = state().pool;
    auto entry = pool.find(key);
    if (entry == pool.end())
        return false;
    Services::ActivateRenderWindow();
    out = entry->second.lock();
    if (out != nullptr)
    {
        OutputDebugStringN(L"[ResourcePool::getExistingResource] filename:%s, refs:%i, pool_size:%i \n", path.c_str(),
                           Count(out.use_count()), static_cast<int>(pool.size()));
        return true;
    }
    OutputDebugStringN(L"WARNING. (ResourcePool::getExistingResource) filename:%s, refs:0. RELEASING. WILL RELOAD. \n",
                       path.c_str());
    out.reset();
    glFlush();
    pool.erase(entry);
    return false;
}

template <typename T>
bool ResourcePool<T>::getNewResource(std::shared_ptr<T>& out, const std::wstring& key, const std::wstring& path)
{
    State& pool = state();
    const std::string filePath = NHelper::ws2s(WithForwardSlashes(path));
    const bool plainFile = !(pool.decided && pool.useStream) && IsPlainFile(filePath);
    // The stream is opened before the resource is made: a name that exists nowhere (an author still typing it)
    // costs no texture or font object.
    std::shared_ptr<PhysFsStream> stream;
    if (!plainFile && (stream = OpenStream(filePath, path)) == nullptr)
    {
        out.reset();
        return false;
    }
    if (plainFile ? !PlainFileFits<T>(filePath, path) : !FitsTheDriver(static_cast<T*>(nullptr), *stream, path))
    {
        out.reset();
        return false;
    }
    out = std::make_shared<T>();
    const bool fromFile = plainFile && LoadFromFile(*out, filePath);
    if (fromFile)
    {
        if (!pool.decided)
        {
            OutputDebugStringN(L"\n[ResourcePool::getNewResource] LOAD METHOD SET: LOAD_FROM_FILE \n\n");
            pool.decided = true;
            pool.useStream = false;
        }
    }
    else
    {
        // A plain file that would not load: an archive may still hold a good copy. The virtual file system would
        // find the same plain file again through the novel folder's mount, and decode it a second time for nothing.
        if (stream == nullptr && !InArchive(filePath))
        {
            OutputDebugStringN(L"[ResourcePool::getNewResource] loadFromFile FAILED. filepath:%s \n", path.c_str());
            out.reset();
            glFlush();
            return false;
        }
        if (stream == nullptr && ((stream = OpenStream(filePath, path)) == nullptr ||
                                  !FitsTheDriver(static_cast<T*>(nullptr), *stream, path)))
        {
            out.reset();
            glFlush();
            return false;
        }
        out->stream = std::move(stream);
        if (!LoadFromStream(*out))
        {
            OutputDebugStringN(L"[ResourcePool::getNewResource] loadFromStream FAILED. filepath:%s \n", path.c_str());
            out.reset();
            glFlush();
            return false;
        }
        if (!pool.decided)
        {
            OutputDebugStringN(L"\n[ResourcePool::getNewResource] LOAD METHOD SET: LOAD_FROM_STREAM \n\n");
            pool.decided = true;
            pool.useStream = true;
        }
    }
    out->key = key;
    FinishLoading(*out);
    glFlush();
    pool.pool[key] = out;
    const int mainLine = lineContext::MainLine();
    OutputDebugStringN(L"[ResourcePool::getNewResource] filename:%s, filepath:%s refs:%i, pool_size:%i, "
                       L"line(m:%i,c:%i) \n",
                       key.c_str(), path.c_str(), Count(out.use_count()), static_cast<int>(pool.pool.size()), mainLine,
                       CurrentLine(mainLine));
    return true;
}

template <typename T> void ResourcePool<T>::rel(std::shared_ptr<T>& handle, bool eraseFromPool)
{
    Services::ActivateRenderWindow();
    if (handle == nullptr)
    {
        OutputDebugStringN(L"[ResourcePool::rel] image is nullptr \n");
        return;
    }
    const std::wstring key = handle->key;
    handle.reset();
    auto& pool = state().pool;
    auto entry = pool.find(key);
    if (entry == pool.end())
    {
        OutputDebugStringN(L"[ResourcePool::rel] search texture not found. filename:%s \n", key.c_str());
        return;
    }
    OutputDebugStringN(L"[ResourcePool::rel] filename:%s refs:%i, pool_size:%i, eraseFromPool:%s \n", key.c_str(),
                       Count(entry->second.use_count()), static_cast<int>(pool.size()),
                       eraseFromPool ? L"true" : L"false");
    if (eraseFromPool || entry->second.expired())
        pool.erase(entry);
}

template <typename T> void ResourcePool<T>::printPool()
{
    const auto& pool = state().pool;
    if (pool.empty())
    {
        OutputDebugStringN(L"[ResourcePool::printPool] pool empty \n");
        return;
    }
    for (const auto& entry : pool)
        OutputDebugStringN(L"[ResourcePool::printPool] pool contents. name:\"%s\" use_count:%i \n", entry.first.c_str(),
                           Count(entry.second.use_count()));
}

template <typename T> void ResourcePool<T>::releaseAllResources()
{
    Services::ActivateRenderWindow();
    auto& pool = state().pool;
    for (const auto& entry : pool)
        if (!entry.second.expired())
            OutputDebugStringN(L"[releaseAllResources] WARNING. name:%s use_count:%i \n", entry.first.c_str(),
                               Count(entry.second.use_count()));
    pool.clear();
    printPool();
    OutputDebugStringN(L"[releaseAllResources] COMPLETE \n\n");
}

template <typename T> std::size_t ResourcePool<T>::size()
{
    return state().pool.size();
}

template <typename T> void ResourcePool<T>::resetLoadMethod()
{
    State& pool = state();
    pool.decided = false;
    pool.useStream = false;
}

template class ResourcePool<Texture>;
template class ResourcePool<Font>;

} // namespace zel
