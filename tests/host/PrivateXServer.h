#pragma once
// An X server of a test's own (Xvfb) with a screen of a chosen size: for what depends on the screen, and for what a
// host must survive when its server goes away.

#include <string>
#include <sys/types.h>

namespace hosttest
{

class PrivateXServer
{
public:
    /// Starts Xvfb with one screen of width x height at 24 bits; display() is empty when it did not start.
    PrivateXServer(int width, int height);
    /// Kills the server if it still runs.
    ~PrivateXServer();
    PrivateXServer(const PrivateXServer&) = delete;
    PrivateXServer& operator=(const PrivateXServer&) = delete;

    /// The server's name for DISPLAY (":N").
    const std::string& display() const { return m_display; }
    /// Ends the server at once, as a crash would, and waits until it is gone.
    void Kill();

private:
    pid_t m_pid = -1;
    std::string m_display;
};

} // namespace hosttest
