// quillhaven pack: writes a data folder into a ".vndat" archive.

#include "Launcher.h"

namespace launcher
{
int RunPack(int, char**)
{
    return Fail("pack: not available in this build yet");
}
} // namespace launcher
