#pragma once
// Reading novel data through the virtual file system: a seekable stream that SFML loads textures, fonts and sounds
// through, and the reading of a whole script file into wide text.

#include <SFML/System/InputStream.hpp>

#include <memory>
#include <string>

struct PHYSFS_File;

namespace zel
{

/// Closes a file of the virtual file system; logs and returns false when that fails.
bool NPHYSFS_close(PHYSFS_File* file);

class PhysFsStream : public sf::InputStream
{
public:
    PhysFsStream() = default;
    explicit PhysFsStream(const std::string& path);
    ~PhysFsStream() override;

    bool open(const std::string& path);
    void close();
    bool isOpen() const { return m_file != nullptr; }
    const std::wstring& path() const { return m_path; }

    sf::Int64 read(void* data, sf::Int64 size) override;
    sf::Int64 seek(sf::Int64 position) override;
    sf::Int64 tell() override;
    sf::Int64 getSize() override;

    /// Reads a whole UTF-8 text file of the virtual file system into text; false (and a logged warning) when the
    /// file is missing or unreadable.
    static bool ReadTxtFile(const std::string& path, std::wstring& text);

private:
    std::shared_ptr<PHYSFS_File> m_file;
    std::wstring m_path;
};

/// True when path names a plain file under the current folder. Checked before SFML is asked to open a file, so
/// that a missing one costs no error output of SFML's own.
bool IsPlainFile(const std::string& path);

/// Message of the virtual file system's last error, as wide text.
std::wstring PhysFsLastError();

} // namespace zel
