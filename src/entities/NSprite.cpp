#include "entities/NSprite.h"

#include "core/Assert.h"
#include "core/Services.h"
#include "resources/Logger.h"
#include "resources/NHelper.h"
#include "resources/ResourcePool.h"
#include "script/Parser.h"

namespace zel
{

bool sSprite::loadTexture(const std::wstring& fileName)
{
    const SystemVariables* sysVars = Services::SysVars();
    const std::wstring path = sysVars != nullptr ? sysVars->FilePath(DATA_IMAGES, fileName) : L"Images/" + fileName;
    // Loaded aside first: on failure the state keeps showing (and holding) the image it had.
    std::shared_ptr<Texture> texture;
    if (!ResourcePool<Texture>::getResource(texture, path))
    {
        if (!NHelper::ClimbsOut(path)) // a refused name has had its error
            OutputDebugStringN(L"\nERROR. texture does not exist:%s %s \n", fileName.c_str(), ScriptPlace().c_str());
        return false;
    }
    m_pTexture = std::move(texture);
    const sf::Vector2u size = m_pTexture->texture.getSize();
    setTexture(m_pTexture->texture, false);
    setTextureRect(sf::IntRect(0, 0, static_cast<int>(size.x), static_cast<int>(size.y)));
    return true;
}

NSprite::NSprite(NType type, std::wstring entityName, int entityLayer)
    : NEntity(type, std::move(entityName), entityLayer)
{
    m_SpriteStates.set(sSprite(), false);
}

bool NSprite::loadTexture(const std::wstring& fileName)
{
    sSprite* state = m_SpriteStates.latest(false);
    return state != nullptr && state->loadTexture(fileName);
}

void NSprite::Update()
{
    if (lineContext::Editing())
    {
        m_SpriteStates.pruneAfter(lineContext::MainLine());
        sSprite* state = m_SpriteStates.latest(false);
        if (nType == NTYPE_BG && state != nullptr &&
            QH_ASSERT(state->m_pTexture != nullptr, L"pSprite->m_pTexture != nullptr", L"Entity", 303))
            FitToView(*state);
    }
    NEntity::Update();
}

void NSprite::FitToView(sSprite& state)
{
    if (Services::pRenderWindow != nullptr)
        FitToArea(state, Services::pRenderWindow->getView().getSize());
}

void NSprite::FitToArea(sSprite& state, sf::Vector2f area)
{
    const sf::IntRect rect = state.getTextureRect();
    if (rect.width == 0 || rect.height == 0)
        return;
    const float sx = area.x / static_cast<float>(rect.width);
    const float sy = area.y / static_cast<float>(rect.height);
    if (sx != 1.0f || sy != 1.0f)
        state.setScale(sx, sy);
}

void NSprite::Draw(int)
{
    if (const sSprite* state = getCurrentSprite())
        Services::DrawState(*state, inCamera());
}

int NSprite::getCreatedLine() const
{
    const auto& states = m_SpriteStates.entries();
    return states.empty() ? -1 : states.begin()->first;
}

sSprite* NSprite::getCurrentSprite()
{
    sSprite* state = m_SpriteStates.latest(true);
    if (state == nullptr || !state->hasTexture())
    {
        OutputDebugStringN(L"\n ERROR (NWSprite::getCurrentSprite) sprite:%s has no texture loaded. \n", name.c_str());
        return nullptr;
    }
    return state;
}

sSprite* NSprite::pushNewState(int line)
{
    if (lineContext::Editing())
    {
        const bool calledScript = Services::pNParser != nullptr && !Services::pNParser->m_parserDeque.empty() &&
                                  Services::pNParser->m_parserDeque.back()->parserKind == PARSER_SCRIPT;
        m_SpriteStates.keepBefore(calledScript ? line + 1 : line);
    }
    const sSprite* latest = m_SpriteStates.latest(false);
    if (!QH_ASSERT(latest != nullptr, L"m_SpriteStates.empty( ) == false", L"Entity", 359))
        return nullptr;
    m_SpriteStates.set(sSprite(*latest), true);
    return m_SpriteStates.latest(false);
}

} // namespace zel
