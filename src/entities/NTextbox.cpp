#include "entities/NTextbox.h"

#include "core/Assert.h"
#include "core/Services.h"
#include "resources/Logger.h"
#include "resources/NHelper.h"
#include "resources/ResourcePool.h"
#include "script/Parser.h"

#include <algorithm>
#include <cmath>
#include <chrono>
#include <cwctype>

namespace zel
{

void sTextbox::setPooledFont(const std::shared_ptr<Font>& pooled)
{
    font = pooled;
    if (font != nullptr)
        setFont(font->font);
}

const LaidOutText& sTextbox::laidOut() const
{
    static const LaidOutText kNone;
    return run != nullptr ? run->laidOut() : kNone;
}

sf::Text sTextbox::shaped() const
{
    sf::Text text(*this);
    text.setString(laidOut().string);
    return text;
}

void sTextbox::setPlainText(const std::wstring& string)
{
    run = std::make_shared<const TextRun>(run, string);
}

namespace
{
/// What laying out reads of a state: the SFML look, the pooled font, the area and the wrapping; not the skin, the
/// icon or the text run, which a run has no use for.
sTextbox LayoutLook(const sTextbox& state)
{
    sTextbox look;
    static_cast<sf::Text&>(look) = state;
    look.font = state.font;
    look.areaWidth = state.areaWidth;
    look.areaHeight = state.areaHeight;
    look.wordWrap = state.wordWrap;
    look.vertical = state.vertical;
    return look;
}
} // namespace

TextRun::TextRun(std::shared_ptr<const TextRun> before, std::wstring pushed, bool newLine, bool heightCut,
                 const sTextbox& look)
    : m_before(std::move(before)), m_pushed(std::move(pushed)), m_newLine(newLine), m_heightCut(heightCut),
      m_look(LayoutLook(look)), m_mayHaveColumns(look.vertical || (m_before != nullptr && m_before->m_mayHaveColumns))
{
    // A new vertical text starts from nothing; a new horizontal text keeps only the columns of vertical text that
    // came before it (drawn no longer, but a later vertical continuation goes on from them). Without such columns
    // nothing of the text before is needed.
    const bool verticalAnew = m_look.vertical && m_look.getFont() != nullptr; // without a font, nothing changes
    if (m_newLine && (verticalAnew || m_before == nullptr || !m_before->m_mayHaveColumns))
        m_before = nullptr;
}

TextRun::TextRun(const std::shared_ptr<const TextRun>& before, const std::wstring& string)
    : m_mayHaveColumns(before != nullptr && before->m_mayHaveColumns),
      m_laidOut(std::make_unique<LaidOutText>(before != nullptr ? before->laidOut() : LaidOutText()))
{
    m_laidOut->string = string;
}

TextRun::~TextRun()
{
    // A long history of continued texts is let go one run at a time, not by one destructor calling the next.
    std::shared_ptr<const TextRun> next = std::move(m_before);
    while (next != nullptr && next.use_count() == 1)
    {
        // The last owner of next: nothing else sees it while its link is taken.
        std::shared_ptr<const TextRun> after = std::move(const_cast<TextRun&>(*next).m_before);
        next = std::move(after);
    }
}

const LaidOutText& TextRun::laidOut() const
{
    if (m_laidOut == nullptr)
        layOut(nullptr);
    return *m_laidOut;
}

void TextRun::layOut(const std::function<void()>& step) const
{
    if (m_laidOut != nullptr)
        return;
    // The runs this one builds on that are not laid out yet, newest first; laid out oldest first.
    std::vector<const TextRun*> waiting;
    for (const TextRun* run = m_before.get(); run != nullptr && run->m_laidOut == nullptr; run = run->m_before.get())
        waiting.push_back(run);
    for (auto run = waiting.rbegin(); run != waiting.rend(); ++run)
        (*run)->LayOutOnBefore(nullptr);
    LayOutOnBefore(step);
}

void TextRun::LayOutOnBefore(const std::function<void()>& step) const
{
    auto laid = std::make_unique<LaidOutText>(m_before != nullptr ? *m_before->m_laidOut : LaidOutText());
    if (m_look.vertical)
        TextLayout::Vertical(*laid, m_look, m_pushed, m_newLine, -1, step);
    else
        TextLayout::Horizontal(*laid, m_look, m_pushed, m_newLine, m_heightCut, step);
    m_laidOut = std::move(laid);
}

bool TextRun::continues(const TextRun* earlier, int maxSteps) const
{
    if (earlier == nullptr)
        return true;
    for (const TextRun* run = this; run != nullptr && maxSteps-- > 0; run = run->m_before.get())
        if (run == earlier)
            return true;
    return false;
}

namespace
{
/// How far back a push looks for the text a running flow began with, before it measures instead.
constexpr int kShortHistory = 64;

/// Trims white space from both ends.
std::wstring Trimmed(const std::wstring& text)
{
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && std::iswspace(text[first]))
        ++first;
    while (last > first && std::iswspace(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

} // namespace

std::shared_ptr<NTextbox> NTextbox::From(const EntityPtr& entity)
{
    if (entity == nullptr || entity->nType != NTYPE_TEXTBOX)
        return nullptr;
    return std::dynamic_pointer_cast<NTextbox>(entity);
}

std::shared_ptr<NTextbox> NTextbox::Current()
{
    SystemVariables* sysVars = Services::SysVars();
    const EntityRegistry* entities = Services::Entities();
    if (sysVars == nullptr || entities == nullptr)
        return nullptr;
    return From(entities->Find(sysVars->curUseTextareaName.get(true)));
}

std::wstring NTextbox::SubstituteVariables(const std::wstring& text)
{
    const SystemVariables* sysVars = Services::SysVars();
    if (sysVars == nullptr || lineContext::Editing())
        return text;
    std::wstring result = text;
    std::size_t open = result.find(L"{{");
    while (open != std::wstring::npos)
    {
        const std::size_t close = result.find(L"}}", open + 2);
        if (close == std::wstring::npos)
            break;
        auto variable = sysVars->variables.find(Trimmed(result.substr(open + 2, close - open - 2)));
        std::size_t next = open + 2;
        if (variable != sysVars->variables.end())
        {
            result.replace(open, close + 2 - open, variable->second);
            next = open + variable->second.size(); // a value is never searched again
        }
        open = result.find(L"{{", next);
    }
    return result;
}

float NTextbox::TextHeight(const sf::Text& text, const std::wstring& string)
{
    if (text.getFont() == nullptr || string.empty())
        return 0.f;
    const float lines = static_cast<float>(NHelper::CountOf(string, L'\n') + 1);
    return lines * text.getFont()->getLineSpacing(text.getCharacterSize());
}

// ---------------------------------------------------------------------------------------------------------------
// Horizontal layout

namespace
{
/// Measures how far a run of characters advances a line in the look of a text (its font, size, style and letter
/// spacing), the way the text itself places its characters, so that a line's width grows by what is added to it.
class LineMeasure
{
public:
    explicit LineMeasure(const sf::Text& look)
        : m_font(look.getFont()), m_size(look.getCharacterSize()), m_bold((look.getStyle() & sf::Text::Bold) != 0)
    {
        if (m_font == nullptr)
            return;
        const float whitespace = m_font->getGlyph(L' ', m_size, m_bold).advance;
        m_letterSpacing = (whitespace / 3.f) * (look.getLetterSpacing() - 1.f);
        m_whitespace = whitespace + m_letterSpacing;
    }

    /// The advance of run after the character prev (0: at the start of a line); run holds no line feed.
    float Advance(const std::wstring& run, wchar_t prev) const
    {
        if (m_font == nullptr)
            return 0.f;
        float x = 0.f;
        for (wchar_t c : run)
        {
            x += m_font->getKerning(static_cast<sf::Uint32>(prev), static_cast<sf::Uint32>(c), m_size);
            prev = c;
            if (c == L' ')
                x += m_whitespace;
            else if (c == L'\t')
                x += m_whitespace * 4;
            else
                x += m_font->getGlyph(static_cast<sf::Uint32>(c), m_size, m_bold).advance + m_letterSpacing;
        }
        return x;
    }

private:
    const sf::Font* m_font;
    unsigned m_size;
    bool m_bold;
    float m_letterSpacing = 0.f;
    float m_whitespace = 0.f;
};

/// The text after the last line feed.
std::wstring LastLine(const std::wstring& text)
{
    const std::size_t feed = text.rfind(L'\n');
    return feed == std::wstring::npos ? text : text.substr(feed + 1);
}

/// The text before the first line feed.
std::wstring FirstLine(const std::wstring& text)
{
    return text.substr(0, text.find(L'\n'));
}

/// The text grown by one word or character, as long as the area's height allows. The current line's width is kept
/// as it grows, so each step measures only what it adds.
class HorizontalBuilder
{
public:
    HorizontalBuilder(const sTextbox& state, std::wstring start, bool heightCut)
        : m_measure(state), m_result(std::move(start)), m_lines(NHelper::CountOf(m_result, L'\n') + 1),
          m_spacing(state.getFont() != nullptr ? state.getFont()->getLineSpacing(state.getCharacterSize()) : 0.f),
          m_maxHeight(heightCut && state.areaHeight != 0 ? static_cast<float>(state.areaHeight) : 0.f)
    {
        StartLine(LastLine(m_result));
    }

    /// Adds piece, or breaks the line and adds brokenPiece when breakBefore says so. False when that would make the
    /// text taller than the area: nothing is added, and nothing after it should be.
    bool Add(const std::wstring& piece, const std::wstring& brokenPiece, bool breakBefore)
    {
        const std::wstring added = breakBefore ? L"\n" + brokenPiece : piece;
        const std::size_t feeds = NHelper::CountOf(added, L'\n');
        if (feeds > 0 && m_maxHeight > 0.f && static_cast<float>(m_lines + feeds) * m_spacing > m_maxHeight)
            return false;
        m_result += added;
        m_lines += feeds;
        if (feeds > 0)
            StartLine(LastLine(added));
        else if (!added.empty())
        {
            m_lineWidth += m_measure.Advance(added, m_lastChar);
            m_lastChar = added.back();
        }
        return true;
    }

    /// Width of the current line with extra (up to extra's first line feed) added.
    float WidthWith(const std::wstring& extra) const
    {
        return m_lineWidth + m_measure.Advance(FirstLine(extra), m_lastChar);
    }
    bool LineEmpty() const { return m_lastChar == 0; }
    std::wstring& Result() { return m_result; }

private:
    void StartLine(const std::wstring& line)
    {
        m_lineWidth = m_measure.Advance(line, 0);
        m_lastChar = line.empty() ? 0 : line.back();
    }

    LineMeasure m_measure;
    std::wstring m_result;
    std::size_t m_lines;
    float m_spacing;
    float m_maxHeight; ///< 0: no cut
    float m_lineWidth = 0.f;
    wchar_t m_lastChar = 0; ///< 0 while the current line is empty
};

/// The words of text, cut at every single space (two spaces give an empty word between them).
std::vector<std::wstring> Words(const std::wstring& text)
{
    std::vector<std::wstring> words;
    std::size_t start = 0;
    for (std::size_t space = text.find(L' '); space != std::wstring::npos; space = text.find(L' ', start))
    {
        words.push_back(text.substr(start, space - start));
        start = space + 1;
    }
    words.push_back(text.substr(start));
    return words;
}

void WrapWords(HorizontalBuilder& builder, const std::wstring& text, const sTextbox& state,
               const std::function<void()>& step)
{
    const std::vector<std::wstring> words = Words(text);
    for (std::size_t i = 0; i < words.size(); ++i)
    {
        const std::wstring piece = i == 0 ? words[i] : L" " + words[i];
        // A word on an empty line stays there, however wide: breaking before it would only add an empty line.
        const bool tooWide = !builder.LineEmpty() && builder.WidthWith(piece) > static_cast<float>(state.areaWidth);
        if (!builder.Add(piece, words[i], tooWide))
            return;
        if (step)
            step();
    }
}

void WrapCharacters(HorizontalBuilder& builder, const std::wstring& text, const sTextbox& state,
                    const std::function<void()>& step)
{
    for (wchar_t c : text)
    {
        const std::wstring piece(1, c);
        const bool tooWide = c != L'\n' && state.areaWidth != 0 && !builder.LineEmpty() &&
                             builder.WidthWith(piece) >= static_cast<float>(state.areaWidth);
        if (!builder.Add(piece, piece, tooWide))
            return;
        if (step)
            step();
    }
}
} // namespace

void TextLayout::Horizontal(LaidOutText& laid, const sTextbox& look, const std::wstring& text, bool newLine,
                            bool heightCut, const std::function<void()>& step)
{
    HorizontalBuilder builder(look, newLine ? std::wstring() : std::move(laid.string), heightCut);
    if (look.wordWrap)
        WrapWords(builder, text, look, step);
    else
        WrapCharacters(builder, text, look, step);
    laid.string = std::move(builder.Result());
}

// ---------------------------------------------------------------------------------------------------------------
// Vertical layout

namespace
{
bool In(const wchar_t* set, wchar_t c)
{
    return c != 0 && std::wcschr(set, c) != nullptr;
}

const wchar_t* const kDot = L".";
const wchar_t* const kBlank = L" \u3000";
const wchar_t* const kBracket = L"[]{}():\u300C\u300D\uFF5B\uFF5D\uFF08\uFF09\uFF1A";
const wchar_t* const kRotated = L"[]{}()-~:\u300C\u300D\uFF5B\uFF5D\uFF08\uFF09\u30FC\uFF5E\uFF1A";
const wchar_t* const kPunctuation = L".,'\"\u3002\u3001\uFF0E\u2019\u201D";
const wchar_t* const kStops = L".\uFF0E";
const wchar_t* const kQuotes = L"'\"\u2019\u201D";
const wchar_t* const kMarks = L"?!\uFF1F\uFF01";

struct VerticalMetrics
{
    int c = 0;     ///< character size
    float s = 0.f; ///< line spacing: the distance between columns
    int gap = 0;   ///< space between two characters of a column
    int top = 0;
    int startX = 0; ///< the first (rightmost) column
    int areaHeight = 0;
};

VerticalMetrics MetricsOf(const sTextbox& state)
{
    VerticalMetrics m;
    m.c = static_cast<int>(state.getCharacterSize());
    m.s = state.getFont()->getLineSpacing(state.getCharacterSize());
    m.gap = static_cast<int>(m.c * 0.25);
    m.top = static_cast<int>(state.getPosition().y);
    m.startX = static_cast<int>(static_cast<float>(state.areaWidth) + state.getPosition().x) - m.c;
    m.areaHeight = state.areaHeight;
    return m;
}

/// Moves y for ch after prev, so that small marks and blanks take less room.
void SpaceBefore(wchar_t ch, wchar_t prev, const VerticalMetrics& m, int& y)
{
    if (In(kDot, ch))
        y -= static_cast<int>(m.c * 0.75);
    else if (In(kBlank, ch))
    {
        y -= m.c;
        if (!In(kBracket, prev))
            y += m.gap;
    }
    else if (In(kBracket, ch) && In(kBracket, prev))
        y -= static_cast<int>(m.c * 0.75);
}

/// Turns brackets and long marks sideways and moves stops and quotes to their place in the cell.
void SetGlyphPose(sf::Text& glyph, wchar_t ch, const VerticalMetrics& m)
{
    const float c = static_cast<float>(m.c);
    const sf::FloatRect bounds = glyph.getLocalBounds();
    if (In(kRotated, ch))
    {
        glyph.setRotation(90.f);
        glyph.move(0.f, static_cast<float>((m.c + m.gap) / 4));
    }
    else if (In(kPunctuation, ch))
    {
        glyph.setRotation(0.f);
        if (In(kStops, ch))
            glyph.move(c / 2 - bounds.width / 2, 0.f);
        else if (In(kQuotes, ch))
            glyph.move(c / 2, c / 2 - bounds.height / 2);
        else
            glyph.move(c / 2, -c / 2);
    }
    else if (In(kMarks, ch))
    {
        glyph.setRotation(0.f);
        // A narrow mark goes to the middle of its cell; a full-width one is drawn there already.
        const bool inkCentred = std::abs(bounds.left + bounds.width / 2 - c / 2) <= c / 8;
        if (!inkCentred)
            glyph.move(c / 2 - bounds.width / 2, 0.f);
    }
    else
        glyph.setRotation(0.f);
}

sf::Text MakeGlyph(const sTextbox& state, wchar_t ch, const VerticalMetrics& m)
{
    sf::Text glyph(state);
    glyph.setString(sf::String(static_cast<sf::Uint32>(ch)));
    glyph.setPosition(0.f, 0.f);
    glyph.setRotation(0.f);
    glyph.setScale(1.f, 1.f);
    glyph.setOrigin(m.s / 2, static_cast<float>(m.c) / 2);
    return glyph;
}
} // namespace

bool TextLayout::Vertical(LaidOutText& laid, const sTextbox& look, const std::wstring& text, bool newLine,
                          int onlyModifyVertLine, const std::function<void()>& step)
{
    if (look.getFont() == nullptr)
        return false;
    const VerticalMetrics m = MetricsOf(look);
    std::size_t column = 0;
    if (onlyModifyVertLine == -1)
    {
        if (newLine)
        {
            laid.string = text;
            laid.columns.clear();
            laid.columnX = m.startX;
            laid.rowY = m.top;
        }
        else
            laid.string += text;
    }
    else
    {
        if (onlyModifyVertLine < 0 || onlyModifyVertLine >= static_cast<int>(laid.columns.size()))
        {
            OutputDebugStringN(L"\nERROR. onlyModifyVertLine >= vert_lines.size() \n");
            return false;
        }
        column = static_cast<std::size_t>(onlyModifyVertLine);
        laid.columnX = m.startX - static_cast<int>(m.s * static_cast<float>(onlyModifyVertLine));
        laid.rowY = m.top;
        laid.columns[column].clear();
    }
    if (laid.columns.empty())
    {
        laid.columns.emplace_back();
        laid.columnX = m.startX;
        laid.rowY = m.top;
    }
    if (onlyModifyVertLine == -1)
        column = laid.columns.size() - 1;
    auto newColumn = [&] {
        laid.columns.emplace_back();
        column = laid.columns.size() - 1;
        laid.rowY = m.top;
        laid.columnX -= static_cast<int>(m.s);
    };
    for (std::size_t i = 0; i < text.size(); ++i)
    {
        const wchar_t ch = text[i];
        if (ch == L'\n')
        {
            newColumn();
            continue;
        }
        const wchar_t prev = i > 0 ? text[i - 1] : 0;
        auto place = [&] {
            sf::Text glyph = MakeGlyph(look, ch, m);
            if (i > 0 && prev != L'\n')
                SpaceBefore(ch, prev, m, laid.rowY);
            glyph.setPosition(static_cast<float>(laid.columnX), static_cast<float>(laid.rowY));
            SetGlyphPose(glyph, ch, m);
            return glyph;
        };
        sf::Text glyph = place();
        // A glyph that would reach below the area starts the next column (a height of 0 sets no limit, as for
        // horizontal text); the first glyph of a column stays, however tall.
        const sf::FloatRect ink = glyph.getGlobalBounds();
        if (m.areaHeight != 0 && !laid.columns[column].empty() && ink.top + ink.height > m.top + m.areaHeight)
        {
            newColumn();
            glyph = place();
        }
        laid.columns[column].push_back(glyph);
        laid.rowY += m.c + m.gap;
        if (step)
            step();
    }
    return true;
}

// ---------------------------------------------------------------------------------------------------------------
// The text box

NTextbox::NTextbox(NType type, std::wstring entityName, int areaWidth, int areaHeight, int entityLayer, int createdLine)
    : NEntity(type, std::move(entityName), entityLayer)
{
    sTextbox initial;
    initial.areaWidth = areaWidth;
    initial.areaHeight = areaHeight;
    m_TextStates.entries()[createdLine] = initial;
}

sTextbox* NTextbox::getCurrentText()
{
    sTextbox* state = m_TextStates.latest(true);
    QH_ASSERT(state != nullptr, L"m_TextStates.empty( ) == false", L"Entity", 1107);
    return state;
}

sTextbox* NTextbox::pushTextState(int line)
{
    const bool mainScript = Services::pNParser == nullptr || Services::pNParser->m_parserDeque.empty() ||
                            Services::pNParser->m_parserDeque.back()->parserKind == PARSER_MAIN;
    // The state the box was created with stays: a change on its creating line builds on it.
    if (lineContext::Editing() && mainScript)
        m_TextStates.keepBefore(std::max(line, getCreatedLine() + 1));
    const sTextbox* latest = m_TextStates.latest(false);
    if (latest == nullptr)
        return nullptr;
    m_TextStates.set(sTextbox(*latest), true);
    return m_TextStates.latest(false);
}

sSprite* NTextbox::pushNewState(int line)
{
    pushTextState(line);
    return nullptr;
}

namespace
{
/// What runs between the words of a layout while playing. A layout that has already taken longer than a frame (on
/// a slow machine, a very long text) keeps the engine going, so that animations do not stall; a quick one runs
/// nothing, and the line shows as soon as it is read. Real time, not the engine clock: this is about the machine.
constexpr auto kLayoutFrame = std::chrono::milliseconds(16);

std::function<void()> LayoutStep(bool vertical)
{
    const auto start = std::chrono::steady_clock::now();
    return [start, vertical] {
        if (std::chrono::steady_clock::now() - start <= kLayoutFrame)
            return;
        const SystemVariables* sysVars = Services::SysVars();
        if (!vertical || (sysVars != nullptr && sysVars->updatesPerSecond < 60))
            Services::UpdateEngine(true, false);
    };
}
} // namespace

void NTextbox::pushNewText(const std::wstring& text, int line, bool newLine, TextPush how)
{
    sTextbox* state = pushTextState(line);
    if (state == nullptr)
        return;
    const std::shared_ptr<const TextRun> before = state->run;
    state->run = std::make_shared<const TextRun>(before, SubstituteVariables(text), newLine, how.heightCut, *state);
    // While playing, the text is laid out at once; while editing, when it is first shown or measured.
    if (how.engineUpdates && !lineContext::Editing())
        state->run->layOut(LayoutStep(state->vertical));
    if (newLine)
    {
        m_shownRun = nullptr;
        m_shownLetters = 0;
        OutputDebugStringN(L"[NTextbox::pushNewText] PUSH NEW LINE. name:%s \n", name.c_str());
    }
    else if (!m_flowActive)
    {
        m_shownRun = before;
        m_shownLetters = 0;
    }
    else if (m_flowedLetters == 0 && m_shownLetters == 0 &&
             (before == nullptr ? m_shownRun == nullptr : before->continues(m_shownRun.get(), kShortHistory)))
    {
        // A flow that has shown nothing of its own, over text that the text before this push continues: what it
        // showed is all still there, so it stays as it is.
    }
    else
    {
        const int old = static_cast<int>(before != nullptr ? before->laidOut().string.size() : 0);
        m_shownLetters = std::min(ShownBeforeFlow() + m_flowedLetters, old);
        m_shownRun = nullptr;
    }
    m_flowedLetters = 0;
    m_flowActive = true;
    m_timerResetRequest = true;
    m_flowStarted = false;
}

void NTextbox::Update()
{
    if (lineContext::Editing())
    {
        const std::size_t before = m_TextStates.entries().size();
        m_TextStates.pruneAfter(lineContext::MainLine());
        // The editor went back before the text that was flowing: the text of that line is shown as it was left.
        if (m_TextStates.entries().size() != before)
            m_flowActive = false;
    }
    // A flowing text shows more letters as time passes; a shown wait icon blinks every IconBlinkMs, where it stands.
    if (m_flowActive)
        ReportChange();
    else if (m_iconShown && Clock::MillisecondsSince(m_iconToggle) >= IconBlinkMs)
        ReportChange(m_iconArea);
    NEntity::Update();
}

int NTextbox::getCreatedLine() const
{
    const auto& states = m_TextStates.entries();
    return states.empty() ? -1 : states.begin()->first;
}

std::wstring NTextbox::shownText() const
{
    const auto& states = m_TextStates.entries();
    return states.empty() ? std::wstring() : states.rbegin()->second.text();
}

sf::Color NTextbox::getColor()
{
    const sTextbox* state = getCurrentText();
    return state != nullptr ? state->getFillColor() : sf::Color(0, 0, 0, 0);
}

void NTextbox::setColor(const sf::Color& colour)
{
    sTextbox* state = getCurrentText();
    if (state == nullptr)
        return;
    // The skin keeps its own colour: it is drawn with the text's alpha only (DrawSkin), so a fade reaches it and
    // yellow letters do not turn a light panel yellow.
    state->setFillColor(colour);
}

bool NTextbox::loadSkin(const std::wstring& fileName, float x, float y)
{
    sTextbox* state = getCurrentText();
    auto skin = std::make_shared<sSprite>();
    if (state == nullptr || !skin->loadTexture(fileName))
    {
        OutputDebugStringN(L"\nERROR. NText. texture does not exist:%s %s \n", fileName.c_str(), ScriptPlace().c_str());
        return false;
    }
    skin->setPosition(x, y);
    state->skin = std::move(skin);
    state->skinFile = fileName;
    return true;
}

bool NTextbox::loadWaitIcon(const std::wstring& fileName)
{
    sTextbox* state = getCurrentText();
    auto icon = std::make_shared<sSprite>();
    if (state == nullptr || !icon->loadTexture(fileName))
    {
        OutputDebugStringN(L"\nERROR. [loadTextWaitIconFromFile] texture does not exist:%s %s \n", fileName.c_str(),
                           ScriptPlace().c_str());
        return false;
    }
    state->waitIcon = std::move(icon);
    state->waitIconFile = fileName;
    return true;
}

void NTextbox::setVisible(bool visible)
{
    if (sTextbox* state = getCurrentText())
        state->visible = visible;
}

int NTextbox::ShownBeforeFlow() const
{
    return m_shownLetters + static_cast<int>(m_shownRun != nullptr ? m_shownRun->laidOut().string.size() : 0);
}

double NTextbox::FlowElapsedMs() const
{
    return m_flowActive && m_flowStarted ? static_cast<double>(Clock::MillisecondsSince(m_flowStart)) : 0.0;
}

void NTextbox::ShowWholeText()
{
    const auto& states = m_TextStates.entries();
    m_shownRun = states.empty() ? nullptr : states.rbegin()->second.run;
    m_shownLetters = 0;
    m_flowedLetters = 0;
    m_flowActive = false;
    m_timerResetRequest = false;
}

// ---------------------------------------------------------------------------------------------------------------
// Drawing

void NTextbox::Draw(int)
{
    sTextbox* state = getCurrentText();
    if (state == nullptr || !state->visible)
        return;
    DrawSkin(*state, inCamera());
    if (Parser::Reading())
    {
        // The script is still being read (a layout runs engine updates): keep showing what was there before.
        auto shown = m_TextStates.entries().find(m_lastDrawnLine);
        if (m_hasLastDrawn && shown != m_TextStates.entries().end() && shown->second.getFont() != nullptr)
            DrawTextWithShadow(shown->second, -1);
        return;
    }
    m_lastDrawnLine = m_TextStates.entries().rbegin()->first;
    m_hasLastDrawn = true;
    const SystemVariables* sysVars = Services::SysVars();
    if (sysVars == nullptr)
        return;
    const int v = state->MS_PER_LETTER;
    const bool instant = (!sysVars->tweenAnimationDisplay && lineContext::Editing()) || sysVars->textReadMethod == 2;
    if ((v != -1 || sysVars->sysTextSpeed != 0) && v != 0 && m_flowActive && !instant)
    {
        if (v == -1 || v > 0)
            DrawFlowText(*state, v);
        else
            DebuggerOutput(L"\nERROR: INVALID MS_PER_LETTER \n");
        return;
    }
    DrawWholeText(*state, true);
}

void NTextbox::DrawFlowText(const sTextbox& state, int msPerLetter)
{
    if (m_timerResetRequest)
    {
        OutputDebugStringN(L"[NTextbox::DrawFlowText] FLOW TIMER RESET \n");
        m_flowStart = Clock::Now();
        m_timerResetRequest = false;
        m_flowStarted = true;
    }
    const int length = static_cast<int>(state.laidOut().string.size());
    const int shownBefore = ShownBeforeFlow();
    const double elapsed = static_cast<double>(Clock::MillisecondsSince(m_flowStart));
    const SystemVariables* sysVars = Services::SysVars();
    int speed = msPerLetter;
    if (speed == -1 && sysVars != nullptr)
        speed = sysVars->textReadMethod == 1 ? sysVars->sysAutoSpeed : sysVars->sysTextSpeed;
    // A speed of 0 (automatic reading without an automatic speed) reveals everything at once.
    m_flowedLetters = speed > 0 ? static_cast<int>(elapsed / speed) : length;
    if (shownBefore + m_flowedLetters >= length)
    {
        m_flowActive = false;
        ReportChange(); // the next frame shows the whole text, with the wait icon
        OutputDebugStringN(L"TEXT FLOW FINISHED. passedTime:%fms \n", elapsed);
    }
    DrawTextWithShadow(state, std::min(shownBefore + m_flowedLetters, length));
}

bool NTextbox::IsTextboxInUse()
{
    SystemVariables* sysVars = Services::SysVars();
    return sysVars != nullptr && sysVars->curUseTextareaName.get(true) == name;
}

void NTextbox::DrawWholeText(const sTextbox& state, bool withIcon)
{
    // Everything is revealed now, so no flow is running any longer (input and automatic reading rely on it).
    m_flowActive = false;
    m_iconShown = false;
    DrawTextWithShadow(state, -1);
    if (!withIcon || state.laidOut().string.empty())
        return;
    const std::shared_ptr<Parser> parser = CurParser();
    const SystemVariables* sysVars = Services::SysVars();
    if ((parser != nullptr && parser->m_ParserState == SYNC_EXEC) || sysVars == nullptr || sysVars->gameMode != 1 ||
        !tweens.empty() || !IsTextboxInUse())
        return;
    DrawWaitingForUserInputIcon(state);
}

void NTextbox::DrawTextWithShadow(const sTextbox& state, int letters)
{
    const bool useCamera = inCamera();
    const LaidOutText& laid = state.laidOut();
    if (state.vertical)
    {
        const std::size_t glyphs = letters < 0
                                       ? std::wstring::npos
                                       : static_cast<std::size_t>(letters) -
                                             NHelper::CountOf(laid.string, L'\n', static_cast<std::size_t>(letters));
        std::size_t drawn = 0;
        for (const auto& column : laid.columns)
            for (const sf::Text& glyph : column)
            {
                if (drawn++ >= glyphs)
                    return;
                sf::Text coloured(glyph);
                coloured.setFillColor(state.getFillColor());
                Services::DrawText(coloured, useCamera);
            }
        return;
    }
    sf::Text text(state);
    text.setString(letters < 0 ? laid.string : laid.string.substr(0, static_cast<std::size_t>(letters)));
    DrawShadowed(text, state, useCamera);
}

void NTextbox::DrawSkin(const sTextbox& look, bool useCamera)
{
    if (look.skin == nullptr)
        return;
    sSprite skin = *look.skin;
    sf::Color colour = skin.getColor();
    colour.a = look.getFillColor().a;
    skin.setColor(colour);
    Services::DrawState(skin, useCamera);
}

void NTextbox::DrawShadowed(const sf::Text& text, const sTextbox& look, bool useCamera)
{
    if (look.shadow == 1)
    {
        sf::Text shadow(text);
        sf::Color colour = look.shadowColour;
        colour.a = text.getFillColor().a;
        shadow.setFillColor(colour);
        const sf::Vector2f at = text.getPosition();
        for (const sf::Vector2f offset :
             {sf::Vector2f(2, 0), sf::Vector2f(-2, 0), sf::Vector2f(0, 2), sf::Vector2f(0, -2)})
        {
            shadow.setPosition(at + offset);
            Services::DrawText(shadow, useCamera);
        }
    }
    Services::DrawText(text, useCamera);
}

namespace
{
/// The icon a text box shows: its own, else the one every text box shares; null when there is neither.
const sSprite* WaitIcon(const sTextbox& state)
{
    if (state.waitIcon != nullptr && state.waitIcon->hasTexture())
        return state.waitIcon.get();
    const EntityRegistry* entities = Services::Entities();
    if (entities == nullptr || entities->pWaitIcon == nullptr)
        return nullptr;
    const sSprite* shared = entities->pWaitIcon->m_SpriteStates.latest(false);
    return shared != nullptr && shared->hasTexture() ? shared : nullptr;
}

/// Horizontal text: just right of the end of the last line, bottom-aligned with the text. Vertical text: at the
/// column cursor, centred on the column.
sf::Vector2f WaitIconPosition(const sTextbox& state, sf::Vector2f iconSize)
{
    if (state.vertical)
    {
        const LaidOutText& laid = state.laidOut();
        return sf::Vector2f(static_cast<float>(laid.columnX) - iconSize.x / 2,
                            static_cast<float>(laid.rowY) - static_cast<float>(state.getCharacterSize()) / 2);
    }
    const sf::Text shaped = state.shaped();
    const sf::Vector2f end = shaped.findCharacterPos(shaped.getString().getSize());
    const sf::FloatRect bounds = shaped.getGlobalBounds();
    return sf::Vector2f(end.x + 2.f, bounds.top + bounds.height - iconSize.y);
}
} // namespace

void NTextbox::DrawWaitingForUserInputIcon(const sTextbox& state)
{
    const sSprite* icon = WaitIcon(state);
    if (icon == nullptr)
    {
        if (!m_missingIconLogged)
            OutputDebugStringN(L"\nERROR. [DrawWaitingForUserInputIcon] user input icon pSprite == nullptr\n");
        m_missingIconLogged = true;
        return;
    }
    m_missingIconLogged = false;
    m_iconShown = true;
    const std::wstring text = state.text();
    if (text != m_iconSeenText)
    {
        m_iconSeenText = text;
        m_iconVisible = true;
        m_iconToggle = Clock::Now();
    }
    else if (Clock::MillisecondsSince(m_iconToggle) >= IconBlinkMs)
    {
        m_iconVisible = !m_iconVisible;
        m_iconToggle = Clock::Now();
    }
    sSprite drawn(*icon);
    const sf::FloatRect bounds = drawn.getGlobalBounds();
    drawn.setPosition(WaitIconPosition(state, sf::Vector2f(bounds.width, bounds.height)));
    m_iconArea = drawn.getGlobalBounds();
    if (inCamera())
        m_iconArea = Services::CameraTransform().transformRect(m_iconArea);
    if (!m_iconVisible)
        return;
    sf::Color colour = drawn.getColor();
    colour.a = state.getFillColor().a;
    drawn.setColor(colour);
    Services::DrawState(drawn, inCamera());
}

} // namespace zel
