#pragma once
// The problems of the novel as the author types: the engine's own check (the lint tool's) run over the novel with
// the script being edited in place of its file, a moment after the last keystroke. A click on a problem asks to go
// to its line.

#include "EngineLibrary.h"

#include <QList>
#include <QListWidget>
#include <QPair>
#include <QTimer>

namespace editor
{

struct Problem
{
    QString script; ///< relative to Scripts/
    int line = 0;
    bool error = true;
    QString message;
};

class ProblemsPane : public QListWidget
{
    Q_OBJECT

public:
    explicit ProblemsPane(const EngineLibrary& engine, QWidget* parent = nullptr);

    /// Checks the novel in folder soon (after a pause in typing), with text standing in for the script's file.
    void checkSoon(const QString& folder, const QString& scriptName, const QString& text);
    /// Checks at once.
    void checkNow();
    const QList<Problem>& problems() const { return m_problems; }
    /// The lines of one script that have problems, each with whether one of them is an error.
    QList<QPair<int, bool>> linesOf(const QString& scriptName) const;

    /// Reads the check's "FILE:LINE: error|warning: MESSAGE" lines.
    static QList<Problem> Parse(const QString& report);

signals:
    void checked();
    void problemChosen(const QString& scriptName, int line);

private:
    const EngineLibrary& m_engine;
    QTimer m_pause;
    QString m_folder;
    QString m_scriptName;
    QString m_text;
    QList<Problem> m_problems;
};

} // namespace editor
