// The picture commands: backgrounds and cg images, clear and remove.

#include "commands/CmdHandlers.h"
#include "core/Assert.h"
#include "core/Clock.h"
#include "core/Services.h"
#include "entities/NSprite.h"
#include "resources/Logger.h"
#include "resources/NHelper.h"

namespace zel
{
namespace CmdHandlers
{
std::wstring Word(const wchar_t* key)
{
    return Services::pNCommands != nullptr ? Services::pNCommands->Word(key) : L"";
}

bool IsWord(const std::wstring& token, const wchar_t* key)
{
    return Services::pNCommands != nullptr && Services::pNCommands->IsWord(token, key);
}

bool LeftOutOfScreenshots(const std::wstring& name)
{
    return name.size() >= 2 && name.front() == L'^';
}

bool ReadInts(const Tokens& tokens, std::initializer_list<std::size_t> positions, std::vector<int>& values,
              const wchar_t* who)
{
    std::vector<std::wstring> picked;
    for (std::size_t position : positions)
        picked.push_back(position <= tokens.size() ? tokens[position - 1] : std::wstring());
    if (!NHelper::IsNumberTokens(picked, true))
        return false;
    values.clear();
    try
    {
        for (const std::wstring& token : picked)
            values.push_back(NHelper::ToInt(token));
    }
    catch (const std::exception& e)
    {
        OutputDebugStringN(L"\nERROR. (%s) %s. line ignored \n", who, NHelper::s2ws(e.what()).c_str());
        return false;
    }
    return true;
}

namespace
{
bool IsNoCameraWord(const std::wstring& token)
{
    return IsWord(token, L"CmdOptions_noCamera");
}

/// A new picture from file; null when the image cannot be loaded or the name is taken.
std::shared_ptr<NSprite> CreateSprite(EntityRegistry& entities, NType type, const std::wstring& name,
                                      const std::wstring& file, int layer)
{
    auto sprite = std::make_shared<NSprite>(type, name, layer);
    if (!sprite->loadTexture(file) || sprite->getCurrentSprite() == nullptr)
        return nullptr;
    if (!entities.InsNovelEntity(sprite, layer, name))
        return nullptr;
    return sprite;
}

/// Gives an existing cg or background a fresh look from file at the main line: opaque, unscaled, unturned, not
/// removed, on layer. False when the name belongs to something else or the look cannot be made.
bool RenewSprite(const EntityPtr& entity, const std::wstring& file, int layer)
{
    if (entity->nType != NTYPE_CG && entity->nType != NTYPE_BG)
    {
        OutputDebugStringN(L"\nERROR. (HandleCG_InsRm) entity:'%s' is already assigned to an entity not a cg or bg \n",
                           entity->name.c_str());
        return false;
    }
    const int mainLine = lineContext::MainLine();
    sSprite* state = entity->pushNewState(mainLine);
    if (state == nullptr)
        return false;
    state->setOrigin(0.f, 0.f);
    if (!state->loadTexture(file))
        return false;
    sf::Color colour = entity->isMarkedRemoved() ? sf::Color::White : state->getColor();
    colour.a = 255;
    state->setColor(colour);
    state->setScale(1.f, 1.f);
    state->setRotation(0.f);
    entity->tweens.clear();
    // While playing, the newest mark wins: a fade-out's mark was appended after the play-start line.
    entity->markRemoved(false, true);
    ExecuteLayer({L"layer", entity->name, NHelper::ToDecimal(layer)}, kCurrentLayer);
    entity->setLayer(layer);
    return true;
}

/// A new picture starts nearly transparent and turns opaque on its first tween step, recorded at the main line.
void FadeInAtOnce(NEntity& entity, sSprite& state)
{
    sf::Color colour = state.getColor();
    colour.a = 1;
    state.setColor(colour);
    Tween tween;
    tween.type = TWEEN_ALPHA;
    tween.startTime = Clock::Milliseconds();
    tween.duration = 0.0;
    tween.targetValue = 255;
    entity.addTween(tween);
}

} // namespace

void HandleCG_InsRm(NType type, const std::wstring& name, const std::wstring& file, double x, double y, int layer,
                    const std::wstring& option)
{
    Services::ActivateRenderWindow();
    EntityRegistry* entities = Services::Entities();
    if (entities == nullptr)
        return;
    EntityPtr entity = entities->findEntityWithName(name, true);
    const bool isNew = entity == nullptr;
    if (isNew)
        entity = CreateSprite(*entities, type, name, file, layer);
    else if (!RenewSprite(entity, file, layer))
        return;
    if (entity == nullptr)
        return; // the image could not be loaded: nothing was registered
    sSprite* state = entity->getCurrentSprite();
    if (!QH_ASSERT(state != nullptr, L"pNSprite != nullptr && pSprite != nullptr", L"CmdHandlerMain", 327))
        return;
    entity->setInCamera(!IsNoCameraWord(option));
    entity->includeInScreenshot = !LeftOutOfScreenshots(name);
    state->setPosition(static_cast<float>(x), static_cast<float>(y));
    if (isNew)
        FadeInAtOnce(*entity, *state);
    if (type == NTYPE_BG)
        NSprite::FitToView(*state); // the view: in a letterboxed window it is smaller than the window
}

void ExecuteBG(const Tokens& tokens)
{
    const std::size_t n = tokens.size();
    const bool unnamed = n == 2 || (n == 3 && IsNoCameraWord(tokens[2]));
    if (unnamed)
    {
        if (EntityRegistry* entities = Services::Entities())
            for (const EntityPtr& background : entities->getEntitiesWithNType(NTYPE_BG, false))
                background->markRemoved(true, true);
        HandleCG_InsRm(NTYPE_BG, L"sys_BG", tokens[1], 0.0, 0.0, 0, n == 3 ? tokens[2] : L"");
        return;
    }
    if (n > 2)
        HandleCG_InsRm(NTYPE_BG, tokens[1], tokens[2], 0.0, 0.0, 0, n == 4 ? tokens[3] : L"");
}

void ExecuteCG(const Tokens& tokens)
{
    if (!NHelper::IsNumberTokens({tokens[3], tokens[4], tokens[5]}, true))
        return;
    const std::wstring option = tokens.size() == 7 ? tokens[6] : L"";
    double x = 0.0;
    double y = 0.0;
    int layer = 0;
    try
    {
        x = NHelper::ToFloat(tokens[3]);
        y = NHelper::ToFloat(tokens[4]);
        layer = NHelper::ToInt(tokens[5]);
    }
    catch (const std::exception& e)
    {
        // Digits only, but too many of them for a number.
        OutputDebugStringN(L"\nERROR. (ExecuteCG) %s. line ignored \n", NHelper::s2ws(e.what()).c_str());
        return;
    }
    HandleCG_InsRm(NTYPE_CG, tokens[1], tokens[2], x, y, layer, option);
}

void ExecuteClear(const Tokens&)
{
    const SystemVariables* sysVars = Services::SysVars();
    if (sysVars == nullptr || sysVars->gameMode != 1)
        return;
    OutputDebugStringN(L"\n[ExecuteClear] RemoveEntities - START \n");
    Services::RemoveEntities();
}

void ExecuteRemove(const Tokens&) {}

} // namespace CmdHandlers
} // namespace zel
