// The launcher program as a user runs it: `quillhaven play DIR` on a novel folder, closed through its window or
// ended by the script, and refused with exit code 2 and a message when the folder, the script or the arguments are
// wrong.

#include "ChildReport.h"
#include "TestSupport.h"
#include "X11TestWindow.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;

namespace
{
using testsupport::TempDir;

const char* const kWindowTitle = "Quillhaven -Quillhaven 0.8.2-t2";
constexpr int kTimedOut = -1;

/// The launcher run with the given arguments, standard output and error going to files in outputDir. It is
/// killed if still running when the object goes, so a stuck launcher never outlives its test.
class Launcher
{
public:
    Launcher(const std::vector<std::string>& arguments, const std::string& outputDir)
    {
        std::vector<std::string> words{QUILLHAVEN_LAUNCHER_PATH};
        words.insert(words.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);

        const std::string out = outputDir + "/launcher-stdout.txt";
        m_stderrPath = outputDir + "/launcher-stderr.txt";
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, m_stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
    }

    ~Launcher()
    {
        if (m_pid > 0)
        {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
    }

    Launcher(const Launcher&) = delete;
    Launcher& operator=(const Launcher&) = delete;

    bool started() const { return m_pid > 0; }
    bool running() { return m_pid > 0 && !Reap(WNOHANG); }

    /// The exit code (128 + signal when killed by one), or kTimedOut after killing a launcher that ran too long.
    int Wait(std::chrono::milliseconds timeout)
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (m_pid > 0)
        {
            if (Reap(WNOHANG))
                return m_code;
            if (std::chrono::steady_clock::now() >= deadline)
            {
                kill(m_pid, SIGKILL);
                Reap(0);
                return kTimedOut;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return m_code;
    }

    std::string Stderr() const { return testsupport::ReadFile(m_stderrPath); }

private:
    bool Reap(int options)
    {
        int status = 0;
        if (waitpid(m_pid, &status, options) != m_pid)
            return false;
        m_code = WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
        m_pid = -1;
        return true;
    }

    pid_t m_pid = -1;
    int m_code = kTimedOut;
    std::string m_stderrPath;
};

/// A playable novel folder: Config.xml and a one-line Scripts/main.txt.
void MakeNovel(const TempDir& dir)
{
    testsupport::WriteFile(dir / "Config.xml", testsupport::ConfigXml());
    testsupport::WriteFile(dir / "Scripts/main.txt", "\"The only line.\"\n");
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
    testsupport::WriteFile(novel / "Config.xml", testsupport::ConfigXml());
    // The game ends while the launcher runs frames, after a short timed wait; the tilde ends the dialogue's text
    // mode, so that the wait is read as a command.
    testsupport::WriteFile(novel / "Scripts/main.txt", "\"The last line.\"\n~wait 300\nendGame\n\"Never read.\"\n");
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

TEST(Launcher, RefusesAMissingFolderWithOneLine)
{
    const TempDir work;
    const std::string absent = work / "no-such-novel";
    Launcher launcher({"play", absent}, work.path());
    ASSERT_TRUE(launcher.started());
    EXPECT_EQ(launcher.Wait(std::chrono::seconds(10)), 2);
    const std::string errors = launcher.Stderr();
    EXPECT_EQ(testsupport::Lines(errors).size(), 1u) << errors;
    EXPECT_NE(errors.find(absent), std::string::npos) << errors;
}

TEST(Launcher, RefusesAFolderWithoutItsScript)
{
    const TempDir novel;
    const TempDir work;
    testsupport::WriteFile(novel / "Config.xml", testsupport::ConfigXml());
    Launcher launcher({"play", novel.path()}, work.path());
    ASSERT_TRUE(launcher.started());
    EXPECT_EQ(launcher.Wait(std::chrono::seconds(10)), 2);
    const std::string errors = launcher.Stderr();
    EXPECT_EQ(testsupport::Lines(errors).size(), 1u) << errors;
    EXPECT_NE(errors.find("Scripts/main.txt"), std::string::npos) << errors;
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
