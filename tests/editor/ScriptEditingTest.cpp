// The editor's script editing: how lines are coloured in an English and a Japanese vocabulary, what the editor
// tells of edits and line changes, and a novel's scripts in its folder and its archive.

#include "ScriptEditor.h"
#include "ScriptFiles.h"
#include "ScriptHighlighter.h"
#include "Vocabulary.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

using editor::ScriptHighlighter;
using Category = ScriptHighlighter::Category;

namespace
{
constexpr int kPlain = -1; // no colour at all

// wait gets the keyword of its last entry; noCamera the word of its first; the file gives bg no word.
const char* const kEnglishXml = R"(<ScriptStrings><Commands><C cmd="wait" name="pause" /><C cmd="wait" name="wait MS" />
</Commands><Keywords><CmdOptions><O name="noCamera" jap="noCamera" /><O name="noCamera" jap="sansCamera" />
</CmdOptions></Keywords></ScriptStrings>)";
const char* const kBrokenXml = R"(<ScriptStrings><Commands><C cmd="bg" name="fond" /></Commands>)";

const QStringList kEnglishScript{"bg park.png noCamera // a note",
                                 "\"Hello {{name}}, see http://x",
                                 "this // is text",
                                 "",
                                 "bg still text",
                                 "~wait 500",
                                 "pause 500",
                                 ".move a 1 0 500",
                                 "bookmark end _who",
                                 "text t 0 0 1 f.ttf 20 'Chapter One' x",
                                 "~// a comment",
                                 "bgg park.png",
                                 "script_fin",
                                 "var a = {{b}}",
                                 "cg a a.png 0 0 1 sansCamera",
                                 "~ bg park.png",
                                 "-\"and more"};
const QStringList kJapaneseScript{"背景 meadow.png カメラなし", "bg meadow.png",  "\"こんにちは　{{名前}}",
                                  "背景 is text now",           "~しおり 終わり", "待つ ボタン選択"};
} // namespace

class ScriptEditingTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void linesAreColouredAsTheEngineReadsThem_data();
    void linesAreColouredAsTheEngineReadsThem();
    void editorTellsOfTheAuthorsEditsAndLineChanges();
    void scriptsComeFromTheFolderBeforeTheArchive();

private:
    static void run(const QStringList& arguments);

    QTemporaryDir m_dir;
    QString m_novel;
};

void ScriptEditingTest::run(const QStringList& arguments)
{
    QProcess launcher;
    launcher.start(QStringLiteral(QUILLHAVEN_LAUNCHER_PATH), arguments);
    QVERIFY2(launcher.waitForFinished(60000) && launcher.exitCode() == 0, launcher.readAllStandardError());
}

void ScriptEditingTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_novel = m_dir.filePath("novel");
    run({"new", m_novel, "--vocabulary", "ja"});
}

void ScriptEditingTest::linesAreColouredAsTheEngineReadsThem_data()
{
    QTest::addColumn<QString>("vocabulary");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("fragment");
    QTest::addColumn<int>("category");
    const auto row = [](const char* vocabulary, int line, const QString& fragment, int category) {
        QTest::addRow("%s line %d: %s", vocabulary, line, qPrintable(fragment))
            << vocabulary << line << fragment << category;
    };
    row("en", 1, "bg", int(Category::Keyword));
    row("en", 1, "noCamera", int(Category::Option));
    row("en", 1, "// a note", int(Category::Comment));
    row("en", 1, "park.png", kPlain);
    row("en", 2, "\"Hello ", int(Category::Dialogue));
    row("en", 2, "{{name}}", int(Category::Variable));
    row("en", 2, "//x", int(Category::Comment)); // the line that starts text mode still loses its comment
    row("en", 3, "this // is text", int(Category::Dialogue));
    row("en", 5, "bg still text", int(Category::Dialogue)); // the empty line kept text mode
    row("en", 6, "wait", int(Category::Keyword));
    row("en", 6, "500", int(Category::Number));
    row("en", 7, "pause", int(Category::Unknown));
    row("en", 8, ".move", int(Category::Keyword));
    row("en", 9, "bookmark end", int(Category::Bookmark));
    row("en", 10, "'Chapter One'", int(Category::Quoted));
    row("en", 11, "~// a comment", int(Category::Comment));
    row("en", 12, "bgg", int(Category::Unknown));
    row("en", 13, "script_fin", int(Category::Keyword));
    row("en", 14, "{{b}}", int(Category::Variable));
    row("en", 15, "sansCamera", kPlain);
    row("en", 16, "~", int(Category::Unknown));
    row("en", 17, "-\"and more", int(Category::Dialogue));
    row("broken", 1, "bg", int(Category::Keyword));
    row("broken", 1, "noCamera", kPlain);
    row("ja", 1, "背景", int(Category::Keyword));
    row("ja", 1, "カメラなし", int(Category::Option));
    row("ja", 2, "bg", int(Category::Unknown));
    row("ja", 3, "\"こんにちは　", int(Category::Dialogue));
    row("ja", 3, "{{名前}}", int(Category::Variable));
    row("ja", 4, "背景 is text now", int(Category::Dialogue));
    row("ja", 5, "しおり 終わり", int(Category::Bookmark));
    row("ja", 6, "ボタン選択", int(Category::Option));
}

void ScriptEditingTest::linesAreColouredAsTheEngineReadsThem()
{
    QFETCH(QString, vocabulary);
    QFETCH(int, line);
    QFETCH(QString, fragment);
    QFETCH(int, category);
    QTextDocument document;
    document.setPlainText((vocabulary == "ja" ? kJapaneseScript : kEnglishScript).join('\n'));
    ScriptHighlighter highlighter(&document); // colours the lines when the vocabulary is set
    highlighter.setVocabulary(vocabulary == "ja"       ? editor::Vocabulary::fromFile(m_novel + "/Commands.xml")
                              : vocabulary == "broken" ? editor::Vocabulary::fromXml(kBrokenXml)
                                                       : editor::Vocabulary::fromXml(kEnglishXml));
    const QTextBlock block = document.findBlockByNumber(line - 1);
    const int start = int(block.text().indexOf(fragment));
    QVERIFY2(start >= 0, qPrintable(block.text()));
    for (int at = start; at < start + fragment.size(); ++at)
    {
        QTextCharFormat found;
        for (const QTextLayout::FormatRange& range : block.layout()->formats())
            if (at >= range.start && at < range.start + range.length)
                found = range.format;
        const QTextCharFormat expected =
            category == kPlain ? QTextCharFormat() : highlighter.categoryFormat(Category(category));
        QVERIFY2(found == expected, qPrintable(QString("column %1").arg(at)));
    }
}

void ScriptEditingTest::editorTellsOfTheAuthorsEditsAndLineChanges()
{
    editor::ScriptEditor editor;
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    QSignalSpy lines(&editor, &editor::ScriptEditor::cursorLineChanged);
    QSignalSpy edits(&editor, &editor::ScriptEditor::scriptEdited);
    const QString text = QString::fromUtf8("bg a.png\r\n\"Hi\u00A0there\r\nwait 5\r\n");
    editor.setScript(text);
    QCOMPARE(editor.script(), text); // no-break space and line ends kept
    editor.goToLine(3);
    QTest::keyClicks(&editor, "xy");
    QTest::keyClick(&editor, Qt::Key_Up);
    QCOMPARE(lines.size(), 2); // to line 3, then to line 2: not for the letters typed within line 3
    QCOMPARE(lines.at(1).at(0).toInt(), 2);
    QVERIFY(edits.size() > 0);
    edits.clear();
    editor.undo();
    QCOMPARE(edits.size(), 1);
    editor.setVocabulary(editor::Vocabulary());
    editor.setScript("a\nb");
    QCOMPARE(edits.size(), 1); // neither colouring anew nor loading is an edit
    QCOMPARE(lines.last().at(0).toInt(), 1);
    QVERIFY(!editor.document()->isUndoAvailable() && !editor.document()->isModified());
    editor.setProblemLines({{2, false}, {2, true}, {9, true}});
    QCOMPARE(editor.extraSelections().size(), 1);
    editor.setProblemLines({});
    QVERIFY(editor.extraSelections().isEmpty());
}

void ScriptEditingTest::scriptsComeFromTheFolderBeforeTheArchive()
{
    using editor::ScriptFiles;
    const QString packed = m_dir.filePath("packed/Scripts");
    QVERIFY(QDir().mkpath(packed + "/extra"));
    for (const QString& name : {"main.txt", "extra/only.txt"})
        QVERIFY(ScriptFiles::save(m_dir.filePath("packed"), name, "from the archive"));
    run({"pack", packed, m_novel + "/Scripts.vndat"});
    QStringList fromArchive;
    QCOMPARE(ScriptFiles::list(m_novel, &fromArchive), QStringList({"extra/only.txt", "main.txt", "msgbox.txt"}));
    QCOMPARE(fromArchive, QStringList{"extra/only.txt"});
    QString text;
    QVERIFY(ScriptFiles::read(m_novel, "main.txt", text) && text.startsWith("// Scripts/main.txt"));
    QVERIFY(ScriptFiles::read(m_novel, "extra/only.txt", text) && text == "from the archive");

    const QString edited = QString::fromUtf8("\uFEFF\"edited\u00A0text\n");
    QVERIFY(ScriptFiles::save(m_novel, "extra/only.txt", edited));
    QVERIFY(ScriptFiles::read(m_novel, "extra/only.txt", text) && text == edited);
    ScriptFiles::list(m_novel, &fromArchive);
    QVERIFY(fromArchive.isEmpty());
    QCOMPARE(QDir(m_novel + "/Scripts/extra").entryList(QDir::Files | QDir::Hidden), QStringList{"only.txt"});

    QVERIFY(QFile::link(m_dir.path(), m_novel + "/Scripts/out"));
    QString error;
    for (const QString& name : {"../x.txt", "/tmp/x.txt", "out/x.txt", "a//b.txt"})
        QVERIFY2(!ScriptFiles::save(m_novel, name, "x", &error) && !error.isEmpty(), qPrintable(name));
    QVERIFY(!QFile::exists(m_novel + "/x.txt") && !QFile::exists(m_dir.filePath("x.txt")));
    QFile bad(m_novel + "/Scripts/bad.txt");
    QVERIFY(bad.open(QIODevice::WriteOnly) && bad.write("bg \xff.png") == 8);
    bad.close();
    QVERIFY(!ScriptFiles::read(m_novel, "bad.txt", text) && !ScriptFiles::read(m_novel, "../Config.xml", text));
}

QTEST_MAIN(ScriptEditingTest)
#include "ScriptEditingTest.moc"
