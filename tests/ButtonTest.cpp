// Buttons and sliders: what the button lines make, what the screen shows of them, and the sliders' settings in
// Config.xml.

#include "WindowFixture.h"
#include "core/Config.h"
#include "entities/NButton.h"
#include "entities/NTrackbar.h"
#include "resources/NHelper.h"

#include <SFML/Window/Event.hpp>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>

using namespace testsupport;

namespace
{
const sf::Color kRed(220, 30, 30);
const sf::Color kGreen(30, 200, 30);
const sf::Color kBlue(30, 30, 210);
const sf::Color kBlack(0, 0, 0);

class ButtonTest : public WindowFixture
{
protected:
    void SetUp() override
    {
        WindowFixture::SetUp();
        MakeImage("ok.png", 40, 20, kRed);
        MakeImage("x.png", 40, 20, kRed);
        MakeImage("a.png", 40, 20, kRed);
        MakeImage("b.png", 40, 20, kGreen);
        MakeImage("c.png", 40, 20, kBlue);
        MakeImage("t.png", 60, 30, kGreen);
        MakeImage("knob.png", 10, 10, kBlue);
        MakeFont("f.ttf");
    }

    /// A new engine in the same window, as after start-up: each case of a table reads its script from the top.
    void FreshEngine()
    {
        std::function<void()> discarded;
        while (zel::Services::m_deferredCalls.try_dequeue(discarded))
        {
        }
        zel::Services::pNParser =
            std::make_unique<zel::NParser>(std::make_shared<zel::Parser>(L"main.txt", L"", zel::PARSER_MAIN));
        zel::Services::InitNovelState(false);
        zel::Services::pNCommands->commandStrings[L"CmdOptions_noCamera"] = L"noCamera";
    }
    std::shared_ptr<zel::NButton> Button(const std::wstring& name)
    {
        return std::dynamic_pointer_cast<zel::NButton>(entities().Find(name));
    }
    std::shared_ptr<zel::NTrackbar> Trackbar(const std::wstring& name)
    {
        return std::dynamic_pointer_cast<zel::NTrackbar>(entities().Find(name));
    }
    static std::string LogSince(std::size_t mark) { return LogText().substr(mark); }

    /// The pointer as the frame loop passes it on (playing).
    static void Pointer(sf::Event::EventType type, int x, int y)
    {
        sf::Event event{};
        event.type = type;
        if (type == sf::Event::MouseMoved)
            event.mouseMove = {x, y};
        else
            event.mouseButton = {sf::Mouse::Left, x, y};
        zel::Services::DispatchInput(event);
    }
    /// The GameSettings attribute as Config.xml holds it.
    std::string Setting(const std::string& attribute) const
    {
        const std::string xml = ReadFile(*m_novel / "Config.xml");
        const std::size_t at = xml.find(attribute + "=\"");
        return at == std::string::npos
                   ? ""
                   : xml.substr(at + attribute.size() + 2,
                                xml.find('"', at + attribute.size() + 2) - at - attribute.size() - 2);
    }
};

struct ButtonCase
{
    const char* what;
    std::wstring script;
    bool made;                          ///< a button b exists after the last line
    zel::ButtonTrigger trigger;         ///< its job
    int value;                          ///< slot, window mode, read method or yes (1) by job
    std::array<std::wstring, 3> images; ///< its three image names
    std::wstring execLine;              ///< the click line
    const char* logged;                 ///< a message the lines log ("" none)
};

int JobValue(const zel::ButtonJob& job)
{
    switch (job.trigger)
    {
    case zel::TRIGGER_SCREEN:
        return job.windowMode;
    case zel::TRIGGER_MSGVAR:
        return job.msgYes ? 1 : 0;
    case zel::TRIGGER_TEXTREAD:
        return job.readMethod;
    default:
        return job.slotNumber;
    }
}
} // namespace

TEST_F(ButtonTest, ButtonLinesMakeTheirButtonOrLeaveTheEarlierState)
{
    const std::array<std::wstring, 3> ok{L"ok.png", L"ok.png", L"ok.png"};
    const std::array<std::wstring, 3> x{L"x.png", L"x.png", L"x.png"};
    const std::array<std::wstring, 3> abc{L"a.png", L"b.png", L"c.png"};
    const std::vector<ButtonCase> cases{
        {"save slot, one image", L"button b ok.png 10 20 1 saveslot 3", true, zel::TRIGGER_SAVESLOT, 3, ok, L"", ""},
        {"defaults", L"btnBasicRes a.png b.png c.png\nbutton b 10 20 1", true, zel::TRIGGER_NONE, -1, abc, L"",
         "[ExecuteButtonBasicRes] updated. untouched-img:a.png touched-img:b.png, clicked-img:c.png"},
        {"one image over defaults",
         L"btnBasicRes a.png none c.png\nbutton b x.png 10 20 1",
         true,
         zel::TRIGGER_NONE,
         -1,
         {L"x.png", L"x.png", L"c.png"},
         L"",
         ""},
        {"script line", L"button b x.png 10 20 1 jump start", true, zel::TRIGGER_SCRIPT, -1, x, L"jump start",
         "btn-type:jump is not a button default type. will use parser. (curline:1)"},
        {"failing kind keeps the earlier state", L"button b x.png 10 20 1 loadslot 3\nbutton b ok.png 10 20 1 saveslot",
         true, zel::TRIGGER_LOADSLOT, 3, x, L"", ""},
        {"failing kind makes nothing", L"button b ok.png 10 20 1 msgvar", false, zel::TRIGGER_NONE, 0, ok, L"", ""},
        {"no images, no defaults", L"button b 10 20 1", false, zel::TRIGGER_NONE, 0, ok, L"",
         "BUTTON IMAGES CANNOT ALL BE 'none' (btn name:b)"},
        {"all none", L"button b none none none 10 20 1", false, zel::TRIGGER_NONE, 0, ok, L"",
         "BUTTON IMAGES CANNOT ALL BE 'none'"},
        {"four images", L"button b a.png b.png c.png ok.png 10 20 1", false, zel::TRIGGER_NONE, 0, ok, L"",
         "ERROR. (ExecuteButton) xPosIdx:6 invalid script:main.txt line:1"},
        {"missing image", L"button b a.png gone.png 10 20 1", false, zel::TRIGGER_NONE, 0, ok, L"",
         "ERROR. (ExecuteButton) loadImages FAILED. script:main.txt line:1"},
        {"missing image keeps the earlier state", L"button b a.png b.png c.png 10 20 1\nbutton b gone.png 1 2 1", true,
         zel::TRIGGER_NONE, -1, abc, L"", "loadImages FAILED"},
        {"name of a picture", L"cg b ok.png 0 0 1\nbutton b ok.png 10 20 1", false, zel::TRIGGER_NONE, 0, ok, L"",
         "ERROR. (ExecuteButton) entity:'b' is already assigned to an entity not a (sys)button"},
        {"read method", L"button b ok.png 10 20 1 textProgress 2", true, zel::TRIGGER_TEXTREAD, 2, ok,
         L"textProgress 2", ""},
        {"message-box answer", L"button b ok.png 10 20 1 msgvar yes", true, zel::TRIGGER_MSGVAR, 1, ok, L"", ""},
        {"window mode without camera", L"button b ok.png 10 20 1 noCamera screen 2", true, zel::TRIGGER_SCREEN, 2, ok,
         L"", ""},
        {"no position", L"button b ok.png", false, zel::TRIGGER_NONE, 0, ok, L"", ""},
    };
    for (const ButtonCase& c : cases)
    {
        SCOPED_TRACE(c.what);
        FreshEngine();
        const std::size_t mark = LogText().size();
        const int lines = static_cast<int>(std::count(c.script.begin(), c.script.end(), L'\n')) + 1;
        ShowLine(c.script + L"\n", lines);
        const std::string log = LogSince(mark);
        if (*c.logged != '\0')
            EXPECT_NE(log.find(c.logged), std::string::npos) << log;
        const std::shared_ptr<zel::NButton> button = Button(L"b");
        ASSERT_EQ(button != nullptr, c.made);
        if (!c.made)
        {
            EXPECT_TRUE(std::none_of(entities().interactives.begin(), entities().interactives.end(),
                                     [](const zel::EntityPtr& entity) { return entity->name == L"b"; }));
            continue;
        }
        const auto* state = static_cast<zel::sButton*>(button->getCurrentSprite());
        ASSERT_NE(state, nullptr);
        EXPECT_EQ(state->imageNames, c.images);
        EXPECT_EQ(button->job().trigger, c.trigger);
        EXPECT_EQ(JobValue(button->job()), c.value);
        EXPECT_EQ(button->job().execLine, c.execLine);
        EXPECT_EQ(button->inCamera(), c.trigger != zel::TRIGGER_SCREEN);
        EXPECT_EQ(entities().interactives.size(), 1u);
    }
}

TEST_F(ButtonTest, TouchedOnlyImageShowsWhenTouchedAndTheCaptionAlways)
{
    // Line 2's caption has no quote: the font loads, no caption shows.
    Play(L"button b none t.png none 100 100 1\nbtnText b f.ttf 12 Go\nonBtnTouch b var touched = 1\n");
    const std::shared_ptr<zel::NButton> button = Button(L"b");
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(DifferingPixels(Capture(),
                              [] {
                                  sf::Image black;
                                  black.create(320, 240, kBlack);
                                  return black;
                              }()),
              0)
        << "neither the untouched look nor a caption";

    zel::Services::TriggerParseExec(L"btnText b f.ttf 14 \"Go now");
    zel::Services::UpdateEngine(false, false);
    sf::Image shot = Capture();
    EXPECT_EQ(shot.getPixel(102, 102), kBlack) << "untouched: no image";
    int lit = 0;
    for (unsigned x = 100; x < 160; ++x)
        for (unsigned y = 100; y < 130; ++y)
            lit += shot.getPixel(x, y) != kBlack ? 1 : 0;
    EXPECT_GT(lit, 20) << "the caption shows without an image";

    Pointer(sf::Event::MouseMoved, 102, 102);
    shot = Capture();
    EXPECT_EQ(shot.getPixel(102, 102), kGreen) << "touched";
    zel::Services::UpdateEngine(false, false);
    EXPECT_EQ(sysVars().variables[L"touched"], L"1") << "the touch line ran";
    sysVars().variables[L"touched"] = L"0";
    DrawFrame();
    zel::Services::UpdateEngine(false, false);
    EXPECT_EQ(sysVars().variables[L"touched"], L"0") << "once per touch";

    Pointer(sf::Event::MouseMoved, 5, 5);
    EXPECT_EQ(Capture().getPixel(102, 102), kBlack) << "left again";
}

namespace
{
/// Writes text over the start of the file in place (same file, same size), then gives it back its modification time.
void OverwriteKeepingTime(const std::filesystem::path& path, const std::string& from, const std::string& to)
{
    struct stat before = {};
    ASSERT_EQ(stat(path.c_str(), &before), 0);
    std::string content = ReadFile(path);
    const std::size_t at = content.find(from);
    ASSERT_NE(at, std::string::npos);
    ASSERT_EQ(from.size(), to.size());
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(static_cast<std::streamoff>(at));
    file.write(to.data(), static_cast<std::streamsize>(to.size()));
    file.close();
    const struct timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}
} // namespace

TEST_F(ButtonTest, SliderShowsConfigAsItChangesAndADragWritesIt)
{
    const auto knobX = [this] {
        DrawFrame();
        return Trackbar(L"s")->getCurrentSprite()->getPosition().x;
    };
    const std::filesystem::path config = *m_novel / "Config.xml";
    // The track runs from 50 to 250; the configuration's 1500 of 5000 ms is 30 % along. A second slider of that
    // name is refused, and does not answer the pointer either.
    Play(L"trackbar s 50 100 1 200 autoWait knob.png\ntrackbar s 0 0 1 300 textSpeed knob.png\n");
    ASSERT_NE(Trackbar(L"s"), nullptr);
    EXPECT_EQ(entities().interactives, zel::EntityList{Trackbar(L"s")});
    EXPECT_EQ(knobX(), 110.f);
    WriteFile(config, ConfigXml("", "").replace(ConfigXml("", "").find("1500"), 4, "2500"));
    EXPECT_EQ(knobX(), 150.f) << "a changed file shows at the next frame";
    OverwriteKeepingTime(config, "2500", "4000");
    EXPECT_EQ(knobX(), 150.f) << "the same time and size: not read again";
    ASSERT_EQ(utimensat(AT_FDCWD, config.c_str(), nullptr, 0), 0);
    EXPECT_EQ(knobX(), 210.f);
    EXPECT_EQ(sysVars().sysAutoWait, 4000);

    // Grabbed at its centre and pulled past the right end, the knob stops at the end.
    Pointer(sf::Event::MouseMoved, 215, 105);
    Pointer(sf::Event::MouseButtonPressed, 215, 105);
    ASSERT_TRUE(sysVars().sliderDragging);
    Pointer(sf::Event::MouseMoved, 318, 105);
    EXPECT_EQ(Setting("sysAutoWait"), "5000");
    EXPECT_EQ(knobX(), 250.f);
    Pointer(sf::Event::MouseMoved, 155, 105);
    EXPECT_EQ(Setting("sysAutoWait"), "2500");
    EXPECT_EQ(knobX(), 150.f);
    struct stat written = {}, again = {};
    stat(config.c_str(), &written);
    Pointer(sf::Event::MouseMoved, 155, 105); // every frame passes the pointer on again
    stat(config.c_str(), &again);
    EXPECT_EQ(again.st_ino, written.st_ino) << "a knob that did not move wrote the file again";
    EXPECT_EQ(zel::Services::FirstNovelState()->sysVars.sysAutoWait, 2500);
    EXPECT_EQ(Setting("sysBgmVolume"), "80") << "the other settings stay";

    // A file that does not parse is left as it is.
    WriteFile(config, "<Harborstage><GameSettings sysAutoWait=\"2500\" sysBgmVolume=\"80\"><broken");
    const std::size_t mark = LogText().size();
    Pointer(sf::Event::MouseMoved, 60, 105);
    EXPECT_EQ(ReadFile(config), "<Harborstage><GameSettings sysAutoWait=\"2500\" sysBgmVolume=\"80\"><broken");
    EXPECT_NE(LogSince(mark).find("ERROR. (Config::WriteSetting) Config.xml does not parse"), std::string::npos);
    Pointer(sf::Event::MouseButtonReleased, 60, 105);
    EXPECT_FALSE(sysVars().sliderDragging);

    // Without the file the reader is told once, not at every frame, and the knob stays.
    std::filesystem::remove(config);
    const std::size_t missing = LogText().size();
    for (int frame = 0; frame < 3; ++frame)
        EXPECT_EQ(knobX(), 150.f);
    const std::string log = LogSince(missing);
    const std::size_t told = log.find("Config.xml file not found");
    EXPECT_NE(told, std::string::npos);
    EXPECT_EQ(log.find("Config.xml file not found", told + 1), std::string::npos) << log;
}

TEST_F(ButtonTest, SlidersAreBoundByNameToTheirSetting)
{
    zel::Services::pNCommands->commandStrings[L"Types_bgm"] = L"music";
    zel::Services::pNCommands->commandStrings[L"Types_sfx"] = L"sound";
    zel::Services::pNCommands->commandStrings[L"Types_voice"] = L"voice";
    const std::vector<std::tuple<std::wstring, const char*, int>> bindings{{L"master_vol", "sysMasterVolume", 100},
                                                                           {L"music", "sysBgmVolume", 100},
                                                                           {L"sound", "sysSfxVolume", 100},
                                                                           {L"voice", "sysVoiceVolume", 100},
                                                                           {L"textSpeed", "sysTextSpeed", 100},
                                                                           {L"autoSpeed", "sysAutoSpeed", 100},
                                                                           {L"autoWait", "sysAutoWait", 5000},
                                                                           {L"bgm", nullptr, 0},
                                                                           {L"", nullptr, 0}};
    for (const auto& [name, attribute, maximum] : bindings)
    {
        const zel::SliderSetting* setting = zel::Config::SliderBinding(name, sysVars());
        ASSERT_EQ(setting != nullptr, attribute != nullptr) << zel::NHelper::ws2s(name);
        if (setting == nullptr)
            continue;
        EXPECT_STREQ(setting->attribute, attribute);
        EXPECT_EQ(setting->maximum, maximum);
        ASSERT_TRUE(zel::Config::WriteSetting(*setting, maximum / 4));
        int value = -1;
        ASSERT_TRUE(zel::Config::ReadSetting(*setting, value));
        EXPECT_EQ(value, maximum / 4) << attribute;
    }
}

TEST_F(ButtonTest, AliveRegionIgnoresButtonsOfOtherScripts)
{
    // The wait for a button, a script-line button's jump and the message box's answers are clicked for real in the
    // host's input test.
    zel::Services::pNCommands->commandStrings[L"CmdOptions_buttonSelect"] = L"buttonSelect";
    std::filesystem::create_directories(*m_novel / "Scripts");
    WriteFile(*m_novel / "Scripts/menu.txt", "btnAliveRegion\nbutton mine ok.png 100 20 1 var chosen = 2\n"
                                             "wait buttonSelect\n");
    const auto clickAt = [](int x, int y) {
        Pointer(sf::Event::MouseMoved, x, y);
        Pointer(sf::Event::MouseButtonPressed, x, y);
        for (int i = 0; i < 3; ++i) // what the click queued, then reading on
        {
            zel::Services::UpdateEngine(false, false);
            zel::Services::ReadOn();
        }
        return zel::Services::SysVars()->variables[L"chosen"];
    };
    Play(L"button other ok.png 10 20 1 var chosen = 1\nscript menu.txt\n");
    ASSERT_EQ(zel::CurParser()->scriptName, L"menu.txt");
    EXPECT_EQ(clickAt(15, 25), L"") << "the main script's button is dead while the menu runs";
    EXPECT_EQ(zel::CurParser()->m_ParserState, zel::WAIT_BTNSEL);
    EXPECT_EQ(clickAt(105, 25), L"2");
}
