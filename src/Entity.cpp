#include "Entity.h"

#include "Logger.h"
#include "Parser.h"
#include "Services.h"

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
} // namespace

NEntity::NEntity() : creatorKind(CurrentParserKind()) {}

NEntity::NEntity(NType type, std::wstring entityName, int entityLayer)
    : nType(type), name(std::move(entityName)), creatorKind(CurrentParserKind())
{
    setLayer(entityLayer);
}

void NEntity::Update() {}

sSprite* NEntity::pushNewState(int)
{
    return nullptr;
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
    return true;
}

EntityPtr EntityRegistry::Find(const std::wstring& entityName) const
{
    auto it = m_nameReferences.find(entityName);
    return it == m_nameReferences.end() ? nullptr : it->second;
}

std::size_t EntityRegistry::CountInLayers() const
{
    std::size_t count = 0;
    for (const auto& layerEntry : entityLayers)
        count += layerEntry.second.size();
    return count;
}

} // namespace zel
