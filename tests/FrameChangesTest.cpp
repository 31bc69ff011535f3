// The frame loop draws only when the picture changed: what it leaves on screen is always what a full redraw would
// show, and a reader who waits costs a few frames a second.

#include "CoreFixture.h"
#include "WindowFixture.h"
#include "core/Clock.h"
#include "core/SceneChanges.h"
#include "entities/NTextbox.h"
#include "entities/Tween.h"

#include <chrono>
#include <tuple>

using namespace testsupport;
using std::chrono::milliseconds;

namespace
{
const sf::Color kBlue(0, 0, 160);
const sf::Color kWhite(255, 255, 255);
const sf::Color kYellow(255, 220, 0);

class FrameChangesTest : public WindowFixture
{
protected:
    void SetUp() override
    {
        OpenWindow(320, 240);
        MakeFont("f.ttf");
        MakeImage("a.png", 30, 30, kWhite);
        MakeImage("icon.png", 12, 12, kYellow);
        zel::Clock::SetManual(true);
        sysVars().clearColour.set(kBlue, false);
        // Draws nothing; counts the frames the loop draws.
        m_counter = std::make_shared<LineEntity>(L"counter", 0);
        entities().InsNovelEntity(m_counter, 0, L"counter");
    }
    void TearDown() override
    {
        zel::Clock::SetManual(false);
        WindowFixture::TearDown();
    }

    /// A scene as a reader meets it (or an author, at its last line): a picture and a text box with a wait icon,
    /// whose first line flows at 30 ms a letter.
    void ShowScene(bool playing)
    {
        const std::wstring script = L"cg a a.png 20 20 0\n"
                                    L"textbox box 10 150 1 300 80 f.ttf 20\n"
                                    L"useTextbox box\n"
                                    L"textSpeed 30\n"
                                    L"\"Good evening, reader.\n";
        if (playing)
        {
            sysVars().gameMode = 1;
            Play(script);
        }
        else
            ShowLine(script, 5);
        ASSERT_NE(zel::NTextbox::From(entities().Find(L"box")), nullptr);
        ASSERT_TRUE(zel::NTextbox::From(entities().Find(L"box"))->loadWaitIcon(L"icon.png"));
    }

    /// One host frame ms after the last: true when the loop drew it.
    bool Frame(int ms)
    {
        zel::Clock::Advance(milliseconds(ms));
        const int before = m_counter->draws;
        zel::Services::UpdateEngine(true, true);
        return m_counter->draws != before;
    }

    void MovePicture(int durationMs)
    {
        zel::Tween move;
        move.type = zel::TWEEN_MOVE;
        move.startTime = zel::Clock::Milliseconds();
        move.duration = durationMs;
        move.targetPos = sf::Vector2f(200, 40);
        entities().Find(L"a")->addTween(move);
    }

    std::shared_ptr<LineEntity> m_counter;
};

bool Same(const sf::Image& a, const sf::Image& b)
{
    return a.getSize() == b.getSize() &&
           std::equal(a.getPixelsPtr(), a.getPixelsPtr() + a.getSize().x * a.getSize().y * 4, b.getPixelsPtr());
}

// Every change must reach the screen: a flowing text, the wait icon's blink, a tween, a line read by a queued
// script line. Whenever the loop leaves a frame undrawn, a full redraw at that moment must show exactly what the
// window still shows.
TEST_F(FrameChangesTest, AnUndrawnFrameAlwaysShowsWhatAFullRedrawWould)
{
    ShowScene(true);
    sf::Image onScreen = Capture();
    int undrawn = 0;
    for (int step = 0; step < 160; ++step)
    {
        if (step == 40)
            MovePicture(300);
        if (step == 80)
            zel::Services::TriggerParseExec(L"\"And the next line.");
        const bool drew = Frame(29);
        // Left undrawn for want of a change (not by the pacing, which leaves the change pending).
        const bool unchanged = !drew && !zel::SceneChanges::Pending();
        const sf::Image full = Capture();
        if (unchanged)
        {
            ++undrawn;
            ASSERT_TRUE(Same(full, onScreen)) << "frame " << step << " (" << step * 29 << " ms) was needed";
        }
        onScreen = full;
    }
    EXPECT_GT(undrawn, 60) << "most frames show nothing new";
}

// Waiting for the reader: a full redraw only every quarter second, and for each blink of the wait icon.
struct WaitCase
{
    const char* what;
    bool playing;
    int most;
    int least;
};

class FrameChangesWaitTest : public FrameChangesTest, public ::testing::WithParamInterface<WaitCase>
{
};

TEST_P(FrameChangesWaitTest, AReaderWhoWaitsCostsAFewFramesASecond)
{
    ShowScene(GetParam().playing);
    for (int i = 0; i < 100; ++i)
        Frame(16); // the text stands whole
    int drawn = 0;
    for (int i = 0; i < 625; ++i)
        drawn += Frame(16) ? 1 : 0;
    EXPECT_LE(drawn, GetParam().most) << GetParam().what;
    EXPECT_GE(drawn, GetParam().least) << GetParam().what;
}

// 10 s of 16 ms host frames: a refresh every 250 ms (40), and a blink every 500 ms (20) while playing.
INSTANTIATE_TEST_SUITE_P(Waiting, FrameChangesWaitTest,
                         ::testing::Values(WaitCase{"editing", false, 42, 38},
                                           WaitCase{"playing, the icon blinking", true, 62, 20}));
// A scene that changes every frame is drawn every host frame, except while skipping, when the reader sees the
// text fly by at no more than 20 frames a second (15 at 16 ms host frames) and the updates between read on.
TEST_F(FrameChangesTest, SkippingDrawsAtMostTwentyFramesASecond)
{
    ShowScene(true);
    for (const auto& [method, most, least] : {std::tuple{0, 63, 60}, std::tuple{2, 21, 14}})
    {
        sysVars().textReadMethod = method;
        int drawn = 0;
        for (int i = 0; i < 62; ++i)
        {
            zel::SceneChanges::Report();
            drawn += Frame(16) ? 1 : 0;
        }
        EXPECT_LE(drawn, most) << "text read method " << method;
        EXPECT_GE(drawn, least) << "text read method " << method;
    }
}
} // namespace
