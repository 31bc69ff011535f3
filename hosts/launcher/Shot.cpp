// quillhaven shot: saves a PNG of a novel as the editor shows it at a script line, or after playing a while.

#include "Launcher.h"

namespace launcher
{
int RunShot(int, char**)
{
    return Fail("shot: not available in this build yet");
}
} // namespace launcher
