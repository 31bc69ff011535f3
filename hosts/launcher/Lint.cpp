// quillhaven lint: checks a novel without playing it and prints one "FILE:LINE: error|warning: MESSAGE" line per
// problem (or, with --json, a JSON array for editors). The check is the engine's own, reached through the library
// like everything else a host does, so it reads the scripts exactly as the engine will.

#include "EngineLibrary.h"
#include "Launcher.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace launcher
{
namespace
{
constexpr int kErrorsFound = 1;

struct Options
{
    std::string novelDir;
    std::string script;
    bool json = false;
};

bool ParseArguments(int argc, char** argv, Options& options, std::string& error)
{
    for (int i = 2; i < argc; ++i)
    {
        const std::string argument = argv[i];
        if (argument == "--json")
            options.json = true;
        else if (argument == "--script" && i + 1 < argc)
            options.script = argv[++i];
        else if (argument.rfind("--", 0) == 0 || !options.novelDir.empty())
        {
            error = "unexpected argument '" + argument + "'";
            return false;
        }
        else
            options.novelDir = argument;
    }
    if (options.novelDir.empty())
        error = "the novel folder is missing";
    return error.empty();
}
} // namespace

int RunLint(int argc, char** argv)
{
    Options options;
    std::string error;
    if (!ParseArguments(argc, argv, options, error))
        return FailUsage("lint: " + error);
    EngineLibrary engine;
    if (!engine.LoadBeside(argv[0], error))
        return Fail(error);
    const wchar_t* report = nullptr;
    const std::wstring script = Widen(options.script);
    const int errors = engine.lintNovel(Widen(options.novelDir).c_str(), script.c_str(), nullptr, nullptr,
                                        options.json ? 1 : 0, &report);
    if (errors < 0)
        return Fail("lint: novel folder '" + options.novelDir + "': " + Narrow(report != nullptr ? report : L""));
    const std::string text = Narrow(report != nullptr ? report : L"");
    std::fwrite(text.data(), 1, text.size(), stdout);
    return errors > 0 ? kErrorsFound : 0;
}
} // namespace launcher
