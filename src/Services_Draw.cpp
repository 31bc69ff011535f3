// How one look is put on the screen: through the camera's transform or untransformed, with the bounding-box
// outline the editor can switch on.

#include "NCamera.h"
#include "NSprite.h"

#include <SFML/Graphics/Text.hpp>
#include "Services.h"

#include <SFML/Graphics/RectangleShape.hpp>

namespace zel
{
namespace
{
/// An outline of the drawable's size with its origin, position and scale, but never its rotation, drawn inside
/// its edge.
void DrawBoundingBox(sf::RenderTarget& target, const sf::Transformable& shape, sf::Vector2f size,
                     const sf::RenderStates& states, sf::Color colour)
{
    sf::RectangleShape outline(size);
    outline.setOrigin(shape.getOrigin());
    outline.setPosition(shape.getPosition());
    outline.setScale(shape.getScale());
    outline.setFillColor(sf::Color::Transparent);
    outline.setOutlineColor(colour);
    outline.setOutlineThickness(-4.f);
    target.draw(outline, states);
}

sf::RenderStates StatesFor(bool useCamera)
{
    sf::RenderStates states = sf::RenderStates::Default;
    if (useCamera)
        states.transform = Services::CameraTransform();
    return states;
}
} // namespace

sf::RenderTarget* Services::RenderTarget()
{
    return pRenderWindow.get();
}

sf::Transform Services::CameraTransform()
{
    if (m_NovelStates.empty() || m_NovelStates.back()->entities.pCamera == nullptr)
        return sf::Transform::Identity;
    return m_NovelStates.back()->entities.pCamera->getCurrentSprite()->getTransform();
}

void Services::DrawState(const sf::Sprite& state, bool useCamera)
{
    sf::RenderTarget* target = RenderTarget();
    if (target == nullptr)
        return;
    ActivateRenderWindow();
    const sf::RenderStates states = StatesFor(useCamera);
    const SystemVariables* sysVars = SysVars();
    target->draw(state, states);
    // Over the picture: drawn under it, an opaque picture would hide its own outline.
    if (sysVars != nullptr && sysVars->boundingBoxDisplay)
    {
        const sf::IntRect rect = state.getTextureRect();
        DrawBoundingBox(*target, state, sf::Vector2f(static_cast<float>(rect.width), static_cast<float>(rect.height)),
                        states, sf::Color(255, 0, 0, 255));
    }
}

void Services::DrawText(const sf::Text& text, bool useCamera)
{
    sf::RenderTarget* target = RenderTarget();
    if (target == nullptr)
        return;
    ActivateRenderWindow();
    const sf::RenderStates states = StatesFor(useCamera);
    target->draw(text, states);
    const SystemVariables* sysVars = SysVars();
    if (sysVars != nullptr && sysVars->boundingBoxDisplay)
    {
        const sf::FloatRect bounds = text.getLocalBounds();
        DrawBoundingBox(*target, text, sf::Vector2f(bounds.left + bounds.width, bounds.top + bounds.height), states,
                        sf::Color(0, 255, 0, 255));
    }
}

} // namespace zel
