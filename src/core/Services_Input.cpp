// Mouse and keyboard input. Every window event that the frame loop does not handle itself comes here: while playing
// it reads on, completes flowing text, presses buttons, drags sliders, scrolls the backlog and fires the script's key
// and mouse triggers; while editing it moves the editor's placeable picture. Work that moves the script is queued on
// the deferred-call queue and runs later in the same update.

#include "core/SceneChanges.h"
#include "core/Services.h"

#include "entities/NBacklog.h"
#include "entities/NSprite.h"
#include "entities/NTextbox.h"
#include "platform/Platform.h"
#include "resources/Logger.h"
#include "resources/NHelper.h"
#include "resources/ResourcePool.h"
#include "script/Parser.h"

#include <SFML/Window/Event.hpp>

#include <algorithm>
#include <unordered_set>

namespace zel
{
namespace
{
/// The last pointer position a mouse event reported, in window pixels.
sf::Vector2i g_pointerPixel;

enum CheckKind
{
    CHECK_HOVER = 1,
    CHECK_PRESS = 2
};

void RememberPointer(const sf::Event& event)
{
    switch (event.type)
    {
    case sf::Event::MouseMoved:
        g_pointerPixel = {event.mouseMove.x, event.mouseMove.y};
        break;
    case sf::Event::MouseButtonPressed:
    case sf::Event::MouseButtonReleased:
        g_pointerPixel = {event.mouseButton.x, event.mouseButton.y};
        break;
    case sf::Event::MouseWheelScrolled:
        g_pointerPixel = {event.mouseWheelScroll.x, event.mouseWheelScroll.y};
        break;
    default:
        break;
    }
}

/// The first payload word the mouse handling reads: the button, or the wheel's direction (1 up, -1 down).
int MouseValue(const sf::Event& event)
{
    switch (event.type)
    {
    case sf::Event::MouseButtonPressed:
    case sf::Event::MouseButtonReleased:
        return static_cast<int>(event.mouseButton.button);
    case sf::Event::MouseWheelScrolled:
        if (event.mouseWheelScroll.wheel != sf::Mouse::VerticalWheel)
            return 0;
        return event.mouseWheelScroll.delta > 0.f ? 1 : (event.mouseWheelScroll.delta < 0.f ? -1 : 0);
    default:
        return 0;
    }
}

bool BacklogShown()
{
    SystemVariables* sysVars = Services::SysVars();
    return sysVars != nullptr && sysVars->backlogDisplay.get(true);
}

/// Held by the read-on waiting in the deferred-call queue: clicks piling up behind a slow frame would otherwise
/// each read on, past lines that were never drawn. Gone once that read-on ran or the queue was emptied.
std::weak_ptr<int> g_pendingReadOn;

void QueueReadOn(const wchar_t* caller)
{
    if (!g_pendingReadOn.expired())
    {
        OutputDebugStringN(L"%s: a read-on is already pending. ignored \n", caller);
        return;
    }
    OutputDebugStringN(L"%s::TRIGGER READSCRIPT:-1 \n", caller);
    auto pending = std::make_shared<int>(0);
    g_pendingReadOn = pending;
    Services::m_deferredCalls.enqueue([pending]() mutable {
        pending.reset();
        if (std::shared_ptr<Parser> parser = CurParser())
            parser->ReadScript(-1);
    });
}

void QueueBacklogScroll(const char* direction)
{
    Services::m_deferredCalls.enqueue([direction] {
        EntityRegistry* entities = Services::Entities();
        if (entities != nullptr && entities->pBacklog != nullptr)
            entities->pBacklog->scroll(direction);
    });
}

void QueueTrigger(int code, bool mouse)
{
    Services::m_deferredCalls.enqueue([code, mouse] { Services::ExecuteTrigger(code, mouse); });
}

/// Queues the trigger bound to a mouse name, when the name exists.
void QueueMouseTrigger(const std::wstring& name)
{
    const SystemVariables* sysVars = Services::SysVars();
    if (sysVars == nullptr)
        return;
    auto named = sysVars->mouseNames.find(name);
    if (named != sysVars->mouseNames.end())
        QueueTrigger(named->second, true);
}

void WheelUp()
{
    OutputDebugStringN(L"\nINPUT MOUSE HWEEL::UP \n");
    if (BacklogShown())
        QueueBacklogScroll("up");
    else
        QueueMouseTrigger(L"wheel.up");
}

void WheelDown()
{
    OutputDebugStringN(L"\nINPUT MOUSE HWEEL::DOWN \n");
    if (Services::StopCurTextboxTextFlow())
        return;
    if (BacklogShown())
        QueueBacklogScroll("down");
    else
        QueueReadOn(L"UpdateMouse");
}

void LeftPress()
{
    OutputDebugStringN(L"\nINPUT MOUSE CLICK::LEFT \n");
    if (Services::CheckButtons(CHECK_PRESS, L"left.click") || Services::StopCurTextboxTextFlow() || BacklogShown())
        return;
    QueueReadOn(L"UpdateMouse");
}

/// A right click first ends automatic or skip reading; only a manual reader's right click presses or triggers.
void RightPress(SystemVariables& sysVars)
{
    OutputDebugStringN(L"\nINPUT MOUSE CLICK::RIGHT \n");
    if (sysVars.textReadMethod == 1 || sysVars.textReadMethod == 2)
    {
        sysVars.textReadMethod = 0;
        OutputDebugStringN(L"(Services::UpdateMouse) TEXT AUTO/SKIP CLEARED. \n");
        return;
    }
    if (!Services::CheckButtons(CHECK_PRESS, L"right.click"))
        QueueMouseTrigger(L"r.click");
}

void StopDragging(SystemVariables& sysVars)
{
    sysVars.sliderDragging = false;
    sysVars.draggedSlider.reset();
}

void DragSlider(SystemVariables& sysVars)
{
    if (sysVars.draggedSlider == nullptr)
    {
        OutputDebugStringN(L"\n ERROR Services::UpdateMouse trackbar does not exist (nullptr) \n");
        // The pointer's position is dispatched again every frame: reported once, the drag ends here.
        StopDragging(sysVars);
        return;
    }
    const sf::Vector2f position = Services::MousePosition();
    sysVars.draggedSlider->Drag(position.x, position.y);
}

/// Playing: the button alive regions keep only scripts that a parser on the stack runs; the last one is active.
std::wstring ActiveRegion(SystemVariables& sysVars)
{
    auto& regions = sysVars.buttonAliveRegions;
    if (sysVars.gameMode == 1 && Services::pNParser != nullptr)
    {
        const auto& parsers = Services::pNParser->m_parserDeque;
        regions.erase(std::remove_if(regions.begin(), regions.end(),
                                     [&](const std::wstring& script) {
                                         return std::none_of(parsers.begin(), parsers.end(), [&](const auto& parser) {
                                             return parser->scriptName == script;
                                         });
                                     }),
                      regions.end());
    }
    return regions.empty() ? std::wstring() : regions.back();
}

bool IsButton(const NEntity& entity)
{
    return entity.nType == NTYPE_BUTTON || entity.nType == NTYPE_SYSBUTTON;
}

/// While a region is active, its script's buttons are the only ones that answer it.
bool OutsideActiveRegion(const NEntity& entity, const std::wstring& region, const Parser* parser)
{
    return !region.empty() && IsButton(entity) && parser != nullptr && parser->scriptName == region &&
           entity.getSrcScriptName() != region;
}

/// A press on a button: releases a wait for a button or message-box choice, then runs the button's action.
bool PressButton(NEntity& button, const std::wstring& trigger, Parser* parser)
{
    OutputDebugStringN(L"button click. name:%s \n", button.name.c_str());
    const bool leftClick = trigger == L"left.click";
    bool released = false;
    if (parser != nullptr && leftClick)
    {
        if (parser->m_ParserState == WAIT_BTNSEL && !button.isExcludedFromSelection())
        {
            OutputDebugStringN(L"BUTTON CLICK: RELEASING WAIT_BTNSEL \n");
            parser->m_ParserState = PARSE_CONT;
            released = true;
        }
        else if (parser->m_ParserState == WAIT_MSGBOXSEL && button.creatorKind == PARSER_MSGBOX)
        {
            OutputDebugStringN(L"MSGBTN CLICK: RELEASING WAIT_MSGBOXSEL \n");
            parser->m_ParserState = PARSE_CONT;
            released = true;
        }
    }
    button.setClicked();
    // A button without a job of its own still made the choice: the click must not also read on.
    const bool handled = button.Click(trigger);
    return handled || released;
}

/// A button under the pointer; true when it takes the input.
bool ButtonHit(NEntity& button, int kind, const std::wstring& trigger, Parser* parser)
{
    const bool msgboxWaits = parser != nullptr && parser->m_ParserState == WAIT_MSGBOXSEL;
    if (msgboxWaits && button.creatorKind != PARSER_MSGBOX)
        return false; // a waiting message box leaves the buttons behind it dead
    if (button.isDisabled())
        return true;
    if (kind == CHECK_HOVER)
    {
        button.setTouched(true);
        return false;
    }
    return PressButton(button, trigger, parser);
}

void EditorPictureRequest(SystemVariables& sysVars, std::uint8_t flag)
{
    const sSprite* state = sysVars.editorPicture->getCurrentSprite();
    if (state == nullptr || state->m_pTexture == nullptr)
        return;
    sysVars.userDialog = UserDialogRequest{2, state->m_pTexture->key, flag};
}

/// Editing: the editor's picture follows the pointer until a left click places it; the host hears of both.
void ManipulateEditorPicture(SystemVariables& sysVars, sf::Event::EventType type, int button)
{
    if (sysVars.editorPicture == nullptr)
        return;
    if (type == sf::Event::MouseMoved)
    {
        sSprite* state = sysVars.editorPicture->getCurrentSprite();
        if (state == nullptr)
            return;
        const sf::Vector2f pointer = Services::MousePosition();
        const sf::FloatRect bounds = state->getGlobalBounds();
        state->move(pointer.x - (bounds.left + bounds.width / 2.f), pointer.y - (bounds.top + bounds.height / 2.f));
        SceneChanges::Report(); // a plain pointer move draws nothing by itself
        EditorPictureRequest(sysVars, 1);
    }
    else if (type == sf::Event::MouseButtonPressed && button == sf::Mouse::Left)
    {
        EditorPictureRequest(sysVars, 2);
        sysVars.editorPicture.reset();
        OutputDebugStringN(L"chosen manipulate entity coordinates \n");
    }
}
} // namespace

void Services::HandleKeyboard(const sf::Event& event)
{
    const SystemVariables* sysVars = SysVars();
    if (sysVars == nullptr || sysVars->gameMode != 1 || event.type != sf::Event::KeyPressed)
        return;
    // Space and Return advance the text; every other key is the script's to bind.
    if (event.key.code == sf::Keyboard::Space)
    {
        OutputDebugStringN(L"\nINPUT KEYBOARD::SPACE \n");
        UpdateKeyboard();
    }
    else if (event.key.code == sf::Keyboard::Enter)
    {
        OutputDebugStringN(L"\nINPUT KEYBOARD::ENTER \n");
        UpdateKeyboard();
    }
    else
        QueueTrigger(static_cast<int>(event.key.code), false);
}

void Services::DispatchInput(const sf::Event& event)
{
    RememberPointer(event);
    // The editor's render area takes the keyboard focus when the author clicks into it.
    if (event.type == sf::Event::MouseButtonPressed && childWindow != 0)
        platform::FocusWindow(childWindow);
    SystemVariables* sysVars = SysVars();
    if (sysVars == nullptr)
        return;
    if (sysVars->gameMode == 1)
        UpdateMouse(event.type, MouseValue(event));
    else
        ManipulateEditorPicture(*sysVars, event.type, MouseValue(event));
}

void Services::UpdateMouse(sf::Event::EventType type, int value)
{
    SystemVariables* sysVars = SysVars();
    if (sysVars == nullptr)
        return;
    switch (type)
    {
    case sf::Event::MouseWheelScrolled:
        if (value >= 1)
            WheelUp();
        else if (value < 0)
            WheelDown();
        break;
    case sf::Event::MouseButtonPressed:
        if (value == sf::Mouse::Left)
            LeftPress();
        else if (value == sf::Mouse::Right)
            RightPress(*sysVars);
        break;
    case sf::Event::MouseButtonReleased:
        if (sysVars->sliderDragging)
        {
            OutputDebugStringN(L"released trackbar \n");
            StopDragging(*sysVars);
        }
        break;
    case sf::Event::MouseMoved:
        if (sysVars->sliderDragging)
            DragSlider(*sysVars);
        break;
    default:
        break;
    }
}

void Services::UpdateKeyboard()
{
    if (StopCurTextboxTextFlow())
        return;
    QueueReadOn(L"UpdateKeyboard");
}

bool Services::CheckButtons(int kind, const std::wstring& trigger)
{
    SystemVariables* sysVars = SysVars();
    EntityRegistry* entities = sysVars != nullptr ? Entities() : nullptr;
    // Every update asks for the hover: a screen without buttons or sliders answers at once.
    if (entities == nullptr || entities->interactives.empty())
        return false;
    const std::wstring region = ActiveRegion(*sysVars);
    const std::shared_ptr<Parser> parser = pNParser != nullptr ? CurParser() : nullptr;
    const sf::Vector2f pointer = MousePosition();
    // While editing the pointer touches nothing: the preview shows the line's own look, and no touch line runs
    // and changes the state the editor shows (a look touched while play-testing goes back to normal too).
    const bool editing = sysVars->gameMode != 1;
    bool handled = false;
    // A copy: a click's action may create or remove buttons.
    const EntityList interactives = entities->interactives;
    for (const EntityPtr& entity : interactives)
    {
        if (entity->isMarkedRemoved())
            continue;
        const sSprite* sprite = entity->getCurrentSprite();
        if (sprite == nullptr)
            continue;
        const bool hit = !editing && sprite->getGlobalBounds().contains(pointer);
        if (!hit)
        {
            if (!entity->isSlider() && !entity->isDisabled())
                entity->setTouched(false);
            continue;
        }
        if (OutsideActiveRegion(*entity, region, parser.get()))
            continue;
        if (!entity->isSlider())
            handled = ButtonHit(*entity, kind, trigger, parser.get()) || handled;
        else if (kind == CHECK_PRESS)
        {
            OutputDebugStringN(L"clicked trackbar \n");
            sysVars->sliderDragging = true;
            sysVars->draggedSlider = entity;
            handled = true; // grabbing a knob is no click on the text: it must not read on
        }
    }
    return handled;
}

bool Services::ExecuteTrigger(int code, bool mouse)
{
    SystemVariables* sysVars = SysVars();
    const std::shared_ptr<Parser> parser = pNParser != nullptr ? CurParser() : nullptr;
    const std::shared_ptr<Parser> mainParser = pNParser != nullptr ? MainParser() : nullptr;
    if (sysVars == nullptr || parser == nullptr || mainParser == nullptr)
        return false;
    if (parser->m_ParserState == WAIT_MSGBOXSEL)
        return false; // a waiting message box takes no triggers
    auto& triggers = mouse ? sysVars->mouseTriggers : sysVars->keyTriggers;
    auto found = triggers.find(code);
    if (found == triggers.end())
    {
        OutputDebugStringN(L"WARNING. TRIGGER NOT FOUND. key:%i, type:%s \n", code, mouse ? L"mouse" : L"keyboard");
        return false;
    }
    const auto& names = mouse ? sysVars->mouseNames : sysVars->keyNames;
    auto named = std::find_if(names.begin(), names.end(), [code](const auto& entry) { return entry.second == code; });
    const std::wstring name = named != names.end() ? named->first : L"";
    const TriggerRecord record = found->second;
    if (sysVars->gameMode == 1 || mainParser->readlineno >= record.triggerLine)
    {
        OutputDebugStringN(L"trigger:'%s' exists. trigger-line:%i execute. \n", name.c_str(), record.triggerLine);
        // An empty line runs nothing (the parser would take an empty token list as its current line again).
        if (!NHelper::Tokenize(record.trigger_function).empty())
            TriggerParseExec(record.trigger_function);
        return true;
    }
    OutputDebugStringN(L"trigger:'%s' trigger-line:%i > cur-readlinno:%i. remove \n", name.c_str(), record.triggerLine,
                       mainParser->readlineno);
    triggers.erase(found);
    return false;
}

sf::Vector2f Services::MousePosition()
{
    if (pRenderWindow == nullptr)
        return {static_cast<float>(g_pointerPixel.x), static_cast<float>(g_pointerPixel.y)};
    return pRenderWindow->mapPixelToCoords(g_pointerPixel);
}

void Services::ForgetRemovedInteractives()
{
    EntityRegistry* entities = Entities();
    SystemVariables* sysVars = SysVars();
    // Every cursor move of the editor comes here: a novel without buttons or sliders costs nothing.
    if (entities == nullptr || (entities->interactives.empty() && (sysVars == nullptr || !sysVars->draggedSlider)))
        return;
    std::unordered_set<const NEntity*> registered;
    for (const auto& layerEntry : entities->entityLayers)
        for (const EntityPtr& entity : layerEntry.second)
            registered.insert(entity.get());
    auto& list = entities->interactives;
    list.erase(std::remove_if(list.begin(), list.end(),
                              [&](const EntityPtr& entity) { return registered.count(entity.get()) == 0; }),
               list.end());
    if (sysVars != nullptr && sysVars->draggedSlider != nullptr && registered.count(sysVars->draggedSlider.get()) == 0)
        StopDragging(*sysVars);
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
