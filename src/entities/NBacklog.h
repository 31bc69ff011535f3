#pragma once
// The record of every shown line of dialogue; one per novel state. It has no text area of its own: it lays its
// lines out in an ordinary text box that the script names, and shows that box while the reader looks back.

#include "entities/Entity.h"
#include "entities/NTextbox.h"

#include <memory>
#include <string>
#include <vector>

namespace zel
{

/// One pushed line of the backlog, as laid out in the backlog's text box.
struct BacklogEntry
{
    int line = 0;      ///< main line that pushed it
    std::wstring text; ///< laid-out text, with the blank line that separates it from the entry before
    bool newLine = true;
    int endLine = 0; ///< backlog text line (from 1) on which the entry ends
};

class NBacklog : public NEntity
{
public:
    NBacklog();

    /// Takes box as the text area the backlog is laid out in and shown through.
    void attach(const std::shared_ptr<NTextbox>& box);
    /// The attached text box at the main line, or null.
    std::shared_ptr<NTextbox> textbox();
    /// Shows or hides the attached text box.
    void setDisplayed(bool displayed);

    /// Records a shown line (with "backlogName", the speaker, above it when newLine is set).
    void pushNewLine(const std::wstring& text, int line, bool newLine);
    /// Fills the display text so that it ends with the current backlog line and reaches up as far as the text area
    /// allows, never showing half a line.
    void calcDisplayLines();
    /// The mouse wheel and the backlog display command: "up" shows the backlog or scrolls it back one line; "down"
    /// scrolls forward, and hides it again past the newest line.
    void scroll(const std::string& direction);
    /// Moves the display by one backlog text line.
    void scrollBacklogToNextLine(const std::string& direction);
    /// Forgets every recorded line and empties the text box (the script's backlog reset).
    void reset();
    /// Forgets every recorded line and the text box (the editor's script reset, after the registry was emptied).
    void clear();

    void Update() override;
    void Draw(int mainLine) override;
    int getCreatedLine() const override { return 0; }

    const std::vector<BacklogEntry>& entries() const { return m_entries; }
    int curTextLine() const { return m_curTextLine; }
    const sTextbox& displayText() const { return m_displayText; }

private:
    /// Attaches the text box the system variables name, when none is attached; logs with who as the caller.
    bool AttachOnDemand(const wchar_t* attachedMessage);
    /// The attached box's current text state, or null.
    sTextbox* AttachedState();
    /// The backlog line on which the paragraph the box holds begins (the newest entry is part of it).
    int ParagraphStartLine() const;
    /// Lays entry out in the attached box; returns the text it added (all of its new string with newLine).
    std::wstring LayOut(const std::wstring& entry, int line, bool newLine);
    /// Index of the entry that holds backlog text line textLine: the last one with text on it (the last entry past
    /// the end).
    std::size_t EntryHolding(int textLine) const;
    /// Brings m_curTextLine back into the backlog (its last line when outside) and picks the entry holding it.
    void KeepPositionInRange();
    /// The display string ending with m_curTextLine, as many whole lines as areaHeight takes; sets m_held.
    std::wstring FitDisplayString(float areaHeight);
    /// The longest run of piece's last lines that still fits above below.
    std::wstring FittingTail(const std::wstring& piece, const std::wstring& below, float areaHeight) const;
    void ScrollUp();
    void ScrollDown();
    void ForgetEntries();
    /// Editing moved back: drops the entries of later lines and keeps the position valid.
    void EraseEntriesAfter(int mainLine);
    void RecountEndLines();

    std::vector<BacklogEntry> m_entries;
    LineValue<std::shared_ptr<NTextbox>> m_pNTextbox;
    sTextbox m_displayText;
    int m_curTextLine = -1;
    std::size_t m_curEntry = 0;
    /// The display reaches up to the first line: scrolling up has nothing more to show.
    bool m_held = false;
};

} // namespace zel
