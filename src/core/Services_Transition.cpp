// The image-mask screen transition: after the entities of each drawn frame, an overlay in the fill colour whose
// alpha follows the mask's red channel uncovers (in) or covers (out) the scene, darkest mask pixels first.

#include "core/Clock.h"
#include "core/SceneChanges.h"
#include "core/Services.h"
#include "resources/Logger.h"
#include "resources/ResourcePool.h"
#include "script/Parser.h"

#include <SFML/Graphics/Image.hpp>
#include <SFML/Graphics/Sprite.hpp>

#include <algorithm>
#include <cstdint>
#include <memory>

namespace zel
{
namespace
{
/// What the running transition keeps across frames.
struct TransitionState
{
    std::shared_ptr<Texture> mask;
    std::unique_ptr<sf::Image> maskPixels;
    Clock::time_point start;
};
TransitionState g_transition;

/// Ends the transition and lets the stopped script go on; a transition out leaves an empty scene.
void Finish(SystemVariables& sysVars)
{
    sysVars.transitionImage.clear();
    sysVars.transitionStartPending = false;
    g_transition.mask.reset();
    g_transition.maskPixels.reset();
    if (!sysVars.transitionIn)
    {
        Services::RemoveEntities();
        if (Services::pRenderWindow != nullptr)
            Services::pRenderWindow->clear(sysVars.clearColour.get(true));
    }
    if (std::shared_ptr<Parser> parser = CurParser())
        parser->m_ParserState = PARSE_CONT;
}

/// Takes the mask from the pool when the transition starts; false while there is none to draw with.
bool StartIfPending(SystemVariables& sysVars)
{
    if (!sysVars.transitionStartPending)
        return g_transition.mask != nullptr && g_transition.maskPixels != nullptr;
    g_transition.start = Clock::Now();
    if (!ResourcePool<Texture>::getResource(g_transition.mask, sysVars.FilePath(DATA_IMAGES, sysVars.transitionImage)))
    {
        // A mask that cannot be loaded never will be: waiting for it would keep the script stopped for good.
        OutputDebugStringN(L"\nERROR. (ScreenTransition) mask image:%s cannot be loaded. transition dropped %s \n",
                           sysVars.transitionImage.c_str(), ScriptPlace().c_str());
        Finish(sysVars);
        return false;
    }
    g_transition.maskPixels = std::make_unique<sf::Image>(g_transition.mask->texture.copyToImage());
    sysVars.transitionStartPending = false;
    return true;
}

/// The overlay at a level: a mask pixel at or above the level shows its distance from it, the rest is done.
sf::Image Overlay(const sf::Image& mask, std::int64_t level, sf::Color fill, bool transitionIn)
{
    const sf::Vector2u size = mask.getSize();
    sf::Image overlay;
    overlay.create(size.x, size.y, fill);
    for (unsigned y = 0; y < size.y; ++y)
        for (unsigned x = 0; x < size.x; ++x)
        {
            const std::int64_t m = mask.getPixel(x, y).r;
            std::int64_t alpha = transitionIn ? 0 : 255;
            if (m >= level)
                alpha = transitionIn ? m - level : 255 - (m - level);
            fill.a = static_cast<sf::Uint8>(std::clamp<std::int64_t>(alpha, 0, 255));
            overlay.setPixel(x, y, fill);
        }
    return overlay;
}

void DrawOverlay(const sf::Image& overlay)
{
    sf::Texture texture;
    if (!texture.loadFromImage(overlay))
        return;
    sf::Sprite sprite(texture);
    const sf::Vector2f view = Services::pRenderWindow->getView().getSize();
    sprite.setScale(view.x / static_cast<float>(overlay.getSize().x), view.y / static_cast<float>(overlay.getSize().y));
    Services::pRenderWindow->draw(sprite);
}
} // namespace

void Services::DrawScreenTransition()
{
    SystemVariables* sysVars = SysVars();
    if (sysVars == nullptr || pRenderWindow == nullptr || sysVars->transitionImage.empty())
        return;
    SceneChanges::Report(); // every frame of a transition, and the one after its end, differs from the last
    if (!StartIfPending(*sysVars))
        return;
    const std::int64_t duration = sysVars->transitionDuration;
    const std::int64_t elapsed = Clock::MillisecondsSince(g_transition.start);
    if (duration <= 0 || elapsed > duration)
    {
        Finish(*sysVars);
        return;
    }
    // Under 255 ms a level step would be less than a millisecond; the levels then go one per millisecond.
    const std::int64_t level = (elapsed % duration) / std::max<std::int64_t>(1, duration / 255);
    const sf::Color fill = sysVars->transitionIn ? sf::Color::White : sysVars->clearColour.get(true);
    DrawOverlay(Overlay(*g_transition.maskPixels, level, fill, sysVars->transitionIn));
}

void Services::ReleaseScreenTransition()
{
    g_transition = TransitionState{};
}

} // namespace zel
