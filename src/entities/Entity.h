#pragma once
// The common base of everything a script creates and the engine draws or plays, and the registry that holds the
// entities of one novel state by layer, by creating line and by name.

#include "entities/LineValue.h"
#include "entities/Tween.h"

#include <SFML/Graphics/Color.hpp>
#include <SFML/Graphics/Rect.hpp>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace zel
{

class sSprite;
class NSprite;
class NCamera;
class NBacklog;

/// Type tag of an entity.
enum NType : std::uint8_t
{
    NTYPE_NONE = 0,
    NTYPE_ALL = 1,
    NTYPE_CG = 2,
    NTYPE_BG = 3,
    NTYPE_TEXTBOX = 4,
    NTYPE_BUTTON = 5,
    NTYPE_SFX = 6,
    NTYPE_VOICE = 7,
    NTYPE_SYSBUTTON = 8,
    NTYPE_TRACKBAR = 9,
    NTYPE_CAMERA = 10,
    NTYPE_BACKLOG = 11,
    NTYPE_BGM = 12,
    NTYPE_WAITICON = 13
};

/// Base of every entity: its type, name, layer history, removal mark and pending tweens. Held through shared handles
/// by the registry and by whatever works on it.
class NEntity
{
public:
    NEntity();
    NEntity(NType type, std::wstring entityName, int entityLayer);
    virtual ~NEntity() = default;

    /// Per-frame work; subclasses do their own and then call this. Puts the entity back on its earlier layer when the
    /// editor moved before a layer change, and runs the tweens.
    virtual void Update();
    virtual void Draw(int mainLine) = 0;
    /// Line of the script that created the entity, or -1 when it has no line of its own.
    virtual int getCreatedLine() const { return -1; }
    virtual sSprite* getCurrentSprite() { return nullptr; }
    virtual sSprite* pushNewState(int line);
    virtual std::wstring getSrcScriptName() const { return L""; }
    /// Text boxes: true while the text is still being revealed letter by letter.
    virtual bool isTextFlowing() const { return false; }
    /// Text boxes: the text being shown.
    virtual std::wstring shownText() const { return L""; }

    // Buttons and sliders: what the pointer does to the entities of the registry's interactive list.
    /// A disabled button answers the pointer (it takes the click) but does nothing.
    virtual bool isDisabled() const { return false; }
    /// A button that a wait for a button choice does not count as the choice.
    virtual bool isExcludedFromSelection() const { return false; }
    /// Sliders: a press over the knob starts dragging it.
    virtual bool isSlider() const { return false; }
    /// Shows the touched look (the pointer is over it) or the normal look; a change of look is reported.
    virtual void setTouched(bool) {}
    /// Shows the clicked look.
    virtual void setClicked() {}
    /// A press with trigger "left.click" or "right.click"; true when the button handled it.
    virtual bool Click(const std::wstring&) { return false; }
    /// Sliders: the pointer moved to position (world coordinates) while the knob is dragged.
    virtual void Drag(float, float) {}

    /// Colour by type: the current look's colour for pictures; for music and sound the volume read as alpha.
    virtual sf::Color getColor();
    virtual void setColor(const sf::Color& colour);

    int getLayer() { return layer.get(true); }
    void setLayer(int value) { layer.set(value, false); }
    bool isMarkedRemoved() { return removed.get(true); }
    void markRemoved(bool value, bool append)
    {
        removed.set(value, append);
        ReportChange();
    }
    /// Tells the frame loop that this entity looks different now than in the frame on screen. Changes made by a
    /// script line, an export or input are reported for the entity; what changes with time alone (tweens, a
    /// flowing text, a blinking icon, a hover look) is reported by the entity itself, from its Update or the setter.
    static void ReportChange();
    /// The same for a change that stays within area (view coordinates, after the camera): the frame loop may then
    /// draw only that area.
    static void ReportChange(const sf::FloatRect& area);

    /// Records a tween at the main line; while editing (or skipping) it runs at once.
    void addTween(const Tween& tween);
    /// Runs the pending tweens; while editing, tweens started after mainLine are dropped.
    void execTweens(int mainLine);

    LineValue<Tween> tweens;
    LineValue<int> layer{-1};
    NType nType = NTYPE_NONE;
    std::wstring name;
    bool inCamera() { return incamera.get(true); }
    void setInCamera(bool value) { incamera.set(value, false); }
    bool includeInScreenshot = true;
    LineValue<bool> removed{false};
    /// Drawn through the camera; each bg or cg line sets it anew.
    LineValue<bool> incamera{true};
    std::uint8_t creatorKind = 1;

protected:
    /// Music and sound: the playing volume, or -1 when nothing plays. Pictures have none.
    virtual float audioVolume() const { return -1.0f; }
    /// Music and sound: sets the playing volume; at 0 the stream stops.
    virtual void setAudioVolume(float) {}

private:
    /// While editing: the layer was changed at a line after the one shown; queue the move back.
    void RewindLayerIfNeeded();
};

using EntityPtr = std::shared_ptr<NEntity>;
using EntityList = std::vector<EntityPtr>;

/// The entities of one novel state. Copying it shares the entity objects, which is what play-testing relies on.
struct EntityRegistry
{
    std::map<int, EntityList> entityLayers;
    std::map<int, EntityList> entityLines;
    std::unordered_map<std::wstring, EntityPtr> m_nameReferences;
    std::shared_ptr<NSprite> pWaitIcon;
    std::shared_ptr<NCamera> pCamera;
    std::shared_ptr<NBacklog> pBacklog;
    /// Buttons, system buttons and sliders in creation order: the entities the pointer can press.
    EntityList interactives;

    /// Registers an entity under its layer (and, while editing, its line); a taken name registers nothing.
    bool InsNovelEntity(const EntityPtr& entity, int entityLayer, const std::wstring& entityName);
    /// The entity of that name, or empty; quiet.
    EntityPtr Find(const std::wstring& entityName) const;
    /// The entity of that name, or empty; with log set, a found entity is reported with its line.
    EntityPtr findEntityWithName(const std::wstring& entityName, bool log) const;
    /// The first entity of that type in layer order, reported when found.
    EntityPtr findEntityWithNType(NType type) const;
    /// Every entity of a type in layer order (NTYPE_ALL: every entity), never the backlog's text box. With
    /// thisScriptOnly, buttons count only when the running script made them.
    EntityList getEntitiesWithNType(NType type, bool thisScriptOnly) const;
    /// Number of entities in all layer lists.
    std::size_t CountInLayers() const;
    /// While editing: puts each layer list back in the order a read from the top to line gives, where an entity
    /// stands by the last line at or before line that put it into its list (creation or a layer move).
    void RestoreLayerOrder(int line);
};

} // namespace zel
