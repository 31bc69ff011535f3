#pragma once
// A picture on the screen (background, cg, the wait-for-input icon, the editor's placeable picture), with one
// sprite state per script line so the editor can show any line's look.

#include "Entity.h"

#include <SFML/Graphics/Sprite.hpp>
#include <SFML/Graphics/Texture.hpp>

#include <memory>

namespace zel
{

/// One line's look of a picture: the SFML sprite with its position, rotation, scale and colour.
class sSprite : public sf::Sprite
{
};

class NSprite : public NEntity
{
public:
    NSprite(NType type, std::wstring entityName, int entityLayer);

    /// Loads an image of the virtual file system and gives the picture a state showing it.
    bool LoadImage(const std::wstring& path);

    void Draw(int mainLine) override;
    int getCreatedLine() const override;
    sSprite* getCurrentSprite() override;
    sSprite* pushNewState(int line) override;

private:
    std::map<int, std::shared_ptr<sSprite>> m_SpriteStates;
    std::shared_ptr<sf::Texture> m_texture;
};

} // namespace zel
