// What logging costs the engine's thread: one formatting into the message buffer and one queue push. Writing the
// file happens on the worker and is not part of the figure.

#include "core/NovelState.h"
#include "core/Services.h"
#include "resources/Logger.h"

#include <benchmark/benchmark.h>

namespace
{
void EnsureEngineState()
{
    if (zel::Services::m_NovelStates.empty())
        zel::Services::m_NovelStates.push_back(std::make_shared<zel::NovelState>());
}

/// Logs a typical formatted engine line; drainEvery > 0 lets the worker catch up (outside the timing) that often.
void LogFormattedLines(benchmark::State& state, int drainEvery)
{
    EnsureEngineState();
    const std::wstring name = L"background_forest.png";
    int line = 0;
    for (auto _ : state)
    {
        zel::OutputDebugStringN(L"[Parser::ReadScript] duration:%ims. script:%s read until line:%i \n", 0, name.c_str(),
                                ++line);
        if (drainEvery > 0 && line % drainEvery == 0)
        {
            state.PauseTiming();
            zel::NHelper::concurrentLogger::Instance().Flush();
            state.ResumeTiming();
        }
    }
    state.SetItemsProcessed(state.iterations());
}

/// A sustained burst: the worker falls behind and the host thread competes with a growing backlog.
void BM_LogFormatted(benchmark::State& state)
{
    LogFormattedLines(state, 0);
}
BENCHMARK(BM_LogFormatted);

/// The worker keeps up, as between the frames of a running novel: the host thread's own cost per message.
void BM_LogFormattedWorkerKeepsUp(benchmark::State& state)
{
    LogFormattedLines(state, 256);
}
BENCHMARK(BM_LogFormattedWorkerKeepsUp);

void BM_LogPlain(benchmark::State& state)
{
    EnsureEngineState();
    for (auto _ : state)
        zel::OutputDebugStringN(L"[Parser::ReadScriptBreak] PARSE_FIN \n");
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LogPlain);

void BM_LogFromTwoThreads(benchmark::State& state)
{
    EnsureEngineState();
    for (auto _ : state)
        zel::OutputDebugStringN(L"thread message %i\n", state.thread_index());
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LogFromTwoThreads)->Threads(2);
} // namespace

BENCHMARK_MAIN();
