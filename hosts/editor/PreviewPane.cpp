#include "PreviewPane.h"

#include <QDragEnterEvent>
#include <QMimeData>

#include <cstdint>
#include <string>

namespace editor
{
namespace
{
/// About 60 frames a second: the engine itself draws only when something changed.
constexpr int kFrameMilliseconds = 16;
const wchar_t* const kTitle = L"Quillhaven editor";

std::wstring Wide(const QString& text)
{
    return text.toStdWString();
}
} // namespace

PreviewPane::PreviewPane(const EngineLibrary& engine, QWidget* parent) : QWidget(parent), m_engine(engine)
{
    // A window of its own on the X server, which the engine's render area becomes a child of.
    setAttribute(Qt::WA_NativeWindow);
    setAttribute(Qt::WA_DontCreateNativeAncestors);
    setAttribute(Qt::WA_PaintOnScreen);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAcceptDrops(true);
    m_frames.setTimerType(Qt::PreciseTimer);
    connect(&m_frames, &QTimer::timeout, this, &PreviewPane::frame);
}

PreviewPane::~PreviewPane()
{
    close();
}

bool PreviewPane::open(const QString& scriptName, const QString& text, int line)
{
    close();
    if (!m_x11)
        return false;
    void* const host = reinterpret_cast<void*>(static_cast<std::uintptr_t>(winId()));
    const std::wstring name = Wide(scriptName);
    const std::wstring script = Wide(text);
    void* const area = m_engine.CreateRenderWindow(nullptr, host, width(), height(), kTitle, name.c_str(),
                                                   script.c_str(), L"editor", 1);
    if (area == nullptr)
        return false;
    m_renderArea = static_cast<hostcommon::WindowId>(reinterpret_cast<std::uintptr_t>(area));
    m_engine.InitNovelSettings(nullptr, host, kTitle, name.c_str(), script.c_str(), L"editor", 1);
    // The render area stays hidden until its host shows it.
    hostcommon::MapWindow(m_x11.get(), m_renderArea);
    hostcommon::WatchKeys(m_x11.get(), m_renderArea);
    m_playing = false;
    m_frames.start(kFrameMilliseconds);
    showLine(scriptName, text, line, true);
    return true;
}

void PreviewPane::close()
{
    if (!isOpen())
        return;
    m_frames.stop();
    m_engine.DestroyRenderWindow();
    m_renderArea = 0;
    m_playing = false;
}

void PreviewPane::showLine(const QString& scriptName, const QString& text, int line, bool reset)
{
    if (!isOpen() || m_playing)
        return;
    QElapsedTimer took;
    took.start();
    const std::wstring name = Wide(scriptName);
    const std::wstring script = Wide(text);
    m_engine.setNovelScriptText(name.c_str(), script.c_str(), line, reset ? 1 : 0);
    m_lastRead = took.nsecsElapsed();
    renderNow();
    m_lastShow = took.nsecsElapsed();
}

void PreviewPane::setPlaying(bool playing)
{
    if (!isOpen() || playing == m_playing)
        return;
    m_playing = playing;
    m_engine.setGameMode(playing ? 1 : 0);
    renderNow();
}

void PreviewPane::beginPlacing(const QString& imageName)
{
    if (!isOpen() || m_playing)
        return;
    m_engine.AddCG(Wide(imageName).c_str());
    renderNow();
}

void PreviewPane::returnKeyboard(hostcommon::WindowId editorWindow)
{
    if (isOpen() && hostcommon::FocusedWindow(m_x11.get()) == m_renderArea)
        hostcommon::FocusOn(m_x11.get(), editorWindow);
}

void PreviewPane::renderNow()
{
    if (isOpen())
        m_engine.UpdateRenderWindow();
}

void PreviewPane::frame()
{
    renderNow();
    takePlacement();
    takeKeys();
}

void PreviewPane::takePlacement()
{
    wchar_t image[4096] = {};
    UserDialogInfo dialog{};
    m_engine.getDLLInformation(nullptr, image, &dialog, 1);
    if (dialog.pending == 0 || dialog.kind != 2)
        return;
    // The engine keeps the picture's centre on the pointer.
    int x = 0;
    int y = 0;
    if (!pointer(x, y))
        return;
    x -= dialog.imageWidth / 2;
    y -= dialog.imageHeight / 2;
    if (dialog.pending == 2)
        emit picturePlaced(QString::fromWCharArray(image), x, y);
    else
        emit pictureMoved(x, y);
}

void PreviewPane::takeKeys()
{
    for (const std::string& key : hostcommon::TakeKeyPresses(m_x11.get()))
        if (key == "Escape" && m_playing)
            emit playTestLeft();
}

bool PreviewPane::pointer(int& x, int& y) const
{
    return hostcommon::PointerIn(m_x11.get(), m_renderArea, x, y);
}

void PreviewPane::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (!isOpen())
        return;
    m_engine.setEngineResolution(width(), height());
    renderNow();
}

void PreviewPane::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasFormat(ImageMimeType()) && isOpen() && !m_playing)
        event->acceptProposedAction();
}

void PreviewPane::dragMoveEvent(QDragMoveEvent* event)
{
    if (event->mimeData()->hasFormat(ImageMimeType()))
        event->acceptProposedAction();
}

void PreviewPane::dropEvent(QDropEvent* event)
{
    const QString image = QString::fromUtf8(event->mimeData()->data(ImageMimeType()));
    if (image.isEmpty())
        return;
    event->acceptProposedAction();
    beginPlacing(image);
}

} // namespace editor
