// The flow-control commands as a script uses them: waits, jumps, called scripts, the message box and its dialog,
// timers, the end of the game, the clear colour and the placeholder picture. Frames run on the manual clock.

#include "WindowFixture.h"
#include "commands/CmdHandlers.h"
#include "core/Clock.h"
#include "entities/NTextbox.h"
#include "resources/NHelper.h"

#include <SFML/Graphics/Image.hpp>

#include <chrono>
#include <filesystem>

using namespace testsupport;
using std::chrono::milliseconds;
using zel::Clock;
using zel::Services;

namespace
{
class FlowCommandsTest : public WindowFixture
{
protected:
    void SetUp() override
    {
        WindowFixture::SetUp();
        for (const wchar_t* word : {L"buttonSelect", L"msgboxSelect", L"repeat"})
            Services::pNCommands->commandStrings[std::wstring(L"CmdOptions_") + word] = word;
        std::filesystem::create_directories(*m_novel / "Scripts");
        // A fresh counting second, 1 ms in, so that every Frame below gets as far as continuing the script.
        Clock::SetManual(true);
        Clock::Advance(milliseconds(1000));
        Services::UpdateEngine(false, false);
        Clock::Advance(milliseconds(1));
        m_logMark = LogText().size();
    }

    void TearDown() override
    {
        Clock::SetManual(false);
        Services::CloseEngine(); // resets the loop's pacing, which the manual clock has moved ahead
        WindowFixture::TearDown();
    }

    void WriteScript(const std::string& name, const std::string& text)
    {
        WriteFile(*m_novel / ("Scripts/" + name), text);
    }
    /// One host frame, 20 ms after the last.
    void Frame()
    {
        Clock::Advance(milliseconds(20));
        Services::UpdateEngine(false, true);
    }
    /// What was logged since the test began.
    std::string Log() const
    {
        const std::string text = LogText();
        return m_logMark < text.size() ? text.substr(m_logMark) : std::string();
    }
    bool Logged(const std::string& text) const { return Log().find(text) != std::string::npos; }
    /// Lines that are no command log their first word: the markers that show which lines were read.
    bool Read(const std::string& marker) const { return Logged("INVALID COMMAND:'" + marker + "'"); }
    int TimesRead(const std::string& marker) const { return TimesLogged("INVALID COMMAND:'" + marker + "'"); }
    int TimesLogged(const std::string& needle) const
    {
        const std::string log = Log();
        int count = 0;
        for (std::size_t at = log.find(needle); at != std::string::npos; at = log.find(needle, at + 1))
            ++count;
        return count;
    }
    std::size_t Parsers() const { return Services::pNParser->m_parserDeque.size(); }
    sf::Color ClearColour() { return sysVars().clearColour.get(true); }

    std::size_t m_logMark = 0;
};
} // namespace

TEST_F(FlowCommandsTest, WaitStopsForAClickATimeAButtonOrTheMessageBoxWhilePlayingAndNeverWhileEditing)
{
    ShowLine(L"wait\nwait 1500\nwait buttonSelect\nwait msgboxSelect\nedited_through\n", 5);
    EXPECT_TRUE(Read("edited_through")) << "the editor passes over every wait";

    Play(L"wait\nafter_click_wait\n");
    EXPECT_EQ(zel::MainParser()->m_ParserState, zel::PARSE_FIN);
    EXPECT_FALSE(Read("after_click_wait"));

    Play(L"wait 0\nafter_zero_wait\n");
    EXPECT_TRUE(Read("after_zero_wait")) << "a wait of 0 ms reads on at once";

    Play(L"wait 1500\nafter_timed_wait\n");
    zel::Parser& main = *zel::MainParser();
    EXPECT_EQ(main.m_ParserState, zel::SYNC_EXEC);
    Clock::Advance(milliseconds(1499));
    main.AutoContScript_ifNeeded();
    EXPECT_FALSE(Read("after_timed_wait")) << "still waiting at 1499 ms";
    Clock::Advance(milliseconds(1));
    main.AutoContScript_ifNeeded();
    EXPECT_TRUE(Read("after_timed_wait")) << "reading on at 1500 ms";

    Play(L"wait 99999999999\nafter_long_wait\n");
    EXPECT_TRUE(Logged("ERROR. (ExecuteWait) stoi argument out of range. line ignored"));
    EXPECT_EQ(main.m_ParserState, zel::PARSE_FIN) << "a number too long for one waits for a click";

    Play(L"wait buttonSelect\n");
    EXPECT_EQ(main.m_ParserState, zel::WAIT_BTNSEL);
    EXPECT_TRUE(Logged("[ExecuteWait] WAIT for: buttonSelect"));
    main.m_ParserState = zel::PARSE_CONT; // as a button click releases it
    Play(L"wait msgboxSelect\n");
    EXPECT_EQ(main.m_ParserState, zel::WAIT_MSGBOXSEL);
}

TEST_F(FlowCommandsTest, JumpGoesToABookmarkOrAnotherScriptAndStaysPutWhenItCannot)
{
    ShowLine(L"jump there\nedit_after_jump\nbookmark there\n", 3);
    EXPECT_TRUE(Logged("[ExecuteJump] (gameplaymode: false) PROHIBIT SCRIPT JUMP"));
    EXPECT_TRUE(Read("edit_after_jump")) << "the editor never jumps";

    Play(L"jump nowhere\nafter_missing\nwait\n\"Dialogue further down.\n");
    EXPECT_TRUE(Logged("[ExecuteJump] searched bookmark: 'nowhere' does not exist. restored script."));
    EXPECT_TRUE(Read("after_missing")) << "the dialogue the search passed leaves text mode off";

    Play(L"jump there\nskipped_line\nbookmark there\nat_bookmark\n");
    EXPECT_TRUE(Logged("[ExecuteJump] searched bookmark: 'there' found at line: 3"));
    EXPECT_FALSE(Read("skipped_line"));
    EXPECT_TRUE(Read("at_bookmark"));

    WriteScript("other.txt", "not_before_bookmark\nbookmark here\nin_other\n");
    Play(L"jump ../Scripts/other.txt here\nafter_refused\n");
    EXPECT_TRUE(Logged("ERROR. (ExecuteJump) script name leaves the scripts folder. refused:../Scripts/other.txt"));
    EXPECT_TRUE(Read("after_refused")) << "a refused jump leaves the parser where it was";
    Play(L"jump missing.txt\nafter_unreadable\n");
    EXPECT_TRUE(Logged("ERROR. (ExecuteJump) could not read script:missing.txt"));
    EXPECT_TRUE(Read("after_unreadable"));

    Play(L"jump other.txt here\nnot_after_jump\n");
    EXPECT_EQ(zel::MainParser()->scriptName, L"other.txt");
    EXPECT_TRUE(Logged("INVALID COMMAND:'in_other' script-name:other.txt"));
    EXPECT_FALSE(Read("not_before_bookmark"));
    EXPECT_FALSE(Read("not_after_jump"));
}

TEST_F(FlowCommandsTest, AJumpLoopWithoutAWaitReadsItsShareEachFrameAndWritesItsLogLinesOnce)
{
    const std::string overrun = "ERROR. [Parser::ReadScript] script:main.txt line:";
    Play(L"bookmark loop\njump loop\n");
    EXPECT_EQ(zel::MainParser()->m_ParserState, zel::PARSE_CONT) << "the read hands back, the loop goes on";
    EXPECT_EQ(TimesLogged(overrun), 1);
    const std::size_t afterFirstRead = Log().size();
    for (int frame = 0; frame < 4; ++frame)
        Frame();
    EXPECT_EQ(TimesLogged(overrun), 1) << "every frame reads on, and its lines are counted, not written again";
    EXPECT_LE(TimesLogged("[GotoBookmark] jumping from line:2 to found bookmark:loop"), 2);
    EXPECT_LT(Log().size() - afterFirstRead, 2000u);

    Play(L"after_loop\n");
    EXPECT_TRUE(Read("after_loop"));
    EXPECT_TRUE(Logged("more times: [GotoBookmark] jumping from line:2 to found bookmark:loop"))
        << "the loop's end writes the count";
}

TEST_F(FlowCommandsTest, AScriptThatHasRunOutReadsOncePerClickAndStaysQuiet)
{
    Play(L"only_line\n");
    zel::MainParser()->ReadScript(-1); // a click after the last line
    for (int frame = 0; frame < 5; ++frame)
        Frame();
    EXPECT_EQ(TimesLogged("[Parser::ReadScript] duration"), 2) << "the first read and the click's, none a frame";
    EXPECT_FALSE(Logged("AUTO CONTINUE SCRIPT"));
}

TEST_F(FlowCommandsTest, CalledScriptsReturnAtOnceOrWaitOnTopOfTheirCaller)
{
    WriteScript("quick.txt", "in_quick\n");
    Play(L"script quick.txt\nafter_quick\n");
    EXPECT_TRUE(ContainsInOrder(Log(), {"INVALID COMMAND:'in_quick'", "INVALID COMMAND:'after_quick'"}))
        << "the caller reads on in the same pass";
    EXPECT_EQ(Parsers(), 1u);

    WriteScript("slow.txt", "wait\nslow_after_click\n");
    Play(L"script slow.txt\nafter_slow\nwait\n");
    ASSERT_EQ(Parsers(), 2u);
    EXPECT_EQ(zel::CurParser()->scriptName, L"slow.txt");
    EXPECT_EQ(zel::CurParser()->refline, 1);
    Frame();
    EXPECT_FALSE(Read("after_slow")) << "the caller waits below the called script";
    zel::CurParser()->ReadScript(-1); // a click
    EXPECT_TRUE(Read("slow_after_click"));
    Frame();
    EXPECT_EQ(Parsers(), 1u);
    EXPECT_TRUE(Logged("AutoContScript_ifNeeded(start): CurParser(not main) finished normally: pop"));
    Frame();
    EXPECT_TRUE(Read("after_slow"));

    WriteScript("last.txt", "in_last\nwait\n");
    Play(L"script last.txt\nafter_last\nwait\n");
    EXPECT_EQ(Parsers(), 2u) << "a wait on the called script's last line holds its caller";
    Frame();
    EXPECT_FALSE(Read("after_last"));
    zel::CurParser()->ReadScript(-1); // a click
    Frame();
    EXPECT_EQ(Parsers(), 1u);
    Frame();
    EXPECT_TRUE(Read("after_last"));

    WriteScript("values.txt", "bookmark start _a _b _c\nshow_{{_a}}{{_c}}\n");
    Play(L"script values.txt start one two\n");
    EXPECT_TRUE(Logged("ERROR. [PushScriptVarNames] var_values.size() < m_script_vars.size()"));
    EXPECT_TRUE(Read("show_")) << "too few values assign none";
    Play(L"script values.txt start one two three\n");
    EXPECT_TRUE(Read("show_onethree"));
    Play(L"script values.txt nowhere\nafter_bad_bookmark\n");
    EXPECT_TRUE(Logged("ERROR. (ExecuteScript) TRIED TO JUMP TO INVALID BOOKMARK:nowhere script:main.txt line:1"));
    EXPECT_TRUE(Read("after_bad_bookmark"));
    EXPECT_EQ(Parsers(), 1u);

    Play(L"script ../Scripts/quick.txt\nafter_refused\n");
    EXPECT_TRUE(Logged("ERROR. (ExecuteScript) script name leaves the scripts folder. refused:../Scripts/quick.txt"));
    EXPECT_TRUE(Read("after_refused"));
    EXPECT_EQ(Parsers(), 1u);

    WriteScript("self.txt", "script self.txt\n");
    Play(L"script self.txt\nafter_self\n");
    EXPECT_TRUE(Logged("ERROR. (ExecuteScript) 64 scripts already run inside each other. not loading:self.txt"));
    EXPECT_TRUE(Read("after_self")) << "a script calling itself ends instead of overflowing the stack";
    EXPECT_EQ(Parsers(), 1u);
}

TEST_F(FlowCommandsTest, DialogAsksThroughTheMessageBoxAndRunsItsLineOnlyOnAYes)
{
    sysVars().MsgboxScript = L"missing.txt";
    EXPECT_FALSE(zel::CmdHandlers::ExecuteMessageBox({L"Msg_endGame"})) << "no box: a close request ends at once";
    EXPECT_EQ(Parsers(), 1u);

    MakeFont("f.ttf");
    WriteScript("box.txt", "text question 10 10 5 f.ttf 20 {{msg_str}}\nwait msgboxSelect\nbox_closed\n");
    sysVars().MsgboxScript = L"box.txt";
    auto answer = [this](const std::wstring& value) {
        sysVars().variables[L"Msg_userDefined"] = value;
        zel::CurParser()->m_ParserState = zel::PARSE_CONT; // as the box's button releases its script
    };

    Play(L"dialog 'Leave now?' clearRGB 7 7 7\nwait\n");
    EXPECT_EQ(Parsers(), 1u) << "the box opens at the next frame, not inside the reading line";
    Frame();
    ASSERT_EQ(Parsers(), 2u);
    EXPECT_EQ(zel::CurParser()->parserKind, zel::PARSER_MSGBOX);
    EXPECT_EQ(zel::CurParser()->m_ParserState, zel::WAIT_MSGBOXSEL);
    auto* question = dynamic_cast<zel::NTextbox*>(entities().Find(L"question").get());
    ASSERT_NE(question, nullptr);
    EXPECT_EQ(question->getCurrentText()->text(), L"Leave now?");
    EXPECT_EQ(sysVars().variables[L"Msg_userDefined"], L"-1");

    zel::CmdHandlers::ExecuteDialog({L"dialog", L"'Other?'", L"clearRGB", L"9", L"9", L"9"}); // from a timer
    Frame();
    EXPECT_TRUE(Logged("WARNING. (ExecuteDialog) a message box is already open. refused:'Other?'"));
    EXPECT_TRUE(zel::CmdHandlers::ExecuteMessageBox({L"Msg_endGame"}));
    EXPECT_TRUE(Logged("[CmdHandlers::ExecuteMessageBox] MSGBOX SCRIPT ALREADY RUNNING. return."));
    EXPECT_EQ(sysVars().currentMsgboxKind, L"Msg_userDefined");
    EXPECT_EQ(Parsers(), 2u);

    sysVars().variables[L"Msg_userDefined"] = L"yes";
    Frame();
    Frame();
    EXPECT_EQ(sysVars().currentMsgboxKind, L"Msg_userDefined") << "an answer that is no number leaves it pending";

    answer(L"1");
    Frame();
    Frame();
    EXPECT_TRUE(Read("box_closed"));
    EXPECT_EQ(Parsers(), 1u);
    EXPECT_TRUE(sysVars().currentMsgboxKind.empty());
    EXPECT_EQ(ClearColour(), sf::Color(7, 7, 7)) << "answered 1: the open box's line ran, not the refused one's";

    Play(L"dialog 'Again?' clearRGB 8 8 8\nwait\n");
    Frame();
    ASSERT_EQ(Parsers(), 2u);
    answer(L"0");
    Frame();
    Frame();
    EXPECT_TRUE(sysVars().currentMsgboxKind.empty());
    EXPECT_EQ(ClearColour(), sf::Color(7, 7, 7)) << "answered 0: the line did not run";
}

TEST_F(FlowCommandsTest, TimersFireOnceOrRepeatUntilEndedAndNeverWhileEditing)
{
    ShowLine(L"timer edit 0 edit_timer\n", 1);
    Frame();
    Frame();
    EXPECT_TRUE(sysVars().timers.empty());
    EXPECT_FALSE(Read("edit_timer"));

    Play(L"timer a 10 a_one\ntimer a 10 a_two\ntimer once 30 once_fired\ntimer tick 50 repeat tick_fired\n"
         L"timerEnd a\n");
    ASSERT_EQ(sysVars().timers.size(), 2u) << "timerEnd removes both timers named a";
    for (int frame = 0; frame < 6; ++frame) // 120 ms
        Frame();
    EXPECT_FALSE(Read("a_one"));
    EXPECT_EQ(TimesRead("once_fired"), 1);
    EXPECT_EQ(TimesRead("tick_fired"), 2) << "a repeating timer fires every 50 ms";
    ASSERT_EQ(sysVars().timers.size(), 1u);
    zel::CmdHandlers::ExecuteTimerEnd({L"timerEnd", L"tick"});
    EXPECT_TRUE(sysVars().timers.empty());

    // The usual timer: the reader waits for a click and the time runs out first.
    Play(L"timer hurry 100 jump timeUp\nwait\nnot_read\nbookmark timeUp\nafter_time_up\nwait\n");
    for (int frame = 0; frame < 7; ++frame) // 140 ms
        Frame();
    EXPECT_TRUE(Read("after_time_up")) << "the timer's jump takes the waiting reader to its bookmark";
    EXPECT_FALSE(Read("not_read"));

    Play(L"timer idle 10 repeat\n");
    EXPECT_TRUE(Logged("ERROR. (ExecuteTimer) timer:idle has no script line. not set"));
    EXPECT_TRUE(sysVars().timers.empty()) << "it would run the line the parser read last";
}

TEST_F(FlowCommandsTest, ClearColourKeepsTheLowEightBitsAndRefusesTooLongNumbers)
{
    Play(L"clearRGB 300 0 -1\n");
    EXPECT_EQ(ClearColour(), sf::Color(44, 0, 255, 255));
    Play(L"clearRGB 99999999999 0 0\n");
    EXPECT_TRUE(Logged("ERROR. (ExecuteClearRGB) INVALID VALUES: parseTokens[1]:99999999999,[2]:0,[3]:0"));
    EXPECT_EQ(ClearColour(), sf::Color(44, 0, 255, 255));
}

TEST_F(FlowCommandsTest, WrongWordCountsAndNumbersNameTheirWordAndScriptLine)
{
    Play(L"clearRGB 1 2\ncg x a.png 1x 0 1\n");
    EXPECT_TRUE(Logged("INVALID COMMAND:'clearRGB' script-name:main.txt curline:1. takes 4 words, has 3"));
    EXPECT_TRUE(Logged("WARNING. TOKEN NOT A NUMBER:'1x' script:main.txt line:2"));
}

TEST_F(FlowCommandsTest, EndGameStopsAnApplicationAndIsIgnoredInTheEditor)
{
    Play(L"endGame\nafter_editor_end\n");
    EXPECT_TRUE(Logged("[ExecuteEndGame] EDITOR MODE) IGNORING CMD: endGame."));
    EXPECT_FALSE(sysVars().gameOver);
    EXPECT_TRUE(Read("after_editor_end"));

    sysVars().applicationFlag = true;
    Play(L"endGame\nafter_application_end\n");
    EXPECT_TRUE(Logged("[ExecuteEndGame] APPLICATION MODE) endGame."));
    EXPECT_TRUE(sysVars().gameOver);
    EXPECT_EQ(zel::MainParser()->m_ParserState, zel::PARSE_STOP);
    EXPECT_FALSE(Read("after_application_end"));
}

TEST_F(FlowCommandsTest, PlaceholderPictureIsDrawnIntoTheImagesFolderOnly)
{
    MakeFont("f.ttf");
    ShowLine(L"createDummyCG edited f.ttf 200 300 Title\n", 1);
    EXPECT_FALSE(FileExists(*m_novel / "Images/edited.png")) << "only while playing";

    Play(L"createDummyCG dummy f.ttf 200 300 Title\n");
    sf::Image picture;
    ASSERT_TRUE(picture.loadFromFile(*m_novel / "Images/dummy.png"));
    ASSERT_EQ(picture.getSize(), sf::Vector2u(200, 300));
    const sf::Color figure(150, 50, 250, 255);
    EXPECT_EQ(picture.getPixel(100, 50), figure) << "the head: a circle of radius 50 centred at the top";
    EXPECT_EQ(picture.getPixel(100, 250), figure) << "the body: 100 wide below the head, to the bottom";
    EXPECT_EQ(picture.getPixel(55, 110), figure);
    EXPECT_EQ(picture.getPixel(45, 200).a, 0) << "left of the body";
    EXPECT_EQ(picture.getPixel(5, 5).a, 0) << "beside the head";
    bool titleDrawn = false;
    for (unsigned y = 120; y < 150 && !titleDrawn; ++y)
        for (unsigned x = 50; x < 150 && !titleDrawn; ++x)
            titleDrawn = picture.getPixel(x, y) != figure;
    EXPECT_TRUE(titleDrawn) << "the title is written over the body, 20 px below the head";

    Play(L"createDummyCG ../escape f.ttf 10 10 T\ncreateDummyCG sub/escape f.ttf 10 10 T\n"
         L"createDummyCG ..\\escape f.ttf 10 10 T\ncreateDummyCG flat f.ttf -5 10 T\n");
    EXPECT_TRUE(Logged("ERROR. (ExecuteCreateDummyCG) file name must stay in the images folder. refused:../escape"));
    EXPECT_TRUE(Logged("refused:sub/escape"));
    EXPECT_TRUE(Logged("refused:..\\escape"));
    EXPECT_TRUE(Logged("ERROR. (ExecuteCreateDummyCG) invalid picture size:-5x10"));
    EXPECT_FALSE(FileExists(*m_novel / "escape.png"));
    EXPECT_FALSE(FileExists(*m_novel / "Images/..\\escape.png"));
    EXPECT_FALSE(FileExists(*m_novel / "Images/flat.png"));
}
