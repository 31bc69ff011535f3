// The launcher program as a user runs it: `quillhaven play DIR` on a novel folder, closed through its window or
// ended by the script, and refused with exit code 2 and a message when the folder, the script or the arguments are
// wrong.

#include "ChildReport.h"
#include "LauncherProcess.h"
#include "TestSupport.h"
#include "X11TestWindow.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace
{
using hosttest::kTimedOut;
using testsupport::TempDir;
using Launcher = hosttest::LauncherProcess;

const char* const kWindowTitle = "Quillhaven -Quillhaven 0.8.2-t2";

/// A playable novel folder: Config.xml and Scripts/main.txt holding script.
void MakeNovel(const TempDir& dir, const std::string& script = "\"The only line.\"\n")
{
    testsupport::WriteFile(dir / "Config.xml", testsupport::ConfigXml());
    testsupport::WriteFile(dir / "Scripts/main.txt", script);
}

/// Plays the novel in the launcher, closes its window like a user would, and expects a clean exit.
class LauncherPlays : public ::testing::TestWithParam<bool>
{
};

TEST_P(LauncherPlays, UntilItsWindowIsClosed)
{
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "the host tests need an X server; run them under xvfb-run -a";
    const TempDir novel;
    const TempDir work;
    if (GetParam())
        MakeNovel(novel);
    else // nothing but a one-line script: no Config.xml, no data folders
        testsupport::WriteFile(novel / "Scripts/main.txt", "\"The only line.\"\n");
    // The X side runs in a child of its own, like every other scenario; the launcher is that child's child.
    const int code = hosttest::RunScenario(work.path(), [&](hosttest::ChildReport& report) {
        const hosttest::X11Connection x11;
        if (!report.Check(bool(x11), "no X display"))
            return;
        Launcher launcher({"play", novel.path(), "--size", "640x480"}, work.path());
        if (!report.Check(launcher.started(), "the launcher did not start"))
            return;
        hosttest::WindowId window = 0;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (window == 0 && launcher.running() && std::chrono::steady_clock::now() < deadline)
        {
            window = hosttest::FindTopLevelWindow(x11.get(), kWindowTitle);
            if (window == 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (!report.Check(window != 0, std::string("no window named \"") + kWindowTitle + "\" within 10 s"))
        {
            report.Equal(launcher.Wait(std::chrono::seconds(0)), kTimedOut, "launcher ended without a window");
            return;
        }
        report.Check(hosttest::SendDeleteWindow(x11.get(), window), "sending WM_DELETE_WINDOW failed");
        report.Equal(launcher.Wait(std::chrono::seconds(10)), 0, "launcher exit code after the close request");
    });
    EXPECT_EQ(code, 0) << hosttest::ChildFailures(work.path()) << "launcher stderr:\n"
                       << testsupport::ReadFile(work / "launcher-stderr.txt");

    const std::string log = testsupport::ReadFile(novel / "debug.txt");
    std::string missing;
    EXPECT_TRUE(testsupport::ContainsInOrder(
        log,
        {"DLL VERSION: 0.8.2-t2", "[DLL::InitNovelSettings] COMPLETE", "SF::EVENT::CLOSED", "GAME END", "CloseEngine"},
        &missing))
        << "missing: " << missing << "\nlog:\n"
        << log;
}

INSTANTIATE_TEST_SUITE_P(Novels, LauncherPlays, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "WithConfig" : "WithOnlyAOneLineScript";
                         });

TEST(Launcher, EndsByItselfWhenTheScriptEndsTheGame)
{
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "the host tests need an X server; run them under xvfb-run -a";
    const TempDir novel;
    const TempDir work;
    // The game ends while the launcher runs frames, after a short timed wait; the tilde ends the dialogue's text
    // mode, so that the wait is read as a command.
    MakeNovel(novel, "\"The last line.\"\n~wait 300\nendGame\n\"Never read.\"\n");
    Launcher launcher({"play", novel.path(), "--size", "640x480"}, work.path());
    ASSERT_TRUE(launcher.started());
    EXPECT_EQ(launcher.Wait(std::chrono::seconds(10)), 0) << launcher.Stderr();

    const std::string log = testsupport::ReadFile(novel / "debug.txt");
    std::string missing;
    EXPECT_TRUE(testsupport::ContainsInOrder(log,
                                             {"[DLL::CreateRenderWindow] COMPLETE", "SYNC_EXEC COMPLETE",
                                              "[ExecuteEndGame] APPLICATION MODE) endGame.", "CloseEngine"},
                                             &missing))
        << "missing: " << missing << "\nlog:\n"
        << log;
    EXPECT_EQ(log.find("read until line:4"), std::string::npos) << "read on past endGame:\n" << log;
}

TEST(Launcher, PlaysOnWithoutSoundWhereNoAudioDeviceOpens)
{
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "the host tests need an X server; run them under xvfb-run -a";
    const TempDir novel;
    const TempDir work;
    MakeNovel(novel, "bgm harbour.ogg repeat\nvoice greeting.ogg\n\"The last line.\"\n~wait 1500\nendGame\n");
    for (const char* archive : {"BGM.vndat", "Voices.vndat", "Config.xml"})
        std::filesystem::copy_file(std::string(QUILLHAVEN_SAMPLE_DIR) + "/" + archive, novel / archive,
                                   std::filesystem::copy_options::overwrite_existing);
    hosttest::LaunchOptions options;
    options.setVariables = {"ALSOFT_DRIVERS=alsa"}; // this machine has no sound card
    Launcher launcher({"play", novel.path(), "--size", "320x240"}, work.path(), options);
    ASSERT_TRUE(launcher.started());
    // Without the device the audio library cannot make a source; a stream started anyway spun on its errors and
    // kept the engine from ever reading on or closing.
    EXPECT_EQ(launcher.Wait(std::chrono::seconds(10)), 0);
    const std::string log = testsupport::ReadFile(novel / "debug.txt");
    const std::string warning = "WARNING. no audio device could be opened";
    EXPECT_NE(log.find(warning), std::string::npos) << log;
    EXPECT_EQ(log.find(warning), log.rfind(warning)) << "warned more than once";
    EXPECT_NE(log.find("CloseEngine"), std::string::npos);
    EXPECT_LT(launcher.Stderr().size(), 100u * 1024) << "the audio library's errors flood standard error";
}

TEST(Launcher, EndsOnSigtermWhileTheScriptLoopsWithoutAWait)
{
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "the host tests need an X server; run them under xvfb-run -a";
    const TempDir novel;
    const TempDir work;
    MakeNovel(novel, "bookmark loop\njump loop\n");
    Launcher launcher({"play", novel.path(), "--size", "320x240"}, work.path());
    ASSERT_TRUE(launcher.started());
    const std::string overrun = "ERROR. [Parser::ReadScript] script:main.txt";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (launcher.running() && std::chrono::steady_clock::now() < deadline &&
           testsupport::ReadFile(novel / "debug.txt").find(overrun) == std::string::npos)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(launcher.running()) << launcher.Stderr();
    std::this_thread::sleep_for(std::chrono::seconds(1)); // the loop runs on, frame after frame

    const auto signalled = std::chrono::steady_clock::now();
    ASSERT_EQ(kill(launcher.pid(), SIGTERM), 0);
    EXPECT_EQ(launcher.Wait(std::chrono::seconds(10)), 0) << launcher.Stderr();
    EXPECT_LT(std::chrono::steady_clock::now() - signalled, std::chrono::seconds(1));
    const std::string log = testsupport::ReadFile(novel / "debug.txt");
    EXPECT_LT(log.size(), 300u * 1024) << "the loop's lines are written once";
    EXPECT_NE(log.find(overrun), std::string::npos);
    EXPECT_NE(log.find("CloseEngine"), std::string::npos);
}

TEST(Launcher, PrintsTheAuthorsProblemsWithTheirScriptLinesToStandardError)
{
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "the host tests need an X server; run them under xvfb-run -a";
    const TempDir novel;
    const TempDir work;
    MakeNovel(novel, "bg missing.png\njump nowhere\n\"caf\xff no box\n~script none.txt\nendGame\n");
    Launcher launcher({"play", novel.path(), "--size", "320x240"}, work.path());
    ASSERT_TRUE(launcher.started());
    EXPECT_EQ(launcher.Wait(std::chrono::seconds(20)), 0);
    const std::string errors = launcher.Stderr();
    std::string missing;
    EXPECT_TRUE(testsupport::ContainsInOrder(
        errors,
        {"ERROR. texture does not exist:missing.png script:main.txt line:1",
         "ERROR. [ExecuteJump] searched bookmark: 'nowhere' does not exist. restored script. script:main.txt line:2",
         "ERROR. (ExecuteLine) entity:'' does not exist or not a textbox script:main.txt line:3",
         "WARNING. (PhysFsStream::ReadTxtFile) FILE DOES NOT EXIST:Scripts/none.txt script:main.txt line:4"},
        &missing))
        << "missing: " << missing << "\nstandard error:\n"
        << errors;
    EXPECT_NE(errors.find("WARNING. (quillhaven play) invalid UTF-8 in file:Scripts/main.txt at byte offset:"),
              std::string::npos)
        << errors;
    // Nothing else of the log; the graphics library's own notice about vertical sync is not the engine's.
    for (const std::string& line : testsupport::Lines(errors))
        EXPECT_TRUE(line.empty() || line.rfind("ERROR.", 0) == 0 || line.rfind("WARNING.", 0) == 0 ||
                    line.rfind("Setting vertical sync", 0) == 0)
            << line;
}

// What the launcher cannot play it refuses with one line naming the cause and exit status 2, leaving no crash
// report: a missing folder, a folder without its script or with it damaged in its archive, no X display.
TEST(Launcher, RefusesWhatItCannotPlayInOneLine)
{
    enum class Novel
    {
        Absent,
        WithoutScript,
        WithDamagedScript,
        Playable
    };
    const struct
    {
        const char* what;
        Novel novel;
        bool display;
        const char* named; ///< in the line; "" for the folder's own path
    } cases[] = {{"a missing folder", Novel::Absent, true, ""},
                 {"a folder without its script", Novel::WithoutScript, true, "Scripts/main.txt"},
                 {"its script damaged in its archive", Novel::WithDamagedScript, true, "Scripts/main.txt"},
                 {"no X display", Novel::Playable, false, "DISPLAY"}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        const TempDir novel;
        const TempDir work;
        const std::string folder = c.novel == Novel::Absent ? work / "no-such-novel" : novel.path();
        if (c.novel != Novel::Absent)
            testsupport::WriteFile(novel / "Config.xml", testsupport::ConfigXml());
        if (c.novel == Novel::WithDamagedScript)
            ASSERT_TRUE(testsupport::MakeDamagedArchive(novel.path(), "Scripts/main.txt", "Scripts.vndat"));
        if (c.novel == Novel::Playable)
            MakeNovel(novel);
        hosttest::LaunchOptions options;
        if (!c.display)
            options.unsetVariables = {"DISPLAY"};
        Launcher launcher({"play", folder}, work.path(), options);
        ASSERT_TRUE(launcher.started());
        EXPECT_EQ(launcher.Wait(std::chrono::seconds(10)), 2);
        const std::string errors = launcher.Stderr();
        EXPECT_EQ(testsupport::Lines(errors).size(), 1u) << errors;
        EXPECT_NE(errors.find(*c.named != '\0' ? std::string(c.named) : folder), std::string::npos) << errors;
        for (const auto& entry : std::filesystem::directory_iterator(novel.path()))
            EXPECT_EQ(entry.path().filename().string().rfind("crash-report", 0), std::string::npos) << entry.path();
    }
}

TEST(Launcher, RefusesBadArgumentsBeforeStarting)
{
    const TempDir novel;
    MakeNovel(novel);
    const std::vector<std::vector<std::string>> cases{
        {"play", novel.path(), "--window-mode", "7"},
        {"run"},
        {},
        {"play", novel.path(), "--size", "0x480"},
        {"play", novel.path(), "--script"},
        {"play", novel.path(), "another-folder"},
    };
    for (const auto& arguments : cases)
    {
        std::string shown;
        for (const std::string& word : arguments)
            shown += " " + word;
        SCOPED_TRACE("quillhaven" + shown);
        const TempDir work;
        Launcher launcher(arguments, work.path());
        ASSERT_TRUE(launcher.started());
        EXPECT_EQ(launcher.Wait(std::chrono::seconds(10)), 2);
        EXPECT_NE(launcher.Stderr().find("usage: quillhaven play"), std::string::npos) << launcher.Stderr();
    }
    // Refused before the engine ever ran in the folder.
    EXPECT_FALSE(testsupport::FileExists(novel / "debug.txt"));
}

} // namespace
