#pragma once
// Colours script lines as the engine reads them: comments, dialogue (and the text mode it starts, carried from line
// to line in the block state), command keywords, option and kind words, bookmarks, {{variables}}, quoted
// arguments and numbers. A first word that is no command of the vocabulary is underlined, so that a mistyped
// keyword shows while it is typed.

#include "Vocabulary.h"

#include <QSyntaxHighlighter>
#include <QTextCharFormat>

#include <array>

namespace editor
{
class ScriptHighlighter : public QSyntaxHighlighter
{
    Q_OBJECT

public:
    /// What a stretch of a line is; each has its own format.
    enum class Category
    {
        Comment,
        Dialogue,
        Keyword,
        Option,
        Bookmark,
        Variable,
        Quoted,
        Number,
        Unknown,
    };
    static constexpr int kCategoryCount = int(Category::Unknown) + 1;

    /// The block state of a line after which dialogue goes on (text mode); any other state means commands.
    static constexpr int kTextMode = 1;

    explicit ScriptHighlighter(QTextDocument* document, const Vocabulary& vocabulary = Vocabulary());

    /// Colours every line anew with vocabulary's words.
    void setVocabulary(const Vocabulary& vocabulary);
    const Vocabulary& vocabulary() const { return m_vocabulary; }
    const QTextCharFormat& categoryFormat(Category category) const { return m_formats[int(category)]; }

protected:
    void highlightBlock(const QString& text) override;

private:
    /// A word of a line: where it starts and where it ends (one past its last character).
    struct Word
    {
        int start;
        int end;
    };

    /// A line read outside text mode (from = 1 after a leading ~): a comment, dialogue that starts text mode, or a
    /// command line.
    void markLine(const QString& text, int from);
    void mark(int start, int end, Category category);
    void markDialogue(const QString& text, int start, int end);
    void markCommand(const QString& text, const QList<Word>& words);
    void markArguments(const QString& text, const QList<Word>& words, int first);
    void markVariables(const QString& text, int start, int end);
    static QList<Word> wordsOf(const QString& text, int start, int end);

    Vocabulary m_vocabulary;
    std::array<QTextCharFormat, kCategoryCount> m_formats;
};
} // namespace editor
