#pragma once
// The script editor: plain text in a monospace font without line wrap, coloured by a ScriptHighlighter, with a
// gutter of line numbers (the cursor's line in bold) and marks on the lines that have problems. It tells when the
// cursor goes to another line and when the author has changed the script.

#include "Vocabulary.h"

#include <QHash>
#include <QList>
#include <QPair>
#include <QPlainTextEdit>

namespace editor
{
class ScriptHighlighter;

class ScriptEditor : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit ScriptEditor(QWidget* parent = nullptr);

    /// Shows text as a script just opened: no undo history, unmodified, the cursor on line 1. scriptEdited is not
    /// emitted; cursorLineChanged(1) is when the cursor was on another line.
    void setScript(const QString& text);
    /// The text as it would be saved: its characters as typed (no-break spaces stay), lines ended as in the text
    /// given to setScript ("\r\n" when every line of it ended so, else "\n").
    QString script() const;
    /// The cursor's line, from 1.
    int cursorLine() const { return m_cursorLine; }
    /// Puts the cursor at the start of line (kept within the script's lines) and shows it.
    void goToLine(int line);
    void setVocabulary(const Vocabulary& vocabulary);
    /// Marks lines (from 1) with problems: errors red, warnings amber; an empty list clears the marks.
    void setProblemLines(const QList<QPair<int, bool>>& lines);
    ScriptHighlighter* highlighter() const { return m_highlighter; }

signals:
    /// The cursor is on another line (from 1) than before.
    void cursorLineChanged(int line);
    /// The author changed the text: typing, pasting, undo or redo; never setScript.
    void scriptEdited();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    friend class LineGutter;

    int gutterWidth() const;
    void paintGutter(QPaintEvent* event);
    void updateGutterWidth();
    void updateGutter(const QRect& rect, int dy);
    void followCursor();
    void noteChange(int position, int removed, int added);
    void markProblemLines();

    QWidget* m_gutter;
    ScriptHighlighter* m_highlighter;
    QHash<int, bool> m_problems; // line -> whether it is an error
    int m_cursorLine = 1;
    bool m_loading = false;
    bool m_crlf = false;
};
} // namespace editor
