// The editor host: a window of its own with the engine's render area inside it, the script being edited handed
// over as the cursor moves, and play-testing switched on and off.

#include "ChildReport.h"
#include "EditorSession.h"
#include "HostLibrary.h"
#include "NovelHostTest.h"
#include "TestSupport.h"
#include "X11TestWindow.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cwchar>
#include <dlfcn.h>
#include <filesystem>
#include <string>

namespace
{
using hosttest::ChildReport;
using hosttest::EditorWindows;
using hosttest::HostLibrary;
using hosttest::OpenEditor;
using testsupport::TempDir;

constexpr int kWidth = 640;
constexpr int kHeight = 480;
const wchar_t* const kScriptName = L"main.txt";
const wchar_t* const kTitle = L"Editor";
const std::uintptr_t kBogusWindow = 0x7ffffff0;

/// A text box for the dialogue and one for the backlog, then dialogue (the font is Fonts/f.ttf).
std::wstring TenLineScript()
{
    std::wstring script = L"textbox box 0 0 1 300 200 f.ttf 20\ntextbox log 0 0 1 300 200 f.ttf 20\n"
                          L"backlogConfig log\nuseTextbox box\n";
    for (int line = 5; line <= 10; ++line)
        script += L"\"line " + std::to_wstring(line) + L"\"\n";
    return script;
}

std::string Narrow(const wchar_t* text)
{
    std::string out;
    for (; text != nullptr && *text != L'\0'; ++text)
        out.push_back(static_cast<char>(*text));
    return out;
}

/// The text between the end of from and the start of to; "" when either is missing.
std::string Between(const std::string& text, const std::string& from, const std::string& to)
{
    const std::size_t start = text.find(from);
    if (start == std::string::npos)
        return "";
    const std::size_t end = text.find(to, start + from.size());
    return end == std::string::npos ? "" : text.substr(start + from.size(), end - start - from.size());
}

class EditorHost : public hosttest::NovelHostTest
{
protected:
    void SetUp() override { PrepareNovel(testsupport::ConfigXml()); }

    void ExpectLogInOrder(const std::vector<std::string>& needles)
    {
        std::string missing;
        EXPECT_TRUE(testsupport::ContainsInOrder(m_log, needles, &missing))
            << "missing (in order): \"" << missing << "\"\nlog:\n"
            << m_log;
    }
};

TEST_F(EditorHost, AnswersSafelyBeforeAnyWindowExists)
{
    Run([](ChildReport& report) {
        const HostLibrary library;
        if (!report.Check(library.ok(), library.error()))
            return;

        int32_t state = 77;
        UserDialogInfo dialog{5, 5, 5, 5};
        const EngineInfo info = library.getDLLInformation(&state, nullptr, &dialog, 1);
        report.Check(info.width == 0 && info.height == 0 && info.updatesPerSecond == 0 && info.rendersPerSecond == 0 &&
                         info.parserStateRef == 0,
                     "getDLLInformation before the window reports figures");
        report.Equal(state, 77, "parser state written before the window exists");
        report.Check(dialog.pending == 5 && dialog.kind == 5, "dialog touched before the window exists");

        wchar_t buffer[16];
        std::wmemset(buffer, L'#', 16);
        report.Equal(library.fillDLLVersion(buffer), 8, "fillDLLVersion length");
        report.Equal(Narrow(buffer), std::string("0.8.2-t2"), "fillDLLVersion text");
        report.Equal(Narrow(library.getDLLVersion()), std::string("0.8.2-t2"), "getDLLVersion");
        report.Equal(library.getEngineWidth(), 0, "getEngineWidth");
        report.Equal(library.getEngineHeight(), 0, "getEngineHeight");
        report.Equal(library.getEngineColour(), 0, "getEngineColour");
        report.Equal(static_cast<int>(library.getEngineFullscreen()), 0, "getEngineFullscreen");

        // A host calling in the wrong order must get nothing done, not a crash.
        report.Equal(library.UpdateRenderWindow(), 0, "UpdateRenderWindow without a window");
        library.setNovelScriptText(kScriptName, L"\"text\"\n", 1, 1);
        library.setGameMode(1);
        library.setGameMode(0);
        library.setEngineResolution(800, 600);
        library.setRenderWindowProportion(0.5f);
        library.AddCG(L"picture.png");
        library.DestroyRenderWindow();
        report.Equal(library.getGameOver(), 0, "getGameOver without a window");
        report.Equal(hosttest::QueryInfo(library).width, 0, "width after calls without a window");
    });
    EXPECT_EQ(m_log.find("ASSERTION FAILED"), std::string::npos) << m_log;
}

TEST_F(EditorHost, RenderAreaLivesInsideTheHostWindow)
{
    RunHosted([](const HostLibrary& library, Display* display, ChildReport& report) {
        EditorWindows windows;
        if (!OpenEditor(library, display, L"\"hello\"\n", windows, report))
            return;

        report.Equal(hosttest::ParentOf(display, windows.child), windows.host, "render area's parent");
        report.Equal(hosttest::NameOf(display, windows.child), std::string("renderwindow"), "render area's name");
        int width = 0;
        int height = 0;
        report.Check(hosttest::SizeOf(display, windows.child, width, height) && width == kWidth && height == kHeight,
                     "render area is not 640x480");
        for (int frame = 0; frame < 5; ++frame)
            report.Equal(library.UpdateRenderWindow(), 1, "UpdateRenderWindow with a window");
        report.Check(hosttest::MapStateOf(display, windows.child) == hosttest::MapState::Unmapped,
                     "render area shown before the host showed it");

        int32_t state = -99;
        EngineInfo info = hosttest::QueryInfo(library, &state);
        report.Check(info.width == kWidth && info.height == kHeight, "getDLLInformation size is not 640x480");
        report.Equal(state, info.parserStateRef, "parser state out-param");

        library.setEngineResolution(800, 600);
        report.Check(hosttest::SizeOf(display, windows.child, width, height) && width == 800 && height == 600,
                     "setEngineResolution did not resize the render area to 800x600");
        report.Check(hosttest::RunFramesUntil(
                         library,
                         [&] {
                             info = hosttest::QueryInfo(library);
                             return info.width == 800 && info.height == 600;
                         },
                         std::chrono::seconds(3)),
                     "getDLLInformation never reported 800x600");

        hosttest::MapWindow(display, windows.host);
        hosttest::MapWindow(display, windows.child);
        report.Check(hosttest::MapStateOf(display, windows.child) == hosttest::MapState::Viewable,
                     "render area not viewable after mapping");
        hosttest::RunFrames(library, 3);
        report.Check(hosttest::FocusedWindow(display) != windows.child, "render area had the focus before any click");
        // Windows of tests running beside this one may lie over the point clicked or take the focus a moment later:
        // the click is given again, but only a render area that takes the focus on a click ever gets it.
        bool focused = false;
        for (int attempt = 0; attempt < 5 && !focused; ++attempt)
        {
            report.Check(hosttest::ClickAt(display, windows.child, 20, 20), "XTest click failed");
            focused = hosttest::RunFramesUntil(
                library, [&] { return hosttest::FocusedWindow(display) == windows.child; }, std::chrono::seconds(1));
        }
        report.Check(focused, "a click did not give the render area the keyboard focus");

        library.DestroyRenderWindow();
        report.Check(!hosttest::WindowExists(display, windows.child), "render area outlived DestroyRenderWindow");
        report.Equal(library.UpdateRenderWindow(), 0, "UpdateRenderWindow after DestroyRenderWindow");
        hosttest::DestroyWindow(display, windows.host);
    });
    EXPECT_EQ(m_log.rfind("LOG START TIME (d-m-y): ", 0), 0u) << m_log;
    ExpectLogInOrder({"SetupBugTrapExceptionHandler COMPLETE.", "DLL VERSION: 0.8.2-t2",
                      "[DLL::CreateRenderWindow] COMPLETE", "[Parser] CREATING MAIN PARSER...",
                      "[DLL::InitNovelSettings] COMPLETE",
                      "[Services::SetEngineResolution] changing resolution to width:800 height:600",
                      "SF::EVENT::GAINEDFOCUS", "CloseEngine"});
    // Engine failures ("ERROR. ...") and failed assertions; a missing optional data archive is no failure.
    EXPECT_EQ(m_log.find("ERROR."), std::string::npos) << m_log;
}

TEST_F(EditorHost, ScriptFollowsTheCursorAndPlayTestReturnsToIt)
{
    RunHosted([](const HostLibrary& library, Display* display, ChildReport& report) {
        const std::wstring script = TenLineScript();
        EditorWindows windows;
        if (!OpenEditor(library, display, script, windows, report))
            return;
        hosttest::RunFrames(library, 3);

        int32_t before = -1;
        hosttest::QueryInfo(library, &before);
        library.OutputDebugStringN(L"[host] invalid lines\n");
        library.setNovelScriptText(kScriptName, script.c_str(), 0, 1);
        library.setNovelScriptText(kScriptName, script.c_str(), -2, 1);
        library.OutputDebugStringN(L"[host] invalid lines done\n");
        int32_t after = -1;
        hosttest::QueryInfo(library, &after);
        report.Equal(after, before, "parser state after invalid line numbers");

        // The cursor goes to line 5 of a freshly sent script, then back up to line 3 of the same one.
        library.setNovelScriptText(kScriptName, script.c_str(), 5, 1);
        library.setNovelScriptText(kScriptName, script.c_str(), 3, 0);
        hosttest::RunFrames(library, 3);

        hosttest::QueryInfo(library, &before);
        library.OutputDebugStringN(L"[host] play-test\n");
        library.setGameMode(1);
        hosttest::RunFrames(library, 5);
        library.setGameMode(0);
        hosttest::RunFrames(library, 3);
        library.OutputDebugStringN(L"[host] play-test done\n");
        hosttest::QueryInfo(library, &after);
        report.Equal(after, before, "parser state after a play-test round trip");
        // Back at line 3: the same line again is recognised as no move at all.
        library.setNovelScriptText(kScriptName, script.c_str(), 3, 0);

        library.DestroyRenderWindow();
        hosttest::DestroyWindow(display, windows.host);
    });
    const std::string invalid0 = "[setNovelScriptText:invalid] Invalid lineno argument: 0 [return]\n";
    const std::string invalid2 = "[setNovelScriptText:invalid] Invalid lineno argument: -2 [return]\n";
    ExpectLogInOrder({"[DLL::InitNovelSettings] COMPLETE", "[host] invalid lines\n", invalid0, invalid2,
                      "[host] invalid lines done", "read until line:5", "read until line:3", "[host] play-test\n",
                      "[host] play-test done", "lineno: 3 (same)", "CloseEngine"});

    // Invalid line numbers are refused before anything moves: the two refusals are all they log.
    std::string refused = Between(m_log, "[host] invalid lines\n", "[host] invalid lines done");
    for (const std::string& message : {invalid0, invalid2})
    {
        const std::size_t at = refused.find(message);
        if (at != std::string::npos)
            refused.erase(at, message.size());
    }
    EXPECT_EQ(refused.find_first_not_of(" \n"), std::string::npos) << "logged beside the refusals: " << refused;

    const std::string playTest = Between(m_log, "[host] play-test\n", "[host] play-test done");
    for (const char* bad : {"ERROR", "WARNING", "ASSERTION"})
        EXPECT_EQ(playTest.find(bad), std::string::npos) << playTest;
}

TEST_F(EditorHost, BogusHostWindowIsRefused)
{
    Run([](ChildReport& report) {
        const HostLibrary library;
        if (!report.Check(library.ok(), library.error()))
            return;
        void* const child = library.CreateRenderWindow(nullptr, reinterpret_cast<void*>(kBogusWindow), kWidth, kHeight,
                                                       kTitle, kScriptName, L"", L"", 1);
        report.Check(child == nullptr, "a render area inside a window that does not exist");
        report.Equal(library.UpdateRenderWindow(), 0, "UpdateRenderWindow after a failed creation");
        report.Equal(hosttest::QueryInfo(library).width, 0, "width after a failed creation");
        library.DestroyRenderWindow();
    });
    EXPECT_NE(m_log.find("ERROR creating render window!"), std::string::npos) << m_log;
    EXPECT_EQ(m_log.find("[DLL::CreateRenderWindow] COMPLETE"), std::string::npos) << m_log;
}

} // namespace
