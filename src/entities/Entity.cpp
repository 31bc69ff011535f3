#include "entities/Entity.h"

#include "commands/CmdHandlers.h"
#include "core/SceneChanges.h"
#include "core/Services.h"
#include "entities/NSprite.h"
#include "resources/Logger.h"
#include "script/Parser.h"

#include <algorithm>
#include <iterator>
#include <limits>

namespace zel
{
namespace
{
std::uint8_t CurrentParserKind()
{
    if (Services::pNParser == nullptr || Services::pNParser->m_parserDeque.empty())
        return 1;
    return Services::pNParser->m_parserDeque.back()->parserKind;
}

/// Music volume as alpha: the volume modulo 256, where "no music" (-1) reads as 255. A silent stream reads as
/// transparent while the player's music volume is up, so that a finished fade-out is seen as one.
std::uint8_t MusicAlpha(float volume)
{
    const int alpha = static_cast<int>(volume) % 256;
    if (alpha != 0)
        return static_cast<std::uint8_t>(alpha < 0 ? alpha + 256 : alpha);
    const SystemVariables* sysVars = Services::SysVars();
    if (sysVars != nullptr && sysVars->sysBgmVolume != 0)
    {
        OutputDebugStringN(L"getColour: bgm volume == 0 \n");
        return 0;
    }
    return 255;
}
} // namespace

NEntity::NEntity() : creatorKind(CurrentParserKind()) {}

NEntity::NEntity(NType type, std::wstring entityName, int entityLayer)
    : nType(type), name(std::move(entityName)), creatorKind(CurrentParserKind())
{
    setLayer(entityLayer);
}

void NEntity::Update()
{
    if (lineContext::Editing())
        RewindLayerIfNeeded();
    execTweens(lineContext::MainLine());
}

void NEntity::ReportChange()
{
    SceneChanges::Report();
}

void NEntity::ReportChange(const sf::FloatRect& area)
{
    SceneChanges::ReportArea(area);
}

void NEntity::RewindLayerIfNeeded()
{
    const int unpruned = layer.get(false);
    const int pruned = layer.get(true);
    if (unpruned == pruned)
        return;
    // The registry is being walked: the move between layer lists waits for the deferred-call pass.
    // The layer already reads right at the cursor: only the lists change, and no new layer entry is recorded (one
    // at the cursor's line would count as a move there and put the entity last in its list).
    Services::m_deferredCalls.enqueue(
        [entityName = name, pruned, unpruned] { CmdHandlers::RewindLayerList(entityName, unpruned, pruned); });
}

sSprite* NEntity::pushNewState(int)
{
    return nullptr;
}

sf::Color NEntity::getColor()
{
    switch (nType)
    {
    case NTYPE_BGM:
        return sf::Color(0, 0, 0, MusicAlpha(audioVolume()));
    case NTYPE_SFX:
    {
        const float volume = audioVolume();
        return sf::Color(0, 0, 0, volume < 0 ? 0 : static_cast<std::uint8_t>(static_cast<int>(volume)));
    }
    default:
        break;
    }
    if (const sSprite* sprite = getCurrentSprite())
        return sprite->getColor();
    OutputDebugStringN(L"\n[NEntity::getColor] ERROR. trying to reference nullptr \n");
    return sf::Color(0, 0, 0, 0);
}

void NEntity::setColor(const sf::Color& colour)
{
    switch (nType)
    {
    case NTYPE_CG:
    case NTYPE_BG:
    case NTYPE_TRACKBAR:
        if (sSprite* sprite = getCurrentSprite())
            sprite->setColor(colour);
        break;
    case NTYPE_BGM:
    {
        const SystemVariables* sysVars = Services::SysVars();
        const int master = sysVars == nullptr ? 100 : sysVars->sysMasterVolume;
        setAudioVolume(static_cast<float>(master) * colour.a / 100.0f);
        break;
    }
    case NTYPE_SFX:
        setAudioVolume(colour.a);
        break;
    default:
        break;
    }
}

void NEntity::addTween(const Tween& tween)
{
    tweens.set(tween, !lineContext::Editing());
    if (lineContext::Editing() || Services::Skipping())
        execTweens(lineContext::MainLine());
}

void NEntity::execTweens(int mainLine)
{
    auto& pending = tweens.entries();
    for (auto it = pending.begin(); it != pending.end();)
    {
        if (lineContext::Editing() && mainLine < it->first)
        {
            OutputDebugStringN(L"[NEntity::execTweens] editorline:%i < tweenExecLine:%i. name: %s \n", mainLine,
                               it->first, name.c_str());
            pending.erase(it, pending.end());
            return;
        }
        // A running tween moves the look every frame, and its last step too.
        ReportChange();
        if (Tween::execTween(this, it->second, it->first))
            it = pending.erase(it);
        else
            ++it;
    }
}

bool EntityRegistry::InsNovelEntity(const EntityPtr& entity, int entityLayer, const std::wstring& entityName)
{
    if (!entityName.empty())
    {
        auto inserted = m_nameReferences.emplace(entityName, entity);
        if (!inserted.second)
        {
            OutputDebugStringN(L"\nERROR. (InsNovelEntity) name:%s already exists at line:%i \n", entityName.c_str(),
                               inserted.first->second->getCreatedLine());
            return false;
        }
    }
    entityLayers[entityLayer].push_back(entity);
    entity->setLayer(entityLayer);
    if (lineContext::Editing())
        entityLines[lineContext::MainLine()].push_back(entity);
    NEntity::ReportChange();
    return true;
}

EntityPtr EntityRegistry::Find(const std::wstring& entityName) const
{
    auto it = m_nameReferences.find(entityName);
    return it == m_nameReferences.end() ? nullptr : it->second;
}

EntityPtr EntityRegistry::findEntityWithName(const std::wstring& entityName, bool log) const
{
    EntityPtr entity = Find(entityName);
    if (entity != nullptr && log)
        OutputDebugStringN(L"[Execute] same name reference found. name:%s, current-line:%d, "
                           L"original(mainscript)-line:%d \n",
                           entityName.c_str(), lineContext::CurrentLine(), entity->getCreatedLine());
    return entity;
}

EntityPtr EntityRegistry::findEntityWithNType(NType type) const
{
    for (const auto& layerEntry : entityLayers)
        for (const EntityPtr& entity : layerEntry.second)
            if (entity->nType == type)
            {
                OutputDebugStringN(L"[Execute] same NType reference found. name:%s, current-line:%d, "
                                   L"original(mainscript)-line:%d \n",
                                   entity->name.c_str(), lineContext::CurrentLine(), entity->getCreatedLine());
                return entity;
            }
    return nullptr;
}

namespace
{
bool IsBacklogTextbox(const NEntity& entity)
{
    SystemVariables* sysVars = Services::SysVars();
    if (entity.nType != NTYPE_TEXTBOX || sysVars == nullptr)
        return false;
    const std::wstring& backlogName = sysVars->curBacklogUseTextareaName.get(true);
    if (backlogName.empty() || entity.name != backlogName)
        return false;
    OutputDebugStringN(L"not allowing backlog textbox to be tweened \n");
    return true;
}

bool IsTypeCandidate(const NEntity& entity, NType type)
{
    return entity.nType == type || (type == NTYPE_SYSBUTTON && entity.nType == NTYPE_TRACKBAR);
}

bool MadeByRunningScript(const NEntity& entity)
{
    std::shared_ptr<Parser> parser = Services::pNParser != nullptr ? Services::pNParser->Current() : nullptr;
    return parser != nullptr && entity.getSrcScriptName() == parser->scriptName;
}

bool Collects(const NEntity& entity, NType type, bool thisScriptOnly)
{
    if (type == NTYPE_ALL)
        return !IsBacklogTextbox(entity);
    if (!IsTypeCandidate(entity, type))
        return false;
    if (thisScriptOnly && type == NTYPE_SYSBUTTON && entity.nType == NTYPE_TRACKBAR)
        return true;
    if (thisScriptOnly && (type == NTYPE_BUTTON || type == NTYPE_SYSBUTTON))
        return MadeByRunningScript(entity);
    return !IsBacklogTextbox(entity);
}
} // namespace

EntityList EntityRegistry::getEntitiesWithNType(NType type, bool thisScriptOnly) const
{
    if (thisScriptOnly)
        OutputDebugStringN(L"(getEntitiesWithNType) FROM THIS SCRIPT ONLY. nType:%i \n", static_cast<int>(type));
    EntityList found;
    for (const auto& layerEntry : entityLayers)
        for (const EntityPtr& entity : layerEntry.second)
            if (Collects(*entity, type, thisScriptOnly))
                found.push_back(entity);
    return found;
}

void EntityRegistry::RestoreLayerOrder(int line)
{
    auto placedAt = [line](const EntityPtr& entity) {
        const auto& entries = entity->layer.entries();
        auto after = entries.upper_bound(line);
        return after == entries.begin() ? std::numeric_limits<int>::min() : std::prev(after)->first;
    };
    for (auto& layerEntry : entityLayers)
        std::stable_sort(layerEntry.second.begin(), layerEntry.second.end(),
                         [&](const EntityPtr& a, const EntityPtr& b) { return placedAt(a) < placedAt(b); });
}

std::size_t EntityRegistry::CountInLayers() const
{
    std::size_t count = 0;
    for (const auto& layerEntry : entityLayers)
        count += layerEntry.second.size();
    return count;
}

} // namespace zel
