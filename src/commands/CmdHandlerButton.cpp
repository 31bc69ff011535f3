// The button and slider commands: buttons with their images, captions, jobs and touch lines, the default button
// images, the alive region that keeps a menu's clicks to its own buttons, and sliders bound to a setting.

#include "commands/CmdHandlers.h"
#include "core/Services.h"
#include "entities/NButton.h"
#include "entities/NTextbox.h"
#include "entities/NTrackbar.h"
#include "resources/Logger.h"
#include "resources/NHelper.h"
#include "resources/ResourcePool.h"
#include "script/Parser.h"

#include <cmath>
#include <optional>

namespace zel
{
namespace CmdHandlers
{
namespace
{
const wchar_t* const kNone = L"none";

/// Position (counted from 1) of the first number after the keyword: the button's X. 0 when there is none.
std::size_t ButtonPositionIndex(const Tokens& tokens)
{
    for (std::size_t i = 1; i < tokens.size(); ++i)
        if (NHelper::IsNumber(tokens[i], true))
            return i + 1;
    return 0;
}

/// The token at position (counted from 1), or "" past the end.
std::wstring TokenAt(const Tokens& tokens, std::size_t position)
{
    return position >= 1 && position <= tokens.size() ? tokens[position - 1] : std::wstring();
}

/// The number after a kind word (slot, window mode, read method); false when it is missing or no number.
bool KindNumber(const Tokens& tokens, std::size_t kindAt, int& value)
{
    std::vector<int> values;
    if (tokens.size() < kindAt + 1 || !ReadInts(tokens, {kindAt + 1}, values, L"ExecuteButton"))
        return false;
    value = values[0];
    return true;
}

/// The job named by the token at kindAt; empty when the kind's value is missing or no number.
std::optional<ButtonJob> ReadJob(const Tokens& tokens, std::size_t kindAt)
{
    ButtonJob job;
    const std::wstring kind = TokenAt(tokens, kindAt);
    if (kind.empty() || IsWord(kind, L"CmdOptions_none"))
        return job;
    int number = 0;
    const std::pair<const wchar_t*, ButtonTrigger> numbered[] = {{L"saveslot", TRIGGER_SAVESLOT},
                                                                 {L"loadslot", TRIGGER_LOADSLOT},
                                                                 {L"savedelete", TRIGGER_SAVEDELETE},
                                                                 {L"screen", TRIGGER_SCREEN}};
    for (const auto& [word, trigger] : numbered)
        if (kind == word)
        {
            if (!KindNumber(tokens, kindAt, number))
                return std::nullopt;
            job.trigger = trigger;
            if (trigger == TRIGGER_SCREEN)
                job.windowMode = static_cast<std::uint8_t>(number);
            else
                job.slotNumber = number;
            return job;
        }
    if (kind == L"msgvar")
    {
        if (tokens.size() < kindAt + 1)
            return std::nullopt;
        job.trigger = TRIGGER_MSGVAR;
        job.msgYes = tokens[kindAt] == L"yes";
        return job;
    }
    job.execLine = JoinFrom(tokens, kindAt - 1);
    const std::wstring textProgress = Services::pNCommands != nullptr ? Services::pNCommands->Keyword(L"textProgress")
                                                                      : std::wstring(L"textProgress");
    if (kind == textProgress)
    {
        if (!KindNumber(tokens, kindAt, number))
            return std::nullopt;
        job.trigger = TRIGGER_TEXTREAD;
        job.readMethod = number;
        return job;
    }
    OutputDebugStringN(L"btn-type:%s is not a button default type. will use parser. (curline:%i) \n", kind.c_str(),
                       lineContext::CurrentLine());
    job.trigger = TRIGGER_SCRIPT;
    return job;
}

/// The image of a look given one or two image tokens: the first token, unless a default for the look is set.
std::wstring FromDefault(const ButtonImages* defaults, std::size_t look, const std::wstring& first)
{
    return defaults == nullptr || (*defaults)[look] == kNone ? first : (*defaults)[look];
}

/// The three images of a button line with imageCount image tokens from position 3 on; empty when there are more
/// than three.
std::optional<ButtonImages> ReadImages(const Tokens& tokens, std::size_t imageCount)
{
    SystemVariables* sysVars = Services::SysVars();
    const ButtonImages* defaults = sysVars != nullptr ? sysVars->defaultButtonImages.latest(true) : nullptr;
    if (defaults != nullptr && (*defaults)[0].empty())
        defaults = nullptr;
    switch (imageCount)
    {
    case 0:
        return defaults != nullptr ? *defaults : ButtonImages{kNone, kNone, kNone};
    case 1:
        return ButtonImages{tokens[2], FromDefault(defaults, 1, tokens[2]), FromDefault(defaults, 2, tokens[2])};
    case 2:
        return ButtonImages{tokens[2], tokens[3], FromDefault(defaults, 2, tokens[2])};
    case 3:
        return ButtonImages{tokens[2], tokens[3], tokens[4]};
    default:
        return std::nullopt;
    }
}

/// The button of that name given a new state at the main line, or a new button; null when the name belongs to
/// something else.
std::shared_ptr<NButton> ButtonForLine(EntityRegistry& entities, const std::wstring& name, NType type, int layer,
                                       bool system, bool& isNew)
{
    const EntityPtr found = entities.findEntityWithName(name, true);
    isNew = found == nullptr;
    if (isNew)
        return std::make_shared<NButton>(type, name, layer, lineContext::MainLine(), system);
    auto button = std::dynamic_pointer_cast<NButton>(found);
    if (button == nullptr)
    {
        OutputDebugStringN(L"\nERROR. (ExecuteButton) entity:'%s' is already assigned to an entity not a (sys)button "
                           L"%s \n",
                           name.c_str(), ScriptPlace().c_str());
        return nullptr;
    }
    button->pushNewState(lineContext::MainLine());
    return button;
}

/// A button line that failed half-way: a re-used button reads as the line before left it.
void UndoButtonLine(NButton& button, bool isNew)
{
    if (!isNew)
        button.dropNewestState();
}

/// The re-used button shows again: opaque, without the tweens and removal an earlier line gave it.
void Revive(NButton& button)
{
    sf::Color colour = button.getColor();
    colour.a = 255;
    button.setColor(colour);
    button.tweens.clear();
    button.markRemoved(false, true);
}

/// The caption of a btnText line: token 5 without its quote and every later token after one space.
std::wstring Caption(const Tokens& tokens)
{
    return tokens[4].substr(1) + (tokens.size() > 5 ? L" " + JoinFrom(tokens, 5) : std::wstring());
}

/// Centres the caption on the button's picture and sizes its area to the text.
void CentreCaption(sTextbox& look, const sSprite& picture)
{
    const sf::FloatRect button = picture.getGlobalBounds();
    const sf::FloatRect text = look.shaped().getLocalBounds();
    look.setPosition(std::floor((button.width - text.width) * 0.5f + button.left - text.left),
                     std::floor((button.height - text.height) * 0.5f + button.top - text.top));
    const sf::FloatRect placed = look.shaped().getGlobalBounds();
    look.areaWidth = static_cast<int>(placed.width);
    look.areaHeight = static_cast<int>(placed.height);
}
} // namespace

std::shared_ptr<NButton> getButtonWithName(const std::wstring& name)
{
    if (EntityRegistry* entities = Services::Entities())
        for (const EntityPtr& entity : entities->interactives)
            if (entity->name == name && (entity->nType == NTYPE_BUTTON || entity->nType == NTYPE_SYSBUTTON))
                return std::dynamic_pointer_cast<NButton>(entity);
    OutputDebugStringN(L"\nERROR. (getButtonWithName) button:'%s' does not exist %s \n", name.c_str(),
                       ScriptPlace().c_str());
    return nullptr;
}

void ExecuteButton(const Tokens& tokens, bool system, const std::wstring& originScript)
{
    const std::size_t p = ButtonPositionIndex(tokens);
    std::vector<int> place;
    if (p <= 2 || tokens.size() < p + 2 || !ReadInts(tokens, {p, p + 1, p + 2}, place, L"ExecuteButton"))
        return;
    EntityRegistry* entities = Services::Entities();
    if (entities == nullptr)
        return;
    Services::ActivateRenderWindow();
    bool isNew = false;
    const std::shared_ptr<NButton> button =
        ButtonForLine(*entities, tokens[1], system ? NTYPE_SYSBUTTON : NTYPE_BUTTON, place[2], system, isNew);
    if (button == nullptr)
        return;
    const bool noCamera = tokens.size() >= p + 3 && IsWord(tokens[p + 2], L"CmdOptions_noCamera");
    const std::optional<ButtonJob> job = ReadJob(tokens, noCamera ? p + 4 : p + 3);
    if (!job)
        return UndoButtonLine(*button, isNew);
    const std::optional<ButtonImages> images = ReadImages(tokens, p - 3);
    if (!images)
    {
        OutputDebugStringN(L"\nERROR. (ExecuteButton) xPosIdx:%i invalid %s \n", static_cast<int>(p - 1),
                           ScriptPlace().c_str());
        return UndoButtonLine(*button, isNew);
    }
    if (!button->loadImages((*images)[0], (*images)[1], (*images)[2]))
    {
        OutputDebugStringN(L"ERROR. (ExecuteButton) loadImages FAILED. %s \n", ScriptPlace().c_str());
        return UndoButtonLine(*button, isNew);
    }
    button->getCurrentSprite()->setPosition(static_cast<float>(place[0]), static_cast<float>(place[1]));
    button->setInCamera(!noCamera);
    button->setJob(*job);
    button->refreshSlot();
    if (!originScript.empty())
        button->srcScriptName = originScript;
    button->includeInScreenshot = !LeftOutOfScreenshots(tokens[1]);
    if (!isNew)
        return Revive(*button);
    entities->interactives.push_back(button);
    entities->InsNovelEntity(button, place[2], tokens[1]);
}

void ExecuteButtonBasicRes(const Tokens& tokens)
{
    SystemVariables* sysVars = Services::SysVars();
    if (sysVars == nullptr)
        return;
    sysVars->defaultButtonImages.pruneAfter(lineContext::MainLine());
    sysVars->defaultButtonImages.set(ButtonImages{tokens[1], tokens[2], tokens[3]}, true);
    OutputDebugStringN(L"[ExecuteButtonBasicRes] updated. untouched-img:%s touched-img:%s, clicked-img:%s \n",
                       tokens[1].c_str(), tokens[2].c_str(), tokens[3].c_str());
}

void ExecuteButtonText(const Tokens& tokens)
{
    std::vector<int> size;
    if (!ReadInts(tokens, {4}, size, L"ExecuteButtonText"))
        return;
    const std::shared_ptr<NButton> button = getButtonWithName(tokens[1]);
    if (button == nullptr)
        return;
    auto caption = std::make_shared<NTextbox>(NTYPE_TEXTBOX, tokens[1] + L"_text", -1, -1, -1, -1);
    sTextbox* look = caption->pushTextState(lineContext::MainLine());
    const SystemVariables* sysVars = Services::SysVars();
    std::shared_ptr<Font> font;
    if (look == nullptr || sysVars == nullptr ||
        !ResourcePool<Font>::getResource(font, sysVars->FilePath(DATA_FONTS, tokens[2])))
    {
        OutputDebugStringN(L"\nERROR: failed to load font:'%s' %s \n", tokens[2].c_str(), ScriptPlace().c_str());
        return;
    }
    look->setPooledFont(font);
    look->setCharacterSize(static_cast<unsigned>(std::max(size[0], 0)));
    look->setStyle(sf::Text::Bold);
    look->shadow = 1;
    look->shadowColour = sf::Color(0, 0, 0, 255);
    look->vertical = false;
    look->MS_PER_LETTER = 0;
    if (tokens[4].empty() || tokens[4].front() != L'"')
        return;
    look->setPlainText(Caption(tokens));
    const sSprite* picture = button->getCurrentSprite();
    if (picture == nullptr)
        return;
    CentreCaption(*look, *picture);
    auto* state = static_cast<sButton*>(button->pushNewState(lineContext::MainLine()));
    state->text = caption;
    NEntity::ReportChange();
}

void ExecuteOnButtonTouch(const Tokens& tokens)
{
    const std::shared_ptr<NButton> button = getButtonWithName(tokens[1]);
    if (button == nullptr)
        return;
    button->pushNewState(lineContext::MainLine());
    button->setTouchLine(JoinFrom(tokens, 2));
}

void ExecuteButtonAliveRegion(const Tokens&)
{
    SystemVariables* sysVars = Services::SysVars();
    const std::shared_ptr<Parser> parser = Services::pNParser != nullptr ? CurParser() : nullptr;
    if (sysVars == nullptr || sysVars->gameMode != 1 || parser == nullptr)
        return;
    sysVars->buttonAliveRegions.push_back(parser->scriptName);
}

void ExecuteTrackbar(const Tokens& tokens)
{
    std::vector<int> values;
    EntityRegistry* entities = Services::Entities();
    if (entities == nullptr || !ReadInts(tokens, {3, 4, 5, 6}, values, L"ExecuteTrackbar"))
        return;
    Services::ActivateRenderWindow();
    auto trackbar = std::make_shared<NTrackbar>(tokens[1], values[2]);
    sSprite* knob = trackbar->pushNewState(lineContext::MainLine());
    trackbar->loadTexture(tokens[7]);
    knob->setPosition(static_cast<float>(values[0]), static_cast<float>(values[1]));
    trackbar->setTrack(values[0], values[0] + values[3]);
    trackbar->setTrackVarName(tokens[6]);
    // Only a registered slider answers the pointer: one refused for its name is never drawn.
    if (entities->InsNovelEntity(trackbar, values[2], tokens[1]))
        entities->interactives.push_back(trackbar);
}

} // namespace CmdHandlers
} // namespace zel
