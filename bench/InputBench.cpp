// The pointer's cost per frame: the hover check that every update runs over the buttons and sliders, with 10, 100
// and 1,000 of them on the screen and the pointer resting in the middle of the window.

#include "BenchEngine.h"

#include "core/Services.h"

#include <SFML/Window/Event.hpp>
#include <benchmark/benchmark.h>

namespace
{
/// Every picture on the screen answers the pointer as a button would; the pointer rests at the window's centre.
void PicturesAsButtons(benchmark::State& state)
{
    bench::ShowPictures(static_cast<int>(state.range(0)));
    zel::EntityRegistry* entities = zel::Services::Entities();
    entities->interactives.clear();
    for (const auto& layer : entities->entityLayers)
        entities->interactives.insert(entities->interactives.end(), layer.second.begin(), layer.second.end());
    sf::Event move{};
    move.type = sf::Event::MouseMoved;
    move.mouseMove = {400, 300};
    zel::Services::DispatchInput(move);
    state.counters["buttons"] = static_cast<double>(entities->interactives.size());
}

/// The hover check of one update: a hit test of every button at the pointer.
void BM_PointerHover(benchmark::State& state)
{
    PicturesAsButtons(state);
    for (auto _ : state)
        benchmark::DoNotOptimize(zel::Services::CheckButtons(1, L"left.click"));
    zel::Services::Entities()->interactives.clear();
}
BENCHMARK(BM_PointerHover)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

/// The same with real buttons while playing: the hit test, and the touched look of those under the pointer (set
/// once, then left as it is).
void BM_ButtonHover(benchmark::State& state)
{
    bench::ShowButtons(static_cast<int>(state.range(0)));
    zel::SystemVariables* sysVars = zel::Services::SysVars();
    sysVars->gameMode = 1;
    sf::Event move{};
    move.type = sf::Event::MouseMoved;
    move.mouseMove = {400, 300};
    zel::Services::DispatchInput(move);
    state.counters["buttons"] = static_cast<double>(zel::Services::Entities()->interactives.size());
    for (auto _ : state)
        benchmark::DoNotOptimize(zel::Services::CheckButtons(1, L"left.click"));
    sysVars->gameMode = 0;
}
BENCHMARK(BM_ButtonHover)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);
} // namespace
