#include "PrivateXServer.h"

#include "LauncherProcess.h"

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace hosttest
{

PrivateXServer::PrivateXServer(int width, int height)
{
    int ready[2];
    if (pipe(ready) != 0)
        return;
    // Xvfb picks a free display number and writes it to the descriptor given, once it accepts connections.
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    std::vector<std::string> words{"Xvfb", "-displayfd", "3", "-screen", "0", screen, "-nolisten", "tcp", "-noreset"};
    std::vector<char*> argv = ArgumentVector(words);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ready[1], 3);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    if (posix_spawnp(&m_pid, "Xvfb", &actions, nullptr, argv.data(), environ) != 0)
        m_pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(ready[1]);
    std::string number;
    pollfd wait{ready[0], POLLIN, 0};
    char c = 0;
    while (m_pid > 0 && poll(&wait, 1, 20000) > 0 && read(ready[0], &c, 1) == 1 && c != '\n')
        number.push_back(c);
    close(ready[0]);
    if (!number.empty())
        m_display = ":" + number;
}

PrivateXServer::~PrivateXServer()
{
    Kill();
}

void PrivateXServer::Kill()
{
    if (m_pid <= 0)
        return;
    kill(m_pid, SIGKILL);
    waitpid(m_pid, nullptr, 0);
    m_pid = -1;
}

} // namespace hosttest
