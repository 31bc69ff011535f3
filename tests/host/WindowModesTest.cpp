// Each window mode of `quillhaven play` shows the whole picture of the novel: what the editor shows of a line,
// scaled into the area the mode gives the view, on screens of two shapes (each an X server of the test's own).

#include "LauncherProcess.h"
#include "PngFile.h"
#include "PrivateXServer.h"
#include "ShotPictures.h"
#include "TestSupport.h"
#include "X11TestWindow.h"

#include <gtest/gtest.h>

// After the test framework: Xlib's macros (None, Bool, Status) would otherwise rewrite its names.
#include <X11/Xlib.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

namespace
{
using hostcommon::Picture;
using testsupport::TempDir;

constexpr int kViewWidth = 640;
constexpr int kViewHeight = 480;

/// A picture of four flat quarters, so that a shifted or wrongly scaled copy disagrees almost everywhere.
Picture Quarters(int width, int height)
{
    Picture picture{width, height, {}};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
        {
            const bool right = x >= width / 2;
            const bool bottom = y >= height / 2;
            picture.rgba.insert(picture.rgba.end(), {static_cast<std::uint8_t>(right ? 230 : 30),
                                                     static_cast<std::uint8_t>(bottom ? 200 : 60),
                                                     static_cast<std::uint8_t>(right == bottom ? 40 : 220), 255});
        }
    return picture;
}

void WritePicture(const std::string& path, const Picture& picture)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::string error;
    ASSERT_TRUE(hostcommon::SavePng(path, picture, error)) << error;
}

/// Where the view lands on the screen: centred at its own size in a window, letterboxed over the whole screen in
/// the two full-screen modes.
hosttest::Rect ViewArea(int mode, int screenWidth, int screenHeight)
{
    if (mode == 1)
    {
        const int left = (screenWidth - kViewWidth) / 2;
        const int top = (screenHeight - kViewHeight) / 2;
        return {left, top, left + kViewWidth, top + kViewHeight};
    }
    const double rx = static_cast<double>(screenWidth) / kViewWidth;
    const double ry = static_cast<double>(screenHeight) / kViewHeight;
    if (rx > ry)
    {
        const double m = rx / ry;
        const int left = static_cast<int>((m - 1) * 0.5 * screenWidth);
        return {left, 0, left + static_cast<int>((2 - m) * screenWidth), screenHeight};
    }
    const double m = ry / rx;
    const int top = static_cast<int>((m - 1) * 0.5 * screenHeight);
    return {0, top, screenWidth, top + static_cast<int>((2 - m) * screenHeight)};
}

/// The share of the area's pixels on screen that match the editor's picture scaled into it (smoothing allowed).
double MatchingShare(const Picture& screen, const Picture& editor, const hosttest::Rect& area)
{
    long matching = 0;
    long total = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x, ++total)
        {
            const int ex = (x - area.left) * editor.width / (area.right - area.left);
            const int ey = (y - area.top) * editor.height / (area.bottom - area.top);
            const std::uint8_t* a = &screen.rgba[(static_cast<std::size_t>(y) * screen.width + x) * 4];
            const std::uint8_t* b = &editor.rgba[(static_cast<std::size_t>(ey) * editor.width + ex) * 4];
            matching += std::abs(a[0] - b[0]) <= 48 && std::abs(a[1] - b[1]) <= 48 && std::abs(a[2] - b[2]) <= 48;
        }
    return total > 0 ? static_cast<double>(matching) / static_cast<double>(total) : 0.0;
}

TEST(WindowModes, EachModeShowsTheEditorsPictureScaledIntoTheViewsArea)
{
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "the host tests need an X server; run them under xvfb-run -a";
    const TempDir novel;
    const TempDir work;
    testsupport::WriteFile(novel / "Config.xml", testsupport::ConfigXml());
    // A background half the view's size, which must be scaled to the view, and a picture placed in it.
    WritePicture(novel / "Images/quarters.png", Quarters(kViewWidth / 2, kViewHeight / 2));
    WritePicture(novel / "Images/mark.png", Quarters(96, 96));
    testsupport::WriteFile(novel / "Scripts/main.txt", "bg quarters.png\ncg mark mark.png 420 60 1\n");
    const std::string size = std::to_string(kViewWidth) + "x" + std::to_string(kViewHeight);
    // The view as the novel draws it at that size: the background stretched over it, the mark at its place.
    Picture editor = Quarters(kViewWidth, kViewHeight);
    const Picture mark = Quarters(96, 96);
    for (int y = 0; y < mark.height; ++y)
        std::copy_n(&mark.rgba[static_cast<std::size_t>(y) * mark.width * 4], mark.width * 4,
                    &editor.rgba[(static_cast<std::size_t>(60 + y) * kViewWidth + 420) * 4]);

    // A screen wider than the view's shape and one taller; neither offers a full-screen mode of the view's size.
    for (const auto& shape : {std::make_pair(1280, 720), std::make_pair(1024, 1024)})
    {
        const hosttest::PrivateXServer server(shape.first, shape.second);
        ASSERT_FALSE(server.display().empty()) << "Xvfb did not start";
        Display* const display = XOpenDisplay(server.display().c_str());
        ASSERT_NE(display, nullptr) << server.display();
        for (int mode = 0; mode <= 2; ++mode)
        {
            SCOPED_TRACE("screen " + std::to_string(shape.first) + "x" + std::to_string(shape.second) + ", mode " +
                         std::to_string(mode));
            hosttest::LaunchOptions options;
            options.setVariables = {"DISPLAY=" + server.display()};
            hosttest::LauncherProcess launcher(
                {"play", novel.path(), "--window-mode", std::to_string(mode), "--size", size}, work.path(), options);
            const hosttest::Rect area = ViewArea(mode, shape.first, shape.second);
            double share = 0.0;
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
            while (share < 0.97 && launcher.running() && std::chrono::steady_clock::now() < deadline)
            {
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
                Picture screen;
                if (hostcommon::CaptureWindow(display, hosttest::RootWindowOf(display), screen))
                    share = MatchingShare(screen, editor, area);
            }
            EXPECT_GE(share, 0.97) << "the view's area " << area << " does not show the editor's picture\n"
                                   << launcher.Stderr();
        }
        XCloseDisplay(display);
    }
}

} // namespace
