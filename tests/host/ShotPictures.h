#pragma once
// What the tests of `quillhaven shot` share: taking a shot with the real program and comparing its pictures.

#include "LauncherProcess.h"
#include "Picture.h"

#include <ostream>
#include <string>
#include <vector>

namespace hosttest
{
/// A rectangle of pixels, right and bottom edges excluded.
struct Rect
{
    int left = 0, top = 0, right = 0, bottom = 0;
    bool Empty() const { return right <= left || bottom <= top; }
    bool Contains(const Rect& other) const
    {
        return other.left >= left && other.top >= top && other.right <= right && other.bottom <= bottom;
    }
};
std::ostream& operator<<(std::ostream& out, const Rect& rect);

/// The smallest rectangle holding every pixel in which a and b differ; empty when they agree.
Rect Difference(const hostcommon::Picture& a, const hostcommon::Picture& b);
/// The picture of a PNG file (a test failure when it cannot be read).
hostcommon::Picture ReadPng(const std::string& path);
/// Runs the program to its end; returns its exit code, stderr going to error.
int RunLauncher(const std::vector<std::string>& arguments, std::string& error, const LaunchOptions& options = {});
/// Takes a shot that must succeed (a test failure otherwise) and returns the picture written to out.
hostcommon::Picture Shoot(const std::vector<std::string>& arguments, const std::string& out);
} // namespace hosttest
