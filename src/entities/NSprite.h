#pragma once
// A picture on the screen (background, cg, the wait-for-input icon, the editor's placeable picture), with one
// sprite state per script line so the editor can show any line's look.

#include "entities/Entity.h"

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
    /// Shows an image of the images folder. A file that cannot be loaded leaves the state as it was.
    bool loadTexture(const std::wstring& fileName);
    bool hasTexture() const { return m_pTexture != nullptr; }

    /// Keeps the pooled texture alive while this state (or a copy of it) shows it.
    std::shared_ptr<Texture> m_pTexture;
};

/// Holds every per-line sprite state of one picture, so the editor can show any line's look.
class NSprite : public NEntity
{
public:
    NSprite(NType type, std::wstring entityName, int entityLayer);

    /// Loads an image of the images folder into the newest state, which need not show anything yet.
    bool loadTexture(const std::wstring& fileName);

    void Update() override;
    void Draw(int mainLine) override;
    int getCreatedLine() const override;
    /// The newest state; null (and logged) while it shows no image.
    sSprite* getCurrentSprite() override;
    /// Copies the newest state into a new one at the main line; re-running a line starts again from the state
    /// before it, while the lines of a called script keep building on the state stored at that line.
    sSprite* pushNewState(int line) override;

    LineValue<sSprite> m_SpriteStates;

    /// Scales a background's look so that it covers area exactly (nothing changes when it already does).
    static void FitToArea(sSprite& state, sf::Vector2f area);
    /// A background always fills the view (not the window, which a letterbox makes larger), whatever its image's
    /// size.
    static void FitToView(sSprite& state);
};

} // namespace zel
