#include "ScriptFiles.h"

#include "FileReplacement.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>
#include <limits>
#include <string>
#include <zip.h>

namespace editor
{
namespace
{
const QString kScripts = QStringLiteral("Scripts");
const QString kScriptSuffix = QStringLiteral(".txt");

bool Fail(QString* error, const QString& message)
{
    if (error != nullptr)
        *error = message;
    return false;
}

QString ScriptsFolder(const QString& novelFolder)
{
    return QDir(novelFolder).filePath(kScripts);
}

/// The archive of a data folder (Scripts.vndat for Scripts/), open for reading while this lives; not open when it
/// is missing or unreadable.
class DataArchive
{
public:
    DataArchive(const QString& novelFolder, const QString& folder)
        : m_folder(folder),
          m_archive(zip_open(QFile::encodeName(QDir(novelFolder).filePath(folder + QStringLiteral(".vndat"))),
                             ZIP_RDONLY, nullptr))
    {
    }
    ~DataArchive()
    {
        if (m_archive != nullptr)
            zip_discard(m_archive);
    }
    DataArchive(const DataArchive&) = delete;
    DataArchive& operator=(const DataArchive&) = delete;

    bool isOpen() const { return m_archive != nullptr; }
    /// The names below the folder of the archive's files that end in one of suffixes.
    QStringList names(const QStringList& suffixes) const;
    /// The bytes of FOLDER/name; false when there is no such entry or it cannot be read.
    bool read(const QString& name, QByteArray& bytes) const;

private:
    QString m_folder;
    zip_t* m_archive;
};

bool EndsWithOneOf(const QString& name, const QStringList& suffixes)
{
    for (const QString& suffix : suffixes)
        if (name.endsWith(suffix, Qt::CaseInsensitive))
            return true;
    return false;
}

QStringList DataArchive::names(const QStringList& suffixes) const
{
    QStringList names;
    const zip_int64_t count = m_archive != nullptr ? zip_get_num_entries(m_archive, 0) : 0;
    for (zip_int64_t i = 0; i < count; ++i)
    {
        const char* entry = zip_get_name(m_archive, zip_uint64_t(i), 0);
        const QString name = QString::fromUtf8(entry != nullptr ? entry : "");
        if (name.startsWith(m_folder + QLatin1Char('/')) && EndsWithOneOf(name, suffixes))
            names.append(name.mid(m_folder.size() + 1));
    }
    return names;
}

bool DataArchive::read(const QString& name, QByteArray& bytes) const
{
    const QByteArray entry = (m_folder + QLatin1Char('/') + name).toUtf8();
    zip_stat_t stat;
    if (m_archive == nullptr || zip_stat(m_archive, entry.constData(), 0, &stat) != 0 ||
        (stat.valid & ZIP_STAT_SIZE) == 0 || stat.size > zip_uint64_t(std::numeric_limits<int>::max()))
        return false;
    zip_file_t* file = zip_fopen_index(m_archive, stat.index, 0);
    if (file == nullptr)
        return false;
    bytes.resize(qsizetype(stat.size));
    const zip_int64_t got = zip_fread(file, bytes.data(), stat.size);
    zip_fclose(file);
    return got == zip_int64_t(stat.size);
}

/// The loose files below folder that end in one of suffixes, by their names below it.
QStringList LooseFiles(const QString& folder, const QStringList& suffixes)
{
    QStringList names;
    const QDir root(folder);
    for (QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
    {
        const QString path = it.next();
        if (EndsWithOneOf(path, suffixes))
            names.append(root.relativeFilePath(path));
    }
    return names;
}

/// The files of a data folder and its archive, each once, sorted; archived gets those only the archive holds.
QStringList FolderAndArchive(const QString& novelFolder, const QString& folder, const QStringList& suffixes,
                             QStringList* archived)
{
    QStringList names = LooseFiles(QDir(novelFolder).filePath(folder), suffixes);
    QStringList packed;
    for (const QString& name : DataArchive(novelFolder, folder).names(suffixes))
        if (ScriptFiles::isSafeName(name) && !names.contains(name) && !packed.contains(name))
            packed.append(name);
    names += packed;
    names.sort();
    if (archived != nullptr)
        *archived = packed;
    return names;
}

/// UTF-8 bytes as text; a byte-order mark stays as U+FEFF, so that saving gives the same bytes back.
bool Decode(const QByteArray& bytes, QString& text, const QString& name, QString* error)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    QString decoded = decoder.decode(bytes);
    if (decoder.hasError())
        return Fail(
            error,
            QStringLiteral("'%1' is not valid UTF-8; it is not opened, so that saving cannot spoil it").arg(name));
    text = std::move(decoded);
    return true;
}

/// Whether folder, once made, lies inside scripts: its nearest existing folder does, no link leading out of it.
bool StaysInside(const QString& folder, const QString& scripts)
{
    QFileInfo existing(folder);
    while (!existing.exists())
        existing = QFileInfo(existing.absolutePath());
    const QString real = existing.canonicalFilePath();
    const QString root = QFileInfo(scripts).canonicalFilePath();
    return !root.isEmpty() && (real == root || real.startsWith(root + QLatin1Char('/')));
}

bool WriteBytes(const QString& path, const QByteArray& bytes, QString* error)
{
    std::string why;
    const bool written = zel::ReplaceFile(
        QFile::encodeName(path).toStdString(),
        [&bytes](const std::string& temporary) {
            QFile file(QFile::decodeName(temporary.c_str()));
            return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
        },
        why);
    return written || Fail(error, QStringLiteral("cannot write '%1': %2").arg(path, QString::fromStdString(why)));
}
} // namespace

QStringList ScriptFiles::list(const QString& novelFolder, QStringList* fromArchive)
{
    return FolderAndArchive(novelFolder, kScripts, {kScriptSuffix}, fromArchive);
}

QStringList ScriptFiles::pictures(const QString& novelFolder)
{
    return FolderAndArchive(novelFolder, QStringLiteral("Images"),
                            {QStringLiteral(".png"), QStringLiteral(".jpg"), QStringLiteral(".bmp")}, nullptr);
}

bool ScriptFiles::read(const QString& novelFolder, const QString& name, QString& text, QString* error)
{
    if (!isSafeName(name))
        return Fail(error, QStringLiteral("'%1' is not a name inside Scripts/").arg(name));
    QFile file(QDir(ScriptsFolder(novelFolder)).filePath(name));
    if (file.exists())
    {
        if (!file.open(QIODevice::ReadOnly))
            return Fail(error, QStringLiteral("cannot read '%1': %2").arg(file.fileName(), file.errorString()));
        return Decode(file.readAll(), text, name, error);
    }
    QByteArray bytes;
    const DataArchive archive(novelFolder, kScripts);
    if (!archive.read(name, bytes))
        return Fail(error, QStringLiteral("no script '%1' in Scripts/ or Scripts.vndat").arg(name));
    return Decode(bytes, text, name, error);
}

bool ScriptFiles::save(const QString& novelFolder, const QString& name, const QString& text, QString* error)
{
    if (!isSafeName(name))
        return Fail(error, QStringLiteral("'%1' is not a name inside Scripts/").arg(name));
    const QString scripts = ScriptsFolder(novelFolder);
    const QString path = QDir(scripts).filePath(name);
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(scripts) || !StaysInside(folder, scripts))
        return Fail(error, QStringLiteral("'%1' is not inside a Scripts/ folder (a link leads out of it?)").arg(path));
    if (!QDir().mkpath(folder))
        return Fail(error, QStringLiteral("cannot make the folder '%1'").arg(folder));
    return WriteBytes(path, text.toUtf8(), error);
}

bool ScriptFiles::isSafeName(const QString& name)
{
    if (name.isEmpty() || name.startsWith(QLatin1Char('/')) || name.contains(QLatin1Char('\0')))
        return false;
    const QStringList steps = name.split(QLatin1Char('/'));
    return std::none_of(steps.begin(), steps.end(), [](const QString& step) {
        return step.isEmpty() || step == QLatin1String(".") || step == QLatin1String("..");
    });
}
} // namespace editor
