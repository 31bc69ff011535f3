// Reading a window's pixels back from the X server, apart from the fixture: the X headers' macros clash with
// SFML's names.

#include "WindowFixture.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace testsupport
{
sf::Image ReadWindowFromServer(unsigned long window, sf::Vector2u size)
{
    sf::Image picture;
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr)
        return picture;
    XImage* image = XGetImage(display, static_cast<Window>(window), 0, 0, size.x, size.y, AllPlanes, ZPixmap);
    if (image != nullptr)
    {
        picture.create(size.x, size.y);
        for (unsigned y = 0; y < size.y; ++y)
            for (unsigned x = 0; x < size.x; ++x)
            {
                const unsigned long pixel = XGetPixel(image, static_cast<int>(x), static_cast<int>(y));
                picture.setPixel(x, y, sf::Color((pixel >> 16) & 0xff, (pixel >> 8) & 0xff, pixel & 0xff));
            }
        XDestroyImage(image);
    }
    XCloseDisplay(display);
    return picture;
}
} // namespace testsupport
