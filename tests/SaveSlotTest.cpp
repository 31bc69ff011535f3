// Save slots: a save and a load give back the novel as it was (its look, its parsers, its variables), a slot file
// that is damaged in any way is refused without touching the running novel, and the slot buttons ask before they
// overwrite, delete or load.

#include "WindowFixture.h"
#include "commands/CmdHandlers.h"
#include "entities/NButton.h"
#include "entities/NCamera.h"
#include "entities/NTextbox.h"
#include "resources/NHelper.h"
#include "script/NParser.h"
#include "script/Parser.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <random>
#include <set>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace testsupport;

namespace
{
const char* const kScript = "bg red.png\n"
                            "cg hero blue.png 10 20 2\n"
                            "rotate hero 30\n"
                            "zoom hero 150\n"
                            "textbox box 10 150 5 300 80 f.ttf 20\n"
                            "useTextbox box\n"
                            "textSpeed 0\n"
                            "textColour 200 100 50\n"
                            "textAutoWait on\n"
                            "keyTrigger a textProgress 1\n"
                            "text ^label 200 100 9 f.ttf 20 noCamera 'Menu'\n"
                            "button ^save red.png 250 0 9 noCamera saveslot 1\n"
                            "button ^load red.png 250 40 9 noCamera loadslot 1\n"
                            "\"Hello there\n"
                            "\"Second line\n";

class SaveSlotTest : public WindowFixture
{
protected:
    void SetUp() override
    {
        WindowFixture::SetUp();
        MakeImage("red.png", 64, 32, sf::Color(220, 30, 30));
        MakeImage("blue.png", 40, 40, sf::Color(30, 30, 210));
        MakeFont("f.ttf");
        WriteFile(*m_novel / "Scripts/main.txt", kScript);
        WriteFile(*m_novel / "Scripts/box.txt", "cg boxpic blue.png 0 0 8\nwait msgboxSelect\n");
        sysVars().MsgboxScript = L"box.txt";
        Play(zel::NHelper::s2ws(kScript));
        sysVars().variables[L"empty"] = L"";
        sysVars().variables[L"n"] = L"7";
    }

    static void Step()
    {
        zel::Services::UpdateEngine(true, true);
    }
    std::shared_ptr<zel::NButton> Button(const std::wstring& name)
    {
        return std::dynamic_pointer_cast<zel::NButton>(entities().Find(name));
    }
    static std::string Base(int slot) { return zel::NHelper::ws2s(zel::Services::SlotBase(slot)); }
    static bool SlotFiles(int slot)
    {
        return std::filesystem::exists(Base(slot) + ".xml") && std::filesystem::exists(Base(slot) + ".png");
    }

    /// Everything a load must give back, as text: parsers, entities with their looks, camera, text settings,
    /// triggers and variables.
    std::string Describe()
    {
        std::ostringstream text;
        for (const auto& parser : zel::Services::pNParser->m_parserDeque)
            text << "parser " << zel::NHelper::ws2s(parser->scriptName) << " line=" << parser->readlineno
                 << " kind=" << int(parser->parserKind) << " state=" << int(parser->m_ParserState)
                 << " textMode=" << parser->TextMode() << "\n";
        for (auto& [layer, list] : entities().entityLayers)
            for (const auto& entity : list)
            {
                text << layer << " " << zel::NHelper::ws2s(entity->name) << " type=" << int(entity->nType)
                     << " camera=" << entity->inCamera();
                const sf::Transformable* look = entity->nType == zel::NTYPE_TEXTBOX
                                                    ? static_cast<zel::NTextbox&>(*entity).getCurrentText()
                                                    : static_cast<sf::Transformable*>(entity->getCurrentSprite());
                if (look != nullptr)
                    text << " at=" << look->getPosition().x << "," << look->getPosition().y
                         << " turn=" << look->getRotation() << " scale=" << look->getScale().x
                         << " origin=" << look->getOrigin().x << "," << look->getOrigin().y;
                const sf::Color colour = entity->getColor();
                text << " colour=" << int(colour.r) << "," << int(colour.g) << "," << int(colour.b) << ","
                     << int(colour.a) << " shown='" << zel::NHelper::ws2s(entity->shownText()) << "'\n";
            }
        text << "text box=" << zel::NHelper::ws2s(sysVars().curUseTextareaName.get(true))
             << " autoWait=" << sysVars().textAutoWait.get(true) << "\n";
        for (const auto& [key, trigger] : sysVars().keyTriggers)
            text << "key " << key << " " << zel::NHelper::ws2s(trigger.trigger_function) << "\n";
        for (const auto& [name, value] : sysVars().variables)
            text << "var " << zel::NHelper::ws2s(name) << "='" << zel::NHelper::ws2s(value) << "'\n";
        return text.str();
    }
};
} // namespace

TEST_F(SaveSlotTest, ALoadGivesBackTheSavedNovelAndItsThumbnailAndReadingGoesOnFromTheSameLine)
{
    Button(L"^save")->Click(L"left.click");
    Step();
    ASSERT_TRUE(SlotFiles(1)) << LogText();
    EXPECT_TRUE(Button(L"^load")->slotOccupied()) << "a load button of the slot shows the new save at once";
    for (const char* menu : {"^save", "^load", "^label"})
        EXPECT_NE(LogText().find(std::string("NOT SAVING IN SS: ") + menu), std::string::npos) << menu;
    const std::string saved = Describe();
    sf::Image thumbnail;
    ASSERT_TRUE(thumbnail.loadFromFile(Base(1) + ".png"));

    // Play on: the next line, another variable, the hero moved.
    sysVars().variables[L"n"] = L"8";
    zel::CmdHandlers::ExecuteMove({L"move", L"hero", L"100", L"100"}, false);
    zel::MainParser()->m_ParserState = zel::PARSE_CONT;
    zel::MainParser()->ReadScript(-1);
    ASSERT_NE(Describe(), saved);

    ASSERT_TRUE(zel::Services::loadSaveData(zel::Services::SlotBase(1))) << LogText();
    EXPECT_EQ(Describe(), saved);
    ASSERT_TRUE(zel::Services::SaveScreenshot(L"SaveData/after"));
    sf::Image after;
    ASSERT_TRUE(after.loadFromFile("SaveData/after.png"));
    EXPECT_EQ(DifferingPixels(after, thumbnail), 0) << "the loaded scene looks as the thumbnail";

    zel::MainParser()->m_ParserState = zel::PARSE_CONT;
    zel::MainParser()->ReadScript(-1);
    EXPECT_EQ(entities().Find(L"box")->shownText(), L"Second line");
}

TEST_F(SaveSlotTest, ADamagedSlotFileIsRefusedWithItsMessageAndChangesNothing)
{
    ASSERT_TRUE(zel::Services::saveSaveData(zel::Services::SlotBase(2)));
    const std::string good = ReadFile(Base(2) + ".xml");
    auto replace = [&good](const std::string& from, const std::string& to) {
        std::string xml = good;
        const std::size_t at = xml.find(from);
        return at == std::string::npos ? std::string("from not found: ") + from : xml.replace(at, from.size(), to);
    };
    const struct
    {
        std::string xml;
        const char* message;
    } cases[] = {
        {good.substr(0, good.size() / 2), "not well-formed XML"},
        {"\x01\x02 garbage", "not well-formed XML"},
        {"", "No document element found"},
        {replace("scriptname=\"main.txt\"", "scriptname=\"gone.txt\""), "the script Scripts/gone.txt cannot be read"},
        {replace("scriptname=\"main.txt\"", "scriptname=\"../main.txt\""), "leaves its data folder"},
        {replace("readlineno=\"14\"", "readlineno=\"14x\""), "attribute \"readlineno\" is missing or invalid"},
        {replace("script_type=\"1\"", "script_type=\"2\""), "the first parser, and only it"},
        {replace("parser_state=\"2\"", "parser_state=\"9\""), "\"parser_state\" is missing or invalid"},
        {replace("imageFileName=\"blue.png\"", "imageFileName=\"../../etc/passwd\""), "leaves its data folder"},
        {replace("rotation=\"30\"", "rotation=\"nan\""), "entity \"hero\": attribute \"rotation\""},
        {replace("fontSize=\"20\"", "fontSize=\"0\""), "\"fontSize\" is missing or invalid"},
        {replace("textColour=\"200 100 50\"", "textColour=\"200 100\""), "\"textColour\" is missing or invalid"},
        {replace("slotNumber=\"1\"", "slotNumber=\"-1\""), "\"slotNumber\" is missing or invalid"},
        {replace("<Variables>", "<Variables><var var_val=\"x\" />"), "a var without"},
    };
    const std::string before = Describe();
    for (const auto& c : cases)
    {
        WriteFile(Base(2) + ".xml", c.xml);
        const std::size_t mark = LogText().size();
        EXPECT_FALSE(zel::Services::loadSaveData(zel::Services::SlotBase(2))) << c.message;
        const std::string log = LogText().substr(mark);
        EXPECT_NE(log.find("ERROR. (Services::loadSaveData) file:SaveData/saveslot2.xml is refused: "),
                  std::string::npos)
            << log;
        EXPECT_NE(log.find(c.message), std::string::npos) << log;
        EXPECT_EQ(Describe(), before) << c.message;
    }
    // A file of an earlier version without the text colour still loads.
    WriteFile(Base(2) + ".xml", replace(" textColour=\"200 100 50\"", ""));
    EXPECT_TRUE(zel::Services::loadSaveData(zel::Services::SlotBase(2))) << LogText();
    EXPECT_EQ(Describe(), before) << "the colour comes from the common r, g, b then";
}

TEST_F(SaveSlotTest, AnOpenMessageBoxAndSoundsStayOutOfTheSave)
{
    ASSERT_TRUE(zel::CmdHandlers::ExecuteMessageBox({L"Msg_userDefined"}));
    ASSERT_TRUE(zel::Services::saveSaveData(zel::Services::SlotBase(3)));
    const std::string xml = ReadFile(Base(3) + ".xml");
    EXPECT_EQ(xml.find("box.txt"), std::string::npos) << xml;
    EXPECT_EQ(xml.find("boxpic"), std::string::npos) << xml;
    EXPECT_NE(LogText().find("SKIPPING ENTITIY SAVE. name:boxpic"), std::string::npos);

    // A sound effect is listed with its common attributes only, and logged when loaded.
    std::string withSound = xml;
    withSound.insert(withSound.find("</layer>"), "<entity nType=\"6\" name=\"bell\" incamera=\"true\" />");
    WriteFile(Base(3) + ".xml", withSound);
    ASSERT_TRUE(zel::Services::loadSaveData(zel::Services::SlotBase(3)));
    EXPECT_NE(LogText().find("ERROR: (Services::loadSaveData) ntype:6 not loaded"), std::string::npos);
    EXPECT_EQ(sysVars().variables[L"empty"], L"") << "an empty value loads as empty";
}

TEST_F(SaveSlotTest, SlotButtonsAskBeforeTheyOverwriteDeleteOrLoad)
{
    const auto answerYes = [this](const wchar_t* kind) {
        ASSERT_EQ(sysVars().currentMsgboxKind, kind);
        sysVars().variables[kind] = L"1";
        zel::Services::pNParser->Pop(); // the box's script ends after its answer
        Step(); // the answer clicks the button again
        Step(); // which does its job now
    };
    Button(L"^save")->Click(L"left.click");
    Step();
    ASSERT_TRUE(SlotFiles(1));
    EXPECT_TRUE(sysVars().currentMsgboxKind.empty()) << "an empty slot is saved into without asking";

    sysVars().variables[L"n"] = L"9";
    Button(L"^save")->Click(L"left.click");
    Step();
    EXPECT_EQ(ReadFile(Base(1) + ".xml").find("var_val=\"9\""), std::string::npos) << "not before the answer";
    answerYes(L"Msg_saveOverwrite");
    EXPECT_NE(ReadFile(Base(1) + ".xml").find("var_val=\"9\""), std::string::npos);

    sysVars().variables[L"n"] = L"10";
    Button(L"^load")->Click(L"left.click");
    Step();
    EXPECT_EQ(sysVars().variables[L"n"], L"10") << "not before the answer";
    answerYes(L"Msg_loadConfirm");
    EXPECT_EQ(sysVars().variables[L"n"], L"9");

    Button(L"^save")->Click(L"right.click");
    Step();
    EXPECT_TRUE(SlotFiles(1)) << "not before the answer";
    answerYes(L"Msg_saveDelete");
    EXPECT_FALSE(SlotFiles(1));
    EXPECT_FALSE(Button(L"^save")->slotOccupied());
    EXPECT_FALSE(Button(L"^load")->slotOccupied());
    EXPECT_NE(LogText().find("saveslot 1 DELETE COMPLETE"), std::string::npos);
}

// The engine of the next test: saves into the slot of the novel folder it is given, over and over, until killed.
TEST_F(SaveSlotTest, SavesOverAndOverWhenAskedTo)
{
    const char* folder = std::getenv("QUILLHAVEN_SAVE_LOOP_NOVEL");
    if (folder == nullptr)
        GTEST_SKIP() << "run by the kill test only";
    ASSERT_EQ(chdir(folder), 0);
    for (int i = 0; i < 50; ++i)
    {
        sysVars().variables[L"n"] = zel::NHelper::ToDecimal(i);
        ASSERT_TRUE(zel::Services::SaveScreenshot(zel::Services::SlotBase(1)));
        ASSERT_TRUE(zel::Services::saveSaveData(zel::Services::SlotBase(1)));
    }
}

TEST_F(SaveSlotTest, AKillDuringSavesLeavesTheOldSlotOrTheNewOneNeverADamagedOne)
{
    ASSERT_TRUE(zel::Services::SaveScreenshot(zel::Services::SlotBase(1)));
    ASSERT_TRUE(zel::Services::saveSaveData(zel::Services::SlotBase(1)));
    std::mt19937 random(20261210u);
    std::set<std::wstring> loaded; // which of the saves each round left behind
    for (int round = 0; round < 12; ++round)
    {
        const std::string filter = "--gtest_filter=SaveSlotTest.SavesOverAndOverWhenAskedTo";
        const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0)
        {
            setenv("QUILLHAVEN_SAVE_LOOP_NOVEL", m_novel->path().c_str(), 1);
            const int quiet = open("/dev/null", O_WRONLY);
            dup2(quiet, 1);
            execl(self.c_str(), self.c_str(), filter.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        // The child needs about half a second to start; then it saves for a while.
        std::this_thread::sleep_for(std::chrono::milliseconds(std::uniform_int_distribution<int>(300, 1500)(random)));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);

        const std::size_t mark = LogText().size();
        EXPECT_TRUE(zel::Services::loadSaveData(zel::Services::SlotBase(1)))
            << "round " << round << ": " << LogText().substr(mark);
        sf::Image thumbnail;
        EXPECT_TRUE(thumbnail.loadFromFile(Base(1) + ".png")) << "round " << round;
        EXPECT_EQ(thumbnail.getSize(), sf::Vector2u(320, 240)) << "round " << round;
        loaded.insert(sysVars().variables[L"n"]);
    }
    EXPECT_GE(loaded.size(), 4u) << "the kills came before the engine saved at all";
    std::size_t leftovers = 0;
    for (const auto& entry : std::filesystem::directory_iterator("SaveData"))
        leftovers += entry.path().filename().string().front() == '.';
    std::printf("kill rounds: %zu different saves loaded, %zu writes cut off\n", loaded.size(), leftovers);
}
