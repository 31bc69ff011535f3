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
        sf::Image halves;
        halves.create(8, 8, sf::Color::Black);
        for (unsigned y = 0; y < 8; ++y)
            for (unsigned x = 4; x < 8; ++x)
                halves.setPixel(x, y, sf::Color::White);
        ASSERT_TRUE(halves.saveToFile(*m_novel / "Images/halves.png"));
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
    Start(L"black.png", 1000, false);
    sf::Image shot = After(0);
    EXPECT_EQ(shot.getPixel(10, 10), sf::Color::Black) << "an all-black mask covers everything at once";
    EXPECT_EQ(shot.getPixel(300, 200), sf::Color::Black);
    EXPECT_EQ(zel::MainParser()->m_ParserState, zel::PARSE_STOP) << "the script waits for the transition";

    After(1001);
    EXPECT_EQ(entities().CountInLayers(), 0u);
    EXPECT_TRUE(sysVars().transitionImage.empty());
    EXPECT_EQ(zel::MainParser()->m_ParserState, zel::PARSE_CONT);
}

TEST_F(ScreenTransitionTest, InUncoversTheDarkHalfFirstAndThenTheRest)
{
    Start(L"halves.png", 1000, true);
    sf::Image shot = After(0);
    EXPECT_EQ(shot.getPixel(40, 120), sf::Color(200, 0, 0)) << "under the mask's black half the scene shows";
    EXPECT_EQ(shot.getPixel(280, 120), sf::Color::White) << "under its white half the overlay is still opaque";

    shot = After(500);
    const sf::Color half = shot.getPixel(280, 120);
    EXPECT_GT(half.g, 0);
    EXPECT_LT(half.g, 255) << "half-way the white half is part uncovered";

    shot = After(501);
    EXPECT_EQ(shot.getPixel(280, 120), sf::Color(200, 0, 0));
    EXPECT_EQ(entities().CountInLayers(), 1u) << "a transition in keeps the scene";
    EXPECT_EQ(zel::MainParser()->m_ParserState, zel::PARSE_CONT);
}

TEST_F(ScreenTransitionTest, AMaskThatCannotBeLoadedOrAShortDurationNeverStopsTheScript)
{
    Start(L"nowhere.png", 1000, true);
    After(20);
    EXPECT_NE(LogText().find("ERROR. (ScreenTransition) mask image:nowhere.png cannot be loaded. transition dropped script:"), std::string::npos);
    EXPECT_TRUE(sysVars().transitionImage.empty());
    EXPECT_EQ(zel::MainParser()->m_ParserState, zel::PARSE_CONT);

    Start(L"halves.png", 100, true);
    After(0);
    After(50);
    EXPECT_EQ(zel::MainParser()->m_ParserState, zel::PARSE_STOP);
    EXPECT_EQ(After(51).getPixel(280, 120), sf::Color(200, 0, 0));
    EXPECT_EQ(zel::MainParser()->m_ParserState, zel::PARSE_CONT);
}
