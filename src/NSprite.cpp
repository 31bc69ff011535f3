#include "NSprite.h"

#include "Logger.h"
#include "ResourcePool.h"
#include "Services.h"

namespace zel
{

void sSprite::showTexture(std::shared_ptr<Texture> texture)
{
    m_texture = std::move(texture);
    setTexture(m_texture->texture, true);
}

NSprite::NSprite(NType type, std::wstring entityName, int entityLayer)
    : NEntity(type, std::move(entityName), entityLayer)
{
}

bool NSprite::LoadImage(const std::wstring& path)
{
    std::shared_ptr<Texture> texture;
    if (!ResourcePool<Texture>::getResource(texture, path))
    {
        OutputDebugStringN(L"\nERROR. (NSprite::LoadImage) cannot load image:%s \n", path.c_str());
        return false;
    }
    sSprite* state = getCurrentSprite();
    if (state == nullptr)
        state = pushNewState(lineContext::MainLine());
    state->showTexture(std::move(texture));
    return true;
}

void NSprite::Draw(int)
{
    sSprite* state = getCurrentSprite();
    if (state != nullptr && state->hasTexture() && Services::pRenderWindow != nullptr)
        Services::pRenderWindow->draw(*state);
}

int NSprite::getCreatedLine() const
{
    return m_SpriteStates.empty() ? -1 : m_SpriteStates.begin()->first;
}

sSprite* NSprite::getCurrentSprite()
{
    return m_SpriteStates.empty() ? nullptr : m_SpriteStates.rbegin()->second.get();
}

sSprite* NSprite::pushNewState(int line)
{
    auto state = std::make_shared<sSprite>();
    if (sSprite* previous = getCurrentSprite())
        *state = *previous;
    m_SpriteStates[line] = state;
    return state.get();
}

} // namespace zel
