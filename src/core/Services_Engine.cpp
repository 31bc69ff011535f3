// The frame loop: one engine step per host frame (events, updates, deferred script work, message-box answers,
// paced drawing, presenting, burying removed entities, continuing the script), plus the window set-up and the
// teardown.

#include "commands/CmdHandlers.h"
#include "core/Clock.h"
#include "core/SceneChanges.h"
#include "core/Services.h"
#include "entities/NBacklog.h"
#include "entities/NButton.h"
#include "entities/NCamera.h"
#include "entities/NSprite.h"
#include "platform/Platform.h"
#include "resources/Logger.h"
#include "resources/NHelper.h"
#include "resources/ResourcePool.h"
#include "script/Parser.h"

#include <SFML/OpenGL.hpp>
#include <SFML/Window/Event.hpp>

#include <algorithm>
#include <memory>
#include <vector>

namespace zel
{
namespace
{

/// Loop state kept for the life of the process.
struct LoopState
{
    bool started = false;
    Clock::time_point secondMark;
    int updatesThisSecond = 0;
    int rendersThisSecond = 0;
    bool eventsBusy = false;
    sf::Event lastEvent{};
    bool hasLastEvent = false;
    int buttonsHeld = 0; ///< mouse buttons down in the render window: a move then drags
};
LoopState g_loop;

/// Starts a new counting second when a whole one has passed, publishing the two counters.
void CountSecond(SystemVariables& sysVars)
{
    if (!g_loop.started)
    {
        g_loop.started = true;
        g_loop.secondMark = Clock::Now();
    }
    if (Clock::MillisecondsSince(g_loop.secondMark) < 1000)
        return;
    g_loop.secondMark = Clock::Now();
    sysVars.updatesPerSecond = g_loop.updatesThisSecond;
    sysVars.rendersPerSecond = g_loop.rendersThisSecond;
    g_loop.updatesThisSecond = 0;
    g_loop.rendersThisSecond = 0;
}

/// A close request of the application window: ask through the end-game box, or end at once when none can be shown.
void RequestEndGame(SystemVariables& sysVars)
{
    auto answer = sysVars.variables.find(L"Msg_endGame");
    if (sysVars.currentMsgboxKind == L"Msg_endGame" && answer != sysVars.variables.end() && answer->second == L"1")
        return;
    // A box already open may be one nobody can answer (a dialog waiting for a choice without buttons): asking again
    // would leave the reader no way out but killing the program.
    if (CmdHandlers::MessageBoxOpen())
    {
        OutputDebugStringN(L"[HandleEvents] close request while a message box is open. closing at once \n");
        OutputDebugStringN(L"\nGAME END\n");
        sysVars.gameOver = true;
        return;
    }
    sysVars.variables[L"msg_str"] = CmdHandlers::Word(L"Msg_endGame");
    if (CmdHandlers::ExecuteMessageBox({L"Msg_endGame"}))
        return;
    // Without a message-box script (none named, or it cannot be read) nobody could ever answer the box: the player
    // must still be able to close the window.
    OutputDebugStringN(L"[HandleEvents] no end-game message box (MsgboxScript:'%s'). closing at once \n",
                       sysVars.MsgboxScript.c_str());
    OutputDebugStringN(L"\nGAME END\n");
    sysVars.gameOver = true;
}

/// Whether an event may change what the window shows: everything but a plain pointer move (a hover look reports
/// its own change) and the loss of focus.
void ReportEventChange(const sf::Event& event)
{
    if (event.type == sf::Event::MouseButtonPressed)
        ++g_loop.buttonsHeld;
    else if (event.type == sf::Event::MouseButtonReleased)
        g_loop.buttonsHeld = std::max(0, g_loop.buttonsHeld - 1);
    if (event.type == sf::Event::LostFocus || (event.type == sf::Event::MouseMoved && g_loop.buttonsHeld == 0))
        return;
    SceneChanges::Report();
}

void HandleEvent(const sf::Event& event, SystemVariables& sysVars)
{
    ReportEventChange(event);
    switch (event.type)
    {
    case sf::Event::Closed:
        OutputDebugStringN(L"\nSF::EVENT::CLOSED \n");
        if (sysVars.applicationFlag)
            RequestEndGame(sysVars);
        return;
    case sf::Event::Resized:
        OutputDebugStringN(L"SF::EVENT::RESIZED new-width:%i new-height:%i \n", static_cast<int>(event.size.width),
                           static_cast<int>(event.size.height));
        break;
    case sf::Event::LostFocus:
        OutputDebugStringN(L"SF::EVENT::LOSTFOCUS \n");
        return;
    case sf::Event::GainedFocus:
        OutputDebugStringN(L"SF::EVENT::GAINEDFOCUS \n");
        return;
    case sf::Event::MouseMoved:
        return; // coalesced: the last one of the frame is dispatched once, after the queue is drained
    default:
        break;
    }
    if (sysVars.gameMode == 1)
        Services::HandleKeyboard(event);
    Services::DispatchInput(event);
}

void HandleEvents(SystemVariables& sysVars)
{
    if (g_loop.eventsBusy)
        OutputDebugStringN(L"WARNING!!!! HANDLE_EVENTS CALLED AGAIN WHILST PREVIOUSLY HANDLE_EVENTS NOT FINISHED \n");
    g_loop.eventsBusy = true;
    if (!Services::pRenderWindow->isOpen())
    {
        OutputDebugStringN(L"ERROR. pRENDERWINDOW NOT OPEN \n");
        g_loop.eventsBusy = false;
        return;
    }
    try
    {
        sf::Event event;
        while (Services::pRenderWindow != nullptr && Services::pRenderWindow->pollEvent(event))
        {
            g_loop.lastEvent = event;
            g_loop.hasLastEvent = true;
            HandleEvent(event, sysVars);
        }
    }
    catch (const std::runtime_error& e)
    {
        OutputDebugStringN(L"\nERROR: (HandleEvents) RUNTIME ERROR!!:%s \n", NHelper::s2ws(e.what()).c_str());
    }
    catch (const std::exception& e)
    {
        OutputDebugStringN(L"\nERROR: (HandleEvents) ERROR!!:%s \n", NHelper::s2ws(e.what()).c_str());
    }
    catch (...)
    {
        OutputDebugStringN(L"\nERROR: (HandleEvents) CAGUHT UNKNOWN!! \n");
    }
    // The hover state follows the last known pointer position every frame, even when the mouse rests.
    if (g_loop.hasLastEvent && g_loop.lastEvent.type == sf::Event::MouseMoved)
        Services::DispatchInput(g_loop.lastEvent);
    g_loop.eventsBusy = false;
}

/// Fires the timers whose time has passed: a plain timer once, a repeating one every duration; while editing,
/// timers never run.
void RunTimers(SystemVariables& sysVars)
{
    if (sysVars.gameMode == 0)
    {
        sysVars.timers.clear();
        return;
    }
    for (const auto& timer : sysVars.timers)
    {
        const long long passed = Clock::MillisecondsSince(timer->start);
        if (timer->fired || passed < timer->durationMs)
            continue;
        OutputDebugStringN(L"[UpdateEntities] exec timer func. name:%s, passedDuration:%ims \n", timer->name.c_str(),
                           static_cast<int>(passed));
        timer->firedAt = Clock::Now();
        // A repeating timer starts its next round; timerEnd removes it.
        if (timer->repeat)
            timer->start = timer->firedAt;
        else
            timer->fired = true;
        Services::TriggerParseExec(timer->line);
    }
    auto& timers = sysVars.timers;
    timers.erase(std::remove_if(timers.begin(), timers.end(), [](const auto& timer) { return timer->fired; }),
                 timers.end());
}

void UpdateEntities(SystemVariables& sysVars, EntityRegistry& entities)
{
    for (auto& layerEntry : entities.entityLayers)
        for (std::size_t i = 0; i < layerEntry.second.size(); ++i)
            layerEntry.second[i]->Update();
    Services::CheckButtons(1, L"left.click"); // hover: buttons under the pointer show their touched look
    if (entities.pCamera != nullptr)
        entities.pCamera->Update();
    if (entities.pBacklog != nullptr)
        entities.pBacklog->Update();
    RunTimers(sysVars);
}

void RunDeferredCalls()
{
    std::function<void()> call;
    while (Services::m_deferredCalls.try_dequeue(call))
    {
        call();
        SceneChanges::Report(); // script lines, layer moves, answers
    }
}

/// The answer as a number; false (with the number warning) while it is not one. The empty answer is 0.
bool AnswerNumber(const std::wstring& answer, int& number)
{
    if (!NHelper::IsNumberTokens({answer}, true))
        return false;
    try
    {
        number = answer.empty() ? 0 : NHelper::ToInt(answer);
        return true;
    }
    catch (const std::exception&)
    {
        return false; // digits, but more than an int holds: no answer a button gives
    }
}

void AnswerUserDefined(SystemVariables& sysVars, int answer)
{
    if (answer == 1)
    {
        const std::wstring line = sysVars.msgboxLine;
        Services::m_deferredCalls.enqueue(
            [line, tokens = NHelper::Tokenize(line)]() mutable { Services::HandleVars(tokens, line); });
        sysVars.currentMsgboxKind.clear();
    }
    else if (answer == 0)
        sysVars.currentMsgboxKind.clear();
}

/// A yes to a save-slot confirmation: the slot button that asked does its job again, now with the answer given.
void AnswerSlotButton(SystemVariables& sysVars, const std::wstring& kind)
{
    const bool overwrite = kind == L"Msg_saveOverwrite";
    const bool remove = kind == L"Msg_saveDelete";
    if (!overwrite && !remove && kind != L"Msg_loadConfirm")
        return;
    EntityRegistry* entities = Services::Entities();
    const EntityPtr button = entities != nullptr ? entities->Find(sysVars.variables[L"msg_triggerBtnName"]) : nullptr;
    auto* slotButton = dynamic_cast<NButton*>(button.get());
    if (slotButton == nullptr)
    {
        sysVars.currentMsgboxKind.clear(); // the button is gone: nobody is left to act on the answer
        return;
    }
    OutputDebugStringN(overwrite ? L"\nOVERWRITE SAVE DATA\n" : remove ? L"\nDELETE SAVE DATA\n" : L"\nLOAD DATA\n");
    const bool rightClick = remove && slotButton->job().trigger == TRIGGER_SAVESLOT;
    slotButton->Click(rightClick ? L"right.click" : L"left.click");
}

/// Message-box answers: the box's buttons set the variable named after its kind.
void AnswerMessageBox(SystemVariables& sysVars)
{
    const std::wstring kind = sysVars.currentMsgboxKind;
    if (sysVars.renderMode != 0 || kind.empty())
        return;
    auto given = sysVars.variables.find(kind);
    int answer = 0;
    if (!AnswerNumber(given == sysVars.variables.end() ? std::wstring() : given->second, answer))
        return;
    if (kind == L"Msg_endGame" && answer == 1)
    {
        OutputDebugStringN(L"\nGAME END\n");
        sysVars.gameOver = true;
    }
    else if (kind == L"Msg_userDefined")
        AnswerUserDefined(sysVars, answer);
    else if (answer == 1)
        AnswerSlotButton(sysVars, kind);
}

bool ShouldSkipInScreenshot(const NEntity& entity)
{
    return !entity.includeInScreenshot || entity.creatorKind == PARSER_MSGBOX;
}

void DrawEntities(SystemVariables& sysVars, EntityRegistry& entities)
{
    const int mainLine = lineContext::MainLine();
    const bool backlogDisplayed = sysVars.backlogDisplay.get(true);
    const NEntity* backlogBox = nullptr;
    if (entities.pBacklog != nullptr)
    {
        entities.pBacklog->setDisplayed(backlogDisplayed);
        backlogBox = entities.pBacklog->textbox().get();
    }
    for (auto& layerEntry : entities.entityLayers)
        for (const EntityPtr& entity : layerEntry.second)
        {
            if (entity->isMarkedRemoved())
                continue;
            if (sysVars.renderMode == 2 && ShouldSkipInScreenshot(*entity))
            {
                OutputDebugStringN(L"NOT SAVING IN SS: %s\n", entity->name.c_str());
                continue;
            }
            // The backlog's box shows the backlog's display text, and only while the backlog is displayed: its own
            // string holds just the newest entry.
            if (entity.get() == backlogBox)
            {
                if (backlogDisplayed)
                    entities.pBacklog->Draw(mainLine);
                continue;
            }
            entity->Draw(mainLine);
        }
    if (sysVars.editorPicture != nullptr)
        sysVars.editorPicture->Draw(mainLine);
}

/// The back buffer holds the picture on screen: the last frame was presented without a swap, and nothing has drawn
/// into the back buffer since. Only then can a frame draw a part of the picture, or nothing.
bool g_backBufferHolds = false;

sf::IntRect WholeWindow()
{
    const sf::Vector2u size = Services::pRenderWindow->getSize();
    return sf::IntRect(0, 0, static_cast<int>(size.x), static_cast<int>(size.y));
}

/// The window pixels an area in view coordinates covers, with a margin for the smoothed edges of what is drawn
/// there, cut to the window.
sf::IntRect WindowPixels(const sf::FloatRect& area)
{
    constexpr int margin = 2;
    const sf::Vector2i from = Services::pRenderWindow->mapCoordsToPixel(sf::Vector2f(area.left, area.top));
    const sf::Vector2i to =
        Services::pRenderWindow->mapCoordsToPixel(sf::Vector2f(area.left + area.width, area.top + area.height));
    const sf::IntRect window = WholeWindow();
    const int left = std::max(std::min(from.x, to.x) - margin, 0);
    const int top = std::max(std::min(from.y, to.y) - margin, 0);
    const int right = std::min(std::max(from.x, to.x) + margin, window.width);
    const int bottom = std::min(std::max(from.y, to.y) + margin, window.height);
    return sf::IntRect(left, top, std::max(right - left, 0), std::max(bottom - top, 0));
}

/// Clears and draws every look; with an area, only the pixels inside it change.
void DrawScene(SystemVariables& sysVars, EntityRegistry& entities, const sf::IntRect* area)
{
    const sf::Color clearColour = sysVars.clearColour.get(true);
    if (Services::pSecondTarget != nullptr)
        Services::pSecondTarget->clear(clearColour);
    Services::ActivateRenderWindow();
    if (area != nullptr)
    {
        glEnable(GL_SCISSOR_TEST);
        glScissor(area->left, WholeWindow().height - area->top - area->height, area->width, area->height);
    }
    Services::pRenderWindow->clear(clearColour);
    DrawEntities(sysVars, entities);
    Services::DrawScreenTransition();
    if (area != nullptr)
        glDisable(GL_SCISSOR_TEST);
}

/// Shows the pixels of the back buffer in the window: copied where the driver can (the back buffer then keeps the
/// picture), else the whole buffer swapped.
void Present(const sf::IntRect& pixels)
{
    Services::ActivateRenderWindow();
    // Once the window's size changed, the driver's back buffer keeps the old size until a swap: a copy of the new
    // size would be refused by the X server.
    static sf::Vector2i presentedSize;
    const sf::IntRect window = WholeWindow();
    const bool resized = window.width != presentedSize.x || window.height != presentedSize.y;
    presentedSize = sf::Vector2i(window.width, window.height);
    const int fromBottom = window.height - pixels.top - pixels.height;
    g_backBufferHolds =
        !resized && platform::PresentBackBufferArea(pixels.left, fromBottom, pixels.width, pixels.height);
    if (!g_backBufferHolds)
        Services::pRenderWindow->display();
}

/// A screenshot frame (render mode 2): drawn into the back buffer to be read, never shown.
void RenderScreenshot(SystemVariables& sysVars, EntityRegistry& entities)
{
    g_backBufferHolds = false;
    DrawScene(sysVars, entities, nullptr);
    SceneChanges::Report(); // the screenshot is not what the window shows: the next frame draws again
}

/// Draws what changed since the frame on screen (everything, an area, or nothing when only the picture's age asks
/// for a frame) and presents it.
void Render(SystemVariables& sysVars, EntityRegistry& entities)
{
    if (sysVars.renderMode == 2)
        return RenderScreenshot(sysVars, entities);
    using Need = SceneChanges::Need;
    Need need = SceneChanges::Next();
    sf::IntRect pixels = WholeWindow();
    if (need == Need::Area)
    {
        pixels = WindowPixels(SceneChanges::Area());
        if (pixels.width == 0 || pixels.height == 0)
            need = Need::Refresh, pixels = WholeWindow(); // the change lies off screen
    }
    if (!g_backBufferHolds || need == Need::Nothing)
        need = Need::Whole, pixels = WholeWindow();
    SceneChanges::Drawing(need);
    if (need != Need::Refresh)
        DrawScene(sysVars, entities, need == Need::Area ? &pixels : nullptr);
    Present(pixels);
}

/// Playing mode: entities marked for removal leave the registry after the frame that last showed them.
void BuryEntities(EntityRegistry& entities)
{
    std::vector<std::pair<std::wstring, NType>> removed;
    for (auto& layerEntry : entities.entityLayers)
    {
        auto& list = layerEntry.second;
        auto buried = std::stable_partition(list.begin(), list.end(),
                                            [](const EntityPtr& entity) { return !entity->isMarkedRemoved(); });
        for (auto it = buried; it != list.end(); ++it)
            removed.emplace_back((*it)->name, (*it)->nType);
        list.erase(buried, list.end());
    }
    Services::ActivateRenderWindow();
    if (removed.empty())
        return;
    OutputDebugStringN(L"\nBuryEntities\n");
    for (const auto& entry : removed)
    {
        entities.m_nameReferences.erase(entry.first);
        OutputDebugStringN(L"removed:'%s' (ntype:%i) \n", entry.first.c_str(), static_cast<int>(entry.second));
    }
    Services::ForgetRemovedInteractives();
}

/// While skipping, the reader sees the text fly by at this many milliseconds a frame at most; the updates between
/// them read on.
constexpr long long kSkipFrameMs = 50;

/// Whether this frame can be left undrawn: nothing changed since the one on screen (render mode 0), or skip reading
/// drew one a moment ago.
bool FrameUnneeded(const SystemVariables& sysVars)
{
    if (sysVars.renderMode != 0)
        return false;
    if (!SceneChanges::Pending())
        return true;
    return sysVars.textReadMethod == 2 && sysVars.gameMode == 1 && SceneChanges::SinceDrawnMs() < kSkipFrameMs;
}

/// Within each second a frame is drawn only when more than 14 ms per frame already drawn have passed.
bool PacingAllowsDraw(const SystemVariables& sysVars)
{
    return sysVars.renderMode != 0 || Clock::MillisecondsSince(g_loop.secondMark) > 14LL * g_loop.rendersThisSecond;
}
} // namespace

void Services::UpdateEngine(bool render, bool update)
{
    if (!render)
        OutputDebugStringN(L"(Services::UpdateEngine) UPDATE WITHOUT RENDER \n");
    SystemVariables* sysVars = SysVars();
    if (sysVars == nullptr)
    {
        OutputDebugStringN(L"\nERROR. Services::UpdateEngine CALLED DESPITE SYSVARS NULL \n");
        return;
    }
    if (sysVars->gameOver || pRenderWindow == nullptr || !pRenderWindow->isOpen())
        return;
    CountSecond(*sysVars);
    ++g_loop.updatesThisSecond;
    if (update)
        HandleEvents(*sysVars);
    sysVars = SysVars(); // event handling may have changed the novel state
    EntityRegistry* entities = Entities();
    if (sysVars == nullptr || entities == nullptr)
        return;
    UpdateEntities(*sysVars, *entities);
    // An update from inside a script read (a text layout) leaves the queued work to a later update: running it there
    // would read the script again while that very read is still going on.
    if (!Parser::Reading())
        RunDeferredCalls();
    sysVars = SysVars();
    entities = Entities();
    if (sysVars == nullptr || entities == nullptr)
        return;
    AnswerMessageBox(*sysVars);
    if (!PacingAllowsDraw(*sysVars))
        return;
    // A picture that nothing changed is not drawn again: the window keeps showing it (in render mode 0).
    const bool unchanged = render && FrameUnneeded(*sysVars);
    if (!unchanged)
        ++g_loop.rendersThisSecond;
    if (render && !unchanged && pRenderWindow != nullptr)
    {
        Render(*sysVars, *entities);
        if (sysVars->gameMode == 1)
            BuryEntities(*entities);
    }
    if (update && sysVars->renderMode == 0 && !sysVars->gameOver)
        Services::ReadOn();
}

void Services::TriggerParseExec(const std::wstring& line)
{
    m_deferredCalls.enqueue([line, tokens = NHelper::Tokenize(line)]() mutable {
        OutputDebugStringN(L"\nServices::TriggerParseExec:%s \n\n", line.c_str());
        if (std::shared_ptr<Parser> parser = CurParser())
            parser->ParseTokens(line, tokens, true);
    });
}

void Services::HandleVars(std::vector<std::wstring>& tokens, const std::wstring& line)
{
    OutputDebugStringN(L"\n[HandleVars] TRIGGER_USER_DIALOG_FUNCTION\n\n");
    if (std::shared_ptr<Parser> parser = CurParser())
        parser->ParseTokens(line, tokens, true);
}

bool Services::ActivateRenderWindow()
{
    if (pRenderWindow == nullptr || platform::ConnectionLost())
        return false;
    for (int attempt = 0; attempt < 10; ++attempt)
    {
        if (pRenderWindow->setActive(true))
        {
            if (attempt > 0)
                OutputDebugStringN(L"\n");
            return true;
        }
        OutputDebugStringN(attempt == 0 ? L"\nERROR. ActivateRenderWindow FAILED!!!! \n"
                                        : L"ERROR. ActivateRenderWindow FAILED!!!! \n");
    }
    OutputDebugStringN(L"\n");
    return false;
}

void Services::ReleaseAll()
{
    std::function<void()> discarded;
    while (m_deferredCalls.try_dequeue(discarded))
    {
    }
    ActivateRenderWindow();
    if (SystemVariables* sysVars = SysVars())
        sysVars->editorPicture.reset();
    ReleaseScreenTransition();
    pNParser.reset();
    pNCommands.reset();
    m_NovelStates.clear();
    // Whatever the novel states held is gone now; the pools go before the render window, whose context they use.
    ResourcePool<Texture>::releaseAllResources();
    ResourcePool<Font>::releaseAllResources();
    pSecondTarget.reset();
    if (platform::ConnectionLost())
    {
        // Closing a window talks to the X server, which is gone: the window is left as it is, still reachable.
        // Never destroyed, not even at exit.
        static auto* const abandoned = new std::vector<std::unique_ptr<sf::RenderWindow>>();
        abandoned->push_back(std::move(pRenderWindow));
        childWindow = applicationWindow = 0;
    }
    pRenderWindow.reset();
    for (std::uintptr_t* window : {&childWindow, &applicationWindow})
    {
        if (*window != 0)
            platform::DestroyChildWindow(*window);
        *window = 0;
    }
}

void Services::CloseEngine()
{
    if (pRenderWindow == nullptr)
    {
        DebuggerOutput(L"[CloseEngine] CALLED DESPITE RENDERWINDOW==NULLPTR \n");
        return;
    }
    OutputDebugStringN(L"\nCloseEngine \n");
    ReleaseAll();
    g_loop = LoopState{};
    SceneChanges::Reset();
    g_backBufferHolds = false;
    DebuggerOutput(L"[CloseEngine] COMPLETE \n");
}

} // namespace zel
