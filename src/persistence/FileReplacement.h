#pragma once
// Writing a file so that nobody ever finds it half-written: the new content goes into a fresh file beside it, which
// then takes its place in one step. Every file the engine or a host program writes goes through it (global0.xml,
// archives, pictures). It uses nothing but POSIX, so that the host programs compile the same unit.

#include <functional>
#include <string>

namespace zel
{

/// A fresh, empty file beside target (a hidden name in target's folder) to write the new content into. Commit gives
/// it the permissions of any new file, makes it durable and renames it onto target, so that target holds either its
/// old content or the whole new one. Removed when it goes unless committed.
class FileReplacement
{
public:
    explicit FileReplacement(const std::string& target);
    ~FileReplacement();
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    /// False (errno set) when no file could be created beside target: a missing folder, no permission.
    bool created() const { return !m_path.empty(); }
    /// Where to write; empty when not created.
    const std::string& path() const { return m_path; }
    /// Puts the written file in target's place and syncs the folder, so that the rename itself survives a power cut;
    /// false with error saying why, target then unchanged.
    bool Commit(std::string& error);

private:
    void SyncFolder() const;

    std::string m_target;
    std::string m_path;
};

/// Writes target in one step: write puts the whole content into the path it is given, which then replaces target.
/// False with error saying why (target then unchanged) when no file can be made beside it, write fails or the
/// replacement cannot be committed.
bool ReplaceFile(const std::string& target, const std::function<bool(const std::string& path)>& write,
                 std::string& error);

} // namespace zel
