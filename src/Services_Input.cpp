// Mouse and keyboard input. Every window event that the frame loop does not handle itself comes here.

#include "Services.h"

#include "Logger.h"
#include "NTextbox.h"
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

void Services::UpdateMouse(sf::Event::EventType, int) {}

void Services::UpdateKeyboard() {}

bool Services::CheckButtons(int, const std::wstring&)
{
    return false;
}

bool Services::ExecuteTrigger(int, bool)
{
    return false;
}

sf::Vector2f Services::MousePosition()
{
    return {};
}

bool Services::StopCurTextboxTextFlow()
{
    const std::shared_ptr<NTextbox> box = NTextbox::Current();
    if (box == nullptr)
    {
        SystemVariables* sysVars = SysVars();
        OutputDebugStringN(
            L"\nERROR. (Services::StopCurTextboxTextFlow) entity:'%s' does not exist or not a textarea  \n",
            sysVars != nullptr ? sysVars->curUseTextareaName.get(true).c_str() : L"");
        return false;
    }
    if (!box->isTextFlowing())
        return false;
    // In its first 200 ms a text only swallows the click, so that a double click does not skip it unread.
    const double elapsed = box->FlowElapsedMs();
    if (elapsed > 200.0)
    {
        OutputDebugStringN(L"TEXT CUR FLOWING: TRIGGER DISPLAY ENTIRE TEXT. passedTime:%fms \n", elapsed);
        box->ShowWholeText();
    }
    return true;
}

} // namespace zel
