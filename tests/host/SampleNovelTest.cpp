// The sample novel as its readers and authors meet it: played by the launcher from its first line to its end with
// the reader's keys and clicks sent through the X server, its message box answered both ways, every line of its
// main script shown in an editor, and its shots. Each test works on a copy of sample/, with the fonts the set-up copies
// from the system's font packages.

#include "ChildReport.h"
#include "EditorSession.h"
#include "HostLibrary.h"
#include "LauncherProcess.h"
#include "ShotPictures.h"
#include "TestSupport.h"
#include "X11TestWindow.h"
#include "X11Host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace
{
namespace fs = std::filesystem;
using hosttest::ChildReport;
using hosttest::LauncherProcess;
using hosttest::WindowId;
using std::chrono::milliseconds;
using std::chrono::seconds;
using testsupport::TempDir;

const char* const kWindowTitle = "Quillhaven -Quillhaven";
/// The whole tour read automatically, with the quick settings of ReadQuickly; it takes about half of this.
constexpr seconds kTourLimit{100};

// What the engine logs.
const char* const kAutoReading = "TEXT AUTO. PARSE CONT.";
const char* const kMsgboxOpened = "LOADING NEW SCRIPT:msgbox.txt";
const char* const kMsgboxWaits = "[ExecuteWait] WAIT for: msgboxSelect";
const char* const kMsgboxAnswered = "MESSAGE VAR selection";
const char* const kMenuWaits = "[ExecuteWait] WAIT for: buttonSelect";

// Where the sample's buttons stand in its 1280 x 720 window (their centres).
constexpr int kStartX = 640, kStartY = 390;
constexpr int kYesX = 490, kNoX = 790, kAnswerY = 360;
constexpr int kSeaX = 410, kSkyX = 870, kChoiceY = 330;
// The title's Load button, the save slots (three across) of the tour's save screen, and the Back buttons of the
// title's load screen and of the save screen.
constexpr int kLoadY = kStartY + 160;
constexpr int kSlotX[] = {336, 640, 944};
constexpr int kSaveSlotY = 178, kLoadSlotY = 396;
/// The tour's first dialogue line in main.txt; the next one is three lines further down.
constexpr int kFirstDialogueLine = 17;
constexpr int kTitleBackY = kStartY + 130, kSavesBackY = 610;

int Count(const std::string& text, const std::string& needle)
{
    int count = 0;
    for (std::size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + needle.size()))
        ++count;
    return count;
}

/// Replaces the first from in text by to; false when text has no from.
bool ReplaceFirst(std::string& text, const std::string& from, const std::string& to)
{
    const std::size_t at = text.find(from);
    if (at == std::string::npos)
        return false;
    text.replace(at, from.size(), to);
    return true;
}

/// UTF-8 bytes as the wide text an editor hands over; run in a scenario's child, whose locale it sets.
std::wstring Widen(const std::string& bytes)
{
    std::setlocale(LC_CTYPE, "C.UTF-8");
    std::wstring wide(bytes.size(), L'\0');
    const std::size_t length = std::mbstowcs(wide.data(), bytes.c_str(), wide.size());
    wide.resize(length == static_cast<std::size_t>(-1) ? 0 : length);
    return wide;
}

const std::vector<std::string> kErrorsAndUnknownLines{"ERROR.", "ERROR:", "ASSERTION FAILED",
                                                      "UNKNOWN or INVALID COMMAND"};

/// The log line holding the first of the faults, with the host's last mark before it; "" when there is none.
std::string FirstFault(const std::string& log, const std::vector<std::string>& faults)
{
    std::size_t at = std::string::npos;
    for (const std::string& fault : faults)
        at = std::min(at, log.find(fault));
    if (at == std::string::npos)
        return "";
    const std::size_t begin = log.rfind('\n', at);
    const std::size_t end = log.find('\n', at);
    const std::size_t mark = log.rfind("[host]", at);
    const std::string where = mark == std::string::npos ? "" : log.substr(mark, log.find('\n', mark) - mark) + ": ";
    return where +
           log.substr(begin == std::string::npos ? 0 : begin + 1, end == std::string::npos ? end : end - begin - 1);
}

class SampleNovel : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "the host tests need an X server; run them under xvfb-run -a";
        const auto options = fs::copy_options::recursive | fs::copy_options::overwrite_existing;
        fs::copy(QUILLHAVEN_SAMPLE_DIR, m_novel.path(), options);
        // Only what a fresh checkout holds: no log, save data or drawn placeholder of an earlier run here.
        for (const char* leftover : {"debug.txt", "SaveData", "Fonts", "Images/stranger.png"})
            fs::remove_all(m_novel / leftover);
        fs::create_directories(m_novel / "Fonts");
        fs::copy_file("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", m_novel / "Fonts/DejaVuSans.ttf");
        fs::copy_file("/usr/share/fonts/truetype/vlgothic/VL-Gothic-Regular.ttf",
                      m_novel / "Fonts/VL-Gothic-Regular.ttf");
    }

    /// Automatic reading shows each text at once and reads on after 100 ms, so that the tour plays in seconds.
    void ReadQuickly()
    {
        std::string config = testsupport::ReadFile(m_novel / "Config.xml");
        ASSERT_TRUE(ReplaceFirst(config, "sysAutoSpeed=\"30\"", "sysAutoSpeed=\"0\"") &&
                    ReplaceFirst(config, "sysAutoWait=\"1500\"", "sysAutoWait=\"100\""))
            << "the sample's Config.xml has other reading speeds now:\n"
            << config;
        testsupport::WriteFile(m_novel / "Config.xml", config);
    }

    std::string Log() const { return testsupport::ReadFile(m_novel / "debug.txt"); }

    /// Runs the launcher on the copy and hands its window, focused, to body; body runs in a child of its own, as
    /// every scenario that uses the X server does.
    void Play(const std::function<void(ChildReport&, LauncherProcess&, Display*, WindowId)>& body)
    {
        const int code = hosttest::RunScenario(m_work.path(), [&](ChildReport& report) {
            const hosttest::X11Connection x11;
            if (!report.Check(bool(x11), "no X display"))
                return;
            LauncherProcess launcher({"play", m_novel.path()}, m_work.path());
            if (!report.Check(launcher.started(), "the launcher did not start"))
                return;
            const WindowId window = hosttest::WaitForTopLevelWindow(x11.get(), kWindowTitle, seconds(10));
            if (!report.Check(window != 0, std::string("no window named \"") + kWindowTitle + "\" within 10 s") ||
                !report.Check(hosttest::GiveFocus(x11.get(), window, seconds(3)), "the window took no focus"))
                return;
            body(report, launcher, x11.get(), window);
        });
        EXPECT_EQ(code, 0) << hosttest::ChildFailures(m_work.path()) << "launcher stderr:\n"
                           << testsupport::ReadFile(m_work / "launcher-stderr.txt");
    }

    /// Polls the log until done(log) holds; false after timeout.
    bool AwaitLog(const std::function<bool(const std::string&)>& done, milliseconds timeout = seconds(10)) const
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!done(Log()))
        {
            if (std::chrono::steady_clock::now() >= deadline)
                return false;
            std::this_thread::sleep_for(milliseconds(20));
        }
        return true;
    }
    bool AwaitLogged(const std::string& needle, int count = 1, milliseconds timeout = seconds(10)) const
    {
        return AwaitLog([&](const std::string& log) { return Count(log, needle) >= count; }, timeout);
    }

    /// Waits for the title screen (the count-th wait for a button) and clicks its start button.
    bool StartTour(ChildReport& report, Display* x11, WindowId window, int count = 1) const
    {
        if (!report.Check(AwaitLogged(kMenuWaits, count), "the title screen never waited for a button"))
            return false;
        return report.Check(hosttest::ClickAt(x11, window, kStartX, kStartY), "XTest click failed");
    }
    /// Waits until the message box (the count-th one) waits, then clicks yes or no.
    bool Answer(ChildReport& report, Display* x11, WindowId window, int count, bool yes) const
    {
        if (!report.Check(AwaitLogged(kMsgboxWaits, count, seconds(20)), "the message box never waited"))
            return false;
        return report.Check(hosttest::ClickAt(x11, window, yes ? kYesX : kNoX, kAnswerY), "XTest click failed") &&
               report.Check(AwaitLogged(kMsgboxAnswered, count), "the message box's button did not answer");
    }
    /// Waits until the choice (the count-th wait for a button) is offered, then clicks the sea or the sky.
    bool Choose(ChildReport& report, Display* x11, WindowId window, bool sea, int count = 2) const
    {
        if (!report.Check(AwaitLogged(kMenuWaits, count, seconds(30)), "the choice was never offered"))
            return false;
        return report.Check(hosttest::ClickAt(x11, window, sea ? kSeaX : kSkyX, kChoiceY), "XTest click failed");
    }

    /// Waits until the first line stands whole and its keys are bound: the reader's first moment.
    bool AwaitFirstLine(ChildReport& report) const
    {
        return report.Check(AwaitLogged("TRIGGER SAVED. key:h") && AwaitLogged("TEXT FLOW FINISHED"),
                            "the first line never stood whole with its keys bound");
    }

    void ExpectClean(const std::string& log) const
    {
        EXPECT_EQ(FirstFault(log, kErrorsAndUnknownLines), "") << "log:\n" << log;
    }

    TempDir m_novel;
    TempDir m_work;
};

TEST_F(SampleNovel, PlaysByItselfFromTheFirstLineToTheEnd)
{
    ReadQuickly();
    Play([&](ChildReport& report, LauncherProcess& launcher, Display* x11, WindowId window) {
        if (!StartTour(report, x11, window) || !AwaitFirstLine(report))
            return;
        // The tour's own key for automatic reading; from here on only the message box and the choice want a click.
        report.Check(hosttest::PressKey(x11, window, "a"), "XTest key a failed");
        report.Check(AwaitLogged(kAutoReading, 1, seconds(5)), "the a key did not start automatic reading");
        if (!Answer(report, x11, window, 1, false) || !Choose(report, x11, window, true))
            return;
        report.Equal(launcher.Wait(kTourLimit), 0, "launcher exit code at the end of the tour");
    });
    const std::string log = Log();
    std::string missing;
    EXPECT_TRUE(testsupport::ContainsInOrder(
        log,
        {"LOADING NEW SCRIPT:title.txt", "LOADING NEW SCRIPT:box.txt", "LOADING NEW SCRIPT:greet.txt", kMsgboxOpened,
         kMsgboxAnswered, "found bookmark:lanternDark", "[CmdHandlers::ExecuteVar] look = 1", "found bookmark:lookSea",
         "[RemoveEntities] COMPLETE", "LOADING NEW SCRIPT:stranger.txt", "[ExecuteTimerEnd] name:clock removed:1",
         "[ExecuteEndGame] APPLICATION MODE) endGame.", "CloseEngine"},
        &missing))
        << "missing (in order): " << missing << "\nlog:\n"
        << log;
    EXPECT_GE(Count(log, "LOADING NEW SCRIPT:tick.txt"), 2) << "the clock timer did not repeat";
    EXPECT_TRUE(testsupport::FileExists(m_novel / "Images/stranger.png")) << "createDummyCG drew no placeholder";
    ExpectClean(log);
}

TEST_F(SampleNovel, ClosingTheWindowAsksFirstAndEndsOnlyOnYes)
{
    Play([&](ChildReport& report, LauncherProcess& launcher, Display* x11, WindowId window) {
        // On the title screen: no closes the box and the title waits on.
        if (!report.Check(AwaitLogged(kMenuWaits), "the title screen never waited for a button"))
            return;
        report.Check(hosttest::SendDeleteWindow(x11, window), "sending WM_DELETE_WINDOW failed");
        if (!Answer(report, x11, window, 1, false))
            return;
        std::this_thread::sleep_for(milliseconds(500));
        if (!report.Check(launcher.running(), "the launcher ended although the reader said no"))
            return;
        // Asked again, yes ends the game.
        report.Check(hosttest::SendDeleteWindow(x11, window), "sending WM_DELETE_WINDOW failed");
        if (!report.Check(AwaitLogged(kMsgboxWaits, 2), "the second close request opened no message box"))
            return;
        report.Check(hosttest::ClickAt(x11, window, kYesX, kAnswerY), "XTest click failed");
        report.Equal(launcher.Wait(seconds(10)), 0, "launcher exit code after yes");
    });
    const std::string log = Log();
    EXPECT_EQ(Count(log, kMsgboxOpened), 2) << log;
    std::string missing;
    EXPECT_TRUE(testsupport::ContainsInOrder(
        log,
        {"SF::EVENT::CLOSED", kMsgboxWaits, "MSGBTN CLICK: RELEASING WAIT_MSGBOXSEL", kMsgboxAnswered,
         "SF::EVENT::CLOSED", kMsgboxWaits, kMsgboxAnswered, "GAME END", "CloseEngine"},
        &missing))
        << "missing (in order): " << missing << "\nlog:\n"
        << log;
    ExpectClean(log);
}

TEST_F(SampleNovel, SettingsThenTheChoiceTheOtherWayAndTheLanternLit)
{
    ReadQuickly();
    Play([&](ChildReport& report, LauncherProcess& launcher, Display* x11, WindowId window) {
        // First the settings: the text-speed knob (30 of 100 along a track from 580 to 980) pulled to the end, and
        // the music knob (at 80) pulled to silence.
        if (!report.Check(AwaitLogged(kMenuWaits), "the title screen never waited for a button"))
            return;
        report.Check(hosttest::ClickAt(x11, window, kStartX, kStartY + 80), "XTest click failed");
        if (!report.Check(AwaitLogged(kMenuWaits, 2), "the settings never waited for a button"))
            return;
        auto drag = [&](int knobX, int y, int toX, const std::string& written, int grabs) {
            report.Check(hosttest::PressAt(x11, window, knobX, y, true), "XTest press failed");
            report.Check(AwaitLogged("clicked trackbar", grabs), "the press did not grab the knob for " + written);
            report.Check(hosttest::MovePointer(x11, window, toX, y), "XTest move failed");
            report.Check(AwaitLog([&](const std::string&) {
                             return testsupport::ReadFile(m_novel / "Config.xml").find(written) != std::string::npos;
                         }),
                         "the drag did not write " + written);
            report.Check(hosttest::PressAt(x11, window, toX, y, false), "XTest release failed");
        };
        drag(714, 204, 1100, "sysTextSpeed=\"100\"", 1);
        drag(914, 324, 500, "sysBgmVolume=\"0\"", 2);
        report.Check(hosttest::ClickAt(x11, window, kStartX, kStartY + 130), "XTest click failed"); // back
        if (!StartTour(report, x11, window, 3) || !AwaitFirstLine(report))
            return;
        report.Check(hosttest::PressKey(x11, window, "a"), "XTest key a failed");
        if (!Answer(report, x11, window, 1, true) || !Choose(report, x11, window, false, 4))
            return;
        report.Check(AwaitLogged("found bookmark:lookSky"), "the sky's branch was never read");
        report.Check(hosttest::SendDeleteWindow(x11, window), "sending WM_DELETE_WINDOW failed");
        if (Answer(report, x11, window, 2, true))
            report.Equal(launcher.Wait(seconds(10)), 0, "launcher exit code after yes");
    });
    const std::string log = Log();
    std::string missing;
    EXPECT_TRUE(
        testsupport::ContainsInOrder(log,
                                     {kMsgboxOpened, "MSGBTN CLICK: RELEASING WAIT_MSGBOXSEL",
                                      "found bookmark:lanternLit", "BUTTON CLICK: RELEASING WAIT_BTNSEL",
                                      "[CmdHandlers::ExecuteVar] look = 2", "found bookmark:lookSky", "GAME END"},
                                     &missing))
        << "missing (in order): " << missing << "\nlog:\n"
        << log;
    EXPECT_EQ(log.find("found bookmark:lookSea"), std::string::npos) << "both branches were read";
    ExpectClean(log);
}

/// Pixels that differ by more than a little in any channel; every pixel when the sizes differ.
int DifferentPixels(const hostcommon::Picture& a, const hostcommon::Picture& b)
{
    if (a.width != b.width || a.height != b.height)
        return std::max(a.width * a.height, b.width * b.height);
    int differing = 0;
    for (std::size_t i = 0; i + 3 < a.rgba.size(); i += 4)
        differing += std::abs(a.rgba[i] - b.rgba[i]) > 8 || std::abs(a.rgba[i + 1] - b.rgba[i + 1]) > 8 ||
                     std::abs(a.rgba[i + 2] - b.rgba[i + 2]) > 8;
    return differing;
}

TEST_F(SampleNovel, TheLoadAndSaveScreensStayAfterASlotsClickAndCloseOnBack)
{
    const std::string kSavesOpened = "LOADING NEW SCRIPT:saves.txt";
    const std::string kSKeySet = "TRIGGER SAVED. key:s";
    Play([&](ChildReport& report, LauncherProcess& launcher, Display* x11, WindowId window) {
        // The title's Load button, then Back: the title waits again.
        if (!report.Check(AwaitLogged(kMenuWaits), "the title screen never waited for a button"))
            return;
        report.Check(hosttest::ClickAt(x11, window, kStartX, kLoadY), "XTest click failed");
        if (!report.Check(AwaitLogged("found bookmark:loads") && AwaitLogged(kMenuWaits, 2),
                          "the title's Load button showed no load slots"))
            return;
        report.Check(hosttest::ClickAt(x11, window, kStartX, kTitleBackY), "XTest click failed");
        if (!StartTour(report, x11, window, 3) || !AwaitFirstLine(report) ||
            !report.Check(AwaitLogged(kSKeySet), "the tour bound no S key"))
            return;
        // S opens the save screen; a save slot's click shows it again, a second S calls nothing, Back closes it and
        // binds S again.
        report.Check(hosttest::PressKey(x11, window, "s"), "XTest key s failed");
        if (!report.Check(AwaitLogged(kSavesOpened) && AwaitLogged(kMenuWaits, 4), "S opened no save screen"))
            return;
        report.Check(hosttest::ClickAt(x11, window, kSlotX[0], kSaveSlotY), "XTest click failed");
        if (!report.Check(AwaitLogged("found bookmark:slots") && AwaitLogged(kMenuWaits, 5),
                          "the save screen did not show again after a slot's click"))
            return;
        report.Check(hosttest::PressKey(x11, window, "s"), "XTest key s failed");
        report.Check(hosttest::ClickAt(x11, window, kStartX, kSavesBackY), "XTest click failed");
        if (!report.Check(AwaitLogged(kSKeySet, 3), "Back did not bind S again"))
            return;
        // Play on two lines, then load slot 1 (yes to the question) and close the screen: the scene is the
        // thumbnail's, and reading goes on from the saved line.
        for (int line = 0; line < 2; ++line)
        {
            report.Check(hosttest::PressKey(x11, window, "space"), "XTest key space failed");
            report.Check(AwaitLogged("TEXT FLOW FINISHED", line + 2), "the tour did not read on");
        }
        report.Check(hosttest::PressKey(x11, window, "s"), "XTest key s failed");
        if (!report.Check(AwaitLogged(kMenuWaits, 6), "S opened no save screen the second time"))
            return;
        report.Check(hosttest::ClickAt(x11, window, kSlotX[0], kLoadSlotY), "XTest click failed");
        if (!Answer(report, x11, window, 1, true) || !report.Check(AwaitLogged("LOAD COMPLETE"), "nothing loaded"))
            return;
        report.Check(AwaitLogged(kMenuWaits, 7), "the loaded save screen never waited");
        report.Check(hosttest::ClickAt(x11, window, kStartX, kSavesBackY), "XTest click failed");
        report.Check(AwaitLogged(kSKeySet, 5), "Back did not close the loaded save screen");
        std::this_thread::sleep_for(milliseconds(300));
        hostcommon::Picture shown;
        report.Check(hostcommon::CaptureWindow(x11, window, shown), "capturing the window failed");
        const hostcommon::Picture thumbnail = hosttest::ReadPng(m_novel / "SaveData/saveslot1.png");
        report.Check(DifferentPixels(shown, thumbnail) < 600, "the loaded scene is not the thumbnail's (" +
                                                                  std::to_string(DifferentPixels(shown, thumbnail)) +
                                                                  " pixels differ)");
        report.Check(hosttest::PressKey(x11, window, "space"), "XTest key space failed");
        report.Check(AwaitLog([](const std::string& log) {
                         const std::size_t loaded = log.find("LOAD COMPLETE");
                         return log.find("script:main.txt read until line:" + std::to_string(kFirstDialogueLine + 3),
                                         loaded) !=
                                std::string::npos;
                     }),
                     "reading did not go on from the saved line");
        report.Check(hosttest::SendDeleteWindow(x11, window), "sending WM_DELETE_WINDOW failed");
        if (Answer(report, x11, window, 2, true))
            report.Equal(launcher.Wait(seconds(10)), 0, "launcher exit code after yes");
    });
    const std::string log = Log();
    EXPECT_EQ(Count(log, kSavesOpened), 2) << "S called the save screen while it was open:\n" << log;
    std::string missing;
    EXPECT_TRUE(testsupport::ContainsInOrder(log,
                                             {"found bookmark:loads", "found bookmark:menu", kSavesOpened,
                                              "found bookmark:slots", kSKeySet, "GAME END"},
                                             &missing))
        << "missing (in order): " << missing << "\nlog:\n"
        << log;
    ExpectClean(log);
}

TEST_F(SampleNovel, EveryLineOfTheMainScriptShowsInTheEditor)
{
    const std::string bytes = testsupport::ReadFile(m_novel / "Scripts/main.txt");
    const int lines = static_cast<int>(testsupport::Lines(bytes).size());
    ASSERT_GT(lines, 50);
    const int code = hosttest::RunScenario(m_novel.path(), [&](ChildReport& report) {
        const std::wstring script = Widen(bytes);
        if (!report.Check(!script.empty(), "main.txt is no UTF-8 text"))
            return;
        const hosttest::HostLibrary library;
        const hosttest::X11Connection x11;
        if (!report.Check(library.ok(), library.error()) || !report.Check(bool(x11), "no X display"))
            return;
        hosttest::EditorWindows windows;
        hosttest::EditorSetup setup;
        setup.width = 1280;
        setup.height = 720;
        if (!hosttest::OpenEditor(library, x11.get(), script, windows, report, setup))
            return;
        for (int line = 1; line <= lines; ++line)
        {
            library.OutputDebugStringN((L"[host] cursor on line " + std::to_wstring(line) + L"\n").c_str());
            library.setNovelScriptText(L"main.txt", script.c_str(), line, 0);
            hosttest::RunFrames(library, 2);
        }
        library.DestroyRenderWindow();
        hosttest::DestroyWindow(x11.get(), windows.host);
    });
    EXPECT_EQ(code, 0) << hosttest::ChildFailures(m_novel.path());
    const std::string log = Log();
    EXPECT_NE(log.find("[host] cursor on line " + std::to_string(lines) + "\n"), std::string::npos) << log;
    EXPECT_NE(log.find("LOADING NEW SCRIPT:greet.txt"), std::string::npos)
        << "the editor did not run the called script";
    // The editor reads through the bookmarks that the player only jumps to: neither an error nor an unknown line.
    EXPECT_EQ(FirstFault(log, kErrorsAndUnknownLines), "") << "log:\n" << log;
}

} // namespace

namespace
{
TEST_F(SampleNovel, ShotsOfThreeLinesDifferWhereTheSceneChangesAndComeOutTheSameAgain)
{
    const TempDir out;
    auto shotAt = [&](int line, const std::string& name) {
        return hosttest::Shoot({"shot", m_novel.path(), "main.txt", std::to_string(line), out / name}, out / name);
    };
    const hostcommon::Picture harbour = shotAt(5, "harbour.png");
    const hostcommon::Picture guide = shotAt(6, "guide.png");
    const hostcommon::Picture keys = shotAt(16, "keys.png");
    const hostcommon::Picture welcome = shotAt(17, "welcome.png");
    ASSERT_EQ(welcome.width, 1280);
    ASSERT_EQ(welcome.height, 720);

    // Line 6 puts the guide (320 x 560) at 860,110 on the harbour; line 17 writes the welcome into the box, whose
    // skin (1200 x 190) lies at 40,522.
    const hosttest::Rect guideChange = hosttest::Difference(harbour, guide);
    EXPECT_FALSE(guideChange.Empty());
    EXPECT_TRUE((hosttest::Rect{860, 110, 1180, 670}.Contains(guideChange))) << "line 6 changed " << guideChange;
    const hosttest::Rect textChange = hosttest::Difference(keys, welcome);
    EXPECT_FALSE(textChange.Empty()) << "the welcome line shows no text";
    EXPECT_TRUE((hosttest::Rect{40, 522, 1240, 712}.Contains(textChange))) << "line 17 changed " << textChange;

    const hostcommon::Picture again = shotAt(17, "welcome-again.png");
    EXPECT_TRUE(again == welcome) << "the second shot differs in " << hosttest::Difference(again, welcome);
}

/// Channel (0 red ... 3 alpha) of the pixel at x, y.
int Channel(const hostcommon::Picture& picture, int x, int y, int channel)
{
    return picture.rgba[(static_cast<std::size_t>(y) * picture.width + x) * 4 + channel];
}

/// The mean of a channel over the rows [top, bottom) of picture.
double MeanOfRows(const hostcommon::Picture& picture, int top, int bottom, int channel)
{
    double sum = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = 0; x < picture.width; ++x)
            sum += Channel(picture, x, y, channel);
    return sum / (static_cast<double>(bottom - top) * picture.width);
}

TEST_F(SampleNovel, ThumbnailsHoldTheWholeSceneAveragedDownAndLetterboxed)
{
    const TempDir out;
    auto shot = [&](const std::string& name, std::vector<std::string> size) {
        std::vector<std::string> arguments{"shot", m_novel.path(), "main.txt", "17", out / name};
        arguments.insert(arguments.end(), size.begin(), size.end());
        return hosttest::Shoot(arguments, out / name);
    };
    const hostcommon::Picture full = shot("full.png", {});
    ASSERT_EQ(full.width, 1280);
    ASSERT_EQ(full.height, 720);

    struct Case
    {
        std::string size;
        int width, height;
        int top, bottom;  // the rows the scene fills; black above and below
        bool quarter;     // a quarter of the full size: each pixel is a 4x4 block of the full shot
    };
    const std::vector<Case> cases{
        {"320x180", 320, 180, 0, 180, true},
        {"300x300", 300, 300, 65, 234, false}, // the scene 300 x 168.75, rounded to 169 rows
    };
    for (const Case& thumbnail : cases)
    {
        SCOPED_TRACE(thumbnail.size);
        const hostcommon::Picture small = shot(thumbnail.size + ".png", {"--size", thumbnail.size});
        ASSERT_EQ(small.width, thumbnail.width);
        ASSERT_EQ(small.height, thumbnail.height);
        int barPixels = 0;
        int largestError = 0;
        for (int y = 0; y < small.height; ++y)
            for (int x = 0; x < small.width; ++x)
            {
                const bool inScene = y >= thumbnail.top && y < thumbnail.bottom;
                for (int c = 0; c < 4; ++c)
                {
                    if (!inScene)
                        barPixels += Channel(small, x, y, c) == (c == 3 ? 255 : 0) ? 0 : 1;
                    else if (thumbnail.quarter)
                    {
                        int sum = 0;
                        for (int by = 0; by < 4; ++by)
                            for (int bx = 0; bx < 4; ++bx)
                                sum += Channel(full, x * 4 + bx, y * 4 + by, c);
                        largestError = std::max(largestError, std::abs(Channel(small, x, y, c) - (sum + 8) / 16));
                    }
                }
            }
        EXPECT_EQ(barPixels, 0) << "the bars are not opaque black";
        EXPECT_LE(largestError, 1) << "a pixel is not the average of its block";
        // The whole scene is in: the mean of each channel is kept.
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(MeanOfRows(small, thumbnail.top, thumbnail.bottom, c), MeanOfRows(full, 0, 720, c), 1.5)
                << "channel " << c;
    }
}
} // namespace
