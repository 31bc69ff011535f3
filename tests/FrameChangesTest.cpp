// The frame loop draws only when the picture changed: what it leaves on screen is always what a full redraw would
// show, and a reader who waits costs a few frames a second.

#include "CoreFixture.h"
#include "WindowFixture.h"
#include "core/Clock.h"
#include "core/SceneChanges.h"
#include "entities/NTextbox.h"
#include "entities/Tween.h"

#include <chrono>

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
            ASSERT_EQ(DifferingPixels(full, onScreen), 0) << "frame " << step << " (" << step * 29 << " ms) was needed";
        }
        onScreen = full;
    }
    EXPECT_GT(undrawn, 60) << "most frames show nothing new";
}

// How many frames one second of 16 ms host frames draws. A reader who waits gets a full redraw only every quarter
// second and for each blink of the wait icon. A scene that changes every frame is drawn every host frame, except
// while skipping, when the text flies by at no more than 20 frames a second and the updates between read on.
struct FramesCase
{
    const char* what;
    bool playing;
    int textReadMethod;
    bool changingEveryFrame;
    int most;
    int least;
};

class FramesDrawnTest : public FrameChangesTest, public ::testing::WithParamInterface<FramesCase>
{
};

TEST_P(FramesDrawnTest, OnlyAsOftenAsThePictureChanges)
{
    const FramesCase& c = GetParam();
    ShowScene(c.playing);
    sysVars().textReadMethod = c.textReadMethod;
    for (int i = 0; i < 100; ++i)
        Frame(16); // the text stands whole
    int drawn = 0;
    for (int i = 0; i < 625; ++i)
    {
        if (c.changingEveryFrame)
            zel::SceneChanges::Report();
        drawn += Frame(16) ? 1 : 0;
    }
    EXPECT_LE(drawn, c.most) << c.what;
    EXPECT_GE(drawn, c.least) << c.what;
}

// 10 s: a refresh every 250 ms (40), a blink every 500 ms (20); a frame every 16 ms (625), or every 64 ms (156)
// when the skip's 50 ms between frames meets 16 ms host frames.
INSTANTIATE_TEST_SUITE_P(TenSeconds, FramesDrawnTest,
                         ::testing::Values(FramesCase{"editing, waiting", false, 0, false, 42, 38},
                                           FramesCase{"playing, the icon blinking", true, 0, false, 62, 20},
                                           FramesCase{"playing, changing every frame", true, 0, true, 625, 600},
                                           FramesCase{"skipping, changing every frame", true, 2, true, 200, 150}));
} // namespace
