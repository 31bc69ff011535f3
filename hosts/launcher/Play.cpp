// quillhaven play: plays a finished novel from its folder in the engine's own window.

#include "EngineLibrary.h"
#include "Launcher.h"
#include "X11Host.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <unistd.h>

namespace launcher
{
namespace
{
constexpr auto kFrame = std::chrono::microseconds(1000000 / 60);

struct Options
{
    std::string novelDir = ".";
    std::string script = "main.txt";
    int windowMode = 1;
    int width = 1280;
    int height = 720;
};

volatile std::sig_atomic_t g_stop = 0;
void RequestStop(int)
{
    g_stop = 1;
}

/// Reads the command line; error says what is wrong with it.
bool ParseArguments(int argc, char** argv, Options& options, std::string& error)
{
    bool haveDir = false;
    for (int i = 2; i < argc; ++i)
    {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--script" && hasValue)
            options.script = argv[++i];
        else if (arg == "--window-mode" && hasValue)
        {
            const std::string mode = argv[++i];
            if (mode != "0" && mode != "1" && mode != "2")
                return error = "--window-mode takes 0, 1 or 2, not '" + mode + "'", false;
            options.windowMode = mode[0] - '0';
        }
        else if (arg == "--size" && hasValue)
        {
            if (!ParseSize(argv[++i], options.width, options.height))
                return error = std::string("--size takes WIDTHxHEIGHT, not '") + argv[i] + "'", false;
        }
        else if (arg.rfind("--", 0) == 0)
            return error = "unknown or incomplete option '" + arg + "'", false;
        else if (!haveDir)
            options.novelDir = arg, haveDir = true;
        else
            return error = "unexpected argument '" + arg + "'", false;
    }
    return true;
}

/// Runs frames at about 60 a second until the novel ends, the window is gone or the program is interrupted.
void RunFrames(const EngineLibrary& engine)
{
    auto next = std::chrono::steady_clock::now();
    while (g_stop == 0 && engine.getGameOver() == 0)
    {
        if (engine.UpdateRenderWindow() == 0)
            break;
        next += kFrame;
        const auto now = std::chrono::steady_clock::now();
        if (next < now)
            next = now;
        std::this_thread::sleep_until(next);
    }
}
} // namespace

int RunPlay(int argc, char** argv)
{
    // The engine's log then also prints its ERROR and WARNING lines here: an author sees what went wrong at once.
    setenv("QUILLHAVEN_PROBLEMS_TO_STDERR", "1", 1);
    Options options;
    std::string error;
    if (!ParseArguments(argc, argv, options, error))
        return FailUsage("play: " + error);
    if (chdir(options.novelDir.c_str()) != 0)
        return Fail("novel folder '" + options.novelDir + "' cannot be opened: " + std::strerror(errno));

    EngineLibrary engine;
    if (!engine.LoadBeside(argv[0], error))
        return Fail(error);
    std::string scriptBytes;
    if (!ReadNovelScript(engine, argv[0], options.novelDir, options.script, scriptBytes, error))
        return Fail(error);

    // Without a display the engine could open no window; say so the way the other refusals do.
    if (!hostcommon::X11Connection())
        return Fail("play: no X display to draw on: set DISPLAY, or run it under xvfb-run");
    std::signal(SIGINT, RequestStop);
    std::signal(SIGTERM, RequestStop);
    const std::wstring scriptName = Widen(options.script);
    std::size_t invalid = std::string::npos;
    const std::wstring scriptText = Widen(scriptBytes, &invalid);
    engine.CreateRenderWindow(nullptr, nullptr, options.width, options.height, L"Quillhaven", scriptName.c_str(),
                              scriptText.c_str(), L"application", static_cast<std::uint8_t>(options.windowMode));
    // The warning every other script gets when the engine reads it.
    if (invalid != std::string::npos)
        engine.OutputDebugStringN((L"WARNING. (quillhaven play) invalid UTF-8 in file:Scripts/" + scriptName +
                                   L" at byte offset:" + std::to_wstring(invalid) + L" \n")
                                      .c_str());
    RunFrames(engine);
    engine.DestroyRenderWindow();
    return 0;
}
} // namespace launcher
