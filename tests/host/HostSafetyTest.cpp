// What a host may do to the engine without losing its own process: destroy the window the render area lives in,
// close one preview and open the next many times over, or pass arguments the engine cannot use.

#include "EditorSession.h"
#include "NovelHostTest.h"
#include "PrivateXServer.h"

#include <gtest/gtest.h>

// After the test framework: Xlib's macros (None, Bool, Status) would otherwise rewrite its names.
#include <X11/Xlib.h>

#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>

namespace
{
using hosttest::ChildReport;
using hosttest::EditorWindows;
using hosttest::HostLibrary;

constexpr auto kPatience = std::chrono::seconds(5);

/// The log's lines that begin with prefix, each with how often it appears.
std::map<std::string, int> LinesStartingWith(const std::string& log, const std::string& prefix)
{
    std::map<std::string, int> lines;
    for (const std::string& line : testsupport::Lines(log))
        if (line.rfind(prefix, 0) == 0)
            ++lines[line];
    return lines;
}

/// Whether the whole render area shows colour, read back from the X server.
bool Shows(Display* display, hosttest::WindowId area, std::uint8_t red, std::uint8_t green, std::uint8_t blue)
{
    hostcommon::Picture picture;
    if (!hostcommon::CaptureWindow(display, area, picture) || picture.rgba.empty())
        return false;
    for (std::size_t i = 0; i < picture.rgba.size(); i += 4)
        if (picture.rgba[i] != red || picture.rgba[i + 1] != green || picture.rgba[i + 2] != blue)
            return false;
    return true;
}

/// An editor showing a scene: its window and the render area shown, a few frames drawn.
bool OpenShownEditor(const HostLibrary& library, Display* display, EditorWindows& windows, ChildReport& report)
{
    if (!OpenEditor(library, display, L"clearRGB 0 90 0\n\"hello\"\n", windows, report))
        return false;
    hosttest::MapWindow(display, windows.host);
    hosttest::MapWindow(display, windows.child);
    hosttest::RunFrames(library, 5);
    return true;
}

/// Once what it draws into is gone, the engine stops drawing, says so by returning 0, and closes when told.
void ExpectDrawingStops(const HostLibrary& library, ChildReport& report, const std::string& cause)
{
    report.Check(hosttest::RunFramesUntil(
                     library, [&] { return library.UpdateRenderWindow() == 0; }, kPatience),
                 "UpdateRenderWindow still draws after " + cause);
    for (int frame = 0; frame < 3; ++frame)
        report.Equal(library.UpdateRenderWindow(), 0, "UpdateRenderWindow later, after " + cause);
    hosttest::QueryInfo(library);
    library.DestroyRenderWindow();
    library.DestroyRenderWindow();
}

class HostSafety : public hosttest::NovelHostTest
{
protected:
    void SetUp() override { PrepareNovel(testsupport::ConfigXml()); }
};

TEST_F(HostSafety, AHostWindowDestroyedUnderTheRenderAreaEndsNothing)
{
    RunHosted([](const HostLibrary& library, Display* display, ChildReport& report) {
        // A plain editor: Xlib's own error handler, which ends the process on any error that reaches it.
        XSetErrorHandler(nullptr);
        EditorWindows windows;
        if (!OpenShownEditor(library, display, windows, report))
            return;
        XDestroyWindow(display, windows.host); // takes the render area with it
        XSync(display, False);
        ExpectDrawingStops(library, report, "the host window went");
    });
    EXPECT_NE(m_log.find("ERROR. (UpdateRenderWindow) the render window is gone"), std::string::npos) << m_log;
    const auto errors = LinesStartingWith(m_log, "ERROR. (X11)");
    EXPECT_FALSE(errors.empty()) << m_log;
    for (const auto& error : errors)
        EXPECT_EQ(error.second, 1) << "logged more than once: " << error.first;
}

TEST_F(HostSafety, AnXServerThatGoesAwayClosesTheEngineNotTheHost)
{
    hosttest::PrivateXServer server(640, 480);
    ASSERT_FALSE(server.display().empty()) << "Xvfb did not start";
    Run([&](ChildReport& report) {
        setenv("DISPLAY", server.display().c_str(), 1);
        const HostLibrary library;
        // The host's connection dies with the server too; it is left alone from then on, and stays reachable.
        static Display* const display = XOpenDisplay(nullptr);
        if (!hosttest::ReadyToHost(library, display != nullptr, report))
            return;
        EditorWindows windows;
        if (!OpenShownEditor(library, display, windows, report))
            return;
        server.Kill();
        ExpectDrawingStops(library, report, "the X server went away");
    });
    EXPECT_NE(m_log.find("ERROR. (X11) the connection to the X server was lost"), std::string::npos) << m_log;
    EXPECT_NE(m_log.find("CloseEngine"), std::string::npos) << m_log;
}

TEST_F(HostSafety, TenPreviewsInOneProcessEachShowWhatTheyDraw)
{
    RunHosted([](const HostLibrary& library, Display* display, ChildReport& report) {
        for (int preview = 0; preview < 10; ++preview)
        {
            const std::string which = "preview " + std::to_string(preview + 1) + ": ";
            // A colour of its own each time, so that a picture left from the one before cannot pass.
            const std::uint8_t red = static_cast<std::uint8_t>(20 * preview + 10);
            const std::wstring script = L"clearRGB " + std::to_wstring(red) + L" 40 200\n\"line\"\n";
            EditorWindows windows;
            hosttest::EditorSetup setup;
            setup.watchChildren = true;
            if (!OpenEditor(library, display, script, windows, report, setup))
                return;
            hosttest::MapWindow(display, windows.host);
            hosttest::RunFrames(library, 3);
            report.Equal(hosttest::CountMappings(display, windows.child), 0,
                         which + "times the render area was shown before the host showed it");
            hosttest::MapWindow(display, windows.child);
            library.setNovelScriptText(L"main.txt", script.c_str(), 2, 1);
            report.Check(hosttest::RunFramesUntil(
                             library, [&] { return Shows(display, windows.child, red, 40, 200); }, kPatience),
                         which + "the render area never showed its colour");
            report.Check(hosttest::MapStateOf(display, windows.child) == hosttest::MapState::Viewable,
                         which + "render area not viewable after the host showed it");
            library.DestroyRenderWindow();
            hosttest::DestroyWindow(display, windows.host);
        }
    });
}

TEST_F(HostSafety, UnusableWindowArgumentsAreRefusedWithAnErrorLine)
{
    RunHosted([](const HostLibrary& library, Display* display, ChildReport& report) {
        const hosttest::WindowId host = hosttest::CreateHostWindow(display, 640, 480, false);
        struct Case
        {
            int width, height;
            bool application;
        };
        // The first application case comes before the file system is initialised; the size is fine.
        const Case cases[] = {{640, 480, true}, {0, 480, true},   {-1, -1, true},      {640, 100000, true},
                              {0, 480, false},  {640, -1, false}, {100000, 480, false}};
        for (const Case& c : cases)
        {
            const std::string which =
                std::to_string(c.width) + "x" + std::to_string(c.height) + (c.application ? " application" : " editor");
            void* const area =
                library.CreateRenderWindow(nullptr, reinterpret_cast<void*>(host), c.width, c.height, L"Novel",
                                           L"main.txt", L"\"line\"\n", c.application ? L"application" : L"", 1);
            report.Check(area == nullptr, which + ": a render area was made");
            report.Equal(library.UpdateRenderWindow(), 0, which + ": UpdateRenderWindow");
            report.Equal(hosttest::QueryInfo(library).width, 0, which + ": width");
            library.DestroyRenderWindow();
            if (&c == &cases[0])
                report.Check(library.PHYSFS_init(nullptr) != 0, "PHYSFS_init failed");
        }
        // Nothing of the refusals stays behind: good arguments make a render area.
        void* const area = library.CreateRenderWindow(nullptr, reinterpret_cast<void*>(host), 320, 200, L"Novel",
                                                      L"main.txt", L"", L"", 1);
        report.Check(area != nullptr, "no render area after the refusals");
        library.DestroyRenderWindow();
        hosttest::DestroyWindow(display, host);
    });
    std::size_t refusals = 0;
    for (const auto& line : LinesStartingWith(m_log, "ERROR. (CreateRenderWindow)"))
        refusals += static_cast<std::size_t>(line.second);
    EXPECT_EQ(refusals, 7u) << m_log;
}

} // namespace
