// `quillhaven new` as an author starts with it: the novel it makes plays to its end under `quillhaven play` with
// the reader's keys and clicks, in English and in Japanese words, with nothing logged as an error and nothing found
// by `quillhaven lint`; and a folder that
// holds something, or a wrong command line, is refused without a file written.

#include "ChildReport.h"
#include "LauncherProcess.h"
#include "TestSupport.h"
#include "X11TestWindow.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <ostream>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace
{
namespace fs = std::filesystem;
using hosttest::ChildReport;
using hosttest::LauncherProcess;
using std::chrono::milliseconds;
using std::chrono::seconds;
using testsupport::TempDir;

// Where the choice's two buttons stand in the 1280 x 720 window (their centres).
constexpr int kFirstButtonX = 470, kSecondButtonX = 810, kButtonY = 320;

int Count(const std::string& text, const std::string& needle)
{
    int count = 0;
    for (std::size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + needle.size()))
        ++count;
    return count;
}

/// Runs `quillhaven new` with the arguments after "new"; its exit code.
int RunNew(const std::vector<std::string>& arguments, const TempDir& work, std::string* errors = nullptr)
{
    std::vector<std::string> words{"new"};
    words.insert(words.end(), arguments.begin(), arguments.end());
    LauncherProcess launcher(words, work.path());
    const int code = launcher.Wait(seconds(20));
    if (errors != nullptr)
        *errors = launcher.Stderr();
    return code;
}

struct Reading
{
    const char* vocabulary;          ///< "" for the English words
    bool firstButton;                ///< which of the choice's buttons the reader clicks
    std::vector<std::string> logged; ///< in this order, the choice's variable and bookmark among them
};

/// Plays novel in the launcher, in a child process with its own X connection, and runs scene once the window is
/// there (window 0 when none came within 10 s); the child's exit code.
int PlayNovel(const std::string& novel, const TempDir& work,
              const std::function<void(ChildReport&, Display*, LauncherProcess&, hosttest::WindowId)>& scene)
{
    return hosttest::RunScenario(work.path(), [&](ChildReport& report) {
        const hosttest::X11Connection x11;
        if (!report.Check(bool(x11), "no X display"))
            return;
        LauncherProcess launcher({"play", novel}, work.path());
        scene(report, x11.get(), launcher,
              hosttest::WaitForTopLevelWindow(x11.get(), "Quillhaven -Quillhaven", seconds(10)));
    });
}

void PrintTo(const Reading& reading, std::ostream* out)
{
    *out << (*reading.vocabulary != '\0' ? reading.vocabulary : "en") << (reading.firstButton ? ", first" : ", second")
         << " button";
}

class LauncherNewNovel : public ::testing::TestWithParam<Reading>
{
};

TEST_P(LauncherNewNovel, PlaysToItsEndWithTheReadersInputAndNoError)
{
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "the host tests need an X server; run them under xvfb-run -a";
    const Reading& reading = GetParam();
    const TempDir parent;
    const TempDir work;
    const std::string novel = parent / "My Novel";
    std::vector<std::string> arguments{novel};
    if (*reading.vocabulary != '\0')
        arguments.insert(arguments.end(), {"--vocabulary", reading.vocabulary});
    ASSERT_EQ(RunNew(arguments, work), 0) << testsupport::ReadFile(work / "launcher-stderr.txt");

    const auto log = [&novel] {
        return testsupport::ReadFile(novel + "/debug.txt");
    };
    const int code = PlayNovel(novel, work, [&](ChildReport& report, Display* x11, LauncherProcess& launcher,
                                                hosttest::WindowId window) {
        if (!report.Check(window != 0, "no window within 10 s") ||
            !report.Check(hosttest::GiveFocus(x11, window, seconds(3)), "the window took no focus"))
            return;
        // Space reads on through every line; the choice waits for a click on one of its buttons.
        bool clicked = false;
        const auto deadline = std::chrono::steady_clock::now() + seconds(40);
        while (launcher.running() && std::chrono::steady_clock::now() < deadline)
        {
            if (!clicked && Count(log(), "[ExecuteWait] WAIT for:") > 0)
                clicked =
                    report.Check(hosttest::ClickAt(x11, window,
                                                   reading.firstButton ? kFirstButtonX : kSecondButtonX, kButtonY),
                                 "XTest click failed");
            else if (Count(log(), "TEXT FLOW FINISHED") > 0)
                report.Check(hosttest::PressKey(x11, window, "space"), "XTest key space failed");
            std::this_thread::sleep_for(milliseconds(300));
        }
        report.Check(clicked, "the choice never waited for a button");
        report.Equal(launcher.Wait(seconds(1)), 0, "launcher exit code at the end of the novel");
    });
    const std::string played = log();
    EXPECT_EQ(code, 0) << hosttest::ChildFailures(work.path()) << "launcher stderr:\n"
                       << testsupport::ReadFile(work / "launcher-stderr.txt") << "\nlog:\n"
                       << played;
    std::vector<std::string> expected{"script opened. filename: \"main.txt\"", "TEXT FLOW FINISHED",
                                      "BUTTON CLICK: RELEASING WAIT_BTNSEL"};
    expected.insert(expected.end(), reading.logged.begin(), reading.logged.end());
    expected.insert(expected.end(), {"[ExecuteEndGame] APPLICATION MODE) endGame.", "CloseEngine"});
    std::string missing;
    EXPECT_TRUE(testsupport::ContainsInOrder(played, expected, &missing))
        << "missing (in order): " << missing << "\nlog:\n"
        << played;
    // "ERROR!" is left out: the start-up names each archive a novel does not have, and a new novel has none.
    for (const char* fault : {"ERROR.", "ERROR:", "UNKNOWN or INVALID COMMAND", "WARNING"})
        EXPECT_EQ(played.find(fault), std::string::npos) << fault << " in the log:\n" << played;
    // And the author's check finds nothing in it either.
    LauncherProcess lint({"lint", novel}, work.path());
    EXPECT_EQ(lint.Wait(seconds(20)), 0) << lint.Stdout();
    EXPECT_EQ(lint.Stdout(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Vocabularies, LauncherNewNovel,
    ::testing::Values(Reading{"", true, {"[CmdHandlers::ExecuteVar] choice = 1", "found bookmark:tea"}},
                      Reading{"ja", false, {"[CmdHandlers::ExecuteVar] 選択 = 2", "found bookmark:散歩"}}),
    [](const ::testing::TestParamInfo<Reading>& info) {
        return *info.param.vocabulary != '\0' ? std::string("InJapaneseWords") : std::string("InEnglishWords");
    });

TEST(LauncherNew, ClosingTheWindowAsksInTheNovelsOwnMessageBoxAndEndsOnYes)
{
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "the host tests need an X server; run them under xvfb-run -a";
    const TempDir parent;
    const TempDir work;
    const std::string novel = parent / "novel";
    ASSERT_EQ(RunNew({novel, "--vocabulary", "ja"}, work), 0);
    const auto logged = [&novel](const std::string& needle) {
        const auto deadline = std::chrono::steady_clock::now() + seconds(10);
        while (testsupport::ReadFile(novel + "/debug.txt").find(needle) == std::string::npos)
        {
            if (std::chrono::steady_clock::now() >= deadline)
                return false;
            std::this_thread::sleep_for(milliseconds(20));
        }
        return true;
    };
    const int code = PlayNovel(novel, work, [&](ChildReport& report, Display* x11, LauncherProcess& launcher,
                                                hosttest::WindowId window) {
        if (!report.Check(window != 0 && logged("TEXT FLOW FINISHED"), "the first line never stood whole"))
            return;
        report.Check(hosttest::SendDeleteWindow(x11, window), "sending WM_DELETE_WINDOW failed");
        if (!report.Check(logged("[ExecuteWait] WAIT for:"), "closing the window asked nothing"))
            return;
        report.Check(hosttest::ClickAt(x11, window, 460, 360), "XTest click failed"); // yes
        report.Equal(launcher.Wait(seconds(10)), 0, "launcher exit code after yes");
    });
    const std::string log = testsupport::ReadFile(novel + "/debug.txt");
    EXPECT_EQ(code, 0) << hosttest::ChildFailures(work.path()) << log;
    std::string missing;
    EXPECT_TRUE(testsupport::ContainsInOrder(log,
                                             {"LOADING NEW SCRIPT:msgbox.txt", "[ExecuteWait] WAIT for: メッセージ選択",
                                              "MESSAGE VAR selection", "GAME END", "CloseEngine"},
                                             &missing))
        << "missing (in order): " << missing << "\nlog:\n"
        << log;
    EXPECT_EQ(log.find("ERROR."), std::string::npos) << log;
    EXPECT_EQ(log.find("ERROR:"), std::string::npos) << log;
}

TEST(LauncherNew, WritesOneWordPerCommandEverySettingPictureAndFont)
{
    const TempDir parent;
    const TempDir work;
    for (const char* vocabulary : {"en", "ja"})
    {
        SCOPED_TRACE(vocabulary);
        const std::string novel = parent / vocabulary;
        ASSERT_EQ(RunNew({novel, "--vocabulary", vocabulary}, work), 0);
        const std::string commands = testsupport::ReadFile(novel + "/Commands.xml");
        std::set<std::string> words;
        const std::regex command("<Command cmd=\"[^\"]+\" name=\"([^\"]+)\"");
        for (auto it = std::sregex_iterator(commands.begin(), commands.end(), command); it != std::sregex_iterator();
             ++it)
            EXPECT_TRUE(words.insert((*it)[1]).second) << "two commands share the word " << (*it)[1];
        EXPECT_EQ(words.size(), 57u) << commands;
        EXPECT_EQ(words.count("bg"), std::string(vocabulary) == "en" ? 1u : 0u);
        const std::string config = testsupport::ReadFile(novel + "/Config.xml");
        for (const char* setting :
             {"MsgboxScript=\"msgbox.txt\"", "sysWaitInputIcon=\"waiticon.png\"", "sysMasterVolume=", "sysBgmVolume=",
              "sysSfxVolume=", "sysVoiceVolume=", "sysTextSpeed=", "sysAutoSpeed=", "sysAutoWait="})
            EXPECT_NE(config.find(setting), std::string::npos) << setting;
        for (const char* picture :
             {"meadow", "friend", "button", "button_over", "button_down", "skin", "msgbox", "waiticon"})
            EXPECT_TRUE(testsupport::FileExists(novel + "/Images/" + picture + ".png")) << picture;
        int fonts = 0, licences = 0;
        for (const auto& entry : fs::directory_iterator(novel + "/Fonts"))
        {
            fonts += entry.path().extension() == ".ttf";
            licences += entry.path().filename().string().find("copyright") != std::string::npos;
        }
        EXPECT_EQ(fonts, 1);
        EXPECT_EQ(licences, 1);
    }
}

// What `new` refuses it refuses before writing anything: a folder that holds a file, a file in the folder's place
// (exit status 1), and a command line without one folder or with an unknown vocabulary (2, with the usage).
TEST(LauncherNew, RefusesAFolderThatHoldsSomethingAndWrongArguments)
{
    const TempDir parent;
    testsupport::WriteFile(parent / "full/notes.txt", "mine");
    testsupport::WriteFile(parent / "a-file", "mine");
    fs::create_directories(parent / "empty");
    const struct
    {
        std::vector<std::string> arguments;
        int code;
        const char* said;
    } cases[] = {
        {{parent / "full"}, 1, "is not empty"},
        {{parent / "a-file"}, 1, "is not a folder"},
        {{}, 2, "usage: quillhaven"},
        {{parent / "one", parent / "two"}, 2, "usage: quillhaven"},
        {{parent / "one", "--vocabulary", "fr"}, 2, "--vocabulary takes en or ja"},
        {{parent / "one", "--vocabulary"}, 2, "usage: quillhaven"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(hosttest::CommandLine(c.arguments));
        const TempDir work;
        std::string errors;
        EXPECT_EQ(RunNew(c.arguments, work, &errors), c.code);
        EXPECT_NE(errors.find(c.said), std::string::npos) << errors;
    }
    EXPECT_EQ(testsupport::ReadFile(parent / "full/notes.txt"), "mine");
    EXPECT_EQ(std::distance(fs::directory_iterator(parent / "full"), fs::directory_iterator()), 1);
    EXPECT_EQ(testsupport::ReadFile(parent / "a-file"), "mine");
    EXPECT_FALSE(fs::exists(parent / "one"));
    // An empty folder is a fine place to start.
    const TempDir work;
    EXPECT_EQ(RunNew({parent / "empty"}, work), 0);
    EXPECT_TRUE(testsupport::FileExists(parent / "empty/Scripts/main.txt"));
}
} // namespace
