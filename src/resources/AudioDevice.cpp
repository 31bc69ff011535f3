#include "resources/AudioDevice.h"

#include "resources/Logger.h"

#include <SFML/Audio/SoundBuffer.hpp>

#include <dlfcn.h>

namespace zel
{

bool AudioAvailable()
{
    static const bool available = [] {
        // Any audio object opens the library's device; it makes its context current only when the device opened.
        const sf::SoundBuffer probe;
        using CurrentContext = void* (*)();
        const auto current = reinterpret_cast<CurrentContext>(dlsym(RTLD_DEFAULT, "alcGetCurrentContext"));
        const bool open = current == nullptr || current() != nullptr;
        if (!open)
            OutputDebugStringN(L"WARNING. no audio device could be opened: the novel plays without music, sound "
                               L"effects and voices \n");
        return open;
    }();
    return available;
}

} // namespace zel
