// The image-mask screen transition over a 1280x720 window with a 1280x720 mask: a forced frame without a transition
// (Arg 0) and with one whose level changes on every frame (Arg 1), the worst case, where the overlay is rewritten
// each time. The difference is what a running transition costs a frame beyond drawing the scene.

#include "BenchEngine.h"

#include "core/Clock.h"
#include "core/NovelState.h"
#include "core/Services.h"
#include "quillhaven.h"

#include <SFML/Graphics/Image.hpp>
#include <benchmark/benchmark.h>

#include <chrono>

namespace
{
constexpr unsigned kWidth = 1280;
constexpr unsigned kHeight = 720;
/// Long enough never to end while measured: one level step is this over 255 ms.
constexpr int kDurationMs = 255 * 1000;

void ResizeWindow(unsigned width, unsigned height)
{
    zel::Services::pRenderWindow->setSize(sf::Vector2u(width, height));
    zel::Services::pRenderWindow->setView(
        sf::View(sf::FloatRect(0.f, 0.f, static_cast<float>(width), static_cast<float>(height))));
}

/// A diagonal gradient, so that every level uncovers part of the picture.
void MakeMask()
{
    sf::Image mask;
    mask.create(kWidth, kHeight);
    for (unsigned y = 0; y < kHeight; ++y)
        for (unsigned x = 0; x < kWidth; ++x)
        {
            const auto m = static_cast<sf::Uint8>((x + y) * 255 / (kWidth + kHeight));
            mask.setPixel(x, y, sf::Color(m, m, m));
        }
    mask.saveToFile("Images/mask.png");
}

void StartTransition(zel::SystemVariables& sysVars)
{
    sysVars.transitionImage = L"mask.png";
    sysVars.transitionDuration = kDurationMs;
    sysVars.transitionIn = true;
    sysVars.transitionStartPending = true;
}

void BM_TransitionFrame(benchmark::State& state)
{
    bench::EnsureWindowedEditor(kWidth, kHeight);
    ResizeWindow(kWidth, kHeight);
    MakeMask();
    const std::wstring script = L"bg img0.png\ncg a img1.png 100 100 1\n";
    setNovelScriptText(L"main.txt", script.c_str(), 2, 1);
    zel::SystemVariables* sysVars = zel::Services::SysVars();
    sysVars->renderMode = 1;
    zel::Clock::SetManual(true);
    const bool transition = state.range(0) == 1;
    for (auto _ : state)
    {
        if (transition && sysVars->transitionImage.empty())
            StartTransition(*sysVars);
        zel::Clock::Advance(std::chrono::milliseconds(kDurationMs / 255)); // the next level
        zel::Services::UpdateEngine(true, false);
    }
    sysVars->transitionImage.clear();
    zel::Services::UpdateEngine(true, false);
    zel::Clock::SetManual(false);
    sysVars->renderMode = 0;
    ResizeWindow(800, 600);
}
BENCHMARK(BM_TransitionFrame)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
} // namespace
