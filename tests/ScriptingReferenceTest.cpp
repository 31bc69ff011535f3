// The scripting reference (docs/scripting.md) kept true: every runnable example runs as the script of a fresh engine,
// once as the editor shows it (up to its last line) and once played from its first line with a reader who clicks on
// through every wait, and must leave no unknown command, error or missing file in the log. The reference's named
// blocks are the example novel's files (Commands.xml, Config.xml, called scripts); every image and font that the
// examples or those files name is generated, and every sound as a short tone. The reference must also name every
// command that works.

#include "WindowFixture.h"
#include "core/Clock.h"
#include "quillhaven.h"
#include "resources/NHelper.h"
#include "resources/ResourcePool.h"
#include "script/NovelCommands.h"

#include <SFML/Window/Event.hpp>

#include <algorithm>
#include <chrono>
#include <cwctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

using namespace testsupport;
using zel::Clock;
using zel::Services;

namespace
{
const std::string kReference = std::string(QUILLHAVEN_DOCS_DIR) + "/scripting.md";

/// One fenced block of the reference: the words of its info string, where it starts and what it holds.
struct Block
{
    std::string language;                      ///< the first word of the info string
    std::map<std::string, std::string> labels; ///< the further words of the form key=value
    int line = 0;                              ///< line of the opening fence, counted from 1
    std::string text;
};

std::map<std::string, std::string> Labels(std::istringstream& words)
{
    std::map<std::string, std::string> labels;
    std::string word;
    while (words >> word)
    {
        const std::size_t equals = word.find('=');
        if (equals != std::string::npos)
            labels[word.substr(0, equals)] = word.substr(equals + 1);
    }
    return labels;
}

std::vector<Block> ReadBlocks()
{
    std::vector<Block> blocks;
    std::ifstream file(kReference);
    std::string line;
    int number = 0;
    Block* open = nullptr;
    while (std::getline(file, line))
    {
        ++number;
        if (line.rfind("```", 0) != 0)
        {
            if (open != nullptr)
                open->text += line + "\n";
            continue;
        }
        if (open != nullptr)
        {
            open = nullptr;
            continue;
        }
        Block block;
        block.line = number;
        std::istringstream words(line.substr(3));
        words >> block.language;
        block.labels = Labels(words);
        blocks.push_back(block);
        open = &blocks.back();
    }
    return blocks;
}

std::string Label(const Block& block, const std::string& key)
{
    auto found = block.labels.find(key);
    return found == block.labels.end() ? std::string() : found->second;
}

/// A runnable example: a script block without a file name.
struct Example
{
    int line = 0;
    std::string text;
    std::string vocabulary; ///< which set of vocabulary file and called scripts it runs with ("" = the English one)
};

std::vector<Example> Examples()
{
    std::vector<Example> examples;
    for (const Block& block : ReadBlocks())
        if (block.language == "script" && Label(block, "file").empty())
            examples.push_back({block.line, block.text, Label(block, "vocabulary")});
    return examples;
}

std::string FirstLine(const std::string& text)
{
    return text.substr(0, text.find('\n'));
}

/// How a failing example is named: where it stands and how it begins.
void PrintTo(const Example& example, std::ostream* out)
{
    *out << "docs/scripting.md:" << example.line << " (" << FirstLine(example.text) << ")";
}

/// Every file name with one of the extensions that text mentions.
std::set<std::string> NamedFiles(const std::string& text, const std::string& extensions)
{
    std::set<std::string> names;
    const std::regex name("[^\\s'\"/=]+\\.(" + extensions + ")\\b");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), name); it != std::sregex_iterator(); ++it)
        names.insert(it->str());
    // A name in quote marks may hold blanks.
    const std::regex quoted("(['\"])([^'\"\n/=]+\\.(" + extensions + "))\\1");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), quoted); it != std::sregex_iterator(); ++it)
        names.insert((*it)[2].str());
    return names;
}

/// Log lines that show an example to be broken: an unknown command, an error, a missing file or any other warning
/// that an author must act on. The reminder that no backlog box is configured, the note on a trigger's stored line,
/// a click while no text box is in use and the wait icon, which outlives the scene that clear or a transition out
/// empties, are no faults.
std::vector<std::string> Complaints(const std::string& log)
{
    static const std::vector<std::string> kFaultMarks{
        "UNKNOWN or INVALID COMMAND", "ERROR", "WARNING", "FAILED", "does not exist", "DOES NOT EXIST", "not found"};
    static const std::vector<std::string> kHarmless{"backlog textarea not assigned and not in sysvars",
                                                    "parseTokens.size() == 0",
                                                    "(Services::StopCurTextboxTextFlow) entity:'' does not exist",
                                                    "[releaseAllResources] WARNING. name:waiticon.png"};
    std::vector<std::string> complaints;
    for (const std::string& line : Lines(log))
    {
        auto contains = [&line](const std::string& mark) {
            return line.find(mark) != std::string::npos;
        };
        if (std::any_of(kFaultMarks.begin(), kFaultMarks.end(), contains) &&
            std::none_of(kHarmless.begin(), kHarmless.end(), contains))
            complaints.push_back(line);
    }
    return complaints;
}

class ScriptingReferenceTest : public WindowFixture, public ::testing::WithParamInterface<Example>
{
protected:
    void SetUp() override
    {
        WindowFixture::SetUp();
        WriteNovelFiles(GetParam());
        Clock::SetManual(true);
    }

    void TearDown() override
    {
        Clock::SetManual(false);
        Services::CloseEngine();
        WindowFixture::TearDown();
    }

    /// The reference's files for the example's vocabulary (a file of that vocabulary over a file for all), and every
    /// image and font that they or the example name.
    void WriteNovelFiles(const Example& example)
    {
        std::filesystem::create_directories(*m_novel / "Scripts");
        std::string named = example.text;
        const std::vector<Block> blocks = ReadBlocks();
        for (const std::string& vocabulary : {std::string(), example.vocabulary})
            for (const Block& block : blocks)
            {
                const std::string file = Label(block, "file");
                if (file.empty() || Label(block, "vocabulary") != vocabulary)
                    continue;
                WriteFile(*m_novel / ((block.language == "script" ? "Scripts/" : "") + file), block.text);
                named += block.text;
            }
        for (const std::string& image : NamedFiles(named, "png|jpg"))
            MakeImage(image, 16, 16, sf::Color(200, 120, 40));
        for (const std::string& font : NamedFiles(named, "ttf|otf"))
            MakeFont(font);
        for (const std::string& sound : NamedFiles(named, "wav|ogg|flac"))
            for (const char* folder : {"BGM/", "SFX/", "Voices/"})
                MakeTone(folder + sound, 0.5f);
    }

    /// A fresh engine over the novel folder, as an editor has it after start-up: it reads Commands.xml and
    /// Config.xml from there.
    void StartEngine()
    {
        Services::CloseEngine();
        Services::pRenderWindow = std::make_unique<sf::RenderWindow>(sf::VideoMode(320, 240), "quillhaven-test",
                                                                     sf::Style::None, zel::RenderContextSettings());
        Services::pNParser =
            std::make_unique<zel::NParser>(std::make_shared<zel::Parser>(L"main.txt", L"", zel::PARSER_MAIN));
        Services::InitNovelState(false);
        zel::ResourcePool<zel::Texture>::resetLoadMethod();
        m_logMark = LogText().size();
    }

    std::wstring Script() const { return zel::NHelper::s2ws(GetParam().text); }
    int LastLine() const { return static_cast<int>(Lines(GetParam().text).size()); }

    /// One host frame, 40 ms after the last, drawn (text flows as it is drawn).
    void Frame()
    {
        Clock::Advance(std::chrono::milliseconds(40));
        Services::UpdateEngine(true, true);
    }

    void Click()
    {
        sf::Event event{};
        event.type = sf::Event::MouseButtonPressed;
        event.mouseButton = {sf::Mouse::Left, 2, 2};
        Services::DispatchInput(event);
    }

    /// Read to its end with nothing left to run: no called script, no timer, nothing queued.
    bool Finished()
    {
        return Services::pNParser->m_parserDeque.size() == 1 && zel::MainParser()->atEnd() &&
               sysVars().timers.empty() && Services::m_deferredCalls.size_approx() == 0;
    }

    /// Reads on like a reader who clicks every 240 ms while the script waits for a click, for at most 12 seconds of
    /// script time.
    void PlayThrough()
    {
        Play(Script());
        for (int frame = 1; frame <= 300; ++frame)
        {
            if (frame % 6 == 0 && zel::CurParser()->m_ParserState == zel::PARSE_FIN)
                Click();
            Frame();
            if (frame >= 10 && Finished())
                return;
        }
    }

    void ExpectQuietLog(const char* mode)
    {
        const std::string log = LogText().substr(m_logMark);
        std::string listed;
        for (const std::string& complaint : Complaints(log))
            listed += "\n    " + complaint;
        EXPECT_TRUE(listed.empty()) << "the example at docs/scripting.md:" << GetParam().line << " ("
                                    << FirstLine(GetParam().text) << ") logs, " << mode << ":" << listed;
    }

    std::size_t m_logMark = 0;
};

TEST_P(ScriptingReferenceTest, RunsCleanlyWhileEditingAndPlaying)
{
    StartEngine();
    setNovelScriptText(L"main.txt", Script().c_str(), LastLine(), 1);
    DrawFrame();
    ExpectQuietLog("while editing");

    StartEngine();
    PlayThrough();
    ExpectQuietLog("while playing");
}

INSTANTIATE_TEST_SUITE_P(Examples, ScriptingReferenceTest, ::testing::ValuesIn(Examples()),
                         [](const ::testing::TestParamInfo<Example>& info) {
                             return "Line" + std::to_string(info.param.line);
                         });

// The reference against the command table.

class ScriptingReferenceCommandsTest : public ::testing::Test
{
protected:
    /// The internal names of the commands that do something (the dialogue prefixes aside, which are no words).
    static std::vector<std::string> WorkingCommands()
    {
        zel::NovelCommands commands;
        std::vector<std::string> names;
        for (const auto& [name, command] : commands.commandsByName)
            if (command->handler && std::iswalpha(name.front()))
                names.push_back(zel::NHelper::ws2s(name));
        return names;
    }
};

TEST_F(ScriptingReferenceCommandsTest, ShowsExamplesAndNamesEveryWorkingCommand)
{
    ASSERT_GE(Examples().size(), 20u) << kReference << " is missing or has lost its examples";
    const std::string reference = ReadFile(kReference);
    for (const std::string& name : WorkingCommands())
        EXPECT_NE(reference.find("`" + name), std::string::npos) << "the reference does not describe `" << name << "`";
}

} // namespace
