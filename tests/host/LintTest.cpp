// `quillhaven lint` as an author runs it: a novel with one of every problem, written once in English and once in
// Japanese words, is reported line by line, each problem exactly once and nothing else; the sample novel is clean.

#include "HostLibrary.h"
#include "LauncherProcess.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace
{
namespace fs = std::filesystem;
using hosttest::LauncherProcess;
using std::chrono::seconds;
using testsupport::TempDir;

/// One script line of the test novel and the problem lint must report on it (severity null: none).
struct Row
{
    const char* script;
    const char* line;
    const char* severity;
    const char* says;
    const char* japanese = nullptr;     ///< the line in Japanese words, when a word-for-word translation is wrong
    const char* japaneseSays = nullptr; ///< what it says then, when it names a Japanese word
};

// FONT stands for the font that `quillhaven new` copies for the vocabulary.
const std::vector<Row> kNovel{
    {"main.txt", "// Each problem once, among lines that are right.", nullptr, nullptr},
    {"main.txt", "bg meadow.png", nullptr, nullptr},
    {"main.txt", "\"Hello, before there is any box.", "error", "dialogue before any text box is chosen"},
    {"main.txt", "~textbox msg 70 545 10 1140 150 FONT 28 noCamera", nullptr, nullptr},
    {"main.txt", "useTextbox msg", nullptr, nullptr},
    {"main.txt", "textColor 255 0 0", "error", "unknown command 'textColor': did you mean textColour?",
     "文字食 255 0 0", "unknown command '文字食': did you mean 文字色?"},
    {"main.txt", "cg friend friend.png 10", "error", "takes 6 to 8 words, has 4"},
    {"main.txt", "cg friend friend.png 12O 150 2 // a letter O", "error", "must be a whole number, not '12O'"},
    {"main.txt", "cg ben Friend.png 860 150 2", "error",
     "Images/Friend.png does not exist, but Images/friend.png does"},
    {"main.txt", "bg harbour.png", "error", "Images/harbour.png is in neither Images/ nor Images.vndat"},
    {"main.txt", "bg packed.png", nullptr, nullptr},
    {"main.txt", "cg spaced 'my friend.png' 100 100 3", nullptr, nullptr},
    {"main.txt", "bgm ../secret.ogg", "error", "'../secret.ogg' leaves its data folder BGM/"},
    {"main.txt", "bgm theme.ogg loop", "error", "'loop' is not the option 'repeat'", nullptr,
     "'loop' is not the option '繰り返し'"},
    {"main.txt", "soundEffect door knock.ogg", "error", "SFX/knock.ogg is in neither"},
    {"main.txt", "voice hello.ogg", nullptr, nullptr},
    {"main.txt", "textboxSkin frame.png 40 522", "error", "Images/frame.png is in neither"},
    {"main.txt", "textWaitIcon waiticon.png", nullptr, nullptr},
    {"main.txt", "textbox side 10 10 5 300 300 Missing.ttf 20", "error", "Fonts/Missing.ttf is in neither"},
    {"main.txt", "alphaFadeout wipe.png 500", "error", "Images/wipe.png is in neither"},
    {"main.txt", "useTextbox mgs", "error", "no line makes the text box 'mgs'"},
    {"main.txt", "backlogConfig history", "error", "no line makes the text box 'history'"},
    {"main.txt", "textbox log 90 70 20 1100 420 FONT 24", nullptr, nullptr},
    {"main.txt", "backlogConfig log", nullptr, nullptr},
    {"main.txt", "keyTrigger wheel.up fadein backlog", nullptr, nullptr},
    {"main.txt", "keyTrigger s scirpt saves.txt", "error",
     "the line that keyTrigger runs: unknown command 'scirpt': did you mean script?", "キー設定 s スクリプ saves.txt",
     "the line that キー設定 runs: unknown command 'スクリプ': did you mean スクリプト?"},
    {"main.txt", "keyTrigger spacebar jump end", "error", "'spacebar' is no key"},
    {"main.txt", "volume bgm 50", "error", "'50' is no volume"},
    {"main.txt", "var score = 0", nullptr, nullptr},
    {"main.txt", "var score += 5", nullptr, nullptr},
    {"main.txt", "\"{{name}} has {{score}} points.", "warning", "the variable 'name' is read, but no line sets it"},
    {"main.txt", "bg text-mode.png is only text here", nullptr, nullptr},
    {"main.txt", "~if score >= 5 here good else other.txt gone", "error", "no bookmark 'gone' in Scripts/other.txt"},
    {"main.txt", "jump nowhere", "error", "no bookmark 'nowhere' in Scripts/main.txt"},
    {"main.txt", "script chapter9.txt", "error", "Scripts/chapter9.txt is in neither"},
    {"main.txt", "script other.txt show anna", "error", "declares 2 script variables, the line gives 1"},
    {"main.txt", "script other.txt show anna friend.png", nullptr, nullptr},
    {"main.txt", "timer hurry 3000 jump late", "error", "no bookmark 'late'"},
    {"main.txt", "button ^go button.png button_over.png 330 290 8 noCamera var choice = 1", nullptr, nullptr},
    {"main.txt", "button ^stay none button_over.png 670 290 8 noCamera jmup good", "error",
     "the line that button runs: unknown command 'jmup': did you mean jump?",
     "ボタン ^stay なし button_over.png 670 290 8 カメラなし ジャンポ good",
     "the line that ボタン runs: unknown command 'ジャンポ': did you mean ジャンプ?"},
    {"main.txt", "wait buttonSelect", nullptr, nullptr},
    {"main.txt", ".move friend, ben +60 +0 800", nullptr, nullptr},
    {"main.txt", "fadeout all 500 here", nullptr, nullptr},
    {"main.txt", "rotate friend ten 300", "error", "word 3 of 'rotate' must be a whole number, not 'ten'", nullptr,
     "word 3 of '回転' must be a whole number, not 'ten'"},
    {"main.txt", "if choice == 1 here good", nullptr, nullptr},
    {"main.txt", "bookmark good", nullptr, nullptr},
    {"main.txt", "createDummyCG stranger FONT 300 480 Visitor", nullptr, nullptr},
    {"main.txt", "cg stranger stranger.png 560 90 2", nullptr, nullptr},
    {"main.txt", "bookmark good", "warning", "bookmark 'good' is defined again (first on line 46)"},
    {"main.txt", "bookmark end", nullptr, nullptr},
    {"main.txt", "script_fin", "error", "script_fin in the main script"},
    {"other.txt", "// Called by main.txt with a name and a picture.", nullptr, nullptr},
    {"other.txt", "bookmark show _who _file", nullptr, nullptr},
    {"other.txt", "cg {{_who}} {{_file}} 400 120 2", nullptr, nullptr},
    {"other.txt", "\"{{_who}} waves: a called script writes into its caller's box.", nullptr, nullptr},
    {"other.txt", "~script_fin", nullptr, nullptr},
};

/// The problems of the scripts written as raw bytes: a byte-order mark, Latin-1 text and a script in an archive.
const std::vector<std::tuple<const char*, int, const char*, const char*>> kByteProblems{
    {"Scripts/bom.txt", 1, "warning", "a byte-order mark at byte offset 0"},
    {"Scripts/latin1.txt", 2, "warning", "invalid UTF-8 at byte offset"},
    {"Scripts/packed.txt", 1, "error", "word 2 of '"},
};

/// Script words of one vocabulary by the engine's names: commands, options and kinds.
struct Vocabulary
{
    std::map<std::string, std::string> commands;
    std::map<std::string, std::string> others;
};

Vocabulary ReadVocabulary(const std::string& commandsXml)
{
    Vocabulary vocabulary;
    const std::regex command(R"re(cmd="([^"]+)" name="([^" ]+))re");
    const std::regex other(R"re(<(?:Type|Option) name="([^"]+)" jap="([^"]+)")re");
    for (std::sregex_iterator it(commandsXml.begin(), commandsXml.end(), command), end; it != end; ++it)
        vocabulary.commands[(*it)[1]] = (*it)[2];
    for (std::sregex_iterator it(commandsXml.begin(), commandsXml.end(), other), end; it != end; ++it)
        vocabulary.others[(*it)[1]] = (*it)[2];
    return vocabulary;
}

/// A command line in the words of another vocabulary: each word that is an option, a kind or a command (after its
/// "~" or "."), as the line's first word a command.
std::string Translate(const std::string& line, const Vocabulary& to)
{
    if (line.rfind("//", 0) == 0 || line.find('"') != std::string::npos)
        return line;
    std::istringstream words(line);
    std::string word;
    std::string out;
    while (words >> word)
    {
        const std::size_t mark = word.find_first_not_of("~.");
        const std::string bare = word.substr(mark);
        const auto& first = out.empty() ? to.commands : to.others;
        const auto& second = out.empty() ? to.others : to.commands;
        auto found = first.find(bare);
        if (found == first.end())
            found = second.find(bare);
        out += (out.empty() ? "" : " ") + word.substr(0, mark) + (found != second.end() ? found->second : bare);
    }
    return out;
}

class LintNovel : public ::testing::TestWithParam<const char*>
{
protected:
    /// Makes the novel of the table with `quillhaven new` in the vocabulary, and `quillhaven pack` for its archives.
    void MakeNovel()
    {
        const bool japanese = std::string(GetParam()) == "ja";
        std::vector<std::string> newWords{"new", m_novel};
        if (japanese)
            newWords.insert(newWords.end(), {"--vocabulary", "ja"});
        ASSERT_EQ(LauncherProcess(newWords, m_work.path()).Wait(seconds(20)), 0);
        const Vocabulary words = ReadVocabulary(testsupport::ReadFile(m_novel + "/Commands.xml"));
        const std::string font = japanese ? "VL-Gothic-Regular.ttf" : "DejaVuSans.ttf";
        std::map<std::string, std::string> scripts;
        for (const Row& row : kNovel)
        {
            std::string line = japanese ? (row.japanese != nullptr ? row.japanese : Translate(row.line, words)) : row.line;
            line = std::regex_replace(line, std::regex("FONT"), font);
            scripts[row.script] += line + "\n";
        }
        for (const auto& [name, text] : scripts)
            testsupport::WriteFile(m_novel + "/Scripts/" + name, text);
        testsupport::WriteFile(m_novel + "/Scripts/bom.txt", "\xEF\xBB\xBF// starts with a byte-order mark\n");
        testsupport::WriteFile(m_novel + "/Scripts/latin1.txt", Translate("bg meadow.png", words) + "\n// caf\xE9, in Latin-1\n");
        // Config.xml names a message-box script that no folder holds.
        std::string config = testsupport::ReadFile(m_novel + "/Config.xml");
        config.replace(config.find("msgbox.txt"), 10, "dialogs.txt");
        testsupport::WriteFile(m_novel + "/Config.xml", config);
        m_settingsLine = 1 + static_cast<int>(std::count(config.begin(), config.begin() + config.find("<Settings"), '\n'));
        fs::copy_file(m_novel + "/Images/friend.png", m_novel + "/Images/my friend.png");
        for (const char* sound : {"BGM/theme.ogg", "Voices/hello.ogg"})
            testsupport::WriteFile(m_novel + "/" + sound, "sound");
        // Archives: a picture and a script that only they hold.
        testsupport::WriteFile(m_stage / "Images/packed.png", "png");
        testsupport::WriteFile(m_stage / "Scripts/packed.txt", Translate("wait abc", words) + "\n");
        for (const char* folder : {"Images", "Scripts"})
            ASSERT_EQ(LauncherProcess({"pack", m_stage / folder, m_novel + "/" + folder + ".vndat"}, m_work.path())
                          .Wait(seconds(20)),
                      0);
    }

    /// Runs lint on the novel; its exit code, with standard output in out.
    int Lint(const std::vector<std::string>& extra, std::string& out)
    {
        std::vector<std::string> words{"lint", m_novel};
        words.insert(words.end(), extra.begin(), extra.end());
        LauncherProcess lint(words, m_work.path());
        const int code = lint.Wait(seconds(20));
        out = lint.Stdout();
        return code;
    }

    TempDir m_work;
    TempDir m_stage;
    int m_settingsLine = 0; ///< the line of Config.xml's Settings element
    std::string m_novel = m_work / "novel";
};

TEST_P(LintNovel, ReportsEachProblemOnceWithItsFileAndLine)
{
    MakeNovel();
    const bool japanese = std::string(GetParam()) == "ja";
    // What must be reported, by "FILE:LINE: severity", with the words its message must hold.
    std::map<std::string, std::string> expected;
    std::map<std::string, int> lines;
    for (const Row& row : kNovel)
    {
        const int line = ++lines[row.script];
        if (row.severity != nullptr)
            expected[std::string("Scripts/") + row.script + ":" + std::to_string(line) + ": " + row.severity] =
                japanese && row.japaneseSays != nullptr ? row.japaneseSays : row.says;
    }
    for (const auto& [file, line, severity, says] : kByteProblems)
        expected[std::string(file) + ":" + std::to_string(line) + ": " + severity] = says;
    expected["Config.xml:" + std::to_string(m_settingsLine) + ": error"] = "MsgboxScript: Scripts/dialogs.txt is in neither";

    std::string out;
    EXPECT_EQ(Lint({}, out), 1) << out;
    std::map<std::string, std::string> reported;
    const std::regex form(R"(^([^:]+:\d+: (?:error|warning)): (.*)$)");
    std::istringstream text(out);
    for (std::string line; std::getline(text, line);)
    {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(line, match, form)) << "not FILE:LINE: severity: message: " << line;
        EXPECT_TRUE(reported.emplace(match[1], match[2]).second) << "reported twice: " << line;
    }
    for (const auto& [where, says] : expected)
    {
        auto found = reported.find(where);
        if (found == reported.end())
            ADD_FAILURE() << "not reported: " << where << ": " << says;
        else
            EXPECT_NE(found->second.find(says), std::string::npos) << where << " says: " << found->second;
    }
    for (const auto& [where, says] : reported)
        EXPECT_TRUE(expected.count(where) != 0) << "reported, but no problem: " << where << ": " << says;

    // The same problems for an editor, as JSON.
    std::string json;
    EXPECT_EQ(Lint({"--json"}, json), 1);
    const std::regex severity("\"severity\": ");
    EXPECT_EQ(std::distance(std::sregex_iterator(json.begin(), json.end(), severity), std::sregex_iterator()),
              static_cast<long>(expected.size()))
        << json;
    EXPECT_NE(json.find("{\"file\": \"Scripts/bom.txt\", \"line\": 1, \"severity\": \"warning\", \"message\": "),
              std::string::npos)
        << json;
}

INSTANTIATE_TEST_SUITE_P(Vocabularies, LintNovel, ::testing::Values("en", "ja"));

// An editor checks the text being typed in place of the file, through the export, while the file stays as it is.
TEST(Lint, AnEditorsTextStandsInForItsScriptFile)
{
    const TempDir work;
    const std::string sampleMain = testsupport::ReadFile(QUILLHAVEN_SAMPLE_DIR "/Scripts/main.txt");
    EXPECT_EQ(testsupport::RunInChild(work.path(), [] {
                  const hosttest::HostLibrary library;
                  const wchar_t* report = nullptr;
                  const int errors = library.lintNovel(L"" QUILLHAVEN_SAMPLE_DIR, nullptr, L"main.txt",
                                                       L"bg meadow.png\nbg garden.png\n", 0, &report);
                  const bool missingOnLine1 =
                      std::wstring(report).rfind(L"Scripts/main.txt:1: error: Images/meadow.png is in neither", 0) == 0;
                  const int refused = library.lintNovel(nullptr, nullptr, nullptr, nullptr, 0, &report);
                  return errors == 1 && missingOnLine1 && refused == -1 ? 0 : 1;
              }),
              0);
    EXPECT_EQ(testsupport::ReadFile(QUILLHAVEN_SAMPLE_DIR "/Scripts/main.txt"), sampleMain);
}

TEST(Lint, TheSampleNovelIsCleanAndAMissingFolderOrFirstScriptIsReported)
{
    const TempDir work;
    LauncherProcess sample({"lint", QUILLHAVEN_SAMPLE_DIR}, work.path());
    EXPECT_EQ(sample.Wait(seconds(20)), 0);
    EXPECT_EQ(sample.Stdout(), "");
    LauncherProcess otherStart({"lint", QUILLHAVEN_SAMPLE_DIR, "--script", "prologue.txt"}, work.path());
    EXPECT_EQ(otherStart.Wait(seconds(20)), 1);
    EXPECT_EQ(otherStart.Stdout().rfind("Scripts/prologue.txt:0: error: the player starts with this script", 0), 0u)
        << otherStart.Stdout();
    LauncherProcess missing({"lint", work / "no such novel"}, work.path());
    EXPECT_EQ(missing.Wait(seconds(20)), 2);
    EXPECT_NE(missing.Stderr().find("cannot be read"), std::string::npos) << missing.Stderr();
}
} // namespace
