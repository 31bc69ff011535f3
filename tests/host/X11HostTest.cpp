// Reading back an area of a window: the same pixels as the whole window's picture, cut to the window.

#include "X11TestWindow.h"

// Before Xlib, whose macros (None, Bool, ...) would break gtest's headers.
#include <gtest/gtest.h>

#include <X11/Xlib.h>

namespace
{
using hostcommon::Picture;

/// The area of picture at x,y of width x height, which must lie inside it.
Picture Crop(const Picture& picture, int x, int y, int width, int height)
{
    Picture part{width, height, {}};
    for (int row = y; row < y + height; ++row)
    {
        const auto from = picture.rgba.begin() + (static_cast<std::ptrdiff_t>(row) * picture.width + x) * 4;
        part.rgba.insert(part.rgba.end(), from, from + static_cast<std::ptrdiff_t>(width) * 4);
    }
    return part;
}

TEST(X11Host, AnAreaOfAWindowIsThatPartOfItsWholePictureCutToTheWindow)
{
    const hosttest::X11Connection x11;
    ASSERT_TRUE(x11) << "the host tests need an X server; run them under xvfb-run -a";
    Display* display = x11.get();
    hostcommon::HostWindowOptions options;
    options.mapped = true;
    options.hidden = true;
    const hosttest::WindowId window = hostcommon::CreateHostWindow(display, 64, 48, options);
    ASSERT_NE(window, 0u);
    // Stripes and a block, so that a shifted or mirrored area reads differently.
    GC gc = XCreateGC(display, window, 0, nullptr);
    for (int x = 0; x < 64; x += 8)
    {
        XSetForeground(display, gc, static_cast<unsigned long>(x * 0x040301));
        XFillRectangle(display, window, gc, x, 0, 4, 48);
    }
    XSetForeground(display, gc, 0xff8000);
    XFillRectangle(display, window, gc, 10, 30, 20, 10);
    XFreeGC(display, gc);
    XSync(display, False);

    Picture whole;
    ASSERT_TRUE(hostcommon::CaptureWindow(display, window, whole));
    ASSERT_EQ(whole.width, 64);
    const std::uint8_t* block = &whole.rgba[(32 * 64 + 12) * 4];
    ASSERT_TRUE(block[0] == 255 && block[1] == 128 && block[2] == 0) << "the drawing did not reach the window";
    struct Case
    {
        int x, y, width, height;    // asked for
        int cutX, cutY, cutW, cutH; // what lies in the window; a width of 0: nothing, and the read fails
    };
    const Case cases[] = {
        {5, 25, 30, 20, 5, 25, 30, 20}, {50, 40, 30, 30, 50, 40, 14, 8}, {-6, -4, 20, 10, 0, 0, 14, 6},
        {12, 3, -1, -1, 12, 3, 52, 45}, {0, 0, 64, 48, 0, 0, 64, 48},    {64, 0, 10, 10, 0, 0, 0, 0},
        {0, 0, 0, 10, 0, 0, 0, 0},      {-6, 0, 3, 10, 0, 0, 0, 0},
    };
    for (const Case& c : cases)
    {
        Picture part;
        const bool read = hostcommon::CaptureWindowArea(display, window, c.x, c.y, c.width, c.height, part);
        ASSERT_EQ(read, c.cutW > 0) << c.x << "," << c.y;
        if (read)
            EXPECT_TRUE(part == Crop(whole, c.cutX, c.cutY, c.cutW, c.cutH)) << c.x << "," << c.y;
    }
    hostcommon::DestroyWindow(display, window);
}
} // namespace
