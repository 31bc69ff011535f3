#include "ShotPictures.h"

#include "PngFile.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

namespace hosttest
{
using hostcommon::Picture;

std::ostream& operator<<(std::ostream& out, const Rect& rect)
{
    return out << "(" << rect.left << "," << rect.top << ")-(" << rect.right << "," << rect.bottom << ")";
}

Rect Difference(const Picture& a, const Picture& b)
{
    Rect bounds{a.width, a.height, 0, 0};
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x)
        {
            const std::size_t at = (static_cast<std::size_t>(y) * a.width + x) * 4;
            if (std::equal(a.rgba.begin() + at, a.rgba.begin() + at + 4, b.rgba.begin() + at))
                continue;
            bounds = {std::min(bounds.left, x), std::min(bounds.top, y), std::max(bounds.right, x + 1),
                      std::max(bounds.bottom, y + 1)};
        }
    return bounds;
}

Picture ReadPng(const std::string& path)
{
    Picture picture;
    std::string error;
    EXPECT_TRUE(hostcommon::LoadPng(path, picture, error)) << error;
    return picture;
}

int RunLauncher(const std::vector<std::string>& arguments, std::string& error, const LaunchOptions& options)
{
    const testsupport::TempDir output;
    LauncherProcess launcher(arguments, output.path(), options);
    EXPECT_TRUE(launcher.started());
    const int code = launcher.Wait(std::chrono::seconds(60));
    error = launcher.Stderr();
    return code;
}

Picture Shoot(const std::vector<std::string>& arguments, const std::string& out)
{
    std::string error;
    EXPECT_EQ(RunLauncher(arguments, error), 0) << CommandLine(arguments) << "\n" << error;
    return ReadPng(out);
}
} // namespace hosttest
