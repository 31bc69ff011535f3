// The text commands as a script uses them: text boxes and labels, their per-line properties, dialogue lines, the
// backlog settings, and a click on a flowing text.

#include "WindowFixture.h"
#include "commands/CmdHandlers.h"
#include "core/Clock.h"
#include "entities/NBacklog.h"
#include "entities/NTextbox.h"
#include "resources/NHelper.h"
#include "resources/ResourcePool.h"

#include <chrono>

using namespace testsupport;

namespace
{
const std::wstring kBox = L"textbox box 10 10 1 300 200 f.ttf 20\nuseTextbox box\n";

class TextCommandsTest : public WindowFixture
{
protected:
    void SetUp() override
    {
        WindowFixture::SetUp();
        MakeFont("f.ttf");
    }

    zel::NTextbox* Box(const std::wstring& name = L"box")
    {
        return dynamic_cast<zel::NTextbox*>(entities().Find(name).get());
    }
    /// The current text state of the box (fails the test when there is none).
    zel::sTextbox& State(const std::wstring& name = L"box")
    {
        zel::NTextbox* box = Box(name);
        EXPECT_NE(box, nullptr) << "no text box " << zel::NHelper::ws2s(name);
        static zel::sTextbox none;
        return box != nullptr && box->getCurrentText() != nullptr ? *box->getCurrentText() : none;
    }
    std::wstring Shown(const std::wstring& name = L"box") { return State(name).text(); }
    static bool Logged(const std::string& text) { return LogText().find(text) != std::string::npos; }
};
} // namespace

TEST_F(TextCommandsTest, DialogueFormsWriteTheirTextIntoTheCurrentBox)
{
    // Line 3 turns text mode on; line 5 (tilde) reads as a quote line; line 6 continues in text mode.
    const std::wstring script = kBox + L"\"..Hello\n-\", world\n~\"Again\\nand \\\\n\nplain\n";
    ShowLine(script, 3);
    EXPECT_EQ(Shown(), L"\n\nHello") << "leading full stops are empty lines";
    ShowLine(script, 4);
    EXPECT_EQ(Shown(), L"\n\nHello, world") << "the minus form continues the text";
    ShowLine(script, 5);
    EXPECT_EQ(Shown(), L"Again\nand \\n") << "\\n is a line feed; a doubled backslash keeps it written";
    ShowLine(script, 6);
    EXPECT_EQ(Shown(), L"Again\nand \\nplain");
    ShowLine(script, 3);
    EXPECT_EQ(Shown(), L"\n\nHello") << "moving back shows the earlier text";
}

TEST_F(TextCommandsTest, WaitMarksDecideWhetherPlayingStopsAtALine)
{
    Play(kBox + L"\"One\n\"Two\\w\n\"Three\n");
    EXPECT_EQ(zel::MainParser()->m_ParserState, zel::PARSE_FIN) << "\\w waits with auto-wait off";
    EXPECT_EQ(Shown(), L"Two");

    // A queued line keeps its tilde: only a dialogue line is taken from it.
    zel::CmdHandlers::ExecuteTilde(L"~-\" again");
    EXPECT_EQ(Shown(), L"Two again");
    zel::CmdHandlers::ExecuteTilde(L"~textSize 40");
    EXPECT_EQ(Shown(), L"Two again");
    EXPECT_TRUE(Logged("WARNING. (ExecuteTilde) not a line of dialogue:'~textSize 40'"));

    zel::MainParser()->textModeRecord.clear(); // the dialogue above left text mode on
    Play(kBox + L"textAutoWait on\n\"One\\c\n\"Two\n\"Three\n");
    EXPECT_EQ(zel::MainParser()->m_ParserState, zel::PARSE_FIN);
    EXPECT_EQ(Shown(), L"Two") << "\\c read on past One; auto-wait stopped at Two";
    EXPECT_TRUE(Logged("[ExecuteTextAutoWait] textAutoWait = on"));
}

TEST_F(TextCommandsTest, WithoutAUsableTextBoxDialogueIsOnlyLogged)
{
    MakeImage("red.png", 8, 8, sf::Color::Red);
    ShowLine(L"\"Hello\n", 1);
    EXPECT_TRUE(Logged("ERROR. (ExecuteLine) entity:'' does not exist or not a textbox"));

    const std::wstring script = kBox + L"cg pic red.png 0 0 0\nuseTextbox pic\n\"Hello\n";
    ShowLine(script, 5);
    EXPECT_TRUE(Logged("WARNING. (ExecuteUseTextbox) entity:'pic' does not exist or not a textbox"));
    EXPECT_EQ(sysVars().curUseTextareaName.get(true), L"") << "a wrong name leaves no current box";
    EXPECT_EQ(Shown(), L"") << "the earlier box is not written to";
    EXPECT_NE(entities().Find(L"pic"), nullptr);
}

TEST_F(TextCommandsTest, TextboxLineReusesItsBoxAndNeverTakesAnotherName)
{
    MakeImage("red.png", 8, 8, sf::Color::Red);
    const std::wstring line = L"textbox box 0 0 1 400 100 f.ttf 20\n";
    ShowLine(line + line +
                 L"cg pic red.png 0 0 0\ntextbox pic 0 0 1 400 100 f.ttf 20\n"
                 L"textbox other 0 0 1 40 10 missing.ttf 20\n",
             5);
    EXPECT_TRUE(Logged("[ExecuteTextarea] textarea:box already exists. reusing"));
    ASSERT_NE(Box(), nullptr);
    EXPECT_EQ(State().areaWidth, 400);
    EXPECT_EQ(State().getCharacterSize(), 20u);
    EXPECT_TRUE(Logged("ERROR. (ExecuteTextarea) name:'pic' is already used by a non textbox"));
    EXPECT_EQ(entities().Find(L"pic")->nType, zel::NTYPE_CG);
    EXPECT_TRUE(Logged("ERROR. failed to load font:'missing.ttf' script:"));
    EXPECT_NE(Box(L"other"), nullptr) << "a box whose font failed stays, without the font";
    EXPECT_EQ(entities().CountInLayers(), 3u);
}

TEST_F(TextCommandsTest, TextLabelTakesItsWordsAfterTheNoCameraWord)
{
    ShowLine(L"text label 5 6 2 f.ttf 18 noCamera 'Hello there'\ntext plain 5 6 2 f.ttf 18 Hi\n", 2);
    ASSERT_NE(Box(L"label"), nullptr);
    EXPECT_EQ(Shown(L"label"), L"Hello there");
    EXPECT_FALSE(Box(L"label")->inCamera());
    EXPECT_EQ(State(L"label").getPosition(), sf::Vector2f(5.f, 6.f));
    EXPECT_EQ(State(L"label").getCharacterSize(), 18u);
    EXPECT_EQ(State(L"label").MS_PER_LETTER, 0) << "a label is shown at once";
    ASSERT_NE(Box(L"plain"), nullptr);
    EXPECT_EQ(Shown(L"plain"), L"Hi");
    EXPECT_TRUE(Box(L"plain")->inCamera());
}

TEST_F(TextCommandsTest, TextProgressTogglesTheReadMethodOnlyWhilePlaying)
{
    ShowLine(L"textProgress 2\n", 1);
    EXPECT_EQ(sysVars().textReadMethod, 0) << "editing";
    Play(L"textProgress 2\n");
    EXPECT_EQ(sysVars().textReadMethod, 2);
    Play(L"textProgress 2\n");
    EXPECT_EQ(sysVars().textReadMethod, 0) << "the same method again turns it off";
}

TEST_F(TextCommandsTest, PropertyLinesAreRecordedPerLine)
{
    MakeFont("g.ttf");
    const std::wstring script = kBox + L"textSize 30\n"
                                       L"textColour 255 0 0\n"
                                       L"textFont g.ttf\n"
                                       L"textSize 12\n"
                                       L"textColour 300 -5 128\n"
                                       L"textSize -5\n"
                                       L"textFont missing.ttf\n";
    ShowLine(script, 10);
    EXPECT_EQ(State().getCharacterSize(), 12u) << "a negative size is refused";
    EXPECT_TRUE(Logged("invalid character size:-5"));
    EXPECT_EQ(State().getFillColor(), sf::Color(255, 0, 128, 255)) << "colour parts are kept within 0..255";
    ASSERT_NE(State().font, nullptr);
    EXPECT_EQ(State().font->key, L"g.ttf") << "a font that fails to load keeps the one before";
    EXPECT_TRUE(Logged("ERROR. failed to load font:'missing.ttf' script:"));

    ShowLine(script, 4);
    EXPECT_EQ(State().getCharacterSize(), 30u);
    EXPECT_EQ(State().getFillColor(), sf::Color(255, 0, 0, 255));
    ASSERT_NE(State().font, nullptr);
    EXPECT_EQ(State().font->key, L"f.ttf");
    ShowLine(script, 2);
    EXPECT_EQ(State().getCharacterSize(), 20u);
    EXPECT_EQ(State().getFillColor(), sf::Color::White);
}

TEST_F(TextCommandsTest, TextShadowTakesTheModeAloneOrWithAColour)
{
    const std::wstring script = kBox + L"textShadow 0 10 20 30\n"
                                       L"textShadow 1 50\n"
                                       L"textShadow 1 50 60\n"
                                       L"textShadow 1\n";
    ShowLine(script, 3);
    const std::size_t states = Box()->m_TextStates.entries().size();
    EXPECT_EQ(State().shadow, 0);
    EXPECT_EQ(State().shadowColour, sf::Color(10, 20, 30, 255));
    ShowLine(script, 5);
    EXPECT_EQ(Box()->m_TextStates.entries().size(), states) << "three or four tokens change nothing";
    EXPECT_EQ(State().shadow, 0);
    EXPECT_EQ(State().shadowColour, sf::Color(10, 20, 30, 255));
    ShowLine(script, 6);
    EXPECT_EQ(State().shadow, 1);
    EXPECT_EQ(State().shadowColour, sf::Color(0, 0, 0, 255)) << "the mode alone: opaque black";
}

TEST_F(TextCommandsTest, BacklogConfigTakesItsBoxAwayFromDialogue)
{
    const std::wstring script = L"textbox box 0 0 1 300 100 f.ttf 20\ntextbox log 0 0 1 300 100 f.ttf 20\n"
                                L"useTextbox box\nbacklogConfig log\nbacklogConfig box\n";
    ShowLine(script, 4);
    EXPECT_EQ(sysVars().curUseTextareaName.get(true), L"box") << "another box stays the current one";
    EXPECT_EQ(sysVars().curBacklogUseTextareaName.get(true), L"log");
    EXPECT_FALSE(State(L"log").visible);
    EXPECT_EQ(entities().pBacklog->textbox().get(), Box(L"log"));

    ShowLine(script, 5);
    EXPECT_EQ(sysVars().curUseTextareaName.get(true), L"") << "the current box is detached from dialogue";
    EXPECT_EQ(sysVars().curBacklogUseTextareaName.get(true), L"box");
    EXPECT_FALSE(State(L"box").visible);
}

TEST_F(TextCommandsTest, TheBacklogShowsWhatTheBoxShowed)
{
    // A value that holds a variable's name is shown as it stands, in the box and in the backlog alike.
    sysVars().variables[L"x"] = L"{{y}}";
    sysVars().variables[L"y"] = L"expanded twice";
    Play(L"textbox box 0 0 1 300 100 f.ttf 20\ntextbox log 0 0 1 300 100 f.ttf 20\nuseTextbox box\n"
         L"backlogConfig log\n\"{{x}}\n");
    EXPECT_EQ(Shown(), L"{{y}}");
    ASSERT_FALSE(entities().pBacklog->entries().empty());
    EXPECT_EQ(entities().pBacklog->entries().back().text, L"{{y}}");
}

namespace
{
class TextCommandsFlowTest : public TextCommandsTest
{
protected:
    void SetUp() override
    {
        TextCommandsTest::SetUp();
        zel::Clock::SetManual(true);
    }
    void TearDown() override
    {
        zel::Clock::SetManual(false);
        TextCommandsTest::TearDown();
    }
};
} // namespace

TEST_F(TextCommandsFlowTest, AClickOnAFlowingTextIsConsumedAndCompletesItAfter200Ms)
{
    EXPECT_FALSE(zel::Services::StopCurTextboxTextFlow());
    EXPECT_TRUE(Logged("ERROR. (Services::StopCurTextboxTextFlow) entity:'' does not exist or not a textarea"));

    // 40 ms a letter (Config.xml): the text flows for 440 ms.
    Play(kBox + L"textAutoWait on\n\"Hello world\n");
    DrawFrame(); // the flow starts with its first draw
    ASSERT_TRUE(Box()->isTextFlowing());
    zel::Clock::Advance(std::chrono::milliseconds(150));
    EXPECT_TRUE(zel::Services::StopCurTextboxTextFlow()) << "the click is consumed";
    EXPECT_TRUE(Box()->isTextFlowing()) << "but too early to cut the text short";

    zel::Clock::Advance(std::chrono::milliseconds(100));
    EXPECT_TRUE(zel::Services::StopCurTextboxTextFlow());
    EXPECT_FALSE(Box()->isTextFlowing());
    EXPECT_TRUE(Logged("TEXT CUR FLOWING: TRIGGER DISPLAY ENTIRE TEXT. passedTime:250"));
    EXPECT_FALSE(zel::Services::StopCurTextboxTextFlow()) << "a shown text leaves the click to read on";
    EXPECT_EQ(zel::MainParser()->m_ParserState, zel::PARSE_FIN);
}
