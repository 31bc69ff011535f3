// quillhaven_measure: the figures of scripts/measure.sh, taken from the real `quillhaven` program playing a novel.
//
//   quillhaven_measure scene NOVEL RUNS X Y W H
//       start to the first dialogue text seen in the box X Y W H, CPU used while the whole text waits for a click,
//       and peak memory;
//   quillhaven_measure skip NOVEL EMPTY_NOVEL LINES RUNS TIMEOUT_S
//       lines a second of a novel that skip-reads LINES lines to endGame, less the time of EMPTY_NOVEL, which has the
//       same start and no lines.
//
// Each figure is the median of RUNS runs. The exit status is 1 when a run failed (it says why).

#include "LauncherProcess.h"
#include "ReaderFigures.h"
#include "TestSupport.h"
#include "X11TestWindow.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using std::chrono::seconds;

const char* const kWindowTitle = "Quillhaven -Quillhaven";
constexpr auto kPoll = milliseconds(10);
constexpr auto kStartLimit = seconds(30);
/// The text is whole once its letters stop growing for this long, far more than the time between two letters.
constexpr auto kSteadyText = milliseconds(500);
constexpr auto kIdleSpan = seconds(10);
/// Fewer yellow pixels than this may be a stray blend of colours; the first letter has more.
constexpr int kFirstLetter = 10;
const char* const kEndLogged = "APPLICATION MODE) endGame.";

double Seconds(Clock::duration span)
{
    return std::chrono::duration<double>(span).count();
}

std::string ProcFile(pid_t pid, const char* name)
{
    return testsupport::ReadFile("/proc/" + std::to_string(pid) + "/" + name);
}

/// What one run of the scene measured.
struct SceneRun
{
    double firstText = 0;
    double idleCpuPercent = 0;
    double peakMib = 0;
};

/// The yellow pixels in the box of the launcher's window; -1 while the window is missing or cannot be read.
int TextPixelsNow(Display* display, const bench::Area& box)
{
    const hosttest::WindowId window = hosttest::FindTopLevelWindow(display, kWindowTitle);
    hostcommon::Picture picture;
    if (window == 0 || !hostcommon::CaptureWindowArea(display, window, box.x, box.y, box.width, box.height, picture))
        return -1;
    return bench::TextPixels(picture, {0, 0, picture.width, picture.height});
}

/// Polls the window until the box shows text; false when the launcher ended or the limit passed first.
bool AwaitFirstText(Display* display, hosttest::LauncherProcess& launcher, const bench::Area& box,
                    Clock::time_point limit)
{
    while (TextPixelsNow(display, box) < kFirstLetter)
    {
        if (!launcher.running() || Clock::now() >= limit)
            return false;
        std::this_thread::sleep_for(kPoll);
    }
    return true;
}

/// Polls the window until the text has stopped growing for kSteadyText; false after limit.
bool AwaitWholeText(Display* display, const bench::Area& box, Clock::time_point limit)
{
    int last = -1;
    auto since = Clock::now();
    while (Clock::now() - since < kSteadyText)
    {
        const int now = TextPixelsNow(display, box);
        if (now != last)
            last = now, since = Clock::now();
        if (Clock::now() >= limit)
            return false;
        std::this_thread::sleep_for(kPoll);
    }
    return true;
}

/// Percent of one core the process uses over kIdleSpan.
double IdleCpuPercent(pid_t pid)
{
    const long long before = bench::CpuTicksOfStat(ProcFile(pid, "stat"));
    std::this_thread::sleep_for(kIdleSpan);
    const long long after = bench::CpuTicksOfStat(ProcFile(pid, "stat"));
    if (before < 0 || after < 0)
        return -1;
    return 100.0 * static_cast<double>(after - before) / static_cast<double>(sysconf(_SC_CLK_TCK)) / Seconds(kIdleSpan);
}

bool RunScene(const std::string& novel, const bench::Area& box, SceneRun& run, std::string& error)
{
    const hosttest::X11Connection x11;
    if (!x11)
        return error = "no X display", false;
    const auto start = Clock::now();
    hosttest::LauncherProcess launcher({"play", novel}, novel);
    if (!launcher.started())
        return error = "the launcher did not start", false;
    if (!AwaitFirstText(x11.get(), launcher, box, start + kStartLimit))
        return error = "no dialogue text seen within 30 s", false;
    run.firstText = Seconds(Clock::now() - start);
    if (!AwaitWholeText(x11.get(), box, Clock::now() + kStartLimit))
        return error = "the dialogue text never stood still", false;
    run.idleCpuPercent = IdleCpuPercent(launcher.pid());
    run.peakMib = static_cast<double>(bench::PeakKibOfStatus(ProcFile(launcher.pid(), "status"))) / 1024;
    if (run.idleCpuPercent < 0 || run.peakMib < 0 || !launcher.running())
        return error = "the launcher ended while waiting for a click", false;
    kill(launcher.pid(), SIGTERM);
    launcher.Wait(seconds(10));
    return true;
}

int MeasureScene(const std::string& novel, int runs, const bench::Area& box)
{
    std::vector<double> firstText, idleCpu, peak;
    for (int i = 0; i < runs; ++i)
    {
        SceneRun run;
        std::string error;
        if (!RunScene(novel, box, run, error))
            return std::printf("scene: run %d failed: %s (log: %s/debug.txt)\n", i + 1, error.c_str(), novel.c_str()),
                   1;
        firstText.push_back(run.firstText);
        idleCpu.push_back(run.idleCpuPercent);
        peak.push_back(run.peakMib);
    }
    std::printf("idle CPU while waiting for a click:  %6.2f %% of one core\n", bench::Median(idleCpu));
    std::printf("start to first dialogue text:        %6.3f s\n", bench::Median(firstText));
    std::printf("peak memory playing the scene:       %6.1f MiB\n", bench::Median(peak));
    return 0;
}

/// Seconds from start to the launcher's exit after the novel's endGame; a negative value with error when it did not
/// get there within timeout.
double RunToEnd(const std::string& novel, seconds timeout, std::string& error)
{
    const auto start = Clock::now();
    hosttest::LauncherProcess launcher({"play", novel}, novel);
    const int code = launcher.Wait(timeout);
    const double taken = Seconds(Clock::now() - start);
    const std::string log = testsupport::ReadFile(novel + "/debug.txt");
    if (code == hosttest::kTimedOut)
        return error = "timed out after " + std::to_string(timeout.count()) + " s, at script line " +
                       std::to_string(bench::LastLineRead(log)),
               -1;
    if (code != 0 || log.find(kEndLogged) == std::string::npos)
        return error = "ended (status " + std::to_string(code) + ") without reaching endGame", -1;
    return taken;
}

int MeasureSkip(const std::string& novel, const std::string& emptyNovel, int lines, int runs, seconds timeout)
{
    std::vector<double> full, empty;
    for (int i = 0; i < runs; ++i)
    {
        std::string error;
        const double fullRun = RunToEnd(novel, timeout, error);
        const double emptyRun = fullRun < 0 ? -1 : RunToEnd(emptyNovel, timeout, error);
        if (emptyRun < 0)
            return std::printf("skip reading %d lines: %s (log: %s/debug.txt)\n", lines, error.c_str(), novel.c_str()),
                   1;
        full.push_back(fullRun);
        empty.push_back(emptyRun);
    }
    const double reading = bench::Median(full) - bench::Median(empty);
    std::printf("skip reading %d lines:            %8.1f lines/s (%.1f s to the end, %.2f s of it start and close)\n",
                lines, reading > 0 ? lines / reading : 0.0, bench::Median(full), bench::Median(empty));
    return 0;
}

int Usage()
{
    std::fprintf(stderr, "usage: quillhaven_measure scene NOVEL RUNS X Y W H\n"
                         "       quillhaven_measure skip NOVEL EMPTY_NOVEL LINES RUNS TIMEOUT_S\n");
    return 2;
}
} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 7 && args[0] == "scene")
        return MeasureScene(args[1], std::atoi(args[2].c_str()),
                            {std::atoi(args[3].c_str()), std::atoi(args[4].c_str()), std::atoi(args[5].c_str()),
                             std::atoi(args[6].c_str())});
    if (args.size() == 6 && args[0] == "skip")
        return MeasureSkip(args[1], args[2], std::atoi(args[3].c_str()), std::atoi(args[4].c_str()),
                           seconds(std::atoi(args[5].c_str())));
    return Usage();
}
