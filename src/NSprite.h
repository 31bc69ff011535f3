#pragma once
// A picture on the screen (background, cg, the wait-for-input icon, the editor's placeable picture), with one
// sprite state per script line so the editor can show any line's look.

#include "Entity.h"

#include <SFML/Graphics/Sprite.hpp>

#include <memory>

namespace zel
{

class Texture;

/// One line's look of a picture: the SFML sprite with its position, rotation, scale and colour. Each state holds
/// its own texture, so an earlier line's look stays drawable after a later line changed the image.
class sSprite : public sf::Sprite
{
public:
    /// Shows texture and keeps it alive as long as this state lives.
    void showTexture(std::shared_ptr<Texture> texture);
    bool hasTexture() const { return m_texture != nullptr; }

private:
    std::shared_ptr<Texture> m_texture;
};

class NSprite : public NEntity
{
public:
    NSprite(NType type, std::wstring entityName, int entityLayer);

    /// Takes the image from the texture pool and gives the picture a state showing it.
    bool LoadImage(const std::wstring& path);

    void Draw(int mainLine) override;
    int getCreatedLine() const override;
    sSprite* getCurrentSprite() override;
    sSprite* pushNewState(int line) override;

private:
    std::map<int, std::shared_ptr<sSprite>> m_SpriteStates;
};

} // namespace zel
