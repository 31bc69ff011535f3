// Mouse and keyboard input. Every window event that the frame loop does not handle itself comes here.

#include "Services.h"
#include "platform/Platform.h"

#include <SFML/Window/Event.hpp>

namespace zel
{

void Services::HandleKeyboard(const sf::Event&) {}

void Services::DispatchInput(const sf::Event& event)
{
    // The editor's render area takes the keyboard focus when the author clicks into it.
    if (event.type == sf::Event::MouseButtonPressed && childWindow != 0)
        platform::FocusWindow(childWindow);
}

} // namespace zel
