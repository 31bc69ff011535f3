#pragma once
// A text box: dialogue, narration and labels. Each script line's look and text is one text state. A state records
// the text its line pushed, not a laid-out copy: the text is laid out into the text area (word wrap, character wrap,
// or vertical columns set the Japanese way) when it is first shown or measured, and kept. It is then revealed letter
// by letter, after which a blinking icon asks the reader to click.

#include "core/Clock.h"
#include "entities/Entity.h"
#include "entities/NSprite.h"

#include <SFML/Graphics/Text.hpp>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zel
{

class Font;
class TextRun;

/// Text laid out into a text area: the string with the line breaks the layout put in, and for vertical text the
/// glyphs column by column (from the right) with the layout cursor after the last one.
struct LaidOutText
{
    std::wstring string;
    std::vector<std::vector<sf::Text>> columns;
    int columnX = 0;
    int rowY = 0;
};

/// One line's look and text of a text box: the look is the SFML text's (font, size, style, colour, transform; its
/// own string stays empty), the text is the run of pushes that made it, laid out on first use.
class sTextbox : public sf::Text
{
public:
    /// The laid-out text as a wide string.
    std::wstring text() const { return laidOut().string; }
    /// The text as laid out (empty when none was pushed).
    const LaidOutText& laidOut() const;
    /// The look with the laid-out string: for measuring and drawing.
    sf::Text shaped() const;
    /// Replaces the text as it stands, without laying it out (labels, and emptied boxes).
    void setPlainText(const std::wstring& string);
    /// Sets the font and keeps the pooled font alive with this state.
    void setPooledFont(const std::shared_ptr<Font>& pooled);

    bool visible = true;
    std::shared_ptr<sSprite> skin;
    std::wstring skinFile;
    std::shared_ptr<sSprite> waitIcon; ///< empty: the registry's icon is used
    std::wstring waitIconFile;
    std::shared_ptr<Font> font;
    int areaWidth = 0;      ///< wrapping width in pixels; 0 = no wrapping
    int areaHeight = 0;     ///< text taller than this is cut; 0 = no limit
    int MS_PER_LETTER = -1; ///< -1: the system speed; 0: no flow
    sf::Color shadowColour{0, 0, 0, 255};
    int shadow = 1; ///< 1 = drawn with a shadow
    bool wordWrap = false;
    bool vertical = false;
    /// The newest push of text and those it continues; null while no text was pushed.
    std::shared_ptr<const TextRun> run;
};

/// What one line did to a text box's text: the text it pushed, replacing or continuing the text before, in the look
/// the line gave the box. Laid out when first needed; runs that continue a text lay out the runs before them first.
class TextRun
{
public:
    /// before: the run the state held until now. The look's own run is not kept.
    TextRun(std::shared_ptr<const TextRun> before, std::wstring pushed, bool newLine, bool heightCut,
            const sTextbox& look);
    /// Text that stands as it is, laid out already (the columns and cursor of before are kept).
    TextRun(const std::shared_ptr<const TextRun>& before, const std::wstring& string);
    ~TextRun();
    TextRun(const TextRun&) = delete;
    TextRun& operator=(const TextRun&) = delete;

    const LaidOutText& laidOut() const;
    /// Lays the text out now, with step run after every word or character (the playing mode's engine updates).
    void layOut(const std::function<void()>& step) const;
    /// True when this run is earlier (null counts), or builds on it within maxSteps runs back.
    bool continues(const TextRun* earlier, int maxSteps) const;

private:
    /// Lays out this run on top of the laid-out run before it.
    void LayOutOnBefore(const std::function<void()>& step) const;

    /// The run continued (or, for a new text, the one whose vertical columns are kept); null when none is needed.
    std::shared_ptr<const TextRun> m_before;
    std::wstring m_pushed;
    bool m_newLine = true;
    bool m_heightCut = true;
    sTextbox m_look;
    /// Some run up to this one laid text out vertically, so the laid-out text may hold columns.
    bool m_mayHaveColumns = false;
    mutable std::unique_ptr<LaidOutText> m_laidOut;
};

/// How pushNewText lays its text out.
struct TextPush
{
    bool heightCut = true;     ///< drop what does not fit the area's height
    bool engineUpdates = true; ///< while playing, one engine update per layout step
};

class NTextbox : public NEntity
{
public:
    NTextbox(NType type, std::wstring entityName, int areaWidth, int areaHeight, int entityLayer, int createdLine);

    /// The newest text state (pruned to the main line while editing).
    sTextbox* getCurrentText();
    /// Copies the newest text state into a new one at line; re-running a main-script line starts again from the
    /// state before it, while the lines of a called script keep building on the state at that line.
    sTextbox* pushTextState(int line);
    sSprite* pushNewState(int line) override;
    /// Lays text out into a new state at line: replacing the text (newLine) or continuing it. The text already
    /// shown stays shown; only the new text flows.
    void pushNewText(const std::wstring& text, int line, bool newLine, TextPush how = TextPush());

    void Update() override;
    void Draw(int mainLine) override;
    int getCreatedLine() const override;
    bool isTextFlowing() const override { return m_flowActive; }
    std::wstring shownText() const override;
    sf::Color getColor() override;
    /// The text's colour and, when it has one, the skin's.
    void setColor(const sf::Color& colour) override;

    /// Shows the skin image at (x, y) under the text of the newest state.
    bool loadSkin(const std::wstring& fileName, float x, float y);
    /// Gives the newest state its own wait-for-input icon.
    bool loadWaitIcon(const std::wstring& fileName);
    void setVisible(bool visible);

    /// Milliseconds since the running flow began (0 while none runs).
    double FlowElapsedMs() const;
    /// Reveals the whole text at once and ends the flow.
    void ShowWholeText();

    /// The entity as a text box; null when it is none.
    static std::shared_ptr<NTextbox> From(const EntityPtr& entity);
    /// The text box dialogue goes to (the current text-area name), or null.
    static std::shared_ptr<NTextbox> Current();

    /// Playing mode: every "{{ name }}" replaced by that variable's value (unknown names stay as written).
    static std::wstring SubstituteVariables(const std::wstring& text);
    /// Height of a horizontal text: its number of lines times the font's line spacing (0 without a font).
    static float TextHeight(const sf::Text& text, const std::wstring& string);

    /// Draws the skin of a look with the text's alpha.
    static void DrawSkin(const sTextbox& look, bool useCamera);
    /// Draws text; when look asks for a shadow, first the shadow in look's shadow colour (with the text's alpha)
    /// 2 pixels to each side.
    static void DrawShadowed(const sf::Text& text, const sTextbox& look, bool useCamera);

    LineValue<sTextbox> m_TextStates;

private:
    void DrawFlowText(const sTextbox& state, int msPerLetter);
    void DrawWholeText(const sTextbox& state, bool withIcon);
    /// The first letters of state (all of them with letters < 0), with the shadow when the state asks for one.
    void DrawTextWithShadow(const sTextbox& state, int letters);
    void DrawWaitingForUserInputIcon(const sTextbox& state);
    bool IsTextboxInUse();

    /// Letters shown before the running flow began: all the text of m_shownRun, and m_shownLetters more. Kept as a
    /// run rather than a count so that pushing text does not lay out the text before it.
    int ShownBeforeFlow() const;

    bool m_timerResetRequest = false;
    bool m_flowStarted = false;
    std::shared_ptr<const TextRun> m_shownRun;
    int m_shownLetters = 0;
    int m_flowedLetters = 0;
    Clock::time_point m_flowStart{};
    bool m_flowActive = false;
    /// Line of the state the last draw outside a script read showed; drawn again while a read is running.
    int m_lastDrawnLine = 0;
    bool m_hasLastDrawn = false;
    // Wait-icon blinking.
    static constexpr long long IconBlinkMs = 500;
    bool m_iconShown = false; ///< the last draw showed the icon (visible or in its dark phase)
    bool m_iconVisible = true;
    sf::FloatRect m_iconArea; ///< where the icon was last placed on screen (view coordinates), shown or not
    Clock::time_point m_iconToggle{};
    std::wstring m_iconSeenText;
    bool m_missingIconLogged = false;
};

namespace TextLayout
{
/// Horizontal layout of text in look after what laid already holds (or instead of it, with newLine): a break before
/// the word (wordWrap) or character that makes the line wider than the area, and the rest dropped once the text is
/// taller than the area (heightCut). step runs after every word or character.
void Horizontal(LaidOutText& laid, const sTextbox& look, const std::wstring& text, bool newLine, bool heightCut,
                const std::function<void()>& step);
/// Vertical layout into columns, right to left. onlyModifyVertLine -1 lays out the whole text; a column number
/// lays text out again into that column only. False when the look has no font or the column does not exist.
bool Vertical(LaidOutText& laid, const sTextbox& look, const std::wstring& text, bool newLine, int onlyModifyVertLine,
              const std::function<void()>& step);
} // namespace TextLayout

} // namespace zel
