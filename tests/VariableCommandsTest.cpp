// The variable commands as a script uses them: var assigns and computes, if branches to a bookmark or another
// script, and the persistent variables outlive the engine in SaveData/global0.xml.

#include "WindowFixture.h"
#include "resources/GlobalVariables.h"
#include "resources/NHelper.h"
#include "script/NParser.h"

#include <filesystem>
#include <map>

using namespace testsupport;
using zel::Services;

namespace
{
class VariableCommandsTest : public WindowFixture
{
protected:
    void SetUp() override
    {
        WindowFixture::SetUp();
        std::filesystem::create_directories(*m_novel / "Scripts");
        m_logMark = LogText().size();
    }

    std::string Log() const
    {
        const std::string text = LogText();
        return m_logMark < text.size() ? text.substr(m_logMark) : std::string();
    }
    bool Logged(const std::string& text) const { return Log().find(text) != std::string::npos; }
    /// Lines that are no command log their first word: the markers that show which lines were read.
    bool Read(const std::string& marker) const { return Logged("INVALID COMMAND:'" + marker + "'"); }
    /// The value of a global variable, or "<none>".
    std::wstring Value(const std::wstring& name)
    {
        const auto found = sysVars().variables.find(name);
        return found == sysVars().variables.end() ? L"<none>" : found->second;
    }

    std::size_t m_logMark = 0;
};
} // namespace

TEST_F(VariableCommandsTest, VarAssignsLiteralsTextsAndCopiesAndComputesWithFourOperators)
{
    Play(L"var x = 5\nvar signed = +5\nvar padded = 007\n");
    EXPECT_EQ(Value(L"x"), L"5");
    EXPECT_EQ(Value(L"signed"), L"+5") << "a literal is stored as written";
    EXPECT_EQ(Value(L"padded"), L"007");

    Play(L"var x += 2\nvar copy = signed\n");
    EXPECT_EQ(Value(L"x"), L"7");
    EXPECT_EQ(Value(L"copy"), L"5") << "a copied variable is stored as its number in decimal";

    Play(L"var n = -7\nvar n /= 2\nvar m = 6\nvar m *= n\nvar m -= x\nvar m += -1\n");
    EXPECT_EQ(Value(L"n"), L"-3") << "division truncates towards zero";
    EXPECT_EQ(Value(L"m"), L"-26") << "6 * -3 - 7 - 1";

    Play(L"var greeting = 'hello   there world'\nvar one = 'word'\nvar open = 'no closing mark\nvar empty = ''\n");
    EXPECT_EQ(Value(L"greeting"), L"hello there world") << "the words joined by one blank, without apostrophes";
    EXPECT_EQ(Value(L"one"), L"word");
    EXPECT_EQ(Value(L"open"), L"no closing mark") << "a missing closing apostrophe costs no letter";
    EXPECT_EQ(Value(L"empty"), L"");

    Play(L"var greeting = {{x}}\n");
    EXPECT_EQ(Value(L"greeting"), L"7") << "a substituted value is a literal like any other";
}

TEST_F(VariableCommandsTest, VarOnAMissingVariableOrOperatorChangesNothing)
{
    Play(L"var count += 2\nvar x = 1\nvar x += nothing\nvar y = nothing\nvar x %= 2\n");
    EXPECT_TRUE(Logged("ERROR. [getVariableValue] value:'count' DOES NOT EXIST script:"));
    EXPECT_EQ(Value(L"count"), L"<none>") << "arithmetic never creates a variable";
    EXPECT_TRUE(Logged("ERROR. [getVariableValue] value:'nothing' DOES NOT EXIST script:"));
    EXPECT_EQ(Value(L"y"), L"<none>");
    EXPECT_TRUE(Logged("ERROR. [CmdHandlers::ExecuteVar] calculation:'%=' DOES NOT EXIST script:"));
    EXPECT_EQ(Value(L"x"), L"1");
}

TEST_F(VariableCommandsTest, ArithmeticThatWouldCorruptAValueIsRefusedAndLogged)
{
    Play(L"var x = 10\nvar zero = 0\nvar x /= 0\nvar x /= zero\n");
    EXPECT_TRUE(Logged("ERROR. (CmdHandlers::ExecuteVar) x /= 0: division by zero. x unchanged"));
    EXPECT_TRUE(Logged("ERROR. (CmdHandlers::ExecuteVar) x /= zero: division by zero. x unchanged"));
    EXPECT_EQ(Value(L"x"), L"10");

    Play(L"var name = 'Ann'\nvar name += 1\nvar x += name\nvar copy = name\nvar mixed = '12abc'\nvar mixed += 1\n");
    EXPECT_TRUE(Logged("ERROR. (var line) variable name:'Ann' is not a whole number that fits an int"));
    EXPECT_EQ(Value(L"name"), L"Ann");
    EXPECT_EQ(Value(L"x"), L"10");
    EXPECT_EQ(Value(L"copy"), L"<none>") << "a text is not copied as the number 0";
    EXPECT_EQ(Value(L"mixed"), L"12abc") << "a number followed by letters is no number";

    Play(L"var big = 2147483647\nvar big += 1\nvar low = -2147483648\nvar low /= -1\nvar low *= 2\n"
         L"var x += 99999999999\nvar huge = 99999999999\nvar huge -= 1\n");
    EXPECT_TRUE(Logged("ERROR. (CmdHandlers::ExecuteVar) big += 1: the result 2147483648 does not fit an int"));
    EXPECT_EQ(Value(L"big"), L"2147483647");
    EXPECT_EQ(Value(L"low"), L"-2147483648");
    EXPECT_TRUE(Logged("ERROR. (var line) value:'99999999999' is not a whole number that fits an int"));
    EXPECT_EQ(Value(L"x"), L"10");
    EXPECT_EQ(Value(L"huge"), L"99999999999") << "assigned as written, but never computed with";
}

TEST_F(VariableCommandsTest, IfGoesToABookmarkWhenTheComparisonHoldsAndReadsOnWhenNot)
{
    Play(L"var x = 3\nif x == 3 here yes\nskipped\nbookmark yes\nafter_yes\n");
    EXPECT_FALSE(Read("skipped"));
    EXPECT_TRUE(Read("after_yes"));

    Play(L"var x = 3\nif x > 3 here yes\nnext_line\nbookmark yes\n");
    EXPECT_TRUE(Logged("[CmdHandlers::ExecuteVarIf] condition false: continue cur script."));
    EXPECT_TRUE(Read("next_line"));

    const std::pair<const wchar_t*, bool> conditions[] = {
        {L"x == 3", true}, {L"x != 3", false}, {L"x >= 3", true},  {L"x > 2", true}, {L"x <= 2", false},
        {L"x < 4", true},  {L"x < -4", false}, {L"x == +3", true}, {L"x < y", true}, {L"y > x", true},
    };
    for (const auto& [condition, holds] : conditions)
    {
        m_logMark = LogText().size();
        Play(std::wstring(L"var x = 3\nvar y = 10\nif ") + condition + L" here yes\nnot_taken\nbookmark yes\n");
        EXPECT_EQ(!Read("not_taken"), holds) << zel::NHelper::ws2s(condition);
    }

    Play(L"if x ~ 3 here yes\nafter_bad_condition\nbookmark yes\n");
    EXPECT_TRUE(Logged("ERROR. [CmdHandlers::ExecuteVarIf] condition:'~' DOES NOT EXIST script:"));
    EXPECT_TRUE(Read("after_bad_condition"));

    Play(L"if x == 3 here nowhere\nafter_missing_bookmark\n");
    EXPECT_TRUE(Read("after_missing_bookmark")) << "a missing bookmark leaves reading where it was";
}

TEST_F(VariableCommandsTest, IfOnAMissingVariableHoldsOnlyForNotEqual)
{
    Play(L"if ghost != 1 here yes\nnot_taken\nbookmark yes\n");
    EXPECT_TRUE(Logged("ERROR. [getVariableValue] value:'ghost' DOES NOT EXIST script:"));
    EXPECT_FALSE(Read("not_taken"));

    m_logMark = LogText().size();
    Play(L"if ghost == 1 here yes\ntaken_on\nbookmark yes\n");
    EXPECT_TRUE(Read("taken_on"));

    m_logMark = LogText().size();
    Play(L"var x = 1\nif x == ghost here yes\nalso_on\nbookmark yes\n");
    EXPECT_TRUE(Read("also_on")) << "a missing right-hand variable counts as well";

    for (const wchar_t* condition : {L"ghost == 1", L"ghost ~ 1"})
    {
        m_logMark = LogText().size();
        Play(L"if " + std::wstring(condition) + L" here yes else here no\nbookmark yes\nat_yes\nbookmark no\nat_no\n");
        EXPECT_FALSE(Read("at_yes")) << "the else part, an unknown operator's too: " << zel::NHelper::ws2s(condition);
        EXPECT_TRUE(Read("at_no"));
    }
}

TEST_F(VariableCommandsTest, IfWithAnElsePartTakesItAndAnIncompleteOneReadsOn)
{
    Play(L"var x = 1\nif x == 2 here yes else here no\nbookmark yes\nat_yes\nbookmark no\nat_no\n");
    EXPECT_FALSE(Read("at_yes"));
    EXPECT_TRUE(Read("at_no"));

    m_logMark = LogText().size();
    Play(L"var x = 2\nif x == 2 here yes otherwise here no\nbookmark no\nnot_at_no\nbookmark yes\nat_yes\n");
    EXPECT_FALSE(Read("not_at_no"));
    EXPECT_TRUE(Read("at_yes"));

    for (const wchar_t* line : {L"if x == 1 here yes else", L"if x == 1 here yes else here"})
    {
        m_logMark = LogText().size();
        Play(std::wstring(line) + L"\nread_on\nbookmark yes\nbookmark here\n");
        EXPECT_TRUE(Logged("[CmdHandlers::ExecuteVarIf] condition false and the else part lacks its target"));
        EXPECT_TRUE(Read("read_on")) << zel::NHelper::ws2s(line);
    }
}

TEST_F(VariableCommandsTest, IfOnAValueThatIsNoNumberDecidesNothing)
{
    Play(L"var name = 'Ann'\nif name != 1 here yes else here no\nread_on\nbookmark yes\nbookmark no\n");
    EXPECT_TRUE(Logged("ERROR. (if line) variable name:'Ann' is not a whole number that fits an int"));
    EXPECT_TRUE(Read("read_on")) << "neither branch is taken";

    m_logMark = LogText().size();
    Play(L"var x = 1\nif x < 99999999999 here yes else here no\nread_on_too\nbookmark yes\nbookmark no\n");
    EXPECT_TRUE(Read("read_on_too"));
}

TEST_F(VariableCommandsTest, IfGoesToAnotherScriptOnlyInsideTheScriptsFolder)
{
    WriteFile(*m_novel / "Scripts/other.txt", "not_before_bookmark\nbookmark start\nin_other\n");
    Play(L"var x = 1\nif x == 1 other.txt start\nnot_after_if\n");
    EXPECT_EQ(zel::MainParser()->scriptName, L"other.txt");
    EXPECT_TRUE(Logged("INVALID COMMAND:'in_other' script-name:other.txt"));
    EXPECT_FALSE(Read("not_before_bookmark"));
    EXPECT_FALSE(Read("not_after_if"));

    Play(L"var x = 1\nif x == 2 here yes no other.txt start\n");
    EXPECT_EQ(zel::MainParser()->scriptName, L"other.txt") << "the else part may name a script too";

    m_logMark = LogText().size();
    Play(L"if x == 1 ../Scripts/other.txt start\nafter_refused\n");
    EXPECT_TRUE(Logged("ERROR. (CmdHandlers::ExecuteVarIf) script name leaves the scripts folder"));
    EXPECT_TRUE(Read("after_refused"));

    Play(L"if x == 1 missing.txt start\nafter_unreadable\n");
    EXPECT_TRUE(Logged("ERROR. (CmdHandlers::ExecuteVarIf) could not read script:missing.txt"));
    EXPECT_TRUE(Read("after_unreadable"));
}

TEST_F(VariableCommandsTest, WhileEditingNeitherCommandChangesAnything)
{
    ShowLine(L"var x = 5\nvar *kept = 1\nif x != 5 here later\nedited_through\nbookmark later\n", 5);
    EXPECT_EQ(Value(L"x"), L"<none>");
    EXPECT_EQ(Value(L"*kept"), L"<none>");
    EXPECT_TRUE(Read("edited_through")) << "the editor never branches";
    EXPECT_FALSE(FileExists(*m_novel / "SaveData/global0.xml"));
}

TEST_F(VariableCommandsTest, APersistentVariableIsWrittenOnEveryChangeAndAStarAloneIsNot)
{
    Play(L"var * = 1\nvar plain = 2\n");
    EXPECT_FALSE(FileExists(*m_novel / "SaveData/global0.xml"));

    Play(L"var *seen = 1\n");
    EXPECT_EQ(ReadFile(*m_novel / "SaveData/global0.xml"),
              "<?xml version=\"1.0\"?>\n<GlobalVars>\n\t<var var_name=\"*seen\" var_val=\"1\" />\n</GlobalVars>\n")
        << "the save folder is made, and only persistent variables are written";

    Play(L"var *seen += 1\nvar *a = 'ü'\n");
    const std::string written = ReadFile(*m_novel / "SaveData/global0.xml");
    EXPECT_TRUE(ContainsInOrder(written, {"var_name=\"*a\" var_val=\"\xc3\xbc\"", "var_name=\"*seen\" var_val=\"2\""}))
        << written;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(*m_novel / "SaveData"), {}), 1)
        << "no file left beside it";

    Play(L"var *seen /= 0\n");
    EXPECT_EQ(ReadFile(*m_novel / "SaveData/global0.xml"), written) << "a refused change writes nothing";
}

TEST_F(VariableCommandsTest, AFailedWriteIsReportedAndTheVariableKeptInTheState)
{
    WriteFile(*m_novel / "SaveData", "a file where the folder should be");
    Play(L"var *seen = 1\n");
    EXPECT_EQ(Value(L"*seen"), L"1");
    EXPECT_TRUE(Logged("ERROR. (SaveGlobalVariables) cannot create the save folder:SaveData/"));
}

namespace
{
/// Starts an engine in the current folder, as an editor does.
void StartEngine()
{
    Services::pNParser =
        std::make_unique<zel::NParser>(std::make_shared<zel::Parser>(L"main.txt", L"", zel::PARSER_MAIN));
    Services::InitNovelState(false);
}
} // namespace

TEST(PersistentVariablesTest, AFreshEngineReadsBackWhatTheLastOneWrote)
{
    TempDir dir;
    WriteFile(dir / "Config.xml", ConfigXml());
    ASSERT_EQ(RunInChild(dir.path(),
                         [] {
                             StartEngine();
                             Services::SysVars()->gameMode = 1;
                             zel::MainParser()->setScriptText(
                                 L"main.txt", L"var *name = 'Ann Lee'\nvar *count = 4\nvar *count *= 3\nvar temp = 1\n",
                                 true);
                             zel::MainParser()->ReadScript(-1);
                             return 0;
                         }),
              0);
    EXPECT_EQ(RunInChild(dir.path(),
                         [] {
                             StartEngine();
                             const auto& variables = Services::SysVars()->variables;
                             if (variables.count(L"temp") != 0)
                                 return 1;
                             if (variables.count(L"*count") == 0 || variables.at(L"*count") != L"12")
                                 return 2;
                             return variables.count(L"*name") != 0 && variables.at(L"*name") == L"Ann Lee" ? 0 : 3;
                         }),
              0);
}

TEST(PersistentVariablesTest, AFileCutOffMidWriteKeepsWhatParsedAndIsMovedAsideBeforeTheNextWrite)
{
    TempDir dir;
    WriteFile(dir / "Config.xml", ConfigXml());
    const std::string cut = "<?xml version=\"1.0\"?>\n<GlobalVars>\n\t<var var_name=\"*a\" var_val=\"1\" />\n"
                            "\t<var var_name=\"*b\" var_val=\"2\" />\n\t<var var_name=\"*c\" var_val=\"12";
    WriteFile(dir / "SaveData/global0.xml", cut);
    ASSERT_EQ(RunInChild(dir.path(),
                         [] {
                             StartEngine();
                             const auto& variables = Services::SysVars()->variables;
                             if (variables.count(L"*a") == 0 || variables.at(L"*a") != L"1" ||
                                 variables.count(L"*b") == 0 || variables.at(L"*b") != L"2")
                                 return 1;
                             if (variables.count(L"*c") != 0)
                                 return 2; // its value was cut short
                             Services::SysVars()->gameMode = 1;
                             zel::MainParser()->setScriptText(L"main.txt", L"var *new = 3\n", true);
                             zel::MainParser()->ReadScript(-1);
                             return 0;
                         }),
              0);
    EXPECT_EQ(ReadFile(dir / "SaveData/global0.xml.bad"), cut);
    EXPECT_TRUE(ContainsInOrder(
        ReadFile(dir / "SaveData/global0.xml"),
        {"var_name=\"*a\" var_val=\"1\"", "var_name=\"*b\" var_val=\"2\"", "var_name=\"*new\" var_val=\"3\""}));
    EXPECT_TRUE(ContainsInOrder(ReadFile(dir / "debug.txt"),
                                {"ERROR. (LoadGlobalVariables) file:SaveData/global0.xml does not parse: ",
                                 "WARNING. (SaveGlobalVariables) the damaged file was moved aside to:"
                                 "SaveData/global0.xml.bad"}));
}

TEST(PersistentVariablesTest, DamagedOrStrangeFilesAreLoggedAndKeepOnlyWholeEntries)
{
    struct Row
    {
        const char* what;
        std::string file;
        std::map<std::wstring, std::wstring> read;
        const char* logged; // null: no ERROR at all
    };
    const Row rows[] = {
        {"a '>' inside the cut value does not end the entry",
         "<GlobalVars><var var_name=\"*a\" var_val=\"1\" /><var var_name=\"*c\" var_val=\"12>3",
         {{L"*a", L"1"}},
         "does not parse"},
        {"single quotes", "<GlobalVars><var var_name='*a' var_val='x\"y' /><var var_name='*b' var_val='2>",
         {{L"*a", L"x\"y"}},
         "does not parse"},
        {"another root element", "<Vars><var var_name=\"*a\" var_val=\"1\"/></Vars>", {},
         "ERROR. (LoadGlobalVariables) file:SaveData/global0.xml has no GlobalVars element"},
        {"a '>' in a whole file", "<GlobalVars><var var_name=\"*a\" var_val=\"1>0\"/></GlobalVars>",
         {{L"*a", L"1>0"}},
         nullptr},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.what);
        TempDir dir;
        WriteFile(dir / "SaveData/global0.xml", row.file);
        EXPECT_EQ(RunInChild(dir.path(),
                             [&row] {
                                 // A novel state, as the engine has at start-up: messages are formatted with it.
                                 Services::m_NovelStates.push_back(std::make_shared<zel::NovelState>());
                                 zel::SystemVariables& sysVars = *Services::SysVars();
                                 zel::LoadGlobalVariables(sysVars);
                                 return sysVars.variables == row.read ? 0 : 1;
                             }),
                  0);
        const std::string log = ReadFile(dir / "debug.txt");
        if (row.logged != nullptr)
            EXPECT_NE(log.find(row.logged), std::string::npos) << log;
        else
            EXPECT_EQ(log.find("ERROR"), std::string::npos) << log;
    }
}
