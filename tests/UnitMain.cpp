// Runs the unit tests inside a folder of their own: the engine writes debug.txt into the current folder, and test
// processes that ctest runs side by side must not share one log.

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <unistd.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    testsupport::TempDir workDir;
    if (chdir(workDir.path().c_str()) != 0)
        return 2;
    return RUN_ALL_TESTS();
}
