// Mouse and keyboard as the frame loop hands them over: reading on, completing a flowing text, the backlog wheel,
// key and mouse triggers, buttons and sliders under the pointer, and the editor's placeable picture.

#include "WindowFixture.h"
#include "core/Clock.h"
#include "core/SceneChanges.h"
#include "entities/NSprite.h"
#include "entities/NTextbox.h"
#include "quillhaven.h"

#include <SFML/Window/Event.hpp>

#include <chrono>
#include <string>
#include <vector>

using namespace testsupport;
using zel::Services;

namespace
{
const std::wstring kBox = L"textbox box 10 10 1 300 200 f.ttf 20\nuseTextbox box\ntextAutoWait on\n";

/// Stands in for a button or a slider: a picture that counts what the pointer does to it.
class PointerTarget : public zel::NSprite
{
public:
    explicit PointerTarget(const std::wstring& name, zel::NType type = zel::NTYPE_BUTTON) : NSprite(type, name, 0) {}
    bool isDisabled() const override { return disabled; }
    bool isExcludedFromSelection() const override { return excluded; }
    bool isSlider() const override { return nType == zel::NTYPE_TRACKBAR; }
    std::wstring getSrcScriptName() const override { return script; }
    void setTouched(bool on) override { touched = on; }
    void setClicked() override { ++clickedLooks; }
    bool Click(const std::wstring& trigger) override
    {
        clicks.push_back(trigger);
        return handles;
    }
    void Drag(float x, float y) override { drags.emplace_back(x, y); }

    bool disabled = false;
    bool excluded = false;
    bool handles = true;
    std::wstring script = L"main.txt";
    bool touched = false;
    int clickedLooks = 0;
    std::vector<std::wstring> clicks;
    std::vector<sf::Vector2f> drags;
};

sf::Event KeyEvent(sf::Keyboard::Key code)
{
    sf::Event event{};
    event.type = sf::Event::KeyPressed;
    event.key.code = code;
    return event;
}

sf::Event ButtonEvent(sf::Event::EventType type, sf::Mouse::Button button, int x, int y)
{
    sf::Event event{};
    event.type = type;
    event.mouseButton = {button, x, y};
    return event;
}

sf::Event MoveEvent(int x, int y)
{
    sf::Event event{};
    event.type = sf::Event::MouseMoved;
    event.mouseMove = {x, y};
    return event;
}

sf::Event WheelEvent(float delta)
{
    sf::Event event{};
    event.type = sf::Event::MouseWheelScrolled;
    event.mouseWheelScroll = {sf::Mouse::VerticalWheel, delta, 5, 5};
    return event;
}

class InputTest : public WindowFixture
{
protected:
    void SetUp() override
    {
        WindowFixture::SetUp();
        zel::Clock::SetManual(true);
        MakeFont("f.ttf");
        MakeImage("btn.png", 40, 20, sf::Color::Red);
    }
    void TearDown() override
    {
        zel::Clock::SetManual(false);
        WindowFixture::TearDown();
    }

    /// An event as the frame loop passes it on: the keyboard handling, then the input dispatch.
    void Send(const sf::Event& event)
    {
        Services::HandleKeyboard(event);
        Services::DispatchInput(event);
    }
    void Click(sf::Mouse::Button button = sf::Mouse::Left, int x = 300, int y = 230)
    {
        Send(ButtonEvent(sf::Event::MouseButtonPressed, button, x, y));
        Send(ButtonEvent(sf::Event::MouseButtonReleased, button, x, y));
    }
    /// The current text starts flowing with its first draw and has flowed a second later.
    void FinishFlow()
    {
        DrawFrame();
        zel::Clock::Advance(std::chrono::milliseconds(1000));
        DrawFrame();
    }
    /// Runs what the input queued (an update without events or drawing).
    void RunQueued() { Services::UpdateEngine(false, false); }

    std::wstring Shown() { return zel::NTextbox::Current()->getCurrentText()->text(); }
    zel::Parser& parser() { return *zel::CurParser(); }
    static bool Logged(const std::string& text) { return LogText().find(text) != std::string::npos; }
    static std::string LogSince(std::size_t mark) { return LogText().substr(mark); }

    /// A target of 40 x 20 at (x, y) in the registry and the interactive list.
    std::shared_ptr<PointerTarget> AddTarget(const std::wstring& name, float x, float y,
                                             zel::NType type = zel::NTYPE_BUTTON)
    {
        auto target = std::make_shared<PointerTarget>(name, type);
        EXPECT_TRUE(target->loadTexture(L"btn.png"));
        target->getCurrentSprite()->setPosition(x, y);
        entities().InsNovelEntity(target, 0, name);
        entities().interactives.push_back(target);
        return target;
    }
};
} // namespace

TEST_F(InputTest, AClickFirstCompletesAFlowingTextThenReadsOn)
{
    // 40 ms a letter: "Hello world" flows for 440 ms.
    Play(kBox + L"\"Hello world\n\"Next line\n\"Third line\n\"Fourth line\n");
    DrawFrame();
    ASSERT_TRUE(zel::NTextbox::Current()->isTextFlowing());

    zel::Clock::Advance(std::chrono::milliseconds(100));
    Click();
    RunQueued();
    EXPECT_TRUE(zel::NTextbox::Current()->isTextFlowing()) << "too early to cut the text short";
    EXPECT_EQ(Shown(), L"Hello world");
    EXPECT_EQ(parser().m_ParserState, zel::PARSE_FIN);

    zel::Clock::Advance(std::chrono::milliseconds(150));
    Click();
    RunQueued();
    EXPECT_FALSE(zel::NTextbox::Current()->isTextFlowing()) << "a later click shows the whole text";
    EXPECT_EQ(Shown(), L"Hello world") << "and does not read on";

    Click();
    RunQueued();
    EXPECT_EQ(Shown(), L"Next line");
    EXPECT_EQ(parser().m_ParserState, zel::PARSE_FIN);
    EXPECT_TRUE(Logged("UpdateMouse::TRIGGER READSCRIPT:-1"));

    FinishFlow();
    Click(); // a double click handled in one update
    Click();
    RunQueued();
    EXPECT_EQ(Shown(), L"Third line") << "one read-on for both clicks";
    EXPECT_TRUE(Logged("UpdateMouse: a read-on is already pending. ignored"));
}

TEST_F(InputTest, SpaceAndReturnReadOnAndOtherKeysLookForTriggers)
{
    Play(kBox + L"\"one\n\"two\n\"three\n");
    for (const sf::Keyboard::Key key : {sf::Keyboard::Space, sf::Keyboard::Enter})
    {
        const std::wstring before = Shown();
        FinishFlow();
        Send(KeyEvent(key));
        RunQueued();
        EXPECT_NE(Shown(), before) << "key " << key;
    }
    EXPECT_EQ(Shown(), L"three");
    EXPECT_TRUE(Logged("INPUT KEYBOARD::SPACE"));
    EXPECT_TRUE(Logged("INPUT KEYBOARD::ENTER"));
    EXPECT_TRUE(Logged("UpdateKeyboard::TRIGGER READSCRIPT:-1"));

    Send(KeyEvent(sf::Keyboard::Q));
    RunQueued();
    EXPECT_TRUE(Logged("WARNING. TRIGGER NOT FOUND. key:16, type:keyboard"));

    // While editing, keys do nothing at all.
    sysVars().gameMode = 0;
    const std::size_t mark = LogText().size();
    Send(KeyEvent(sf::Keyboard::W));
    Send(KeyEvent(sf::Keyboard::Space));
    RunQueued();
    EXPECT_EQ(LogSince(mark).find("TRIGGER NOT FOUND"), std::string::npos);
    EXPECT_EQ(LogSince(mark).find("INPUT KEYBOARD"), std::string::npos);
}

TEST_F(InputTest, WheelDownReadsOnLikeAClickUnlessTheBacklogIsShown)
{
    Play(kBox + L"\"one\n\"two\n\"three\n");
    FinishFlow();
    Send(WheelEvent(-1.f));
    RunQueued();
    EXPECT_EQ(Shown(), L"two");
    EXPECT_TRUE(Logged("INPUT MOUSE HWEEL::DOWN"));

    // Shown, the backlog scrolls instead: down past its newest line hides it again, and the text stays.
    sysVars().backlogDisplay.set(true, false);
    FinishFlow();
    Send(WheelEvent(-1.f));
    RunQueued();
    EXPECT_FALSE(sysVars().backlogDisplay.get(true));
    EXPECT_EQ(Shown(), L"two");

    // A left click on the shown backlog does not read on either.
    sysVars().backlogDisplay.set(true, false);
    Click();
    RunQueued();
    EXPECT_EQ(Shown(), L"two");
}

TEST_F(InputTest, MouseTriggersAndTheRightClickThatEndsAutomaticReading)
{
    MakeImage("sky.png", 8, 8, sf::Color::Blue);
    Play(L"keyTrigger r.click bg right sky.png\nkeyTrigger wheel.up bg up sky.png\nwait\n");
    ASSERT_EQ(sysVars().mouseTriggers.size(), 2u);

    for (const int method : {1, 2})
    {
        sysVars().textReadMethod = method;
        Click(sf::Mouse::Right);
        RunQueued();
        EXPECT_EQ(sysVars().textReadMethod, 0);
        EXPECT_EQ(entities().Find(L"right"), nullptr) << "the right click only switched reading back to manual";
    }
    EXPECT_TRUE(Logged("(Services::UpdateMouse) TEXT AUTO/SKIP CLEARED."));

    Click(sf::Mouse::Right);
    RunQueued();
    EXPECT_NE(entities().Find(L"right"), nullptr);

    sysVars().backlogDisplay.set(true, false);
    Send(WheelEvent(1.f));
    RunQueued();
    EXPECT_EQ(entities().Find(L"up"), nullptr) << "a shown backlog takes the wheel";
    sysVars().backlogDisplay.set(false, false);
    Send(WheelEvent(1.f));
    RunQueued();
    EXPECT_NE(entities().Find(L"up"), nullptr);
    EXPECT_TRUE(Logged("trigger:'wheel.up' exists."));

    // A waiting message box takes no triggers.
    parser().m_ParserState = zel::WAIT_MSGBOXSEL;
    EXPECT_FALSE(Services::ExecuteTrigger(1, true));
}

TEST_F(InputTest, AKeyTriggerOfALaterLineIsDroppedWhileEditingAndFiresWhilePlaying)
{
    MakeImage("sky.png", 8, 8, sf::Color::Blue);
    std::wstring script;
    for (int line = 1; line < 20; ++line)
        script += L"line" + std::to_wstring(line) + L"\n";
    script += L"keyTrigger a bg sky sky.png\nkeyTrigger b\n";
    ShowLine(script, 21);
    ASSERT_EQ(sysVars().keyTriggers.count(sf::Keyboard::A), 1u);
    EXPECT_EQ(sysVars().keyTriggers[sf::Keyboard::A].triggerLine, 20);

    ShowLine(script, 10);
    EXPECT_FALSE(Services::ExecuteTrigger(sf::Keyboard::A, false));
    EXPECT_TRUE(Logged("trigger:'a' trigger-line:20 > cur-readlinno:10. remove"));
    EXPECT_EQ(sysVars().keyTriggers.count(sf::Keyboard::A), 0u);
    RunQueued();
    EXPECT_EQ(entities().Find(L"sky"), nullptr);

    Play(L"keyTrigger a bg sky sky.png\nkeyTrigger b\nwait\n");
    Send(KeyEvent(sf::Keyboard::A));
    RunQueued();
    EXPECT_NE(entities().Find(L"sky"), nullptr);

    // A trigger without a line runs nothing (in particular not the parser's last line again).
    const std::size_t mark = LogText().size();
    Send(KeyEvent(sf::Keyboard::B));
    RunQueued();
    EXPECT_NE(LogSince(mark).find("trigger:'b' exists."), std::string::npos);
    EXPECT_EQ(LogSince(mark).find("parseTokens.size() == 0"), std::string::npos);
}

TEST_F(InputTest, KeyTriggerNamesAndTheirRecords)
{
    std::wstring script = L"keyTrigger nokey x\n";
    for (const wchar_t* name : {L"ctrl", L"z", L"0", L"f12", L"esc", L"pagedown", L"left"})
        script += L"keyTrigger " + std::wstring(name) + L" bg  x   y.png\n";
    Play(script);
    EXPECT_TRUE(Logged("ERROR. (ExecuteKeyTrigger) INVALID TRIGGER KEY:nokey script:"));
    for (const sf::Keyboard::Key key : {sf::Keyboard::LControl, sf::Keyboard::Z, sf::Keyboard::Num0, sf::Keyboard::F12,
                                        sf::Keyboard::Escape, sf::Keyboard::PageDown, sf::Keyboard::Left})
        EXPECT_EQ(sysVars().keyTriggers[key].trigger_function, L"bg x y.png") << "key " << key;
    EXPECT_EQ(sysVars().keyNames.count(L"space"), 0u) << "Space advances the text and is no trigger key";
    EXPECT_TRUE(Logged("[ExecuteKeyTrigger] TRIGGER SAVED. key:f12 trigger_func:bg x y.png"));
}

TEST_F(InputTest, ButtonsAreHitAtThePointerThroughTheWindowsView)
{
    sysVars().gameMode = 1;
    auto button = AddTarget(L"b", 100, 100);
    // The view shows the world from (50, 50) on: the pixel (60, 55) is the world point (110, 105).
    sf::View view = Services::pRenderWindow->getDefaultView();
    view.move(50, 50);
    Services::pRenderWindow->setView(view);

    Send(MoveEvent(60, 55));
    DrawFrame();
    EXPECT_TRUE(button->touched) << "the frame's hover check";
    Send(MoveEvent(100, 100));
    DrawFrame();
    EXPECT_FALSE(button->touched);

    Click(sf::Mouse::Left, 100, 100);
    RunQueued(); // the read-on that click queued
    EXPECT_TRUE(button->clicks.empty());
    std::size_t mark = LogText().size();
    Click(sf::Mouse::Left, 60, 55);
    EXPECT_EQ(button->clicks, std::vector<std::wstring>{L"left.click"});
    EXPECT_EQ(button->clickedLooks, 1);
    EXPECT_NE(LogSince(mark).find("button click. name:b"), std::string::npos);
    EXPECT_EQ(LogSince(mark).find("TRIGGER READSCRIPT"), std::string::npos) << "the button took the click";

    button->handles = false;
    mark = LogText().size();
    Click(sf::Mouse::Left, 60, 55);
    EXPECT_NE(LogSince(mark).find("UpdateMouse::TRIGGER READSCRIPT"), std::string::npos)
        << "a click the button does not handle reads on";
    Click(sf::Mouse::Right, 60, 55);
    EXPECT_EQ(button->clicks.back(), L"right.click");

    button->markRemoved(true, false);
    Click(sf::Mouse::Left, 60, 55);
    EXPECT_EQ(button->clicks.size(), 3u) << "a removed button is not pressed any more";
}

TEST_F(InputTest, DisabledButtonsAndChoicesOfButtonsAndMessageBoxes)
{
    sysVars().gameMode = 1;
    auto plain = AddTarget(L"plain", 0, 0);
    auto boxButton = AddTarget(L"yes", 100, 0);
    boxButton->creatorKind = zel::PARSER_MSGBOX;

    plain->disabled = true;
    Send(MoveEvent(5, 5));
    EXPECT_TRUE(Services::CheckButtons(2, L"left.click")) << "a disabled button takes the click";
    EXPECT_TRUE(plain->clicks.empty());
    Send(MoveEvent(5, 5));
    Services::CheckButtons(1, L"left.click");
    EXPECT_FALSE(plain->touched) << "and shows no hover";
    plain->disabled = false;

    parser().m_ParserState = zel::WAIT_BTNSEL;
    Click(sf::Mouse::Right, 5, 5);
    EXPECT_EQ(parser().m_ParserState, zel::WAIT_BTNSEL) << "only a left click chooses";
    plain->excluded = true;
    Click(sf::Mouse::Left, 5, 5);
    EXPECT_EQ(parser().m_ParserState, zel::WAIT_BTNSEL) << "an excluded button is no choice";
    plain->excluded = false;
    plain->handles = false; // a button without a job of its own
    const std::size_t mark = LogText().size();
    Click(sf::Mouse::Left, 5, 5);
    EXPECT_EQ(parser().m_ParserState, zel::PARSE_CONT);
    EXPECT_TRUE(Logged("BUTTON CLICK: RELEASING WAIT_BTNSEL"));
    EXPECT_EQ(LogSince(mark).find("TRIGGER READSCRIPT"), std::string::npos) << "the choice also read on";
    plain->handles = true;

    parser().m_ParserState = zel::WAIT_MSGBOXSEL;
    const std::size_t plainClicks = plain->clicks.size();
    Click(sf::Mouse::Left, 5, 5);
    EXPECT_EQ(plain->clicks.size(), plainClicks) << "the buttons behind a waiting message box are dead";
    EXPECT_EQ(parser().m_ParserState, zel::WAIT_MSGBOXSEL);
    Click(sf::Mouse::Left, 105, 5);
    EXPECT_EQ(boxButton->clicks.size(), 1u);
    EXPECT_EQ(parser().m_ParserState, zel::PARSE_CONT);
    EXPECT_TRUE(Logged("MSGBTN CLICK: RELEASING WAIT_MSGBOXSEL"));
}

TEST_F(InputTest, AnActiveRegionIgnoresTheButtonsOfOtherScripts)
{
    sysVars().gameMode = 1;
    auto own = AddTarget(L"own", 0, 0);
    auto other = AddTarget(L"other", 0, 0);
    other->script = L"menu.txt";
    sysVars().buttonAliveRegions = {L"gone.txt", L"main.txt"};
    Click(sf::Mouse::Left, 5, 5);
    EXPECT_EQ(own->clicks.size(), 1u);
    EXPECT_TRUE(other->clicks.empty());

    // A region whose script no parser runs any more is dropped: every button answers again.
    sysVars().buttonAliveRegions = {L"gone.txt"};
    Click(sf::Mouse::Left, 5, 5);
    EXPECT_EQ(other->clicks.size(), 1u);
    EXPECT_TRUE(sysVars().buttonAliveRegions.empty());
}

TEST_F(InputTest, ASliderIsDraggedFromPressToRelease)
{
    sysVars().gameMode = 1;
    auto slider = AddTarget(L"slider", 100, 100, zel::NTYPE_TRACKBAR);
    Send(MoveEvent(50, 50));
    EXPECT_TRUE(slider->drags.empty());

    const std::size_t mark = LogText().size();
    Send(ButtonEvent(sf::Event::MouseButtonPressed, sf::Mouse::Left, 110, 105));
    EXPECT_TRUE(sysVars().sliderDragging);
    EXPECT_NE(LogSince(mark).find("clicked trackbar"), std::string::npos);
    EXPECT_EQ(LogSince(mark).find("TRIGGER READSCRIPT"), std::string::npos) << "grabbing the knob does not read on";
    Send(MoveEvent(130, 300));
    ASSERT_EQ(slider->drags.size(), 1u);
    EXPECT_NEAR(slider->drags.back().x, 130.f, 0.01f);
    EXPECT_NEAR(slider->drags.back().y, 300.f, 0.01f) << "dragged also off the knob";
    Send(ButtonEvent(sf::Event::MouseButtonReleased, sf::Mouse::Right, 130, 300));
    EXPECT_FALSE(sysVars().sliderDragging);
    EXPECT_EQ(sysVars().draggedSlider, nullptr);
    Send(MoveEvent(140, 300));
    EXPECT_EQ(slider->drags.size(), 1u);

    // A dragging flag without its slider is reported, once.
    sysVars().sliderDragging = true;
    Send(MoveEvent(150, 300));
    Send(MoveEvent(160, 300));
    const std::string log = LogText();
    const std::string error = "ERROR Services::UpdateMouse trackbar does not exist (nullptr)";
    ASSERT_NE(log.find(error), std::string::npos);
    EXPECT_EQ(log.find(error, log.find(error) + 1), std::string::npos);
}

TEST_F(InputTest, RemovedButtonsAndSlidersLeaveTheInteractiveList)
{
    ShowLine(L"l1\nl2\nl3\nl4\n", 4);
    zel::MainParser()->readlineno = 1;
    auto kept = AddTarget(L"kept", 0, 0, zel::NTYPE_TRACKBAR);
    zel::MainParser()->readlineno = 3;
    AddTarget(L"later", 0, 0);
    zel::MainParser()->readlineno = 4;
    Services::RemoveEntitiesFromLine(2);
    EXPECT_EQ(entities().interactives, zel::EntityList{kept}) << "the editor went back before line 3";

    sysVars().gameMode = 1;
    kept->markRemoved(true, false);
    sysVars().sliderDragging = true;
    sysVars().draggedSlider = kept;
    DrawFrame(); // buries what is marked removed
    EXPECT_TRUE(entities().interactives.empty());
    EXPECT_FALSE(sysVars().sliderDragging) << "a removed slider is no longer dragged";
    EXPECT_EQ(sysVars().draggedSlider, nullptr);
}

TEST_F(InputTest, TheEditorPicturesPlaceIsReportedToTheHost)
{
    MakeImage("hero.png", 30, 50, sf::Color::Green);
    AddCG(L"hero.png");
    ASSERT_NE(sysVars().editorPicture, nullptr);
    wchar_t text[64] = {};
    UserDialogInfo dialog{};
    auto deliver = [&] {
        dialog = UserDialogInfo{};
        getDLLInformation(nullptr, text, &dialog, 1);
    };

    DrawFrame(); // the picture on screen is current
    Send(MoveEvent(100, 100));
    EXPECT_EQ(zel::SceneChanges::Next(), zel::SceneChanges::Need::Whole) << "the picture follows the pointer on screen";
    Click(sf::Mouse::Right, 100, 100); // other buttons do nothing
    ASSERT_NE(sysVars().editorPicture, nullptr);
    const sf::FloatRect bounds = sysVars().editorPicture->getCurrentSprite()->getGlobalBounds();
    EXPECT_NEAR(bounds.left + bounds.width / 2, 100.f, 0.01f);
    EXPECT_NEAR(bounds.top + bounds.height / 2, 100.f, 0.01f);
    deliver();
    EXPECT_EQ(dialog.pending, 1);
    EXPECT_EQ(dialog.kind, 2);
    EXPECT_EQ(dialog.imageWidth, 30);
    EXPECT_EQ(dialog.imageHeight, 50);
    EXPECT_EQ(std::wstring(text), L"hero.png");
    deliver();
    EXPECT_EQ(dialog.pending, 0) << "delivered once";

    Click(sf::Mouse::Left, 120, 80);
    EXPECT_EQ(sysVars().editorPicture, nullptr);
    EXPECT_TRUE(Logged("chosen manipulate entity coordinates"));
    Send(MoveEvent(10, 10));
    deliver();
    EXPECT_EQ(dialog.pending, 2) << "the placing click, not overwritten by later moves";
    EXPECT_EQ(dialog.imageWidth, 30);
}
