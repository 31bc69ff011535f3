#include "LogPane.h"

#include <QFile>
#include <QScrollBar>

namespace editor
{
namespace
{
constexpr int kLookMilliseconds = 500;
/// Lines kept in the pane: the newest, as a long play-test writes many thousands.
constexpr int kKeptLines = 5000;
} // namespace

LogPane::LogPane(QWidget* parent) : QPlainTextEdit(parent)
{
    setReadOnly(true);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setMaximumBlockCount(kKeptLines);
    connect(&m_look, &QTimer::timeout, this, &LogPane::readOn);
}

void LogPane::follow(const QString& path)
{
    m_path = path;
    m_read = 0;
    clear();
    readOn();
    m_look.start(kLookMilliseconds);
}

void LogPane::readOn()
{
    QFile file(m_path);
    if (m_path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return;
    if (file.size() < m_read) // written anew
    {
        m_read = 0;
        clear();
    }
    if (file.size() == m_read || !file.seek(m_read))
        return;
    const QByteArray added = file.readAll();
    // Up to the last whole line; the rest comes with the next look.
    const qsizetype end = added.lastIndexOf('\n') + 1;
    if (end == 0)
        return;
    m_read += end;
    const bool atBottom = verticalScrollBar()->value() == verticalScrollBar()->maximum();
    appendPlainText(QString::fromUtf8(added.left(end - 1)));
    if (atBottom)
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

} // namespace editor
