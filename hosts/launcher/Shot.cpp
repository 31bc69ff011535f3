// quillhaven shot: saves a PNG of a novel as the editor shows it at a script line, or after playing a while.
//
// The program is an editor host of its own: a top-level window kept out of the user's sight, the engine's render
// area inside it, the script handed over at the line, frames run until the picture stands still, and the render
// area read back and saved. The novel is always drawn at its own size, the one `quillhaven play` opens; a picture
// of another size is that one fitted into it, as a thumbnail.

#include "EngineLibrary.h"
#include "Launcher.h"
#include "PictureFit.h"
#include "PngFile.h"
#include "X11Host.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <unistd.h>

namespace launcher
{
namespace
{
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr auto kFrame = std::chrono::microseconds(1000000 / 60);
/// Frames run before the first capture: textures and fonts settle in the first few.
constexpr int kWarmupFrames = 10;
/// How long the picture may keep changing before the last one is taken as it is.
constexpr auto kSettleLimit = std::chrono::seconds(10);
/// The size the novel is drawn at, whatever size the picture is saved in: what `quillhaven play` opens.
constexpr int kNovelWidth = 1280;
constexpr int kNovelHeight = 720;
/// While playing, the reading key is pressed this often, to read on through the waits for the reader.
constexpr auto kReadOnEvery = milliseconds(250);

struct Options
{
    std::string novelDir;
    std::string script;
    int line = 0;
    std::string out;
    /// The saved picture's size.
    int width = kNovelWidth;
    int height = kNovelHeight;
    /// Milliseconds to play from the first line; -1 shows the line as the editor does.
    long long playMs = -1;
};

/// Decimal digits only, within int range; zero allowed when asked.
bool ParseCount(const std::string& text, long long limit, bool zeroAllowed, long long& value)
{
    if (text.empty() || text.size() > 12 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    value = std::stoll(text);
    return value <= limit && (zeroAllowed || value > 0);
}

bool ParseOption(const std::string& arg, const std::string& value, Options& options, std::string& error)
{
    if (arg == "--size")
    {
        if (!ParseSize(value, options.width, options.height))
            return error = "--size takes WIDTHxHEIGHT, not '" + value + "'", false;
        return true;
    }
    if (!ParseCount(value, INT_MAX, true, options.playMs))
        return error = "--play takes a number of milliseconds, not '" + value + "'", false;
    return true;
}

bool ParsePositional(const std::string& arg, int index, Options& options, std::string& error)
{
    long long line = 0;
    switch (index)
    {
    case 0:
        options.novelDir = arg;
        return true;
    case 1:
        options.script = arg;
        return true;
    case 2:
        if (!ParseCount(arg, INT_MAX, false, line))
            return error = "LINE must be a positive line number, not '" + arg + "'", false;
        options.line = static_cast<int>(line);
        return true;
    case 3:
        options.out = arg;
        return true;
    default:
        return error = "unexpected argument '" + arg + "'", false;
    }
}

/// Reads the command line; error says what is wrong with it.
bool ParseArguments(int argc, char** argv, Options& options, std::string& error)
{
    int positional = 0;
    for (int i = 2; i < argc; ++i)
    {
        const std::string arg = argv[i];
        if ((arg == "--size" || arg == "--play") && i + 1 < argc)
        {
            if (!ParseOption(arg, argv[++i], options, error))
                return false;
        }
        else if (arg.rfind("--", 0) == 0)
            return error = "unknown or incomplete option '" + arg + "'", false;
        else if (!ParsePositional(arg, positional++, options, error))
            return false;
    }
    if (positional < 4)
        return error = "NOVEL_DIR, SCRIPT, LINE and OUT.png are all needed", false;
    if (options.novelDir.empty() || options.script.empty() || options.out.empty())
        return error = "an argument is empty", false;
    return true;
}

/// OUT as a path that still holds after changing into the novel folder.
std::string Absolute(const std::string& path)
{
    if (!path.empty() && path[0] == '/')
        return path;
    char cwd[PATH_MAX];
    return getcwd(cwd, sizeof cwd) != nullptr ? std::string(cwd) + "/" + path : path;
}

int CountLines(const std::string& text)
{
    int lines = 0;
    for (char c : text)
        lines += c == '\n' ? 1 : 0;
    return lines + (!text.empty() && text.back() != '\n' ? 1 : 0);
}

/// Prints "quillhaven: shot: message" for a failure of the run itself (not of its input); returns 1.
int Broke(const std::string& message)
{
    std::fprintf(stderr, "quillhaven: shot: %s\n", message.c_str());
    return 1;
}

/// The editor that takes the shot: its hidden window, the engine's render area inside it, and the frames it runs.
class ShotEditor
{
public:
    ShotEditor(const EngineLibrary& engine, Display* display) : m_engine(engine), m_display(display) {}
    ~ShotEditor()
    {
        if (m_area != 0)
            m_engine.DestroyRenderWindow();
        if (m_host != 0)
            hostcommon::DestroyWindow(m_display, m_host);
    }
    ShotEditor(const ShotEditor&) = delete;
    ShotEditor& operator=(const ShotEditor&) = delete;

    /// The editor's start-up: its window, the render area inside it, the novel settings; both windows shown.
    bool Open(const std::wstring& name, const std::wstring& text, std::string& error)
    {
        hostcommon::HostWindowOptions window;
        window.name = "quillhaven shot";
        window.hidden = true;
        m_host = hostcommon::CreateHostWindow(m_display, kNovelWidth, kNovelHeight, window);
        if (m_host == 0)
            return error = "the X server refused the host window", false;
        void* const host = reinterpret_cast<void*>(m_host);
        void* const area = m_engine.CreateRenderWindow(nullptr, host, kNovelWidth, kNovelHeight, L"Quillhaven",
                                                       name.c_str(), text.c_str(), L"", 1);
        if (area == nullptr)
            return error = "the engine made no render area (see debug.txt in the novel folder)", false;
        m_area = reinterpret_cast<hostcommon::WindowId>(area);
        m_engine.InitNovelSettings(nullptr, host, L"Quillhaven", name.c_str(), text.c_str(), L"", 1);
        hostcommon::MapWindow(m_display, m_host);
        hostcommon::MapWindow(m_display, m_area);
        return true;
    }

    /// Runs frames for duration of wall time, reading on every kReadOnEvery.
    void PlayFor(milliseconds duration)
    {
        const auto start = Clock::now();
        auto nextReadOn = start + kReadOnEvery;
        while (Clock::now() - start < duration)
        {
            if (Clock::now() >= nextReadOn)
            {
                ReadOn();
                nextReadOn += kReadOnEvery;
            }
            RunFrames(1);
        }
    }

    /// Runs frames until two captures in a row agree, or kSettleLimit passes; picture is the last capture.
    bool CaptureSettled(hostcommon::Picture& picture, bool& settled)
    {
        hostcommon::Picture previous;
        if (!Capture(previous))
            return false;
        const auto deadline = Clock::now() + kSettleLimit;
        for (;;)
        {
            RunFrames(2);
            if (!hostcommon::CaptureWindow(m_display, m_area, picture))
                return false;
            settled = picture == previous;
            if (settled || Clock::now() >= deadline)
                return true;
            previous = std::move(picture);
        }
    }

    /// Runs a few frames, so that the last scene is drawn whole, and captures it.
    bool Capture(hostcommon::Picture& picture)
    {
        RunFrames(kWarmupFrames);
        return hostcommon::CaptureWindow(m_display, m_area, picture);
    }

private:
    /// Runs frames at about 60 a second, so that the engine's pacing draws each of them.
    void RunFrames(int frames)
    {
        for (int i = 0; i < frames; ++i)
        {
            const auto next = Clock::now() + kFrame;
            m_engine.UpdateRenderWindow();
            std::this_thread::sleep_until(next);
        }
    }

    /// Presses Space in the render area, which reads on as a click does. A key is handed over rather than a click:
    /// a click would press whatever button lies under it, and the engine gives its render area the keyboard focus
    /// on a click, taking it from the user.
    void ReadOn()
    {
        hostcommon::SendKey(m_display, m_area, "space");
        RunFrames(1);
    }

    const EngineLibrary& m_engine;
    Display* m_display;
    hostcommon::WindowId m_host = 0;
    hostcommon::WindowId m_area = 0;
};

/// Shows the script in the editor at its line, or plays it from the first line, and returns the settled picture.
int TakeShot(const EngineLibrary& engine, const Options& options, const std::string& scriptBytes,
             hostcommon::Picture& picture)
{
    const hostcommon::X11Connection x11;
    if (!x11)
        return Fail("shot: no X display to draw on: set DISPLAY, or run it under xvfb-run");
    const std::wstring name = Widen(options.script);
    const std::wstring text = Widen(scriptBytes);
    ShotEditor editor(engine, x11.get());
    std::string error;
    if (!editor.Open(name, text, error))
        return Broke(error);
    if (options.playMs >= 0)
    {
        // What is shown after playing a while may never stand still (a blinking wait icon, a tween), so it is taken
        // as it is.
        engine.setGameMode(1);
        engine.setNovelScriptText(name.c_str(), text.c_str(), -1, 1);
        editor.PlayFor(milliseconds(options.playMs));
        if (!editor.Capture(picture))
            return Broke("the render area could not be read back from the X server");
        return 0;
    }
    // The line's finished look, as an editor without animations shows it: text whole, not letter by letter.
    engine.setTweenAnimationDisplay(0);
    engine.setNovelScriptText(name.c_str(), text.c_str(), options.line, 1);
    bool settled = false;
    if (!editor.CaptureSettled(picture, settled))
        return Broke("the render area could not be read back from the X server");
    if (!settled)
        std::fprintf(stderr,
                     "quillhaven: shot: warning: the picture was still changing after %lld s; the last one "
                     "is saved\n",
                     static_cast<long long>(kSettleLimit.count()));
    return 0;
}
} // namespace

int RunShot(int argc, char** argv)
{
    Options options;
    std::string error;
    if (!ParseArguments(argc, argv, options, error))
        return FailUsage("shot: " + error);
    const std::string out = Absolute(options.out);
    if (!hostcommon::CanWriteBeside(out, error))
        return Fail("shot: " + error);
    if (chdir(options.novelDir.c_str()) != 0)
        return Fail("shot: novel folder '" + options.novelDir + "' cannot be opened: " + std::strerror(errno));

    EngineLibrary engine;
    if (!engine.LoadBeside(argv[0], error))
        return Fail("shot: " + error);
    std::string scriptBytes;
    if (!ReadNovelScript(engine, argv[0], options.novelDir, options.script, scriptBytes, error))
        return Fail("shot: " + error);
    if (options.playMs < 0 && options.line > CountLines(scriptBytes))
        std::fprintf(stderr, "quillhaven: shot: warning: 'Scripts/%s' has %d lines; the shot shows its end\n",
                     options.script.c_str(), CountLines(scriptBytes));

    hostcommon::Picture picture;
    if (const int code = TakeShot(engine, options, scriptBytes, picture); code != 0)
        return code;
    if (picture.width != options.width || picture.height != options.height)
        picture = hostcommon::FitPicture(picture, options.width, options.height);
    if (!hostcommon::SavePng(out, picture, error))
        return Broke(error);
    return 0;
}
} // namespace launcher
