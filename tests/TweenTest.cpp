// Tween arithmetic against the engine clock, run by hand: positions, alpha, rotation and zoom at given times, and
// the rules for negative durations, skipping and removal at the end.

#include "entities/Tween.h"
#include "CoreFixture.h"
#include "core/Clock.h"
#include "entities/NSprite.h"

#include <chrono>

using namespace testsupport;
using std::chrono::milliseconds;
using zel::Clock;
using zel::Tween;

namespace
{
/// A picture whose look needs no image: a 100 x 50 rectangle of the sprite.
class LookEntity : public zel::NEntity
{
public:
    LookEntity() : NEntity(zel::NTYPE_CG, L"look", 0) { look.setTextureRect(sf::IntRect(0, 0, 100, 50)); }
    void Draw(int) override {}
    zel::sSprite* getCurrentSprite() override { return &look; }
    zel::sSprite look;
};

class TweenTest : public CoreFixture
{
protected:
    void SetUp() override
    {
        CoreFixture::SetUp();
        Clock::SetManual(true);
    }
    void TearDown() override
    {
        Clock::SetManual(false);
        CoreFixture::TearDown();
    }

    static Tween Started(zel::TweenType type, double duration)
    {
        Tween tween;
        tween.type = type;
        tween.startTime = Clock::Milliseconds();
        tween.duration = duration;
        return tween;
    }

    /// Advances the clock and runs one step; true when the tween finished.
    bool StepAfter(const Tween& tween, int ms)
    {
        Clock::Advance(milliseconds(ms));
        return Tween::execTween(&entity, tween, 1);
    }

    LookEntity entity;
};
} // namespace

TEST_F(TweenTest, MoveEasesInAndOutAndEndsExactlyOnTheTarget)
{
    Tween move = Started(zel::TWEEN_MOVE, 1000);
    move.targetPos = sf::Vector2f(100.f, 0.f);
    EXPECT_FALSE(StepAfter(move, 250));
    EXPECT_FLOAT_EQ(entity.look.getPosition().x, 12.5f);
    EXPECT_FALSE(StepAfter(move, 250));
    EXPECT_FLOAT_EQ(entity.look.getPosition().x, 50.f);
    EXPECT_FALSE(StepAfter(move, 250));
    EXPECT_FLOAT_EQ(entity.look.getPosition().x, 87.5f);
    EXPECT_FALSE(StepAfter(move, 250)) << "at exactly its duration a tween has not yet run out";
    EXPECT_FLOAT_EQ(entity.look.getPosition().x, 100.f);
    EXPECT_TRUE(StepAfter(move, 1));
    EXPECT_FLOAT_EQ(entity.look.getPosition().x, 100.f);
    EXPECT_FLOAT_EQ(entity.look.getPosition().y, 0.f);
    EXPECT_NE(LogText().find("[Tween::execTween] fin. name:look, wanted-duration:1000.000000ms"), std::string::npos);
}

TEST_F(TweenTest, AlphaAndRotationAreLinearAndAZeroDurationJumpsToTheTarget)
{
    Tween alpha = Started(zel::TWEEN_ALPHA, 1000);
    alpha.startValue = 0;
    alpha.targetValue = 255;
    StepAfter(alpha, 500);
    EXPECT_EQ(entity.look.getColor().a, 127) << "127.5 is cut to 127";

    Tween turn = Started(zel::TWEEN_ROTATE, 400);
    turn.startValue = 0;
    turn.targetValue = 90;
    StepAfter(turn, 100);
    EXPECT_FLOAT_EQ(entity.look.getRotation(), 22.5f);

    Tween jump = Started(zel::TWEEN_ALPHA, 0);
    jump.targetValue = 40;
    EXPECT_FALSE(Tween::execTween(&entity, jump, 1)) << "no time has passed yet on the hand-run clock";
    EXPECT_EQ(entity.look.getColor().a, 40);
}

TEST_F(TweenTest, ANegativeDurationNeverAppliesAndNeverFinishes)
{
    Tween stuck = Started(zel::TWEEN_MOVE, -5);
    stuck.targetPos = sf::Vector2f(100.f, 100.f);
    for (int step = 0; step < 3; ++step)
        EXPECT_FALSE(StepAfter(stuck, 10000));
    EXPECT_EQ(entity.look.getPosition(), sf::Vector2f(0.f, 0.f));
    EXPECT_TRUE(Tween::execTween(nullptr, stuck, 1)) << "a tween without its entity is done";
}

TEST_F(TweenTest, SkippingJumpsEveryTweenToItsEndOnItsFirstRun)
{
    sysVars().textReadMethod = 2;
    Tween move = Started(zel::TWEEN_MOVE, 5000);
    move.targetPos = sf::Vector2f(30.f, 40.f);
    EXPECT_TRUE(StepAfter(move, 1));
    EXPECT_EQ(entity.look.getPosition(), sf::Vector2f(30.f, 40.f));
}

TEST_F(TweenTest, ZoomAndRotateTurnAboutTheCentreWithoutMovingThePicture)
{
    entity.look.setPosition(10.f, 20.f);
    Tween zoom = Started(zel::TWEEN_ZOOM, 0);
    zoom.startValue = 100;
    zoom.targetValue = 200;
    Tween::execTween(&entity, zoom, 1);
    EXPECT_EQ(entity.look.getScale(), sf::Vector2f(2.f, 2.f));
    EXPECT_EQ(entity.look.getOrigin(), sf::Vector2f(50.f, 25.f));
    const sf::FloatRect seen = entity.look.getGlobalBounds();
    EXPECT_FLOAT_EQ(seen.left + seen.width / 2, 60.f) << "the centre stays where it was (10 + 100 / 2)";
    EXPECT_FLOAT_EQ(seen.top + seen.height / 2, 45.f);

    // A second pivot on a zoomed picture must not move it either.
    Tween turn = Started(zel::TWEEN_ROTATE, 0);
    turn.targetValue = 180;
    Tween::execTween(&entity, turn, 1);
    const sf::FloatRect turned = entity.look.getGlobalBounds();
    EXPECT_FLOAT_EQ(turned.left + turned.width / 2, 60.f);
    EXPECT_FLOAT_EQ(turned.top + turned.height / 2, 45.f);
}

TEST_F(TweenTest, AFadeOutMarksItsPictureForRemovalOnlyWhilePlaying)
{
    Tween fadeOut = Started(zel::TWEEN_ALPHA, 0);
    fadeOut.startValue = 255;
    fadeOut.targetValue = 0;
    fadeOut.removeAtEnd = true;

    SetMainLine(3);
    Tween::execTween(&entity, fadeOut, 3);
    EXPECT_EQ(entity.look.getColor().a, 0);
    EXPECT_FALSE(entity.isMarkedRemoved()) << "while editing it stays, transparent";

    SetPlaying(true);
    Tween::execTween(&entity, fadeOut, 3);
    EXPECT_TRUE(entity.isMarkedRemoved());
}

TEST_F(TweenTest, AnUnknownTypeOnlyWarns)
{
    Tween odd = Started(static_cast<zel::TweenType>(7), 0);
    entity.look.setPosition(5.f, 5.f);
    Tween::execTween(&entity, odd, 1);
    EXPECT_EQ(entity.look.getPosition(), sf::Vector2f(5.f, 5.f));
    EXPECT_NE(LogText().find("[Tween::applyTween] WARNING. TweenType:7 is not handled"), std::string::npos);
}
