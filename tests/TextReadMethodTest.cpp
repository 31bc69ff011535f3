// Automatic and skip reading as the frame loop applies them after each frame: when a waiting script reads on.

#include "WindowFixture.h"
#include "core/Clock.h"
#include "entities/NBacklog.h"

#include <chrono>

using namespace testsupport;
using std::chrono::milliseconds;

namespace
{
class TextReadMethodTest : public WindowFixture
{
protected:
    void SetUp() override
    {
        WindowFixture::SetUp();
        zel::Clock::SetManual(true);
        sysVars().gameMode = 1;
        sysVars().sysAutoWait = 1500;
    }
    void TearDown() override
    {
        zel::Clock::SetManual(false);
        WindowFixture::TearDown();
    }

    /// One frame, a little later than the last one (a frame in the same 14 ms slot would not draw or read on).
    std::uint8_t StateAfterFrame(int laterMs = 20)
    {
        zel::Clock::Advance(milliseconds(laterMs));
        zel::Services::UpdateEngine(true, true);
        return parser().m_ParserState;
    }
    zel::Parser& parser() { return *zel::MainParser(); }
};
} // namespace

TEST_F(TextReadMethodTest, AutomaticReadingWaitsItsTimeFromTheLastAdvance)
{
    sysVars().textReadMethod = 1;
    // The automatic-read mark lives as long as the process: first let one advance happen, which sets it afresh.
    parser().m_ParserState = zel::PARSE_FIN;
    for (int frame = 0; frame < 100 && parser().m_ParserState == zel::PARSE_FIN; ++frame)
        StateAfterFrame();
    ASSERT_EQ(parser().m_ParserState, zel::PARSE_CONT);

    parser().m_ParserState = zel::PARSE_FIN;
    EXPECT_EQ(StateAfterFrame(1480), zel::PARSE_FIN);
    EXPECT_EQ(StateAfterFrame(20), zel::PARSE_CONT);
    EXPECT_NE(LogText().find("TEXT AUTO. PARSE CONT. TIME PASSED:1500.000000ms"), std::string::npos);
}

TEST_F(TextReadMethodTest, AutomaticReadingCountsItsTimeFromTheEndOfTheFlow)
{
    MakeFont("f.ttf");
    sysVars().textReadMethod = 1;
    sysVars().sysAutoWait = 500;
    // 20 letters at 100 ms each: the text flows for 2 s, four times the automatic wait.
    Play(L"textbox box 10 10 1 300 200 f.ttf 20\nuseTextbox box\ntextSpeed 100\ntextAutoWait on\n"
         L"\"abcdefghijklmnopqrst\n\"Next\n");
    ASSERT_EQ(parser().m_ParserState, zel::PARSE_FIN);
    const zel::EntityPtr box = entities().Find(L"box");
    ASSERT_NE(box, nullptr);
    const int line = parser().readlineno;
    int waited = 0;
    int flowEnd = -1;
    while (waited < 6000 && parser().readlineno == line)
    {
        StateAfterFrame(50);
        waited += 50;
        if (flowEnd == -1 && !box->isTextFlowing())
            flowEnd = waited;
    }
    EXPECT_GE(flowEnd, 2000) << "the text flowed for its 20 letters at 100 ms";
    // Frames come every 50 ms and the flow's end is seen a frame late: 500 ms less two frames at the least.
    EXPECT_GE(waited - flowEnd, 400) << "read on " << waited - flowEnd << " ms after the flow: before the reader had "
                                     << "the automatic wait";
    EXPECT_LT(waited - flowEnd, 500 + 150);
}

TEST_F(TextReadMethodTest, SkippingReadsOnAtOnceAndManualReadingNever)
{
    sysVars().textReadMethod = 0;
    parser().m_ParserState = zel::PARSE_FIN;
    EXPECT_EQ(StateAfterFrame(10000), zel::PARSE_FIN);

    sysVars().textReadMethod = 2;
    parser().m_ParserState = zel::SYNC_EXEC;
    StateAfterFrame();
    EXPECT_NE(parser().m_ParserState, zel::SYNC_EXEC) << "a timed wait is skipped as well";
    parser().m_ParserState = zel::WAIT_BTNSEL;
    EXPECT_EQ(StateAfterFrame(), zel::WAIT_BTNSEL) << "a choice is never skipped";

    sysVars().textReadMethod = 7;
    StateAfterFrame();
    EXPECT_NE(LogText().find("ERROR. (ApplyTextreadMethod) INVALID TEXT READ METHOD"), std::string::npos);
}

// Skipping reads on within one update, as far as its time allows: the box shows the last line read and every line
// reaches the backlog.
TEST_F(TextReadMethodTest, SkippingReadsManyLinesInOneUpdateAndKeepsThemAll)
{
    MakeFont("f.ttf");
    std::wstring script = L"textbox box 0 0 0 300 200 f.ttf 20\ntextbox history 0 0 0 300 200 f.ttf 20\n"
                          L"useTextbox box\nbacklogConfig history\ntextAutoWait on\n";
    constexpr int kHeader = 5;
    for (int i = 1; i <= 400; ++i)
        script += L"\"Line " + std::to_wstring(i) + L"\n";
    Play(script);
    StateAfterFrame(); // the loop's first frame only starts its counting second
    ASSERT_EQ(parser().readlineno, kHeader + 1) << "the first line waits";
    sysVars().textReadMethod = 2;
    StateAfterFrame();
    const int lines = parser().readlineno - kHeader;
    EXPECT_EQ(lines, 400) << "skipping reads on in the same update while its time allows (the test's clock stands)";
    EXPECT_EQ(entities().Find(L"box")->shownText(), L"Line " + std::to_wstring(lines));
    EXPECT_EQ(entities().pBacklog->entries().size(), static_cast<std::size_t>(lines));
}
