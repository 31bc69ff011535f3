// How one look is put on the screen: through the camera's transform or untransformed, with the bounding-box
// outline the editor can switch on.

#include "entities/NCamera.h"
#include "entities/NSprite.h"

#include "core/Services.h"
#include <SFML/Graphics/Text.hpp>

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

namespace
{
/// Draws a picture or a text through the camera (or not) and, when the host asked for bounding boxes, its outline
/// of size over it (drawn under it, an opaque picture would hide its own outline).
template <typename Shape> void DrawOutlined(const Shape& shape, bool useCamera, sf::Vector2f size, sf::Color colour)
{
    sf::RenderTarget* target = Services::RenderTarget();
    if (target == nullptr)
        return;
    Services::ActivateRenderWindow();
    const sf::RenderStates states = StatesFor(useCamera);
    target->draw(shape, states);
    const SystemVariables* sysVars = Services::SysVars();
    if (sysVars != nullptr && sysVars->boundingBoxDisplay)
        DrawBoundingBox(*target, shape, size, states, colour);
}
} // namespace

void Services::DrawState(const sf::Sprite& state, bool useCamera)
{
    const sf::IntRect rect = state.getTextureRect();
    DrawOutlined(state, useCamera, sf::Vector2f(static_cast<float>(rect.width), static_cast<float>(rect.height)),
                 sf::Color(255, 0, 0, 255));
}

void Services::DrawText(const sf::Text& text, bool useCamera)
{
    const sf::FloatRect bounds = text.getLocalBounds();
    DrawOutlined(text, useCamera, sf::Vector2f(bounds.left + bounds.width, bounds.top + bounds.height),
                 sf::Color(0, 255, 0, 255));
}

} // namespace zel
