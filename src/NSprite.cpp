#include "NSprite.h"

#include "Logger.h"
#include "NHelper.h"
#include "PhysFsStream.h"
#include "Services.h"

namespace zel
{

NSprite::NSprite(NType type, std::wstring entityName, int entityLayer)
    : NEntity(type, std::move(entityName), entityLayer)
{
}

bool NSprite::LoadImage(const std::wstring& path)
{
    PhysFsStream stream(NHelper::ws2s(path));
    auto texture = std::make_shared<sf::Texture>();
    if (!stream.isOpen() || !texture->loadFromStream(stream))
    {
        OutputDebugStringN(L"\nERROR. (NSprite::LoadImage) cannot load image:%s \n", path.c_str());
        return false;
    }
    m_texture = std::move(texture);
    sSprite* state = getCurrentSprite();
    if (state == nullptr)
        state = pushNewState(lineContext::MainLine());
    state->setTexture(*m_texture, true);
    return true;
}

void NSprite::Draw(int)
{
    sSprite* state = getCurrentSprite();
    if (state != nullptr && m_texture != nullptr && Services::pRenderWindow != nullptr)
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
