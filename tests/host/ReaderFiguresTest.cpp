// The figures scripts/measure.sh reads: /proc lines as Linux writes them, the dialogue's letters in a window's
// picture, and medians.

#include "ReaderFigures.h"

#include <gtest/gtest.h>

namespace
{
// Each figure read from the text Linux (or the engine's log) writes, or -1 when the text does not hold it.
TEST(ReaderFigures, FiguresReadFromProcAndLogText)
{
    struct Case
    {
        long long (*read)(const std::string&);
        const char* text;
        long long expected;
    };
    const auto lastLine = [](const std::string& log) -> long long {
        return bench::LastLineRead(log);
    };
    const Case cases[] = {
        // CPU ticks: user plus system time, counted after the program name, which may hold blanks and parentheses.
        {bench::CpuTicksOfStat, "4242 (quillhaven) S 1 4242 4242 0 -1 4194304 900 0 0 0 120 35 0 0 20 0 9 0 777 0 0\n",
         155},
        {bench::CpuTicksOfStat, "7 (a) b (c)) R 1 7 7 0 -1 0 0 0 0 0 5 6 0 0 20 0 1 0 1 0 0", 11},
        {bench::CpuTicksOfStat, "7 (quillhaven) S 1 7 7 0 -1 0 0 0 0", -1},
        {bench::CpuTicksOfStat, "", -1},
        // Peak memory: the resident high-water mark, not the peak of address space.
        {bench::PeakKibOfStatus,
         "Name:\tquillhaven\nVmPeak:\t  900000 kB\nVmSize:\t  800000 kB\nVmHWM:\t  123456 kB\nVmRSS:\t 100000 kB\n",
         123456},
        {bench::PeakKibOfStatus, "VmHWM:\t 42 kB\n", 42},
        {bench::PeakKibOfStatus, "Name:\tquillhaven\nVmPeak:\t  900000 kB\n", -1},
        {bench::PeakKibOfStatus, "VmHWM:\t many\n", -1},
        // The last script line read: the latest the log names.
        {lastLine,
         "[Parser::ReadScript] duration:3ms. script:main.txt read until line:12 (mainscriptline:12) \n\n"
         "[Parser::ReadScript] duration:0ms. script:main.txt read until line:140 (mainscriptline:140) \n",
         140},
        {lastLine, "[ExecuteEndGame] APPLICATION MODE) endGame. \n", -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.read(c.text), c.expected) << c.text;
}

TEST(ReaderFigures, TextPixelsCountOnlyTheDialogueYellowInsideTheArea)
{
    hostcommon::Picture picture{8, 4, std::vector<std::uint8_t>(8 * 4 * 4, 0)};
    const auto paint = [&](int x, int y, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
        std::uint8_t* pixel = &picture.rgba[(y * 8 + x) * 4];
        pixel[0] = r, pixel[1] = g, pixel[2] = b, pixel[3] = 255;
    };
    paint(2, 1, 255, 255, 0);   // a letter
    paint(3, 1, 230, 220, 60);  // a letter's edge, still yellow
    paint(4, 1, 255, 255, 255); // white is not the dialogue's colour
    paint(5, 1, 120, 120, 0);   // half blended into the dark box
    paint(7, 3, 255, 255, 0);   // a letter outside the area below
    EXPECT_EQ(bench::TextPixels(picture, {0, 0, 7, 3}), 2);
    EXPECT_EQ(bench::TextPixels(picture, {0, 0, 8, 4}), 3);
    EXPECT_EQ(bench::TextPixels(picture, {6, 2, 100, 100}), 1) << "an area past the picture's edge is cut to it";
    EXPECT_EQ(bench::TextPixels(picture, {-5, -5, 3, 3}), 0);
}

TEST(ReaderFigures, MedianOfUnsortedRuns)
{
    EXPECT_DOUBLE_EQ(bench::Median({3.0, 1.0, 2.0}), 2.0);
    EXPECT_DOUBLE_EQ(bench::Median({4.0, 1.0, 3.0, 2.0}), 2.5);
    EXPECT_DOUBLE_EQ(bench::Median({7.5}), 7.5);
    EXPECT_DOUBLE_EQ(bench::Median({}), 0.0);
}
} // namespace
