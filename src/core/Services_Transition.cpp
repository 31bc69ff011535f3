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
#include <SFML/Graphics/Texture.hpp>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace zel
{
namespace
{
/// What the running transition keeps across frames: the mask, its red channel (one byte a pixel), and the overlay,
/// whose pixels and texture are rewritten in place whenever its level or colour changes.
struct TransitionState
{
    std::shared_ptr<Texture> mask;
    std::vector<std::uint8_t> maskRed;
    sf::Vector2u size;
    std::vector<std::uint32_t> overlayPixels; ///< RGBA bytes in memory order, as the texture takes them
    std::unique_ptr<sf::Texture> overlay;     ///< made when a transition starts: a texture needs the window's context
    std::int64_t drawnLevel = -1;
    sf::Color drawnFill;
    Clock::time_point start;
};
TransitionState g_transition;

/// Ends the transition and lets the stopped script go on; a transition out leaves an empty scene.
void Finish(SystemVariables& sysVars)
{
    sysVars.transitionImage.clear();
    sysVars.transitionStartPending = false;
    g_transition = TransitionState{};
    if (!sysVars.transitionIn)
    {
        Services::RemoveEntities();
        if (Services::pRenderWindow != nullptr)
            Services::pRenderWindow->clear(sysVars.clearColour.get(true));
    }
    if (std::shared_ptr<Parser> parser = CurParser())
        parser->m_ParserState = PARSE_CONT;
}

/// Keeps the mask's red channel and makes the overlay texture of the mask's size.
bool PrepareOverlay(const sf::Image& mask)
{
    const sf::Vector2u size = mask.getSize();
    g_transition.overlay = std::make_unique<sf::Texture>();
    if (size.x == 0 || size.y == 0 || !g_transition.overlay->create(size.x, size.y))
        return false;
    const std::size_t count = static_cast<std::size_t>(size.x) * size.y;
    const sf::Uint8* pixels = mask.getPixelsPtr();
    g_transition.maskRed.resize(count);
    for (std::size_t i = 0; i < count; ++i)
        g_transition.maskRed[i] = pixels[4 * i];
    g_transition.size = size;
    g_transition.overlayPixels.assign(count, 0);
    g_transition.drawnLevel = -1;
    return true;
}

/// Takes the mask from the pool when the transition starts; false while there is none to draw with.
bool StartIfPending(SystemVariables& sysVars)
{
    if (!sysVars.transitionStartPending)
        return g_transition.overlay != nullptr;
    g_transition.start = Clock::Now();
    if (!ResourcePool<Texture>::getResource(g_transition.mask,
                                            sysVars.FilePath(DATA_IMAGES, sysVars.transitionImage)) ||
        !PrepareOverlay(g_transition.mask->texture.copyToImage()))
    {
        // A mask that cannot be loaded never will be: waiting for it would keep the script stopped for good.
        OutputDebugStringN(L"\nERROR. (ScreenTransition) mask image:%s cannot be loaded. transition dropped %s \n",
                           sysVars.transitionImage.c_str(), ScriptPlace().c_str());
        Finish(sysVars);
        return false;
    }
    sysVars.transitionStartPending = false;
    return true;
}

/// The overlay's alpha over a mask value at a level: a mask value at or above the level shows its distance from it
/// (in) or the rest of it (out); below the level a pixel is done: uncovered (in) or covered (out).
std::uint8_t OverlayAlpha(std::int64_t m, std::int64_t level, bool transitionIn)
{
    std::int64_t alpha = transitionIn ? 0 : 255;
    if (m >= level)
        alpha = transitionIn ? m - level : 255 - (m - level);
    return static_cast<std::uint8_t>(std::clamp<std::int64_t>(alpha, 0, 255));
}

/// Rewrites the overlay's pixels and texture for a level: one look-up per pixel of what each mask value becomes.
void UpdateOverlay(std::int64_t level, sf::Color fill, bool transitionIn)
{
    if (level == g_transition.drawnLevel && fill == g_transition.drawnFill)
        return;
    std::array<std::uint32_t, 256> byMask{};
    for (std::size_t m = 0; m < byMask.size(); ++m)
    {
        fill.a = OverlayAlpha(static_cast<std::int64_t>(m), level, transitionIn);
        const sf::Uint8 bytes[4] = {fill.r, fill.g, fill.b, fill.a};
        std::memcpy(&byMask[m], bytes, sizeof bytes);
    }
    const std::vector<std::uint8_t>& red = g_transition.maskRed;
    std::uint32_t* out = g_transition.overlayPixels.data();
    for (std::size_t i = 0; i < red.size(); ++i)
        out[i] = byMask[red[i]];
    g_transition.overlay->update(reinterpret_cast<const sf::Uint8*>(out));
    g_transition.drawnLevel = level;
    fill.a = 255;
    g_transition.drawnFill = fill;
}

void DrawOverlay()
{
    sf::Sprite sprite(*g_transition.overlay);
    const sf::Vector2f view = Services::pRenderWindow->getView().getSize();
    sprite.setScale(view.x / static_cast<float>(g_transition.size.x), view.y / static_cast<float>(g_transition.size.y));
    Services::pRenderWindow->draw(sprite);
}
} // namespace

void Services::DrawScreenTransition()
{
    SystemVariables* sysVars = SysVars();
    if (pRenderWindow == nullptr)
        return;
    if (sysVars == nullptr || sysVars->transitionImage.empty())
    {
        // The request went away without an end (another novel state): the mask and overlay go with it.
        if (g_transition.overlay != nullptr)
            ReleaseScreenTransition();
        return;
    }
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
    // Under 255 ms a level step would be less than a millisecond; the levels then go one per millisecond. The level
    // grows up to the end itself (elapsed is at most the duration here), never back to the first one.
    const std::int64_t level = elapsed / std::max<std::int64_t>(1, duration / 255);
    sf::Color fill = sysVars->transitionIn ? sf::Color::White : sysVars->clearColour.get(true);
    fill.a = 255;
    UpdateOverlay(level, fill, sysVars->transitionIn);
    DrawOverlay();
}

void Services::ReleaseScreenTransition()
{
    g_transition = TransitionState{};
}

} // namespace zel
