#include "ScriptEditor.h"

#include "ScriptHighlighter.h"

#include <QFontDatabase>
#include <QPainter>
#include <QTextBlock>

namespace editor
{
namespace
{
constexpr int kGutterPadding = 6;
constexpr int kMarkSize = 6;

QColor ProblemColour(bool isError)
{
    return isError ? QColor(0xd3, 0x2f, 0x2f) : QColor(0xf0, 0xa0, 0x00);
}

/// Whether every line break of text is "\r\n" (and there is at least one).
bool EndsLinesWithCrLf(const QString& text)
{
    const qsizetype breaks = text.count(QLatin1Char('\n'));
    return breaks > 0 && text.count(QLatin1String("\r\n")) == breaks;
}
} // namespace

/// The strip left of the text that shows the line numbers; the editor paints it.
class LineGutter : public QWidget
{
public:
    explicit LineGutter(ScriptEditor* editor) : QWidget(editor), m_editor(editor) {}
    QSize sizeHint() const override { return {m_editor->gutterWidth(), 0}; }

protected:
    void paintEvent(QPaintEvent* event) override { m_editor->paintGutter(event); }

private:
    ScriptEditor* m_editor;
};

ScriptEditor::ScriptEditor(QWidget* parent)
    : QPlainTextEdit(parent), m_gutter(new LineGutter(this)), m_highlighter(new ScriptHighlighter(document()))
{
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setLineWrapMode(QPlainTextEdit::NoWrap);
    connect(this, &QPlainTextEdit::blockCountChanged, this, &ScriptEditor::updateGutterWidth);
    connect(this, &QPlainTextEdit::updateRequest, this, &ScriptEditor::updateGutter);
    connect(this, &QPlainTextEdit::cursorPositionChanged, this, &ScriptEditor::followCursor);
    // Only changes of the characters count: colouring lines anew also reports the text as changed.
    connect(document(), &QTextDocument::contentsChange, this, &ScriptEditor::noteChange);
    updateGutterWidth();
}

void ScriptEditor::setScript(const QString& text)
{
    m_loading = true;
    m_crlf = EndsLinesWithCrLf(text);
    setPlainText(m_crlf ? QString(text).replace(QLatin1String("\r\n"), QLatin1String("\n")) : text);
    m_loading = false;
    document()->clearUndoRedoStacks();
    document()->setModified(false);
    goToLine(1);
}

QString ScriptEditor::script() const
{
    // Joined from the lines themselves: toPlainText() would turn no-break spaces into blanks, which the engine
    // reads differently.
    QStringList lines;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next())
        lines.append(block.text());
    return lines.join(m_crlf ? QLatin1String("\r\n") : QLatin1String("\n"));
}

void ScriptEditor::goToLine(int line)
{
    const QTextBlock block = document()->findBlockByNumber(qBound(1, line, blockCount()) - 1);
    setTextCursor(QTextCursor(block));
    ensureCursorVisible();
}

void ScriptEditor::setVocabulary(const Vocabulary& vocabulary)
{
    m_highlighter->setVocabulary(vocabulary);
}

void ScriptEditor::setProblemLines(const QList<QPair<int, bool>>& lines)
{
    m_problems.clear();
    for (const auto& [line, isError] : lines)
        m_problems[line] = m_problems.value(line) || isError; // an error on a line outweighs its warnings
    markProblemLines();
    m_gutter->update();
}

void ScriptEditor::resizeEvent(QResizeEvent* event)
{
    QPlainTextEdit::resizeEvent(event);
    const QRect area = contentsRect();
    m_gutter->setGeometry(QRect(area.left(), area.top(), gutterWidth(), area.height()));
}

int ScriptEditor::gutterWidth() const
{
    const int digits = int(QString::number(qMax(1, blockCount())).size());
    return kMarkSize + 2 * kGutterPadding + fontMetrics().horizontalAdvance(QLatin1Char('9')) * qMax(3, digits);
}

void ScriptEditor::paintGutter(QPaintEvent* event)
{
    QPainter painter(m_gutter);
    painter.fillRect(event->rect(), palette().color(QPalette::AlternateBase));
    const int numberWidth = m_gutter->width() - kGutterPadding;
    for (QTextBlock block = firstVisibleBlock(); block.isValid(); block = block.next())
    {
        const QRectF box = blockBoundingGeometry(block).translated(contentOffset());
        if (box.top() > event->rect().bottom())
            break;
        if (!block.isVisible() || box.bottom() < event->rect().top())
            continue;
        const int line = block.blockNumber() + 1;
        QFont font = painter.font();
        font.setBold(line == m_cursorLine);
        painter.setFont(font);
        painter.setPen(palette().color(line == m_cursorLine ? QPalette::Text : QPalette::PlaceholderText));
        const QRect row(0, int(box.top()), numberWidth, fontMetrics().height());
        painter.drawText(row, Qt::AlignRight | Qt::AlignVCenter, QString::number(line));
        if (m_problems.contains(line))
        {
            painter.setPen(Qt::NoPen);
            painter.setBrush(ProblemColour(m_problems.value(line)));
            painter.drawEllipse(QRect(kGutterPadding / 2, row.center().y() - kMarkSize / 2, kMarkSize, kMarkSize));
        }
    }
}

void ScriptEditor::updateGutterWidth()
{
    setViewportMargins(gutterWidth(), 0, 0, 0);
}

void ScriptEditor::updateGutter(const QRect& rect, int dy)
{
    if (dy != 0)
        m_gutter->scroll(0, dy);
    else
        m_gutter->update(0, rect.y(), m_gutter->width(), rect.height());
    if (rect.contains(viewport()->rect()))
        updateGutterWidth();
}

void ScriptEditor::followCursor()
{
    const int line = textCursor().blockNumber() + 1;
    if (line == m_cursorLine)
        return;
    m_cursorLine = line;
    m_gutter->update();
    emit cursorLineChanged(line);
}

void ScriptEditor::noteChange(int /*position*/, int removed, int added)
{
    if (!m_loading && (removed > 0 || added > 0))
        emit scriptEdited();
}

void ScriptEditor::markProblemLines()
{
    QList<QTextEdit::ExtraSelection> marks;
    for (auto it = m_problems.cbegin(); it != m_problems.cend(); ++it)
    {
        const QTextBlock block = document()->findBlockByNumber(it.key() - 1);
        if (!block.isValid())
            continue;
        QTextEdit::ExtraSelection mark;
        QColor tint = ProblemColour(it.value());
        tint.setAlpha(40);
        mark.format.setBackground(tint);
        mark.format.setProperty(QTextFormat::FullWidthSelection, true);
        mark.cursor = QTextCursor(block);
        marks.append(mark);
    }
    setExtraSelections(marks);
}
} // namespace editor
