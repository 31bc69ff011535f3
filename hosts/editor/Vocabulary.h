#pragma once
// The words a novel's scripts are written with, read from its Commands.xml by the engine's own rules: a keyword for
// every command, and the words for the kinds of things and the options that commands look for in their arguments.

#include <QHash>
#include <QSet>
#include <QString>

namespace editor
{
class Vocabulary
{
public:
    /// A novel without Commands.xml: every command's keyword is its own name, and there are no option words.
    Vocabulary();

    /// The vocabulary of the Commands.xml at path; a missing or malformed file gives the default one.
    static Vocabulary fromFile(const QString& path);
    /// The same, from the bytes of such a file.
    static Vocabulary fromXml(const QByteArray& xml);
    /// Words every novel has, whatever its Commands.xml says: on, true, here and script_fin.
    static bool isFixedWord(const QString& word);

    /// The keyword of every command (a command's keyword can be empty; that one is left out).
    const QSet<QString>& commandKeywords() const { return m_commandKeywords; }
    /// The words of the kinds of things and of the options.
    const QSet<QString>& optionWords() const { return m_optionWords; }
    /// The keyword scripts write for the command with the engine's name internalName; empty for no such command.
    QString keyword(const QString& internalName) const { return m_keywords.value(internalName); }
    /// The keyword of a bookmark line.
    QString bookmarkKeyword() const { return keyword(QStringLiteral("bookmark")); }

private:
    void collectWords(const QHash<QString, QString>& types, const QHash<QString, QString>& options);

    QHash<QString, QString> m_keywords; // the engine's name of a command -> its keyword
    QSet<QString> m_commandKeywords;
    QSet<QString> m_optionWords;
};
} // namespace editor
