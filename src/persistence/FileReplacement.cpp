#include "FileReplacement.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zel
{

namespace
{
std::string FolderOf(const std::string& target)
{
    const std::size_t slash = target.rfind('/');
    return slash == std::string::npos ? "." : target.substr(0, slash + 1);
}
} // namespace

void FileReplacement::SyncFolder() const
{
    const int folder = open(FolderOf(m_target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0)
        return;
    fsync(folder); // the rename has happened: a folder that cannot be synced still holds the whole new file
    close(folder);
}

FileReplacement::FileReplacement(const std::string& target) : m_target(target)
{
    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    // The extension stays last, so that writers that pick the format by the name (PNG pictures) can write it.
    const std::size_t dot = name.rfind('.');
    const std::string extension = dot == std::string::npos || dot == 0 ? "" : name.substr(dot);
    std::string path = folder + "." + name.substr(0, name.size() - extension.size()) + ".XXXXXX" + extension;
    const int fd = mkstemps(path.data(), static_cast<int>(extension.size()));
    if (fd < 0)
        return;
    close(fd);
    m_path = path;
}

FileReplacement::~FileReplacement()
{
    if (!m_path.empty())
        unlink(m_path.c_str());
}

bool FileReplacement::Commit(std::string& error)
{
    if (m_path.empty())
        return error = "no file was created beside it", false;
    const mode_t mask = umask(0);
    umask(mask);
    const int fd = open(m_path.c_str(), O_RDONLY | O_CLOEXEC);
    const bool durable = fd >= 0 && fchmod(fd, 0666 & ~mask) == 0 && fsync(fd) == 0;
    if (fd >= 0)
        close(fd);
    if (!durable || rename(m_path.c_str(), m_target.c_str()) != 0)
        return error = std::strerror(errno), false;
    m_path.clear();
    SyncFolder();
    return true;
}

bool ReplaceFile(const std::string& target, const std::function<bool(const std::string& path)>& write,
                 std::string& error)
{
    FileReplacement replacement(target);
    if (!replacement.created())
        return error = std::strerror(errno), false;
    if (!write(replacement.path()))
        return error = "the content could not be written", false;
    return replacement.Commit(error);
}

} // namespace zel
