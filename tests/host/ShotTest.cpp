// `quillhaven shot` as authors run it: a novel's look at a script line (or after playing a while) saved as a PNG,
// the same picture every time, and nothing written when the arguments or the novel are wrong.

#include "LauncherProcess.h"
#include "PictureFit.h"
#include "PngFile.h"
#include "ShotPictures.h"
#include "TestSupport.h"
#include "X11TestWindow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace
{
using hostcommon::Picture;
using hosttest::Difference;
using hosttest::LauncherProcess;
using hosttest::ReadPng;
using hosttest::Rect;
using hosttest::RunLauncher;
using hosttest::Shoot;
using testsupport::TempDir;

/// The size a novel is drawn and shot at, without --size.
constexpr int kWidth = 1280;
constexpr int kHeight = 720;

struct Colour
{
    std::uint8_t r, g, b;
};
constexpr Colour kBackground{0, 0, 200};
constexpr Colour kCgColour{255, 0, 0};
/// Where the script puts the cg and the text box.
constexpr Rect kCgRect{100, 40, 160, 80};
constexpr Rect kTextRect{20, 150, 300, 210};


Picture Filled(int width, int height, Colour colour)
{
    Picture picture{width, height, {}};
    for (int i = 0; i < width * height; ++i)
        picture.rgba.insert(picture.rgba.end(), {colour.r, colour.g, colour.b, 255});
    return picture;
}

void WritePng(const std::string& path, const Picture& picture)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::string error;
    ASSERT_TRUE(hostcommon::SavePng(path, picture, error)) << error;
}


bool IsColour(const Picture& picture, int x, int y, Colour colour)
{
    const std::size_t at = (static_cast<std::size_t>(y) * picture.width + x) * 4;
    return at + 3 < picture.rgba.size() && picture.rgba[at] == colour.r && picture.rgba[at + 1] == colour.g &&
           picture.rgba[at + 2] == colour.b;
}


/// An opaque grey picture: one grey level a pixel, row by row.
Picture Grey(int width, int height, const std::vector<int>& levels)
{
    Picture picture{width, height, {}};
    for (int level : levels)
        picture.rgba.insert(picture.rgba.end(), {static_cast<std::uint8_t>(level), static_cast<std::uint8_t>(level),
                                                 static_cast<std::uint8_t>(level), 255});
    return picture;
}

TEST(ShotThumbnail, EachPixelAveragesWhatItCoversAndTheRestIsOpaqueBlack)
{
    struct Case
    {
        const char* what;
        Picture source;
        int width, height;
        std::vector<int> expected; // grey levels of the result; 0 in the bars
    };
    const std::vector<Case> cases{
        {"halved: 2x2 blocks", Grey(4, 2, {10, 30, 100, 200, 50, 70, 0, 100}), 2, 1, {40, 100}},
        {"two thirds: the middle pixel shared", Grey(3, 1, {0, 90, 180}), 2, 1, {30, 150}},
        {"wider than tall: enlarged, bars above and below",
         Grey(2, 1, {60, 120}),
         4,
         4,
         {0, 0, 0, 0, 60, 60, 120, 120, 60, 60, 120, 120, 0, 0, 0, 0}},
        {"taller than wide: bars left and right", Grey(1, 2, {60, 120}), 4, 2, {0, 60, 0, 0, 0, 120, 0, 0}},
        {"odd pixel left over goes right", Grey(2, 2, {9, 9, 9, 9}), 3, 2, {9, 9, 0, 9, 9, 0}},
        {"letterboxed and scaled", Grey(4, 2, {20, 20, 80, 80, 20, 20, 80, 80}), 2, 3, {0, 0, 20, 80, 0, 0}},
        {"enlarged", Grey(1, 1, {77}), 2, 2, {77, 77, 77, 77}},
        {"same size: unchanged", Grey(2, 1, {1, 254}), 2, 1, {1, 254}},
        {"nothing to fit", Picture{}, 2, 1, {0, 0}},
    };
    for (const Case& fit : cases)
    {
        SCOPED_TRACE(fit.what);
        const Picture fitted = hostcommon::FitPicture(fit.source, fit.width, fit.height);
        EXPECT_TRUE(fitted == Grey(fit.width, fit.height, fit.expected));
    }
}

/// A novel folder with a background, a red cg and DejaVu Sans as Fonts/f.ttf; Scripts/main.txt is script.
void MakeNovel(const std::string& novel, const std::string& script)
{
    testsupport::WriteFile(novel + "/Config.xml", testsupport::ConfigXml());
    testsupport::WriteFile(novel + "/Scripts/main.txt", script);
    std::filesystem::create_directories(novel + "/Fonts");
    std::filesystem::copy_file("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", novel + "/Fonts/f.ttf");
    WritePng(novel + "/Images/bg.png", Filled(kWidth, kHeight, kBackground));
    WritePng(novel + "/Images/red.png", Filled(kCgRect.right - kCgRect.left, kCgRect.bottom - kCgRect.top, kCgColour));
}



class Shot : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "the host tests need an X server; run them under xvfb-run -a";
    }

    /// The shot of Scripts/main.txt at line, in the novel's own size.
    Picture ShotAtLine(int line, const std::string& name)
    {
        const std::string out = m_out / name;
        return Shoot({"shot", m_novel.path(), "main.txt", std::to_string(line), out}, out);
    }

    TempDir m_novel;
    TempDir m_out;
};

TEST_F(Shot, ShowsEachLineAsTheEditorDoesAndTheSamePictureEveryTime)
{
    MakeNovel(m_novel.path(), "bg bg.png\n"
                              "// the cg follows\n"
                              "cg pic red.png 100 40 1\n"
                              "textbox box 20 150 2 280 60 f.ttf 20\n"
                              "useTextbox box\n"
                              "\"Hello there.\"\n");
    const Picture beforeCg = ShotAtLine(2, "line2.png");
    const Picture withCg = ShotAtLine(3, "line3.png");
    const Picture withText = ShotAtLine(6, "line6.png");
    for (const Picture* picture : {&beforeCg, &withCg, &withText})
    {
        ASSERT_EQ(picture->width, kWidth);
        ASSERT_EQ(picture->height, kHeight);
    }
    EXPECT_TRUE(IsColour(beforeCg, 130, 60, kBackground));
    EXPECT_TRUE(IsColour(beforeCg, 5, 5, kBackground));
    EXPECT_TRUE(IsColour(withCg, 130, 60, kCgColour));

    const Rect cgChange = Difference(beforeCg, withCg);
    EXPECT_FALSE(cgChange.Empty());
    EXPECT_TRUE(kCgRect.Contains(cgChange)) << "the cg changed " << cgChange;
    const Rect textChange = Difference(withCg, withText);
    EXPECT_FALSE(textChange.Empty()) << "the dialogue line shows no text";
    EXPECT_TRUE(kTextRect.Contains(textChange)) << "the dialogue line changed " << textChange;

    // Taken again: the same file, byte for byte.
    const Picture again = ShotAtLine(6, "line6-again.png");
    EXPECT_TRUE(again == withText) << "differs in " << Difference(again, withText);
    EXPECT_EQ(testsupport::ReadFile(m_out / "line6-again.png"), testsupport::ReadFile(m_out / "line6.png"));
}

TEST_F(Shot, ShowsADialogueLineWholeHoweverSlowlyItWouldAppear)
{
    const std::string script = "bg bg.png\n"
                               "textbox box 20 150 2 280 60 f.ttf 20\n"
                               "useTextbox box\n"
                               "textSpeed SPEED\n"
                               "\"Hello there, slowly.\"\n";
    auto withSpeed = [&script](const std::string& speed) {
        std::string text = script;
        return text.replace(text.find("SPEED"), 5, speed);
    };
    MakeNovel(m_novel.path(), withSpeed("0"));
    const Picture instant = ShotAtLine(5, "instant.png");
    testsupport::WriteFile(m_novel / "Scripts/main.txt", withSpeed("3000"));
    const Picture slow = ShotAtLine(5, "slow.png");
    EXPECT_TRUE(slow == instant) << "the slow line differs in " << Difference(slow, instant);
}

TEST_F(Shot, DataPackedIntoArchivesGivesTheSamePicture)
{
    MakeNovel(m_novel.path(), "bg bg.png\n"
                              "cg pic red.png 100 40 1\n"
                              "textbox box 20 150 2 280 60 f.ttf 20\n"
                              "useTextbox box\n"
                              "\"Hello there.\"\n");
    const Picture fromFolders = ShotAtLine(5, "folders.png");
    ASSERT_TRUE(IsColour(fromFolders, 130, 60, kCgColour));
    for (const char* folder : {"Images", "Fonts", "Scripts"})
    {
        std::string error;
        ASSERT_EQ(RunLauncher({"pack", m_novel / folder}, error), 0) << error;
        std::filesystem::remove_all(m_novel / folder);
    }
    const Picture fromArchives = ShotAtLine(5, "archives.png");
    EXPECT_TRUE(fromArchives == fromFolders) << "differs in " << Difference(fromArchives, fromFolders);
}

/// Pixels of picture in colour.
int CountColour(const Picture& picture, Colour colour)
{
    int count = 0;
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x)
            count += IsColour(picture, x, y, colour) ? 1 : 0;
    return count;
}

TEST_F(Shot, PlayingClicksOnThroughAWaitForTheReaderOutOfTheUsersSight)
{
    MakeNovel(m_novel.path(), "bg bg.png\nwait\ncg pic red.png 100 40 1\n");
    auto arguments = [&](const std::string& ms, const std::string& name) {
        return std::vector<std::string>{"shot", m_novel.path(), "main.txt", "1", m_out / name, "--play", ms};
    };
    // Before the first click the reader still waits.
    const Picture waiting = Shoot(arguments("100", "waiting.png"), m_out / "waiting.png");
    EXPECT_TRUE(IsColour(waiting, 130, 60, kBackground));

    // The reading key reads on to the cg. Meanwhile the screen shows nothing of the novel, and the keyboard focus
    // stays where the user had it.
    const hosttest::X11Connection x11;
    ASSERT_TRUE(x11);
    const TempDir output;
    LauncherProcess launcher(arguments("2000", "read-on.png"), output.path());
    const hosttest::WindowId shot =
        hosttest::WaitForTopLevelWindow(x11.get(), "quillhaven shot", std::chrono::seconds(10));
    ASSERT_NE(shot, 0u) << launcher.Stderr();
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    Picture screen;
    ASSERT_TRUE(hostcommon::CaptureWindow(x11.get(), hosttest::RootWindowOf(x11.get()), screen));
    EXPECT_EQ(CountColour(screen, kBackground), 0) << "the novel shows on the screen";
    const hosttest::WindowId focus = hosttest::FocusedWindow(x11.get());
    EXPECT_TRUE(focus != shot && hosttest::ParentOf(x11.get(), focus) != shot) << "the shot took the focus";
    ASSERT_EQ(launcher.Wait(std::chrono::seconds(60)), 0) << launcher.Stderr();
    const Picture readOn = ReadPng(m_out / "read-on.png");
    EXPECT_TRUE(IsColour(readOn, 130, 60, kCgColour));
    EXPECT_TRUE(IsColour(readOn, 5, 5, kBackground));
}

TEST_F(Shot, FindsItsLibraryNovelAndOutputWhenNamedRelativeToTheUsersFolder)
{
    // The novel lies deeper than the user's folder, so that a path relative to the one is wrong from the other.
    const std::string novel = m_novel / "deeper/novel";
    MakeNovel(novel, "bg bg.png\n");
    hosttest::LaunchOptions options;
    options.workingDir = m_out.path();
    const std::string relativeNovel = std::filesystem::relative(novel, m_out.path()).string();
    std::string error;
    ASSERT_EQ(RunLauncher({"shot", relativeNovel, "main.txt", "1", "relative.png"}, error, options), 0) << error;
    EXPECT_TRUE(IsColour(ReadPng(m_out / "relative.png"), 5, 5, kBackground));
    EXPECT_FALSE(testsupport::FileExists(novel + "/relative.png"));
}

/// The files in a folder, by name.
std::vector<std::string> FilesIn(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(Shot, RefusesBadArgumentsWithItsUsageAndWritesNothing)
{
    MakeNovel(m_novel.path(), "bg bg.png\n");
    const std::string out = m_out / "out.png";
    const std::string novel = m_novel.path();
    const std::vector<std::vector<std::string>> cases{
        {"shot"},
        {"shot", novel, "main.txt", "1"},
        {"shot", novel, "main.txt", "0", out},
        {"shot", novel, "main.txt", "-1", out},
        {"shot", novel, "main.txt", "2x", out},
        {"shot", novel, "main.txt", "99999999999", out},
        {"shot", novel, "main.txt", "1", out, "extra"},
        {"shot", novel, "main.txt", "1", out, "--size", "320"},
        {"shot", novel, "main.txt", "1", out, "--play", "soon"},
        {"shot", novel, "main.txt", "1", out, "--play"},
        {"shot", novel, "main.txt", "1", out, "--colour", "red"},
    };
    for (const auto& arguments : cases)
    {
        SCOPED_TRACE(hosttest::CommandLine(arguments));
        std::string error;
        EXPECT_EQ(RunLauncher(arguments, error), 2);
        EXPECT_NE(error.find("usage: quillhaven"), std::string::npos) << error;
        EXPECT_NE(error.find("quillhaven: shot: "), std::string::npos) << error;
    }
    EXPECT_TRUE(FilesIn(m_out.path()).empty());
    EXPECT_FALSE(testsupport::FileExists(m_novel / "debug.txt")) << "the engine ran on bad arguments";
}

TEST_F(Shot, RefusesAWrongNovelOrOutputInOneLineAndKeepsTheOldPicture)
{
    MakeNovel(m_novel.path(), "bg bg.png\n");
    const std::string out = m_out / "out.png";
    testsupport::WriteFile(out, "the picture of an earlier run");
    std::filesystem::create_directories(m_out / "a-folder");
    struct Case
    {
        std::vector<std::string> arguments;
        std::string named; // what the message must name
        hosttest::LaunchOptions options = {};
    };
    const std::vector<Case> cases{
        {{"shot", m_out / "no-such-novel", "main.txt", "1", out}, "no-such-novel"},
        {{"shot", m_novel.path(), "other.txt", "1", out}, "Scripts/other.txt"},
        {{"shot", m_novel.path(), "main.txt", "1", m_out / "no-such-folder/out.png"}, "no-such-folder/out.png"},
        {{"shot", m_novel.path(), "main.txt", "1", m_out / "a-folder"}, "a-folder"},
        {{"shot", m_novel.path(), "main.txt", "1", out}, "DISPLAY", {{"DISPLAY"}}},
    };
    for (const Case& wrong : cases)
    {
        SCOPED_TRACE(hosttest::CommandLine(wrong.arguments));
        std::string error;
        EXPECT_EQ(RunLauncher(wrong.arguments, error, wrong.options), 2);
        EXPECT_EQ(testsupport::Lines(error).size(), 1u) << error;
        EXPECT_NE(error.find(wrong.named), std::string::npos) << error;
    }
    EXPECT_EQ(testsupport::ReadFile(out), "the picture of an earlier run");
    EXPECT_EQ(FilesIn(m_out.path()), (std::vector<std::string>{"a-folder", "out.png"}));
}

} // namespace
