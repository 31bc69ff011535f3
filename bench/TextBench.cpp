// Text on the screen. Laying out a 2,000-character paragraph into a 600-pixel area, with each of the three layouts
// (word wrap, character wrap, vertical columns), and the frame cost of a screen holding a background and a text box
// whose text is still flowing, against the same screen once the whole text is shown.

#include "BenchEngine.h"

#include "core/NovelState.h"
#include "core/Services.h"
#include "entities/NTextbox.h"
#include "quillhaven.h"
#include "resources/ResourcePool.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <string>

namespace
{
constexpr std::size_t kParagraphLength = 2000;
constexpr int kAreaWidth = 600;
constexpr unsigned kCharacterSize = 24;

/// sentence repeated, cut to exactly length characters.
std::wstring Repeated(const std::wstring& sentence, std::size_t length)
{
    std::wstring text;
    while (text.size() < length)
        text += sentence;
    text.resize(length);
    return text;
}

std::wstring LatinParagraph(std::size_t length)
{
    return Repeated(L"The lighthouse keeper counted the ships again, though the fog had swallowed every one of them, "
                    L"and wrote their names in a ledger nobody would ever read. ",
                    length);
}

std::wstring JapaneseParagraph(std::size_t length)
{
    return Repeated(L"灯台守は霧に呑まれた船をもう一度数え、誰も読むことのない帳面にその名を書き留めた。"
                    L"「まだ見えるかい？」と彼女は尋ねた――答えはなかった。",
                    length);
}

/// A text state in the look the layouts see in a novel: a pooled font, a 600-pixel area without a height limit.
zel::sTextbox TextState(const wchar_t* fontFile)
{
    std::shared_ptr<zel::Font> font;
    if (!zel::ResourcePool<zel::Font>::getResource(font, fontFile))
        throw std::runtime_error("font missing from the bench novel folder");
    zel::sTextbox state;
    state.setPooledFont(font);
    state.setCharacterSize(kCharacterSize);
    state.areaWidth = kAreaWidth;
    state.areaHeight = 0;
    return state;
}

void ReportLayout(benchmark::State& state, const zel::LaidOutText& laidOut, bool vertical, std::size_t characters)
{
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(characters));
    state.SetLabel("chars/s = items/s");
    const std::wstring& result = laidOut.string;
    state.counters["lines"] = vertical ? static_cast<double>(laidOut.columns.size())
                                       : static_cast<double>(std::count(result.begin(), result.end(), L'\n') + 1);
}

/// Horizontal layout of the Latin paragraph: word wrap (argument 1) or character wrap (0).
void BM_LayoutHorizontal(benchmark::State& state)
{
    bench::EnsureWindowedEditor(800, 600);
    zel::sTextbox text = TextState(L"Fonts/latin.ttf");
    text.wordWrap = state.range(0) == 1;
    const std::wstring paragraph = LatinParagraph(kParagraphLength);
    zel::LaidOutText laid;
    for (auto _ : state)
    {
        zel::TextLayout::Horizontal(laid, text, paragraph, true, true, nullptr);
        benchmark::DoNotOptimize(laid.string.size());
    }
    ReportLayout(state, laid, false, paragraph.size());
}
BENCHMARK(BM_LayoutHorizontal)->ArgName("wordWrap")->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

void BM_LayoutVertical(benchmark::State& state)
{
    bench::EnsureWindowedEditor(800, 600);
    zel::sTextbox text = TextState(L"Fonts/japanese.ttf");
    text.vertical = true;
    const std::wstring paragraph = JapaneseParagraph(kParagraphLength);
    zel::LaidOutText laid;
    for (auto _ : state)
    {
        if (!zel::TextLayout::Vertical(laid, text, paragraph, true, -1, nullptr))
            state.SkipWithError("vertical layout refused the text");
        benchmark::DoNotOptimize(laid.columns.size());
    }
    ReportLayout(state, laid, true, paragraph.size());
}
BENCHMARK(BM_LayoutVertical)->Unit(benchmark::kMicrosecond);

// ---------------------------------------------------------------------------------------------------------------
// A screen with a text box

constexpr int kBoxLine = 1; ///< the box's look is set at line 1; its text arrives at line 2, where the cursor is
constexpr int kTextLine = 2;
constexpr int kTextLetters = 300;

/// A background (line 1) and a text box over the lower part of an 800x600 window holding a 300-letter text: the
/// first half shown, the second half still flowing, at a speed slow enough that it flows through the whole run.
/// With whole set, the flow is over and all 300 letters are shown.
void ShowTextScreen(benchmark::State& state, bool whole)
{
    bench::EnsureWindowedEditor(800, 600);
    const std::wstring script = L"bg img0.png\n\n";
    setNovelScriptText(L"main.txt", script.c_str(), kTextLine, 1);
    zel::SystemVariables* sysVars = zel::Services::SysVars();
    sysVars->renderMode = 0;
    sysVars->sysTextSpeed = 1000; // ms per letter: a run sees one or two more letters at most

    zel::EntityRegistry* entities = zel::Services::Entities();
    auto box = std::make_shared<zel::NTextbox>(zel::NTYPE_TEXTBOX, L"bench_box", kAreaWidth, 0, 5, kBoxLine);
    {
        zel::sTextbox& look = box->m_TextStates.entries().begin()->second;
        std::shared_ptr<zel::Font> font;
        if (!zel::ResourcePool<zel::Font>::getResource(font, L"Fonts/latin.ttf"))
            throw std::runtime_error("font missing from the bench novel folder");
        look.setPooledFont(font);
        look.setCharacterSize(kCharacterSize);
        look.wordWrap = true;
        look.setPosition(100.f, 400.f);
    }
    if (!entities->InsNovelEntity(box, 5, box->name))
        throw std::runtime_error("text box name taken");

    const std::wstring text = LatinParagraph(kTextLetters);
    const std::size_t half = kTextLetters / 2;
    box->pushNewText(text.substr(0, half), kTextLine, true);
    box->ShowWholeText();
    box->pushNewText(text.substr(half), kTextLine, false);
    if (whole)
        box->ShowWholeText();
    zel::Services::UpdateEngine(true, true);
    state.counters["flowing"] = box->isTextFlowing() ? 1 : 0;
}

/// Clears the screen again, so that the next benchmark starts from a screen without the box.
void ClearTextScreen(benchmark::State& state)
{
    if (zel::EntityPtr box = zel::Services::Entities()->Find(L"bench_box"))
        state.counters["flowing"] = box->isTextFlowing() ? 1 : 0; // still flowing at the end of the run?
    setNovelScriptText(L"main.txt", L"", 1, 1);
    zel::Services::UpdateEngine(true, true);
}

void BM_TextScreenUpdateOnly(benchmark::State& state)
{
    const bool whole = state.range(0) != 0;
    ShowTextScreen(state, whole);
    for (auto _ : state)
        zel::Services::UpdateEngine(false, false);
    ClearTextScreen(state);
}
BENCHMARK(BM_TextScreenUpdateOnly)->ArgName("whole")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_TextScreenDraw(benchmark::State& state)
{
    const bool whole = state.range(0) != 0;
    ShowTextScreen(state, whole);
    zel::SystemVariables* sysVars = zel::Services::SysVars();
    sysVars->renderMode = 1;
    for (auto _ : state)
        zel::Services::UpdateEngine(true, false);
    sysVars->renderMode = 0;
    ClearTextScreen(state);
}
BENCHMARK(BM_TextScreenDraw)->ArgName("whole")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
} // namespace
