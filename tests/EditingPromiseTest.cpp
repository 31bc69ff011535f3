// What the editor promises the author: wherever the cursor goes, forwards or backwards, in whatever order, the
// registry looks exactly as if a fresh engine had read the script from its first line to the cursor's line once.

#include "WindowFixture.h"
#include "entities/NButton.h"

#include "entities/NBacklog.h"
#include "entities/NCamera.h"
#include "entities/NMusic.h"

#include "entities/NTextbox.h"
#include "quillhaven.h"
#include "resources/NHelper.h"
#include "resources/ResourcePool.h"
#include "script/NParser.h"
#include <SFML/Audio/Music.hpp>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <sstream>

using namespace testsupport;

namespace
{
const wchar_t* const kScript = L"main.txt";

/// What a generated script holds besides pictures.
enum class Lines
{
    Pictures,
    Text,    ///< text boxes, dialogue and the backlog
    Motion,  ///< animations, display commands, bookmarks and a called script
    Buttons, ///< buttons, their captions, touch lines and default images, and sliders; the pointer moves over them
    Music    ///< music tracks (a missing one among them) and fixed music volumes
};

class EditingPromiseTest : public WindowFixture
{
protected:
    void SetUp() override
    {
        WindowFixture::SetUp();
        MakeImage("red.png", 64, 64, sf::Color(220, 30, 30));
        MakeImage("green.png", 32, 48, sf::Color(30, 200, 30));
        MakeImage("blue.png", 80, 40, sf::Color(30, 30, 210));
        MakeImage("grey.png", 16, 16, sf::Color(120, 120, 120));
        MakeFont("f.ttf");
        MakeFont("jp.ttf", FontKind::Japanese);
        std::filesystem::create_directories(*m_novel / "Scripts");
        WriteFile(*m_novel / "Scripts/walk.txt", "move alice +30 0\nalpha bob 120\nrotate carol 45\n"
                                                 "cg dave grey.png 10 10 2\nzoom dave, camera 150\nfadeout carol\n");
    }

    /// A new engine in the same window: a new novel state and main parser, nothing queued, as after start-up.
    void FreshEngine()
    {
        std::function<void()> discarded;
        while (zel::Services::m_deferredCalls.try_dequeue(discarded))
        {
        }
        zel::Services::pNParser =
            std::make_unique<zel::NParser>(std::make_shared<zel::Parser>(kScript, L"", zel::PARSER_MAIN));
        zel::Services::InitNovelState(false);
        zel::Services::pNCommands->commandStrings[L"CmdOptions_noCamera"] = L"noCamera";
        zel::Services::pNCommands->commandStrings[L"CmdOptions_vertical"] = L"vertical";
        zel::Services::pNCommands->commandStrings[L"Types_cg"] = L"cg";
        zel::Services::pNCommands->commandStrings[L"Types_camera"] = L"camera";
        zel::Services::pNCommands->commandStrings[L"Types_bgm"] = L"bgm";
        zel::Services::pNCommands->commandStrings[L"CmdOptions_repeat"] = L"repeat";
        // The host shows no animations while the author edits: every tween shows its end state at once.
        sysVars().tweenAnimationDisplay = false;
    }

    /// The editor moves the cursor (reset 0), or hands the text over again (reset 1): at start-up and on a keystroke.
    void Seek(const std::wstring& script, int line, bool reset)
    {
        setNovelScriptText(kScript, script.c_str(), line, reset ? 1 : 0);
    }

    /// The author's pointer wanders over the preview, over buttons or beside them.
    static void MovePointer(std::mt19937& random)
    {
        sf::Event move{};
        move.type = sf::Event::MouseMoved;
        move.mouseMove = {std::uniform_int_distribution<int>(0, 319)(random),
                          std::uniform_int_distribution<int>(0, 239)(random)};
        zel::Services::DispatchInput(move);
    }

    static void Frames(int count)
    {
        for (int i = 0; i < count; ++i)
            zel::Services::UpdateEngine(true, true);
    }

    /// Everything the registry shows, one line per fact, in layer order.
    std::vector<std::string> Snapshot()
    {
        std::vector<std::string> out;
        zel::EntityRegistry& registry = entities();
        for (auto& layerEntry : registry.entityLayers)
        {
            if (layerEntry.second.empty())
                continue;
            out.push_back("layer " + std::to_string(layerEntry.first));
            for (const zel::EntityPtr& entity : layerEntry.second)
                out.push_back("  " + Describe(*entity));
        }
        std::ostringstream lines;
        lines << "entityLines:";
        for (const auto& lineEntry : registry.entityLines)
        {
            lines << " " << lineEntry.first << "[";
            for (const zel::EntityPtr& entity : lineEntry.second)
                lines << zel::NHelper::ws2s(entity->name) << ";";
            lines << "]";
        }
        out.push_back(lines.str());
        if (registry.pCamera != nullptr)
            out.push_back("camera " + Describe(*registry.pCamera));
        std::vector<std::string> names;
        for (const auto& named : registry.m_nameReferences)
            names.push_back(zel::NHelper::ws2s(named.first));
        std::sort(names.begin(), names.end());
        std::string nameLine = "names:";
        for (const std::string& name : names)
            nameLine += " " + name;
        out.push_back(nameLine);

        // Which boxes dialogue and the backlog go to, and what the backlog has recorded.
        zel::SystemVariables& vars = sysVars();
        auto boxNames = [](const zel::LineValue<std::wstring>& history) {
            std::string out;
            for (const auto& entry : history.entries())
                out += std::to_string(entry.first) + "=" + zel::NHelper::ws2s(entry.second) + ",";
            return out;
        };
        out.push_back("dialogue box@" + boxNames(vars.curUseTextareaName) + " backlog box@" +
                      boxNames(vars.curBacklogUseTextareaName));
        if (registry.pBacklog != nullptr)
            for (const zel::BacklogEntry& entry : registry.pBacklog->entries())
                out.push_back("backlog line=" + std::to_string(entry.line) +
                              " newLine=" + std::to_string(entry.newLine) +
                              " endLine=" + std::to_string(entry.endLine) + " text=" + Quoted(entry.text));
        return out;
    }

    static std::string Quoted(const std::wstring& text)
    {
        std::string out = "\"";
        for (const char c : zel::NHelper::ws2s(text))
            out += c == '\n' ? std::string("\\n") : std::string(1, c);
        return out + "\"";
    }

    /// A text box: the lines its history holds with their text, and the whole look of the newest state.
    static void DescribeText(std::ostringstream& text, zel::NTextbox& box)
    {
        text << " texts@";
        for (const auto& entry : box.m_TextStates.entries())
            text << entry.first << "=" << Quoted(entry.second.text()) << ",";
        if (box.m_TextStates.entries().empty())
        {
            text << " no-text";
            return;
        }
        const zel::sTextbox& state = box.m_TextStates.entries().rbegin()->second;
        const sf::Color fill = state.getFillColor();
        const sf::Color shade = state.shadowColour;
        const char* sfFont = state.getFont() == nullptr                                      ? "none"
                             : state.font != nullptr && state.getFont() == &state.font->font ? "pooled"
                                                                                             : "other";
        text << " font=" << (state.font ? zel::NHelper::ws2s(state.font->key) : "none") << "/" << sfFont
             << " size=" << state.getCharacterSize() << " fill=(" << int(fill.r) << "," << int(fill.g) << ","
             << int(fill.b) << "," << int(fill.a) << ") shadow=" << state.shadow << " shadowColour=(" << int(shade.r)
             << "," << int(shade.g) << "," << int(shade.b) << "," << int(shade.a) << ") style=" << state.getStyle()
             << " wordWrap=" << state.wordWrap << " vertical=" << state.vertical
             << " msPerLetter=" << state.MS_PER_LETTER << " area=" << state.areaWidth << "x" << state.areaHeight
             << " visible=" << state.visible << " pos=(" << state.getPosition().x << "," << state.getPosition().y
             << ")";
        if (state.vertical)
        {
            text << " columns=";
            const zel::LaidOutText& laid = state.laidOut();
            for (const auto& column : laid.columns)
                text << column.size() << ",";
            text << " cursor=(" << laid.columnX << "," << laid.rowY << ")";
        }
    }

    /// A button: its lines, the images and job of the newest state, its caption and the look it shows.
    static void DescribeButton(std::ostringstream& text, zel::NButton& button)
    {
        text << " looks@";
        for (const auto& entry : button.m_ButtonStates.entries())
            text << entry.first << ",";
        const zel::sButton* state = button.m_ButtonStates.latest(true);
        if (state == nullptr)
            return;
        text << " images="
             << zel::NHelper::ws2s(state->imageNames[0] + L"," + state->imageNames[1] + L"," + state->imageNames[2])
             << " job=" << int(state->job.trigger) << "/" << zel::NHelper::ws2s(state->job.execLine)
             << " touch=" << zel::NHelper::ws2s(state->touchLine)
             << " caption=" << (state->text ? Quoted(state->text->m_TextStates.entries().rbegin()->second.text()) : "")
             << " shown=" << int(button.shownLook());
    }

    /// The newest music state and what the stream itself does: its track (by its length), whether it plays, and
    /// its volume.
    static std::string DescribeMusic(zel::NMusic& music)
    {
        std::ostringstream text;
        const zel::sMusic* state = music.m_BgmMap.latest(false);
        text << " music@";
        for (const auto& entry : music.m_BgmMap.entries())
            text << entry.first << ",";
        if (state != nullptr)
            text << " file=" << zel::NHelper::ws2s(state->FileName()) << " playing=" << state->playing
                 << " fixed=" << state->volume;
        text << " status=" << static_cast<int>(music.music()->getStatus())
             << " length=" << music.music()->getDuration().asMilliseconds() << " volume=" << music.musicVolume();
        return text.str();
    }

    static std::string Describe(zel::NEntity& entity)
    {
        std::ostringstream text;
        text << zel::NHelper::ws2s(entity.name) << " type=" << static_cast<int>(entity.nType)
             << " layer=" << entity.getLayer() << " removed=" << entity.isMarkedRemoved()
             << " incamera=" << entity.inCamera() << " screenshot=" << entity.includeInScreenshot;
        // The lines each history holds decide what later moves show, so they must match as well.
        auto keys = [&text](const char* label, const auto& history) {
            text << " " << label << "@";
            for (const auto& entry : history.entries())
                text << entry.first << ",";
        };
        keys("layers", entity.layer);
        keys("marks", entity.removed);
        keys("camera", entity.incamera);
        if (auto* picture = dynamic_cast<zel::NSprite*>(&entity))
            keys("looks", picture->m_SpriteStates);
        if (auto* box = dynamic_cast<zel::NTextbox*>(&entity))
        {
            DescribeText(text, *box);
            return text.str();
        }
        if (auto* button = dynamic_cast<zel::NButton*>(&entity))
            DescribeButton(text, *button);
        if (auto* music = dynamic_cast<zel::NMusic*>(&entity))
            return text.str() + DescribeMusic(*music);
        const zel::sSprite* state = entity.getCurrentSprite();
        if (state == nullptr)
            return text.str() + " no-look";
        const sf::Color colour = state->getColor();
        const sf::IntRect rect = state->getTextureRect();
        text << " image=" << (state->m_pTexture ? zel::NHelper::ws2s(state->m_pTexture->key) : "none") << " pos=("
             << state->getPosition().x << "," << state->getPosition().y << ") colour=(" << int(colour.r) << ","
             << int(colour.g) << "," << int(colour.b) << "," << int(colour.a) << ") scale=(" << state->getScale().x
             << "," << state->getScale().y << ") rotation=" << state->getRotation() << " origin=("
             << state->getOrigin().x << "," << state->getOrigin().y << ") rect=" << rect.width << "x" << rect.height;
        return text.str();
    }

    /// For each seed: a generated script of lineCount lines, then moveCount cursor moves (and keystrokes) in random
    /// order, each compared with what a fresh engine shows after one read from line 1 to the cursor's line.
    void ExpectAnyMovesShowOneRead(const std::vector<unsigned>& seeds, int lineCount, int moveCount, Lines kind);

    static std::string Diff(const std::vector<std::string>& expected, const std::vector<std::string>& actual)
    {
        std::string out;
        const std::size_t n = std::max(expected.size(), actual.size());
        for (std::size_t i = 0; i < n; ++i)
        {
            const std::string* e = i < expected.size() ? &expected[i] : nullptr;
            const std::string* a = i < actual.size() ? &actual[i] : nullptr;
            if (e != nullptr && a != nullptr && *e == *a)
                out += "    " + *e + "\n";
            else
            {
                if (e != nullptr)
                    out += "  - " + *e + "\n";
                if (a != nullptr)
                    out += "  + " + *a + "\n";
            }
        }
        return out;
    }
};

template <typename List> const typename List::value_type& Pick(std::mt19937& random, const List& from)
{
    return from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(random)];
}

/// The words with a space between them. A braced list is evaluated in order, so the draws that make the words
/// come in the same order with every compiler, and a seed gives the same script in every build.
std::wstring Joined(const std::vector<std::wstring>& words)
{
    std::wstring line;
    for (const std::wstring& word : words)
        line += (line.empty() ? L"" : L" ") + word;
    return line;
}

/// A picture line: backgrounds in both forms, cg pictures under reused and new names, every kind of layer, layer
/// moves, caret names, the no-camera word, blanks and comments.
std::wstring PictureLine(std::mt19937& random, int i)
{
    const std::vector<std::wstring> files{L"red.png", L"green.png", L"blue.png", L"grey.png"};
    const std::vector<std::wstring> cgNames{L"alice", L"bob", L"^ui", L"carol", L"dave"};
    const std::vector<std::wstring> bgNames{L"sky", L"^far"};
    const std::vector<int> layers{-1, 0, 1, 2, 5};
    auto coordinate = [&] {
        return std::to_wstring(std::uniform_int_distribution<int>(-40, 300)(random));
    };
    auto layer = [&] {
        return std::to_wstring(Pick(random, layers));
    };
    switch (std::uniform_int_distribution<int>(0, 11)(random))
    {
    case 0:
        return Joined({L"bg", Pick(random, files)});
    case 1:
        return Joined({L"bg", Pick(random, files), L"noCamera"});
    case 2:
        return Joined({L"bg", Pick(random, bgNames), Pick(random, files)});
    case 3:
        return Joined({L"bg", Pick(random, bgNames), Pick(random, files), L"noCamera"});
    case 4:
    case 5:
    case 6:
        return Joined({L"cg", Pick(random, cgNames), Pick(random, files), coordinate(), coordinate(), layer()});
    case 7:
        // A new name every time, or a background renewed as a picture.
        return Joined({L"cg", random() % 2 ? L"extra" + std::to_wstring(i) : Pick(random, bgNames), Pick(random, files),
                       coordinate(), coordinate(), layer(), L"noCamera"});
    case 8:
    case 9:
        return Joined({L"layer", random() % 4 ? Pick(random, cgNames) : Pick(random, bgNames), layer()});
    case 10:
        return L"";
    default:
        return L"// a note about line " + std::to_wstring(i + 1);
    }
}

/// A text line: text boxes made and remade (now and then under a picture's name), the box dialogue goes to, every
/// property of the chosen box, the backlog's box, and dialogue that replaces or continues the text.
std::wstring TextLine(std::mt19937& random, int i)
{
    const std::vector<std::wstring> boxes{L"talk", L"note", L"talk", L"note", L"alice"};
    const std::vector<std::wstring> sayings{L"Hello there",
                                            L"Where did the ships go",
                                            L"..She waited",
                                            L"One line\\nand the next",
                                            L"It is {{mood}} outside",
                                            L"Somewhat longer words that will surely need wrapping twice"};
    auto number = [&](int low, int high) {
        return std::to_wstring(std::uniform_int_distribution<int>(low, high)(random));
    };
    auto flag = [&] {
        return std::wstring(random() % 2 ? L"true" : L"false");
    };
    const std::wstring lineNumber = L"(" + std::to_wstring(i + 1) + L")";
    switch (std::uniform_int_distribution<int>(0, 15)(random))
    {
    case 0:
    case 1:
        return Joined({L"textbox", Pick(random, boxes), number(0, 200), number(0, 150), number(0, 3),
                       Pick(random, std::vector<std::wstring>{L"120", L"200", L"300"}),
                       Pick(random, std::vector<std::wstring>{L"0", L"40", L"120"}),
                       Pick(random, std::vector<std::wstring>{L"f.ttf", L"f.ttf", L"jp.ttf"}),
                       Pick(random, std::vector<std::wstring>{L"12", L"16", L"24"})});
    case 2:
    case 3:
        return Joined({L"useTextbox", Pick(random, boxes)});
    case 4:
        return Joined({L"textSize", number(10, 30)});
    case 5:
        return Joined({L"textColour", number(0, 255), number(0, 255), number(0, 255)});
    case 6:
        return Joined({L"textSpeed", Pick(random, std::vector<std::wstring>{L"-1", L"0", L"30"})});
    case 7:
        return Joined({L"textBold", flag()});
    case 8:
        if (random() % 2)
            return Joined({L"textShadow", number(0, 1)});
        return Joined({L"textShadow", number(0, 1), number(0, 255), number(0, 255), number(0, 255)});
    case 9:
        return Joined({L"textWordWrap", flag()});
    case 10:
        return Joined({L"textDir", random() % 2 ? L"vertical" : L"horizontal"});
    case 11:
        return Joined({L"backlogConfig", Pick(random, boxes)});
    case 12:
    case 13:
        return Joined({L"\"" + Pick(random, sayings), lineNumber});
    default:
        return Joined({L"-\"" + Pick(random, sayings), lineNumber});
    }
}

/// A motion line: fades by name and by type, alpha, moves to a place and by a step, turns and zooms of pictures and
/// the camera (alone or in a name list), new images and tints, camera resets, bookmarks and calls of a script that
/// moves pictures itself; now and then synchronous, now and then naming nobody.
std::wstring MotionLine(std::mt19937& random, int i)
{
    const std::vector<std::wstring> names{L"alice", L"bob", L"carol", L"dave", L"camera", L"nobody"};
    auto n = [&](int low, int high) {
        return std::to_wstring(std::uniform_int_distribution<int>(low, high)(random));
    };
    const std::wstring name = Pick(random, names);
    const std::wstring sync = random() % 4 ? L"" : L".";
    const std::wstring duration = random() % 2 ? n(0, 900) : L"";
    const std::wstring step = (random() % 2 ? L"+" : L"-") + n(1, 60);
    switch (std::uniform_int_distribution<int>(0, 11)(random))
    {
    case 0:
        return Joined({sync + Pick(random, std::vector<std::wstring>{L"fadein", L"fadeout"}),
                       random() % 3 ? name : L"cg", duration});
    case 1:
        return Joined(
            {sync + Pick(random, std::vector<std::wstring>{L"alpha", L"rotate", L"zoom"}), name, n(0, 255), duration});
    case 2:
        return Joined({sync + L"move", name + L",", Pick(random, names), n(-40, 300), n(-40, 200), duration});
    case 3:
        return Joined({sync + L"move", name, step, random() % 2 ? step : n(0, 200)});
    case 4:
        return Joined({L"image", name, random() % 2 ? L"red.png" : L"blue.png"});
    case 5:
        return Joined({L"rgb", name, n(0, 255), n(0, 255), n(0, 255)});
    case 6:
        return L"cameraReset";
    case 7:
        return L"bookmark mark" + std::to_wstring(i);
    case 8:
        return L"script walk.txt";
    default:
        return PictureLine(random, i);
    }
}

/// A button line: buttons under reused names with one to three images or the default ones, every kind of job (and
/// kinds that fail), captions with and without a quote, touch lines that would change the scene if they ran,
/// default images and sliders; the rest picture lines.
std::wstring ButtonLine(std::mt19937& random, int i)
{
    const std::vector<std::wstring> names{L"go", L"stay", L"^menu", L"alice"};
    const std::vector<std::wstring> images{L"red.png", L"green.png red.png", L"none blue.png none",
                                           L"grey.png green.png blue.png", L""};
    const std::vector<std::wstring> kinds{
        L"", L"saveslot 2", L"saveslot", L"jump mark", L"textProgress 0", L"msgvar yes", L"noCamera screen 1", L"none"};
    auto n = [&](int low, int high) {
        return std::to_wstring(std::uniform_int_distribution<int>(low, high)(random));
    };
    switch (std::uniform_int_distribution<int>(0, 9)(random))
    {
    case 0:
    case 1:
    case 2:
        return Joined(
            {L"button", Pick(random, names), Pick(random, images), n(0, 260), n(0, 200), n(0, 3), Pick(random, kinds)});
    case 3:
        return Joined({L"btnText", Pick(random, names), L"f.ttf", n(10, 20), random() % 3 ? L"\"Go on" : L"Go"});
    case 4:
        return Joined({L"onBtnTouch", Pick(random, names), L"cg", L"touched", L"red.png", n(0, 99), L"0", L"1"});
    case 5:
        return Joined(
            {L"btnBasicRes", Pick(random, std::vector<std::wstring>{L"red.png", L"none"}), L"green.png", L"blue.png"});
    case 6:
        return Joined({L"trackbar", L"knob" + std::to_wstring(i), n(0, 100), n(0, 200), L"3", L"100",
                       random() % 2 ? L"autoWait" : L"textSpeed", L"grey.png"});
    default:
        return PictureLine(random, i);
    }
}

/// A music line: one of two tracks, once or repeated, a missing track, a stray third token, a fixed volume (now
/// and then without its percent sign), a fade in or out.
std::wstring MusicLine(std::mt19937& random)
{
    const std::vector<std::wstring> lines{L"bgm a.wav",        L"bgm b.wav repeat",  L"bgm missing.wav",
                                          L"bgm a.wav loudly", L"volume bgm 40%",    L"volume bgm 70",
                                          L"fadein bgm 300",   L"fadeout bgm 300"};
    return Pick(random, lines);
}

/// A line of the script's own kind (not a picture line).
std::wstring OtherLine(std::mt19937& random, int i, Lines kind)
{
    if (kind == Lines::Music)
        return MusicLine(random);
    if (kind == Lines::Text)
        return TextLine(random, i);
    return kind == Lines::Buttons ? ButtonLine(random, i) : MotionLine(random, i);
}

/// A script drawn from the generator: picture lines only, or about half of them lines of the other kind. Dialogue
/// turns text mode on, in which a line is more dialogue unless a tilde marks it as a command: most commands of a
/// text script carry one, the rest are read as dialogue while text mode lasts.
std::wstring GenerateScript(std::mt19937& random, int lineCount, Lines kind = Lines::Pictures)
{
    const bool withText = kind == Lines::Text;
    std::wstring script;
    for (int i = 0; i < lineCount; ++i)
    {
        std::wstring line =
            kind != Lines::Pictures && random() % 2 ? OtherLine(random, i, kind) : PictureLine(random, i);
        const bool dialogue = !line.empty() && (line.front() == L'"' || line.front() == L'-');
        if (withText && !dialogue && !line.empty() && random() % 4 != 0)
            line = L"~" + line;
        script += line + L"\n";
    }
    return script;
}
} // namespace

void EditingPromiseTest::ExpectAnyMovesShowOneRead(const std::vector<unsigned>& seeds, int lineCount, int moveCount,
                                                   Lines kind)
{
    for (const unsigned seed : seeds)
    {
        std::mt19937 random(seed);
        const std::wstring script = GenerateScript(random, lineCount, kind);

        // What a fresh engine shows after one read from line 1 to each line.
        std::vector<std::vector<std::string>> expected(lineCount + 1);
        for (int line = 1; line <= lineCount; ++line)
        {
            FreshEngine();
            Seek(script, line, true);
            Frames(1);
            expected[line] = Snapshot();
        }

        FreshEngine();
        std::vector<int> path;
        int line = std::uniform_int_distribution<int>(1, lineCount)(random);
        for (int move = 0; move < moveCount; ++move)
        {
            // Now and then a keystroke on the cursor's line: the text is handed over again and that line re-read.
            const bool amend = move > 0 && random() % 6 == 0;
            if (amend)
                line = std::abs(path.back());
            Seek(script, line, move == 0 || amend);
            path.push_back(amend ? -line : line);
            if (kind == Lines::Buttons)
                MovePointer(random);
            Frames(1 + static_cast<int>(random() % 2));
            const std::vector<std::string> actual = Snapshot();
            if (actual != expected[line])
            {
                std::string moves;
                for (int visited : path)
                    moves += visited < 0 ? " amend@" + std::to_string(-visited) : " " + std::to_string(visited);
                ADD_FAILURE() << "seed " << seed << ", cursor moves:" << moves << "\nscript:\n"
                              << zel::NHelper::ws2s(script)
                              << "registry (- one read from the top, + after the moves):\n"
                              << Diff(expected[line], actual);
                break;
            }
            line = std::uniform_int_distribution<int>(1, lineCount)(random);
        }
    }
}

TEST_F(EditingPromiseTest, AnyOrderOfCursorMovesShowsWhatOneReadFromTheTopShows)
{
    ExpectAnyMovesShowOneRead({1u, 2u, 3u, 7u, 11u, 42u, 99u, 512u, 1234u, 4096u, 65537u, 99991u}, 40, 60,
                              Lines::Pictures);
}

TEST_F(EditingPromiseTest, TextBoxesDialogueAndTheBacklogShowWhatOneReadFromTheTopShows)
{
    // QUILLHAVEN_PROMISE_SEED replays one seed (for instance one a failure reported).
    std::vector<unsigned> seeds{1u, 2u, 3u, 5u, 8u, 13u, 21u, 42u, 77u, 314u, 2718u, 31337u};
    if (const char* one = std::getenv("QUILLHAVEN_PROMISE_SEED"))
        seeds = {static_cast<unsigned>(std::strtoul(one, nullptr, 10))};
    ExpectAnyMovesShowOneRead(seeds, 40, 60, Lines::Text);
}

TEST_F(EditingPromiseTest, AnimationsDisplayCommandsBookmarksAndCalledScriptsShowWhatOneReadFromTheTopShows)
{
    std::vector<unsigned> seeds{1u, 4u, 9u, 16u, 25u, 36u, 49u, 64u, 81u, 100u, 121u, 144u};
    if (const char* one = std::getenv("QUILLHAVEN_PROMISE_SEED"))
        seeds = {static_cast<unsigned>(std::strtoul(one, nullptr, 10))};
    ExpectAnyMovesShowOneRead(seeds, 40, 60, Lines::Motion);
}

TEST_F(EditingPromiseTest, ButtonsAndSlidersShowWhatOneReadFromTheTopShowsWhereverThePointerIs)
{
    std::vector<unsigned> seeds{2u, 6u, 10u, 14u, 18u, 22u, 26u, 30u};
    if (const char* one = std::getenv("QUILLHAVEN_PROMISE_SEED"))
        seeds = {static_cast<unsigned>(std::strtoul(one, nullptr, 10))};
    ExpectAnyMovesShowOneRead(seeds, 40, 60, Lines::Buttons);
}

TEST_F(EditingPromiseTest, MusicPlaysWhatOneReadFromTheTopPlays)
{
    MakeTone("BGM/a.wav", 1.0f);
    MakeTone("BGM/b.wav", 2.0f);
    zel::NMusic::resetLoadMethod();
    std::vector<unsigned> seeds{3u, 5u, 7u, 11u, 13u, 17u, 19u, 23u};
    if (const char* one = std::getenv("QUILLHAVEN_PROMISE_SEED"))
        seeds = {static_cast<unsigned>(std::strtoul(one, nullptr, 10))};
    ExpectAnyMovesShowOneRead(seeds, 30, 40, Lines::Music);
}

TEST_F(EditingPromiseTest, ReadingTheSameLineAgainKeepsOneStateAtThatLine)
{
    const std::wstring script = L"cg alice red.png 0 0 1\n"
                                L"cg alice green.png 10 20 2\n"
                                L"cg bob blue.png 5 5 1\n";
    ShowLine(script, 3);
    // A keystroke on the last line, then another on line 2: each line is read again at the same main line.
    ShowLine(script, 3);
    setNovelScriptText(kScript, script.c_str(), 2, 0);
    ShowLine(script, 2);
    Frames(1);

    zel::NSprite* alice = Sprite(L"alice");
    ASSERT_NE(alice, nullptr);
    std::vector<int> keys;
    for (const auto& entry : alice->m_SpriteStates.entries())
        keys.push_back(entry.first);
    EXPECT_EQ(keys, (std::vector<int>{1, 2}));
    const zel::sSprite* state = alice->getCurrentSprite();
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(state->m_pTexture->key, L"green.png");
    EXPECT_EQ(state->getPosition(), sf::Vector2f(10.f, 20.f));
    EXPECT_EQ(state->getColor().a, 255);
    EXPECT_EQ(alice->getLayer(), 2);
    EXPECT_EQ(alice->layer.entries().size(), 2u);

    // The picture of line 3 is gone, and alice sits once in one layer list.
    EXPECT_EQ(Sprite(L"bob"), nullptr);
    EXPECT_EQ(entities().CountInLayers(), 1u);
    ASSERT_EQ(entities().entityLayers[2].size(), 1u);
    EXPECT_EQ(entities().entityLayers[2].front()->name, L"alice");
    EXPECT_EQ(entities().entityLines.size(), 1u);
    EXPECT_EQ(entities().entityLines[1].size(), 1u);
}

TEST_F(EditingPromiseTest, MovingBackShowsTheNewestStateAtOrBeforeTheCursor)
{
    std::wstring script;
    auto put = [&](int lineNo, const std::wstring& text) {
        while (std::count(script.begin(), script.end(), L'\n') < lineNo - 1)
            script += L"\n";
        script += text + L"\n";
    };
    put(5, L"cg alice red.png 0 0 1");
    put(10, L"cg alice green.png 40 40 1");
    put(18, L"cg alice blue.png 100 60 2");
    put(25, L"cg alice grey.png 200 150 5");
    put(30, L"cg alice red.png 250 200 -1");
    ShowLine(script, 30);
    Frames(1);
    ASSERT_NE(Sprite(L"alice"), nullptr);
    EXPECT_EQ(Sprite(L"alice")->getCurrentSprite()->getPosition(), sf::Vector2f(250.f, 200.f));

    setNovelScriptText(kScript, script.c_str(), 20, 0);
    Frames(1);
    zel::NSprite* alice = Sprite(L"alice");
    ASSERT_NE(alice, nullptr);
    ASSERT_FALSE(alice->m_SpriteStates.entries().empty());
    EXPECT_EQ(alice->m_SpriteStates.entries().rbegin()->first, 18);
    const zel::sSprite* state = alice->getCurrentSprite();
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(state->m_pTexture->key, L"blue.png");
    EXPECT_EQ(state->getPosition(), sf::Vector2f(100.f, 60.f));
    EXPECT_EQ(alice->getLayer(), 2);
    ASSERT_EQ(entities().entityLayers[2].size(), 1u);
    EXPECT_TRUE(entities().entityLayers[-1].empty());

    // The window shows line 18's look: blue at (100, 60), nothing where line 30 put red.
    const sf::Image shot = Capture();
    EXPECT_EQ(shot.getPixel(110, 70), sf::Color(30, 30, 210));
    EXPECT_EQ(shot.getPixel(260, 210), sf::Color::Black);
}

TEST_F(EditingPromiseTest, SeekingStraightToALineShowsThePictureOfReadingUpToIt)
{
    // Word-wrapped text continued over several lines, a look changed in between, and vertical text beside it, all
    // shown whole at once (the host's animation display is off).
    const std::wstring script = L"textbox talk 10 10 1 180 0 f.ttf 16\n"
                                L"useTextbox talk\n"
                                L"textWordWrap true\n"
                                L"\"Somewhat longer words that will surely need wrapping twice over\n"
                                L"-\" and a continuation that wraps on as well\n"
                                L"~textColour 250 200 100\n"
                                L"~-\" still more after the colour\n"
                                L"~\"A new text replacing the old one\n"
                                L"~textbox tate 210 10 2 100 120 jp.ttf 16\n"
                                L"~useTextbox tate\n"
                                L"~textDir vertical\n"
                                L"~\"「あいう」えお。かきくけこさしすせそ\n"
                                L"-\"たちつてと\n"
                                L"~useTextbox talk\n"
                                L"~textSize 20\n"
                                L"~-\" grows after the size changed\n"
                                L"~-\" and more still\n";
    const int lineCount = static_cast<int>(std::count(script.begin(), script.end(), L'\n'));
    auto freshAndWhole = [this] {
        FreshEngine();
        sysVars().tweenAnimationDisplay = false;
    };

    std::vector<sf::Image> straight(lineCount + 1);
    for (int line = 1; line <= lineCount; ++line)
    {
        freshAndWhole();
        Seek(script, line, true);
        straight[line] = Capture();
    }
    auto ink = [](const sf::Image& shot) {
        int count = 0;
        for (unsigned y = 0; y < shot.getSize().y; ++y)
            for (unsigned x = 0; x < shot.getSize().x; ++x)
                count += shot.getPixel(x, y) != sf::Color::Black;
        return count;
    };
    EXPECT_GT(ink(straight[5]), ink(straight[4])) << "a continuation adds to the text";
    EXPECT_GT(ink(straight[lineCount]), ink(straight[5])) << "both boxes are shown at the end";

    freshAndWhole();
    for (int line = 1; line <= lineCount; ++line)
    {
        Seek(script, line, line == 1);
        Frames(1);
        EXPECT_EQ(DifferingPixels(Capture(), straight[line]), 0)
            << "line " << line << ": seeking straight there and reading up to it differ";
    }
}
