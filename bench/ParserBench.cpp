// What the editor waits for when the author moves the cursor: a 10,000-line script of mixed commands and dialogue,
// read in editing mode, then moved to other lines through setNovelScriptText, with logging on. The goal is a move to
// line 10,000 within one frame (16 ms). Last, the author's check of such a chapter, and of one five times as long
// (the goal: within a second).

#include "BenchEngine.h"

#include "core/NovelState.h"
#include "core/Services.h"
#include "quillhaven.h"
#include "script/Parser.h"

#include <benchmark/benchmark.h>

#include "resources/NHelper.h"

#include <filesystem>
#include <fstream>
#include <string>

namespace
{
constexpr int kLines = 10000;
/// Timed moves per run: each one first puts the cursor back at its starting line, a whole read outside the timing,
/// so a count chosen by the timer alone would take minutes.
constexpr int kMoves = 20;
const wchar_t* const kScriptName = L"long.txt";

/// One line of a novel: mostly dialogue, with the commands a scene uses between the lines.
std::wstring ScriptLine(int i)
{
    // The chapter opens with its message box and the backlog's page, so every dialogue line is laid out twice.
    static const wchar_t* const kSetup[] = {L"textbox msg 40 500 5 1200 200 latin.ttf 28", L"useTextbox msg",
                                            L"textbox history 40 40 6 1200 600 latin.ttf 24", L"backlogConfig history"};
    if (i <= 4)
        return kSetup[i - 1];
    const std::wstring n = std::to_wstring(i);
    switch (i % 12)
    {
    case 0:
        return L"~bg room" + n + L".png";
    case 1:
        return L"cg alice alice_" + n + L".png 100 200 1 0";
    case 2:
        return L"\"Alice: this is line " + n + L" of a rather long chapter, and it goes on a while.";
    case 3:
        return L"-\"And she keeps talking about {{mood}} things.";
    case 4:
        return L"~.move alice " + n + L" 0 500";
    case 5:
        return L"textSpeed 40 // slower for the next part";
    case 6:
        return L"\"Bob: 'quoted words' in a line " + n;
    case 7:
        return L"~wait 200";
    case 8:
        return L"// a comment line about scene " + n;
    case 9:
        return L"bgm theme.ogg";
    case 10:
        return L"var mood = happy";
    default:
        return L"\"Narrator: the story continues.";
    }
}

/// The chapter of count lines (kLines unless said) whose line i is lineAt(i).
std::wstring BuildChapter(std::wstring (*lineAt)(int), int count = kLines)
{
    std::wstring built;
    for (int i = 1; i <= count; ++i)
        built += lineAt(i) + L"\n";
    return built;
}

const std::wstring& Script()
{
    static const std::wstring text = BuildChapter(ScriptLine);
    return text;
}

void EnsureEditor()
{
    bench::EnsureHeadlessEditor(kScriptName, Script());
}

/// Puts the main parser at line from (outside the timing), then times the move to target.
void TimeMoves(benchmark::State& state, const wchar_t* name, const std::wstring& script, int from, int target,
               std::uint8_t reset)
{
    for (auto _ : state)
    {
        state.PauseTiming();
        setNovelScriptText(name, script.c_str(), from, 1);
        state.ResumeTiming();
        setNovelScriptText(name, script.c_str(), target, reset);
    }
    state.counters["main_line"] = zel::MainParser()->readlineno;
}

void MoveCursor(benchmark::State& state, int from, int target, std::uint8_t reset)
{
    EnsureEditor();
    TimeMoves(state, kScriptName, Script(), from, target, reset);
}

/// The same kind of chapter, but its bg and cg lines show real images: backgrounds change every 12 lines, 40 named
/// pictures are renewed over and over (each keeps a look per line it changed at), and layer moves come between them.
std::wstring PictureScriptLine(int i)
{
    const std::wstring n = std::to_wstring(i);
    switch (i % 12)
    {
    case 0:
        return L"~bg img" + std::to_wstring(i % 4) + L".png";
    case 1:
    case 4:
        // "~" first: after a dialogue line the reader is in text mode, where a plain line would be spoken text.
        return L"~cg c" + std::to_wstring((i / 12 + (i % 12 == 4 ? 20 : 0)) % 40) + L" img" + std::to_wstring(i % 4) +
               L".png " + std::to_wstring(i % 700) + L" " + std::to_wstring(i % 500) + L" " + std::to_wstring(i % 4);
    case 7:
        return L"~layer c" + std::to_wstring((i / 12) % 40) + L" " + std::to_wstring(i % 3);
    default:
        return ScriptLine(i);
    }
}

const std::wstring& PictureScript()
{
    static const std::wstring text = BuildChapter(PictureScriptLine);
    return text;
}

/// As MoveCursor, on the picture chapter in an editor with a window, so that the lines create and renew pictures.
void MoveCursorWithPictures(benchmark::State& state, int from, int target, std::uint8_t reset)
{
    bench::EnsureWindowedEditor(800, 600);
    TimeMoves(state, L"main.txt", PictureScript(), from, target, reset);
    state.counters["pictures"] = static_cast<double>(zel::Services::Entities()->CountInLayers());
}

/// Each cursor move on both chapters: the editor hands over the script and moves the cursor as the author does.
#define CURSOR_MOVE(name, from, target, reset)                                                                         \
    BENCHMARK_CAPTURE(MoveCursor, name, from, target, reset)->Unit(benchmark::kMillisecond)->Iterations(kMoves);       \
    BENCHMARK_CAPTURE(MoveCursorWithPictures, name, from, target, reset)                                               \
        ->Unit(benchmark::kMillisecond)                                                                                \
        ->Iterations(kMoves)

CURSOR_MOVE(ResetAndReadTo10000, 1, kLines, 1); // every line read from the start
CURSOR_MOVE(BackFrom10000To9000, kLines, 9000, 0);
CURSOR_MOVE(BackFrom9000To5000, 9000, 5000, 0);
CURSOR_MOVE(ForwardFrom5000To10000, 5000, kLines, 0);
CURSOR_MOVE(AmendAtLine10000, kLines, kLines, 1); // a keystroke: the text is amended from the cursor's line on

/// The author's check of a novel whose main script is this chapter, lines times over, read from its file. Its
/// pictures do not exist, so a quarter of the lines are reported: the report is part of the time.
void LintChapter(benchmark::State& state)
{
    const int lines = static_cast<int>(state.range(0));
    const std::string folder = "/tmp/quillhaven-lint-bench-" + std::to_string(lines);
    std::filesystem::create_directories(folder + "/Scripts");
    std::filesystem::copy_file(QUILLHAVEN_SAMPLE_DIR "/Commands.xml", folder + "/Commands.xml",
                               std::filesystem::copy_options::overwrite_existing);
    std::ofstream(folder + "/Scripts/main.txt", std::ios::binary) << zel::NHelper::ws2s(BuildChapter(ScriptLine, lines));
    const std::wstring wideFolder = zel::NHelper::s2ws(folder);
    int errors = 0;
    for (auto _ : state)
    {
        const wchar_t* report = nullptr;
        errors = lintNovel(wideFolder.c_str(), nullptr, nullptr, nullptr, 0, &report);
        benchmark::DoNotOptimize(report);
    }
    state.counters["errors"] = errors;
    std::filesystem::remove_all(folder);
}
BENCHMARK(LintChapter)->Arg(kLines)->Arg(50000)->Unit(benchmark::kMillisecond);
} // namespace
