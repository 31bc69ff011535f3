// What the editor promises the author: wherever the cursor goes, forwards or backwards, in whatever order, the
// registry looks exactly as if a fresh engine had read the script from its first line to the cursor's line once.

#include "WindowFixture.h"

#include "NHelper.h"
#include "NParser.h"
#include "ResourcePool.h"
#include "quillhaven.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <random>
#include <sstream>

using namespace testsupport;

namespace
{
const wchar_t* const kScript = L"main.txt";

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
    }

    /// The editor moves the cursor (reset 0), or hands the text over again (reset 1): at start-up and on a keystroke.
    void Seek(const std::wstring& script, int line, bool reset)
    {
        setNovelScriptText(kScript, script.c_str(), line, reset ? 1 : 0);
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
        std::vector<std::string> names;
        for (const auto& named : registry.m_nameReferences)
            names.push_back(zel::NHelper::ws2s(named.first));
        std::sort(names.begin(), names.end());
        std::string nameLine = "names:";
        for (const std::string& name : names)
            nameLine += " " + name;
        out.push_back(nameLine);
        return out;
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

/// A script of picture commands only, drawn from the generator: backgrounds in both forms, cg pictures under
/// reused and new names, every kind of layer, layer moves, caret names, the no-camera word, blanks and comments.
std::wstring GenerateScript(std::mt19937& random, int lineCount)
{
    const std::vector<std::wstring> files{L"red.png", L"green.png", L"blue.png", L"grey.png"};
    const std::vector<std::wstring> cgNames{L"alice", L"bob", L"^ui", L"carol", L"dave"};
    const std::vector<std::wstring> bgNames{L"sky", L"^far"};
    const std::vector<int> layers{-1, 0, 1, 2, 5};
    auto pick = [&](const auto& from) {
        return from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(random)];
    };
    auto coordinate = [&] {
        return std::to_wstring(std::uniform_int_distribution<int>(-40, 300)(random));
    };
    std::wstring script;
    for (int i = 0; i < lineCount; ++i)
    {
        std::wstring line;
        switch (std::uniform_int_distribution<int>(0, 11)(random))
        {
        case 0:
            line = L"bg " + pick(files);
            break;
        case 1:
            line = L"bg " + pick(files) + L" noCamera";
            break;
        case 2:
            line = L"bg " + pick(bgNames) + L" " + pick(files);
            break;
        case 3:
            line = L"bg " + pick(bgNames) + L" " + pick(files) + L" noCamera";
            break;
        case 4:
        case 5:
        case 6:
            line = L"cg " + pick(cgNames) + L" " + pick(files) + L" " + coordinate() + L" " + coordinate() + L" " +
                   std::to_wstring(pick(layers));
            break;
        case 7:
            // A new name every time, or a background renewed as a picture.
            line = L"cg " + (random() % 2 ? L"extra" + std::to_wstring(i) : pick(bgNames)) + L" " + pick(files) + L" " +
                   coordinate() + L" " + coordinate() + L" " + std::to_wstring(pick(layers)) + L" noCamera";
            break;
        case 8:
        case 9:
            line = L"layer " + (random() % 4 ? pick(cgNames) : pick(bgNames)) + L" " + std::to_wstring(pick(layers));
            break;
        case 10:
            line = L"";
            break;
        default:
            line = L"// a note about line " + std::to_wstring(i + 1);
            break;
        }
        script += line + L"\n";
    }
    return script;
}
} // namespace

TEST_F(EditingPromiseTest, AnyOrderOfCursorMovesShowsWhatOneReadFromTheTopShows)
{
    constexpr int kLines = 40;
    constexpr int kMoves = 60;
    for (const unsigned seed : {1u, 2u, 3u, 7u, 11u, 42u, 99u, 512u, 1234u, 4096u, 65537u, 99991u})
    {
        std::mt19937 random(seed);
        const std::wstring script = GenerateScript(random, kLines);

        // What a fresh engine shows after one read from line 1 to each line.
        std::vector<std::vector<std::string>> expected(kLines + 1);
        for (int line = 1; line <= kLines; ++line)
        {
            FreshEngine();
            Seek(script, line, true);
            Frames(1);
            expected[line] = Snapshot();
        }

        FreshEngine();
        std::vector<int> path;
        int line = std::uniform_int_distribution<int>(1, kLines)(random);
        for (int move = 0; move < kMoves; ++move)
        {
            // Now and then a keystroke on the cursor's line: the text is handed over again and that line re-read.
            const bool amend = move > 0 && random() % 6 == 0;
            if (amend)
                line = std::abs(path.back());
            Seek(script, line, move == 0 || amend);
            path.push_back(amend ? -line : line);
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
            line = std::uniform_int_distribution<int>(1, kLines)(random);
        }
    }
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
