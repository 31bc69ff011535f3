#include "entities/Tween.h"

#include "core/Clock.h"
#include "core/Services.h"
#include "entities/Entity.h"
#include "entities/NCamera.h"
#include "entities/NSprite.h"
#include "entities/NTextbox.h"
#include "resources/Logger.h"

#include <algorithm>

namespace zel
{

double Easing::Linear(double t, double start, double change, double d)
{
    if (t > d)
        return start + change;
    return start + change * t / d;
}

double Easing::EaseInOutQuad(double t, double start, double change, double d)
{
    if (t > d)
        return start + change;
    double half = t / (d / 2.0);
    if (half < 1.0)
        return start + change / 2.0 * half * half;
    half -= 1.0;
    return start - change / 2.0 * (half * (half - 2.0) - 1.0);
}

namespace
{
/// The value of a linear tween after elapsed ms; the target itself for a 0 ms tween.
double LinearValue(const Tween& tween, double elapsed)
{
    if (tween.duration == 0.0)
        return tween.targetValue;
    return Easing::Linear(elapsed, tween.startValue, tween.targetValue - tween.startValue, tween.duration);
}

void ApplyMove(NEntity& entity, const Tween& tween, double elapsed)
{
    sf::Transformable* target = CurrentTransformable(entity);
    if (target == nullptr)
        return;
    if (tween.duration == 0.0)
    {
        target->setPosition(tween.targetPos);
        return;
    }
    const sf::Vector2f change = tween.targetPos - tween.startPos;
    target->setPosition(static_cast<float>(Easing::EaseInOutQuad(elapsed, tween.startPos.x, change.x, tween.duration)),
                        static_cast<float>(Easing::EaseInOutQuad(elapsed, tween.startPos.y, change.y, tween.duration)));
}

void ApplyAlpha(NEntity& entity, const Tween& tween, double elapsed)
{
    sf::Color colour = entity.getColor();
    const int alpha = std::clamp(static_cast<int>(LinearValue(tween, elapsed)), 0, 255);
    if (tween.removeAtEnd && tween.targetValue == 0 && alpha == 0 && !lineContext::Editing())
        entity.markRemoved(true, true);
    colour.a = static_cast<sf::Uint8>(alpha);
    entity.setColor(colour);
    if (entity.nType == NTYPE_TEXTBOX && tween.removeAtEnd && tween.targetValue == 0 && alpha <= 0)
        if (sTextbox* text = static_cast<NTextbox&>(entity).getCurrentText())
            text->setPlainText(L"");
}

void ApplyToEach(NEntity& entity, const std::function<void(sf::Transformable&)>& apply)
{
    TransformableSet set = CollectTransformables(entity);
    PivotOnCentre(set);
    for (sf::Transformable* item : set.items)
    {
        if (item == nullptr)
            return;
        apply(*item);
    }
}
} // namespace

bool Tween::execTween(NEntity* entity, const Tween& tween, int triggerLine)
{
    if (entity == nullptr)
        return true;
    if (!(tween.duration >= 0.0))
        return false;
    const double now = Clock::Milliseconds();
    bool finished = false;
    if (now > tween.startTime + tween.duration)
    {
        OutputDebugStringN(L"[Tween::execTween] fin. name:%s, wanted-duration:%fms, real-duration:%fms, "
                           L"tween-triggerLine:%i \n",
                           entity->name.c_str(), tween.duration, now - tween.startTime, triggerLine);
        finished = true;
    }
    applyTween(entity, tween, now - tween.startTime);
    return finished || Services::Skipping();
}

void Tween::applyTween(NEntity* entity, const Tween& tween, double elapsed)
{
    if (entity == nullptr)
        return;
    if (Services::Skipping())
        elapsed = tween.duration;
    switch (tween.type)
    {
    case TWEEN_MOVE:
        ApplyMove(*entity, tween, elapsed);
        break;
    case TWEEN_ALPHA:
        ApplyAlpha(*entity, tween, elapsed);
        break;
    case TWEEN_ROTATE:
    {
        const float angle = static_cast<float>(LinearValue(tween, elapsed));
        ApplyToEach(*entity, [angle](sf::Transformable& item) { item.setRotation(angle); });
        break;
    }
    case TWEEN_ZOOM:
    {
        const float scale = static_cast<float>(LinearValue(tween, elapsed) / 100.0);
        ApplyToEach(*entity, [scale](sf::Transformable& item) { item.setScale(scale, scale); });
        break;
    }
    default:
        OutputDebugStringN(L"[Tween::applyTween] WARNING. TweenType:%i is not handled \n",
                           static_cast<int>(tween.type));
        break;
    }
}

TransformableSet CollectTransformables(NEntity& entity)
{
    TransformableSet set;
    if (entity.nType == NTYPE_CAMERA)
    {
        set.items.push_back(entity.getCurrentSprite());
        if (Services::pRenderWindow != nullptr)
        {
            const sf::Vector2u window = Services::pRenderWindow->getSize();
            const sf::Vector2f view = Services::pRenderWindow->mapPixelToCoords(
                sf::Vector2i(static_cast<int>(window.x), static_cast<int>(window.y)));
            set.size = sf::Vector2i(static_cast<int>(view.x), static_cast<int>(view.y));
        }
        return set;
    }
    if (entity.nType == NTYPE_TEXTBOX)
    {
        sTextbox* text = static_cast<NTextbox&>(entity).getCurrentText();
        set.items.push_back(text);
        if (text != nullptr)
        {
            const sf::FloatRect bounds = text->shaped().getLocalBounds();
            set.size = sf::Vector2i(static_cast<int>(bounds.left + bounds.width),
                                    static_cast<int>(bounds.top + bounds.height));
        }
        return set;
    }
    sSprite* sprite = entity.getCurrentSprite();
    set.items.push_back(sprite);
    if (sprite != nullptr)
        set.size = sf::Vector2i(sprite->getTextureRect().width, sprite->getTextureRect().height);
    return set;
}

void PivotOnCentre(TransformableSet& set)
{
    const sf::Vector2f centre(static_cast<float>(set.size.x / 2), static_cast<float>(set.size.y / 2));
    for (sf::Transformable* item : set.items)
    {
        if (item == nullptr)
            return;
        // The point that becomes the origin stays where it is seen now, so nothing jumps.
        const sf::Vector2f seenAt = item->getTransform().transformPoint(centre);
        item->setOrigin(centre);
        item->setPosition(seenAt);
    }
}

sf::Transformable* PushStateForTween(NEntity& entity)
{
    const int mainLine = lineContext::MainLine();
    if (entity.nType == NTYPE_CAMERA)
        return static_cast<NCamera&>(entity).pushCameraState(mainLine);
    if (entity.nType == NTYPE_TEXTBOX)
        return static_cast<NTextbox&>(entity).pushTextState(mainLine);
    return entity.pushNewState(mainLine);
}

sf::Transformable* CurrentTransformable(NEntity& entity)
{
    if (entity.nType == NTYPE_TEXTBOX)
        return static_cast<NTextbox&>(entity).getCurrentText();
    return entity.getCurrentSprite();
}

} // namespace zel
