// The picture commands seen on the screen: what bg and cg lines put in the window and in the registry.

#include "WindowFixture.h"
#include "entities/NCamera.h"

#include <SFML/Graphics/Texture.hpp>

#include <algorithm>
#include <cctype>

using namespace testsupport;

namespace
{
class ImageCommandsTest : public WindowFixture
{
protected:
    /// The log written since mark (a length of LogText()).
    static std::string LogSince(std::size_t mark)
    {
        const std::string text = LogText();
        return mark < text.size() ? text.substr(mark) : std::string();
    }
};
} // namespace

TEST_F(ImageCommandsTest, BackgroundFillsTheWindowAndIsNeverDoubled)
{
    MakeImage("a.png", 32, 24, sf::Color(200, 40, 40));
    const std::wstring script = L"bg a.png\nbg a.png\n";
    ShowLine(script, 2);
    const sf::Image shot = Capture();
    EXPECT_EQ(shot.getPixel(0, 0), sf::Color(200, 40, 40));
    EXPECT_EQ(shot.getPixel(319, 239), sf::Color(200, 40, 40));
    EXPECT_EQ(entities().CountInLayers(), 1u);
    ASSERT_NE(Sprite(L"sys_BG"), nullptr);
}

namespace
{
const sf::Color kBlack(0, 0, 0);
const sf::Color kRed(255, 0, 0);
const sf::Color kGreen(0, 200, 0);
const sf::Color kBlue(0, 0, 220);
const sf::Color kWhite(255, 255, 255);

class WideWindowTest : public ImageCommandsTest
{
protected:
    void SetUp() override { OpenWindow(1280, 720); }
};
} // namespace

TEST_F(ImageCommandsTest, ReplacedNamedBackgroundLeavesAfterTheFrameThatLastShowedIt)
{
    MakeImage("sky.png", 32, 24, kBlue);
    MakeImage("b.png", 32, 24, kGreen);
    Play(L"bg sky sky.png\nbg b.png\n");
    ASSERT_NE(Sprite(L"sky"), nullptr) << "while playing, a removed picture stays until a frame is drawn";
    EXPECT_TRUE(Sprite(L"sky")->isMarkedRemoved());

    DrawFrame();
    EXPECT_EQ(Sprite(L"sky"), nullptr);
    EXPECT_EQ(entities().CountInLayers(), 1u);
    ASSERT_NE(Sprite(L"sys_BG"), nullptr);
    const sf::Image shot = Capture();
    EXPECT_EQ(shot.getPixel(0, 0), kGreen);
    EXPECT_EQ(shot.getPixel(160, 120), kGreen);
    EXPECT_EQ(shot.getPixel(319, 239), kGreen);
}

TEST_F(WideWindowTest, BackgroundIsScaledToTheWindowOnlyWhenItsSizeDiffers)
{
    MakeImage("small.png", 640, 480, kBlue);
    MakeImage("full.png", 1280, 720, kGreen);
    const std::wstring script = L"bg small.png\nbg full full.png\n";
    ShowLine(script, 1);
    zel::NSprite* small = Sprite(L"sys_BG");
    ASSERT_NE(small, nullptr);
    EXPECT_EQ(small->getCurrentSprite()->getScale(), sf::Vector2f(2.f, 1.5f));
    sf::Image shot = Capture();
    EXPECT_EQ(shot.getPixel(1279, 719), kBlue) << "the scaled background reaches the far corner";
    EXPECT_EQ(small->getCurrentSprite()->getScale(), sf::Vector2f(2.f, 1.5f)) << "drawing keeps the fit";

    ShowLine(script, 2);
    zel::NSprite* full = Sprite(L"full");
    ASSERT_NE(full, nullptr);
    EXPECT_EQ(full->getCurrentSprite()->getScale(), sf::Vector2f(1.f, 1.f));
    shot = Capture();
    EXPECT_EQ(shot.getPixel(0, 0), kGreen);
    EXPECT_EQ(shot.getPixel(1279, 719), kGreen);
}

TEST_F(ImageCommandsTest, CgIsPlacedAtItsPositionAndLayerAndRejectsFractions)
{
    MakeFramedImage("hero.png", 40, 30, kGreen, kWhite);
    const std::wstring script = L"cg hero hero.png 10 -20 3\ncg hero hero.png x 0 3\ncg hero hero.png 10.5 0 3\n"
                                L"cg villain hero.png 0 0.5 1\n";
    ShowLine(script, 2);
    zel::NSprite* hero = Sprite(L"hero");
    ASSERT_NE(hero, nullptr);
    EXPECT_EQ(hero->getCurrentSprite()->getPosition(), sf::Vector2f(10.f, -20.f));
    EXPECT_EQ(hero->getLayer(), 3);
    ASSERT_EQ(entities().entityLayers[3].size(), 1u);
    EXPECT_EQ(entities().entityLayers[3].front().get(), hero);

    sf::Image shot = Capture();
    EXPECT_EQ(shot.getPixel(9, 5), kBlack);
    EXPECT_EQ(shot.getPixel(10, 5), kWhite) << "left edge";
    EXPECT_EQ(shot.getPixel(11, 5), kGreen);
    EXPECT_EQ(shot.getPixel(48, 5), kGreen);
    EXPECT_EQ(shot.getPixel(49, 5), kWhite) << "right edge";
    EXPECT_EQ(shot.getPixel(50, 5), kBlack);
    EXPECT_EQ(shot.getPixel(20, 0), kGreen) << "the top frame row lies above the window";
    EXPECT_EQ(shot.getPixel(20, 9), kWhite) << "bottom edge";
    EXPECT_EQ(shot.getPixel(20, 10), kBlack);

    // The number warning is given once per line; line 2 has just given it, so line 3 gives its own.
    const std::size_t mark = LogText().size();
    ShowLine(script, 4);
    EXPECT_NE(LogSince(mark).find("WARNING. TOKEN NOT A NUMBER"), std::string::npos);
    hero = Sprite(L"hero"); // the script was read afresh: a new picture of the same name
    ASSERT_NE(hero, nullptr);
    EXPECT_EQ(hero->getCurrentSprite()->getPosition(), sf::Vector2f(10.f, -20.f));
    EXPECT_EQ(Sprite(L"villain"), nullptr);
    shot = Capture();
    EXPECT_EQ(shot.getPixel(10, 5), kWhite);
    EXPECT_EQ(shot.getPixel(0, 5), kBlack);
}

TEST_F(ImageCommandsTest, LayersDrawInOrderAndOneLayerInRegistrationOrder)
{
    MakeImage("red.png", 60, 60, kRed);
    MakeImage("green.png", 60, 60, kGreen);
    MakeImage("blue.png", 60, 60, kBlue);
    MakeImage("white.png", 30, 30, kWhite);
    // Written in another order than drawn: the layer decides, not the line.
    ShowLine(L"cg top red.png 40 40 5\ncg under blue.png 0 0 -1\ncg middle green.png 20 20 0\n"
             L"cg first white.png 200 100 2\ncg second green.png 200 100 2\n",
             5);
    const sf::Image shot = Capture();
    EXPECT_EQ(shot.getPixel(10, 10), kBlue);
    EXPECT_EQ(shot.getPixel(30, 30), kGreen) << "layer 0 over layer -1";
    EXPECT_EQ(shot.getPixel(50, 50), kRed) << "layer 5 over layers 0 and -1";
    EXPECT_EQ(shot.getPixel(70, 70), kRed);
    EXPECT_EQ(shot.getPixel(90, 10), kBlack);
    EXPECT_EQ(shot.getPixel(210, 110), kGreen) << "on one layer the later picture is on top";
    EXPECT_EQ(shot.getPixel(240, 110), kGreen);
}

TEST_F(ImageCommandsTest, CameraMovesOnlyThePicturesInsideIt)
{
    MakeImage("red.png", 20, 20, kRed);
    MakeImage("green.png", 20, 20, kGreen);
    ShowLine(L"cg inside red.png 10 10 0\ncg outside green.png 10 100 0 noCamera\n", 2);
    ASSERT_NE(Sprite(L"inside"), nullptr);
    ASSERT_NE(Sprite(L"outside"), nullptr);
    EXPECT_TRUE(Sprite(L"inside")->inCamera());
    EXPECT_FALSE(Sprite(L"outside")->inCamera());

    const sf::Transform cameraTransform = zel::Services::CameraTransform();
    const float* matrix = cameraTransform.getMatrix();
    const float* identity = sf::Transform::Identity.getMatrix();
    EXPECT_TRUE(std::equal(matrix, matrix + 16, identity)) << "a fresh camera does not move anything";
    sf::Image shot = Capture();
    EXPECT_EQ(shot.getPixel(15, 15), kRed);
    EXPECT_EQ(shot.getPixel(15, 105), kGreen);

    zel::sSprite* camera = entities().pCamera->pushCameraState(zel::lineContext::MainLine());
    ASSERT_NE(camera, nullptr);
    camera->setPosition(50.f, 30.f);
    shot = Capture();
    EXPECT_EQ(shot.getPixel(15, 15), kBlack);
    EXPECT_EQ(shot.getPixel(65, 45), kRed) << "moved with the camera";
    EXPECT_EQ(shot.getPixel(15, 105), kGreen) << "noCamera keeps its place";
    EXPECT_EQ(shot.getPixel(65, 135), kBlack);
}

TEST_F(ImageCommandsTest, ScreenshotLeavesOutCaretNamesButNotTheCaretAlone)
{
    MakeImage("red.png", 20, 20, kRed);
    MakeImage("green.png", 20, 20, kGreen);
    ShowLine(L"cg ^ab red.png 10 10 0\ncg ^ green.png 40 10 0\n", 2);
    ASSERT_NE(Sprite(L"^ab"), nullptr);
    ASSERT_NE(Sprite(L"^"), nullptr);

    sf::Image shot = Capture();
    EXPECT_EQ(shot.getPixel(15, 15), kRed) << "on the screen caret names are drawn";

    const std::size_t mark = LogText().size();
    sysVars().renderMode = 2;
    zel::Services::UpdateEngine(true, false);
    // Mode 2 draws without presenting: read the back buffer.
    const sf::Vector2u size = zel::Services::pRenderWindow->getSize();
    sf::Texture buffer;
    ASSERT_TRUE(buffer.create(size.x, size.y));
    buffer.update(*zel::Services::pRenderWindow);
    sysVars().renderMode = 0;
    shot = buffer.copyToImage();
    EXPECT_EQ(shot.getPixel(15, 15), kBlack);
    EXPECT_EQ(shot.getPixel(45, 15), kGreen);
    const std::string log = LogSince(mark);
    EXPECT_NE(log.find("NOT SAVING IN SS: ^ab"), std::string::npos);
    EXPECT_EQ(log.find("NOT SAVING IN SS: ^\n"), std::string::npos);
}

TEST_F(ImageCommandsTest, BoundingBoxIsAnAxisAlignedOutlineInsideTheEdge)
{
    MakeImage("green.png", 40, 40, kGreen);
    ShowLine(L"cg box green.png 20 20 0\n", 1);
    sysVars().boundingBoxDisplay = true;
    sf::Image shot = Capture();
    for (unsigned edge : {20u, 23u, 56u, 59u})
    {
        EXPECT_EQ(shot.getPixel(edge, 40), kRed) << "x " << edge;
        EXPECT_EQ(shot.getPixel(40, edge), kRed) << "y " << edge;
    }
    EXPECT_EQ(shot.getPixel(24, 40), kGreen) << "4 px wide";
    EXPECT_EQ(shot.getPixel(55, 40), kGreen);
    EXPECT_EQ(shot.getPixel(19, 40), kBlack) << "inside the edge, not outside";
    EXPECT_EQ(shot.getPixel(60, 40), kBlack);

    // Turned about its centre the picture is a diamond reaching past its unturned box; the box stays upright.
    zel::sSprite* state = Sprite(L"box")->getCurrentSprite();
    state->setOrigin(20.f, 20.f);
    state->setPosition(100.f, 100.f);
    state->setRotation(45.f);
    shot = Capture();
    for (unsigned corner : {81u, 118u})
    {
        EXPECT_EQ(shot.getPixel(corner, 81), kRed) << corner;
        EXPECT_EQ(shot.getPixel(corner, 118), kRed) << corner;
    }
    EXPECT_EQ(shot.getPixel(100, 74), kGreen) << "the turned picture's tip, above the box";
    EXPECT_EQ(shot.getPixel(100, 100), kGreen);
    EXPECT_EQ(shot.getPixel(84, 84), kBlack) << "between the box and the diamond";

    sysVars().boundingBoxDisplay = false;
    shot = Capture();
    EXPECT_EQ(shot.getPixel(81, 81), kBlack);
}

TEST_F(ImageCommandsTest, NamesThatClimbOutOfTheDataFoldersAreRefusedWithOneErrorEach)
{
    MakeImage("../secret.png", 16, 16, kGreen); // beside the novel's folders, not in Images/
    MakeFont("../secret.ttf");
    const std::vector<std::pair<std::wstring, std::string>> lines{
        {L"bg ../secret.png", "Images/../secret.png"},
        {L"cg x ..\\secret.png 0 0 1", "Images/..\\secret.png"},
        {L"cg y sub/../../secret.png 0 0 1", "Images/sub/../../secret.png"},
        {L"cg z '../secret.png' 0 0 1", "Images/../secret.png"}, // quote marks come off first
        {L"bgm '../secret.wav'", "'../secret.wav'"},
        {L"textbox t 0 0 1 100 100 ../secret.ttf 12", "Fonts/../secret.ttf"},
    };
    std::wstring script;
    std::vector<std::string> expected;
    for (const auto& [line, path] : lines)
    {
        script += line + L"\n";
        expected.push_back("leaves its data folder. refused:" + path +
                           " script:main.txt line:" + std::to_string(expected.size() + 1));
    }
    const std::size_t mark = LogText().size();
    ShowLine(script, static_cast<int>(lines.size()));
    EXPECT_EQ(Capture().getPixel(5, 5), kBlack) << "no picture from outside the novel";
    const std::string log = LogSince(mark);
    std::string missing;
    EXPECT_TRUE(ContainsInOrder(log, expected, &missing)) << missing << "\n" << log;
    std::size_t errors = 0;
    for (std::size_t at = log.find("leaves its data folder"); at != std::string::npos;
         at = log.find("leaves its data folder", at + 1))
        ++errors;
    EXPECT_EQ(errors, lines.size()) << "one error a line";
}

namespace
{
/// A file named with a blank, given in quote marks to a command that takes a file name.
struct QuotedFileCase
{
    const char* what;
    bool playing;         ///< played from the first line; else shown in the editor at its last line
    const wchar_t* script;
    int x, y;             ///< a pixel the quoted picture covers; -1: nothing to see (a sound, a font, a mask)
    const char* written;  ///< a file the line writes into the novel, or null
};

const QuotedFileCase kQuotedFileCases[] = {
    {"bg in apostrophes", false, L"bg 'my pic.png'\n", 5, 5, nullptr},
    {"bg in double quotation marks", false, L"bg \"my pic.png\"\n", 5, 5, nullptr},
    {"cg", false, L"cg c 'my pic.png' 100 50 1\n", 110, 60, nullptr},
    {"image", false, L"cg c green.png 100 50 1\nimage c 'my pic.png'\n", 110, 60, nullptr},
    {"button", false, L"button b 'my pic.png' 100 50 1\n", 110, 60, nullptr},
    {"btnBasicRes", false, L"btnBasicRes 'my pic.png' 'my pic.png' 'my pic.png'\nbutton b 100 50 1\n", 110, 60,
     nullptr},
    {"textbox font and skin", false,
     L"textbox box 0 0 1 300 40 'my font.ttf' 12\nuseTextbox box\ntextboxSkin 'my pic.png' 100 50\n\"Hi.\n", 110, 60,
     nullptr},
    {"textWaitIcon", true, L"textbox box 0 0 1 300 40 f.ttf 12\nuseTextbox box\ntextWaitIcon 'my pic.png'\n\"Hi.\n",
     -1, -1, nullptr},
    {"textFont", false, L"textbox box 0 0 1 300 40 f.ttf 12\nuseTextbox box\ntextFont 'my font.ttf'\n", -1, -1,
     nullptr},
    {"text font", false, L"text t 10 10 1 'my font.ttf' 12 'Hello there'\n", -1, -1, nullptr},
    {"trackbar knob", false, L"trackbar t 100 50 1 100 master_vol 'my pic.png'\n", -1, -1, nullptr},
    {"alphaFadein mask", true, L"bg green.png\nalphaFadein 'my pic.png' 100\n", -1, -1, nullptr},
    {"alphaFadeout mask", true, L"bg green.png\nalphaFadeout 'my pic.png' 100\n", -1, -1, nullptr},
    {"bgm", true, L"bgm 'my song.wav'\n", -1, -1, nullptr},
    {"soundEffect", true, L"soundEffect s 'my sound.wav'\n", -1, -1, nullptr},
    {"voice", true, L"voice 'my voice.wav'\n", -1, -1, nullptr},
    {"createDummyCG, its file and its font", true, L"createDummyCG 'my dummy' 'my font.ttf' 40 30 Title\n", -1, -1,
     "Images/my dummy.png"},
};

void PrintTo(const QuotedFileCase& quoted, std::ostream* out)
{
    *out << quoted.what;
}

class QuotedFileTest : public ImageCommandsTest, public ::testing::WithParamInterface<QuotedFileCase>
{
};
} // namespace

TEST_P(QuotedFileTest, IsReadWithoutItsQuoteMarks)
{
    const QuotedFileCase& quoted = GetParam();
    MakeImage("my pic.png", 40, 30, kRed);
    MakeImage("green.png", 40, 30, kGreen);
    MakeFont("my font.ttf");
    MakeFont("f.ttf");
    MakeTone("BGM/my song.wav", 0.5f);
    MakeTone("SFX/my sound.wav", 0.5f);
    MakeTone("Voices/my voice.wav", 0.5f);
    const std::wstring script = quoted.script;
    const std::size_t mark = LogText().size();
    if (quoted.playing)
    {
        Play(script);
        for (int frame = 0; frame < 3; ++frame)
            DrawFrame();
    }
    else
        ShowLine(script, static_cast<int>(std::count(script.begin(), script.end(), L'\n')));
    const sf::Image shot = Capture();
    const std::string log = LogSince(mark);
    EXPECT_EQ(log.find("ERROR"), std::string::npos) << log;
    EXPECT_EQ(log.find("/'my "), std::string::npos) << "a path kept the name's quote mark: " << log;
    if (quoted.x >= 0)
        EXPECT_EQ(shot.getPixel(quoted.x, quoted.y), kRed);
    if (quoted.written != nullptr)
        EXPECT_TRUE(FileExists(*m_novel / quoted.written)) << quoted.written;
}

INSTANTIATE_TEST_SUITE_P(Commands, QuotedFileTest, ::testing::ValuesIn(kQuotedFileCases),
                         [](const ::testing::TestParamInfo<QuotedFileCase>& info) {
                             std::string name;
                             for (const char* c = info.param.what; *c != '\0'; ++c)
                                 if (std::isalnum(static_cast<unsigned char>(*c)))
                                     name += *c;
                             return name;
                         });
