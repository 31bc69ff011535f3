// The backlog: what it records of the shown lines, how its display is cut to its text area, how it scrolls and
// hides, and how editing back takes recorded lines away.

#include "WindowFixture.h"
#include "entities/NBacklog.h"
#include "entities/NTextbox.h"
#include "quillhaven.h"
#include "resources/NHelper.h"
#include "resources/ResourcePool.h"

#include <algorithm>
#include <cmath>
#include <vector>

using namespace testsupport;
using zel::NBacklog;
using zel::NTextbox;

namespace
{
const sf::Color kClear(0, 0, 0);

class BacklogTest : public WindowFixture
{
protected:
    void SetUp() override
    {
        WindowFixture::SetUp();
        MakeFont("f.ttf");
    }

    /// A text box named "log" with DejaVu Sans at 16 px, registered at the main line; with named, it is the
    /// backlog's box.
    std::shared_ptr<NTextbox> MakeBox(int width, int height, bool named = true)
    {
        auto box =
            std::make_shared<NTextbox>(zel::NTYPE_TEXTBOX, L"log", width, height, 5, zel::lineContext::MainLine());
        EXPECT_TRUE(entities().InsNovelEntity(box, 5, L"log"));
        std::shared_ptr<zel::Font> font;
        EXPECT_TRUE(zel::ResourcePool<zel::Font>::getResource(font, L"Fonts/f.ttf"));
        zel::sTextbox* state = box->getCurrentText();
        state->setPooledFont(font);
        state->setCharacterSize(16);
        if (named)
            sysVars().curBacklogUseTextareaName.set(L"log", false);
        m_font = font;
        return box;
    }

    NBacklog& backlog() { return *entities().pBacklog; }

    /// Height of n lines of the box's font.
    float LinesHeight(int n) { return static_cast<float>(n) * m_font->font.getLineSpacing(16); }

    /// Every recorded text, in push order.
    std::wstring AllText()
    {
        std::wstring all;
        for (const zel::BacklogEntry& entry : backlog().entries())
            all += entry.text;
        return all;
    }

    /// Editing: the cursor moves within the same script text, as the editor does when the author only moves it.
    static void MoveTo(const std::wstring& script, int line)
    {
        setNovelScriptText(L"main.txt", script.c_str(), line, 0);
    }

    std::wstring Display() { return backlog().displayText().getString().toWideString(); }

    static int Lines(const std::wstring& text)
    {
        return static_cast<int>(std::count(text.begin(), text.end(), L'\n')) + 1;
    }

    static std::string LogSince(std::size_t mark)
    {
        const std::string text = LogText();
        return mark < text.size() ? text.substr(mark) : std::string();
    }

    static bool EndsWith(const std::wstring& text, const std::wstring& end)
    {
        return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
    }

    std::shared_ptr<zel::Font> m_font;
};
} // namespace

TEST_F(BacklogTest, LineWithoutABacklogBoxOnlyWarnsAndANamedBoxIsAttachedHiddenOnDemand)
{
    backlog().pushNewLine(L"Hello", 1, true);
    EXPECT_NE(LogText().find("WARNING. (NBacklog::pushNewLine) backlog textarea not assigned and not in sysvars"),
              std::string::npos);
    EXPECT_TRUE(backlog().entries().empty());
    EXPECT_EQ(backlog().textbox(), nullptr);

    // Named but not created yet: still nothing to lay the line out in.
    sysVars().curBacklogUseTextareaName.set(L"log", false);
    backlog().pushNewLine(L"Hello", 1, true);
    EXPECT_TRUE(backlog().entries().empty());

    std::shared_ptr<NTextbox> box = MakeBox(300, 200);
    backlog().pushNewLine(L"", 1, true);
    EXPECT_TRUE(backlog().entries().empty()) << "an empty line is no entry";
    backlog().pushNewLine(L"Hello", 1, true);
    EXPECT_NE(LogText().find("WARNING: (NBacklog::pushNewLine) FOR SOME REASON BACKLOG TEXTAREA NOT SET, BUT SET IN "
                             "SYSVARS: ATTACHED"),
              std::string::npos);
    EXPECT_EQ(backlog().textbox(), box);
    ASSERT_EQ(backlog().entries().size(), 1u);
    EXPECT_FALSE(box->getCurrentText()->visible) << "the box shows only while the backlog is displayed";
}

TEST_F(BacklogTest, SpeakerNameStandsOnItsOwnLineAboveANewLineOnly)
{
    MakeBox(300, 200);
    sysVars().variables[L"backlogName"] = L"Anna";
    backlog().pushNewLine(L"Hello", 1, true);
    backlog().pushNewLine(L" again", 1, false);
    sysVars().variables[L"backlogName"] = L"";
    backlog().pushNewLine(L"Quiet", 1, true);

    const auto& entries = backlog().entries();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].text, L"Anna\nHello");
    EXPECT_EQ(entries[1].text, L" again") << "continued text carries no name";
    EXPECT_EQ(entries[2].text, L"\n\nQuiet") << "a blank line separates entries";
    EXPECT_EQ(entries[0].endLine, 2);
    EXPECT_EQ(entries[1].endLine, 2);
    EXPECT_EQ(entries[2].endLine, 4);
    EXPECT_EQ(AllText(), L"Anna\nHello again\n\nQuiet");
}

TEST_F(BacklogTest, EditingBackBeforeALineRemovesItsEntryAndReadingOnRecordsItOnce)
{
    const std::wstring head = L"textbox box 10 10 1 300 200 f.ttf 20\nuseTextbox box\n"
                              L"textbox log 0 0 2 300 200 f.ttf 16\nbacklogConfig log\n";
    const std::wstring script = head + L"\"one\n\"two\n\"three\n\n";
    const auto texts = [this] {
        std::vector<std::wstring> all;
        for (const zel::BacklogEntry& entry : backlog().entries())
            all.push_back(entry.text);
        return all;
    };
    ShowLine(script, 7);
    EXPECT_EQ(texts(), (std::vector<std::wstring>{L"one", L"\n\ntwo", L"\n\nthree"}));
    backlog().scroll("up");
    EXPECT_EQ(backlog().curTextLine(), 5);

    MoveTo(script, 5);
    EXPECT_EQ(texts(), (std::vector<std::wstring>{L"one"}));
    EXPECT_LE(backlog().curTextLine(), 1) << "the display position stays inside what is left";
    backlog().scroll("up");
    EXPECT_EQ(Display(), L"one");

    MoveTo(script, 7);
    EXPECT_EQ(texts(), (std::vector<std::wstring>{L"one", L"\n\ntwo", L"\n\nthree"}));
    const std::wstring edited = head + L"\"one\n\"zwei\n\"three\n\n";
    ShowLine(edited, 6);
    EXPECT_EQ(texts(), (std::vector<std::wstring>{L"one", L"\n\nzwei"}));
    MoveTo(edited, 7);
    EXPECT_EQ(texts(), (std::vector<std::wstring>{L"one", L"\n\nzwei", L"\n\nthree"}));
    EXPECT_EQ(backlog().entries().back().endLine, 5);
}

TEST_F(BacklogTest, ScrollingUpStopsAtTheFirstLineAndOnlyLogs)
{
    std::shared_ptr<NTextbox> box = MakeBox(300, 0);
    box->getCurrentText()->areaHeight = static_cast<int>(std::ceil(LinesHeight(2)));
    for (const wchar_t* text : {L"first", L"second", L"third", L"fourth"})
        backlog().pushNewLine(text, 1, true);
    const int last = backlog().entries().back().endLine;
    ASSERT_EQ(last, 7);

    backlog().scroll("up");
    EXPECT_TRUE(sysVars().backlogDisplay.get(true));
    EXPECT_EQ(backlog().curTextLine(), last);
    EXPECT_EQ(Display(), L"\nfourth");

    for (int i = 0; i < 20; ++i)
        backlog().scroll("up");
    EXPECT_EQ(backlog().curTextLine(), 2) << "the display holds lines 1 and 2; nothing above is left to show";
    EXPECT_EQ(Display(), L"first\n");

    const std::size_t mark = LogText().size();
    backlog().scroll("up");
    EXPECT_EQ(backlog().curTextLine(), 2);
    EXPECT_EQ(Display(), L"first\n");
    EXPECT_NE(LogSince(mark).find("WARNING: scrollBacklogToNextLine m_curTextLine:2 "), std::string::npos);

    // The other way never passes the newest line.
    for (int i = 0; i < 5; ++i)
        backlog().scrollBacklogToNextLine("down");
    backlog().scrollBacklogToNextLine("down");
    backlog().scrollBacklogToNextLine("down");
    EXPECT_EQ(backlog().curTextLine(), last);
    EXPECT_NE(LogText().find("WARNING: scrollBacklogToNextLine m_curTextLine:8 > lastLine:7"), std::string::npos);
}

TEST_F(BacklogTest, ShownAtTheNewestEntryAndHiddenAgainByScrollingDownPastIt)
{
    MakeBox(300, 400);
    backlog().pushNewLine(L"first", 1, true);
    backlog().pushNewLine(L"second", 1, true);
    std::shared_ptr<zel::Parser> parser = zel::CurParser();
    ASSERT_NE(parser, nullptr);

    parser->m_ParserState = zel::PARSE_SCRIPT_FIN;
    backlog().scroll("up");
    EXPECT_TRUE(sysVars().backlogDisplay.get(true));
    EXPECT_EQ(backlog().curTextLine(), 3);
    EXPECT_EQ(Display(), L"first\n\nsecond");
    backlog().scroll("down");
    EXPECT_FALSE(sysVars().backlogDisplay.get(true));
    EXPECT_EQ(parser->m_ParserState, zel::PARSE_CONT) << "a parser that was not waiting for a click reads on";

    parser->m_ParserState = zel::PARSE_FIN;
    backlog().scroll("up");
    backlog().scroll("up");
    EXPECT_EQ(backlog().curTextLine(), 3) << "everything fits: scrolling up has nothing to show";
    backlog().scroll("down");
    EXPECT_FALSE(sysVars().backlogDisplay.get(true));
    EXPECT_EQ(parser->m_ParserState, zel::PARSE_FIN) << "a parser waiting for a click keeps waiting";

    for (const std::uint8_t waiting : {zel::SYNC_EXEC, zel::WAIT_BTNSEL, zel::WAIT_MSGBOXSEL, zel::PARSE_STOP})
    {
        parser->m_ParserState = waiting;
        backlog().scroll("up");
        backlog().scroll("down");
        EXPECT_EQ(parser->m_ParserState, waiting) << "a timed wait, a choice or a transition is never cut short";
    }
}

TEST_F(BacklogTest, DisplayFillsTheAreaFromTheBottomWithWholeLinesOnly)
{
    std::shared_ptr<NTextbox> box = MakeBox(140, 0);
    box->getCurrentText()->wordWrap = true;
    box->getCurrentText()->areaHeight = static_cast<int>(LinesHeight(5) + LinesHeight(1) / 2); // 5 and a half lines
    const wchar_t* lines[] = {L"A short one.", L"This line is long enough to wrap over several lines of the box.",
                              L"Two words", L"And one more that wraps at least once here.", L"End."};
    for (const wchar_t* text : lines)
        backlog().pushNewLine(text, 1, true);
    const std::wstring all = AllText();
    ASSERT_GT(Lines(all), 8) << "the test needs more lines than the area takes";
    const float area = static_cast<float>(box->getCurrentText()->areaHeight);

    backlog().scroll("up");
    std::wstring shown = Display();
    for (int step = 0; step < 3; ++step)
    {
        SCOPED_TRACE(step);
        EXPECT_LE(LinesHeight(Lines(shown)), area);
        EXPECT_GT(LinesHeight(Lines(shown) + 1), area) << "one more line from above would still have fitted";
        // The display is a run of whole lines of the backlog, ending on the current line.
        std::wstring upTo = all;
        for (int dropped = 0; dropped < step; ++dropped)
            upTo = upTo.substr(0, upTo.rfind(L'\n'));
        ASSERT_TRUE(EndsWith(upTo, shown));
        EXPECT_EQ(upTo[upTo.size() - shown.size() - 1], L'\n') << "the top line is not cut";
        backlog().scroll("up");
        shown = Display();
    }
}

TEST_F(BacklogTest, EndLinesMatchTheRecordedTextOverManyMixedPushes)
{
    std::shared_ptr<NTextbox> box = MakeBox(120, 60);
    const std::size_t mark = LogText().size();
    const std::wstring words[] = {L"tiny",
                                  L"a rather longer sentence with words",
                                  L"Supercalifragilisticexpialidocious",
                                  L"x",
                                  L"line\nbreak inside",
                                  L"  spaced  out  "};
    for (int i = 0; i < 60; ++i)
    {
        box->getCurrentText()->wordWrap = (i / 7) % 2 == 0;
        sysVars().variables[L"backlogName"] = i % 5 == 0 ? L"Bo" : L"";
        const bool newLine = i % 3 != 1;
        backlog().pushNewLine(words[i % 6], 1, newLine);
        // What the box laid out is what the backlog recorded.
        ASSERT_TRUE(EndsWith(AllText(), box->getCurrentText()->text())) << i;
        ASSERT_EQ(backlog().entries().back().endLine, Lines(AllText())) << i;
    }
    const std::string log = LogSince(mark);
    EXPECT_EQ(log.find("NEWLINE POSITION INCORRECT"), std::string::npos);
    EXPECT_EQ(log.find("INCORRECT!!!!!"), std::string::npos);
    EXPECT_GT(Lines(AllText()), 120) << "the narrow box wrapped the text";

    // Every line of the backlog, continued text included, can end the display, and the display is whole lines.
    backlog().scroll("up");
    std::wstring upTo = AllText();
    for (int line = Lines(upTo); line >= 1; --line)
    {
        ASSERT_EQ(backlog().curTextLine(), line);
        const std::wstring shown = Display();
        ASSERT_TRUE(EndsWith(upTo, shown)) << line << ": [" << zel::NHelper::ws2s(shown) << "]";
        ASSERT_TRUE(shown.size() == upTo.size() || upTo[upTo.size() - shown.size() - 1] == L'\n') << line;
        upTo = upTo.substr(0, upTo.rfind(L'\n'));
        backlog().scrollBacklogToNextLine("up");
        backlog().calcDisplayLines();
    }
}

// Where the entries say the text ends is checked against the box's own layout: once a dialogue line went into the
// backlog's own box, text continued there ends lower in the box than in the entries.
TEST_F(BacklogTest, TheEndLineCheckComparesTheEntriesWithTheBoxsLayout)
{
    std::shared_ptr<NTextbox> box = MakeBox(400, 0);
    const std::size_t mark = LogText().size();
    backlog().pushNewLine(L"first line\nsecond line", 1, true);
    backlog().pushNewLine(L" and more", 1, false);
    EXPECT_EQ(LogSince(mark).find("NEWLINE POSITION INCORRECT"), std::string::npos) << "entries and box agree";
    box->pushNewText(L"\na dialogue line\nsent to the wrong box", 1, false);
    backlog().pushNewLine(L" and the rest", 1, false);
    EXPECT_NE(LogSince(mark).find("NEWLINE POSITION INCORRECT"), std::string::npos);
}

TEST_F(BacklogTest, ResetForgetsTheLinesAndAScriptResetForgetsTheBoxToo)
{
    std::shared_ptr<NTextbox> box = MakeBox(300, 200);
    backlog().pushNewLine(L"old", 1, true);
    backlog().reset();
    EXPECT_TRUE(backlog().entries().empty());
    EXPECT_EQ(backlog().curTextLine(), -1);
    EXPECT_EQ(box->getCurrentText()->text(), L"");
    backlog().pushNewLine(L"new", 1, false);
    ASSERT_EQ(backlog().entries().size(), 1u);
    EXPECT_EQ(backlog().entries()[0].endLine, 1);

    // A new script: the registry is emptied, and the old box must not go on collecting lines.
    zel::MainParser()->setScriptText(L"other.txt", L"\n", true);
    EXPECT_TRUE(backlog().entries().empty());
    EXPECT_EQ(backlog().textbox(), nullptr);
    backlog().pushNewLine(L"after", 1, true);
    EXPECT_TRUE(backlog().entries().empty());
}

TEST_F(BacklogTest, DisplayedBacklogDrawsItsTextAndAHiddenOneDrawsNothing)
{
    std::shared_ptr<NTextbox> box = MakeBox(200, 100);
    box->getCurrentText()->setPosition(40, 40);
    box->getCurrentText()->setFillColor(sf::Color::White);
    backlog().pushNewLine(L"Hello there", 1, true);
    backlog().pushNewLine(L"General reader", 1, true);
    const sf::IntRect area(40, 40, 200, 100);
    const auto inkInArea = [](const sf::Image& shot, const sf::IntRect& rect) {
        int ink = 0;
        for (int y = rect.top; y < rect.top + rect.height; ++y)
            for (int x = rect.left; x < rect.left + rect.width; ++x)
                ink += shot.getPixel(x, y) != kClear;
        return ink;
    };

    EXPECT_EQ(inkInArea(Capture(), area), 0) << "a hidden backlog shows nothing, not even its box's newest line";
    backlog().scroll("up");
    const sf::Image shown = Capture();
    EXPECT_GT(inkInArea(shown, area), 50);
    // The third line holds the newest entry: only the backlog's display reaches down there.
    const int spacing = static_cast<int>(LinesHeight(1));
    EXPECT_GT(inkInArea(shown, sf::IntRect(40, 40 + 2 * spacing, 200, spacing)), 0);
    EXPECT_TRUE(box->getCurrentText()->visible);
    backlog().scroll("down");
    EXPECT_EQ(inkInArea(Capture(), area), 0);
    EXPECT_FALSE(box->getCurrentText()->visible);
}
