// Text boxes on the screen: the letter-by-letter flow against the clock, the wait icon, the three layouts and
// variables in the text.

#include "WindowFixture.h"
#include "core/Clock.h"
#include "entities/NTextbox.h"
#include "quillhaven.h"
#include "resources/ResourcePool.h"

#include <chrono>

using namespace testsupport;
using std::chrono::milliseconds;

namespace
{
const sf::Color kBlue(0, 0, 160);
const sf::Color kWhite(255, 255, 255);
const sf::Color kYellow(255, 220, 0);

class TextboxTest : public WindowFixture
{
protected:
    void SetUp() override
    {
        OpenWindow(320, 240);
        MakeFont("f.ttf");
        MakeFont("jp.ttf", FontKind::Japanese);
        zel::Clock::SetManual(true);
        sysVars().clearColour.set(kBlue, false);
    }
    void TearDown() override
    {
        zel::Clock::SetManual(false);
        WindowFixture::TearDown();
    }

    /// A white 20-pixel text box at (x, y), made the box dialogue goes to.
    std::shared_ptr<zel::NTextbox> MakeBox(const std::wstring& name, float x, float y, int width, int height,
                                           const std::wstring& font = L"f.ttf", unsigned size = 20)
    {
        auto box =
            std::make_shared<zel::NTextbox>(zel::NTYPE_TEXTBOX, name, width, height, 0, zel::lineContext::MainLine());
        std::shared_ptr<zel::Font> pooled;
        EXPECT_TRUE(zel::ResourcePool<zel::Font>::getResource(pooled, L"Fonts/" + font));
        zel::sTextbox* state = box->getCurrentText();
        state->setPooledFont(pooled);
        state->setCharacterSize(size);
        state->setPosition(x, y);
        state->setFillColor(kWhite);
        state->shadow = 0;
        entities().InsNovelEntity(box, 0, name);
        sysVars().curUseTextareaName.set(name, false);
        return box;
    }

    /// A frame drawn after ms more milliseconds.
    sf::Image CaptureAfter(int ms)
    {
        zel::Clock::Advance(milliseconds(ms));
        return Capture();
    }

    /// The smallest rectangle holding every pixel of image that is not the background; empty when there is none.
    static sf::IntRect Ink(const sf::Image& image, sf::Color background = kBlue)
    {
        const sf::Vector2u size = image.getSize();
        int left = static_cast<int>(size.x), top = static_cast<int>(size.y), right = -1, bottom = -1;
        for (unsigned y = 0; y < size.y; ++y)
            for (unsigned x = 0; x < size.x; ++x)
                if (image.getPixel(x, y) != background)
                {
                    left = std::min(left, static_cast<int>(x));
                    right = std::max(right, static_cast<int>(x));
                    top = std::min(top, static_cast<int>(y));
                    bottom = std::max(bottom, static_cast<int>(y));
                }
        return right < 0 ? sf::IntRect() : sf::IntRect(left, top, right - left + 1, bottom - top + 1);
    }

    /// Pixels of region that are not the background.
    static int InkIn(const sf::Image& image, sf::IntRect region, sf::Color background = kBlue)
    {
        int count = 0;
        for (int y = std::max(region.top, 0); y < region.top + region.height; ++y)
            for (int x = std::max(region.left, 0); x < region.left + region.width; ++x)
                if (x < static_cast<int>(image.getSize().x) && y < static_cast<int>(image.getSize().y))
                    count += image.getPixel(x, y) != background ? 1 : 0;
        return count;
    }

    /// The smallest rectangle within region holding its ink.
    static sf::IntRect InkBounds(const sf::Image& image, sf::IntRect region, sf::Color background = kBlue)
    {
        sf::Image part;
        part.create(static_cast<unsigned>(region.width), static_cast<unsigned>(region.height), background);
        part.copy(image, 0, 0, region);
        sf::IntRect found = Ink(part, background);
        if (found.width > 0)
        {
            found.left += region.left;
            found.top += region.top;
        }
        return found;
    }

    static int CountIn(const sf::Image& image, sf::IntRect region, sf::Color colour)
    {
        int count = 0;
        for (int y = region.top; y < region.top + region.height; ++y)
            for (int x = region.left; x < region.left + region.width; ++x)
                count += image.getPixel(static_cast<unsigned>(x), static_cast<unsigned>(y)) == colour ? 1 : 0;
        return count;
    }

    static int CountOf(const sf::Image& image, sf::Color colour)
    {
        return CountIn(
            image, sf::IntRect(0, 0, static_cast<int>(image.getSize().x), static_cast<int>(image.getSize().y)), colour);
    }

    static std::size_t Occurrences(const std::string& text, const std::string& what)
    {
        std::size_t count = 0;
        for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
            ++count;
        return count;
    }
};
} // namespace

TEST_F(TextboxTest, TextFlowsLetterByLetterAndFinishesOnTime)
{
    sysVars().sysTextSpeed = 30;
    auto box = MakeBox(L"box", 10, 10, 300, 0);
    const std::size_t logMark = LogText().size();
    box->pushNewText(L"ABCDEFGHIJ", zel::lineContext::MainLine(), true);
    ASSERT_TRUE(box->isTextFlowing());

    EXPECT_EQ(Ink(CaptureAfter(0)).width, 0) << "the flow starts at its first frame with no letter shown";
    const sf::IntRect half = Ink(CaptureAfter(150));
    EXPECT_TRUE(box->isTextFlowing());
    const sf::IntRect nearlyAll = Ink(CaptureAfter(140));
    EXPECT_TRUE(box->isTextFlowing()) << "9 letters at 290 ms";
    const sf::IntRect whole = Ink(CaptureAfter(10));
    EXPECT_FALSE(box->isTextFlowing()) << "10 letters at 300 ms";
    EXPECT_GT(half.width, 0);
    EXPECT_LT(half.left + half.width, nearlyAll.left + nearlyAll.width);
    EXPECT_LT(nearlyAll.left + nearlyAll.width, whole.left + whole.width);

    CaptureAfter(500);
    EXPECT_EQ(Occurrences(LogText().substr(logMark), "TEXT FLOW FINISHED"), 1u);
}

TEST_F(TextboxTest, AppendedTextShowsWhatWasThereAtOnceAndFlowsOnlyTheNewPart)
{
    sysVars().sysTextSpeed = 100;
    auto box = MakeBox(L"box", 10, 10, 300, 0, L"f.ttf", 40);
    box->pushNewText(L"A", zel::lineContext::MainLine(), true);
    CaptureAfter(0);
    const sf::IntRect a = Ink(CaptureAfter(150));
    ASSERT_FALSE(box->isTextFlowing());

    box->pushNewText(L"B", zel::lineContext::MainLine(), false);
    EXPECT_EQ(box->shownText(), L"AB");
    const sf::IntRect first = Ink(CaptureAfter(0));
    EXPECT_EQ(first, a) << "A is shown whole at once, B not yet";
    const sf::IntRect both = Ink(CaptureAfter(150));
    EXPECT_GT(both.left + both.width, a.left + a.width + 10);
    EXPECT_FALSE(box->isTextFlowing());
}

TEST_F(TextboxTest, NoFlowSpeedShowsAtOnceAndTheWaitIconBlinksAtOnceWhilePlaying)
{
    MakeImage("icon.png", 12, 12, kYellow);
    sysVars().sysTextSpeed = 30;
    sysVars().gameMode = 1;
    auto box = MakeBox(L"box", 10, 10, 300, 0);
    ASSERT_TRUE(box->loadWaitIcon(L"icon.png"));
    box->getCurrentText()->MS_PER_LETTER = 0;
    box->pushNewText(L"Hello", zel::lineContext::MainLine(), true);

    const sf::Image first = CaptureAfter(20);
    EXPECT_FALSE(box->isTextFlowing());
    EXPECT_EQ(CountOf(first, kYellow), 144) << "the icon shows with the text's first frame";
    const sf::IntRect text = Ink(first);
    EXPECT_EQ(CountOf(CaptureAfter(499), kYellow), 144);
    EXPECT_EQ(CountOf(CaptureAfter(2), kYellow), 0) << "hidden after 500 ms";
    EXPECT_EQ(CountOf(CaptureAfter(500), kYellow), 144) << "shown again after another 500 ms";
    EXPECT_GE(text.left + text.width, 10 + 40) << "the icon sits after the text";

    box->pushNewText(L" again", zel::lineContext::MainLine(), false);
    EXPECT_EQ(CountOf(CaptureAfter(250), kYellow), 144) << "new text shows the icon at once";
}

TEST_F(TextboxTest, WaitIconOnlyForTheBoxInUseWhilePlaying)
{
    MakeImage("icon.png", 12, 12, kYellow);
    auto box = MakeBox(L"box", 10, 10, 300, 0);
    ASSERT_TRUE(box->loadWaitIcon(L"icon.png"));
    box->getCurrentText()->MS_PER_LETTER = 0;
    box->pushNewText(L"Hello", zel::lineContext::MainLine(), true);
    EXPECT_EQ(CountOf(CaptureAfter(20), kYellow), 0) << "never while editing";
    sysVars().gameMode = 1;
    sysVars().curUseTextareaName.set(L"other", false);
    EXPECT_EQ(CountOf(CaptureAfter(20), kYellow), 0) << "never for a box dialogue does not go to";

    // A box in use without any icon says so once, not in every frame.
    auto bare = MakeBox(L"bare", 10, 100, 300, 0);
    bare->getCurrentText()->MS_PER_LETTER = 0;
    bare->pushNewText(L"No icon", zel::lineContext::MainLine(), true);
    const std::size_t mark = LogText().size();
    for (int frame = 0; frame < 3; ++frame)
        CaptureAfter(20);
    EXPECT_EQ(Occurrences(LogText().substr(mark), "user input icon pSprite == nullptr"), 1u);

    // The icon every box shares stands in for a box's own.
    ASSERT_TRUE(entities().pWaitIcon->loadTexture(L"icon.png"));
    EXPECT_EQ(CountOf(CaptureAfter(20), kYellow), 144);
}

TEST_F(TextboxTest, SkippingOrAutomaticReadingWithoutASpeedShowsEveryTextWhole)
{
    sysVars().sysTextSpeed = 1000;
    sysVars().textReadMethod = 2;
    auto box = MakeBox(L"box", 10, 10, 300, 0);
    box->pushNewText(L"Skipped", zel::lineContext::MainLine(), true);
    const sf::IntRect shown = Ink(CaptureAfter(20));
    EXPECT_GT(shown.width, 40);
    EXPECT_FALSE(box->isTextFlowing());

    // Automatic reading takes its own speed; without one the text is shown whole rather than divided by zero.
    sysVars().textReadMethod = 1;
    sysVars().sysAutoSpeed = 0;
    box->pushNewText(L"Automatic", zel::lineContext::MainLine(), true);
    EXPECT_GT(Ink(CaptureAfter(20)).width, 40);
    EXPECT_FALSE(box->isTextFlowing());
}

TEST_F(TextboxTest, ShadowIsDrawnAroundTheTextInItsColour)
{
    auto box = MakeBox(L"box", 20, 20, 300, 0, L"f.ttf", 40);
    zel::sTextbox* state = box->getCurrentText();
    state->MS_PER_LETTER = 0;
    state->shadow = 1;
    state->shadowColour = sf::Color(255, 0, 0);
    box->pushNewText(L"I", zel::lineContext::MainLine(), true);
    const sf::Image shot = CaptureAfter(20);
    EXPECT_GT(CountOf(shot, kWhite), 40);
    EXPECT_GT(CountOf(shot, sf::Color(255, 0, 0)), 40) << "a 2-pixel red rim around the letter";
    // The rim lies outside the letter: left of the leftmost white pixel on some row there is red.
    const sf::IntRect ink = Ink(shot);
    bool redLeftOfWhite = false;
    for (int y = ink.top; y < ink.top + ink.height && !redLeftOfWhite; ++y)
        for (int x = ink.left; x < ink.left + ink.width; ++x)
            if (shot.getPixel(x, y) == kWhite)
            {
                redLeftOfWhite = shot.getPixel(x - 1, y) == sf::Color(255, 0, 0);
                break;
            }
    EXPECT_TRUE(redLeftOfWhite);
}

TEST_F(TextboxTest, WordWrapBreaksBeforeTheWordThatOverflowsAndKeepsAWideWordWhole)
{
    auto box = MakeBox(L"box", 0, 0, 100, 0);
    box->getCurrentText()->wordWrap = true;
    box->pushNewText(L"ab cd extraordinarily ef", zel::lineContext::MainLine(), true);
    EXPECT_EQ(box->shownText(), L"ab cd\nextraordinarily\nef");

    auto zero = MakeBox(L"zero", 0, 0, 0, 0);
    zero->getCurrentText()->wordWrap = true;
    zero->pushNewText(L"one two", zel::lineContext::MainLine(), true);
    EXPECT_EQ(zero->shownText(), L"one\ntwo") << "an area width of 0 puts every word on a line of its own";
}

TEST_F(TextboxTest, CharacterWrapFillsEachLineUpToTheWidthAndTheHeightCutsTheRest)
{
    auto box = MakeBox(L"box", 0, 0, 100, 0);
    box->pushNewText(L"abcdefghijklmnopqrstuvwxyz", zel::lineContext::MainLine(), true);
    const std::wstring wrapped = box->shownText();
    ASSERT_NE(wrapped.find(L'\n'), std::wstring::npos);
    sf::Text measure(*box->getCurrentText());
    std::size_t start = 0;
    for (std::size_t feed = wrapped.find(L'\n'); start < wrapped.size(); feed = wrapped.find(L'\n', start))
    {
        const std::wstring line = wrapped.substr(start, feed == std::wstring::npos ? std::wstring::npos : feed - start);
        measure.setString(line);
        EXPECT_LT(measure.findCharacterPos(line.size()).x, 100.f) << "line '" << std::string(line.begin(), line.end());
        if (feed == std::wstring::npos)
            break;
        start = feed + 1;
    }
    box->pushNewText(L"!", zel::lineContext::MainLine(), false);
    EXPECT_EQ(box->shownText(), wrapped + L"!") << "continued text leaves the lines before it alone";

    const float spacing = box->getCurrentText()->getFont()->getLineSpacing(20);
    auto cut = MakeBox(L"cut", 0, 0, 100, static_cast<int>(spacing * 2.5f));
    cut->pushNewText(L"abcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyz", zel::lineContext::MainLine(), true);
    const std::wstring kept = cut->shownText();
    EXPECT_EQ(std::count(kept.begin(), kept.end(), L'\n'), 1) << "two whole lines fit in 2.5 lines";
    EXPECT_EQ(kept, wrapped.substr(0, wrapped.find(L'\n', wrapped.find(L'\n') + 1)));
}

TEST_F(TextboxTest, VerticalTextRunsInColumnsFromTheRightWithTurnedBracketsAndAStopUpperRight)
{
    auto box = MakeBox(L"box", 20, 20, 280, 0, L"jp.ttf", 32);
    zel::sTextbox* state = box->getCurrentText();
    state->vertical = true;
    state->MS_PER_LETTER = 0;
    box->pushNewText(L"「あい」\nう。", zel::lineContext::MainLine(), true);
    state = box->getCurrentText();
    const auto& columns = state->laidOut().columns;
    ASSERT_EQ(columns.size(), 2u);
    ASSERT_EQ(columns[0].size(), 4u);
    ASSERT_EQ(columns[1].size(), 2u);
    EXPECT_EQ(columns[0][0].getRotation(), 90.f);
    EXPECT_EQ(columns[0][3].getRotation(), 90.f);
    EXPECT_EQ(columns[0][1].getRotation(), 0.f);
    const sf::Vector2f a = columns[0][1].getPosition();
    const sf::Vector2f i = columns[0][2].getPosition();
    const sf::Vector2f u = columns[1][0].getPosition();
    const sf::Vector2f stop = columns[1][1].getPosition();
    EXPECT_EQ(a.x, i.x);
    EXPECT_GT(i.y, a.y) << "down the column";
    EXPECT_LT(u.x, a.x) << "the second column stands left of the first";
    EXPECT_GT(stop.x, u.x) << "the full stop moves right in its cell";
    EXPECT_LT(stop.y, u.y + 32 + 8) << "and up";

    const sf::Image shot = CaptureAfter(20);
    const sf::IntRect ink = Ink(shot);
    EXPECT_GT(ink.height, ink.width) << "taller than wide: two columns of four and two";
    EXPECT_GT(ink.left + ink.width, 240) << "the text starts at the right edge of its area";

    // The opening bracket stands turned: a bar along the top and one down the right, nothing at the lower left.
    const sf::FloatRect bracket = columns[0][0].getGlobalBounds();
    const int midX = static_cast<int>(bracket.left + bracket.width / 2);
    const int midY = static_cast<int>(bracket.top + bracket.height / 2);
    const int left = static_cast<int>(bracket.left), top = static_cast<int>(bracket.top);
    const int right = static_cast<int>(bracket.left + bracket.width),
              bottom = static_cast<int>(bracket.top + bracket.height);
    EXPECT_EQ(InkIn(shot, sf::IntRect(left, midY + 1, midX - left - 1, bottom - midY)), 0);
    EXPECT_GT(InkIn(shot, sf::IntRect(midX + 1, midY + 1, right - midX, bottom - midY)), 0);
    EXPECT_GT(InkIn(shot, sf::IntRect(left, top, midX - left, midY - top)), 0);

    // The full stop sits in the upper right of its cell: the cell of a full-width letter one step (32 + 8) under う.
    const sf::IntRect uInk =
        InkBounds(shot, sf::IntRect(static_cast<int>(u.x) - 24, 0, 48, static_cast<int>(u.y) + 10));
    const sf::IntRect dot =
        InkBounds(shot, sf::IntRect(uInk.left - 8, uInk.top + uInk.height + 1, uInk.width + 16, 40));
    ASSERT_GT(uInk.width, 0);
    ASSERT_GT(dot.width, 0);
    EXPECT_GT(dot.left + dot.width / 2, uInk.left + uInk.width / 2) << "right of the column's centre";
    EXPECT_LT(dot.top + dot.height / 2, uInk.top + 40 + uInk.height / 2) << "above the cell's centre";

    // The glyphs take the box's colour as it is now.
    box->setColor(sf::Color(0, 255, 0));
    const sf::Image recoloured = CaptureAfter(20);
    EXPECT_GT(CountOf(recoloured, sf::Color(0, 255, 0)), 100);
    EXPECT_EQ(CountOf(recoloured, kWhite), 0);
}

// A vertical box filled to its last cell: no glyph reaches below the area, and the full-width marks, whose ink is
// centred already, stay in the middle of their column.
TEST_F(TextboxTest, VerticalTextStaysInItsBoxAndItsColumn)
{
    const int top = 40, height = 120; // three cells of 32 + 8; a fourth would hang below
    auto box = MakeBox(L"box", 20, top, 280, height, L"jp.ttf", 32);
    zel::sTextbox* state = box->getCurrentText();
    state->vertical = true;
    state->MS_PER_LETTER = 0;
    box->pushNewText(L"あいうえおかきくけこ！？！？", zel::lineContext::MainLine(), true);
    const sf::IntRect ink = Ink(CaptureAfter(20));
    EXPECT_LE(ink.top + ink.height, top + height) << "nothing hangs below the box";
    const auto& columns = box->getCurrentText()->laidOut().columns;
    ASSERT_EQ(columns.size(), 5u);
    const auto centreX = [](const sf::Text& glyph) {
        const sf::FloatRect bounds = glyph.getGlobalBounds();
        return bounds.left + bounds.width / 2;
    };
    for (std::size_t i = 1; i < columns[3].size(); ++i)
        EXPECT_NEAR(centreX(columns[3][i]), centreX(columns[3][0]), 4.f) << "mark " << i << " off its column's middle";
}

TEST_F(TextboxTest, GoingBackInTheEditorShowsAnEarlierLinesTextWholeWhileALaterOneFlowed)
{
    sysVars().sysTextSpeed = 1000;
    const std::wstring script = L"textbox box 10 10 0 300 0 f.ttf 20\nuseTextbox box\n\"Hello\n~textSize 20\n\"World\n";
    ShowLine(script, 3);
    CaptureAfter(5000);
    ShowLine(script, 5);
    CaptureAfter(20);
    zel::NEntity* box = entities().Find(L"box").get();
    ASSERT_NE(box, nullptr);
    ASSERT_TRUE(box->isTextFlowing());

    // The line under the cursor sets no text: the box shows line 3's text as it was left, not World's flow.
    setNovelScriptText(L"main.txt", script.c_str(), 4, 0);
    const sf::IntRect shown = Ink(CaptureAfter(20));
    EXPECT_EQ(box->shownText(), L"Hello");
    EXPECT_FALSE(box->isTextFlowing());
    EXPECT_GT(shown.width, 30) << "the whole of Hello, at once";
}

TEST_F(TextboxTest, VariablesAreShownLiterallyWhileEditingAndReplacedWhilePlaying)
{
    sysVars().variables[L"name"] = L"Mia";
    auto box = MakeBox(L"box", 0, 0, 300, 0);
    box->pushNewText(L"Hi {{ name }}!", zel::lineContext::MainLine(), true);
    EXPECT_EQ(box->shownText(), L"Hi {{ name }}!");
    sysVars().gameMode = 1;
    box->pushNewText(L"Hi {{ name }}, {{nobody}}.", zel::lineContext::MainLine(), true);
    EXPECT_EQ(box->shownText(), L"Hi Mia, {{nobody}}.");
}

TEST_F(TextboxTest, DialogueLineAppearsInItsBoxWithItsFontSizeColourAndShadow)
{
    sysVars().sysTextSpeed = 0;
    Play(L"textbox small 20 20 0 280 90 f.ttf 30\n"
         L"textbox big 20 120 0 280 110 f.ttf 60\n"
         L"useTextbox small\n"
         L"textColour 0 255 0\n"
         L"textShadow 1 255 0 0\n"
         L"\"Hi\n"
         L"~useTextbox big\n"
         L"textColour 0 255 0\n"
         L"textShadow 0\n"
         L"\"Hi\n");
    const sf::Image shot = CaptureAfter(20);
    const sf::IntRect small = InkBounds(shot, sf::IntRect(0, 0, 320, 110));
    const sf::IntRect big = InkBounds(shot, sf::IntRect(0, 115, 320, 125));
    ASSERT_GT(small.width, 0);
    ASSERT_GT(big.width, 0);
    EXPECT_GE(small.left, 20 - 2) << "inside its box, shadow included";
    EXPECT_GE(small.top, 20 - 2);
    EXPECT_GE(big.top, 120);
    // Twice the character size gives letters twice as tall (the small text's ink holds 2 pixels of shadow above and
    // below).
    EXPECT_NEAR(static_cast<double>(big.height) / (small.height - 4), 2.0, 0.15);
    const sf::Color red(255, 0, 0);
    EXPECT_GT(CountIn(shot, small, sf::Color(0, 255, 0)), 50);
    EXPECT_GT(CountIn(shot, small, red), 40) << "the red shadow around the text";
    EXPECT_GT(CountIn(shot, big, sf::Color(0, 255, 0)), 200);
    EXPECT_EQ(CountIn(shot, big, red), 0) << "no shadow where it is switched off";
}

// A quick layout runs no engine update, so the line shows as soon as it is read; one that has taken longer than a
// frame keeps the engine going between its words (a tween goes on), but queued work waits for the read's end.
TEST_F(TextboxTest, ALayoutKeepsTheEngineGoingOnlyOnceItTakesLongerThanAFrame)
{
    MakeImage("a.png", 8, 8, kWhite);
    sysVars().gameMode = 1;
    Play(L"cg a a.png 0 0 0\ntextbox box 0 100 0 300 0 f.ttf 20\nuseTextbox box\n");
    zel::NEntity* picture = entities().Find(L"a").get();
    ASSERT_NE(picture, nullptr);
    std::wstring longText;
    for (int i = 0; i < 20000; ++i)
        longText += L"word ";
    for (const bool slow : {false, true})
    {
        zel::Tween move;
        move.type = zel::TWEEN_MOVE;
        move.startTime = zel::Clock::Milliseconds();
        move.duration = 0;
        move.targetPos = sf::Vector2f(slow ? 50.f : 20.f, 60.f);
        picture->addTween(move);
        const sf::Vector2f before = picture->getCurrentSprite()->getPosition();
        bool ranWhileReading = false;
        bool ran = false;
        zel::Services::m_deferredCalls.enqueue([&] {
            ran = true;
            ranWhileReading = zel::Parser::Reading();
        });
        zel::MainParser()->setScriptText(L"main.txt", L"\"" + (slow ? longText : std::wstring(L"Hello")) + L"\n",
                                         false);
        zel::MainParser()->GotoLine(1);
        zel::MainParser()->ReadScript(-1);
        EXPECT_EQ(picture->getCurrentSprite()->getPosition() != before, slow)
            << (slow ? "a long layout updates the engine (the tween ran)" : "a quick layout updates nothing");
        EXPECT_FALSE(ran) << "queued work never runs inside the read";
        CaptureAfter(20);
        EXPECT_TRUE(ran);
        EXPECT_FALSE(ranWhileReading);
    }
}

TEST_F(TextboxTest, TheSkinKeepsItsColourUnderColouredTextAndFadesWithTheBox)
{
    const sf::Color panel(200, 200, 200);
    MakeImage("panel.png", 100, 50, panel);
    const std::wstring box = L"textbox box 0 0 5 300 200 f.ttf 20\n";
    const std::wstring script = box + L"useTextbox box\ntextboxSkin panel.png 0 0\ntextColour 255 220 0\n" + box;
    ShowLine(script, 5); // the textbox line run again over the skinned box
    EXPECT_EQ(Capture().getPixel(95, 45), panel);
    zel::Services::Entities()->Find(L"box")->setColor(sf::Color(255, 220, 0, 0)); // a fade's last step
    EXPECT_EQ(Capture().getPixel(95, 45), kBlue) << "the skin fades with the box";
}
