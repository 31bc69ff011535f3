// One host frame at a time: what Services::UpdateEngine runs, draws and skips, on the manual clock where pacing
// matters, with entities that count what the loop asks of them.

#include "WindowFixture.h"
#include "core/Clock.h"
#include "core/SceneChanges.h"
#include "resources/NHelper.h"
#include "script/Parser.h"

#include <chrono>
#include <memory>

using namespace testsupport;
using std::chrono::milliseconds;
using zel::Clock;
using zel::Services;

namespace
{
/// Counts the frame loop's calls.
class CountingEntity : public zel::NEntity
{
public:
    explicit CountingEntity(const std::wstring& entityName) : zel::NEntity(zel::NTYPE_CG, entityName, 0) {}
    void Update() override
    {
        ++updates;
        zel::NEntity::Update();
    }
    void Draw(int) override { ++draws; }

    int updates = 0;
    int draws = 0;
};

class FrameLoopTest : public WindowFixture
{
protected:
    void TearDown() override
    {
        Clock::SetManual(false);
        // The loop's pacing state outlives a novel; closing the engine resets it, so that manual time left ahead
        // of the real clock does not hold back the drawing of later tests.
        Services::CloseEngine();
        WindowFixture::TearDown();
    }

    std::shared_ptr<CountingEntity> AddCounter(const std::wstring& entityName)
    {
        auto counter = std::make_shared<CountingEntity>(entityName);
        EXPECT_TRUE(entities().InsNovelEntity(counter, 0, entityName));
        return counter;
    }

    /// Manual time at the start of a fresh counting second, 1 ms into it, where the first frame may be drawn.
    void StartPacedSecond()
    {
        Clock::SetManual(true);
        Clock::Advance(milliseconds(1000));
        Services::UpdateEngine(false, false);
        Clock::Advance(milliseconds(1));
    }

    std::string LogSince(std::size_t mark)
    {
        const std::string text = LogText();
        return mark < text.size() ? text.substr(mark) : std::string();
    }
};
} // namespace

TEST_F(FrameLoopTest, NothingRunsOnceTheGameIsOver)
{
    auto counter = AddCounter(L"counter");
    bool deferredRan = false;
    Services::m_deferredCalls.enqueue([&deferredRan] { deferredRan = true; });
    sysVars().gameOver = true;
    sysVars().renderMode = 1;
    Services::UpdateEngine(true, true);
    Services::UpdateEngine(false, false);
    EXPECT_EQ(counter->updates, 0);
    EXPECT_EQ(counter->draws, 0);
    EXPECT_FALSE(deferredRan);

    sysVars().gameOver = false;
    Services::UpdateEngine(true, true);
    EXPECT_EQ(counter->updates, 1);
    EXPECT_EQ(counter->draws, 1);
    EXPECT_TRUE(deferredRan) << "the call waited for the next running frame";
}

TEST_F(FrameLoopTest, UpdateWithoutRenderRunsTheWorkButNeitherDrawsNorReadsOn)
{
    MakeImage("a.png", 10, 10, sf::Color::Red);
    auto counter = AddCounter(L"counter");
    std::shared_ptr<zel::Parser> parser = zel::MainParser();
    sysVars().gameMode = 1;
    sysVars().textReadMethod = 2; // skipping reads on whenever the parser waits
    parser->setScriptText(L"main.txt", L"cg a a.png 0 0 0\n", true);
    parser->m_ParserState = zel::PARSE_FIN;
    int deferredRuns = 0;
    Services::m_deferredCalls.enqueue([&deferredRuns] { ++deferredRuns; });
    sysVars().currentMsgboxKind = L"Msg_endGame";
    sysVars().variables[L"Msg_endGame"] = L"0";

    StartPacedSecond();
    EXPECT_EQ(deferredRuns, 1) << "the set-up frame already ran the queue";
    const int updatesBefore = counter->updates;
    const std::size_t mark = LogText().size();
    Services::UpdateEngine(false, false);
    EXPECT_EQ(counter->updates, updatesBefore + 1);
    EXPECT_EQ(counter->draws, 0);
    EXPECT_EQ(parser->m_ParserState, zel::PARSE_FIN) << "no automatic reading without update";
    EXPECT_EQ(Sprite(L"a"), nullptr);
    EXPECT_NE(LogSince(mark).find("(Services::UpdateEngine) UPDATE WITHOUT RENDER"), std::string::npos);

    Services::m_deferredCalls.enqueue([&deferredRuns] { ++deferredRuns; });
    sysVars().variables[L"Msg_endGame"] = L"1";
    Services::UpdateEngine(false, false);
    EXPECT_EQ(deferredRuns, 2);
    EXPECT_TRUE(sysVars().gameOver) << "message-box answers are read without drawing too";

    // The same frame drawn and updated reads on.
    sysVars().gameOver = false;
    sysVars().currentMsgboxKind.clear();
    Clock::Advance(milliseconds(100));
    Services::UpdateEngine(true, true);
    EXPECT_EQ(counter->draws, 1);
    EXPECT_NE(Sprite(L"a"), nullptr) << "skipping read the next line";
}

TEST_F(FrameLoopTest, DeferredCallsQueuedByDeferredCallsRunInTheSamePass)
{
    std::vector<int> order;
    Services::m_deferredCalls.enqueue([&order] {
        order.push_back(1);
        Services::m_deferredCalls.enqueue([&order] {
            order.push_back(2);
            Services::m_deferredCalls.enqueue([&order] { order.push_back(3); });
        });
    });
    Services::UpdateEngine(false, false);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST_F(FrameLoopTest, PacingDrawsOneFramePerSlotOnlyInModeZero)
{
    auto counter = AddCounter(L"counter");
    sysVars().renderMode = 0;
    StartPacedSecond();
    const int drawsBefore = counter->draws;
    // Something changes on every frame: only the pacing holds frames back.
    const auto changedFrame = [] {
        zel::SceneChanges::Report();
        Services::UpdateEngine(true, true);
    };
    changedFrame();
    EXPECT_EQ(counter->draws, drawsBefore + 1);
    changedFrame();
    EXPECT_EQ(counter->draws, drawsBefore + 1) << "a second frame in the same 14 ms is not drawn";
    Clock::Advance(milliseconds(14));
    changedFrame();
    EXPECT_EQ(counter->draws, drawsBefore + 2);
    changedFrame();
    changedFrame();
    EXPECT_EQ(counter->draws, drawsBefore + 2);
    EXPECT_EQ(counter->updates, 6) << "entities update on every frame, drawn or not";

    // The next second publishes what this one counted.
    Clock::Advance(milliseconds(1000));
    Services::UpdateEngine(false, false);
    EXPECT_EQ(sysVars().rendersPerSecond, 2);
    EXPECT_EQ(sysVars().updatesPerSecond, 6);

    for (std::uint8_t mode : {1, 2})
    {
        sysVars().renderMode = mode;
        const int before = counter->draws;
        for (int frame = 0; frame < 3; ++frame)
            Services::UpdateEngine(true, false);
        EXPECT_EQ(counter->draws, before + 3) << "render mode " << int(mode) << " draws every frame";
    }
}

TEST_F(FrameLoopTest, ScreenshotModeLeavesOutHiddenAndMessageBoxEntities)
{
    auto shown = AddCounter(L"shown");
    auto hidden = AddCounter(L"hidden");
    hidden->includeInScreenshot = false;
    auto boxPart = AddCounter(L"boxPart");
    boxPart->creatorKind = zel::PARSER_MSGBOX;

    const std::size_t mark = LogText().size();
    sysVars().renderMode = 2;
    Services::UpdateEngine(true, false);
    EXPECT_EQ(shown->draws, 1);
    EXPECT_EQ(hidden->draws, 0);
    EXPECT_EQ(boxPart->draws, 0);
    const std::string log = LogSince(mark);
    EXPECT_NE(log.find("NOT SAVING IN SS: hidden"), std::string::npos);
    EXPECT_NE(log.find("NOT SAVING IN SS: boxPart"), std::string::npos);
    EXPECT_EQ(log.find("NOT SAVING IN SS: shown"), std::string::npos);

    sysVars().renderMode = 1;
    Services::UpdateEngine(true, false);
    EXPECT_EQ(shown->draws, 2);
    EXPECT_EQ(hidden->draws, 1) << "on the screen everything is drawn";
    EXPECT_EQ(boxPart->draws, 1);
}

TEST_F(FrameLoopTest, MessageBoxAnswers)
{
    MakeImage("box.png", 10, 10, sf::Color::Red);
    sysVars().renderMode = 0;

    // End game: "1" ends, anything that is not a number leaves the box waiting.
    sysVars().currentMsgboxKind = L"Msg_endGame";
    sysVars().variables[L"Msg_endGame"] = L"yes";
    Services::UpdateEngine(false, false);
    EXPECT_FALSE(sysVars().gameOver);
    EXPECT_EQ(sysVars().currentMsgboxKind, L"Msg_endGame");
    std::size_t mark = LogText().size();
    sysVars().variables[L"Msg_endGame"] = L"1";
    Services::UpdateEngine(false, false);
    EXPECT_TRUE(sysVars().gameOver);
    EXPECT_NE(LogSince(mark).find("GAME END"), std::string::npos);
    sysVars().gameOver = false;
    sysVars().currentMsgboxKind.clear();

    // User-defined: "1" runs the box's line on the current parser at the next pass.
    mark = LogText().size();
    sysVars().currentMsgboxKind = L"Msg_userDefined";
    sysVars().msgboxLine = L"cg box box.png 5 5 0";
    sysVars().variables[L"Msg_userDefined"] = L"1";
    Services::UpdateEngine(false, false);
    EXPECT_TRUE(sysVars().currentMsgboxKind.empty());
    Services::UpdateEngine(false, false);
    EXPECT_NE(LogSince(mark).find("[HandleVars] TRIGGER_USER_DIALOG_FUNCTION"), std::string::npos);
    EXPECT_NE(Sprite(L"box"), nullptr);

    // An empty answer is 0: the box closes without running its line.
    sysVars().msgboxLine = L"cg other box.png 5 5 0";
    for (const wchar_t* answer : {L"", L"0"})
    {
        mark = LogText().size();
        sysVars().currentMsgboxKind = L"Msg_userDefined";
        sysVars().variables[L"Msg_userDefined"] = answer;
        Services::UpdateEngine(false, false);
        Services::UpdateEngine(false, false);
        EXPECT_TRUE(sysVars().currentMsgboxKind.empty()) << "answer '" << zel::NHelper::ws2s(answer) << "'";
        EXPECT_EQ(LogSince(mark).find("TRIGGER_USER_DIALOG_FUNCTION"), std::string::npos);
        EXPECT_EQ(Sprite(L"other"), nullptr);
    }

    // Another answer leaves the box open; while the screen is captured, no answer is read.
    sysVars().currentMsgboxKind = L"Msg_userDefined";
    sysVars().variables[L"Msg_userDefined"] = L"1";
    sysVars().renderMode = 2;
    Services::UpdateEngine(false, false);
    EXPECT_EQ(sysVars().currentMsgboxKind, L"Msg_userDefined");
    sysVars().renderMode = 0;
    sysVars().variables[L"Msg_userDefined"] = L"2";
    Services::UpdateEngine(false, false);
    EXPECT_EQ(sysVars().currentMsgboxKind, L"Msg_userDefined");
}

TEST_F(FrameLoopTest, TimersFireOnceWhilePlayingAndNeverWhileEditing)
{
    MakeImage("t.png", 10, 10, sf::Color::Red);
    Clock::SetManual(true);
    auto timer = [](const wchar_t* name, int durationMs, const wchar_t* line) {
        auto record = std::make_shared<zel::TimerRecord>();
        record->name = name;
        record->start = Clock::Now();
        record->durationMs = durationMs;
        record->line = line;
        return record;
    };

    std::size_t mark = LogText().size();
    sysVars().timers.push_back(timer(L"edit", 0, L"cg edited t.png 0 0 0"));
    Clock::Advance(milliseconds(10));
    Services::UpdateEngine(false, false);
    Services::UpdateEngine(false, false);
    EXPECT_TRUE(sysVars().timers.empty());
    EXPECT_EQ(Sprite(L"edited"), nullptr) << "a timer never fires while editing";
    EXPECT_EQ(LogSince(mark).find("exec timer func"), std::string::npos);

    Play(L"");
    mark = LogText().size();
    sysVars().timers.push_back(timer(L"play", 100, L"cg played t.png 0 0 0"));
    Clock::Advance(milliseconds(99));
    Services::UpdateEngine(false, false);
    EXPECT_EQ(Sprite(L"played"), nullptr);
    ASSERT_EQ(sysVars().timers.size(), 1u);
    Clock::Advance(milliseconds(1));
    Services::UpdateEngine(false, false);
    EXPECT_NE(Sprite(L"played"), nullptr) << "the timer's line runs in the pass that fired it";
    EXPECT_TRUE(sysVars().timers.empty());
    Clock::Advance(milliseconds(500));
    Services::UpdateEngine(false, false);
    const std::string log = LogSince(mark);
    const std::size_t first = log.find("exec timer func. name:play");
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(log.find("exec timer func", first + 1), std::string::npos) << "fired once";
    EXPECT_EQ(log.find("Services::TriggerParseExec:cg played"), log.rfind("Services::TriggerParseExec:cg played"));
}
