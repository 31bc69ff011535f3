#include "HostLibrary.h"

#include <thread>

namespace hosttest
{

void RunFrames(const HostLibrary& library, int frames)
{
    for (int i = 0; i < frames; ++i)
    {
        library.UpdateRenderWindow();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

bool RunFramesUntil(const HostLibrary& library, const std::function<bool()>& done, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done())
    {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        RunFrames(library, 1);
    }
    return true;
}

EngineInfo QueryInfo(const HostLibrary& library, int32_t* state)
{
    UserDialogInfo dialog{};
    return library.getDLLInformation(state, nullptr, &dialog, 0);
}

} // namespace hosttest
