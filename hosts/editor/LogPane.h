#pragma once
// The engine's log (debug.txt in the novel folder) as it grows: new lines are appended as they are written, and a
// log written anew (the engine started again) starts the pane afresh.

#include <QPlainTextEdit>
#include <QTimer>

namespace editor
{

class LogPane : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit LogPane(QWidget* parent = nullptr);

    /// Follows this file from its start.
    void follow(const QString& path);
    /// Reads what was added since the last look.
    void readOn();

private:
    QTimer m_look;
    QString m_path;
    qint64 m_read = 0;
};

} // namespace editor
