#include "ProblemsPane.h"

#include <QRegularExpression>

namespace editor
{
namespace
{
/// The pause in typing after which the novel is checked again.
constexpr int kPauseMilliseconds = 300;
const QString kScriptsFolder = QStringLiteral("Scripts/");
} // namespace

ProblemsPane::ProblemsPane(const EngineLibrary& engine, QWidget* parent) : QListWidget(parent), m_engine(engine)
{
    m_pause.setSingleShot(true);
    m_pause.setInterval(kPauseMilliseconds);
    connect(&m_pause, &QTimer::timeout, this, &ProblemsPane::checkNow);
    connect(this, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        const Problem& problem = m_problems.at(row(item));
        emit problemChosen(problem.script, problem.line);
    });
    connect(this, &QListWidget::itemClicked, this, &QListWidget::itemActivated);
}

void ProblemsPane::checkSoon(const QString& folder, const QString& scriptName, const QString& text)
{
    m_folder = folder;
    m_scriptName = scriptName;
    m_text = text;
    m_pause.start();
}

void ProblemsPane::checkNow()
{
    m_pause.stop();
    if (m_folder.isEmpty())
        return;
    const std::wstring folder = m_folder.toStdWString();
    const std::wstring name = m_scriptName.toStdWString();
    const std::wstring text = m_text.toStdWString();
    const wchar_t* report = nullptr;
    m_engine.lintNovel(folder.c_str(), nullptr, name.c_str(), text.c_str(), 0, &report);
    m_problems = Parse(report != nullptr ? QString::fromWCharArray(report) : QString());
    clear();
    for (const Problem& problem : m_problems)
        addItem(QStringLiteral("%1:%2: %3: %4")
                    .arg(problem.script)
                    .arg(problem.line)
                    .arg(problem.error ? tr("error") : tr("warning"), problem.message));
    emit checked();
}

QList<QPair<int, bool>> ProblemsPane::linesOf(const QString& scriptName) const
{
    QList<QPair<int, bool>> lines;
    for (const Problem& problem : m_problems)
        if (problem.script == scriptName)
            lines.append({problem.line, problem.error});
    return lines;
}

QList<Problem> ProblemsPane::Parse(const QString& report)
{
    static const QRegularExpression form(QStringLiteral("^([^:]+):(\\d+): (error|warning): (.*)$"));
    QList<Problem> problems;
    for (const QString& line : report.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
    {
        const QRegularExpressionMatch match = form.match(line);
        if (!match.hasMatch())
            continue;
        QString file = match.captured(1);
        if (file.startsWith(kScriptsFolder))
            file.remove(0, kScriptsFolder.size());
        problems.append({file, match.captured(2).toInt(), match.captured(3) == QLatin1String("error"),
                         match.captured(4)});
    }
    return problems;
}

} // namespace editor
