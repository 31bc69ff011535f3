#pragma once
// The editor's main window: the novel's scripts and pictures on the left, the script being written in the middle,
// the engine's picture of the line under the cursor on the right, and the problems and the engine's log below.

#include "EngineLibrary.h"
#include "Vocabulary.h"

#include <QMainWindow>

class QAction;
class QLabel;
class QListWidget;
class QScrollArea;

namespace editor
{

class LogPane;
class PreviewPane;
class ProblemsPane;
class ScriptEditor;

class EditorWindow : public QMainWindow
{
    Q_OBJECT

public:
    /// launcher: the quillhaven program, whose new command makes a novel.
    EditorWindow(const EngineLibrary& engine, const QString& launcher);
    ~EditorWindow() override;

    /// Opens the novel in folder (its main.txt, or its first script), after asking about unsaved changes. False,
    /// with the reason in the status bar, when it cannot be opened.
    bool openNovel(const QString& folder);
    /// Opens a script of the open novel, after asking about unsaved changes.
    bool openScript(const QString& name);
    /// Writes the script being edited to its file.
    bool save();
    /// Play-testing from the cursor's line, or back to the edited state.
    void setPlayTesting(bool on);
    /// The preview at the player's size (1280x720, scrolled in its pane) or fitted to its pane.
    void setPreviewFits(bool fits);
    /// Inserts "cg NAME IMAGE X Y LAYER" after the cursor's line and moves the cursor onto it.
    void insertPicture(const QString& imageName, int x, int y);

    QString novelFolder() const { return m_folder; }
    QString scriptName() const { return m_scriptName; }
    ScriptEditor* scriptEditor() const { return m_editor; }
    PreviewPane* preview() const { return m_preview; }
    ProblemsPane* problems() const { return m_problems; }
    QListWidget* scriptList() const { return m_scripts; }
    QListWidget* imageList() const { return m_images; }

protected:
    void closeEvent(QCloseEvent* event) override;
    /// A click anywhere in the editor but the preview takes the keyboard back from the engine's render area.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildPanes();
    void buildActions();
    QAction* addToggle(QMenu* menu, const QString& text, void (*EngineLibrary::*setter)(std::uint8_t));
    void chooseNovel();
    void makeNovel();
    /// True when there is nothing unsaved, or the author saved it or chose to drop it.
    bool maySwitch();
    void listFiles();
    /// The open script is the one chosen in the list of scripts.
    void markOpenScript();
    void showCursorLine(int line);
    void scriptChanged();
    void goToProblem(const QString& scriptName, int line);
    void markProblems();
    void updateTitle();

    const EngineLibrary& m_engine;
    QString m_launcher;
    QString m_folder;
    QString m_scriptName;
    Vocabulary m_vocabulary;
    ScriptEditor* m_editor = nullptr;
    PreviewPane* m_preview = nullptr;
    QScrollArea* m_previewArea = nullptr;
    ProblemsPane* m_problems = nullptr;
    LogPane* m_log = nullptr;
    QListWidget* m_scripts = nullptr;
    QListWidget* m_images = nullptr;
    QAction* m_play = nullptr;
    QLabel* m_place = nullptr;
};

} // namespace editor
