// Real input through the X server: clicks, wheel turns and key presses sent with XTest to the window the engine
// opens for a launcher and to the render area inside an editor, and what the novel does with each of them. The
// host marks each step in the log ("[host] ..."), so that what the engine logged in answer can be told apart.

#include "ChildReport.h"
#include "EditorSession.h"
#include "HostLibrary.h"
#include "NovelHostTest.h"
#include "TestSupport.h"
#include "X11TestWindow.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <functional>
#include <string>
#include <unistd.h>

namespace
{
using hosttest::ChildReport;
using hosttest::HostLibrary;
using hosttest::PointerButton;
using testsupport::TempDir;
using SteadyClock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using std::chrono::seconds;

constexpr int kWidth = 640;
constexpr int kHeight = 480;
const char* const kWindowTitle = "Input -Quillhaven 0.8.2-t2";
const wchar_t* const kScriptName = L"main.txt";

// Parser states as getDLLInformation reports them.
constexpr int kParseFin = 2;
constexpr int kSyncExec = 4;

// What the engine logs.
const char* const kLeftClick = "INPUT MOUSE CLICK::LEFT";
const char* const kFlowReset = "FLOW TIMER RESET";
const char* const kFlowFinished = "TEXT FLOW FINISHED";
const char* const kShownWhole = "TEXT CUR FLOWING: TRIGGER DISPLAY ENTIRE TEXT. passedTime:";
const char* const kReadOn = "TRIGGER READSCRIPT:-1";
const char* const kReadUntil = "read until line:";
const char* const kAutoReadOn = "TEXT AUTO. PARSE CONT.";

/// A text box for the dialogue, in use, and every line of dialogue waiting for the reader: lines 1 to 3.
const std::wstring kPrelude = L"textbox box 0 0 1 600 400 f.ttf 20\nuseTextbox box\ntextAutoWait on\n";
/// About two seconds of flowing at the manual speed below.
const std::wstring kSlowLine = L"\"A slow line of dialogue, shown letter by letter.\"\n";

/// Manual reading 50 ms a letter; automatic reading 25 ms a letter and on after a second.
std::string InputConfigXml()
{
    std::string xml = testsupport::ConfigXml();
    const auto set = [&xml](const std::string& from, const std::string& to) {
        const std::size_t at = xml.find(from);
        if (at != std::string::npos)
            xml.replace(at, from.size(), to);
    };
    set("sysTextSpeed=\"40\"", "sysTextSpeed=\"50\"");
    set("sysAutoSpeed=\"50\"", "sysAutoSpeed=\"25\"");
    set("sysAutoWait=\"1500\"", "sysAutoWait=\"1000\"");
    return xml;
}

std::string CurrentFolder()
{
    char buffer[4096];
    return getcwd(buffer, sizeof buffer) != nullptr ? buffer : ".";
}

double MsSince(SteadyClock::time_point start)
{
    return std::chrono::duration<double, std::milli>(SteadyClock::now() - start).count();
}

int Count(const std::string& text, const std::string& needle)
{
    int count = 0;
    for (std::size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + needle.size()))
        ++count;
    return count;
}

/// The number written right after the last needle in text; -1 when there is none.
double NumberAfterLast(const std::string& text, const std::string& needle)
{
    const std::size_t at = text.rfind(needle);
    return at == std::string::npos ? -1.0 : std::atof(text.c_str() + at + needle.size());
}

/// The text from the last from onward up to the next to (or the end); "" when from is missing.
std::string SectionFromLast(const std::string& text, const std::string& from, const std::string& to = "")
{
    const std::size_t start = text.rfind(from);
    if (start == std::string::npos)
        return "";
    const std::size_t end = to.empty() ? std::string::npos : text.find(to, start + from.size());
    return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

/// The engine's side of one running novel inside a scenario's child: the library, the log, frames and real input.
class Session
{
public:
    explicit Session(ChildReport& report) : m_report(report) {}
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    const HostLibrary& library() const { return m_library; }
    Display* display() const { return m_x11.get(); }
    bool loaded() const
    {
        return m_report.Check(m_library.ok(), m_library.error()) && m_report.Check(bool(m_x11), "no X display");
    }

    /// The log as far as the logger has written it.
    static std::string Log() { return testsupport::ReadFile("debug.txt"); }
    static int Logged(const std::string& needle) { return Count(Log(), needle); }
    /// The line the main parser last stopped reading at; 0 before it read any.
    static int Line()
    {
        const double line = NumberAfterLast(Log(), kReadUntil);
        return line < 0 ? 0 : static_cast<int>(line);
    }
    /// True once the text of the line read last stands whole: it finished flowing or a click completed it.
    static bool TextStandsWhole()
    {
        const std::string log = Log();
        const std::size_t read = log.rfind(kReadUntil);
        const auto after = [&](const char* needle) {
            const std::size_t at = log.rfind(needle);
            return at != std::string::npos && at > read;
        };
        return read != std::string::npos && (after(kFlowFinished) || after(kShownWhole));
    }
    int State() const
    {
        int32_t state = -1;
        hosttest::QueryInfo(m_library, &state);
        return state;
    }
    /// Writes a step mark into the engine's log.
    void Mark(const wchar_t* step) const { m_library.OutputDebugStringN(step); }

    void RunFor(milliseconds time) const
    {
        const auto start = SteadyClock::now();
        hosttest::RunFramesUntil(
            m_library, [&] { return SteadyClock::now() - start >= time; }, time + seconds(1));
    }
    bool RunUntil(const std::function<bool()>& done, milliseconds timeout = seconds(3)) const
    {
        return hosttest::RunFramesUntil(m_library, done, timeout);
    }
    /// Runs frames until the log holds needle count times; notes what when it never does.
    bool RunUntilLogged(const std::string& needle, int count, const std::string& what) const
    {
        return m_report.Check(RunUntil([&] { return Logged(needle) >= count; }), what);
    }
    /// Runs frames until the parser has read up to line; notes what when it never does.
    bool RunUntilLine(int line, const std::string& what) const
    {
        return m_report.Check(RunUntil([&] { return Line() == line; }),
                              what + " (at line " + std::to_string(Line()) + ")");
    }
    /// Runs frames until line is read and its text stands whole, so that the next input reads on.
    bool AwaitWholeLine(int line) const
    {
        return m_report.Check(RunUntil([&] { return Line() == line && TextStandsWhole(); }),
                              "line " + std::to_string(line) + " never stood whole");
    }

    void Click(hosttest::WindowId window, int x, int y, PointerButton button = PointerButton::Left) const
    {
        m_report.Check(hosttest::ClickAt(display(), window, x, y, button), "XTest click failed");
    }
    void Key(hosttest::WindowId window, const std::string& keysymName) const
    {
        m_report.Check(hosttest::PressKey(display(), window, keysymName), "XTest key " + keysymName + " failed");
    }

private:
    ChildReport& m_report;
    const HostLibrary m_library;
    const hosttest::X11Connection m_x11;
};

/// The launcher's way of running a novel: the folder mounted by the host, the engine's own window opened on the
/// script, found on the X server and given the keyboard focus.
class PlayedNovel : public Session
{
public:
    PlayedNovel(ChildReport& report, const std::wstring& script) : Session(report)
    {
        if (!loaded())
            return;
        report.Check(library().PHYSFS_init(nullptr) != 0, "PHYSFS_init failed");
        report.Check(library().PHYSFS_mount(CurrentFolder().c_str(), nullptr, 1) != 0, "PHYSFS_mount failed");
        library().CreateRenderWindow(nullptr, nullptr, kWidth, kHeight, L"Input", kScriptName, script.c_str(),
                                     L"application", 1);
        const auto frame = [this] {
            hosttest::RunFrames(library(), 1);
        };
        m_window = hosttest::WaitForTopLevelWindow(display(), kWindowTitle, seconds(5), frame);
        if (report.Check(m_window != 0, std::string("no window named \"") + kWindowTitle + "\""))
            m_ready = report.Check(hosttest::GiveFocus(display(), m_window, seconds(3), frame),
                                   "the engine's window did not take the keyboard focus");
    }
    ~PlayedNovel()
    {
        if (library().ok())
            library().DestroyRenderWindow();
    }

    bool ready() const { return m_ready; }
    hosttest::WindowId window() const { return m_window; }
    void Click(PointerButton button = PointerButton::Left) const
    {
        Session::Click(m_window, kWidth / 2, kHeight / 2, button);
    }
    void ClickAt(int x, int y) const { Session::Click(m_window, x, y); }
    void Key(const std::string& keysymName) const { Session::Key(m_window, keysymName); }

private:
    hosttest::WindowId m_window = 0;
    bool m_ready = false;
};

class InputHost : public hosttest::NovelHostTest
{
protected:
    void SetUp() override { PrepareNovel(InputConfigXml()); }

    /// The log of the step marked from (its last mark) up to the next mark to; a mark is a whole log line.
    std::string Step(const std::string& from, const std::string& to = "") const
    {
        return SectionFromLast(m_log, from + "\n", to.empty() ? to : to + "\n");
    }
    void ExpectInOrder(const std::string& text, const std::vector<std::string>& needles) const
    {
        std::string missing;
        EXPECT_TRUE(testsupport::ContainsInOrder(text, needles, &missing))
            << "missing (in order): \"" << missing << "\" in:\n"
            << text;
    }
    void ExpectNone(const std::string& text, const std::vector<std::string>& needles) const
    {
        for (const std::string& needle : needles)
            EXPECT_EQ(text.find(needle), std::string::npos) << "\"" << needle << "\" in:\n" << text;
    }
};

TEST_F(InputHost, FlowingTextSwallowsAnEarlyClickAndCompletesOnALaterOne)
{
    // Lines 5 to 7 flow slowly, so that a machine too busy to send the early click in time can try again.
    const std::wstring script = kPrelude + L"\"Go.\"\n" + kSlowLine + kSlowLine + kSlowLine + L"\"Read on.\"\n";
    Run([&](ChildReport& report) {
        const PlayedNovel novel(report, script);
        if (!novel.ready() || !novel.AwaitWholeLine(4))
            return;
        int line = 4;
        bool early = false;
        SteadyClock::time_point flowSeen;
        for (int attempt = 0; attempt < 3 && !early; ++attempt)
        {
            const int resets = Session::Logged(kFlowReset);
            const auto sent = SteadyClock::now();
            novel.Click();
            ++line;
            if (!report.Check(
                    novel.RunUntil([&] { return Session::Line() == line && Session::Logged(kFlowReset) > resets; }),
                    "a click did not start line " + std::to_string(line) + " flowing"))
                return;
            flowSeen = SteadyClock::now();
            const int clicks = Session::Logged(kLeftClick);
            const int wholes = Session::Logged(kShownWhole);
            novel.Mark(L"[host] early click\n");
            novel.Click();
            if (!novel.RunUntilLogged(kLeftClick, clicks + 1, "the early click never arrived"))
                return;
            // The flow started after the first click went out, so this bounds its age when the engine took the
            // second one. A machine too busy for that lets the line finish and tries the next one.
            early = MsSince(sent) < 200.0;
            if (!early)
                novel.RunUntil([&] { return Session::TextStandsWhole() || Session::Logged(kShownWhole) > wholes; },
                               seconds(5));
        }
        if (!report.Check(early, "no click reached the engine within 200 ms of a flow's start"))
            return;
        report.Equal(Session::Line(), line, "line after the early click");

        // Well past 200 ms the next click shows the text whole without reading on.
        novel.RunUntil([&] { return MsSince(flowSeen) > 300.0; });
        const int wholes = Session::Logged(kShownWhole);
        novel.Mark(L"[host] later click\n");
        novel.Click();
        novel.RunUntilLogged(kShownWhole, wholes + 1, "a later click did not show the flowing text whole");
        report.Equal(Session::Line(), line, "line after the later click");
        report.Equal(novel.State(), kParseFin, "parser state with the text shown whole");

        novel.Mark(L"[host] reading on\n");
        novel.Click();
        novel.RunUntilLine(line + 1, "the click after the whole text did not read on");
    });
    ExpectInOrder(m_log, {kFlowReset, "[host] early click", kLeftClick, "[host] later click"});
    const std::string earlyClick = Step("[host] early click", "[host] later click");
    ExpectNone(earlyClick, {kShownWhole, kReadOn, kReadUntil});
    const std::string laterClick = Step("[host] later click", "[host] reading on");
    ExpectInOrder(laterClick, {kLeftClick, kShownWhole});
    ExpectNone(laterClick, {kReadOn, kReadUntil});
    EXPECT_GT(NumberAfterLast(laterClick, kShownWhole), 200.0) << laterClick;
    ExpectInOrder(Step("[host] reading on"), {kLeftClick, "UpdateMouse::TRIGGER READSCRIPT:-1", kReadUntil});
}

TEST_F(InputHost, RightClickOnlyEndsAutomaticReading)
{
    // Line 4 waits for a click; then automatic reading, switched on by the script (the tilde ends the dialogue's
    // text mode), takes over at line 6.
    const std::wstring script =
        kPrelude + L"\"Go.\"\n~textProgress 1\n\"Thirty letters, read by itself.\"\n\"Read on.\"\n";
    Run([&](ChildReport& report) {
        const PlayedNovel novel(report, script);
        if (!novel.ready() || !novel.AwaitWholeLine(4))
            return;
        novel.Click();
        if (!novel.RunUntilLine(6, "a click did not read on to the automatic line"))
            return;
        const auto read = SteadyClock::now();
        novel.Mark(L"[host] right click\n");
        novel.Click(PointerButton::Right);
        novel.RunUntilLogged("TEXT AUTO/SKIP CLEARED", 1, "a right click did not switch automatic reading off");
        if (!report.Equal(Session::Logged(kAutoReadOn), 0, "automatic read-ons before the right click arrived"))
            return;

        // Automatic reading would have moved on a second after it began and once the text stood whole.
        novel.RunUntil([&] { return Session::TextStandsWhole() && MsSince(read) > 1800.0; }, seconds(5));
        report.Equal(Session::Line(), 6, "line long after the right click");
        report.Equal(novel.State(), kParseFin, "parser state long after the right click");
        report.Equal(Session::Logged(kAutoReadOn), 0, "automatic read-ons after the right click");

        novel.Mark(L"[host] left click\n");
        novel.Click();
        if (!novel.RunUntilLine(7, "a left click after the right one did not read on") || !novel.AwaitWholeLine(7))
            return;

        // Reading by hand, a right click looks for its trigger and does not read on.
        novel.Mark(L"[host] right click by hand\n");
        novel.Click(PointerButton::Right);
        novel.RunUntilLogged("TRIGGER NOT FOUND. key:1, type:mouse", 1, "a right click did not look for its trigger");
        report.Equal(Session::Line(), 7, "line after a right click while reading by hand");
    });
    const std::string rightClick = Step("[host] right click", "[host] left click");
    ExpectInOrder(rightClick, {"INPUT MOUSE CLICK::RIGHT", "(Services::UpdateMouse) TEXT AUTO/SKIP CLEARED."});
    ExpectNone(rightClick, {kShownWhole, kReadOn, kReadUntil, "TRIGGER NOT FOUND", kAutoReadOn});
    ExpectNone(Step("[host] right click by hand"), {kShownWhole, kReadOn, kReadUntil, "AUTO/SKIP CLEARED"});
}

TEST_F(InputHost, WheelAndKeysReadOnOrLookForTheirTriggers)
{
    // Control switches to skipping through its trigger; the lines of dialogue begin at line 5.
    const std::wstring script =
        kPrelude + L"keyTrigger ctrl textProgress 2\n\"One.\"\n\"Two.\"\n\"Three.\"\n\"Four.\"\n\"Five.\"\n\"Six.\"\n";
    Run([&](ChildReport& report) {
        const PlayedNovel novel(report, script);
        if (!novel.ready() || !novel.AwaitWholeLine(5))
            return;

        novel.Mark(L"[host] wheel up\n");
        novel.Click(PointerButton::WheelUp);
        novel.RunUntilLogged("TRIGGER NOT FOUND. key:2, type:mouse", 1, "wheel up did not look for its trigger");
        report.Equal(Session::Line(), 5, "line after wheel up");

        novel.Mark(L"[host] wheel down\n");
        novel.Click(PointerButton::WheelDown);
        if (!novel.RunUntilLine(6, "wheel down did not read on") || !novel.AwaitWholeLine(6))
            return;
        novel.Mark(L"[host] space\n");
        novel.Key("space");
        if (!novel.RunUntilLine(7, "Space did not read on") || !novel.AwaitWholeLine(7))
            return;
        novel.Mark(L"[host] return\n");
        novel.Key("Return");
        if (!novel.RunUntilLine(8, "Return did not read on") || !novel.AwaitWholeLine(8))
            return;

        novel.Mark(L"[host] letter\n");
        novel.Key("a");
        novel.RunUntilLogged("TRIGGER NOT FOUND. key:0, type:keyboard", 1, "a letter did not look for its trigger");
        report.Equal(Session::Line(), 8, "line after a key without a trigger");

        novel.Mark(L"[host] control\n");
        novel.Key("Control_L");
        novel.RunUntil([] { return Session::Line() >= 10; });
        report.Check(Session::Line() >= 10, "the control key's trigger did not skip to the end");
    });
    const std::string wheelUp = Step("[host] wheel up", "[host] wheel down");
    ExpectInOrder(wheelUp, {"INPUT MOUSE HWEEL::UP", "WARNING. TRIGGER NOT FOUND. key:2, type:mouse"});
    ExpectNone(wheelUp, {kReadOn, kReadUntil});
    ExpectInOrder(Step("[host] wheel down", "[host] space"),
                  {"INPUT MOUSE HWEEL::DOWN", "UpdateMouse::TRIGGER READSCRIPT:-1", "read until line:6"});
    ExpectInOrder(Step("[host] space", "[host] return"),
                  {"INPUT KEYBOARD::SPACE", "UpdateKeyboard::TRIGGER READSCRIPT:-1", "read until line:7"});
    ExpectInOrder(Step("[host] return", "[host] letter"),
                  {"INPUT KEYBOARD::ENTER", "UpdateKeyboard::TRIGGER READSCRIPT:-1", "read until line:8"});
    const std::string letter = Step("[host] letter", "[host] control");
    ExpectInOrder(letter, {"WARNING. TRIGGER NOT FOUND. key:0, type:keyboard"});
    ExpectNone(letter, {kReadOn, kReadUntil});
    EXPECT_EQ(Count(letter, "TRIGGER NOT FOUND"), 1) << "one key press, one look for its trigger:\n" << letter;
    ExpectInOrder(Step("[host] control"),
                  {"trigger:'ctrl' exists. trigger-line:4 execute.", "TriggerParseExec:textProgress 2", kReadUntil});
}

TEST_F(InputHost, WaitHoldsForItsTimeAndWaitAloneForAClick)
{
    const std::wstring script = kPrelude + L"wait\nwait 1500\n\"After.\"\n";
    Run([&](ChildReport& report) {
        const PlayedNovel novel(report, script);
        if (!novel.ready() || !novel.RunUntilLine(4, "the script did not stop at the lone wait"))
            return;
        novel.RunFor(milliseconds(300));
        report.Equal(Session::Line(), 4, "line of a lone wait without a click");
        report.Equal(novel.State(), kParseFin, "parser state at a lone wait");

        novel.Mark(L"[host] click\n");
        const auto sent = SteadyClock::now();
        novel.Click();
        bool held = false;
        novel.RunUntil(
            [&] {
                held = held || novel.State() == kSyncExec;
                return Session::Line() == 6;
            },
            seconds(5));
        const double passed = MsSince(sent);
        report.Check(held, "the timed wait never held the parser");
        report.Equal(Session::Line(), 6, "line after the timed wait");
        report.Check(passed >= 1500.0 && passed < 2500.0,
                     "the timed wait let go after " + std::to_string(passed) + " ms instead of about 1500");
    });
    const std::string click = Step("[host] click");
    ExpectInOrder(click, {kLeftClick, "UpdateMouse::TRIGGER READSCRIPT:-1",
                          "SYNC_EXEC COMPLETE. duration:", "read until line:6"});
    const double duration = NumberAfterLast(click, "SYNC_EXEC COMPLETE. duration:");
    EXPECT_GE(duration, 1500.0) << click;
    EXPECT_LT(duration, 2500.0) << click;
}

/// The editor's render area inside its host window, both shown, as an author sees them.
class EditedNovel : public Session
{
public:
    EditedNovel(ChildReport& report, const std::wstring& script) : Session(report)
    {
        if (!loaded() || !hosttest::OpenEditor(library(), display(), script, m_windows, report))
            return;
        hosttest::MapWindow(display(), m_windows.host);
        hosttest::MapWindow(display(), m_windows.child);
        const auto frame = [this] {
            hosttest::RunFrames(library(), 1);
        };
        m_ready = report.Check(hosttest::GiveFocus(display(), m_windows.child, seconds(3), frame),
                               "the render area did not take the keyboard focus");
    }
    ~EditedNovel()
    {
        if (library().ok())
            library().DestroyRenderWindow();
        if (m_windows.host != 0)
            hosttest::DestroyWindow(display(), m_windows.host);
    }

    bool ready() const { return m_ready; }
    hosttest::WindowId area() const { return m_windows.child; }
    void Key(const std::string& keysymName) const { Session::Key(area(), keysymName); }
    /// getDLLInformation with the dialog query; the request's text goes to text.
    UserDialogInfo Query(std::wstring& text) const
    {
        UserDialogInfo dialog{};
        wchar_t buffer[260] = {};
        library().getDLLInformation(nullptr, buffer, &dialog, 1);
        text = buffer;
        return dialog;
    }

private:
    hosttest::EditorWindows m_windows;
    bool m_ready = false;
};

TEST_F(InputHost, KeysAndClicksDoNothingWhileEditing)
{
    const std::wstring script = kPrelude + L"keyTrigger ctrl textProgress 2\n\"One.\"\n\"Two.\"\n\"Three.\"\n";
    Run([&](ChildReport& report) {
        const EditedNovel editor(report, script);
        if (!editor.ready())
            return;
        editor.library().setNovelScriptText(kScriptName, script.c_str(), 5, 1);
        if (!editor.RunUntilLine(5, "the editor did not show line 5"))
            return;
        const int state = editor.State();

        editor.Mark(L"[host] keys while editing\n");
        for (const char* key : {"space", "Return", "a", "Control_L"})
            editor.Key(key);
        editor.Click(editor.area(), 20, 20); // without an editor picture a click only focuses the render area
        editor.RunFor(milliseconds(300));
        editor.Mark(L"[host] editing keys sent\n");
        report.Equal(Session::Line(), 5, "line after keys while editing");
        report.Equal(editor.State(), state, "parser state after keys while editing");

        // The same keys reach the engine once the author play-tests: proof that the ones above arrived too.
        editor.library().setGameMode(1);
        editor.Mark(L"[host] key while playing\n");
        editor.Key("space");
        editor.RunUntilLogged("INPUT KEYBOARD::SPACE", 1, "Space did not reach the render area while play-testing");
        editor.library().setGameMode(0);
    });
    ExpectNone(Step("[host] keys while editing", "[host] editing keys sent"),
               {"INPUT KEYBOARD", "INPUT MOUSE", "TRIGGER NOT FOUND", "trigger:'ctrl'", "TriggerParseExec", kReadOn,
                kReadUntil});
}

TEST_F(InputHost, EditorPictureFollowsThePointerUntilAClickPlacesIt)
{
    std::filesystem::create_directories(m_dir / "Images");
    testsupport::WriteFile(m_dir / "Images/pic.png", testsupport::SmallPng());
    Run([&](ChildReport& report) {
        const EditedNovel editor(report, kPrelude + L"\"One.\"\n");
        if (!editor.ready())
            return;
        editor.library().AddCG(L"pic.png");
        std::wstring text;
        UserDialogInfo dialog{};
        const auto awaitFlag = [&](int flag) {
            return editor.RunUntil([&] {
                dialog = editor.Query(text);
                return dialog.pending == flag;
            });
        };

        report.Check(hosttest::MovePointer(editor.display(), editor.area(), 100, 100), "XTest pointer move failed");
        if (report.Check(awaitFlag(1), "moving the pointer posted no request"))
        {
            report.Equal(dialog.kind, 2, "request kind while following the pointer");
            report.Check(dialog.imageWidth == 6 && dialog.imageHeight == 4, "image size while following the pointer");
            report.Check(text == L"pic.png", "request text while following the pointer");
        }

        editor.Mark(L"[host] click\n");
        editor.Click(editor.area(), 200, 150);
        if (report.Check(awaitFlag(2), "a click did not place the picture"))
        {
            report.Equal(dialog.kind, 2, "request kind of the placed picture");
            report.Check(dialog.imageWidth == 6 && dialog.imageHeight == 4, "image size of the placed picture");
            report.Check(text == L"pic.png", "request text of the placed picture");
        }

        // Placed, the picture no longer follows the pointer.
        report.Check(hosttest::MovePointer(editor.display(), editor.area(), 300, 200), "XTest pointer move failed");
        editor.RunFor(milliseconds(200));
        report.Equal(editor.Query(text).pending, 0, "a request after the picture was placed");
    });
    ExpectInOrder(m_log, {"AddCG. filename:pic.png", "[host] click", "chosen manipulate entity coordinates"});
}

} // namespace

namespace
{
/// A menu that loops through its bookmark until the reader picks "next", a slider for the automatic wait, and a
/// question through the message box; lines 1 to 3 are the prelude.
const std::wstring kButtonScript = kPrelude + L"var n = 0\n"
                                              L"bookmark start\n"
                                              L"var n += 1\n"
                                              L"button again again.png 20 20 5 jump start\n"
                                              L"button next next.png 20 100 5\n"
                                              L"trackbar waitBar 100 300 5 400 autoWait knob.png\n"
                                              L"wait buttonSelect\n"
                                              L"dialog Sure? var done = 1\n"
                                              L"wait\n";
} // namespace

TEST_F(InputHost, ButtonsSlidersAndTheMessageBoxAnswerRealClicksAndDrags)
{
    testsupport::WriteFile(m_dir / "Config.xml", testsupport::ConfigXml("box.txt"));
    std::filesystem::create_directories(m_dir / "Scripts");
    std::filesystem::copy_file(std::string(QUILLHAVEN_SAMPLE_DIR) + "/Commands.xml", m_dir / "Commands.xml");
    std::filesystem::create_directories(m_dir / "Images");
    for (const char* name : {"again.png", "next.png", "yes.png", "no.png"})
        testsupport::WriteFile(m_dir / (std::string("Images/") + name), testsupport::SolidPng(80, 40, 200, 60, 60));
    testsupport::WriteFile(m_dir / "Images/knob.png", testsupport::SolidPng(20, 20, 60, 60, 200));
    testsupport::WriteFile(m_dir / "Scripts/box.txt", "button ^yes yes.png 200 200 20 noCamera msgvar yes\n"
                                                      "button ^no no.png 400 200 20 noCamera msgvar no\n"
                                                      "wait msgboxSelect\nfadeout ^yes, ^no 0\n");
    const auto configWait = [this] {
        const std::string xml = testsupport::ReadFile(m_dir / "Config.xml");
        const std::size_t at = xml.find("sysAutoWait=\"");
        return at == std::string::npos ? std::string() : xml.substr(at + 13, xml.find('"', at + 13) - at - 13);
    };
    Run([&](ChildReport& report) {
        const PlayedNovel novel(report, kButtonScript);
        const std::string waitForButton = "[ExecuteWait] WAIT for: buttonSelect";
        if (!novel.ready() || !novel.RunUntilLogged(waitForButton, 1, "the menu did not wait for a button"))
            return;

        novel.Mark(L"[host] again\n");
        novel.ClickAt(30, 30);
        if (!novel.RunUntilLogged(waitForButton, 2, "the jump button did not read the menu again"))
            return;

        // The knob stands at 30 % (1500 of 5000 ms): x 220 to 240 on the track from 100 to 500.
        novel.Mark(L"[host] drag\n");
        report.Check(hosttest::PressAt(novel.display(), novel.window(), 230, 310, true), "XTest press failed");
        novel.RunUntilLogged("clicked trackbar", 1, "the press did not grab the knob");
        report.Check(hosttest::MovePointer(novel.display(), novel.window(), 630, 310), "XTest move failed");
        report.Check(novel.RunUntil([&] { return configWait() == "5000"; }), "the right end did not write 5000");
        report.Check(hosttest::MovePointer(novel.display(), novel.window(), 310, 310), "XTest move failed");
        report.Check(novel.RunUntil([&] { return configWait() == "2500"; }), "the middle did not write 2500");
        report.Check(hosttest::PressAt(novel.display(), novel.window(), 310, 310, false), "XTest release failed");
        novel.RunUntilLogged("released trackbar", 1, "the release did not let the knob go");

        novel.Mark(L"[host] next\n");
        novel.ClickAt(30, 110);
        if (!novel.RunUntilLogged("[ExecuteWait] WAIT for: msgboxSelect", 1, "the dialog's box did not open"))
            return;
        novel.Mark(L"[host] yes\n");
        novel.ClickAt(210, 210);
        novel.RunUntilLogged("[HandleVars] TRIGGER_USER_DIALOG_FUNCTION", 1, "yes did not run the dialog's line");

        // Closing the window asks; no goes back to the novel, yes ends it.
        for (const bool yes : {false, true})
        {
            const int boxes = Session::Logged("[ExecuteWait] WAIT for: msgboxSelect");
            novel.Mark(yes ? L"[host] close, yes\n" : L"[host] close, no\n");
            report.Check(hosttest::SendDeleteWindow(novel.display(), novel.window()), "no close request sent");
            if (!novel.RunUntilLogged("[ExecuteWait] WAIT for: msgboxSelect", boxes + 1, "closing did not ask"))
                return;
            novel.ClickAt(yes ? 210 : 410, 210);
            novel.RunUntilLogged("MESSAGE VAR selection", yes ? 3 : 2, "the box's button did not answer");
            novel.RunFor(milliseconds(300));
        }
        novel.RunUntilLogged("GAME END", 1, "yes to the close request did not end the game");
    });
    const std::string again = Step("[host] again", "[host] drag");
    ExpectInOrder(again, {"BUTTON CLICK: RELEASING WAIT_BTNSEL", "[Button] L.CLICK! (name:again)",
                          "NButton::TRIGGER_PARSE_EXEC (onClick)", "[ExecuteWait] WAIT for: buttonSelect"});
    ExpectNone(again, {kReadOn});
    ExpectInOrder(Step("[host] next", "[host] yes"),
                  {"BUTTON CLICK: RELEASING WAIT_BTNSEL", "[ExecuteWait] WAIT for: msgboxSelect"});
    ExpectInOrder(Step("[host] yes", "[host] close, no"),
                  {"MSGBTN CLICK: RELEASING WAIT_MSGBOXSEL", "MESSAGE VAR selection", "TRIGGER_USER_DIALOG_FUNCTION"});
    ExpectNone(Step("[host] close, no", "[host] close, yes"), {"GAME END"});
    ExpectInOrder(Step("[host] close, yes"),
                  {"SF::EVENT::CLOSED", "MSGBTN CLICK: RELEASING WAIT_MSGBOXSEL", "MESSAGE VAR selection", "GAME END"});
}
