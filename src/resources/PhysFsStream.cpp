#include "resources/PhysFsStream.h"

#include "resources/Logger.h"
#include "resources/NHelper.h"

#include <physfs.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>

namespace zel
{

std::wstring PhysFsLastError()
{
    const char* message = PHYSFS_getErrorByCode(PHYSFS_getLastErrorCode());
    return NHelper::s2ws(message != nullptr ? message : "");
}

bool NPHYSFS_close(PHYSFS_File* file)
{
    if (file == nullptr || PHYSFS_close(file) != 0)
        return true;
    OutputDebugStringN(L"[NPHYSFS_close] PHYSFS_close ERROR!!! %s \n", PhysFsLastError().c_str());
    return false;
}

PhysFsStream::PhysFsStream(const std::string& path)
{
    open(path);
}

PhysFsStream::~PhysFsStream()
{
    close();
}

bool PhysFsStream::open(const std::string& path)
{
    close();
    m_path = NHelper::s2ws(path);
    PHYSFS_File* file = PHYSFS_isInit() ? PHYSFS_openRead(path.c_str()) : nullptr;
    if (file != nullptr)
        m_file.reset(file, [](PHYSFS_File* f) { NPHYSFS_close(f); });
    return isOpen();
}

void PhysFsStream::close()
{
    m_file.reset();
}

sf::Int64 PhysFsStream::read(void* data, sf::Int64 size)
{
    if (!isOpen())
        return -1;
    return PHYSFS_readBytes(m_file.get(), data, static_cast<PHYSFS_uint64>(std::max<sf::Int64>(size, 0)));
}

sf::Int64 PhysFsStream::seek(sf::Int64 position)
{
    if (!isOpen() || position < 0 || PHYSFS_seek(m_file.get(), static_cast<PHYSFS_uint64>(position)) == 0)
        return -1;
    return tell();
}

sf::Int64 PhysFsStream::tell()
{
    if (!isOpen())
        return -1;
    return PHYSFS_tell(m_file.get());
}

sf::Int64 PhysFsStream::getSize()
{
    if (!isOpen())
        return -1;
    return PHYSFS_fileLength(m_file.get());
}

namespace
{
/// Reads the whole file in one read; the text ends at the first zero byte.
bool ReadAllBytes(const std::string& path, std::string& bytes)
{
    PhysFsStream stream;
    if (!stream.open(path))
    {
        OutputDebugStringN(L"(PhysFsStream::ReadTxtFile) PHYSFS_openRead ERROR!!! %s \n", PhysFsLastError().c_str());
        return false;
    }
    const sf::Int64 length = std::max<sf::Int64>(stream.getSize(), 0);
    bytes.assign(static_cast<std::size_t>(length), '\0');
    const sf::Int64 got = length > 0 ? stream.read(bytes.data(), length) : 0;
    if (got != length)
    {
        // A damaged archive entry (bad compressed data) reads short: an empty script would run as if all were well.
        OutputDebugStringN(L"\nERROR. (PhysFsStream::ReadTxtFile) could not read file:%s (%i of %i bytes): %s \n",
                           NHelper::s2ws(path).c_str(), static_cast<int>(std::max<sf::Int64>(got, 0)),
                           static_cast<int>(length), PhysFsLastError().c_str());
        bytes.clear();
        return false;
    }
    bytes.resize(std::min(bytes.size(), bytes.find('\0')));
    return true;
}

/// Decodes a script; invalid UTF-8 costs only the bad bytes (each becomes U+FFFD) and one warning.
std::wstring DecodeScript(const std::string& bytes, const std::wstring& widePath)
{
    const std::size_t bad = NHelper::FirstInvalidUtf8(bytes);
    if (bad != std::string::npos)
        OutputDebugStringN(L"WARNING. (PhysFsStream::ReadTxtFile) invalid UTF-8 in file:%s at byte offset:%i \n",
                           widePath.c_str(), static_cast<int>(bad));
    return NHelper::s2ws(bytes);
}
} // namespace

bool PhysFsStream::ReadTxtFile(const std::string& rawPath, std::wstring& text)
{
    try
    {
        std::string path = rawPath;
        std::replace(path.begin(), path.end(), '\\', '/');
        const std::wstring widePath = NHelper::s2ws(path);
        if (!PHYSFS_isInit() || !PHYSFS_exists(path.c_str()))
        {
            OutputDebugStringN(L"\nWARNING. (PhysFsStream::ReadTxtFile) FILE DOES NOT EXIST:%s %s \n\n",
                               widePath.c_str(), ScriptPlace().c_str());
            return false;
        }
        std::string bytes;
        if (!ReadAllBytes(path, bytes))
            return false;
        text = DecodeScript(bytes, widePath);
        return true;
    }
    catch (const std::runtime_error& e)
    {
        OutputDebugStringN(L"\nERROR: (PhysFsStream::ReadTxtFile) RUNTIME ERROR!!:%s \n",
                           NHelper::s2ws(e.what()).c_str());
    }
    catch (const std::exception& e)
    {
        OutputDebugStringN(L"\nERROR: (PhysFsStream::ReadTxtFile) ERROR!!:%s \n", NHelper::s2ws(e.what()).c_str());
    }
    catch (...)
    {
        OutputDebugStringN(L"\nERROR: (PhysFsStream::ReadTxtFile) CAGUHT UNKNOWN!! \n");
    }
    return false;
}

bool IsPlainFile(const std::string& path)
{
    std::error_code ignored;
    return std::filesystem::is_regular_file(path, ignored);
}

} // namespace zel
