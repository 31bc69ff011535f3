#pragma once
// The quillhaven program run as a user runs it: spawned with its arguments, its standard output and error going to
// files, waited for with a time limit and killed if it outlives its test.

#include <chrono>
#include <string>
#include <vector>

namespace hosttest
{

/// How the program is started beyond its arguments.
struct LaunchOptions
{
    /// Removed from the environment the program inherits.
    std::vector<std::string> unsetVariables;
    /// When set, the program starts in this folder and is named by a path relative to it, as a user in that folder
    /// would type it.
    std::string workingDir;
};

class LauncherProcess
{
public:
    /// Wait's result for a program that ran too long and was killed.
    static constexpr int kTimedOut = -1;

    /// Starts the program with arguments; its output goes to files in outputDir.
    LauncherProcess(const std::vector<std::string>& arguments, const std::string& outputDir,
                    const LaunchOptions& options = {});
    ~LauncherProcess();
    LauncherProcess(const LauncherProcess&) = delete;
    LauncherProcess& operator=(const LauncherProcess&) = delete;

    bool started() const { return m_pid > 0; }
    bool running();

    /// The exit code (128 + signal when killed by one), or kTimedOut after killing a program that ran too long.
    int Wait(std::chrono::milliseconds timeout);

    std::string Stderr() const;

private:
    bool Reap(int options);

    int m_pid = -1;
    int m_code = kTimedOut;
    std::string m_stderrPath;
};

/// The arguments as a command line, for messages.
std::string CommandLine(const std::vector<std::string>& arguments);

} // namespace hosttest
