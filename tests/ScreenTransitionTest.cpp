// The image-mask screen transition as the frame loop draws it: covering and uncovering by the mask's darkness, the
// end of the transition, and masks that cannot be used.

#include "WindowFixture.h"
#include "core/Clock.h"

#include <chrono>

using namespace testsupport;
using std::chrono::milliseconds;

namespace
{
class ScreenTransitionTest : public WindowFixture
{
protected:
    void SetUp() override
    {
        WindowFixture::SetUp();
        zel::Clock::SetManual(true);
        MakeImage("scene.png", 32, 24, sf::Color(200, 0, 0));
        MakeImage("black.png", 8, 8, sf::Color::Black);
        // Darker to the left: mask value x in column x.
        sf::Image gradient;
        gradient.create(256, 1);
        for (unsigned x = 0; x < 256; ++x)
            gradient.setPixel(x, 0, sf::Color(static_cast<sf::Uint8>(x), 0, 0));
        ASSERT_TRUE(gradient.saveToFile(*m_novel / "Images/gradient.png"));
        ShowLine(L"bg scene.png\n", 1);
        sysVars().gameMode = 1;
    }
    void TearDown() override
    {
        zel::Clock::SetManual(false);
        WindowFixture::TearDown();
    }

    void Start(const std::wstring& mask, int duration, bool in)
    {
        sysVars().transitionImage = mask;
        sysVars().transitionDuration = duration;
        sysVars().transitionIn = in;
        sysVars().transitionStartPending = true;
        zel::MainParser()->m_ParserState = zel::PARSE_STOP;
    }
    sf::Image After(int ms)
    {
        zel::Clock::Advance(milliseconds(ms));
        return Capture();
    }
};
} // namespace

TEST_F(ScreenTransitionTest, OutCoversTheSceneWhereTheMaskIsDarkAndEndsWithAnEmptyScene)
{
    Play(L"alphaFadeout black.png 1000\ncg late scene.png 0 0 1\n");
    sf::Image shot = After(0);
    EXPECT_EQ(shot.getPixel(10, 10), sf::Color::Black) << "an all-black mask covers everything at once";
    EXPECT_EQ(shot.getPixel(300, 200), sf::Color::Black);
    EXPECT_EQ(zel::MainParser()->m_ParserState, zel::PARSE_STOP) << "the script waits for the transition";
    EXPECT_EQ(Sprite(L"late"), nullptr);

    After(1001);
    EXPECT_EQ(entities().CountInLayers(), 0u);
    EXPECT_TRUE(sysVars().transitionImage.empty());
    EXPECT_EQ(zel::MainParser()->m_ParserState, zel::PARSE_CONT);
    zel::MainParser()->ReadScript(-1);
    EXPECT_NE(Sprite(L"late"), nullptr) << "the script goes on after the transition";
}

TEST_F(ScreenTransitionTest, WhileEditingATransitionLineDoesNothing)
{
    sysVars().gameMode = 0;
    ShowLine(L"bg scene.png\nalphaFadein black.png 500\n", 2);
    EXPECT_TRUE(sysVars().transitionImage.empty());
    EXPECT_NE(zel::MainParser()->m_ParserState, zel::PARSE_STOP);
}

namespace
{
/// A transition against the gradient mask, seen at a share of its duration at the left edge, the middle and the
/// right edge of the screen: each shows the scene (S), the fill colour (F) or a mix of both (M).
struct ShotCase
{
    bool in;
    int percent;
    std::string seen;
};

class TransitionShotTest : public ScreenTransitionTest, public ::testing::WithParamInterface<ShotCase>
{
};
} // namespace

TEST_P(TransitionShotTest, ShowsTheSceneWhereTheMaskHasPassed)
{
    const sf::Color clear(0, 0, 160);
    sysVars().clearColour.set(clear, false);
    const ShotCase& c = GetParam();
    Play(c.in ? L"alphaFadein gradient.png 1000\n" : L"alphaFadeout gradient.png 1000\n");
    After(0);
    const sf::Image shot = After(10 * c.percent);
    auto near = [](sf::Color a, sf::Color b) {
        return std::abs(a.r - b.r) <= 2 && std::abs(a.g - b.g) <= 2 && std::abs(a.b - b.b) <= 2;
    };
    std::string seen;
    for (const unsigned x : {2u, 160u, 317u})
    {
        const sf::Color pixel = shot.getPixel(x, 120);
        seen += near(pixel, sf::Color(200, 0, 0)) ? 'S' : near(pixel, c.in ? sf::Color::White : clear) ? 'F' : 'M';
    }
    EXPECT_EQ(seen, c.seen) << (c.in ? "in at " : "out at ") << c.percent << "%";
    EXPECT_EQ(zel::MainParser()->m_ParserState, zel::PARSE_STOP)
        << "up to its very end the transition holds the script";
    After(10 * (100 - c.percent) + 1);
    EXPECT_EQ(entities().CountInLayers(), c.in ? 1u : 0u) << "a transition in keeps the scene, one out empties it";
}

INSTANTIATE_TEST_SUITE_P(Shares, TransitionShotTest,
                         ::testing::Values(ShotCase{true, 0, "SMF"}, ShotCase{true, 50, "SSM"},
                                           ShotCase{true, 100, "SSS"}, ShotCase{false, 0, "FMS"},
                                           ShotCase{false, 50, "FFM"}, ShotCase{false, 100, "FFF"}));

TEST_F(ScreenTransitionTest, AMaskThatCannotBeLoadedOrAShortDurationNeverStopsTheScript)
{
    Start(L"nowhere.png", 1000, true);
    After(20);
    EXPECT_NE(
        LogText().find("ERROR. (ScreenTransition) mask image:nowhere.png cannot be loaded. transition dropped script:"),
        std::string::npos);
    EXPECT_TRUE(sysVars().transitionImage.empty());
    EXPECT_EQ(zel::MainParser()->m_ParserState, zel::PARSE_CONT);

    Start(L"gradient.png", 100, true);
    After(0);
    After(50);
    EXPECT_EQ(zel::MainParser()->m_ParserState, zel::PARSE_STOP);
    EXPECT_EQ(After(51).getPixel(280, 120), sf::Color(200, 0, 0));
    EXPECT_EQ(zel::MainParser()->m_ParserState, zel::PARSE_CONT);
}
