// The library shows a host exactly its C interface: every export is there, nothing of the engine's inside is.

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>

namespace
{
/// Names of the symbols the library defines in its dynamic symbol table.
std::set<std::string> DefinedDynamicSymbols()
{
    std::set<std::string> names;
    FILE* pipe = popen("nm -D --defined-only '" QUILLHAVEN_LIBRARY_PATH "'", "r");
    if (pipe == nullptr)
        return names;
    char line[1024];
    while (std::fgets(line, sizeof line, pipe) != nullptr)
    {
        std::string text(line);
        const auto lastSpace = text.find_last_of(' ');
        std::string name = text.substr(lastSpace + 1);
        while (!name.empty() && (name.back() == '\n' || name.back() == '\r'))
            name.pop_back();
        if (!name.empty())
            names.insert(name);
    }
    pclose(pipe);
    return names;
}
} // namespace

TEST(Exports, AreExactlyTheHostInterface)
{
    const std::set<std::string> expected = {"AddCG",
                                            "CreateRenderWindow",
                                            "DestroyRenderWindow",
                                            "InitNovelSettings",
                                            "OutputDebugStringN",
                                            "SetupBugTrapExceptionHandler",
                                            "UpdateRenderWindow",
                                            "fillDLLVersion",
                                            "getDLLInformation",
                                            "getDLLVersion",
                                            "getEngineColour",
                                            "getEngineFullscreen",
                                            "getEngineHeight",
                                            "getEngineWidth",
                                            "getGameOver",
                                            "lintNovel",
                                            "setBoundingBoxDisplay",
                                            "setEngineFullscreen",
                                            "setEngineResolution",
                                            "setGameMode",
                                            "setGameOver",
                                            "setNovelScriptText",
                                            "setPlayMusicDuringEdit",
                                            "setRenderWindowProportion",
                                            "setTweenAnimationDisplay"};
    EXPECT_EQ(DefinedDynamicSymbols(), expected);
}
