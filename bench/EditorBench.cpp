// The editor opening a long script at its last line, and a keystroke there. The script is written the way an author
// writes one: a text box set up at the top, then dialogue on most lines, a picture change every few lines and now
// and then a new background.

#include "BenchEngine.h"

#include "core/Services.h"
#include "quillhaven.h"

#include <benchmark/benchmark.h>

#include <string>

namespace
{
constexpr int kScriptLines = 10000;

const wchar_t* const kSentences[] = {
    L"Anna: The fog came in early tonight, and the lamps along the harbour wall went on one by one.",
    L"Ben: You counted them again? Nobody reads that ledger, you know.",
    L"Anna: Somebody will, one day. And then they will know which ships came home.",
    L"Ben: Come inside, the kettle is on and the wind is turning cold.",
};

/// The text box at the top, then dialogue; every seventh line a picture changes, every hundred-and-third the
/// background, every fifth dialogue line continues the one before it.
std::wstring AuthorScript(int lines)
{
    std::wstring script = L"bg img0.png\n"
                          L"textbox msg 60 400 5 680 160 latin.ttf 24\n"
                          L"useTextbox msg\n"
                          L"textboxSkin img3.png 40 380\n"
                          L"textColour 250 246 232\n"
                          L"textWordWrap true\n";
    for (int line = 7; line <= lines; ++line)
    {
        if (line % 103 == 0)
            script += L"~bg img" + std::to_wstring(line % 3) + L".png\n";
        else if (line % 7 == 0)
            script += L"~cg anna img" + std::to_wstring(1 + line % 3) + L".png " + std::to_wstring(100 + line % 300) +
                      L" 60 2\n";
        else if (line % 5 == 0)
            script += L"-\" And the bell rang twice.\n";
        else
            script += L"~\"" + std::wstring(kSentences[line % 4]) + L"\n";
    }
    return script;
}

/// The editor's screen at the cursor: read and updated as the host's next frame would.
void ShowAt(const std::wstring& script, int line, int reset)
{
    setNovelScriptText(L"main.txt", script.c_str(), line, reset);
    zel::Services::UpdateEngine(false, false);
}

void BM_EditorOpen10kAtLastLine(benchmark::State& state)
{
    bench::EnsureWindowedEditor(800, 600);
    zel::Services::SysVars()->renderMode = 0;
    const std::wstring script = AuthorScript(kScriptLines);
    for (auto _ : state)
    {
        state.PauseTiming();
        ShowAt(L"", 1, 1); // the editor held another script before
        state.ResumeTiming();
        ShowAt(script, kScriptLines, 1);
    }
    setNovelScriptText(L"main.txt", L"", 1, 1);
}
BENCHMARK(BM_EditorOpen10kAtLastLine)->Unit(benchmark::kMillisecond);

/// A letter typed at the end of the last line: the editor sends the whole edited text for the same line.
void BM_EditorKeystroke10k(benchmark::State& state)
{
    bench::EnsureWindowedEditor(800, 600);
    zel::Services::SysVars()->renderMode = 0;
    const std::wstring script = AuthorScript(kScriptLines);
    ShowAt(script, kScriptLines, 1);
    std::wstring typed = script;
    typed.reserve(script.size() + 1024 * 1024);
    int keys = 0;
    for (auto _ : state)
    {
        // The cursor stands at the end of the last line, before its line feed.
        typed.insert(typed.size() - 1, 1, keys++ % 2 == 0 ? L'a' : L'e');
        ShowAt(typed, kScriptLines, 1);
    }
    setNovelScriptText(L"main.txt", L"", 1, 1);
}
BENCHMARK(BM_EditorKeystroke10k)->Unit(benchmark::kMicrosecond);
} // namespace
