#include "EditorWindow.h"

#include "LogPane.h"
#include "PreviewPane.h"
#include "ProblemsPane.h"
#include "ScriptEditor.h"
#include "ScriptFiles.h"
#include "ScriptHighlighter.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDockWidget>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeySequence>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QProcess>
#include <QScrollArea>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTextBlock>
#include <QToolBar>

namespace editor
{
namespace
{
const QString kMainScript = QStringLiteral("main.txt");
/// The size the player opens a novel at: the preview shows the scene at that size unless it is to fit its pane.
const QSize kPlayerSize(1280, 720);
/// The layer a placed picture gets: above the backgrounds (layer 0), below most text boxes.
constexpr int kPlacedLayer = 2;

/// The list of Images/: each item drags its file name to the preview.
class ImageList : public QListWidget
{
public:
    using QListWidget::QListWidget;

protected:
    QMimeData* mimeData(const QList<QListWidgetItem*>& items) const override
    {
        auto* data = new QMimeData;
        if (!items.isEmpty())
            data->setData(ImageMimeType(), items.first()->text().toUtf8());
        return data;
    }
};

/// A picture name for a cg line that the script does not use yet: the image's name, numbered when taken.
QString FreePictureName(const QString& script, const QString& keyword, const QString& imageName)
{
    const QString stem = QFileInfo(imageName).completeBaseName().replace(QLatin1Char(' '), QLatin1Char('_'));
    QString name = stem;
    for (int n = 2; script.contains(keyword + QLatin1Char(' ') + name + QLatin1Char(' ')); ++n)
        name = stem + QString::number(n);
    return name;
}
} // namespace

EditorWindow::EditorWindow(const EngineLibrary& engine, const QString& launcher)
    : m_engine(engine), m_launcher(launcher)
{
    buildPanes();
    buildActions();
    updateTitle();
    qApp->installEventFilter(this);
}

EditorWindow::~EditorWindow()
{
    m_preview->close();
}

void EditorWindow::buildPanes()
{
    m_editor = new ScriptEditor;
    m_preview = new PreviewPane(m_engine);
    m_scripts = new QListWidget;
    m_images = new ImageList;
    m_images->setDragEnabled(true);
    m_images->setToolTip(tr("Drag a picture onto the preview, then click where it goes"));
    auto* files = new QSplitter(Qt::Vertical);
    files->addWidget(m_scripts);
    files->addWidget(m_images);
    auto* panes = new QSplitter(Qt::Horizontal);
    panes->addWidget(files);
    panes->addWidget(m_editor);
    m_previewArea = new QScrollArea;
    m_previewArea->setWidget(m_preview);
    m_previewArea->setAlignment(Qt::AlignCenter);
    panes->addWidget(m_previewArea);
    setPreviewFits(false);
    panes->setStretchFactor(1, 2);
    panes->setStretchFactor(2, 3);
    panes->setSizes({200, 560, 720});
    setCentralWidget(panes);

    m_problems = new ProblemsPane(m_engine);
    m_log = new LogPane;
    auto* below = new QTabWidget;
    below->addTab(m_problems, tr("Problems"));
    below->addTab(m_log, tr("Log"));
    auto* dock = new QDockWidget(tr("Problems and log"));
    dock->setWidget(below);
    dock->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    addDockWidget(Qt::BottomDockWidgetArea, dock);
    resizeDocks({dock}, {150}, Qt::Vertical);
    m_place = new QLabel;
    statusBar()->addPermanentWidget(m_place);

    connect(m_scripts, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) { openScript(item->text()); });
    connect(m_scripts, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) { openScript(item->text()); });
    connect(m_editor, &ScriptEditor::cursorLineChanged, this, &EditorWindow::showCursorLine);
    connect(m_editor, &ScriptEditor::scriptEdited, this, &EditorWindow::scriptChanged);
    connect(m_preview, &PreviewPane::picturePlaced, this, &EditorWindow::insertPicture);
    connect(m_preview, &PreviewPane::pictureMoved, this,
            [this](int x, int y) { m_place->setText(tr("place at %1, %2").arg(x).arg(y)); });
    connect(m_preview, &PreviewPane::playTestLeft, this, [this] { setPlayTesting(false); });
    connect(m_problems, &ProblemsPane::problemChosen, this, &EditorWindow::goToProblem);
    connect(m_problems, &ProblemsPane::checked, this, &EditorWindow::markProblems);
}

void EditorWindow::buildActions()
{
    QMenu* file = menuBar()->addMenu(tr("&Novel"));
    file->addAction(tr("&New novel..."), QKeySequence::New, this, &EditorWindow::makeNovel);
    file->addAction(tr("&Open novel..."), QKeySequence::Open, this, &EditorWindow::chooseNovel);
    file->addAction(tr("&Save script"), QKeySequence::Save, this, &EditorWindow::save);
    file->addSeparator();
    file->addAction(tr("&Quit"), QKeySequence::Quit, this, &QWidget::close);
    QMenu* edit = menuBar()->addMenu(tr("&Edit"));
    edit->addAction(tr("&Undo"), QKeySequence::Undo, m_editor, &ScriptEditor::undo);
    edit->addAction(tr("&Redo"), QKeySequence::Redo, m_editor, &ScriptEditor::redo);
    QMenu* play = menuBar()->addMenu(tr("&Play"));
    m_play = play->addAction(tr("&Play-test from the cursor"), this, [this](bool on) { setPlayTesting(on); });
    m_play->setCheckable(true);
    m_play->setShortcut(Qt::Key_F5);
    m_play->setToolTip(tr("Play from the cursor's line (F5); Esc in the preview returns to editing"));
    QMenu* view = menuBar()->addMenu(tr("&View"));
    addToggle(view, tr("Show &animations while editing"), &EngineLibrary::setTweenAnimationDisplay);
    addToggle(view, tr("Play &music while editing"), &EngineLibrary::setPlayMusicDuringEdit);
    addToggle(view, tr("Show &bounding boxes"), &EngineLibrary::setBoundingBoxDisplay);
    view->addSeparator();
    QAction* fits = view->addAction(tr("Preview &fits its pane (else the player's 1280x720)"));
    fits->setCheckable(true);
    connect(fits, &QAction::toggled, this, &EditorWindow::setPreviewFits);
    QToolBar* tools = addToolBar(tr("Novel"));
    tools->addAction(m_play);
}

QAction* EditorWindow::addToggle(QMenu* menu, const QString& text, void (*EngineLibrary::*setter)(std::uint8_t))
{
    QAction* toggle = menu->addAction(text);
    toggle->setCheckable(true);
    connect(toggle, &QAction::toggled, this, [this, setter](bool on) {
        if (m_preview->isOpen())
            (m_engine.*setter)(on ? 1 : 0);
        m_preview->renderNow();
    });
    return toggle;
}

bool EditorWindow::openNovel(const QString& folder)
{
    if (!maySwitch())
        return false;
    const QString path = QDir(folder).absolutePath();
    // The engine works in the novel's folder: Config.xml, Commands.xml, SaveData/ and debug.txt are found there.
    m_preview->close();
    if (!QDir(path).exists() || !QDir::setCurrent(path))
    {
        statusBar()->showMessage(tr("%1 cannot be opened").arg(folder));
        return false;
    }
    m_folder = path;
    m_vocabulary = Vocabulary::fromFile(path + QStringLiteral("/Commands.xml"));
    m_editor->setVocabulary(m_vocabulary);
    const QStringList scripts = ScriptFiles::list(path);
    m_scriptName = scripts.contains(kMainScript) ? kMainScript : scripts.value(0, kMainScript);
    listFiles();
    QString text;
    ScriptFiles::read(path, m_scriptName, text, nullptr);
    m_editor->setScript(text);
    const bool opened = m_preview->open(m_scriptName, text, 1);
    m_log->follow(path + QStringLiteral("/debug.txt"));
    m_problems->checkSoon(m_folder, m_scriptName, text);
    m_problems->checkNow();
    updateTitle();
    if (!opened)
        statusBar()->showMessage(tr("the engine could not show this novel"));
    return opened;
}

bool EditorWindow::openScript(const QString& name)
{
    if (m_folder.isEmpty() || name == m_scriptName || !maySwitch())
    {
        markOpenScript();
        return false;
    }
    QString text;
    QString error;
    if (!ScriptFiles::read(m_folder, name, text, &error))
    {
        statusBar()->showMessage(error);
        return false;
    }
    m_scriptName = name;
    markOpenScript();
    m_editor->setScript(text);
    m_preview->showLine(m_scriptName, text, 1, true);
    m_problems->checkSoon(m_folder, m_scriptName, text);
    updateTitle();
    return true;
}

bool EditorWindow::save()
{
    if (m_folder.isEmpty())
        return false;
    QString error;
    if (!ScriptFiles::save(m_folder, m_scriptName, m_editor->script(), &error))
    {
        QMessageBox::warning(this, tr("Not saved"), error);
        return false;
    }
    m_editor->document()->setModified(false);
    listFiles();
    updateTitle();
    statusBar()->showMessage(tr("saved Scripts/%1").arg(m_scriptName), 3000);
    return true;
}

void EditorWindow::setPlayTesting(bool on)
{
    m_preview->setPlaying(on);
    m_play->setChecked(m_preview->playing());
    m_editor->setReadOnly(m_preview->playing());
    if (m_preview->playing())
        m_preview->setFocus();
    else
    {
        m_preview->returnKeyboard(winId());
        m_editor->setFocus();
    }
    statusBar()->showMessage(m_preview->playing() ? tr("play-testing: Esc in the preview returns to editing")
                                                  : QString());
}

void EditorWindow::insertPicture(const QString& imageName, int x, int y)
{
    const QString keyword = m_vocabulary.keyword(QStringLiteral("cg"));
    const QString line = QStringLiteral("%1 %2 %3 %4 %5 %6")
                             .arg(keyword, FreePictureName(m_editor->script(), keyword, imageName),
                                  imageName.contains(QLatin1Char(' ')) ? QLatin1Char('\'') + imageName + QLatin1Char('\'')
                                                                       : imageName)
                             .arg(x)
                             .arg(y)
                             .arg(kPlacedLayer);
    QTextCursor cursor = m_editor->textCursor();
    // After a line in text mode a plain line would be dialogue: the tilde ends text mode and keeps it a command.
    const bool textMode = cursor.block().userState() == ScriptHighlighter::kTextMode;
    cursor.movePosition(QTextCursor::EndOfBlock);
    cursor.insertText(QLatin1Char('\n') + (textMode ? QStringLiteral("~") : QString()) + line);
    m_editor->setTextCursor(cursor);
    m_place->clear();
}

bool EditorWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonPress && watched->isWidgetType() &&
        !m_preview->isAncestorOf(static_cast<QWidget*>(watched)) && watched != m_preview)
        m_preview->returnKeyboard(winId());
    return QMainWindow::eventFilter(watched, event);
}

void EditorWindow::closeEvent(QCloseEvent* event)
{
    if (maySwitch())
        event->accept();
    else
        event->ignore();
}

void EditorWindow::setPreviewFits(bool fits)
{
    // The engine draws the novel one to one into its render area, whose size setEngineResolution sets: at the player's
    // size the whole scene shows (the pane scrolls); fitted to the pane, what lies beyond its edges is cut off.
    m_previewArea->setWidgetResizable(fits);
    if (fits)
    {
        m_preview->setMinimumSize(320, 180);
        m_preview->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    }
    else
        m_preview->setFixedSize(kPlayerSize);
}

void EditorWindow::chooseNovel()
{
    const QString folder = QFileDialog::getExistingDirectory(this, tr("Open a novel folder"));
    if (!folder.isEmpty())
        openNovel(folder);
}

void EditorWindow::makeNovel()
{
    const QString folder = QFileDialog::getSaveFileName(this, tr("Folder of the new novel"));
    if (folder.isEmpty())
        return;
    QProcess made;
    made.start(m_launcher, {QStringLiteral("new"), folder});
    if (!made.waitForFinished(30000) || made.exitCode() != 0)
    {
        QMessageBox::warning(this, tr("No novel made"), QString::fromUtf8(made.readAllStandardError()));
        return;
    }
    openNovel(folder);
}

bool EditorWindow::maySwitch()
{
    if (!m_editor->document()->isModified())
        return true;
    const auto answer =
        QMessageBox::question(this, tr("Unsaved changes"), tr("Scripts/%1 has changes. Save them?").arg(m_scriptName),
                              QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
    if (answer == QMessageBox::Save)
        return save();
    if (answer == QMessageBox::Discard)
        m_editor->document()->setModified(false);
    return answer == QMessageBox::Discard;
}

void EditorWindow::listFiles()
{
    m_scripts->clear();
    m_scripts->addItems(ScriptFiles::list(m_folder));
    m_images->clear();
    m_images->addItems(ScriptFiles::pictures(m_folder));
    markOpenScript();
}

void EditorWindow::markOpenScript()
{
    const QList<QListWidgetItem*> open = m_scripts->findItems(m_scriptName, Qt::MatchExactly);
    m_scripts->setCurrentItem(open.value(0));
}

void EditorWindow::showCursorLine(int line)
{
    // The engine has the text since the last edit: a move hands over the line alone, not the whole script again.
    m_preview->showLine(m_scriptName, QString(), line, false);
}

void EditorWindow::scriptChanged()
{
    const QString text = m_editor->script();
    m_preview->showLine(m_scriptName, text, m_editor->cursorLine(), true);
    m_problems->checkSoon(m_folder, m_scriptName, text);
    updateTitle();
}

void EditorWindow::goToProblem(const QString& scriptName, int line)
{
    if (scriptName != m_scriptName && !openScript(scriptName))
        return;
    m_editor->goToLine(line);
    m_editor->setFocus();
}

void EditorWindow::markProblems()
{
    m_editor->setProblemLines(m_problems->linesOf(m_scriptName));
}

void EditorWindow::updateTitle()
{
    const QString novel = m_folder.isEmpty() ? tr("no novel") : QFileInfo(m_folder).fileName();
    const QString changed = m_editor->document()->isModified() ? QStringLiteral("*") : QString();
    setWindowTitle(QStringLiteral("%1%2 - %3 - Quillhaven editor").arg(m_scriptName, changed, novel));
}

} // namespace editor
