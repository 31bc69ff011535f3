// The crash reporter kills its process by design, so every case crashes a forked child in a fresh folder and
// the parent checks how the child died and what it left behind.

#include "platform/Platform.h"
#include "resources/Logger.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace
{
const char* const kAppName = "Quillhaven has encountered an error";
const char* const kIntruderName = "Someone else's handler";

/// Child exit codes for setups that failed before the crash.
enum ChildFailure
{
    kNoFolder = 2,
    kNoStderr = 3,
    kFirstInstallRefused = 4,
    kSecondInstallAccepted = 5,
    kSurvived = 6,
};

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

/// A novel folder holding a debug.txt of 60 lines, "entry 001" to "entry 060".
std::string MakeNovelFolder()
{
    char folder[] = "/tmp/quillhaven-crash-XXXXXX";
    if (mkdtemp(folder) == nullptr)
        return "";
    std::ofstream log(std::string(folder) + "/debug.txt");
    for (int i = 1; i <= 60; ++i)
    {
        char line[32];
        std::snprintf(line, sizeof line, "entry %03d\n", i);
        log << line;
    }
    return folder;
}

void RaiseSegv()
{
    raise(SIGSEGV);
}
void Abort()
{
    std::abort();
}

void WriteToBadAddress()
{
    volatile std::uintptr_t address = 0x10; // volatile keeps the compiler from judging the write itself
    *reinterpret_cast<volatile int*>(address) = 1;
}

/// Recursion the compiler cannot turn into a loop, until the stack runs out.
int Recurse(int depth)
{
    volatile char frame[1024];
    frame[0] = static_cast<char>(depth);
    int (*volatile next)(int) = Recurse;
    return next(depth + 1) + frame[0];
}
void OverflowStack()
{
    Recurse(0);
}

constexpr int kLoggedBeforeCrash = 5000;
/// A burst of messages, then a fault at once: the log worker is still writing the burst when the handler runs.
void LogThenCrash()
{
    for (int i = 1; i <= kLoggedBeforeCrash; ++i)
        zel::OutputDebugStringVerbatim(L"message " + std::to_wstring(i) + L"\n");
    raise(SIGSEGV);
}

/// Runs in the child: installs twice (the second attempt must be refused) and crashes. No gtest in here.
[[noreturn]] void CrashChild(const std::string& folder, void (*crash)())
{
    if (chdir(folder.c_str()) != 0)
        _exit(kNoFolder);
    FILE* err = std::freopen("stderr.txt", "w", stderr);
    if (err == nullptr)
        _exit(kNoStderr);
    setvbuf(err, nullptr, _IONBF, 0);
    if (!zel::platform::InstallCrashHandler(kAppName, folder + "/debug.txt"))
        _exit(kFirstInstallRefused);
    if (zel::platform::InstallCrashHandler(kIntruderName, "/nowhere/debug.txt"))
        _exit(kSecondInstallAccepted);
    crash();
    _exit(kSurvived);
}

struct CrashCase
{
    const char* name;
    void (*crash)();
    int signal;
    const char* signalName;
    const char* address; // nullptr: no fault address; "": some address; else exactly this one
};

void PrintTo(const CrashCase& crash, std::ostream* out)
{
    *out << crash.name;
}

/// Removes the novel folder however the test ends.
struct FolderCleanup
{
    std::string folder;
    ~FolderCleanup() { std::filesystem::remove_all(folder); }
};

/// Crashes a child in folder with crash; returns the child's pid (-1 when it could not be started) and how it ended.
pid_t CrashInChild(const std::string& folder, void (*crash)(), int& status)
{
    const pid_t child = fork();
    if (child == 0)
        CrashChild(folder, crash);
    return child > 0 && waitpid(child, &status, 0) == child ? child : -1;
}

class CrashHandlerTest : public testing::TestWithParam<CrashCase>
{
};

TEST_P(CrashHandlerTest, ReportsAndDiesBySameSignal)
{
    const CrashCase& param = GetParam();
    const std::string folder = MakeNovelFolder();
    ASSERT_FALSE(folder.empty());
    FolderCleanup cleanup{folder};

    int status = 0;
    const pid_t child = CrashInChild(folder, param.crash, status);
    ASSERT_GT(child, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "child exited with code " << WEXITSTATUS(status);
    EXPECT_EQ(WTERMSIG(status), param.signal);

    const std::string reportPath = folder + "/crash-report-" + std::to_string(child) + ".txt";
    const std::string report = ReadFile(reportPath);
    ASSERT_FALSE(report.empty()) << reportPath;
    EXPECT_EQ(report.rfind(kAppName, 0), 0u) << report;
    EXPECT_EQ(report.find(kIntruderName), std::string::npos);
    EXPECT_NE(report.find(param.signalName), std::string::npos) << report;
    EXPECT_NE(report.find("Backtrace:"), std::string::npos);
    EXPECT_NE(report.find(folder + "/debug.txt"), std::string::npos);

    // Exactly the last 40 log lines.
    EXPECT_NE(report.find("entry 060\n"), std::string::npos);
    EXPECT_NE(report.find("entry 021\n"), std::string::npos);
    EXPECT_EQ(report.find("entry 020"), std::string::npos);
    EXPECT_EQ(report.find("entry 001"), std::string::npos);

    const std::size_t address = report.find("Address: ");
    if (param.address == nullptr)
    {
        EXPECT_EQ(address, std::string::npos) << report;
    }
    else if (address == std::string::npos)
    {
        ADD_FAILURE() << "no fault address in\n" << report;
    }
    else if (*param.address != '\0')
    {
        EXPECT_EQ(report.substr(address + 9, report.find('\n', address) - address - 9), param.address);
    }

    const std::string err = ReadFile(folder + "/stderr.txt");
    EXPECT_NE(err.find(std::string(kAppName) + ": crash report written to " + reportPath + "\n"), std::string::npos)
        << err;
}

TEST(CrashReport, HoldsTheLastMessagesLoggedBeforeTheCrash)
{
    const std::string folder = MakeNovelFolder();
    ASSERT_FALSE(folder.empty());
    FolderCleanup cleanup{folder};
    int status = 0;
    const pid_t child = CrashInChild(folder, LogThenCrash, status);
    ASSERT_GT(child, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "child exited with code " << WEXITSTATUS(status);

    const std::string report = ReadFile(folder + "/crash-report-" + std::to_string(child) + ".txt");
    const std::size_t recent = report.find("Last messages logged");
    ASSERT_NE(recent, std::string::npos) << report;
    // The newest 64, in order, whatever the log file held by then.
    std::string expected;
    for (int i = kLoggedBeforeCrash - 63; i <= kLoggedBeforeCrash; ++i)
        expected += "message " + std::to_string(i) + "\n";
    EXPECT_NE(report.find(expected, recent), std::string::npos) << report.substr(recent);
}

INSTANTIATE_TEST_SUITE_P(Crashes, CrashHandlerTest,
                         testing::Values(CrashCase{"RaisedSegv", RaiseSegv, SIGSEGV, "SIGSEGV", nullptr},
                                         CrashCase{"Abort", Abort, SIGABRT, "SIGABRT", nullptr},
                                         CrashCase{"BadWrite", WriteToBadAddress, SIGSEGV, "SIGSEGV", "0x10"},
                                         CrashCase{"StackOverflow", OverflowStack, SIGSEGV, "SIGSEGV", ""}),
                         [](const testing::TestParamInfo<CrashCase>& info) { return info.param.name; });

} // namespace
