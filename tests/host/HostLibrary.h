#pragma once
// The engine library as the host tests see it: opened with dlopen from its build path and every export resolved
// by name, exactly as an editor or a launcher would. Only ever create one inside a forked child: the library's
// state (window, logger, file system) belongs to the process that loads it.

#include "EngineLibrary.h"

#include <chrono>
#include <functional>
#include <string>

namespace hosttest
{

/// The library at QUILLHAVEN_LIBRARY_PATH, loaded as the launcher loads it.
struct HostLibrary : EngineLibrary
{
    HostLibrary() { m_ok = Load(QUILLHAVEN_LIBRARY_PATH, m_error); }
    HostLibrary(const HostLibrary&) = delete;
    HostLibrary& operator=(const HostLibrary&) = delete;

    /// True when the library opened and every function resolved.
    bool ok() const { return m_ok; }
    /// What went wrong: the dlopen error or the first name that did not resolve.
    const std::string& error() const { return m_error; }

private:
    bool m_ok = false;
    std::string m_error;
};

/// Runs frames engine frames, a few milliseconds apart, as a host's frame loop would.
void RunFrames(const HostLibrary& library, int frames);
/// Runs frames until done() holds or timeout passes; returns done().
bool RunFramesUntil(const HostLibrary& library, const std::function<bool()>& done, std::chrono::milliseconds timeout);
/// getDLLInformation without a dialog query; the parser state goes to state when given.
EngineInfo QueryInfo(const HostLibrary& library, int32_t* state = nullptr);

} // namespace hosttest
