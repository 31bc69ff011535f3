// One engine frame with 10, 100 and 1,000 pictures of 64x64 on the screen, spread over six layers, while editing.
// The frame is measured whole (as the host calls it, paced), and split: the update alone (entities, deferred calls,
// no drawing) and a forced draw (render mode 1: the update, then clearing, drawing every picture and presenting).

#include "BenchEngine.h"

#include "core/NovelState.h"
#include "core/Services.h"
#include "script/Parser.h"

#include <benchmark/benchmark.h>

namespace
{
/// The editor shows count pictures, every one of them drawn.
void ShowPictures(benchmark::State& state)
{
    bench::ShowPictures(static_cast<int>(state.range(0)));
    state.counters["pictures"] = static_cast<double>(zel::Services::Entities()->CountInLayers());
}

/// What the host calls once per frame: events, updates and a draw when the pacing allows one.
void BM_EngineFrame(benchmark::State& state)
{
    ShowPictures(state);
    for (auto _ : state)
        zel::Services::UpdateEngine(true, true);
}
BENCHMARK(BM_EngineFrame)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

/// The update part alone: every entity's per-frame work and the deferred calls, nothing drawn.
void BM_EngineUpdateOnly(benchmark::State& state)
{
    ShowPictures(state);
    for (auto _ : state)
        zel::Services::UpdateEngine(false, false);
}
BENCHMARK(BM_EngineUpdateOnly)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

/// A forced draw: the update, then clear, draw every picture and present, whatever the pacing.
void BM_EngineDraw(benchmark::State& state)
{
    ShowPictures(state);
    zel::SystemVariables* sysVars = zel::Services::SysVars();
    sysVars->renderMode = 1;
    for (auto _ : state)
        zel::Services::UpdateEngine(true, false);
    sysVars->renderMode = 0;
}
BENCHMARK(BM_EngineDraw)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);
} // namespace
