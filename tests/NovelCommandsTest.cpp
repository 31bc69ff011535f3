// The command table and the vocabulary: which command a line selects, by keyword, token count and chain order, and
// what Commands.xml changes about it.

#include "script/NovelCommands.h"
#include "TestSupport.h"
#include "core/Services.h"
#include "resources/NHelper.h"
#include "script/Parser.h"

#include <gtest/gtest.h>

#include <random>

using namespace testsupport;
using zel::NovelCommands;

namespace
{
/// Internal name of the command that a line's tokens select, or "" for none.
std::wstring Selected(const NovelCommands& commands, const std::wstring& line)
{
    const zel::NovelCommand* command = commands.Find(zel::NHelper::Tokenize(line));
    return command != nullptr ? command->name : L"";
}

struct Selection
{
    const wchar_t* line;
    const wchar_t* expected;
};

class CommandSelectionTest : public ::testing::TestWithParam<Selection>
{
};
} // namespace

TEST_P(CommandSelectionTest, SelectsByKeywordAndTokenCount)
{
    NovelCommands commands;
    EXPECT_EQ(Selected(commands, GetParam().line), GetParam().expected) << GetParam().line;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, CommandSelectionTest,
    ::testing::Values(Selection{L"bg room.png", L"bg"}, Selection{L"bg", L""}, Selection{L"bg a b c", L"bg"},
                      Selection{L"bg a b c d", L""}, Selection{L"cg a b c d", L""}, Selection{L"cg a b c d e", L"cg"},
                      Selection{L"cg a b c d e f g", L"cg"}, Selection{L"cg a b c d e f g h", L""},
                      Selection{L"clear", L"clear"}, Selection{L"clear all", L""}, Selection{L"wait", L"wait"},
                      Selection{L"wait 500 extra words", L"wait"}, Selection{L"jump", L""},
                      Selection{L"endGame", L"endGame"}, Selection{L"endGame now please", L"endGame"},
                      Selection{L"\"Hello there", L"\""}, Selection{L"-\"and more", L"-\""},
                      Selection{L"~\"back", L"~"}, Selection{L"bookmark start", L""},
                      Selection{L"textbox a b c d e f g h", L"textbox"}, Selection{L"textbox a b c d e f g", L""},
                      Selection{L"text a b c d e f g", L"text"}, Selection{L"if a b c d e f g h i", L""},
                      Selection{L"BG room.png", L""}, Selection{L"rgb a b c d", L"rgb"}));

TEST(NovelCommandsTest, TableHoldsSixtyCommandsAndChainsAllButTheBookmark)
{
    NovelCommands commands;
    EXPECT_EQ(commands.commandsByName.size(), 60u);
    std::vector<int> orders;
    for (const auto& entry : commands.commandsByName)
        orders.push_back(entry.second->order);
    std::sort(orders.begin(), orders.end());
    EXPECT_EQ(orders.front(), 0) << "the bookmark is never dispatched";
    for (int i = 1; i < 60; ++i)
        EXPECT_EQ(orders[i], i) << "chain positions run from 1 to 59 without gaps";
    EXPECT_EQ(commands.Command(L"sysButton")->minTokens, commands.Command(L"button")->minTokens);
    EXPECT_EQ(commands.Command(L"clear")->maxTokens, 1) << "a maximum given as 0 equals the minimum";
}

TEST(NovelCommandsTest, WithoutVocabularyNoWordIsKnown)
{
    NovelCommands commands; // the test folder has no Commands.xml
    EXPECT_EQ(commands.Keyword(L"wait"), L"wait");
    EXPECT_EQ(commands.Word(L"CmdOptions_repeat"), L"");
    EXPECT_EQ(commands.Word(L"Types_bg"), L"");
}

TEST(NovelCommandsTest, VocabularyFileRenamesCommandsAndFillsTheWords)
{
    TempDir dir;
    WriteFile(dir / "Commands.xml", R"xml(<?xml version="1.0" encoding="utf-8"?>
<ScriptStrings>
  <DisplayStrings>
    <s name="Msg_endGame" jap="Quit the game?"/>
    <s name="Msg_endGame" jap="second text loses"/>
    <s name="" jap="nameless is skipped"/>
    <s name="Msg_userDefined"/>
  </DisplayStrings>
  <Commands>
    <c cmd="wait" name="pause (milliseconds or nothing)"/>
    <c cmd="bg" name="backdrop"/>
    <c cmd="bg" name="scene"/>
    <c cmd="noSuchCommand" name="ghost"/>
  </Commands>
  <Keywords>
    <Types><t name="bg" jap="Hintergrund"/></Types>
    <CmdOptions><o name="repeat" jap="loop"/><o name="repeat" jap="again"/></CmdOptions>
  </Keywords>
</ScriptStrings>)xml");
    EXPECT_EQ(
        RunInChild(
            dir.path(),
            [] {
                NovelCommands commands;
                if (Selected(commands, L"pause 500") != L"wait" || Selected(commands, L"wait 500") != L"")
                    return 1;
                if (Selected(commands, L"scene room.png") != L"bg" || Selected(commands, L"backdrop room.png") != L"")
                    return 2; // the last entry for a command wins
                if (commands.Word(L"Msg_endGame") != L"Quit the game?")
                    return 3; // the first entry for a key wins
                if (commands.Word(L"CmdOptions_repeat") != L"loop" || commands.Word(L"Types_bg") != L"Hintergrund")
                    return 4;
                if (commands.commandStrings.count(L"Msg_userDefined") != 1 || commands.commandStrings.count(L"") != 0)
                    return 5;
                return commands.Command(L"ghost") == nullptr ? 0 : 6;
            }),
        0);
}

TEST(NovelCommandsTest, MalformedVocabularyLeavesTheBuiltInNames)
{
    TempDir dir;
    WriteFile(dir / "Commands.xml", "<ScriptStrings><Commands><c cmd=\"wait\" name=\"pause\"");
    EXPECT_EQ(RunInChild(dir.path(), [] { return Selected(NovelCommands(), L"wait") == L"wait" ? 0 : 1; }), 0);
}

TEST(NovelCommandsTest, TwoCommandsWithOneKeywordGoToTheEarlierInTheChain)
{
    NovelCommands commands;
    commands.SetKeyword(L"textSize", L"size");
    commands.SetKeyword(L"textFont", L"size");
    EXPECT_EQ(Selected(commands, L"size 12"), L"textFont") << "textFont stands before textSize in the chain";
    commands.SetKeyword(L"bg", L"show");
    commands.SetKeyword(L"cg", L"show");
    EXPECT_EQ(Selected(commands, L"show a"), L"bg");
    EXPECT_EQ(Selected(commands, L"show a b c d e"), L"cg") << "bg takes at most 4 tokens, so cg is asked next";
}

TEST(NovelCommandsTest, KeywordLookupAgreesWithAskingEveryValidatorInTurn)
{
    // Vocabularies that make keywords collide with each other and with the prefix commands.
    NovelCommands commands;
    commands.SetKeyword(L"clear", L"");
    commands.SetKeyword(L"move", L"\"");
    commands.SetKeyword(L"remove", L"-\"x");
    commands.SetKeyword(L"alpha", L"fadein");
    commands.SetKeyword(L"~", L"-");
    const std::vector<std::wstring> words = {L"",   L"\"",   L"-\"",    L"-\"x", L"~",    L"-",     L"bg",
                                             L"cg", L"wait", L"fadein", L"move", L"\"hi", L"-\"xy", L"x"};
    zel::Services::pNParser =
        std::make_unique<zel::NParser>(std::make_shared<zel::Parser>(L"probe.txt", L"", zel::PARSER_MAIN));
    std::mt19937 random(7);
    for (int round = 0; round < 4000; ++round)
    {
        std::vector<std::wstring> tokens(random() % 6);
        for (auto& token : tokens)
            token = words[random() % words.size()];
        zel::CurParser()->curlineTokens = tokens;
        ASSERT_EQ(commands.Find(tokens), commands.FindByValidators()) << "round " << round;
    }
    zel::Services::pNParser.reset();
}
