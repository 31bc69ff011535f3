// From a script line to a command: what runs, with which tokens, and how reading goes on afterwards. Scripts are
// real texts read through ReadScript; the commands under test get recording handlers bound in the table.

#include "CoreFixture.h"
#include "core/Clock.h"
#include "script/NovelCommands.h"

using namespace testsupport;
using zel::Services;

namespace
{
/// One handler call as a recording handler saw it.
struct Call
{
    std::wstring command;
    std::vector<std::wstring> tokens;
    std::wstring line;
    bool sync;
    int lineNo;
};
} // namespace

class ParseTokensTest : public CoreFixture
{
protected:
    void TearDown() override
    {
        zel::Clock::SetManual(false);
        CoreFixture::TearDown();
    }

    /// Binds a handler that records its call and returns value.
    void Record(const std::wstring& name, int value = 0, std::function<void(zel::CommandCall&)> also = {})
    {
        Services::pNCommands->Command(name)->handler = [this, name, value, also](zel::CommandCall& call) {
            m_runs.push_back({name, call.tokens, call.line, call.sync, call.parser.readlineno});
            if (also)
                also(call);
            return value;
        };
    }

    /// Binds recording handlers to the commands most scripts here use.
    void RecordCommon()
    {
        for (const wchar_t* name : {L"bg", L"cg", L"\"", L"-\"", L"~"})
            Record(name);
    }

    /// Replaces the main script and reads it in the current mode up to untilLine.
    void ReadAll(const std::wstring& text, int untilLine = -1)
    {
        mainParser().setScriptText(L"main.txt", text, true);
        mainParser().ReadScript(untilLine);
    }

    /// "name@line" for every run, in order.
    std::vector<std::wstring> Trace() const
    {
        std::vector<std::wstring> trace;
        for (const Call& run : m_runs)
            trace.push_back(run.command + L"@" + std::to_wstring(run.lineNo));
        return trace;
    }

    const Call& RunOf(const std::wstring& name) const
    {
        for (const Call& run : m_runs)
            if (run.command == name)
                return run;
        static const Call none{};
        ADD_FAILURE() << "no run of that command";
        return none;
    }

    /// A text handler as the dialogue commands will be: while playing, the reader must click on.
    static void WaitForClick(zel::CommandCall& call)
    {
        if (!zel::lineContext::Editing())
            call.parser.m_ParserState = zel::PARSE_FIN;
    }

    std::vector<Call> m_runs;
};

using Tokens = std::vector<std::wstring>;

TEST_F(ParseTokensTest, CommentsAreCutOrSkippedByWhereTheSlashesStand)
{
    RecordCommon();
    ReadAll(L"bg room.png // the first room\n"
            L"// a whole comment line\n"
            L"~// a comment after a tilde\n"
            L"x// not a comment\n"
            L"~bg hall.png //after tilde\n");
    EXPECT_EQ(Trace(), (std::vector<std::wstring>{L"bg@1", L"bg@5"}));
    EXPECT_EQ(m_runs[0].tokens, (Tokens{L"bg", L"room.png"}));
    EXPECT_EQ(m_runs[1].tokens, (Tokens{L"bg", L"hall.png"}));
    EXPECT_EQ(m_runs[1].line, L"bg hall.png ") << "the tilde goes with the comment";
    EXPECT_NE(LogText().find("UNKNOWN or INVALID COMMAND:'x//' script-name:main.txt curline:4"), std::string::npos);
}

TEST_F(ParseTokensTest, TextModeMakesEveryLineDialogueUntilATilde)
{
    RecordCommon();
    ReadAll(L"\"Hello there.\n" // 1: dialogue, text mode on
            L"bg room.png\n"    // 2: in text mode this is dialogue as well
            L"-\"and more\n"    // 3
            L"~bg room.png\n"   // 4: leaves text mode and runs bg
            L"bg hall.png\n");  // 5
    EXPECT_EQ(Trace(), (std::vector<std::wstring>{L"\"@1", L"-\"@2", L"-\"@3", L"bg@4", L"bg@5"}));
    EXPECT_EQ(m_runs[1].line, L"-\"bg room.png") << "a plain line in text mode continues the dialogue";
    EXPECT_EQ(m_runs[3].tokens, (Tokens{L"bg", L"room.png"}));
    EXPECT_FALSE(mainParser().TextMode());

    // Moving back while editing replays the text mode that the earlier lines set.
    mainParser().GotoLine(3);
    EXPECT_TRUE(mainParser().TextMode()) << "line 1 switched it on, and line 4 is forgotten";
    mainParser().GotoLine(1);
    EXPECT_FALSE(mainParser().TextMode());
}

TEST_F(ParseTokensTest, QuotedArgumentsBecomeOneTokenBeforeTheCountIsTested)
{
    RecordCommon();
    ReadAll(L"bg 'a b c d e'\n"                 // six words, two tokens once merged
            L"cg alice \"Alice Smith\" 1 2 3\n" // double quotation marks as well
            L"bg 'x' y\n"                       // a single quoted word opens and closes
            L"bg 'never closed and more words\n");
    ASSERT_EQ(Trace(), (std::vector<std::wstring>{L"bg@1", L"cg@2", L"bg@3", L"bg@4"}));
    EXPECT_EQ(m_runs[0].tokens, (Tokens{L"bg", L"'a b c d e'"}));
    EXPECT_EQ(m_runs[1].tokens, (Tokens{L"cg", L"alice", L"\"Alice Smith\"", L"1", L"2", L"3"}));
    EXPECT_EQ(m_runs[2].tokens, (Tokens{L"bg", L"'x'", L"y"}));
    EXPECT_EQ(m_runs[3].tokens, (Tokens{L"bg", L"'never closed and more words"}));
}

TEST_F(ParseTokensTest, DialogueReachesItsHandlerWithTheSameTokensHoweverItIsSpaced)
{
    // Dialogue lines are joined while they are split; what the handler gets must be what joining afterwards gives.
    RecordCommon();
    const struct
    {
        const wchar_t* line;
        Tokens tokens;
    } cases[] = {
        {L"\"Hello   there,\tfriend.", {L"\"Hello there, friend."}},
        {L"~\"Hi \"you\" and 'me' x", {L"\"Hi \"you\"", L"and", L"'me'", L"x"}},
        {L"-\"Well 'then say' so", {L"-\"Well", L"'then say'", L"so"}},
        {L"~\"", {L"\""}},
        {L"\" a\" 'b c", {L"\"", L"a\"", L"'b c"}}, // a lone quotation mark opens and closes
        {L"  \"spaced  first", {L"\"spaced first"}},
    };
    for (const auto& c : cases)
    {
        m_runs.clear();
        ReadAll(std::wstring(c.line) + L"\n");
        ASSERT_EQ(m_runs.size(), 1u) << c.line;
        EXPECT_EQ(m_runs[0].tokens, c.tokens) << c.line;
    }
}

TEST_F(ParseTokensTest, VariablesInBracesAreReplaced)
{
    RecordCommon();
    sysVars().variables[L"score"] = L"10";
    mainParser().setScriptText(L"main.txt",
                               L"bookmark intro _who _where\n"
                               L"bg {{_who}}\n"
                               L"bg pre{{_who}}post\n"
                               L"bg {{score}}\n"
                               L"bg abc{{score}}\n"
                               L"bg {{_who}}{{_where}}\n"
                               L"bg {{_nobody}}\n"
                               L"bg {{_self}}\n",
                               true);
    ASSERT_EQ(mainParser().GotoBookmark(L"intro"), 1);
    mainParser().DeclareScriptVars({L"_self"});
    mainParser().PushScriptVarNames({L"'Alice'", L"park", L"x{{_self}}"});
    mainParser().ReadScript(-1);
    std::vector<std::wstring> seconds;
    for (const Call& run : m_runs)
        seconds.push_back(run.tokens.at(1));
    EXPECT_EQ(seconds, (std::vector<std::wstring>{L"Alice", L"preAlicepost", L"10", L"10", L"Alicepark", L"{{_nobody}}",
                                                  L"x{{_self}}"}))
        << "a value is not expanded again, so a variable naming itself ends";
}

TEST_F(ParseTokensTest, SynchronousCommandsWaitTheirDurationWhilePlaying)
{
    zel::Clock::SetManual(true);
    Record(L"move", 500);
    Record(L"bg");
    SetPlaying(true);
    ReadAll(L".move alice 100 0\nbg after.png\n");
    ASSERT_EQ(Trace(), (std::vector<std::wstring>{L"move@1"}));
    EXPECT_TRUE(m_runs[0].sync);
    EXPECT_EQ(m_runs[0].tokens.front(), L"move") << "the full stop is not part of the keyword";
    EXPECT_EQ(mainParser().m_ParserState, zel::SYNC_EXEC);
    EXPECT_EQ(mainParser().syncDuration.count(), 500);

    zel::Clock::Advance(std::chrono::milliseconds(499));
    mainParser().AutoContScript_ifNeeded();
    EXPECT_EQ(Trace().size(), 1u) << "still waiting";
    zel::Clock::Advance(std::chrono::milliseconds(1));
    mainParser().AutoContScript_ifNeeded();
    EXPECT_EQ(Trace(), (std::vector<std::wstring>{L"move@1", L"bg@2"}));

    m_runs.clear();
    ReadAll(L"move alice 100 0\nbg after.png\n");
    EXPECT_EQ(Trace(), (std::vector<std::wstring>{L"move@1", L"bg@2"})) << "without the full stop nothing waits";
    EXPECT_FALSE(m_runs[0].sync);
}

TEST_F(ParseTokensTest, WaitAndFadeRulesDecideTheDuration)
{
    SetPlaying(true);
    int waitResult = 0;
    Services::pNCommands->Command(L"wait")->handler = [&](zel::CommandCall&) {
        return waitResult;
    };
    Record(L"alphaFadein", 300);
    for (int result : {0, -5, -1})
    {
        waitResult = result;
        ReadAll(L"wait x\n");
        EXPECT_EQ(mainParser().m_ParserState, zel::PARSE_CONT) << "a wait of " << result << " ms does not wait";
    }
    waitResult = 250;
    ReadAll(L"wait x\nwait x\n");
    EXPECT_EQ(mainParser().m_ParserState, zel::SYNC_EXEC);
    EXPECT_EQ(mainParser().readlineno, 1);
    EXPECT_EQ(mainParser().syncDuration.count(), 250);

    ReadAll(L"alphaFadein pic\n");
    EXPECT_TRUE(RunOf(L"alphaFadein").sync) << "the alpha fades always run synchronously";
    EXPECT_EQ(mainParser().syncDuration.count(), 300);

    sysVars().textReadMethod = 2; // skipping reads through every wait
    ReadAll(L"alphaFadein pic\nwait x\n");
    EXPECT_EQ(mainParser().m_ParserState, zel::PARSE_CONT);
    EXPECT_EQ(mainParser().readlineno, 2);
}

TEST_F(ParseTokensTest, EditingNeverWaitsButStillTimesTheAnimation)
{
    zel::Clock::SetManual(true);
    Record(L"move", 500);
    Record(L"\"", 0, [](zel::CommandCall& call) { call.parser.m_ParserState = zel::PARSE_FIN; });
    Record(L"bg");
    ReadAll(L".move alice 1 2\n\"Hello\n~bg end.png\n");
    EXPECT_EQ(Trace(), (std::vector<std::wstring>{L"move@1", L"\"@2", L"bg@3"}));
    EXPECT_EQ(mainParser().m_ParserState, zel::PARSE_CONT);
    EXPECT_EQ(mainParser().syncDuration.count(), 500) << "the editor shows the animation, but reads on";

    sysVars().tweenAnimationDisplay = false;
    mainParser().syncDuration = std::chrono::milliseconds(0);
    ReadAll(L".move alice 1 2\n");
    EXPECT_EQ(mainParser().syncDuration.count(), 0);
}

TEST_F(ParseTokensTest, AStoppedScriptGoesOnWithTheNextReadOn)
{
    Record(L"\"", 0, WaitForClick);
    Record(L"bg");
    SetPlaying(true);
    ReadAll(L"\"First line.\n\"Second line.\n~bg end.png\n");
    EXPECT_EQ(mainParser().m_ParserState, zel::PARSE_FIN);
    EXPECT_EQ(mainParser().readlineno, 1);
    mainParser().AutoContScript_ifNeeded();
    EXPECT_EQ(mainParser().readlineno, 1) << "only a read-on resumes a stopped script";
    mainParser().ReadScript(-1); // the click
    EXPECT_EQ(Trace(), (std::vector<std::wstring>{L"\"@1", L"\"@2"}));
    mainParser().ReadScript(-1);
    EXPECT_EQ(Trace(), (std::vector<std::wstring>{L"\"@1", L"\"@2", L"bg@3"}));
}

TEST_F(ParseTokensTest, EditingReadsExactlyToTheRequestedLine)
{
    Record(L"\"", 0, WaitForClick);
    Record(L"bg");
    std::wstring script;
    for (int i = 1; i <= 10; ++i)
        script += i % 2 ? L"\"line " + std::to_wstring(i) + L"\n" : L"~bg pic" + std::to_wstring(i) + L".png\n";
    ReadAll(script, 5);
    EXPECT_EQ(Trace(), (std::vector<std::wstring>{L"\"@1", L"bg@2", L"\"@3", L"bg@4", L"\"@5"}));
    EXPECT_EQ(mainParser().readlineno, 5);
    EXPECT_EQ(mainParser().m_ParserState, zel::PARSE_CONT);
}

TEST_F(ParseTokensTest, UnknownLinesWarnAndTheByteOrderMarkIsKept)
{
    Record(L"bg");
    ReadAll(L"\xFEFF"
            L"bg first.png\nbookmark start\nflyaway now\nbg second.png");
    EXPECT_EQ(Trace(), (std::vector<std::wstring>{L"bg@4"})) << "the last line has no line break and still runs";
    EXPECT_TRUE(ContainsInOrder(LogText(), {"UNKNOWN or INVALID COMMAND:'\xEF\xBB\xBF"
                                            "bg' script-name:main.txt curline:1",
                                            "UNKNOWN or INVALID COMMAND:'flyaway' script-name:main.txt curline:3"}));
    // A bookmark read on the way is a place in the script, not a command nobody knows.
    EXPECT_EQ(LogText().find("UNKNOWN or INVALID COMMAND:'bookmark'"), std::string::npos);
}

TEST_F(ParseTokensTest, ScriptFinEndsAPushedScript)
{
    Record(L"bg");
    auto sub =
        std::make_shared<zel::Parser>(L"sub.txt", L"bg a.png\nscript_fin and more\nbg b.png\n", zel::PARSER_SCRIPT);
    Services::NParser()->Push(sub);
    SetPlaying(true);
    sub->ReadScript(-1);
    EXPECT_EQ(Trace(), (std::vector<std::wstring>{L"bg@1"}));
    EXPECT_EQ(sub->m_ParserState, zel::PARSE_SCRIPT_FIN);
    EXPECT_EQ(sub->readlineno, 2);
    EXPECT_EQ(LogText().find("UNKNOWN or INVALID COMMAND:'script_fin'"), std::string::npos);
}

TEST_F(ParseTokensTest, AJumpContinuesAfterItsTargetLine)
{
    Record(L"bg");
    Services::pNCommands->Command(L"jump")->handler = [](zel::CommandCall& call) {
        return call.parser.GotoBookmark(call.tokens.at(1));
    };
    SetPlaying(true);
    ReadAll(L"jump ending\nbg skipped.png\nbookmark ending\nbg end.png\n");
    EXPECT_EQ(Trace(), (std::vector<std::wstring>{L"bg@4"}));
}

TEST_F(ParseTokensTest, DialogRunsOnlyWhilePlaying)
{
    Record(L"dialog");
    ReadAll(L"dialog Msg_endGame yes\n");
    EXPECT_TRUE(m_runs.empty());
    EXPECT_EQ(LogText().find("UNKNOWN or INVALID COMMAND:'dialog'"), std::string::npos) << "consumed, not unknown";
    SetPlaying(true);
    ReadAll(L"dialog Msg_endGame yes\n");
    EXPECT_EQ(Trace(), (std::vector<std::wstring>{L"dialog@1"}));
}

TEST_F(ParseTokensTest, TriggerLinesUseTheStoredTokensAndIgnoreTextMode)
{
    RecordCommon();
    ReadAll(L"\"We are in text mode now\n");
    ASSERT_TRUE(mainParser().TextMode());
    mainParser().curlineTokens = {L".bg", L"'night", L"sky'"};
    std::vector<std::wstring> none;
    mainParser().ParseTokens(L"bg 'night sky'", none, true);
    EXPECT_EQ(m_runs.back().command, L"bg");
    EXPECT_EQ(m_runs.back().tokens, (Tokens{L"bg", L"'night sky'"}));
    EXPECT_TRUE(m_runs.back().sync);
}

TEST(TextLineTest, ExpandsIntoTheTextBoxArguments)
{
    // Quoted words arrive merged into one token; words after the first are taken as they stand.
    const Tokens plain = {L"text", L"name", L"10", L"20", L"3", L"font.ttf", L"24", L"'Hello big'", L"world"};
    const zel::TextLine expanded = zel::ExpandTextLine(plain, L"nocam");
    EXPECT_TRUE(expanded.useCamera);
    EXPECT_EQ(expanded.tokens, (Tokens{L"text", L"name", L"10", L"20", L"3", L"0", L"0", L"font.ttf", L"24", L"0", L"1",
                                       L"1", L"1", L"false", L"Hello big world"}));

    Tokens fixed = plain;
    fixed.insert(fixed.begin() + 7, L"nocam");
    const zel::TextLine onScreen = zel::ExpandTextLine(fixed, L"nocam");
    EXPECT_FALSE(onScreen.useCamera);
    EXPECT_EQ(onScreen.tokens.back(), L"Hello big world");
    EXPECT_TRUE(zel::ExpandTextLine(fixed, L"").useCamera) << "a missing option word is never recognised";
    EXPECT_TRUE(zel::ExpandTextLine({L"text", L"too", L"few"}, L"nocam").tokens.empty());
}
