// The animation and display commands as a script uses them, on the hand-run clock: what a synchronous line waits
// for, and where the pictures, the camera and the backlog end up.

#include "WindowFixture.h"
#include "commands/CmdHandlers.h"
#include "core/Clock.h"
#include "entities/NCamera.h"
#include "resources/NHelper.h"
#include "resources/ResourcePool.h" // the texture behind a look

#include <chrono>
#include <functional>

using namespace testsupport;
using std::chrono::milliseconds;

namespace
{
class TweenCommandsTest : public WindowFixture
{
protected:
    void SetUp() override
    {
        WindowFixture::SetUp();
        zel::Clock::SetManual(true);
        MakeImage("hero.png", 32, 32, sf::Color(200, 0, 0));
        MakeImage("other.png", 16, 8, sf::Color::Green);
        for (const wchar_t* type : {L"cg", L"textbox", L"camera", L"backlog"})
            zel::Services::pNCommands->commandStrings[L"Types_" + std::wstring(type)] = type;
    }
    void TearDown() override
    {
        zel::Clock::SetManual(false);
        WindowFixture::TearDown();
    }

    /// One frame after afterMs, drawn whatever the pacing; then the script reads on when its wait is over.
    void Frame(int afterMs)
    {
        zel::Clock::Advance(milliseconds(afterMs));
        sysVars().renderMode = 1;
        zel::Services::UpdateEngine(true, true);
        sysVars().renderMode = 0;
        zel::Services::ReadOn();
    }

public:
    // What the table's checks look at.
    zel::EntityRegistry& registry() { return entities(); }
    zel::SystemVariables& vars() { return sysVars(); }
    using WindowFixture::LogText;
    zel::sSprite& Look(const std::wstring& name) { return *Sprite(name)->getCurrentSprite(); }
};
} // namespace

TEST_F(TweenCommandsTest, ASynchronousLineWaitsForItsDurationAndAPlainOneReadsOn)
{
    const std::pair<const wchar_t*, int> lines[] = {
        {L".fadein hero 500", 500},    {L"fadein hero 500", 0},           {L".fadeout cg 300", 300},
        {L".alpha hero 100 400", 400}, {L".move hero 10 10 300", 300},    {L".move hero a 10 300", 0},
        {L".rotate hero 90 200", 200}, {L".zoom hero 150 250", 250},      {L".fadein hero", 0},
        {L".alphaFadein mask.png", 0}, {L"alphaFadeout mask.png soon", 0}};
    for (const auto& [line, waitMs] : lines)
    {
        Play(L"cg hero hero.png 10 20 1\n" + std::wstring(line) + L"\n");
        const zel::Parser& parser = *zel::MainParser();
        EXPECT_EQ(parser.m_ParserState == zel::SYNC_EXEC ? parser.syncDuration.count() : 0, waitMs)
            << zel::NHelper::ws2s(line);
        EXPECT_NE(parser.m_ParserState, zel::PARSE_STOP) << zel::NHelper::ws2s(line);
    }
}

namespace
{
/// A script, read past a "wait 1" in it (the tweens read before it have run out), the time that then passes, and
/// what must hold after it.
struct EndCase
{
    const char* name;
    const wchar_t* script;
    int ms;
    std::function<void(TweenCommandsTest&)> expect;
};

const EndCase kEndCases[] = {
    {"NamesWithCommasMoveEach", L"cg a hero.png 0 0 1\ncg b hero.png 5 5 1\nmove a, b 100 200 1000\n", 1001,
     [](auto& t) {
         EXPECT_EQ(t.Look(L"a").getPosition(), sf::Vector2f(100.f, 200.f));
         EXPECT_EQ(t.Look(L"b").getPosition(), sf::Vector2f(100.f, 200.f));
     }},
    {"ACommaInsideATokenIsPartOfTheName", L"cg a hero.png 0 0 1\nmove a,b 100 200\n", 10,
     [](auto& t) {
         EXPECT_EQ(t.Look(L"a").getPosition(), sf::Vector2f(0.f, 0.f));
     }},
    {"ASignedMoveStartsFromTheLatestTargetInThePicturesUnits",
     L"cg hero hero.png 0 0 1\nzoom hero 200\nmove hero 100 40 1000\nmove hero +50 0 1000\n", 1001,
     [](auto& t) {
         // Zoomed about its centre: the first move puts its corner at (100, 40), the second goes on from there by
         // 50 / 2 to the right, and its absolute 0 puts the corner on the top edge.
         const sf::FloatRect seen = t.Look(L"hero").getGlobalBounds();
         EXPECT_EQ(sf::FloatRect(125.f, 0.f, 64.f, 64.f), seen);
     }},
    {"FadeInOfATransparentPictureAddsNothing", L"cg hero hero.png 0 0 1\nalpha hero 0\nwait 1\nfadein hero 500\n", 250,
     [](auto& t) {
         EXPECT_EQ(t.Look(L"hero").getColor().a, 0);
         EXPECT_TRUE(t.registry().Find(L"hero")->tweens.empty());
     }},
    {"AlphaGoesFromTheCurrentAlpha", L"cg hero hero.png 0 0 1\nwait 1\nalpha hero 55 1000\n", 500,
     [](auto& t) {
         EXPECT_EQ(t.Look(L"hero").getColor().a, 155);
     }},
    {"AnAlphaThatIsNoNumberMakesTheTargetsTransparentAtOnce", L"cg hero hero.png 0 0 1\nalpha hero lots 1000\n", 1,
     [](auto& t) {
         EXPECT_EQ(t.Look(L"hero").getColor().a, 0);
     }},
    {"AFadeOutTakesItsTargetsAwayAtItsEnd", L"cg a hero.png 0 0 1\ncg b hero.png 5 5 1\nfadeout cg 400\n", 401,
     [](auto& t) {
         EXPECT_EQ(t.registry().CountInLayers(), 0u);
     }},
    {"AFadeOfATypeWithoutEntitiesChangesNothing", L"cg a hero.png 0 0 1\nfadeout textbox 300\n", 301,
     [](auto& t) {
         EXPECT_EQ(t.registry().CountInLayers(), 1u);
         EXPECT_NE(t.LogText().find("ERROR. [HandleFade] entity:textbox does not exist script:main.txt line:2"),
                   std::string::npos);
     }},
    {"RgbTintsOpaque", L"cg hero hero.png 0 0 1\nalpha hero 128\nwait 1\nrgb hero 255 0 0\n", 1,
     [](auto& t) {
         EXPECT_EQ(t.Look(L"hero").getColor(), sf::Color(255, 0, 0, 255));
     }},
    {"ImageKeepsPlaceAndColour", L"cg hero hero.png 7 9 1\nrgb hero 0 0 255\nimage hero other.png\n", 1,
     [](auto& t) {
         const zel::sSprite& look = t.Look(L"hero");
         EXPECT_EQ(look.m_pTexture->key + L" " + std::to_wstring(look.getTextureRect().width), L"other.png 16");
         EXPECT_EQ(look.getPosition(), sf::Vector2f(7.f, 9.f));
         EXPECT_EQ(look.getColor(), sf::Color::Blue);
     }},
    {"TheCameraWordMovesTheCameraAndCameraResetPutsItBack",
     L"cg hero hero.png 0 0 1\nmove camera 40 30\n.rotate hero, camera 90 100\ncameraReset\n", 200,
     [](auto& t) {
         const zel::sSprite& camera = *t.registry().pCamera->getCurrentSprite();
         EXPECT_EQ(camera.getPosition(), sf::Vector2f(0.f, 0.f));
         EXPECT_EQ(camera.getRotation(), 0.f);
         EXPECT_EQ(t.Look(L"hero").getRotation(), 90.f);
     }},
    {"FadeInAndOutOfTheBacklogShowAndHideIt", L"fadein backlog\n", 1,
     [](auto& t) {
         EXPECT_TRUE(t.vars().backlogDisplay.get(true));
         zel::CmdHandlers::ExecuteFadeout({L"fadeout", L"backlog"}, false);
         EXPECT_FALSE(t.vars().backlogDisplay.get(true));
         EXPECT_TRUE(t.vars().backlogDisplay.entries().empty()) << "its display history is dropped";
     }},
};

class EndStates : public TweenCommandsTest, public ::testing::WithParamInterface<EndCase>
{
};
} // namespace

TEST_P(EndStates, ShowWhatTheScriptAskedFor)
{
    Play(GetParam().script);
    Frame(0);
    Frame(2);
    Frame(GetParam().ms);
    GetParam().expect(*this);
}

INSTANTIATE_TEST_SUITE_P(Scripts, EndStates, ::testing::ValuesIn(kEndCases),
                         [](const ::testing::TestParamInfo<EndCase>& info) { return std::string(info.param.name); });
