// What the editor waits for when the author moves the cursor: a 10,000-line script of mixed commands and dialogue,
// read in editing mode, then moved to other lines through setNovelScriptText, with logging on. The goal is a move to
// line 10,000 within one frame (16 ms).

#include "NovelState.h"
#include "Parser.h"
#include "Services.h"
#include "quillhaven.h"

#include <benchmark/benchmark.h>

#include <string>

namespace
{
constexpr int kLines = 10000;
const wchar_t* const kScriptName = L"long.txt";

/// One line of a novel: mostly dialogue, with the commands a scene uses between the lines.
std::wstring ScriptLine(int i)
{
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

const std::wstring& Script()
{
    static const std::wstring text = [] {
        std::wstring built;
        for (int i = 1; i <= kLines; ++i)
            built += ScriptLine(i) + L"\n";
        return built;
    }();
    return text;
}

/// An editor session without a window: one novel state, the command table and the main parser.
void EnsureEditor()
{
    if (zel::Services::pNParser != nullptr)
        return;
    zel::Services::m_NovelStates.push_back(std::make_shared<zel::NovelState>());
    zel::Services::SysVars()->variables[L"mood"] = L"good";
    zel::Services::pNCommands = std::make_unique<zel::NovelCommands>();
    zel::Services::pNParser =
        std::make_unique<zel::NParser>(std::make_shared<zel::Parser>(kScriptName, Script(), zel::PARSER_MAIN));
}

/// Puts the main parser at line (outside the timing), then times the move to target.
void MoveCursor(benchmark::State& state, int from, int target, std::uint8_t reset)
{
    EnsureEditor();
    for (auto _ : state)
    {
        state.PauseTiming();
        setNovelScriptText(kScriptName, Script().c_str(), from, 1);
        state.ResumeTiming();
        setNovelScriptText(kScriptName, Script().c_str(), target, reset);
    }
    state.counters["main_line"] = zel::MainParser()->readlineno;
}

/// The editor hands over the script and asks for its last line: every line is read from the start.
void BM_ResetAndReadTo10000(benchmark::State& state)
{
    MoveCursor(state, 1, kLines, 1);
}
BENCHMARK(BM_ResetAndReadTo10000)->Unit(benchmark::kMillisecond);

void BM_BackFrom10000To9000(benchmark::State& state)
{
    MoveCursor(state, kLines, 9000, 0);
}
BENCHMARK(BM_BackFrom10000To9000)->Unit(benchmark::kMillisecond);

void BM_BackFrom9000To5000(benchmark::State& state)
{
    MoveCursor(state, 9000, 5000, 0);
}
BENCHMARK(BM_BackFrom9000To5000)->Unit(benchmark::kMillisecond);

void BM_ForwardFrom5000To10000(benchmark::State& state)
{
    MoveCursor(state, 5000, kLines, 0);
}
BENCHMARK(BM_ForwardFrom5000To10000)->Unit(benchmark::kMillisecond);

/// A keystroke on line 10,000: the text is amended from the cursor's line on.
void BM_AmendAtLine10000(benchmark::State& state)
{
    MoveCursor(state, kLines, kLines, 1);
}
BENCHMARK(BM_AmendAtLine10000)->Unit(benchmark::kMillisecond);
} // namespace
