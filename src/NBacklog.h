#pragma once
// The record of every shown line of dialogue; one per novel state. It has no text area of its own: it lays its
// lines out in an ordinary text box that the script names, and shows that box while the reader looks back.

#include "Entity.h"
#include "NTextbox.h"

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

    void Update() override;
    void Draw(int mainLine) override;
    int getCreatedLine() const override { return 0; }

    const std::vector<BacklogEntry>& entries() const { return m_entries; }
    int curTextLine() const { return m_curTextLine; }
    const sTextbox& displayText() const { return m_displayText; }

private:
    /// Attaches the text box the system variables name, when none is attached; logs with who as the caller.
    bool AttachOnDemand(const wchar_t* attachedMessage);

    std::vector<BacklogEntry> m_entries;
    LineValue<std::shared_ptr<NTextbox>> m_pNTextbox;
    sTextbox m_displayText;
    int m_curTextLine = -1;
    std::size_t m_curEntry = 0;
    bool m_held = false;
};

} // namespace zel
