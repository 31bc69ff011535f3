// `quillhaven pack FOLDER [OUT]` as an author runs it: the archive it writes is the same for the same files, holds
// them under the folder's name where the engine looks for them, and never overwrites or half-writes anything when
// it refuses or fails.

#include "HostLibrary.h"
#include "LauncherProcess.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <vector>

namespace
{
namespace fs = std::filesystem;
using hosttest::LauncherProcess;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

struct PackRun
{
    int code;
    std::string out;
    std::string errors;
};

PackRun Pack(const std::vector<std::string>& arguments)
{
    const TempDir work;
    std::vector<std::string> words{"pack"};
    words.insert(words.end(), arguments.begin(), arguments.end());
    LauncherProcess launcher(words, work.path());
    if (!launcher.started())
        return {hosttest::kTimedOut, "", "the launcher did not start"};
    const int code = launcher.Wait(std::chrono::seconds(30));
    return {code, launcher.Stdout(), launcher.Stderr()};
}

/// Bytes that deflate cannot shrink, so that an archive of them is about as large as they are.
std::string NoiseBytes(std::size_t count)
{
    std::string bytes(count, '\0');
    std::uint32_t state = 12345;
    for (char& byte : bytes)
    {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<char>(state >> 24);
    }
    return bytes;
}

/// An Images folder with names whose byte order differs from a case-blind or locale order, a non-ASCII name, a
/// nested folder, and links to a file and a folder inside it.
std::string MakeImages(const TempDir& novel)
{
    const std::string images = novel / "Images";
    WriteFile(images + "/title.png", testsupport::SmallPng());
    WriteFile(images + "/a.png", "a");
    WriteFile(images + "/a/z.png", "z");
    WriteFile(images + "/B.txt", "upper");
    WriteFile(images + "/b.txt", "lower");
    WriteFile(images + "/\xC3\xA4.png", "umlaut");
    WriteFile(images + "/sub/deeper/x.bin", NoiseBytes(3000));
    fs::create_symlink("title.png", images + "/alias.png");
    fs::create_directory_symlink("a", images + "/linked");
    return images;
}

/// Every entry below dir: a file's bytes, a link's target, or that it is a folder.
std::map<std::string, std::string> Snapshot(const std::string& dir)
{
    std::map<std::string, std::string> tree;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(dir))
    {
        const std::string path = entry.path().string();
        if (entry.is_symlink())
            tree[path] = "link to " + fs::read_symlink(entry.path()).string();
        else if (entry.is_directory())
            tree[path] = "folder";
        else
            tree[path] = "file " + ReadFile(path);
    }
    return tree;
}

/// The entry names of a ZIP archive in the order it stores them; empty when it cannot be opened.
std::vector<std::string> EntryNames(const std::string& path)
{
    std::vector<std::string> names;
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &error);
    if (archive == nullptr)
        return names;
    for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i)
        names.emplace_back(zip_get_name(archive, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW));
    zip_discard(archive);
    return names;
}

void SetEnvironment(const char* name, const char* value)
{
    if (value != nullptr)
        setenv(name, value, 1);
    else
        unsetenv(name);
}

TEST(Pack, SameFilesGiveTheSameBytesWhateverTheirTimesPermissionsOrTimeZone)
{
    const TempDir novel;
    const std::string images = MakeImages(novel);
    const PackRun first = Pack({images, novel / "first.vndat"});
    ASSERT_EQ(first.code, 0) << first.errors;
    EXPECT_EQ(first.out, "quillhaven: packed 9 files from '" + images + "' into '" + novel / "first.vndat" + "'\n");

    // Other modification times, other permissions, another time zone: nothing of it may reach the archive.
    const auto later = fs::file_time_type::clock::now() + std::chrono::hours(1000);
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(images))
        if (!entry.is_symlink())
            fs::last_write_time(entry.path(), later);
    fs::permissions(images + "/title.png", fs::perms::owner_read | fs::perms::owner_write);
    fs::permissions(images + "/b.txt", fs::perms::all);
    const char* zone = std::getenv("TZ");
    const std::string savedZone = zone != nullptr ? zone : "";
    setenv("TZ", "XYZ-9", 1);
    const PackRun second = Pack({images, novel / "second.vndat"});
    SetEnvironment("TZ", zone != nullptr ? savedZone.c_str() : nullptr);
    ASSERT_EQ(second.code, 0) << second.errors;

    const std::string bytes = ReadFile(novel / "first.vndat");
    EXPECT_GT(bytes.size(), 3000u);
    EXPECT_TRUE(bytes == ReadFile(novel / "second.vndat")) << "two packs of the same files differ";
}

TEST(Pack, ArchiveBesideTheFolderHoldsItsFilesUnderTheFolderNameInByteOrder)
{
    const TempDir novel;
    const std::string images = MakeImages(novel);
    const PackRun run = Pack({images + "/"}); // a trailing slash, as shell completion leaves it
    ASSERT_EQ(run.code, 0) << run.errors;
    const std::vector<std::string> expected{
        "Images/B.txt",        "Images/a.png",        "Images/a/z.png",          "Images/alias.png",
        "Images/b.txt",        "Images/linked/z.png", "Images/sub/deeper/x.bin", "Images/title.png",
        "Images/\xC3\xA4.png",
    };
    EXPECT_EQ(EntryNames(novel / "Images.vndat"), expected);
}

/// A refusal: what to set up in the novel folder first, the arguments (paths inside the novel folder, or options
/// as they stand), and words the message must contain.
struct Refusal
{
    const char* what;
    std::function<void(const TempDir& novel)> setUp;
    std::vector<std::string> arguments;
    const char* message;
};

TEST(Pack, RefusesWithStatusTwoAndLeavesEverythingAsItWas)
{
    const auto noSetUp = [](const TempDir&) {
    };
    const std::vector<Refusal> refusals{
        {"OUT is the folder", noSetUp, {"Images", "Images"}, "is the folder being packed"},
        {"OUT is a link to the folder",
         [](const TempDir& n) { fs::create_directory_symlink("Images", n / "Out"); },
         {"Images", "Out"},
         "is the folder being packed"},
        {"OUT is inside the folder, reached through ..",
         noSetUp,
         {"Images", "Images/sub/../new.vndat"},
         "inside the folder"},
        {"OUT is a file being packed", noSetUp, {"Images", "Images/title.png"}, "inside the folder"},
        {"OUT is a link to a file being packed",
         [](const TempDir& n) { fs::create_symlink("Images/title.png", n / "link.vndat"); },
         {"Images", "link.vndat"},
         "inside the folder"},
        {"FOLDER is reached through a link and OUT through its real path",
         [](const TempDir& n) { fs::create_directory_symlink("Images", n / "Pictures"); },
         {"Pictures", "Images/x.vndat"},
         "inside the folder"},
        {"a link leads out of the folder",
         [](const TempDir& n) {
             WriteFile(n / "secret.txt", "not for the archive");
             fs::create_symlink("../secret.txt", n / "Images/escape.txt");
         },
         {"Images"},
         "leads outside"},
        {"a link leads back into a folder that holds it",
         [](const TempDir& n) { fs::create_directory_symlink("..", n / "Images/sub/up"); },
         {"Images"},
         "leads back"},
        {"a link leads nowhere",
         [](const TempDir& n) { fs::create_symlink("gone.png", n / "Images/dangling.png"); },
         {"Images"},
         "leads nowhere"},
        {"a name is not UTF-8",
         [](const TempDir& n) { WriteFile(n / "Images/bad\xFF.png", "x"); },
         {"Images"},
         "bad\\xFF.png"},
        {"FOLDER is missing", noSetUp, {"Music"}, "not found"},
        {"FOLDER is a file", noSetUp, {"Images/title.png"}, "is not a folder"},
        {"FOLDER holds no files",
         [](const TempDir& n) { fs::create_directories(n / "Empty/nothing"); },
         {"Empty"},
         "no files"},
        {"too many arguments", noSetUp, {"Images", "a.vndat", "b.vndat"}, "usage: quillhaven"},
        {"an option", noSetUp, {"--level", "Images"}, "usage: quillhaven"},
    };
    for (const Refusal& refusal : refusals)
    {
        SCOPED_TRACE(refusal.what);
        const TempDir novel;
        MakeImages(novel);
        WriteFile(novel / "Images.vndat", "the archive from before");
        refusal.setUp(novel);
        const std::map<std::string, std::string> before = Snapshot(novel.path());
        std::vector<std::string> arguments;
        for (const std::string& argument : refusal.arguments)
            arguments.push_back(argument[0] == '-' ? argument : novel / argument);
        const PackRun run = Pack(arguments);
        EXPECT_EQ(run.code, 2);
        EXPECT_NE(run.errors.find(refusal.message), std::string::npos) << run.errors;
        EXPECT_TRUE(run.out.empty()) << run.out;
        EXPECT_TRUE(Snapshot(novel.path()) == before) << "the novel folder changed";
    }
}

/// Keeps files written from now on (by this process and the programs it starts) below limit bytes, with a write
/// past it failing instead of ending the writer.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t limit)
    {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_savedHandler = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit lowered{limit, m_saved.rlim_max};
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_savedHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_saved{};
    void (*m_savedHandler)(int) = nullptr;
};

TEST(Pack, FailedWriteKeepsTheArchiveFromBeforeAndLeavesNoPartOfTheNewOne)
{
    const TempDir novel;
    const std::string images = MakeImages(novel);
    ASSERT_EQ(Pack({images}).code, 0);
    const std::map<std::string, std::string> before = Snapshot(novel.path());

    WriteFile(images + "/huge.bin", NoiseBytes(1 << 20));
    PackRun run;
    {
        // The launcher inherits the limit when it starts; this process writes nothing meanwhile.
        const FileSizeLimit limit(256 << 10);
        run = Pack({images});
    }
    EXPECT_EQ(run.code, 1) << run.errors;
    EXPECT_NE(run.errors.find(novel / "Images.vndat"), std::string::npos) << run.errors;
    fs::remove(images + "/huge.bin");
    EXPECT_TRUE(Snapshot(novel.path()) == before) << "the old archive changed, or a temporary file was left";
}

TEST(Pack, EngineReadsEveryFileBackOutOfTheArchive)
{
    const TempDir novel;
    const std::string images = MakeImages(novel);
    ASSERT_EQ(Pack({images}).code, 0);
    // Mounted alone, as the engine mounts an archive: at the root of its file system.
    const int code = testsupport::RunInChild(novel.path(), [&] {
        hosttest::HostLibrary library;
        if (!library.ok() || !library.PHYSFS_init("quillhaven") ||
            !library.PHYSFS_mount((novel / "Images.vndat").c_str(), nullptr, 1))
            return 3;
        for (const char* name : {"title.png", "sub/deeper/x.bin", "\xC3\xA4.png", "linked/z.png"})
        {
            std::string bytes;
            if (!library.ReadFile(std::string("Images/") + name, bytes) || bytes != ReadFile(images + "/" + name))
                return 4;
        }
        return 0;
    });
    EXPECT_EQ(code, 0) << (code == 3 ? "the archive would not mount" : "a file read back differs or is missing");
}

TEST(Pack, NovelWithItsScriptsAndPicturesOnlyInArchivesPlaysAndShowsThem)
{
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "the host tests need an X server; run them under xvfb-run -a";
    const TempDir novel;
    const TempDir work;
    WriteFile(novel / "Config.xml", testsupport::ConfigXml());
    WriteFile(novel / "Scripts/main.txt", "bg title.png\nwait 300\nendGame\n");
    ASSERT_EQ(Pack({MakeImages(novel)}).code, 0);
    ASSERT_EQ(Pack({novel / "Scripts"}).code, 0);
    fs::remove_all(novel / "Images");
    fs::remove_all(novel / "Scripts");

    LauncherProcess launcher({"play", novel.path(), "--size", "640x480"}, work.path());
    ASSERT_TRUE(launcher.started());
    EXPECT_EQ(launcher.Wait(std::chrono::seconds(10)), 0) << launcher.Stderr();
    const std::string log = ReadFile(novel / "debug.txt");
    std::string missing;
    EXPECT_TRUE(testsupport::ContainsInOrder(
        log, {"LOAD METHOD SET: LOAD_FROM_STREAM", "filepath:Images/title.png", "endGame"}, &missing))
        << "missing: " << missing << "\nlog:\n"
        << log;
    EXPECT_EQ(log.find("FAILED"), std::string::npos) << log;
    EXPECT_EQ(log.find("texture does not exist"), std::string::npos) << log;
}

} // namespace
