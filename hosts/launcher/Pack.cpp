// quillhaven pack: writes a data folder into a ".vndat" archive, which the engine mounts at the root of its file
// system beside the novel folder.
//
// Every file below FOLDER goes in under the folder's own name first ("Images/sub/title.png"), so that a script finds
// the same paths in the archive as in the folder. The archive's bytes depend on nothing but the files' names and
// contents: entries in byte order of their names, no folder entries (a folder exists in the archive through the
// files it holds), one fixed time and one fixed permission set for every entry, deflate at one level, no extra
// fields. It is written to a temporary file beside OUT and renamed at the end, so that a failed run leaves an
// existing OUT as it was and never a half archive.

#include "FileReplacement.h"
#include "Launcher.h"
#include "PackFiles.h"

#include <zip.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

namespace launcher
{
namespace
{
namespace fs = std::filesystem;

constexpr int kWriteFailure = 1;
/// A regular file readable by everyone, whatever the packed file's own permissions were.
constexpr zip_uint32_t kEntryMode = 0100644;
constexpr zip_uint32_t kDeflateLevel = 9;

/// FOLDER and OUT as read from the command line, and OUT as it will be written.
struct PackPaths
{
    std::string folder;
    std::string out;
    fs::path root;    // FOLDER with every link resolved: what is packed
    std::string name; // the folder's own name, first in every entry's name
    fs::path target;  // OUT in its real folder, the path that is renamed into place
};

/// FOLDER as the user named it, without trailing slashes; "." or ".." at its end stand for the real folder.
fs::path NamedFolder(const PackPaths& paths)
{
    std::string named = paths.folder;
    while (named.size() > 1 && named.back() == '/')
        named.pop_back();
    const fs::path last = fs::path(named).filename();
    return last.empty() || last == "." || last == ".." ? paths.root : fs::path(named);
}

bool ResolveFolder(PackPaths& paths, std::string& error)
{
    std::error_code ec;
    paths.root = fs::canonical(paths.folder, ec);
    if (ec)
        return error = "pack: folder '" + Shown(paths.folder) + "' not found: " + ec.message(), false;
    if (!fs::is_directory(paths.root))
        return error = "pack: '" + Shown(paths.folder) + "' is not a folder", false;
    const fs::path named = NamedFolder(paths);
    paths.name = named.filename().string();
    if (paths.name.empty())
        return error = "pack: folder '" + Shown(paths.folder) + "' has no name to store its files under", false;
    if (!IsUtf8(paths.name))
        return error = "pack: folder name '" + Shown(paths.name) + "' is not valid UTF-8", false;
    if (paths.out.empty())
        paths.out = named.string() + ".vndat";
    return true;
}

/// Refuses an OUT that is the folder, lies inside it (where it could replace a file being packed), or is a folder.
bool ResolveOutput(PackPaths& paths, std::string& error)
{
    const fs::path given(paths.out);
    const fs::path file = given.filename();
    const std::string shown = "'" + Shown(paths.out) + "'";
    if (file.empty() || file == "." || file == "..")
        return error = "pack: OUT " + shown + " names a folder, not an archive file", false;
    std::error_code ec;
    const fs::path folder = fs::canonical(given.has_parent_path() ? given.parent_path() : fs::path("."), ec);
    if (ec || !fs::is_directory(folder))
        return error = "pack: the folder of OUT " + shown + " does not exist", false;
    paths.target = folder / file;
    // A link as OUT is replaced by the archive, but the place it points at is refused all the same.
    fs::path linked = fs::weakly_canonical(paths.target, ec);
    if (ec)
        linked = paths.target;
    if (paths.target == paths.root || linked == paths.root)
        return error = "pack: OUT " + shown + " is the folder being packed", false;
    if (IsWithin(paths.target, paths.root) || IsWithin(linked, paths.root))
        return error = "pack: OUT " + shown + " lies inside the folder being packed; it would overwrite its input",
               false;
    if (fs::is_directory(paths.target))
        return error = "pack: OUT " + shown + " is a folder", false;
    return true;
}

/// 1980-01-01 00:00, the first time an archive entry can carry. The archive stores local time, so the moment is
/// taken in local time too: every time zone then writes the same bytes.
std::time_t FixedEntryTime()
{
    std::tm first{};
    first.tm_year = 80;
    first.tm_mday = 1;
    first.tm_isdst = -1;
    return std::mktime(&first);
}

bool AddEntry(zip_t* archive, const PackEntry& entry, std::time_t time)
{
    zip_source_t* source = zip_source_file(archive, entry.source.c_str(), 0, -1);
    if (source == nullptr)
        return false;
    const zip_int64_t index = zip_file_add(archive, entry.name.c_str(), source, ZIP_FL_ENC_UTF_8);
    if (index < 0)
    {
        zip_source_free(source);
        return false;
    }
    const auto at = static_cast<zip_uint64_t>(index);
    return zip_set_file_compression(archive, at, ZIP_CM_DEFLATE, kDeflateLevel) == 0 &&
           zip_file_set_mtime(archive, at, time, 0) == 0 &&
           zip_file_set_external_attributes(archive, at, 0, ZIP_OPSYS_UNIX, kEntryMode << 16) == 0;
}

std::string OpenError(int code)
{
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    const std::string text = zip_error_strerror(&error);
    zip_error_fini(&error);
    return text;
}

/// Writes the entries, in the order given, into a new archive at path.
bool WriteArchive(const std::vector<PackEntry>& entries, const std::string& path, std::string& error)
{
    int code = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    if (archive == nullptr)
        return error = OpenError(code), false;
    const std::time_t time = FixedEntryTime();
    for (const PackEntry& entry : entries)
        if (!AddEntry(archive, entry, time))
        {
            error = "'" + Shown(entry.source) + "': " + zip_strerror(archive);
            zip_discard(archive);
            return false;
        }
    if (zip_close(archive) != 0)
    {
        error = zip_strerror(archive);
        zip_discard(archive);
        return false;
    }
    return true;
}

/// Writes the archive beside target and renames it onto target only once it is complete.
bool WriteThroughTemp(const std::vector<PackEntry>& entries, const fs::path& target, std::string& error)
{
    zel::FileReplacement replacement(target.string());
    if (!replacement.created())
        return error = std::string("cannot create a file beside it: ") + std::strerror(errno), false;
    return WriteArchive(entries, replacement.path(), error) && replacement.Commit(error);
}
} // namespace

int RunPack(int argc, char** argv)
{
    if (argc < 3 || argc > 4)
        return FailUsage("pack: takes a folder and at most one archive path");
    for (int i = 2; i < argc; ++i)
        if (std::strncmp(argv[i], "--", 2) == 0)
            return FailUsage(std::string("pack: unknown option '") + argv[i] + "'");
    PackPaths paths;
    paths.folder = argv[2];
    paths.out = argc == 4 ? argv[3] : "";
    std::string error;
    if (!ResolveFolder(paths, error) || !ResolveOutput(paths, error))
        return Fail(error);
    std::vector<PackEntry> entries;
    if (!CollectFiles(paths.folder, paths.root, paths.name, entries, error))
        return Fail("pack: " + error);
    if (entries.empty())
        return Fail("pack: folder '" + Shown(paths.folder) + "' holds no files to pack");

    if (!WriteThroughTemp(entries, paths.target, error))
    {
        Fail("pack: writing '" + Shown(paths.out) + "' failed: " + error);
        return kWriteFailure;
    }
    std::printf("quillhaven: packed %zu file%s from '%s' into '%s'\n", entries.size(), entries.size() == 1 ? "" : "s",
                Shown(paths.folder).c_str(), Shown(paths.out).c_str());
    return 0;
}
} // namespace launcher
