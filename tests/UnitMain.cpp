// Runs the unit tests inside a folder of their own: the engine writes debug.txt into the current folder, and test
// processes that ctest runs side by side must not share one log.

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <unistd.h>

namespace
{
/// Mesa unloads its software driver when the last GL context goes, and the leak checker then cannot name the
/// driver's own process-lifetime allocations (they show as an unknown module). Keeping the driver loaded lets the
/// suppressions recognise them; nothing else changes.
void PinSoftwareGlDriver()
{
    dlopen("/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so", RTLD_LAZY | RTLD_NODELETE);
}
} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    PinSoftwareGlDriver();
    testsupport::TempDir workDir;
    if (chdir(workDir.path().c_str()) != 0)
        return 2;
    return RUN_ALL_TESTS();
}
