// The application host: mounts the novel folder itself, lets the engine open its own window and plays until the
// user closes it.

#include "ChildReport.h"
#include "HostLibrary.h"
#include "TestSupport.h"
#include "X11TestWindow.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <unistd.h>

namespace
{
using hosttest::ChildReport;
using hosttest::HostLibrary;
using testsupport::TempDir;

const char* const kWindowTitle = "Novel -Quillhaven 0.8.2-t2";

/// Host text full of printf-style conversions; the log must show it exactly as written.
const wchar_t* const kHostText = L"[host] %s stays %s, 100%% and %d\n";
const char* const kHostTextLogged = "[host] %s stays %s, 100%% and %d\n";

std::string CurrentFolder()
{
    char buffer[4096];
    return getcwd(buffer, sizeof buffer) != nullptr ? buffer : ".";
}

void ExpectInOrder(const std::string& log, const std::vector<std::string>& needles)
{
    std::string missing;
    EXPECT_TRUE(testsupport::ContainsInOrder(log, needles, &missing))
        << "missing (in order): \"" << missing << "\"\nlog:\n"
        << log;
}

TEST(ApplicationHost, CloseRequestEndsTheGame)
{
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "the host tests need an X server; run them under xvfb-run -a";
    const TempDir dir;
    const int code = hosttest::RunScenario(dir.path(), [](ChildReport& report) {
        const HostLibrary library;
        const hosttest::X11Connection x11;
        if (!report.Check(library.ok(), library.error()) || !report.Check(bool(x11), "no X display"))
            return;
        Display* const display = x11.get();
        testsupport::WriteFile(CurrentFolder() + "/Config.xml", testsupport::ConfigXml());
        report.Check(library.PHYSFS_init(nullptr) != 0, "PHYSFS_init failed");
        report.Check(library.PHYSFS_mount(CurrentFolder().c_str(), nullptr, 1) != 0, "PHYSFS_mount failed");

        void* const window = library.CreateRenderWindow(nullptr, nullptr, 640, 480, L"Novel", L"main.txt",
                                                        L"line one\n", L"application", 1);
        report.Check(window == nullptr, "CreateRenderWindow returned a handle in application mode");
        library.OutputDebugStringN(kHostText);

        const hosttest::WindowId found = hosttest::WaitForTopLevelWindow(display, kWindowTitle, std::chrono::seconds(3),
                                                                         [&] { library.UpdateRenderWindow(); });
        if (!report.Check(found != 0, std::string("no top-level window named \"") + kWindowTitle + "\""))
        {
            library.DestroyRenderWindow();
            return;
        }
        int width = 0;
        int height = 0;
        report.Check(hosttest::SizeOf(display, found, width, height) && width == 640 && height == 480,
                     "the window is not 640x480");
        for (int frame = 0; frame < 5; ++frame)
            report.Equal(library.UpdateRenderWindow(), 1, "UpdateRenderWindow while playing");
        report.Equal(static_cast<int>(library.getGameOver()), 0, "game over before any close request");

        report.Check(hosttest::SendDeleteWindow(display, found), "sending WM_DELETE_WINDOW failed");
        report.Check(hosttest::RunFramesUntil(
                         library, [&] { return library.getGameOver() == 1; }, std::chrono::seconds(3)),
                     "the close request did not end the game");

        library.DestroyRenderWindow();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
        while (hosttest::FindTopLevelWindow(display, kWindowTitle) != 0 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const bool gone = hosttest::FindTopLevelWindow(display, kWindowTitle) == 0;
        report.Check(gone, "the window outlived DestroyRenderWindow");
    });
    EXPECT_EQ(code, 0) << hosttest::ChildFailures(dir.path());

    const std::string log = testsupport::ReadFile(dir / "debug.txt");
    EXPECT_EQ(log.rfind("LOG START TIME (d-m-y): ", 0), 0u) << log;
    ExpectInOrder(log, {"DLL VERSION: 0.8.2-t2", "UNKNOWN or INVALID COMMAND:'line' script-name:main.txt curline:1",
                        "read until line:1 (mainscriptline:1)", "[DLL::InitNovelSettings] COMPLETE",
                        "[DLL::CreateRenderWindow] COMPLETE", kHostTextLogged, "SF::EVENT::CLOSED", "GAME END",
                        "CloseEngine"});
}

TEST(ApplicationHost, CloseRequestAsksThroughTheMessageBoxWhenTheNovelHasOne)
{
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "the host tests need an X server; run them under xvfb-run -a";
    const TempDir dir;
    testsupport::WriteFile(dir / "Config.xml", testsupport::ConfigXml("box.txt"));
    testsupport::WriteFile(dir / "Commands.xml",
                           "<ScriptStrings><DisplayStrings><Msg name=\"Msg_endGame\" jap=\"Quit?\" /></DisplayStrings>"
                           "<Keywords><CmdOptions><Option name=\"msgboxSelect\" jap=\"msgboxSelect\" /></CmdOptions>"
                           "</Keywords></ScriptStrings>\n");
    testsupport::WriteFile(dir / "Scripts/box.txt", "wait msgboxSelect\nbox_answered\n");
    const int code = hosttest::RunScenario(dir.path(), [](ChildReport& report) {
        const HostLibrary library;
        const hosttest::X11Connection x11;
        if (!report.Check(library.ok(), library.error()) || !report.Check(bool(x11), "no X display"))
            return;
        report.Check(library.PHYSFS_init(nullptr) != 0, "PHYSFS_init failed");
        report.Check(library.PHYSFS_mount(CurrentFolder().c_str(), nullptr, 1) != 0, "PHYSFS_mount failed");
        library.CreateRenderWindow(nullptr, nullptr, 640, 480, L"Novel", L"main.txt", L"line one\n", L"application", 1);
        const hosttest::WindowId found = hosttest::WaitForTopLevelWindow(
            x11.get(), kWindowTitle, std::chrono::seconds(3), [&] { library.UpdateRenderWindow(); });
        if (!report.Check(found != 0, "no engine window"))
        {
            library.DestroyRenderWindow();
            return;
        }
        // The first request asks; a second one while the box is open (which nobody may be able to answer) ends.
        for (int request = 0; request < 2; ++request)
        {
            report.Check(hosttest::SendDeleteWindow(x11.get(), found), "sending WM_DELETE_WINDOW failed");
            hosttest::RunFramesUntil(
                library, [&] { return library.getGameOver() != 0; },
                std::chrono::milliseconds(request == 0 ? 300 : 5000));
            report.Equal(static_cast<int>(library.getGameOver()), request, "game over after close request");
        }
        library.DestroyRenderWindow();
    });
    EXPECT_EQ(code, 0) << hosttest::ChildFailures(dir.path());
    ExpectInOrder(testsupport::ReadFile(dir / "debug.txt"),
                  {"SF::EVENT::CLOSED", "[ExecuteScript] LOADING NEW SCRIPT:box.txt",
                   "[ExecuteWait] WAIT for: msgboxSelect", "SF::EVENT::CLOSED",
                   "[HandleEvents] close request while a message box is open. closing at once", "GAME END"});
}

TEST(ApplicationHost, HostTextIsLoggedVerbatim)
{
    const TempDir dir;
    const int code = hosttest::RunScenario(dir.path(), [](ChildReport& report) {
        const HostLibrary library;
        if (!report.Check(library.ok(), library.error()))
            return;
        library.OutputDebugStringN(kHostText);
        library.OutputDebugStringN(nullptr);
        library.OutputDebugStringN(L"caf\u00e9 \u2014 \u7269\u8a9e\n");
    });
    EXPECT_EQ(code, 0) << hosttest::ChildFailures(dir.path());

    const std::string log = testsupport::ReadFile(dir / "debug.txt");
    EXPECT_EQ(log.rfind("LOG START TIME (d-m-y): ", 0), 0u) << log;
    ExpectInOrder(log, {kHostTextLogged, "caf\xc3\xa9 \xe2\x80\x94 \xe7\x89\xa9\xe8\xaa\x9e\n"});
}

} // namespace
