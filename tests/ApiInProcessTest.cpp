// The editor's calls that change the script position and the game mode, checked against the registry they change.
// The exports are called in-process here so the test can look inside; host-level tests drive the loaded library.

#include "CoreFixture.h"
#include "quillhaven.h"

using namespace testsupport;
using zel::Services;

namespace
{
const wchar_t* kScript = L"l1\nl2\nl3\nl4\nl5\nl6\nl7\nl8\nl9\nl10\n";

/// Starts an editor session on kScript without a window.
void StartEditor()
{
    InitNovelSettings(nullptr, nullptr, L"", L"main.txt", kScript, L"", 0);
}

zel::EntityRegistry& Registry()
{
    return *Services::Entities();
}

void AddAtMainLine(const std::wstring& name)
{
    const int line = zel::MainParser()->readlineno;
    Registry().InsNovelEntity(std::make_shared<LineEntity>(name, line), 0, name);
}

/// Child body: play-testing changes entities, variables and position; returning to editing restores them all.
int PlayTestRoundTrip()
{
    StartEditor();
    setNovelScriptText(L"main.txt", kScript, 5, 0);
    if (zel::MainParser()->readlineno != 5)
        return 1;
    AddAtMainLine(L"editor-made");
    Services::SysVars()->variables[L"mood"] = L"calm";
    const auto stateBefore = zel::MainParser()->m_ParserState;

    setGameMode(1);
    if (Services::m_NovelStates.size() != 2 || Services::SysVars()->gameMode != 1)
        return 2;
    zel::MainParser()->ReadScript(-1);
    AddAtMainLine(L"play-made");
    Registry().m_nameReferences.erase(L"editor-made");
    Registry().entityLayers.clear();
    Services::SysVars()->variables[L"mood"] = L"angry";

    setGameMode(0);
    if (Services::m_NovelStates.size() != 1 || Services::SysVars()->gameMode != 0)
        return 3;
    if (Registry().Find(L"editor-made") == nullptr || Registry().Find(L"play-made") != nullptr ||
        Registry().CountInLayers() != 1)
        return 4;
    if (Services::SysVars()->variables[L"mood"] != L"calm")
        return 5;
    if (zel::MainParser()->readlineno != 5 || zel::MainParser()->m_ParserState != stateBefore)
        return 6;
    return Services::SysVars()->editorLine == -1 ? 0 : 7;
}
} // namespace

TEST(ApiInProcessTest, ReturningFromPlayTestRestoresRegistryVariablesAndPosition)
{
    TempDir dir;
    WriteFile(dir / "Config.xml", ConfigXml());
    EXPECT_EQ(RunInChild(dir.path(), PlayTestRoundTrip), 0);
}

TEST(ApiInProcessTest, ScriptTextUpdatesChooseBetweenAmendAndReset)
{
    TempDir dir;
    WriteFile(dir / "Config.xml", ConfigXml());
    EXPECT_EQ(RunInChild(dir.path(),
                         [] {
                             StartEditor();
                             setNovelScriptText(L"main.txt", kScript, 6, 0);
                             setNovelScriptText(L"main.txt", kScript, 6, 0); // nothing changed
                             setNovelScriptText(L"main.txt", L"a\nb\nc\nd\ne\nnew6\n", 6, 1);
                             if (zel::MainParser()->curlineTokens.front() != L"new6")
                                 return 1;
                             setNovelScriptText(L"main.txt", kScript, 3, 1);
                             setNovelScriptText(L"main.txt", kScript, 2, 0); // moves back without new text
                             return zel::MainParser()->readlineno == 2 ? 0 : 2;
                         }),
              0);
    std::string missing;
    EXPECT_TRUE(ContainsInOrder(
        ReadFile(dir / "debug.txt"),
        {"[DLL::setNovelScriptText:same-script] filename:main.txt, lineno:6", "read until line:6",
         "[setNovelScriptText:invalid] filename: main.txt (same), lineno: 6 (same), resetScript: false [return]",
         "[DLL::setNovelScriptText:reset-script] filename:main.txt, lineno:6, CurParser.readlineno:6",
         "[DLL::setNovelScriptText:reset-script] AMEND CURLINE ONWARDS",
         "[DLL::setNovelScriptText:reset-script] COMPLETE RESET",
         "[DLL::setNovelScriptText:same-script] destination line:2 < parser curline:3. amend entity list",
         "(Services::RemoveEntitiesFromLine) complete. line:2"},
        &missing))
        << missing;
}

TEST(ApiInProcessTest, HostFlagsLandInTheSystemVariables)
{
    TempDir dir;
    WriteFile(dir / "Config.xml", ConfigXml());
    EXPECT_EQ(RunInChild(dir.path(),
                         [] {
                             setRenderWindowProportion(0.5f); // no state yet: ignored, no crash
                             StartEditor();
                             setRenderWindowProportion(0.75f);
                             setTweenAnimationDisplay(0);
                             setPlayMusicDuringEdit(0);
                             setBoundingBoxDisplay(1);
                             const zel::SystemVariables& sysVars = *Services::SysVars();
                             const bool stored = sysVars.renderWindowProportion == 0.75f &&
                                                 !sysVars.tweenAnimationDisplay && !sysVars.playMusicDuringEdit &&
                                                 sysVars.boundingBoxDisplay && sysVars.gameMode == 0 &&
                                                 !sysVars.applicationFlag;
                             if (!stored)
                                 return 1;
                             StartEditor(); // a second start replaces the state instead of stacking on it
                             return Services::m_NovelStates.size() == 1 && !Services::SysVars()->boundingBoxDisplay ? 0
                                                                                                                    : 2;
                         }),
              0);
}

namespace
{
/// Binds a bg handler that creates an entity named after its argument at the main line and counts its calls.
int* BindEntityMakingBg()
{
    static int calls = 0;
    calls = 0;
    Services::pNCommands->Command(L"bg")->handler = [](zel::CommandCall& call) {
        ++calls;
        AddAtMainLine(call.tokens.at(1));
        return 0;
    };
    return &calls;
}

std::wstring Names()
{
    std::wstring names;
    for (const auto& layer : Registry().entityLayers)
        for (const auto& entity : layer.second)
            names += entity->name;
    return names;
}

/// Child body: amend from the cursor's line, reset completely from another line, do nothing when nothing moved.
int EditsKeepOrRebuildTheLinesBefore()
{
    StartEditor();
    int* calls = BindEntityMakingBg();
    const wchar_t* first = L"bg a\nbg b\nbg c\nbg d\nbg e\n";
    const wchar_t* edited = L"bg a\nbg b\nbg c\nbg d\nbg E\n";
    setNovelScriptText(L"main.txt", first, 5, 1);
    if (Names() != L"abcde" || *calls != 5)
        return 1;
    setNovelScriptText(L"main.txt", edited, 5, 1); // same line: only line 5 is read again
    if (Names() != L"abcdE" || *calls != 6)
        return 2;
    setNovelScriptText(L"main.txt", edited, 3, 1); // another line: everything is read again from line 1
    if (Names() != L"abc" || *calls != 9)
        return 3;
    setNovelScriptText(L"main.txt", edited, 3, 0); // nothing moved
    return *calls == 9 && zel::MainParser()->readlineno == 3 ? 0 : 4;
}

/// Child body: a play-test that ends in another script returns the editor to its own script and line.
int PlayTestInAnotherScriptReturnsHome()
{
    InitNovelSettings(nullptr, nullptr, L"", L"main.txt", L"one\ntwo\nthree\nfour\n", L"", 0);
    setNovelScriptText(L"main.txt", L"one\ntwo\nthree\nfour\n", 3, 1);
    setGameMode(1);
    zel::MainParser()->GoToScript(L"chapter2.txt", L"");
    if (zel::MainParser()->scriptName != L"chapter2.txt")
        return 1;
    zel::MainParser()->ReadScript(-1);
    setGameMode(0);
    const auto parser = zel::MainParser();
    if (parser->scriptName != L"main.txt" || parser->readlineno != 3)
        return 2;
    parser->ReadScript(4);
    return parser->curlineTokens == std::vector<std::wstring>{L"four"} ? 0 : 3;
}
} // namespace

TEST(ApiInProcessTest, EditsKeepTheLinesBeforeTheCursorOrRebuildFromTheStart)
{
    TempDir dir;
    WriteFile(dir / "Config.xml", ConfigXml());
    EXPECT_EQ(RunInChild(dir.path(), EditsKeepOrRebuildTheLinesBefore), 0);
}

TEST(ApiInProcessTest, PlayTestThatEndsInAnotherScriptReturnsToTheEditorsScript)
{
    TempDir dir;
    WriteFile(dir / "Config.xml", ConfigXml());
    WriteFile(dir / "Scripts/main.txt", "one\ntwo\nthree\nfour\n");
    WriteFile(dir / "Scripts/chapter2.txt", "elsewhere\n");
    EXPECT_EQ(RunInChild(dir.path(), PlayTestInAnotherScriptReturnsHome), 0);
}
