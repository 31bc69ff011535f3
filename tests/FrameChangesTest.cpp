// The frame loop draws only when the picture changed: what it leaves on screen is always what a full redraw would
// show, and a reader who waits costs a few frames a second.

#include "CoreFixture.h"
#include "WindowFixture.h"
#include "core/Clock.h"
#include "core/SceneChanges.h"
#include "entities/NTextbox.h"
#include "entities/Tween.h"

#include <chrono>
#include <map>
#include <vector>

using namespace testsupport;
using std::chrono::milliseconds;

namespace
{
const sf::Color kBlue(0, 0, 160);
const sf::Color kWhite(255, 255, 255);
const sf::Color kYellow(255, 220, 0);

using Need = zel::SceneChanges::Need;

class FrameChangesTest : public WindowFixture
{
protected:
    void SetUp() override
    {
        OpenWindow(320, 240);
        MakeFont("f.ttf");
        MakeImage("a.png", 30, 30, kWhite);
        MakeImage("icon.png", 12, 12, kYellow);
        MakeImage("touched.png", 20, 20, kYellow);
        zel::Clock::SetManual(true);
        sysVars().clearColour.set(kBlue, false);
    }
    void TearDown() override
    {
        zel::Clock::SetManual(false);
        WindowFixture::TearDown();
    }

    /// A scene as a reader meets it (or an author, at its last line): a picture, a button that shows only while
    /// the pointer touches it, and a text box with a wait icon, whose first line flows at 30 ms a letter.
    void ShowScene(bool playing)
    {
        const std::wstring script = L"cg a a.png 20 20 0\n"
                                    L"button b none touched.png none 250 20 1\n"
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

    /// One host frame ms after the last: how the loop drew it (Need::Nothing when it did not).
    static Need Frame(int ms)
    {
        zel::Clock::Advance(milliseconds(ms));
        zel::Services::UpdateEngine(true, true);
        return zel::SceneChanges::SinceDrawnMs() == 0 ? zel::SceneChanges::LastDrawn() : Need::Nothing;
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

    static void PointTo(int x, int y)
    {
        sf::Event event{};
        event.type = sf::Event::MouseMoved;
        event.mouseMove = {x, y};
        zel::Services::DispatchInput(event);
    }

    /// Plays the scene for 160 host frames of 29 ms (a line flowing, the icon blinking, a tween, a line read from a
    /// queued script line, the pointer touching the button and leaving it) and reads what the window shows after
    /// each; redrawing it whole every frame, or as the loop decides.
    std::vector<sf::Image> PlayedScene(bool wholeEveryFrame, std::map<Need, int>& frames,
                                       std::vector<Need>* kinds = nullptr)
    {
        std::vector<sf::Image> shown;
        Frame(1000); // both runs begin a second of pacing alike
        ShowScene(true);
        for (int step = 0; step < 160; ++step)
        {
            if (step == 40)
                MovePicture(300);
            if (step == 80)
                zel::Services::TriggerParseExec(L"\"And the next line.");
            if (step == 120 || step == 140)
                PointTo(step == 120 ? 255 : 5, step == 120 ? 25 : 5);
            if (wholeEveryFrame)
                zel::SceneChanges::Report();
            const Need drawn = Frame(29);
            ++frames[drawn];
            shown.push_back(OnScreen());
            if (kinds != nullptr)
                kinds->push_back(drawn);
        }
        return shown;
    }
};

// Every change must reach the screen, and a frame drawn in part (the icon's blink) or presented again without
// drawing must leave the window exactly as a full redraw would.
TEST_F(FrameChangesTest, TheWindowAlwaysShowsWhatAFullRedrawWould)
{
    std::map<Need, int> redrawn, asNeeded;
    std::vector<Need> reference;
    const std::vector<sf::Image> expected = PlayedScene(true, redrawn, &reference);
    TearDown();
    SetUp();
    const std::vector<sf::Image> shown = PlayedScene(false, asNeeded);
    ASSERT_EQ(redrawn[Need::Area] + redrawn[Need::Refresh], 0) << "the reference is drawn whole";
    for (std::size_t step = 0; step < shown.size(); ++step)
        if (reference[step] == Need::Whole)
            ASSERT_EQ(DifferingPixels(expected[step], shown[step]), 0)
                << "frame " << step << " (" << step * 29 << " ms) shows something else";
    EXPECT_EQ(expected[125].getPixel(260, 30), kYellow) << "the pointer touches the button";
    EXPECT_NE(expected[145].getPixel(260, 30), kYellow) << "and has left it";
    EXPECT_GT(asNeeded[Need::Nothing], 60) << "most frames show nothing new";
    EXPECT_GE(asNeeded[Need::Area], 3) << "the icon's blinks draw only the icon";
    EXPECT_GE(asNeeded[Need::Refresh], 3) << "a picture left alone is presented again";
}

// How many frames one second of 16 ms host frames draws, whole and in part, and how many it presents. A reader who
// waits costs no full redraw at all: the picture is presented again every quarter second, and each blink of the
// wait icon draws only the icon. A scene that changes every frame is drawn every host frame, except while
// skipping, when the text flies by at no more than 20 frames a second and the updates between read on.
struct FramesCase
{
    const char* what;
    bool playing;
    int textReadMethod;
    bool changingEveryFrame;
    int whole[2]; ///< the fewest and the most frames drawn whole
    int area[2];  ///< ... drawn in part
    int all[2];   ///< ... presented in any way
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
    std::map<Need, int> frames;
    for (int i = 0; i < 625; ++i)
    {
        if (c.changingEveryFrame)
            zel::SceneChanges::Report();
        ++frames[Frame(16)];
    }
    const int all = 625 - frames[Need::Nothing];
    EXPECT_GE(frames[Need::Whole], c.whole[0]) << c.what;
    EXPECT_LE(frames[Need::Whole], c.whole[1]) << c.what;
    EXPECT_GE(frames[Need::Area], c.area[0]) << c.what;
    EXPECT_LE(frames[Need::Area], c.area[1]) << c.what;
    EXPECT_GE(all, c.all[0]) << c.what;
    EXPECT_LE(all, c.all[1]) << c.what;
}

// 10 s: a presentation every 250 ms (40), a blink every 500 ms (20); a frame every 16 ms (625), or every 64 ms (156)
// when the skip's 50 ms between frames meets 16 ms host frames.
INSTANTIATE_TEST_SUITE_P(
    TenSeconds, FramesDrawnTest,
    ::testing::Values(FramesCase{"editing, waiting", false, 0, false, {0, 0}, {0, 0}, {38, 42}},
                      FramesCase{"playing, the icon blinking", true, 0, false, {0, 0}, {19, 21}, {38, 42}},
                      FramesCase{"playing, changing every frame", true, 0, true, {600, 625}, {0, 0}, {600, 625}},
                      FramesCase{"skipping, changing every frame", true, 2, true, {150, 200}, {0, 0}, {150, 200}}));
} // namespace
