// Reading novel data through the virtual file system: whole script files and seekable streams, from folders and
// from the ZIP archives mounted beside them.

#include "resources/PhysFsStream.h"
#include "CoreFixture.h"
#include "resources/NHelper.h"

#include <physfs.h>

#include <cstdlib>

using namespace testsupport;
using zel::PhysFsStream;

namespace
{
/// Child body helper: mounts the current folder and reads path; returns the text or "<false>".
std::wstring ReadScript(const std::string& path)
{
    std::wstring text;
    return PhysFsStream::ReadTxtFile(path, text) ? text : L"<false>";
}

/// Mounts the current folder, with an engine state so that log lines are formatted.
void MountCurrentFolder()
{
    zel::Services::m_NovelStates.push_back(std::make_shared<zel::NovelState>());
    PHYSFS_init(nullptr);
    PHYSFS_mount(".", nullptr, 1);
}
} // namespace

TEST(PhysFsStreamTest, ReadTxtFileDecodesScriptsAsTheyAre)
{
    TempDir dir;
    WriteFile(dir / "Scripts/cut.txt", std::string("before\0after", 12));
    WriteFile(dir / "Scripts/empty.txt", "");
    WriteFile(dir / "Scripts/bom.txt", "\xEF\xBB\xBF"
                                       "bg x\n");
    WriteFile(dir / "Scripts/wide.txt", "\xF0\x9F\x98\x80!");
    WriteFile(dir / "Scripts/broken.txt", "ok\n\xFF\xFEstill here\n");
    EXPECT_EQ(RunInChild(dir.path(),
                         [] {
                             MountCurrentFolder();
                             if (ReadScript("Scripts/cut.txt") != L"before")
                                 return 1;
                             if (ReadScript("Scripts/empty.txt") != L"")
                                 return 2;
                             if (ReadScript("Scripts\\cut.txt") != L"before")
                                 return 3;
                             if (ReadScript("Scripts/missing.txt") != L"<false>")
                                 return 4;
                             if (ReadScript("Scripts/bom.txt") != L"\uFEFFbg x\n")
                                 return 5;
                             if (ReadScript("Scripts/wide.txt") != L"\U0001F600!")
                                 return 6;
                             return ReadScript("Scripts/broken.txt") == L"ok\n\uFFFD\uFFFDstill here\n" ? 0 : 7;
                         }),
              0);
    std::string missing;
    EXPECT_TRUE(ContainsInOrder(ReadFile(dir / "debug.txt"),
                                {"WARNING. (PhysFsStream::ReadTxtFile) FILE DOES NOT EXIST:Scripts/missing.txt",
                                 "WARNING. (PhysFsStream::ReadTxtFile) invalid UTF-8 in file:Scripts/broken.txt at "
                                 "byte offset:3"},
                                &missing))
        << missing;
}

TEST(PhysFsStreamTest, StreamReadsSeeksAndReportsFailure)
{
    TempDir dir;
    WriteFile(dir / "Images/data.bin", "0123456789");
    EXPECT_EQ(RunInChild(dir.path(),
                         [] {
                             MountCurrentFolder();
                             PhysFsStream missing("Images/none.bin");
                             char byte = 0;
                             if (missing.isOpen() || missing.read(&byte, 1) != -1 || missing.seek(0) != -1 ||
                                 missing.tell() != -1 || missing.getSize() != -1)
                                 return 1;
                             PhysFsStream stream("Images/data.bin");
                             char buffer[4] = {};
                             if (stream.getSize() != 10 || stream.seek(6) != 6 || stream.read(buffer, 4) != 4)
                                 return 2;
                             if (std::string(buffer, 4) != "6789" || stream.tell() != 10)
                                 return 3;
                             return stream.seek(-1) == -1 ? 0 : 4;
                         }),
              0);
}

TEST(PhysFsStreamTest, ArchivesBesideTheDataFoldersAreMountedAtStart)
{
    TempDir dir;
    WriteFile(dir / "Config.xml", ConfigXml());
    WriteFile(dir / "staging/Scripts/packed.txt", "from the archive\n");
    const std::string zip = "cd '" + dir.path() + "/staging' && zip -q -r ../Scripts.vndat Scripts";
    ASSERT_EQ(std::system(zip.c_str()), 0);
    EXPECT_EQ(RunInChild(dir.path(),
                         [] {
                             zel::Services::pNParser = std::make_unique<zel::NParser>(
                                 std::make_shared<zel::Parser>(L"main.txt", L"", zel::PARSER_MAIN));
                             zel::Services::InitNovelState(false);
                             return ReadScript("Scripts/packed.txt") == L"from the archive\n" ? 0 : 1;
                         }),
              0);
    const std::string log = ReadFile(dir / "debug.txt");
    EXPECT_EQ(log.find("Scripts.vndat msg:"), std::string::npos) << "the archive mounted without an error";
    EXPECT_NE(log.find("Images.vndat msg:not found"), std::string::npos) << "a missing archive only logs";
}

TEST(PhysFsStreamTest, ADamagedArchiveEntryFailsToReadWithAnError)
{
    TempDir dir;
    ASSERT_TRUE(MakeDamagedArchive(dir.path(), "Scripts/damaged.txt", "Scripts.zip"));
    EXPECT_EQ(RunInChild(dir.path(),
                         [] {
                             zel::Services::m_NovelStates.push_back(std::make_shared<zel::NovelState>());
                             PHYSFS_init(nullptr);
                             PHYSFS_mount("Scripts.zip", nullptr, 1);
                             return ReadScript("Scripts/damaged.txt") == L"<false>" ? 0 : 1;
                         }),
              0);
    EXPECT_NE(
        ReadFile(dir / "debug.txt").find("ERROR. (PhysFsStream::ReadTxtFile) could not read file:Scripts/damaged.txt"),
        std::string::npos);
}
