// Reading a script line by line: line numbers, limits, jumps back, and edited text.

#include "CoreFixture.h"

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
    sysVars().keyTriggers[37] = L"jump start";
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
