#include "entities/NButton.h"

#include "commands/CmdHandlers.h"
#include "core/Services.h"
#include "entities/NTextbox.h"
#include "resources/Logger.h"
#include "resources/NHelper.h"
#include "resources/ResourcePool.h"
#include "script/Parser.h"

#include <SFML/Graphics/Texture.hpp>

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>

namespace zel
{
namespace
{
const wchar_t* const kNone = L"none";

std::wstring ParserScriptName()
{
    const std::shared_ptr<Parser> parser = Services::pNParser != nullptr ? CurParser() : nullptr;
    return parser != nullptr ? parser->scriptName : std::wstring();
}

/// The image of the images folder, through the pool; null (and logged) when it cannot be loaded.
std::shared_ptr<Texture> LoadImage(const std::wstring& name)
{
    sSprite loader;
    return loader.loadTexture(name) ? loader.m_pTexture : nullptr;
}

/// A slot's thumbnail in the place and size of the button's picture.
void DrawThumbnail(const sSprite& state, const sf::Texture& shot, bool useCamera)
{
    const sf::IntRect rect = state.getTextureRect();
    const sf::Vector2u size = shot.getSize();
    if (rect.width <= 0 || rect.height <= 0 || size.x == 0 || size.y == 0)
        return;
    const float sx = static_cast<float>(rect.width) / static_cast<float>(size.x);
    const float sy = static_cast<float>(rect.height) / static_cast<float>(size.y);
    sf::Sprite drawn(state);
    drawn.setTexture(shot, true);
    drawn.setOrigin(state.getOrigin().x / sx, state.getOrigin().y / sy);
    drawn.setScale(state.getScale().x * sx, state.getScale().y * sy);
    Services::DrawState(drawn, useCamera);
}

std::vector<std::wstring> SplitLines(const std::wstring& lines)
{
    std::vector<std::wstring> split;
    std::wstringstream stream(lines);
    for (std::wstring line; std::getline(stream, line);)
        split.push_back(line);
    return split;
}

bool IsSlotButton(ButtonTrigger trigger)
{
    return trigger == TRIGGER_SAVESLOT || trigger == TRIGGER_LOADSLOT;
}

/// Both files of a slot exist.
bool SlotHoldsSave(const std::wstring& base)
{
    std::error_code error;
    return std::filesystem::is_regular_file(NHelper::ws2s(base) + ".png", error) &&
           std::filesystem::is_regular_file(NHelper::ws2s(base) + ".xml", error);
}

/// The thumbnail of a slot, decoded once while its file stays the same: the save and the load button of a slot, and
/// every new reading of a menu's button lines, share one picture. Null (logged) when it cannot be read.
std::shared_ptr<sf::Texture> Thumbnail(const std::string& path)
{
    struct Cached
    {
        std::filesystem::file_time_type written;
        std::uintmax_t size = 0;
        std::weak_ptr<sf::Texture> shot;
    };
    static std::map<std::string, Cached> cache;
    std::error_code error;
    const auto written = std::filesystem::last_write_time(path, error);
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    Cached& cached = cache[path];
    if (!error && cached.written == written && cached.size == size)
        if (std::shared_ptr<sf::Texture> shot = cached.shot.lock())
            return shot;
    auto shot = std::make_shared<sf::Texture>();
    if (!shot->loadFromFile(path))
    {
        OutputDebugStringN(L"\nERROR. (NButton) the thumbnail:%s cannot be read \n", NHelper::s2ws(path).c_str());
        return nullptr;
    }
    shot->setSmooth(true);
    cached = Cached{written, size, shot};
    return shot;
}

/// Every save and load button of a slot shows what the slot holds now.
void RefreshSlotButtons(int slot)
{
    EntityRegistry* entities = Services::Entities();
    if (entities == nullptr)
        return;
    for (const EntityPtr& entity : entities->interactives)
        if (auto* button = dynamic_cast<NButton*>(entity.get()); button != nullptr && button->job().slotNumber == slot)
            button->refreshSlot();
}

void QueueWindowMode(std::uint8_t mode)
{
    Services::m_deferredCalls.enqueue([mode] {
        const SystemVariables* sysVars = Services::SysVars();
        if (sysVars != nullptr && sysVars->applicationFlag && sysVars->windowMode != mode)
            Services::SetWindowMode(mode, 0, 0);
    });
}

/// The answer of the open message box: the variable named after its kind becomes "1" (yes) or "0".
void QueueMessageBoxAnswer(bool yes)
{
    Services::m_deferredCalls.enqueue([yes] {
        OutputDebugStringN(L"MESSAGE VAR selection (NButton::execMessageBoxVar) \n");
        SystemVariables* sysVars = Services::SysVars();
        if (sysVars == nullptr || sysVars->currentMsgboxKind.empty())
        {
            OutputDebugStringN(L"\nERROR. (NButton::execMessageBoxVar) no message box is open \n");
            return;
        }
        sysVars->variables[sysVars->currentMsgboxKind] = yes ? L"1" : L"0";
    });
}
} // namespace

NButton::NButton(NType type, std::wstring entityName, int entityLayer, int createdLine, bool system)
    : NEntity(type, std::move(entityName), entityLayer), srcScriptName(ParserScriptName()), systemButton(system),
      m_createdLine(createdLine)
{
    m_ButtonStates.entries()[createdLine] = sButton();
}

bool NButton::loadImages(const std::wstring& untouched, const std::wstring& touched, const std::wstring& clicked)
{
    sButton* state = m_ButtonStates.latest(false);
    if (state == nullptr)
        return false;
    if (state->images[LOOK_UNTOUCHED] != nullptr)
        OutputDebugStringN(L"\nWARNING: (Button:loadImages) replacing original image textures. btn-name:%s\n",
                           name.c_str());
    const std::array<std::wstring, 3> names{untouched, touched, clicked};
    if (std::all_of(names.begin(), names.end(), [](const std::wstring& n) { return n == kNone; }))
    {
        OutputDebugStringN(L"\nERROR: (NButton::loadImages) BUTTON IMAGES CANNOT ALL BE 'none' (btn name:%s) \n",
                           name.c_str());
        return false;
    }
    // Loaded aside first: a missing image leaves the state's looks as they were.
    std::array<std::shared_ptr<Texture>, 3> images;
    for (std::size_t i = 0; i < names.size(); ++i)
        if (names[i] != kNone && (images[i] = LoadImage(names[i])) == nullptr)
            return false;
    state->images = images;
    state->imageNames = names;
    const auto shown = std::find_if(images.begin(), images.end(), [](const auto& image) { return image != nullptr; });
    state->m_pTexture = *shown;
    state->setTexture((*shown)->texture, true);
    ReportChange();
    return true;
}

void NButton::setJob(const ButtonJob& job)
{
    if (sButton* state = m_ButtonStates.latest(false))
        state->job = job;
    ReportChange();
}

const ButtonJob& NButton::job()
{
    static const ButtonJob none;
    const sButton* state = m_ButtonStates.latest(true);
    return state != nullptr ? state->job : none;
}

void NButton::setTouchLine(const std::wstring& line)
{
    if (sButton* state = m_ButtonStates.latest(false))
        state->touchLine = line;
}

void NButton::dropNewestState()
{
    auto& states = m_ButtonStates.entries();
    if (states.size() > 1)
        states.erase(std::prev(states.end()));
}

void NButton::Update()
{
    if (lineContext::Editing())
        m_ButtonStates.pruneAfter(lineContext::MainLine());
    // A job's look follows the read method and the window mode, which change without the button knowing.
    if (job().trigger == TRIGGER_SCREEN || job().trigger == TRIGGER_TEXTREAD)
    {
        const ButtonLook look = shownLook();
        if (look != m_drawnLook)
            ReportChange();
    }
    NEntity::Update();
}

bool NButton::TextReadActive()
{
    const SystemVariables* sysVars = Services::SysVars();
    const ButtonJob& current = job();
    return current.trigger == TRIGGER_TEXTREAD && sysVars != nullptr && sysVars->textReadMethod == current.readMethod;
}

ButtonLook NButton::shownLook()
{
    const SystemVariables* sysVars = Services::SysVars();
    if (job().trigger == TRIGGER_SCREEN && sysVars != nullptr && sysVars->windowMode == job().windowMode)
        return LOOK_TOUCHED;
    if (TextReadActive())
        return LOOK_CLICKED;
    return m_look;
}

void NButton::Draw(int)
{
    const sButton* state = m_ButtonStates.latest(true);
    if (state == nullptr || !state->hasTexture())
        return;
    if (m_slotShot != nullptr && IsSlotButton(state->job.trigger))
        DrawThumbnail(*state, *m_slotShot, inCamera());
    ButtonLook look = shownLook();
    m_drawnLook = look;
    // Without a clicked image the click shows the touched look.
    if (look == LOOK_CLICKED && state->images[LOOK_CLICKED] == nullptr)
        look = LOOK_TOUCHED;
    const std::shared_ptr<Texture>& image = state->images[look];
    if (image != nullptr && (m_slotShot == nullptr || !IsSlotButton(state->job.trigger)))
    {
        sf::Sprite drawn(*state);
        drawn.setTexture(image->texture, true);
        Services::DrawState(drawn, inCamera());
    }
    if (state->text == nullptr)
        return;
    // The caption stays visible whatever look is shown, and fades with the button.
    const sTextbox* caption = state->text->m_TextStates.latest(false);
    if (caption == nullptr)
        return;
    sf::Text text = caption->shaped();
    sf::Color colour = text.getFillColor();
    colour.a = static_cast<sf::Uint8>(colour.a * state->getColor().a / 255);
    text.setFillColor(colour);
    NTextbox::DrawShadowed(text, *caption, inCamera());
}

sSprite* NButton::getCurrentSprite()
{
    sButton* state = m_ButtonStates.latest(true);
    return state != nullptr && state->hasTexture() ? state : nullptr;
}

sSprite* NButton::pushNewState(int line)
{
    if (lineContext::Editing())
    {
        const bool calledScript = Services::pNParser != nullptr && !Services::pNParser->m_parserDeque.empty() &&
                                  Services::pNParser->m_parserDeque.back()->parserKind == PARSER_SCRIPT;
        m_ButtonStates.keepBefore(calledScript ? line + 1 : line);
    }
    const sButton* latest = m_ButtonStates.latest(false);
    m_ButtonStates.set(latest != nullptr ? sButton(*latest) : sButton(), true);
    return m_ButtonStates.latest(false);
}

void NButton::setColor(const sf::Color& colour)
{
    if (sButton* state = m_ButtonStates.latest(true))
        state->setColor(colour);
}

void NButton::ShowLook(ButtonLook look)
{
    if (look == m_look)
        return;
    m_look = look;
    ReportChange();
}

void NButton::setTouched(bool touched)
{
    if (!touched)
    {
        // Leaving ends the touch: the next touch runs the touch lines again.
        m_touched = false;
        ShowLook(LOOK_UNTOUCHED);
        return;
    }
    if (m_touched)
        return;
    ShowLook(LOOK_TOUCHED);
    const sButton* state = m_ButtonStates.latest(true);
    if (state != nullptr && !state->touchLine.empty())
        RunExecLines(true);
    m_touched = true;
}

void NButton::setClicked()
{
    m_touched = true;
    ShowLook(LOOK_CLICKED);
}

bool NButton::Click(const std::wstring& trigger)
{
    return trigger == L"left.click" ? LeftClick() : RightClick();
}

bool NButton::LeftClick()
{
    OutputDebugStringN(L"[Button] L.CLICK! (name:%s) \n", name.c_str());
    const ButtonJob& current = job();
    switch (current.trigger)
    {
    case TRIGGER_SAVESLOT:
        Queue(&NButton::SaveSlotFlow);
        break;
    case TRIGGER_LOADSLOT:
    {
        const SystemVariables* sysVars = Services::SysVars();
        const std::shared_ptr<Parser> parser = Services::pNParser != nullptr ? CurParser() : nullptr;
        if (sysVars != nullptr && parser != nullptr && parser->scriptName == sysVars->MsgboxScript)
        {
            OutputDebugStringN(L"TRIGGERING execLoad from MsgboxScript: PREVENT AUTO SCRIPT CONT \n");
            parser->m_ParserState = WAIT_MSGBOXSEL;
        }
        Queue(&NButton::LoadSlotFlow);
        break;
    }
    case TRIGGER_SAVEDELETE:
        Queue(&NButton::DeleteSlotFlow);
        break;
    case TRIGGER_SCREEN:
        QueueWindowMode(current.windowMode);
        break;
    case TRIGGER_MSGVAR:
        QueueMessageBoxAnswer(current.msgYes);
        break;
    case TRIGGER_TEXTREAD:
    case TRIGGER_SCRIPT:
        RunExecLines(false);
        break;
    default:
        return false;
    }
    return true;
}

bool NButton::RightClick()
{
    OutputDebugStringN(L"[Button] R.CLICK! (name:%s) \n", name.c_str());
    if (job().trigger != TRIGGER_SAVESLOT || !slotOccupied())
        return false;
    Queue(&NButton::DeleteSlotFlow);
    return true;
}

void NButton::refreshSlot()
{
    const ButtonJob& current = job();
    std::shared_ptr<sf::Texture> shot;
    const std::wstring base = Services::SlotBase(current.slotNumber);
    if (IsSlotButton(current.trigger) && SlotHoldsSave(base))
        shot = Thumbnail(NHelper::ws2s(base) + ".png");
    m_slotShot = shot;
    ReportChange();
}

void NButton::Queue(void (NButton::*flow)())
{
    Services::m_deferredCalls.enqueue([this, flow] {
        EntityRegistry* entities = Services::Entities();
        if (entities == nullptr)
            return;
        for (const EntityPtr& entity : entities->interactives)
            if (entity.get() == this)
            {
                const EntityPtr keep = entity; // loading a slot empties the registry while the flow runs
                (this->*flow)();
                return;
            }
    });
}

bool NButton::AskFirst(const wchar_t* kind)
{
    SystemVariables* sysVars = Services::SysVars();
    if (sysVars == nullptr)
        return true;
    if (sysVars->currentMsgboxKind == kind && sysVars->variables[kind] == L"1")
        return false;
    if (CmdHandlers::MessageBoxOpen())
    {
        OutputDebugStringN(L"WARNING. (NButton) %s waits: a message box is open \n", kind);
        return true;
    }
    sysVars->variables[L"msg_str"] = CmdHandlers::Word(kind);
    sysVars->variables[L"msg_triggerBtnName"] = name;
    if (CmdHandlers::ExecuteMessageBox({kind}))
        return true;
    // Without a message box nobody could ever answer: the reader's click is taken as meant.
    OutputDebugStringN(L"WARNING. (NButton) no message box can ask %s. going on without asking \n", kind);
    return false;
}

void NButton::SaveSlotFlow()
{
    if (slotOccupied() && AskFirst(L"Msg_saveOverwrite"))
        return;
    OutputDebugStringN(L"[Button] TRIGGER_SAVESLOT \n");
    const int slot = job().slotNumber;
    const std::wstring base = Services::SlotBase(slot);
    if (Services::SaveScreenshot(base))
        Services::saveSaveData(base);
    if (SystemVariables* sysVars = Services::SysVars())
        sysVars->currentMsgboxKind.clear();
    RefreshSlotButtons(slot);
}

void NButton::LoadSlotFlow()
{
    OutputDebugStringN(L"[Button] TRIGGER_LOADSLOT \n");
    const std::wstring base = Services::SlotBase(job().slotNumber);
    if (!SlotHoldsSave(base) || AskFirst(L"Msg_loadConfirm"))
        return;
    if (SystemVariables* sysVars = Services::SysVars())
        sysVars->currentMsgboxKind.clear();
    Services::loadSaveData(base);
}

void NButton::DeleteSlotFlow()
{
    const int slot = job().slotNumber;
    const std::wstring base = Services::SlotBase(slot);
    if (!SlotHoldsSave(base))
    {
        OutputDebugStringN(L"saveslot %i is empty. nothing to delete \n", slot);
        return;
    }
    if (AskFirst(L"Msg_saveDelete"))
        return;
    if (Services::DeleteSaveData(base))
        OutputDebugStringN(L"saveslot %i DELETE COMPLETE \n", slot);
    else
        OutputDebugStringN(L"\nERROR: saveslot %i DELETE ERROR \n", slot);
    if (SystemVariables* sysVars = Services::SysVars())
        sysVars->currentMsgboxKind.clear();
    RefreshSlotButtons(slot);
}

void NButton::RunExecLines(bool touch)
{
    const sButton* state = m_ButtonStates.latest(true);
    if (state == nullptr)
        return;
    const std::wstring& lines = touch ? state->touchLine : state->job.execLine;
    std::weak_ptr<Parser> parser = Services::pNParser != nullptr ? CurParser() : nullptr;
    Services::m_deferredCalls.enqueue([parser, lines = SplitLines(lines), touch] {
        OutputDebugStringN(L"NButton::TRIGGER_PARSE_EXEC %s \n", touch ? L"(onTouch)" : L"(onClick)");
        const std::shared_ptr<Parser> running = parser.lock();
        if (running == nullptr)
            return;
        for (const std::wstring& line : lines)
        {
            std::vector<std::wstring> tokens = NHelper::Tokenize(line);
            if (!tokens.empty())
                running->ParseTokens(line, tokens, true);
        }
    });
}

} // namespace zel
