#include "ScriptHighlighter.h"

#include <algorithm>

namespace editor
{
namespace
{
constexpr int kCommandMode = 0;

/// The blanks that split a line, as the engine has them: ASCII white space and the Unicode spaces (the
/// ideographic space among them), but not the no-break spaces.
bool IsBlank(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 0x80)
        return u == ' ' || (u >= '\t' && u <= '\r');
    return u == 0x1680 || (u >= 0x2000 && u <= 0x200A && u != 0x2007) || u == 0x2028 || u == 0x2029 || u == 0x205F ||
           u == 0x3000;
}

bool IsQuote(QChar c)
{
    return c == QLatin1Char('\'') || c == QLatin1Char('"');
}

/// A whole line that is a comment: it starts with // or ~//.
bool IsCommentLine(const QString& text)
{
    return text.startsWith(QLatin1String("//")) || text.startsWith(QLatin1String("~//"));
}

/// Where the comment at the end of a command line starts: at the first // from the third character on (the
/// engine cuts the line there even inside quote marks); the line's length when there is none.
int CommentStart(const QString& text)
{
    const int slashes = int(text.indexOf(QLatin1String("//")));
    return slashes >= 2 ? slashes : int(text.size());
}

/// A whole number or a decimal, with an optional sign.
bool IsNumber(QStringView word)
{
    if (word.startsWith(QLatin1Char('-')) || word.startsWith(QLatin1Char('+')))
        word = word.mid(1);
    const qsizetype point = word.indexOf(QLatin1Char('.'));
    const auto digits = [](QStringView run) {
        return !run.isEmpty() && std::all_of(run.begin(), run.end(), [](QChar c) { return c.isDigit(); });
    };
    return point < 0 ? digits(word) : digits(word.left(point)) && digits(word.mid(point + 1));
}

QTextCharFormat Coloured(const char* colour, bool bold = false, bool italic = false)
{
    QTextCharFormat format;
    format.setForeground(QColor(QLatin1String(colour)));
    if (bold)
        format.setFontWeight(QFont::Bold);
    format.setFontItalic(italic);
    return format;
}
} // namespace

ScriptHighlighter::ScriptHighlighter(QTextDocument* document, const Vocabulary& vocabulary)
    : QSyntaxHighlighter(document), m_vocabulary(vocabulary)
{
    m_formats[int(Category::Comment)] = Coloured("#7a7a7a", false, true);
    m_formats[int(Category::Dialogue)] = Coloured("#5c3d99");
    m_formats[int(Category::Keyword)] = Coloured("#0b4fa8", true);
    m_formats[int(Category::Option)] = Coloured("#8f2f8f");
    m_formats[int(Category::Bookmark)] = Coloured("#a35200", true);
    m_formats[int(Category::Variable)] = Coloured("#007a73", true);
    m_formats[int(Category::Quoted)] = Coloured("#2e7d32");
    m_formats[int(Category::Number)] = Coloured("#1750eb");
    QTextCharFormat& unknown = m_formats[int(Category::Unknown)];
    unknown.setUnderlineStyle(QTextCharFormat::WaveUnderline);
    unknown.setUnderlineColor(Qt::red);
}

void ScriptHighlighter::setVocabulary(const Vocabulary& vocabulary)
{
    m_vocabulary = vocabulary;
    rehighlight();
}

void ScriptHighlighter::highlightBlock(const QString& text)
{
    const bool wasTextMode = previousBlockState() == kTextMode;
    setCurrentBlockState(wasTextMode ? kTextMode : kCommandMode);
    if (wordsOf(text, 0, int(text.size())).isEmpty())
        return; // empty lines change nothing, in text mode too
    const int from = text.startsWith(QLatin1Char('~')) ? 1 : 0;
    if (from == 1)
        setCurrentBlockState(kCommandMode); // ~ ends text mode; the rest of the line is read as a command line
    else if (wasTextMode)
        return markDialogue(text, 0, int(text.size()));
    markLine(text, from);
}

void ScriptHighlighter::markLine(const QString& text, int from)
{
    if (IsCommentLine(text))
        return mark(0, int(text.size()), Category::Comment);
    const int end = CommentStart(text);
    mark(end, int(text.size()), Category::Comment);
    const QList<Word> words = wordsOf(text, from, end);
    if (words.isEmpty())
        return;
    if (from == 1 && words.front().start != 1)
        return mark(0, 1, Category::Unknown); // "~ word": the engine's first word is empty, so nothing runs
    const QStringView first = QStringView(text).mid(words.front().start);
    if (first.startsWith(QLatin1Char('"')) || first.startsWith(QLatin1String("-\"")))
    {
        setCurrentBlockState(kTextMode);
        return markDialogue(text, words.front().start, end);
    }
    markCommand(text, words);
    markVariables(text, from, end);
}

void ScriptHighlighter::mark(int start, int end, Category category)
{
    if (end > start)
        setFormat(start, end - start, m_formats[int(category)]);
}

void ScriptHighlighter::markDialogue(const QString& text, int start, int end)
{
    mark(start, end, Category::Dialogue);
    markVariables(text, start, end);
}

void ScriptHighlighter::markCommand(const QString& text, const QList<Word>& words)
{
    const Word& first = words.front();
    const int keywordStart = text[first.start] == QLatin1Char('.') ? first.start + 1 : first.start;
    const QString keyword = text.mid(keywordStart, first.end - keywordStart);
    if (!keyword.isEmpty() && keyword == m_vocabulary.bookmarkKeyword())
    {
        mark(first.start, words.size() > 1 ? words[1].end : first.end, Category::Bookmark);
        return markArguments(text, words, 2);
    }
    const bool known = m_vocabulary.commandKeywords().contains(keyword) || keyword == QLatin1String("script_fin");
    mark(first.start, first.end, known ? Category::Keyword : Category::Unknown);
    markArguments(text, words, 1);
}

void ScriptHighlighter::markArguments(const QString& text, const QList<Word>& words, int first)
{
    for (int i = first; i < words.size(); ++i)
    {
        const QStringView word = QStringView(text).mid(words[i].start, words[i].end - words[i].start);
        if (IsQuote(word.front()))
        {
            // A quotation runs to the first word that ends in a quote mark, or to the end of the line.
            int last = i;
            while (last + 1 < words.size() && !IsQuote(text[words[last].end - 1]))
                ++last;
            mark(words[i].start, words[last].end, Category::Quoted);
            i = last;
        }
        else if (m_vocabulary.optionWords().contains(word.toString()) || Vocabulary::isFixedWord(word.toString()))
            mark(words[i].start, words[i].end, Category::Option);
        else if (IsNumber(word))
            mark(words[i].start, words[i].end, Category::Number);
    }
}

void ScriptHighlighter::markVariables(const QString& text, int start, int end)
{
    for (int open = int(text.indexOf(QLatin1String("{{"), start)); open >= 0 && open < end;)
    {
        const int close = int(text.indexOf(QLatin1String("}}"), open + 2));
        if (close < 0 || close + 2 > end)
            return;
        mark(open, close + 2, Category::Variable);
        open = int(text.indexOf(QLatin1String("{{"), close + 2));
    }
}

QList<ScriptHighlighter::Word> ScriptHighlighter::wordsOf(const QString& text, int start, int end)
{
    QList<Word> words;
    for (int pos = start; pos < end;)
    {
        while (pos < end && IsBlank(text[pos]))
            ++pos;
        const int wordStart = pos;
        while (pos < end && !IsBlank(text[pos]))
            ++pos;
        if (pos > wordStart)
            words.append({wordStart, pos});
    }
    return words;
}
} // namespace editor
