#pragma once
// The scripts of a novel folder, as the engine finds them: loose files below Scripts/, and the entries of the
// archive Scripts.vndat beside it (a loose file wins over the archive entry of the same name). Scripts are read as
// UTF-8 and saved as loose files, each in one step, so that a script is never found half-written.

#include <QString>
#include <QStringList>

namespace editor
{
class ScriptFiles
{
public:
    /// Every script of novelFolder by its name below Scripts/ ("chapter1/park.txt"), sorted, each once. fromArchive,
    /// when given, gets those of them that are read from Scripts.vndat because no loose file has their name.
    static QStringList list(const QString& novelFolder, QStringList* fromArchive = nullptr);
    /// The pictures of Images/ and Images.vndat (png, jpg, bmp) by their names below Images/, sorted, each once.
    static QStringList pictures(const QString& novelFolder);
    /// Reads the script name, from its loose file or else from the archive. False, with error saying why, when it is
    /// in neither, cannot be read, is not valid UTF-8 (it would be spoilt by saving it again) or name is refused.
    static bool read(const QString& novelFolder, const QString& name, QString& text, QString* error = nullptr);
    /// Writes text as UTF-8 into Scripts/name in novelFolder, making the folders it needs; a script that so far was
    /// only in the archive gets its loose file, which the engine then reads instead. False, with error saying why,
    /// when it cannot be written or name is refused; the file is then as it was.
    static bool save(const QString& novelFolder, const QString& name, const QString& text, QString* error = nullptr);
    /// Whether name stays inside Scripts/: relative, with no empty, "." or ".." folder step.
    static bool isSafeName(const QString& name);
};
} // namespace editor
