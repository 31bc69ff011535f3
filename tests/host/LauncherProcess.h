#pragma once
// The quillhaven program run as a user runs it, for the tests of its subcommands and for the measuring program.

#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

namespace hosttest
{
constexpr int kTimedOut = -1;

/// How the launcher is started beyond its arguments.
struct LaunchOptions
{
    /// Removed from the environment the launcher inherits.
    std::vector<std::string> unsetVariables;
    /// Added to that environment as "NAME=value", in place of any inherited value.
    std::vector<std::string> setVariables;
    /// When set, the launcher starts in this folder and is named by a path relative to it, as a user in that folder
    /// would type it.
    std::string workingDir;
};

/// The launcher at QUILLHAVEN_LAUNCHER_PATH run with the given arguments, standard output and error going to
/// launcher-stdout.txt and launcher-stderr.txt in outputDir. It is killed if still running when the object goes,
/// so a stuck launcher never outlives its test.
class LauncherProcess
{
public:
    LauncherProcess(const std::vector<std::string>& arguments, const std::string& outputDir,
                    const LaunchOptions& options = {});
    ~LauncherProcess();
    LauncherProcess(const LauncherProcess&) = delete;
    LauncherProcess& operator=(const LauncherProcess&) = delete;

    bool started() const { return m_pid > 0; }
    /// The process id while it runs (for its figures under /proc); -1 once it has ended.
    pid_t pid() const { return m_pid; }
    bool running();

    /// The exit code (128 + signal when killed by one), or kTimedOut after killing a launcher that ran too long.
    int Wait(std::chrono::milliseconds timeout);

    std::string Stdout() const;
    std::string Stderr() const;

private:
    bool Reap(int options);

    pid_t m_pid = -1;
    int m_code = kTimedOut;
    std::string m_stdoutPath;
    std::string m_stderrPath;
};

/// The words as the null-ended list of pointers that posix_spawn takes; they must outlive it.
std::vector<char*> ArgumentVector(std::vector<std::string>& words);
/// The arguments as a command line, for messages.
std::string CommandLine(const std::vector<std::string>& arguments);
} // namespace hosttest
