#include "Vocabulary.h"

#include "CommandWords.h"

#include <QFile>
#include <QXmlStreamReader>

namespace editor
{
namespace
{
/// What a Commands.xml says, before it is known to be well-formed: a malformed file must change nothing.
struct Entries
{
    QList<QPair<QString, QString>> commands; // cmd, name: in file order, so that the last entry of a command wins
    QHash<QString, QString> types;           // name -> jap: the first entry of a name wins
    QHash<QString, QString> options;
};

/// Reads the entries of one section: every element directly inside it, which the reader then skips.
template <typename Take> void ReadSection(QXmlStreamReader& reader, Take take)
{
    while (reader.readNextStartElement())
    {
        take(reader.attributes());
        reader.skipCurrentElement();
    }
}

/// Adds name -> jap unless name is empty or already there.
void TakeWord(QHash<QString, QString>& into, const QXmlStreamAttributes& attributes)
{
    const QString name = attributes.value(QLatin1String("name")).toString();
    if (!name.isEmpty() && !into.contains(name))
        into.insert(name, attributes.value(QLatin1String("jap")).toString());
}

/// Reads ScriptStrings/Keywords: only its first Types and first CmdOptions sections count.
void ReadKeywords(QXmlStreamReader& reader, Entries& entries)
{
    bool typesRead = false;
    bool optionsRead = false;
    while (reader.readNextStartElement())
    {
        const bool types = reader.name() == QLatin1String("Types");
        bool& read = types ? typesRead : optionsRead;
        if ((!types && reader.name() != QLatin1String("CmdOptions")) || read)
        {
            reader.skipCurrentElement();
            continue;
        }
        read = true;
        QHash<QString, QString>& into = types ? entries.types : entries.options;
        ReadSection(reader, [&into](const QXmlStreamAttributes& attributes) { TakeWord(into, attributes); });
    }
}

/// Reads the root element ScriptStrings: only its first Commands and first Keywords sections count.
void ReadRoot(QXmlStreamReader& reader, Entries& entries)
{
    bool commandsRead = false;
    bool keywordsRead = false;
    while (reader.readNextStartElement())
    {
        if (reader.name() == QLatin1String("Commands") && !commandsRead)
        {
            commandsRead = true;
            ReadSection(reader, [&entries](const QXmlStreamAttributes& attributes) {
                entries.commands.append({attributes.value(QLatin1String("cmd")).toString(),
                                         attributes.value(QLatin1String("name")).toString()});
            });
        }
        else if (reader.name() == QLatin1String("Keywords") && !keywordsRead)
        {
            keywordsRead = true;
            ReadKeywords(reader, entries);
        }
        else
            reader.skipCurrentElement();
    }
}

/// The entries of a whole file; false when it is not well-formed XML.
bool ReadEntries(const QByteArray& xml, Entries& entries)
{
    QXmlStreamReader reader(xml);
    if (reader.readNextStartElement() && reader.name() == QLatin1String("ScriptStrings"))
        ReadRoot(reader, entries);
    while (!reader.atEnd())
        reader.readNext();
    return !reader.hasError();
}

/// A command's keyword is its name attribute up to the first blank.
QString KeywordOf(const QString& name)
{
    return name.left(name.indexOf(QLatin1Char(' ')));
}
} // namespace

Vocabulary::Vocabulary()
{
    for (const hostcommon::Word& command : hostcommon::CommandWords())
        m_keywords.insert(QString::fromUtf8(command.name), QString::fromUtf8(command.name));
    collectWords({}, {});
}

Vocabulary Vocabulary::fromFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? fromXml(file.readAll()) : Vocabulary();
}

Vocabulary Vocabulary::fromXml(const QByteArray& xml)
{
    Vocabulary vocabulary;
    Entries entries;
    if (!ReadEntries(xml, entries))
        return vocabulary;
    for (const auto& [cmd, name] : entries.commands)
        if (vocabulary.m_keywords.contains(cmd))
            vocabulary.m_keywords.insert(cmd, KeywordOf(name));
    vocabulary.collectWords(entries.types, entries.options);
    return vocabulary;
}

bool Vocabulary::isFixedWord(const QString& word)
{
    static const QSet<QString> fixed{QStringLiteral("on"), QStringLiteral("true"), QStringLiteral("here"),
                                     QStringLiteral("script_fin")};
    return fixed.contains(word);
}

void Vocabulary::collectWords(const QHash<QString, QString>& types, const QHash<QString, QString>& options)
{
    m_commandKeywords.clear();
    m_optionWords.clear();
    for (const QString& keyword : m_keywords)
        if (!keyword.isEmpty())
            m_commandKeywords.insert(keyword);
    for (const QHash<QString, QString>* words : {&types, &options})
        for (const QString& word : *words)
            if (!word.isEmpty())
                m_optionWords.insert(word);
}
} // namespace editor
