// Reading a script line by line: line numbers, limits, jumps back, and edited text.

#include "CoreFixture.h"

#include <physfs.h>

using namespace testsupport;

class ParserTest : public CoreFixture
{
};

TEST_F(ParserTest, EditingReadsUpToTheRequestedLine)
{
    mainParser().ReadScript(5);
    EXPECT_EQ(mainParser().readlineno, 5);
    EXPECT_EQ(mainParser().curlineTokens, (std::vector<std::wstring>{L"line5", L"word"}));
    EXPECT_EQ(mainParser().m_ParserState, zel::PARSE_CONT);
    mainParser().ReadScript(-1);
    EXPECT_EQ(mainParser().readlineno, 20) << "-1 reads on to the end";
    EXPECT_NE(LogText().find("read until line:5 (mainscriptline:5)"), std::string::npos);
}

TEST_F(ParserTest, GotoLineMakesThatLineTheNextOneRead)
{
    mainParser().ReadScript(8);
    mainParser().GotoLine(1);
    EXPECT_EQ(mainParser().readlineno, 0);
    mainParser().GotoLine(4);
    EXPECT_EQ(mainParser().readlineno, 3);
    mainParser().ReadScript(4);
    EXPECT_EQ(mainParser().curlineTokens.front(), L"line4");
}

TEST_F(ParserTest, LastLineWithoutNewlineIsRead)
{
    mainParser().setScriptText(L"main.txt", L"first\nsecond\nthird", true);
    mainParser().ReadScript(-1);
    EXPECT_EQ(mainParser().readlineno, 3);
    EXPECT_EQ(mainParser().curlineTokens.front(), L"third");
}

TEST_F(ParserTest, ANewScriptNameResetsTheEditorState)
{
    SetMainLine(2);
    AddEntity(L"picture", 2);
    sysVars().keyTriggers[37] = zel::TriggerRecord{3, L"jump start"};
    mainParser().setScriptText(L"other.txt", L"a\nb\n", false);
    EXPECT_EQ(mainParser().scriptName, L"other.txt");
    EXPECT_EQ(entities().CountInLayers(), 0u);
    EXPECT_TRUE(sysVars().keyTriggers.empty());
    EXPECT_TRUE(ContainsInOrder(LogText(), {"[Parser::setScriptText] script rest. EDITOR MODE: RESETTING SYSVARS",
                                            "[Parser::setScriptText] script reset. filename: \"other.txt\"",
                                            "[Parser::setScriptText] script update. filename: \"other.txt\""}));
}

TEST_F(ParserTest, PlayingStopsAtTheEndAndPushedScriptsBlockTheOnesBelow)
{
    SetPlaying(true);
    mainParser().ReadScript(-1);
    EXPECT_EQ(mainParser().readlineno, 20);
    EXPECT_TRUE(mainParser().ReadScriptBreak()) << "at the end of the text reading stops";

    auto sub = std::make_shared<zel::Parser>(L"sub.txt", L"x\ny\n", zel::PARSER_SCRIPT);
    zel::Services::NParser()->Push(sub);
    mainParser().GotoLine(1);
    mainParser().m_ParserState = zel::PARSE_CONT;
    EXPECT_TRUE(mainParser().ReadScriptBreak()) << "a parser with another above it never reads";
}

TEST_F(ParserTest, BookmarksAreFoundFromTheTopAndDeclareScriptVariables)
{
    mainParser().setScriptText(L"main.txt",
                               L"bg a.png\n"
                               L"bookmark twice _first\n"
                               L"\"In text mode\n"
                               L"bookmark twice _second\n"
                               L"~bookmark other _x _y\n"
                               L"bg b.png",
                               true);
    EXPECT_EQ(mainParser().GotoBookmark(L"twice"), 2) << "the first of two equal bookmarks wins";
    EXPECT_FALSE(mainParser().TextMode());
    mainParser().ReadScript(3);
    EXPECT_EQ(mainParser().readlineno, 3);
    EXPECT_EQ(mainParser().curlineTokens.front(), L"\"In text mode") << "reading goes on after the bookmark line";

    EXPECT_EQ(mainParser().GotoBookmark(L"other"), 5) << "a tilde before the keyword is dropped in the search";
    EXPECT_FALSE(mainParser().TextMode()) << "the tilde line switched text mode off again";
    std::vector<std::wstring> names;
    for (const auto& var : mainParser().m_script_vars)
        names.push_back(var.first);
    EXPECT_EQ(names, (std::vector<std::wstring>{L"_first", L"_x", L"_y"})) << "declarations accumulate";
    const auto& buttons = sysVars().defaultButtonImages;
    ASSERT_FALSE(buttons.empty());
    EXPECT_EQ(buttons.entries().rbegin()->second[0], L"none");
}

TEST_F(ParserTest, AMissingBookmarkLeavesTheReadingPositionAlone)
{
    mainParser().setScriptText(L"main.txt", NumberedScript(8), true);
    mainParser().ReadScript(4);
    EXPECT_EQ(mainParser().GotoBookmark(L"nowhere"), -1);
    EXPECT_EQ(mainParser().readlineno, 4);
    mainParser().ReadScript(5);
    EXPECT_EQ(mainParser().curlineTokens.front(), L"line5");
    EXPECT_NE(LogText().find("[GotoBookmark] ERROR. BOOKMARK:nowhere DOES NOT EXIST."), std::string::npos);
}

TEST_F(ParserTest, ScriptValuesLoseTheirApostrophesAndTooFewAssignNothing)
{
    mainParser().DeclareScriptVars({L"_a", L"_b"});
    mainParser().PushScriptVarNames({L"'x'"});
    EXPECT_EQ(mainParser().m_script_vars[0].second, L"") << "too few values assign nothing";
    mainParser().PushScriptVarNames({L"'two words'", L"'", L"extra"});
    EXPECT_EQ(mainParser().m_script_vars[0].second, L"two words");
    EXPECT_EQ(mainParser().m_script_vars[1].second, L"'") << "a single apostrophe stays as it is";
}

namespace
{
/// Child body: a parser switches to scripts of the mounted Scripts folder.
int SwitchScripts()
{
    if (PHYSFS_init(nullptr) == 0 || PHYSFS_mount(".", nullptr, 1) == 0)
        return 1;
    zel::Services::m_NovelStates.push_back(std::make_shared<zel::NovelState>());
    zel::Services::SysVars()->gameMode = 1;
    zel::Services::pNCommands = std::make_unique<zel::NovelCommands>();
    auto parser = std::make_shared<zel::Parser>(L"main.txt", L"a\nb\nc\n", zel::PARSER_MAIN);
    zel::Services::pNParser = std::make_unique<zel::NParser>(parser);
    parser->ReadScript(2);
    parser->GoToScript(L"missing.txt", L"");
    if (parser->scriptName != L"main.txt" || parser->readlineno != 2)
        return 2;
    parser->GoToScript(L"chapter2.txt", L"middle");
    if (parser->scriptName != L"chapter2.txt" || parser->readlineno != 2)
        return 3;
    parser->ReadScript(-1);
    if (parser->curlineTokens.front() != L"after")
        return 4;
    parser->GoToScript(L"chapter2.txt", L"");
    return parser->readlineno == 0 ? 0 : 5;
}
} // namespace

TEST(ParserScriptsTest, GoingToAnotherScriptNeedsAReadableFile)
{
    TempDir dir;
    WriteFile(dir / "Scripts/chapter2.txt", "first\nbookmark middle\nafter\n");
    EXPECT_EQ(RunInChild(dir.path(), SwitchScripts), 0);
    EXPECT_TRUE(ContainsInOrder(ReadFile(dir / "debug.txt"),
                                {"[Parser::GoToScript] FAILED! dest-script:missing.txt, dest-bookmark:",
                                 "[GotoBookmark] jumping from line:0 to found bookmark:middle (line:2)(+refline:2)",
                                 "[GoToScript] script jump complete. current_script:chapter2.txt, bookmark:middle"}));
}
