// quillhaven-editor: write a novel while the engine shows the line under the cursor.
//
//   quillhaven-editor [NOVEL_DIR]
//
// The editor is a host like any other: it loads the engine library beside itself and drives it only through its
// exports, with the engine's render area inside the editor's preview pane.

#include "EditorWindow.h"
#include "EngineLibrary.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QMessageBox>
#include <QTimer>

#include <clocale>

int main(int argc, char** argv)
{
    std::setlocale(LC_CTYPE, "C.UTF-8");
    // The engine's render area is a window on the X server inside the preview: the editor must run on X as well.
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillhaven editor"));
    EngineLibrary engine;
    std::string error;
    if (!engine.LoadBeside(argv[0], error))
    {
        QMessageBox::critical(nullptr, QStringLiteral("Quillhaven editor"), QString::fromStdString(error));
        return 2;
    }
    const QString launcher = QCoreApplication::applicationDirPath() + QStringLiteral("/quillhaven");
    editor::EditorWindow window(engine, launcher);
    window.resize(1280, 960);
    window.show();
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() > 1)
    {
        const QString folder = QDir(arguments.at(1)).absolutePath();
        QTimer::singleShot(0, &window, [&window, folder] { window.openNovel(folder); });
    }
    return QApplication::exec();
}
