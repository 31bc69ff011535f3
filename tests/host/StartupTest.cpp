// The launcher's window in window mode appears where it stays: centred on the screen from its first mapping on,
// never moved afterwards.

#include "LauncherProcess.h"
#include "TestSupport.h"
#include "X11TestWindow.h"

#include <gtest/gtest.h>

// After the test framework: Xlib's macros (None, Bool, Status) would otherwise rewrite its names.
#include <X11/Xlib.h>

#include <chrono>
#include <map>
#include <string>
#include <thread>
#include <utility>

namespace
{
const char* const kWindowTitle = "Quillhaven -Quillhaven 0.8.2-t2";

struct Place
{
    int x = 0;
    int y = 0;
};

/// Where each top-level window was when the server first mapped it, from the root's structure events.
void NoteFirstMappings(Display* display, std::map<Window, Place>& places, std::map<Window, Place>& firstMapped)
{
    while (XPending(display) > 0)
    {
        XEvent event{};
        XNextEvent(display, &event);
        if (event.type == CreateNotify)
            places[event.xcreatewindow.window] = {event.xcreatewindow.x, event.xcreatewindow.y};
        else if (event.type == ConfigureNotify)
            places[event.xconfigure.window] = {event.xconfigure.x, event.xconfigure.y};
        else if (event.type == MapNotify)
            firstMapped.emplace(event.xmap.window, places[event.xmap.window]);
    }
}

TEST(Startup, WindowIsMappedCentredWhereItStays)
{
    const hosttest::X11Connection x11;
    ASSERT_TRUE(bool(x11)) << "the host tests need an X server; run them under xvfb-run -a";
    Display* display = x11.get();
    const int screenWidth = DisplayWidth(display, DefaultScreen(display));
    const int screenHeight = DisplayHeight(display, DefaultScreen(display));
    const testsupport::TempDir novel;
    testsupport::WriteFile(novel / "Config.xml", testsupport::ConfigXml());
    testsupport::WriteFile(novel / "Scripts/main.txt", "\"The only line.\"\n");

    for (const auto& size : {std::make_pair(1280, 720), std::make_pair(800, 600)})
    {
        const std::string sizeText = std::to_string(size.first) + "x" + std::to_string(size.second);
        SCOPED_TRACE(sizeText);
        const testsupport::TempDir work;
        XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
        XSync(display, False);
        std::map<Window, Place> places;
        std::map<Window, Place> firstMapped;
        hosttest::LauncherProcess launcher({"play", novel.path(), "--window-mode", "1", "--size", sizeText},
                                           work.path());
        // The title comes after the window is made and placed, so a moved window has moved by the time it shows.
        const hosttest::WindowId window = hosttest::WaitForTopLevelWindow(
            display, kWindowTitle, std::chrono::seconds(10), [&] { NoteFirstMappings(display, places, firstMapped); });
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        NoteFirstMappings(display, places, firstMapped);
        XSelectInput(display, DefaultRootWindow(display), NoEventMask);
        ASSERT_NE(window, 0u) << "no window named " << kWindowTitle << "\n"
                              << testsupport::ReadFile(work / "launcher-stderr.txt");
        ASSERT_EQ(firstMapped.count(window), 1u) << "the window was never mapped";

        const Place mapped = firstMapped[window];
        EXPECT_EQ(mapped.x, (screenWidth - size.first) / 2) << "first mapped left edge";
        EXPECT_EQ(mapped.y, (screenHeight - size.second) / 2) << "first mapped top edge";
        XWindowAttributes now{};
        ASSERT_NE(XGetWindowAttributes(display, window, &now), 0);
        EXPECT_EQ(now.x, mapped.x) << "the window moved after it was mapped";
        EXPECT_EQ(now.y, mapped.y) << "the window moved after it was mapped";
    }
}
} // namespace
