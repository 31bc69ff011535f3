#pragma once
// Timed animations of one property of one entity: alpha (the volume of music and sound), position, rotation and
// scale. An entity keeps its tweens under the lines that started them and runs them every frame; each run works
// from the absolute time since the start, so an animation keeps its length whatever the frame rate.

#include <SFML/Graphics/Transformable.hpp>
#include <SFML/System/Vector2.hpp>

#include <cstdint>
#include <vector>

namespace zel
{

class NEntity;

enum TweenType : std::int32_t
{
    TWEEN_ALPHA = 0,
    TWEEN_MOVE = 1,
    TWEEN_ROTATE = 2,
    TWEEN_ZOOM = 3
};

namespace Easing
{
/// start + change * t / d, exactly start + change once t passes d.
double Linear(double t, double start, double change, double d);
/// Quadratic ease in and out, exactly start + change once t passes d.
double EaseInOutQuad(double t, double start, double change, double d);
} // namespace Easing

struct Tween
{
    TweenType type = TWEEN_ALPHA;
    std::int32_t synchronous = 0;
    double startTime = 0.0; ///< milliseconds of the engine clock
    double duration = 0.0;  ///< milliseconds; 0 jumps to the target, a negative duration never applies
    sf::Vector2f startPos;
    sf::Vector2f targetPos;
    std::int32_t startValue = 0;
    std::int32_t targetValue = 0;
    bool removeAtEnd = false; ///< alpha tweens: the entity is marked for removal when it reaches 0

    /// Runs one step; true when the tween has finished (a missing entity counts as finished).
    static bool execTween(NEntity* entity, const Tween& tween, int triggerLine);
    /// Applies the value the tween has after elapsed milliseconds.
    static void applyTween(NEntity* entity, const Tween& tween, double elapsed);
};

/// What rotate and zoom turn and scale: the drawables of the entity's current look, and the size they pivot on.
struct TransformableSet
{
    std::vector<sf::Transformable*> items; ///< a null entry means the look has no such part
    sf::Vector2i size;
};

TransformableSet CollectTransformables(NEntity& entity);
/// Moves the origin of every collected drawable to the centre of the set's size without moving what is seen.
void PivotOnCentre(TransformableSet& set);
/// Pushes a new state at the main line so that a tween changes a state recorded at that line; the transformable
/// part of that state, or null.
sf::Transformable* PushStateForTween(NEntity& entity);
/// The transformable part of the current state, without pushing; null when there is none.
sf::Transformable* CurrentTransformable(NEntity& entity);

} // namespace zel
