#include "LauncherProcess.h"

#include "TestSupport.h"

#include <algorithm>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace hosttest
{
namespace
{
/// The inherited environment without the named variables.
std::vector<char*> EnvironmentWithout(const std::vector<std::string>& unset)
{
    std::vector<char*> kept;
    for (char** entry = environ; *entry != nullptr; ++entry)
    {
        const bool dropped = std::any_of(unset.begin(), unset.end(), [&](const std::string& name) {
            return std::strncmp(*entry, name.c_str(), name.size()) == 0 && (*entry)[name.size()] == '=';
        });
        if (!dropped)
            kept.push_back(*entry);
    }
    kept.push_back(nullptr);
    return kept;
}
} // namespace

LauncherProcess::LauncherProcess(const std::vector<std::string>& arguments, const std::string& outputDir,
                                 const LaunchOptions& options)
    : m_stdoutPath(outputDir + "/launcher-stdout.txt"), m_stderrPath(outputDir + "/launcher-stderr.txt")
{
    const std::string program = QUILLHAVEN_LAUNCHER_PATH;
    std::vector<std::string> words{
        options.workingDir.empty() ? program : std::filesystem::relative(program, options.workingDir).string()};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv = ArgumentVector(words);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, m_stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, m_stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (!options.workingDir.empty())
        posix_spawn_file_actions_addchdir_np(&actions, options.workingDir.c_str());
    std::vector<std::string> replaced = options.unsetVariables;
    std::vector<std::string> added = options.setVariables;
    for (const std::string& variable : added)
        replaced.push_back(variable.substr(0, variable.find('=')));
    std::vector<char*> environment = EnvironmentWithout(replaced);
    environment.pop_back();
    for (std::string& variable : added)
        environment.push_back(variable.data());
    environment.push_back(nullptr);
    if (posix_spawn(&m_pid, program.c_str(), &actions, nullptr, argv.data(), environment.data()) != 0)
        m_pid = -1;
    posix_spawn_file_actions_destroy(&actions);
}

LauncherProcess::~LauncherProcess()
{
    if (m_pid > 0)
    {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
}

bool LauncherProcess::running()
{
    return m_pid > 0 && !Reap(WNOHANG);
}

int LauncherProcess::Wait(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (m_pid > 0)
    {
        if (Reap(WNOHANG))
            return m_code;
        if (std::chrono::steady_clock::now() >= deadline)
        {
            kill(m_pid, SIGKILL);
            Reap(0);
            return kTimedOut;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return m_code;
}

std::string LauncherProcess::Stdout() const
{
    return testsupport::ReadFile(m_stdoutPath);
}

std::string LauncherProcess::Stderr() const
{
    return testsupport::ReadFile(m_stderrPath);
}

bool LauncherProcess::Reap(int options)
{
    int status = 0;
    if (waitpid(m_pid, &status, options) != m_pid)
        return false;
    m_code = WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
    m_pid = -1;
    return true;
}

std::vector<char*> ArgumentVector(std::vector<std::string>& words)
{
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    return argv;
}

std::string CommandLine(const std::vector<std::string>& arguments)
{
    std::string shown = "quillhaven";
    for (const std::string& word : arguments)
        shown += " " + word;
    return shown;
}
} // namespace hosttest
