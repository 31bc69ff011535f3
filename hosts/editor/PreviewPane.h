#pragma once
// The engine's picture inside the editor: a native child widget whose X window is the host window the engine makes
// its render area in. A timer runs the engine's frames; the script and the cursor's line go to the engine as the
// author types and moves, and the frame is drawn at once, so the picture never lags the cursor by a timer tick.

#include "EngineLibrary.h"
#include "X11Host.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

namespace editor
{

class PreviewPane : public QWidget
{
    Q_OBJECT

public:
    explicit PreviewPane(const EngineLibrary& engine, QWidget* parent = nullptr);
    ~PreviewPane() override;

    /// Starts the engine in editor mode in this pane, in the current folder (the novel's), showing line of the
    /// script. False when the engine made no render area.
    bool open(const QString& scriptName, const QString& text, int line);
    /// Tears the engine down; the pane can open again (another novel) in the same process.
    void close();
    bool isOpen() const { return m_renderArea != 0; }

    /// Hands the engine the cursor's line, with the script's text when it has changed (reset; a move without reset
    /// needs no text), and draws at once.
    void showLine(const QString& scriptName, const QString& text, int line, bool reset);
    /// Play-testing from the cursor's line (true), or back to the edited state (false).
    void setPlaying(bool playing);
    bool playing() const { return m_playing; }
    /// The image of Images/ that follows the pointer until a click places it.
    void beginPlacing(const QString& imageName);

    /// The engine's render area takes the keyboard when it is clicked (so that a play-test hears the keys); this
    /// hands it back to the editor's window, if the render area has it.
    void returnKeyboard(hostcommon::WindowId editorWindow);
    /// One engine frame now.
    void renderNow();
    /// The engine's render area (an X window id), 0 while closed.
    hostcommon::WindowId renderArea() const { return m_renderArea; }
    /// How long the last showLine took, from the handing over to the frame drawn.
    qint64 lastShowNanoseconds() const { return m_lastShow; }
    /// The engine's reading of the lines in it, before the frame was drawn.
    qint64 lastReadNanoseconds() const { return m_lastRead; }

    QPaintEngine* paintEngine() const override { return nullptr; }

signals:
    /// A click placed the picture with its top-left corner at x, y of the novel.
    void picturePlaced(const QString& imageName, int x, int y);
    /// The picture follows the pointer: its top-left corner would be x, y.
    void pictureMoved(int x, int y);
    /// Esc was pressed while play-testing.
    void playTestLeft();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void frame();
    void takePlacement();
    void takeKeys();
    /// The pointer over the render area, in its pixels; false when it cannot be asked.
    bool pointer(int& x, int& y) const;

    const EngineLibrary& m_engine;
    hostcommon::X11Connection m_x11;
    QTimer m_frames;
    hostcommon::WindowId m_renderArea = 0;
    bool m_playing = false;
    qint64 m_lastShow = 0;
    qint64 m_lastRead = 0;
};

/// The MIME type of an image name dragged from the editor's image list.
inline const char* ImageMimeType()
{
    return "application/x-quillhaven-image";
}

} // namespace editor
