// Presenting a frame without swapping buffers: the back buffer is copied to the window and stays as it was drawn.
// A frame that changes only the wait icon then draws only the icon's area, and a frame that changes nothing draws
// nothing at all: software GL spends milliseconds on every full-window draw.

#include "platform/Platform.h"

#include <GL/glx.h>

#include <cstring>

namespace zel
{
namespace platform
{
namespace
{
using CopySubBuffer = void (*)(Display*, GLXDrawable, int, int, int, int);

/// The driver's copy function on this display, or null when it has none (looked up once per display connection).
CopySubBuffer CopyFunction(Display* display)
{
    static Display* checked = nullptr;
    static CopySubBuffer function = nullptr;
    if (display == checked)
        return function;
    checked = display;
    function = nullptr;
    const char* extensions = glXQueryExtensionsString(display, DefaultScreen(display));
    if (extensions != nullptr && std::strstr(extensions, "GLX_MESA_copy_sub_buffer") != nullptr)
        function = reinterpret_cast<CopySubBuffer>(
            glXGetProcAddressARB(reinterpret_cast<const GLubyte*>("glXCopySubBufferMESA")));
    return function;
}
} // namespace

bool PresentBackBufferArea(int x, int y, int width, int height)
{
    Display* display = glXGetCurrentDisplay();
    const GLXDrawable drawable = glXGetCurrentDrawable();
    if (display == nullptr || drawable == None || width <= 0 || height <= 0)
        return false;
    const CopySubBuffer copy = CopyFunction(display);
    if (copy == nullptr)
        return false;
    copy(display, drawable, x, y, width, height);
    XFlush(display); // the frame is on its way now, not with the next request
    return true;
}

} // namespace platform
} // namespace zel
