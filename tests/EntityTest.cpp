// The entity model: tweens recorded per line, the layer rewind, colour read as volume for music, and the registry's
// lookups by type.

#include "CoreFixture.h"
#include "commands/CmdHandlers.h"
#include "core/Clock.h"
#include "entities/NSprite.h"

#include <functional>

using namespace testsupport;
using zel::Tween;

namespace
{
/// An entity of any type whose look needs no image.
class TypedEntity : public zel::NEntity
{
public:
    TypedEntity(zel::NType type, std::wstring entityName, int entityLayer = 0)
        : NEntity(type, std::move(entityName), entityLayer)
    {
    }
    void Draw(int) override {}
    int getCreatedLine() const override { return 1; }
    zel::sSprite* getCurrentSprite() override { return &look; }
    zel::sSprite look;
};

/// Background music as the colour rules see it: a volume, or none.
class MusicEntity : public TypedEntity
{
public:
    MusicEntity() : TypedEntity(zel::NTYPE_BGM, L"sysBGM") {}
    float volume = -1.0f;

protected:
    float audioVolume() const override { return volume; }
    void setAudioVolume(float value) override { volume = value; }
};

class EntityTest : public CoreFixture
{
protected:
    static Tween LongMove(float targetX)
    {
        Tween tween;
        tween.type = zel::TWEEN_MOVE;
        tween.startTime = zel::Clock::Milliseconds();
        tween.duration = 100000;
        tween.targetPos = sf::Vector2f(targetX, 0.f);
        return tween;
    }

    std::shared_ptr<TypedEntity> Add(zel::NType type, const std::wstring& entityName, int entityLayer)
    {
        auto entity = std::make_shared<TypedEntity>(type, entityName, entityLayer);
        entities().InsNovelEntity(entity, entityLayer, entityName);
        return entity;
    }

    static void RunDeferredCalls()
    {
        std::function<void()> call;
        while (zel::Services::m_deferredCalls.try_dequeue(call))
            call();
    }

    static std::vector<std::wstring> Names(const zel::EntityList& list)
    {
        std::vector<std::wstring> names;
        for (const auto& entity : list)
            names.push_back(entity->name);
        return names;
    }
};
} // namespace

TEST_F(EntityTest, EditingKeepsOneTweenPerLineAndMovingBackDropsTheLaterOnesAtOnce)
{
    TypedEntity entity(zel::NTYPE_CG, L"hero");
    SetMainLine(5);
    entity.addTween(LongMove(1.f));
    entity.addTween(LongMove(2.f));
    ASSERT_EQ(entity.tweens.entries().size(), 1u);
    EXPECT_EQ(entity.tweens.entries().at(5).targetPos.x, 2.f) << "the second tween of a line replaces the first";

    for (int line : {12, 15, 20})
    {
        SetMainLine(line);
        entity.addTween(LongMove(static_cast<float>(line)));
    }
    entity.execTweens(10);
    ASSERT_EQ(entity.tweens.entries().size(), 1u);
    EXPECT_EQ(entity.tweens.entries().begin()->first, 5);
    const std::string log = LogText();
    EXPECT_NE(log.find("[NEntity::execTweens] editorline:10 < tweenExecLine:12. name: hero"), std::string::npos);
    EXPECT_EQ(log.find("tweenExecLine:15"), std::string::npos) << "one log line for the whole cut";
}

TEST_F(EntityTest, PlayingAppendsTweensAndSkippingRunsThemAtOnce)
{
    TypedEntity entity(zel::NTYPE_CG, L"hero");
    SetPlaying(true);
    sysVars().editorLine = 7;
    entity.addTween(LongMove(1.f));
    entity.addTween(LongMove(2.f));
    ASSERT_EQ(entity.tweens.entries().size(), 2u);
    EXPECT_EQ(entity.tweens.entries().begin()->first, 8) << "the first lands just after the play-start line";
    EXPECT_EQ(entity.look.getPosition().x, 0.f) << "while reading normally a tween waits for the frame loop";

    sysVars().textReadMethod = 2;
    entity.addTween(LongMove(3.f));
    EXPECT_TRUE(entity.tweens.empty()) << "skipping finishes every pending tween when one is added";
    EXPECT_EQ(entity.look.getPosition().x, 3.f);
}

TEST_F(EntityTest, MovingTheEditorBeforeALayerChangePutsTheEntityBackThroughTheDeferredQueue)
{
    SetMainLine(5);
    auto low = Add(zel::NTYPE_CG, L"low", -1);
    auto high = Add(zel::NTYPE_CG, L"high", 2);
    SetMainLine(8);
    zel::CmdHandlers::ExecuteLayer({L"layer", L"high", L"-1"}, zel::CmdHandlers::kCurrentLayer);
    zel::CmdHandlers::ExecuteLayer({L"layer", L"low", L"4"}, zel::CmdHandlers::kCurrentLayer);
    EXPECT_EQ(Names(entities().entityLayers[-1]), std::vector<std::wstring>{L"high"});
    EXPECT_EQ(Names(entities().entityLayers[4]), std::vector<std::wstring>{L"low"});

    SetMainLine(6);
    low->Update();
    high->Update();
    EXPECT_EQ(Names(entities().entityLayers[4]), std::vector<std::wstring>{L"low"}) << "nothing moves mid-walk";
    RunDeferredCalls();
    EXPECT_EQ(Names(entities().entityLayers[-1]), std::vector<std::wstring>{L"low"});
    EXPECT_EQ(Names(entities().entityLayers[2]), std::vector<std::wstring>{L"high"})
        << "an entity moved to layer -1 comes back as well";
    EXPECT_TRUE(entities().entityLayers[4].empty());
    EXPECT_EQ(high->getLayer(), 2);
    EXPECT_EQ(low->getLayer(), -1);

    zel::CmdHandlers::ExecuteLayer({L"layer", L"ghost", L"1"}, zel::CmdHandlers::kCurrentLayer);
    EXPECT_NE(LogText().find("ERROR. [ExecuteLayer] ENTITY DOES NOT EXIST:ghost"), std::string::npos);
}

TEST_F(EntityTest, MusicReadsItsVolumeAsAlphaAndAFadeToZeroSilencesIt)
{
    MusicEntity music;
    EXPECT_EQ(music.getColor().a, 255) << "no music playing reads as opaque";
    music.volume = 300.f;
    EXPECT_EQ(music.getColor().a, 300 % 256);

    sysVars().sysMasterVolume = 50;
    music.setColor(sf::Color(0, 0, 0, 200));
    EXPECT_FLOAT_EQ(music.volume, 100.f) << "alpha scales the master volume";

    Tween fade;
    fade.type = zel::TWEEN_ALPHA;
    fade.startValue = 200;
    fade.targetValue = 0;
    Tween::applyTween(&music, fade, 0);
    EXPECT_FLOAT_EQ(music.volume, 0.f);
    sysVars().sysBgmVolume = 80;
    EXPECT_EQ(music.getColor().a, 0);
    EXPECT_NE(LogText().find("getColour: bgm volume == 0"), std::string::npos);
    sysVars().sysBgmVolume = 0;
    EXPECT_EQ(music.getColor().a, 255) << "with the player's music volume at 0, silence is the normal state";
}

TEST_F(EntityTest, TypeQueriesWalkTheLayersAndNeverOfferTheBacklogTextbox)
{
    SetMainLine(2);
    Add(zel::NTYPE_TRACKBAR, L"slider", 5);
    Add(zel::NTYPE_SYSBUTTON, L"save", 1);
    Add(zel::NTYPE_TEXTBOX, L"log", 0);
    Add(zel::NTYPE_TEXTBOX, L"talk", 3);
    Add(zel::NTYPE_CG, L"hero", -1);
    sysVars().curBacklogUseTextareaName.set(L"log", false);

    EXPECT_EQ(Names(entities().getEntitiesWithNType(zel::NTYPE_ALL, false)),
              (std::vector<std::wstring>{L"hero", L"save", L"talk", L"slider"}));
    EXPECT_EQ(Names(entities().getEntitiesWithNType(zel::NTYPE_TEXTBOX, false)), std::vector<std::wstring>{L"talk"});
    EXPECT_EQ(Names(entities().getEntitiesWithNType(zel::NTYPE_SYSBUTTON, false)),
              (std::vector<std::wstring>{L"save", L"slider"}));
    EXPECT_EQ(Names(entities().getEntitiesWithNType(zel::NTYPE_SYSBUTTON, true)), std::vector<std::wstring>{L"slider"})
        << "a system button made by another script is left out, a slider never";

    EXPECT_EQ(entities().findEntityWithNType(zel::NTYPE_TEXTBOX)->name, L"log");
    EXPECT_EQ(entities().findEntityWithNType(zel::NTYPE_BGM), nullptr);
    EXPECT_NE(entities().findEntityWithName(L"hero", true), nullptr);
    EXPECT_NE(LogText().find("[Execute] same name reference found. name:hero, current-line:2, "
                             "original(mainscript)-line:1"),
              std::string::npos);
}
