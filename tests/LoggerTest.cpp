// The background logger: wide formatting, what is written before the engine state exists, bursts from several
// threads, and that nothing queued is lost at exit.

#include "resources/Logger.h"
#include "TestSupport.h"
#include "core/NovelState.h"
#include "core/Services.h"
#include "resources/NHelper.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <chrono>
#include <cwchar>
#include <thread>

using namespace testsupport;
using zel::OutputDebugStringN;

namespace
{
/// Gives the child an engine state, so that messages are formatted.
void WithSysVars(bool loggingEnabled = true)
{
    zel::Services::m_NovelStates.push_back(std::make_shared<zel::NovelState>());
    zel::Services::SysVars()->loggingEnabled = loggingEnabled;
}

/// Log contents after the messages and the start line, with the child's exit having flushed everything.
std::string LogAfter(const TempDir& dir)
{
    return ReadFile(dir / "debug.txt");
}
} // namespace

struct FormatCase
{
    const wchar_t* engineFormat;
    const wchar_t* libraryFormat;
};

class WidenFormatTest : public ::testing::TestWithParam<FormatCase>
{
};

TEST_P(WidenFormatTest, GivesPercentSAndCTheWideMeaning)
{
    EXPECT_EQ(zel::NHelper::WidenFormat(GetParam().engineFormat), GetParam().libraryFormat);
}

INSTANTIATE_TEST_SUITE_P(Formats, WidenFormatTest,
                         ::testing::Values(FormatCase{L"name:%s \n", L"name:%ls \n"},
                                           FormatCase{L"%5s|%-10.3s", L"%5ls|%-10.3ls"}, FormatCase{L"%c%s", L"%lc%ls"},
                                           FormatCase{L"%ls %lc stay", L"%ls %lc stay"},
                                           FormatCase{L"100%% sure, %%s", L"100%% sure, %%s"},
                                           FormatCase{L"%i %d %f %3.1f %x", L"%i %d %f %3.1f %x"},
                                           FormatCase{L"%*s", L"%*ls"}, FormatCase{L"trailing %", L"trailing %"}));

TEST(LoggerTest, FormatsWideArgumentsAndWritesUtf8)
{
    TempDir dir;
    ASSERT_EQ(RunInChild(dir.path(),
                         [] {
                             WithSysVars();
                             OutputDebugStringN(L"(Test) name:%s count:%i ratio:%f \n", L"ä名\U0001F600", 7, 0.5);
                             return 0;
                         }),
              0);
    const std::string log = LogAfter(dir);
    EXPECT_EQ(log.rfind("LOG START TIME (d-m-y): ", 0), 0u);
    EXPECT_NE(log.find("\n\n(Test) name:\xC3\xA4\xE5\x90\x8D\xF0\x9F\x98\x80 count:7 ratio:0.500000 \n"),
              std::string::npos)
        << log;
}

/// The message the C library's wide printf makes of a format in the engine's spelling.
template <typename... Args> std::string LibraryFormatted(const wchar_t* format, Args... args)
{
    wchar_t buffer[1024];
    std::swprintf(buffer, 1024, zel::NHelper::WidenFormat(format).c_str(), args...);
    return zel::NHelper::ws2s(buffer);
}

TEST(LoggerTest, MessagesReadAsTheWidePrintfWritesThem)
{
    // Each case is logged in the child and formatted by the C library here; the log holds them in this order.
    auto each = [](auto&& use) {
        use(L"int:%d|%i|%d %%s 100%%\n", -2147483647 - 1, 0, 2147483647);
        use(L"name:%s|%s|%s\n", L"", L"ä名\U0001F600", static_cast<const wchar_t*>(nullptr));
        use(L"ratio:%f|%f|%f\n", -0.0000004, 1e20, 2.5);
        use(L"mixed:%s=%i (%f)\n", L"x", 42, 0.125);
        use(L"wide:%5s|%-4d|%.2f|%c|%x\n", L"ab", 7, 3.14159, static_cast<wint_t>(L'Z'), 255u);
        use(L"no conversions at all\n");
    };
    TempDir dir;
    ASSERT_EQ(RunInChild(dir.path(),
                         [&each] {
                             WithSysVars();
                             each([](const wchar_t* format, auto... args) { OutputDebugStringN(format, args...); });
                             return 0;
                         }),
              0);
    std::string expected;
    each([&expected](const wchar_t* format, auto... args) { expected += LibraryFormatted(format, args...); });
    const std::string log = LogAfter(dir);
    EXPECT_NE(log.find("\n\n" + expected), std::string::npos) << "log:\n" << log << "expected:\n" << expected;
}

TEST(LoggerTest, BeforeTheEngineStateExistsFormatsAreWrittenUnexpanded)
{
    TempDir dir;
    ASSERT_EQ(RunInChild(dir.path(),
                         [] {
                             OutputDebugStringN(L"\nAddCG. filename:%s \n", L"never used");
                             WithSysVars(false);
                             OutputDebugStringN(L"disabled:%i\n", 1);
                             return 0;
                         }),
              0);
    const std::string log = LogAfter(dir);
    EXPECT_NE(log.find("\nAddCG. filename:%s \n"), std::string::npos);
    EXPECT_EQ(log.find("never used"), std::string::npos);
    EXPECT_EQ(log.find("disabled"), std::string::npos) << "with logging switched off nothing is written";
}

TEST(LoggerTest, OverlongMessageIsCutAndReportedOnTheDebuggerOutput)
{
    TempDir dir;
    ASSERT_EQ(RunInChild(dir.path(),
                         [] {
                             setenv("QUILLHAVEN_DEBUG_OUTPUT", "1", 1);
                             if (std::freopen("stderr.txt", "w", stderr) == nullptr)
                                 return 3;
                             WithSysVars();
                             const std::wstring longText(1500, L'x');
                             OutputDebugStringN(L"[Long] %s END", longText.c_str());
                             OutputDebugStringN(L"[After] fine\n");
                             return 0;
                         }),
              0);
    const std::string log = LogAfter(dir);
    EXPECT_EQ(log.find("END"), std::string::npos);
    EXPECT_NE(log.find("[Long] xxx"), std::string::npos);
    EXPECT_NE(log.find("[After] fine"), std::string::npos);
    EXPECT_NE(ReadFile(dir / "stderr.txt").find("[OutputDebugStringN] vsprintf_s error"), std::string::npos);
}

TEST(LoggerTest, BurstFromTwoThreadsIsCompleteAndInOrderPerThreadAfterExit)
{
    constexpr int kPerThread = 50000;
    TempDir dir;
    ASSERT_EQ(RunInChild(dir.path(),
                         [] {
                             WithSysVars();
                             auto burst = [](const wchar_t* format) {
                                 for (int i = 0; i < kPerThread; ++i)
                                     OutputDebugStringN(format, i);
                             };
                             std::thread first(burst, L"A %i\n");
                             std::thread second(burst, L"B %i\n");
                             first.join();
                             second.join();
                             return 0; // exit at once: the logger must still write everything queued
                         }),
              0);
    int nextA = 0, nextB = 0;
    for (const std::string& line : Lines(LogAfter(dir)))
    {
        int number = -1;
        if (std::sscanf(line.c_str(), "A %d", &number) == 1)
            ASSERT_EQ(number, nextA++) << "thread A out of order";
        else if (std::sscanf(line.c_str(), "B %d", &number) == 1)
            ASSERT_EQ(number, nextB++) << "thread B out of order";
    }
    EXPECT_EQ(nextA, kPerThread);
    EXPECT_EQ(nextB, kPerThread);
}

TEST(LoggerTest, ASecondRunInTheSameFolderStartsAFreshLog)
{
    TempDir dir;
    auto run = [](const wchar_t* text) {
        return [text] {
            WithSysVars();
            OutputDebugStringN(text);
            return 0;
        };
    };
    ASSERT_EQ(RunInChild(dir.path(), run(L"first run\n")), 0);
    ASSERT_EQ(RunInChild(dir.path(), run(L"second run\n")), 0);
    const std::string log = LogAfter(dir);
    EXPECT_EQ(log.find("first run"), std::string::npos);
    EXPECT_NE(log.find("second run"), std::string::npos);
    EXPECT_EQ(log.rfind("LOG START TIME (d-m-y): ", 0), 0u);
}

TEST(LoggerTest, FlushWaitsUntilEverythingPushedIsOnDisk)
{
    TempDir dir;
    ASSERT_EQ(RunInChild(dir.path(),
                         [] {
                             WithSysVars();
                             for (int i = 0; i < 1000; ++i)
                                 OutputDebugStringN(L"flush %i\n", i);
                             zel::NHelper::concurrentLogger::Instance().Flush();
                             const bool complete = ReadFile("debug.txt").find("flush 999\n") != std::string::npos;
                             return complete ? 0 : 1;
                         }),
              0);
}

// The worker sleeps while nothing is logged: a message after a quiet spell must wake it, with no flush asked for.
TEST(LoggerTest, AMessageAfterAQuietSpellIsWrittenWithinAFewMilliseconds)
{
    TempDir dir;
    ASSERT_EQ(RunInChild(dir.path(),
                         [] {
                             WithSysVars();
                             for (const wchar_t* message : {L"first\n", L"after a quiet spell\n"})
                             {
                                 OutputDebugStringN(message);
                                 std::this_thread::sleep_for(std::chrono::milliseconds(300));
                             }
                             return ReadFile("debug.txt").find("after a quiet spell") != std::string::npos ? 0 : 1;
                         }),
              0);
}
