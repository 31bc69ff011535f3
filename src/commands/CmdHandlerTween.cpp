// The display commands that change an entity at once.

#include "commands/CmdHandlers.h"
#include "core/Services.h"
#include "resources/Logger.h"
#include "resources/NHelper.h"

#include <algorithm>

namespace zel
{
namespace CmdHandlers
{
namespace
{
/// Takes the entity out of the list of oldLayer and appends it to the list of newLayer. When that list does not
/// hold it (an earlier move went elsewhere), it is taken from whichever list does, so it is never lost or doubled.
void MoveBetweenLayerLists(EntityRegistry& entities, const EntityPtr& entity, int oldLayer, int newLayer)
{
    auto takeFrom = [&](EntityList& list) {
        auto found = std::find(list.begin(), list.end(), entity);
        if (found == list.end())
            return false;
        list.erase(found);
        return true;
    };
    bool taken = false;
    auto oldList = entities.entityLayers.find(oldLayer);
    if (oldList != entities.entityLayers.end())
        taken = takeFrom(oldList->second);
    for (auto it = entities.entityLayers.begin(); !taken && it != entities.entityLayers.end(); ++it)
        taken = takeFrom(it->second);
    if (taken)
        entities.entityLayers[newLayer].push_back(entity);
}
} // namespace

void ExecuteLayer(const Tokens& tokens, int oldLayer)
{
    if (tokens.size() < 3 || !NHelper::IsNumberTokens({tokens[2]}, true))
        return;
    EntityRegistry* entities = Services::Entities();
    if (entities == nullptr)
        return;
    EntityPtr entity = entities->findEntityWithName(tokens[1], true);
    if (entity == nullptr)
    {
        OutputDebugStringN(L"ERROR. [ExecuteLayer] ENTITY DOES NOT EXIST:%s \n", tokens[1].c_str());
        return;
    }
    int newLayer = 0;
    try
    {
        newLayer = NHelper::ToInt(tokens[2]);
    }
    catch (const std::exception& e)
    {
        OutputDebugStringN(L"\nERROR. (ExecuteLayer) %s. line ignored \n", NHelper::s2ws(e.what()).c_str());
        return;
    }
    const int from = oldLayer == kCurrentLayer ? entity->getLayer() : oldLayer;
    entity->setLayer(newLayer);
    MoveBetweenLayerLists(*entities, entity, from, newLayer);
}

void RewindLayerList(const std::wstring& name, int fromLayer, int toLayer)
{
    EntityRegistry* entities = Services::Entities();
    if (entities == nullptr)
        return;
    if (EntityPtr entity = entities->Find(name))
        MoveBetweenLayerLists(*entities, entity, fromLayer, toLayer);
}

} // namespace CmdHandlers
} // namespace zel
