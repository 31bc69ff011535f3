#include "ScriptFuzzInput.h"

#include "core/NovelState.h"
#include "core/Services.h"
#include "entities/NBacklog.h"
#include "entities/NCamera.h"
#include "quillhaven.h"
#include "resources/NHelper.h"
#include "script/NParser.h"
#include "script/NovelCommands.h"
#include "script/Parser.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <memory>
#include <string>

namespace scriptfuzz
{
namespace
{
const wchar_t* const kScriptName = L"fuzz.txt";
/// Longer inputs are cut here, so that one input's work stays bounded whatever the fuzzer is told.
constexpr std::size_t kMaxScriptBytes = 64 * 1024;
/// What one frame's script work may take, sanitizers and a loaded machine included: a script must never hold the
/// host's UpdateRenderWindow for longer (one read hands back after 50 ms, a loop without a wait included).
constexpr auto kFrameBound = std::chrono::seconds(2);
/// Frames played from the first line.
constexpr int kPlayedFrames = 3;

bool g_logging = true;

/// The registry an editor has after start-up, without a window: one novel state in editing mode, the command
/// table, and a main parser already named like the fuzzed script (so every input takes the same path, not just
/// the second one onwards).
void BuildRegistry()
{
    zel::Services::m_NovelStates.clear();
    auto state = std::make_shared<zel::NovelState>();
    // The fixed entities every novel state has from its start.
    state->entities.pCamera = std::make_shared<zel::NCamera>();
    state->entities.pBacklog = std::make_shared<zel::NBacklog>();
    state->entities.pWaitIcon = std::make_shared<zel::NSprite>(zel::NTYPE_WAITICON, L"", -1);
    zel::Services::m_NovelStates.push_back(state);
    zel::Services::pNCommands = std::make_unique<zel::NovelCommands>();
    zel::Services::pNParser =
        std::make_unique<zel::NParser>(std::make_shared<zel::Parser>(kScriptName, std::wstring(), zel::PARSER_MAIN));
}

/// Built once; built again only when something outside the fuzzed calls took the registry down (a test process
/// that runs other tests before or after).
void EnsureRegistry()
{
    const bool present = zel::Services::pNParser != nullptr && !zel::Services::pNParser->m_parserDeque.empty() &&
                         !zel::Services::m_NovelStates.empty() && zel::Services::pNCommands != nullptr;
    if (!present)
        BuildRegistry();
}

/// Lines as the parser counts them: a last line without a newline still counts.
std::size_t CountLines(const std::wstring& text)
{
    std::size_t lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), L'\n'));
    if (!text.empty() && text.back() != L'\n')
        ++lines;
    return lines;
}
/// What no line reaches while editing: a bookmark search, and reading on with script and global variables set,
/// among them values that name variables again.
void ReadFromBookmarkWithVariables()
{
    const std::shared_ptr<zel::Parser> parser = zel::MainParser();
    zel::SystemVariables* sysVars = zel::Services::SysVars();
    if (parser == nullptr || sysVars == nullptr)
        return;
    parser->m_script_vars.clear();
    sysVars->variables = {{L"g", L"{{g}}{{_a}}"}, {L"_a", L"global"}, {L"score", L"10"}};
    parser->GotoBookmark(L"start");
    parser->DeclareScriptVars({L"_a", L"_b"});
    parser->PushScriptVarNames({L"'{{_a}}x'", L"{{g}}{{_b}}"});
    parser->ReadScript(-1);
    sysVars->variables.clear();
}

/// Puts the registry back as an editor has it: no queued work, timers or called scripts left from playing.
void StopPlaying(zel::Parser& parser, zel::SystemVariables& sysVars)
{
    std::function<void()> discarded;
    while (zel::Services::m_deferredCalls.try_dequeue(discarded))
    {
    }
    while (zel::Services::pNParser->m_parserDeque.size() > 1)
        zel::Services::pNParser->Pop();
    sysVars.timers.clear();
    sysVars.gameMode = 0;
    parser.m_ParserState = zel::PARSE_FIN;
}

/// Plays the script from its first line for a few frames, as the frame loop of UpdateRenderWindow continues it;
/// aborts (a finding) when one frame's script work does not return within its bound.
void PlayFrames()
{
    const std::shared_ptr<zel::Parser> parser = zel::MainParser();
    zel::SystemVariables* sysVars = zel::Services::SysVars();
    if (parser == nullptr || sysVars == nullptr)
        return;
    sysVars->gameMode = 1;
    parser->GotoLine(1);
    parser->m_ParserState = zel::PARSE_CONT;
    for (int frame = 0; frame < kPlayedFrames; ++frame)
    {
        const auto start = std::chrono::steady_clock::now();
        zel::Services::ReadOn();
        const auto took = std::chrono::steady_clock::now() - start;
        if (took > kFrameBound)
        {
            std::fprintf(stderr, "script fuzz: one frame's script work took %lld ms\n",
                         static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(took).count()));
            std::abort();
        }
    }
    StopPlaying(*parser, *sysVars);
}
} // namespace

void SetScriptFuzzLogging(bool enabled)
{
    g_logging = enabled;
}

void RunScriptFuzzInput(const std::uint8_t* data, std::size_t size)
{
    EnsureRegistry();
    if (zel::SystemVariables* sysVars = zel::Services::SysVars())
        sysVars->loggingEnabled = g_logging;

    std::size_t selector = 0;
    if (size >= 2)
    {
        selector = static_cast<std::size_t>(data[0]) | static_cast<std::size_t>(data[1]) << 8;
        data += 2;
        size -= 2;
    }
    size = std::min(size, kMaxScriptBytes);
    std::wstring text = zel::NHelper::s2ws(std::string(reinterpret_cast<const char*>(data), size));
    text.resize(std::wcslen(text.c_str())); // the engine receives a NUL-terminated string and sees no further
    const auto line = static_cast<std::int32_t>(1 + selector % (CountLines(text) + 1));

    setNovelScriptText(kScriptName, text.c_str(), -1, 1);
    setNovelScriptText(kScriptName, text.c_str(), line, 0);
    setNovelScriptText(kScriptName, text.c_str(), -1, 1);
    ReadFromBookmarkWithVariables();
    PlayFrames();
    // The author's check reads the same text as the main script of the novel in the current folder.
    const wchar_t* report = nullptr;
    lintNovel(L".", kScriptName, kScriptName, text.c_str(), 1, &report);
}

} // namespace scriptfuzz
