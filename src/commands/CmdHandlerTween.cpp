// The animation commands (fadein, fadeout, alpha, move, rotate, zoom), which start tweens at the main line so that
// editing can undo them, the image-mask screen transitions, and the display commands that change an entity at once.

#include "commands/CmdHandlers.h"
#include "core/Assert.h"
#include "core/Clock.h"
#include "core/Services.h"
#include "entities/NBacklog.h"
#include "entities/NCamera.h"
#include "entities/NSprite.h"
#include "resources/Logger.h"
#include "resources/NHelper.h"
#include "script/Parser.h"

#include <algorithm>

namespace zel
{
namespace CmdHandlers
{
namespace
{
/// The targets of an animation command, and where the arguments after them begin.
struct Targets
{
    EntityList entities;  ///< a null entry stands for a name that no entity has
    std::size_t next = 0; ///< position (counted from 1) of the first token after the targets
    bool byType = false;
};

/// Tweens take time only while playing, or while the host shows animations in the editor.
bool TweensTakeTime()
{
    const SystemVariables* sysVars = Services::SysVars();
    return !lineContext::Editing() || (sysVars != nullptr && sysVars->tweenAnimationDisplay);
}

/// The camera for the camera's word, else the entity of that name (null when there is none).
EntityPtr TargetNamed(const EntityRegistry& entities, const std::wstring& name)
{
    if (IsWord(name, L"Types_camera"))
        return entities.pCamera;
    return entities.findEntityWithName(name, true);
}

/// Token 2, and each further token while the one before it ends with a comma, names one target.
Targets NameList(const EntityRegistry& entities, const Tokens& tokens)
{
    Targets targets;
    std::size_t position = 2;
    for (bool more = true; more && position <= tokens.size(); ++position)
    {
        std::wstring name = tokens[position - 1];
        more = !name.empty() && name.back() == L',';
        if (more)
            name.pop_back();
        targets.entities.push_back(TargetNamed(entities, name));
    }
    targets.next = position;
    return targets;
}

/// The entity type whose script word token is, or NTYPE_NONE. The camera's word names the camera itself, which no
/// layer list holds.
NType TypeNamed(const std::wstring& token)
{
    const SystemVariables* sysVars = Services::SysVars();
    if (sysVars == nullptr)
        return NTYPE_NONE;
    for (const auto& [type, key] : sysVars->entityTypeNames)
        if (type != NTYPE_CAMERA && IsWord(token, key.c_str()))
            return static_cast<NType>(type);
    return NTYPE_NONE;
}

/// A type word at token 2 (with "here" as token 4 on a line of 4: only what this script made), else a name list.
Targets FadeTargets(const EntityRegistry& entities, const Tokens& tokens)
{
    const NType type = TypeNamed(tokens[1]);
    if (type == NTYPE_NONE)
        return NameList(entities, tokens);
    Targets targets;
    targets.byType = true;
    targets.entities = entities.getEntitiesWithNType(type, tokens.size() == 4 && tokens[3] == L"here");
    targets.next = 3;
    return targets;
}

/// The token at position (counted from 1) as a number of milliseconds, or 0 while tweens take no time (editing
/// without the animation display) or the line has no such token. False when the token is not a number.
bool ReadDuration(const Tokens& tokens, std::size_t position, double& duration)
{
    duration = 0.0;
    if (position > tokens.size() || !TweensTakeTime())
        return true;
    if (!NHelper::IsNumberTokens({tokens[position - 1]}, true))
        return false;
    try
    {
        duration = NHelper::ToFloat(tokens[position - 1]);
        return true;
    }
    catch (const std::exception&)
    {
        return false;
    }
}

/// What the parser waits for: the duration token as whole milliseconds on a synchronous line, else -1.
int WaitFor(const Tokens& tokens, int position, bool sync)
{
    if (!sync || position < 1 || static_cast<std::size_t>(position) > tokens.size() ||
        !NHelper::IsNumber(tokens[position - 1], true))
        return -1;
    try
    {
        return NHelper::ToInt(tokens[position - 1]);
    }
    catch (const std::exception&)
    {
        return -1;
    }
}

Tween StartTween(TweenType type, double duration, bool sync)
{
    Tween tween;
    tween.type = type;
    tween.startTime = Clock::Milliseconds();
    tween.duration = duration;
    tween.synchronous = sync ? 1 : 0;
    return tween;
}

/// A tween without duration takes effect at once; a timed one is kept by the entity, which runs it every frame.
void RunOrAdd(NEntity& entity, const Tween& tween)
{
    if (tween.duration == 0.0)
        Tween::execTween(&entity, tween, lineContext::MainLine());
    else
        entity.addTween(tween);
}

/// The fade's alpha values: from (-1: the entity's current alpha) to (-1: the ALPHA token).
struct FadeRequest
{
    int from = -1;
    int to = -1;
    bool broken = false; ///< the ALPHA or DURATION token is not a number: every target goes to alpha 0 at once
    int given = 0;       ///< the ALPHA token, read
    double duration = 0.0;
};

/// Reads the ALPHA token (or, for fadein and fadeout, the DURATION token) at position f.
void ReadFadeIndex(const Tokens& tokens, std::size_t f, FadeRequest& fade)
{
    if (f > tokens.size())
        return;
    if (NHelper::IsNumber(tokens[f - 1], true))
    {
        try
        {
            fade.given = NHelper::ToInt(tokens[f - 1]);
            return;
        }
        catch (const std::exception&)
        {
        }
    }
    OutputDebugStringN(L"\nERROR. (HandleFade) parseTokens[fadeIdx]:%s is not a number. readlineno:%i %s \n",
                       tokens[f - 1].c_str(), lineContext::MainLine(), ScriptPlace().c_str());
    fade.broken = true;
}

/// Music fades between silence and the player's music volume rather than full alpha.
int MusicLevel(const NEntity& entity, int alpha)
{
    const SystemVariables* sysVars = Services::SysVars();
    if (entity.nType != NTYPE_BGM || alpha != 255 || sysVars == nullptr)
        return alpha;
    return sysVars->sysBgmVolume;
}

/// Gives one target its alpha tween; false when the fade stops here (a fade-in of an entity at alpha 0).
bool FadeOne(NEntity& entity, const FadeRequest& fade, bool sync)
{
    const int current = entity.getColor().a;
    int start = fade.from == -1 ? current : fade.from;
    int target = fade.to == -1 ? fade.given : fade.to;
    if (fade.broken)
        start = target = 0;
    if (start == 1 && current == 0)
        return false;
    PushStateForTween(entity);
    Tween tween = StartTween(TWEEN_ALPHA, fade.broken ? 0.0 : fade.duration, sync);
    tween.startValue = MusicLevel(entity, start);
    tween.targetValue = MusicLevel(entity, target);
    tween.removeAtEnd = fade.to == 0;
    entity.addTween(tween);
    if (lineContext::Editing() && fade.to == 0)
        entity.markRemoved(true, false);
    return true;
}

/// One fade over the targets of the line; the position of its duration token, or -1 when it started nothing.
int HandleFade(const Tokens& tokens, int from, int to, bool sync)
{
    EntityRegistry* entities = Services::Entities();
    if (entities == nullptr)
        return -1;
    const Targets targets = FadeTargets(*entities, tokens);
    if (targets.byType && targets.entities.empty())
    {
        OutputDebugStringN(L"\nERROR. [HandleFade] entity:%s does not exist %s \n", tokens[1].c_str(),
                           ScriptPlace().c_str());
        return -1;
    }
    const std::size_t f = targets.next;
    const std::size_t d = from == -1 ? f + 1 : f;
    if (to == -1 && f > tokens.size())
        return -1; // alpha with a name list and no ALPHA after it
    FadeRequest fade;
    fade.from = from;
    fade.to = to;
    ReadFadeIndex(tokens, f, fade);
    if (!fade.broken && !ReadDuration(tokens, d, fade.duration))
        return -1;
    for (const EntityPtr& entity : targets.entities)
        if (entity != nullptr && !FadeOne(*entity, fade, sync))
            return -1;
    return static_cast<int>(d);
}

/// The position a move gives one coordinate. A signed value moves by that much in the picture's own units; any
/// other value places the picture's top-left corner there.
float MovedTo(const std::wstring& value, float base, float origin, float scale)
{
    const float number = NHelper::ToFloat(value);
    const bool relative = value.size() > 1 && (value.front() == L'+' || value.front() == L'-');
    if (relative)
        return base + (scale == 0.f ? number : number / scale);
    return number + origin * scale;
}

/// Where the entity is heading: the target of its latest tween when that one is a move, else where it stands. While
/// editing, a tween of the line being read again is no longer the latest.
sf::Vector2f MoveBase(NEntity& entity, const sf::Transformable& look)
{
    const auto& recorded = entity.tweens.entries();
    auto end = lineContext::Editing() ? recorded.lower_bound(lineContext::MainLine()) : recorded.end();
    if (end == recorded.begin())
        return look.getPosition();
    const Tween& latest = std::prev(end)->second;
    return latest.type == TWEEN_MOVE ? latest.targetPos : look.getPosition();
}

void MoveOne(NEntity& entity, const std::wstring& x, const std::wstring& y, double duration, bool sync)
{
    sf::Transformable* look = PushStateForTween(entity);
    if (!QH_ASSERT(look != nullptr, L"pTransformable != nullptr", L"CmdHandlerTween", 399))
        return;
    const sf::Vector2f base = MoveBase(entity, *look);
    Tween tween = StartTween(TWEEN_MOVE, duration, sync);
    tween.startPos = look->getPosition();
    tween.targetPos = sf::Vector2f(MovedTo(x, base.x, look->getOrigin().x, look->getScale().x),
                                   MovedTo(y, base.y, look->getOrigin().y, look->getScale().y));
    RunOrAdd(entity, tween);
}

/// rotate and zoom: one value tween from what the look shows now (whole degrees, or whole percent of the x scale).
int TurnOrScale(const Tokens& tokens, bool sync, TweenType type, int assertLine)
{
    EntityRegistry* entities = Services::Entities();
    if (entities == nullptr)
        return -1;
    const Targets targets = NameList(*entities, tokens);
    const std::size_t valueAt = targets.next;
    std::vector<int> value;
    if (tokens.size() < valueAt || !ReadInts(tokens, {valueAt}, value, type == TWEEN_ROTATE ? L"rotate" : L"zoom"))
        return -1;
    double duration = 0.0;
    if (valueAt + 1 <= tokens.size() && NHelper::IsNumber(tokens[valueAt], true))
        ReadDuration(tokens, valueAt + 1, duration);
    for (const EntityPtr& entity : targets.entities)
    {
        if (entity == nullptr)
            continue;
        sf::Transformable* look = PushStateForTween(*entity);
        if (!QH_ASSERT(look != nullptr, L"pTransformable != nullptr", L"CmdHandlerTween", assertLine))
            continue;
        Tween tween = StartTween(type, duration, sync);
        tween.startValue =
            type == TWEEN_ROTATE ? static_cast<int>(look->getRotation()) : static_cast<int>(look->getScale().x * 100.f);
        tween.targetValue = value[0];
        RunOrAdd(*entity, tween);
    }
    return WaitFor(tokens, static_cast<int>(valueAt + 1), sync);
}

/// alphaFadein and alphaFadeout: the frame loop carries the transition out, and the script waits for its end.
void RequestTransition(const Tokens& tokens, bool in)
{
    SystemVariables* sysVars = Services::SysVars();
    std::vector<int> duration;
    if (lineContext::Editing() || sysVars == nullptr || tokens.size() != 3 ||
        !ReadInts(tokens, {3}, duration, in ? L"alphaFadein" : L"alphaFadeout"))
        return;
    sysVars->transitionImage = tokens[1];
    sysVars->transitionDuration = duration[0];
    sysVars->transitionIn = in;
    sysVars->transitionStartPending = true;
    if (std::shared_ptr<Parser> parser = CurParser())
        parser->m_ParserState = PARSE_STOP;
}

/// Takes the entity out of the list of oldLayer and appends it to the list of newLayer. When that list does not
/// hold it (an earlier move went elsewhere), it is taken from whichever list does, so it is never lost or doubled.
void MoveBetweenLayerLists(EntityRegistry& entities, const EntityPtr& entity, int oldLayer, int newLayer)
{
    auto takeFrom = [&](EntityList& list) {
        auto found = std::find(list.begin(), list.end(), entity);
        if (found == list.end())
            return false;
        list.erase(found);
        return true;
    };
    bool taken = false;
    auto oldList = entities.entityLayers.find(oldLayer);
    if (oldList != entities.entityLayers.end())
        taken = takeFrom(oldList->second);
    for (auto it = entities.entityLayers.begin(); !taken && it != entities.entityLayers.end(); ++it)
        taken = takeFrom(it->second);
    if (taken)
        entities.entityLayers[newLayer].push_back(entity);
}
} // namespace

int ExecuteFadein(const Tokens& tokens, bool sync)
{
    if (IsWord(tokens[1], L"Types_backlog"))
    {
        OutputDebugStringN(L"display backlog \n");
        if (EntityRegistry* entities = Services::Entities(); entities != nullptr && entities->pBacklog != nullptr)
            entities->pBacklog->scroll("up");
        return -1;
    }
    return WaitFor(tokens, HandleFade(tokens, 1, 255, sync), sync);
}

int ExecuteFadeout(const Tokens& tokens, bool sync)
{
    if (IsWord(tokens[1], L"Types_backlog"))
    {
        OutputDebugStringN(L"dismiss backlog \n");
        if (SystemVariables* sysVars = Services::SysVars())
            sysVars->backlogDisplay = LineValue<bool>(false);
        return -1;
    }
    return WaitFor(tokens, HandleFade(tokens, 255, 0, sync), sync);
}

int ExecuteAlpha(const Tokens& tokens, bool sync)
{
    return WaitFor(tokens, HandleFade(tokens, -1, -1, sync), sync);
}

int ExecuteMove(const Tokens& tokens, bool sync)
{
    EntityRegistry* entities = Services::Entities();
    if (entities == nullptr)
        return -1;
    const Targets targets = NameList(*entities, tokens);
    const std::size_t xAt = targets.next;
    if (tokens.size() < xAt + 1 || !NHelper::IsNumberTokens({tokens[xAt - 1], tokens[xAt]}, true))
        return -1;
    if (tokens.size() == xAt + 2 && !NHelper::IsNumberTokens({tokens[xAt + 1]}, true))
        return -1;
    double duration = 0.0;
    if (tokens.size() == xAt + 2)
        ReadDuration(tokens, xAt + 2, duration);
    // Tweens still running advance first, so that a relative move starts from where they stand now.
    Services::UpdateEngine(false, false);
    try
    {
        for (const EntityPtr& entity : targets.entities)
            if (entity != nullptr)
                MoveOne(*entity, tokens[xAt - 1], tokens[xAt], duration, sync);
    }
    catch (const std::exception& e)
    {
        OutputDebugStringN(L"\nERROR. (ExecuteMove) %s. line ignored %s \n", NHelper::s2ws(e.what()).c_str(),
                           ScriptPlace().c_str());
        return -1;
    }
    return WaitFor(tokens, static_cast<int>(xAt + 2), sync);
}

int ExecuteRotate(const Tokens& tokens, bool sync)
{
    return TurnOrScale(tokens, sync, TWEEN_ROTATE, 236);
}

int ExecuteZoom(const Tokens& tokens, bool sync)
{
    return TurnOrScale(tokens, sync, TWEEN_ZOOM, 317);
}

int ExecuteAlphaFadein(const Tokens& tokens)
{
    RequestTransition(tokens, true);
    return -1;
}

int ExecuteAlphaFadeout(const Tokens& tokens)
{
    RequestTransition(tokens, false);
    return -1;
}

namespace
{
/// The entity a display line names, or null with an ERROR naming the line when there is none.
EntityPtr NamedEntity(const std::wstring& name, const wchar_t* who)
{
    EntityRegistry* entities = Services::Entities();
    EntityPtr entity = entities != nullptr ? entities->findEntityWithName(name, true) : nullptr;
    if (entity == nullptr)
        OutputDebugStringN(L"ERROR. [%s] ENTITY DOES NOT EXIST:%s %s \n", who, name.c_str(), ScriptPlace().c_str());
    return entity;
}
} // namespace

void ExecuteLayer(const Tokens& tokens, int oldLayer)
{
    if (tokens.size() < 3 || !NHelper::IsNumberTokens({tokens[2]}, true))
        return;
    EntityRegistry* entities = Services::Entities();
    EntityPtr entity = NamedEntity(tokens[1], L"ExecuteLayer");
    if (entities == nullptr || entity == nullptr)
        return;
    int newLayer = 0;
    try
    {
        newLayer = NHelper::ToInt(tokens[2]);
    }
    catch (const std::exception& e)
    {
        OutputDebugStringN(L"\nERROR. (ExecuteLayer) %s. line ignored \n", NHelper::s2ws(e.what()).c_str());
        return;
    }
    const int from = oldLayer == kCurrentLayer ? entity->getLayer() : oldLayer;
    entity->setLayer(newLayer);
    MoveBetweenLayerLists(*entities, entity, from, newLayer);
}

void RewindLayerList(const std::wstring& name, int fromLayer, int toLayer)
{
    EntityRegistry* entities = Services::Entities();
    if (entities == nullptr)
        return;
    if (EntityPtr entity = entities->Find(name))
        MoveBetweenLayerLists(*entities, entity, fromLayer, toLayer);
}

void ExecuteImage(const Tokens& tokens)
{
    EntityPtr entity = NamedEntity(tokens[1], L"ExecuteImage");
    if (entity == nullptr)
        return;
    // A file that cannot be loaded leaves the new state showing the image it had.
    if (sSprite* state = entity->pushNewState(lineContext::MainLine()))
        state->loadTexture(tokens[2]);
}

void ExecuteRGB(const Tokens& tokens)
{
    std::vector<int> rgb;
    if (!ReadInts(tokens, {3, 4, 5}, rgb, L"ExecuteRGB"))
        return;
    EntityPtr entity = NamedEntity(tokens[1], L"ExecuteRGB");
    if (entity == nullptr)
        return;
    PushStateForTween(*entity);
    auto low8 = [](int value) {
        return static_cast<sf::Uint8>(value & 0xFF);
    };
    entity->setColor(sf::Color(low8(rgb[0]), low8(rgb[1]), low8(rgb[2]), 255));
}

void ExecuteCameraReset(const Tokens&)
{
    EntityRegistry* entities = Services::Entities();
    if (entities == nullptr || entities->pCamera == nullptr)
        return;
    if (sSprite* state = entities->pCamera->pushCameraState(lineContext::MainLine()))
        *state = sSprite();
}

} // namespace CmdHandlers
} // namespace zel
