// The registry: novel-state copies for play-testing, removal of entities when the editor moves back, the parser
// stack, the accessors' checks, and building the first state from a novel folder.

#include "CoreFixture.h"
#include "entities/NBacklog.h"
#include "entities/NCamera.h"
#include "entities/NSprite.h"

#include <physfs.h>

using namespace testsupport;
using zel::Services;

class ServicesTest : public CoreFixture
{
};

TEST_F(ServicesTest, PlayTestCopySharesEntitiesButNotTheRegistry)
{
    SetMainLine(3);
    auto kept = AddEntity(L"kept", 3);
    sysVars().variables[L"score"] = L"1";

    Services::PushNovelStateCopy();
    ASSERT_EQ(Services::m_NovelStates.size(), 2u);
    EXPECT_EQ(entities().Find(L"kept"), kept) << "the copy holds the same entity object";
    AddEntity(L"new-in-play", 4);
    entities().m_nameReferences.erase(L"kept");
    entities().entityLayers[0].clear();
    sysVars().variables[L"score"] = L"99";

    Services::RevertNovelState();
    ASSERT_EQ(Services::m_NovelStates.size(), 1u);
    EXPECT_EQ(entities().Find(L"kept"), kept);
    EXPECT_EQ(entities().Find(L"new-in-play"), nullptr);
    EXPECT_EQ(entities().entityLayers[0].size(), 1u);
    EXPECT_EQ(sysVars().variables[L"score"], L"1");

    Services::RevertNovelState();
    EXPECT_EQ(Services::m_NovelStates.size(), 1u) << "the first state always stays";
}

TEST_F(ServicesTest, RemoveEntitiesFromLineForgetsWhatLinesFromThereCreated)
{
    SetMainLine(10);
    auto atTen = AddEntity(L"ten", 10);
    SetMainLine(4);
    auto atFour = AddEntity(L"four", 4);

    Services::RemoveEntitiesFromLine(11);
    EXPECT_EQ(entities().Find(L"ten"), atTen) << "line 11 keeps what line 10 made";
    Services::RemoveEntitiesFromLine(10);
    EXPECT_EQ(entities().Find(L"ten"), nullptr);
    EXPECT_EQ(entities().Find(L"four"), atFour);
    EXPECT_EQ(entities().CountInLayers(), 1u);
    EXPECT_EQ(mainParser().readlineno, 10) << "the main parser is left at the target line";

    SetMainLine(5);
    EXPECT_TRUE(entities().InsNovelEntity(std::make_shared<LineEntity>(L"ten", 5), 0, L"ten"))
        << "a removed entity's name is free again";
}

TEST_F(ServicesTest, EntitiesWithoutALineAreAlwaysRemovedWithAWarning)
{
    SetPlaying(true); // created while playing: in no line list
    AddEntity(L"lineless", -1);
    SetPlaying(false);
    Services::RemoveEntitiesFromLine(100);
    EXPECT_EQ(entities().CountInLayers(), 0u);
    EXPECT_EQ(entities().Find(L"lineless"), nullptr);
    EXPECT_NE(LogText().find("WARNING: (RemoveEntitiesFromLine) createdLine == -1. name:'lineless'. removing"),
              std::string::npos);
}

TEST_F(ServicesTest, RemoveEntitiesFromLineTrimsTheLineVersionedSettings)
{
    SetMainLine(2);
    sysVars().clearColour.set(sf::Color::Red, false);
    sysVars().curUseTextareaName.set(L"early", false);
    SetMainLine(8);
    sysVars().clearColour.set(sf::Color::Blue, false);
    sysVars().curUseTextareaName.set(L"late", false);
    Services::RemoveEntitiesFromLine(8);
    EXPECT_EQ(sysVars().clearColour.get(false), sf::Color::Red);
    EXPECT_EQ(sysVars().curUseTextareaName.get(false), L"early");
}

TEST_F(ServicesTest, DuplicateNamesRegisterNothing)
{
    SetMainLine(1);
    AddEntity(L"hero", 1);
    auto second = std::make_shared<LineEntity>(L"hero", 2);
    EXPECT_FALSE(entities().InsNovelEntity(second, 3, L"hero"));
    EXPECT_EQ(entities().CountInLayers(), 1u);
    EXPECT_EQ(entities().entityLayers.count(3), 0u);
    EXPECT_NE(LogText().find("ERROR. (InsNovelEntity) name:hero already exists at line:1"), std::string::npos);
}

TEST_F(ServicesTest, ParserStackOperations)
{
    zel::NParser& stack = *Services::NParser();
    stack.KeepMain();
    EXPECT_EQ(stack.m_parserDeque.size(), 1u) << "keep-main with one parser does nothing";
    stack.Push(std::make_shared<zel::Parser>(L"sub.txt", L"", zel::PARSER_SCRIPT));
    stack.Push(std::make_shared<zel::Parser>(L"box.txt", L"", zel::PARSER_MSGBOX));
    EXPECT_EQ(stack.Current()->stackIndex, 2);
    EXPECT_EQ(zel::CurParser()->scriptName, L"box.txt");
    EXPECT_EQ(zel::MainParser()->scriptName, L"main.txt");
    EXPECT_EQ(stack.IndexOfScript(L"sub.txt"), 1);
    EXPECT_FALSE(stack.ContainsScript(L"other.txt"));
    stack.FinishPushed();
    EXPECT_EQ(stack.m_parserDeque[1]->m_ParserState, zel::PARSE_SCRIPT_FIN);
    EXPECT_NE(stack.m_parserDeque[0]->m_ParserState, zel::PARSE_SCRIPT_FIN);
    stack.KeepMain();
    EXPECT_EQ(stack.m_parserDeque.size(), 1u);
    stack.ResetTo(std::make_shared<zel::Parser>(L"other.txt", L"", zel::PARSER_MAIN));
    EXPECT_EQ(zel::MainParser()->scriptName, L"other.txt");
    EXPECT_EQ(zel::MainParser()->stackIndex, 0);
}

TEST(ServicesAccessTest, MissingRegistryObjectsAreCaughtByTheAccessors)
{
    ASSERT_TRUE(Services::m_NovelStates.empty());
    EXPECT_EQ(Services::SysVars(), nullptr) << "system variables are simply absent before the first state";
#ifdef QUILLHAVEN_FATAL_ASSERTS
    EXPECT_DEATH(Services::Entities(), "m_NovelStates.empty\\(\\) == false");
    EXPECT_DEATH(Services::NParser(), "pNParser != nullptr");
#else
    EXPECT_EQ(Services::Entities(), nullptr);
    EXPECT_EQ(Services::NParser(), nullptr);
    EXPECT_EQ(zel::CurParser(), nullptr);
    auto& logger = zel::NHelper::concurrentLogger::Instance();
    logger.Flush();
    const std::string log = ReadFile(logger.Path());
    EXPECT_TRUE(ContainsInOrder(log, {"ERROR. ASSERTION FAILED: m_NovelStates.empty() == false (Services, line 324)",
                                      "ERROR. ASSERTION FAILED: pNParser != nullptr (Services, line 334)",
                                      "ERROR. ASSERTION FAILED: pNParser != nullptr (Services, line 341)"}));
#endif
}

namespace
{
/// Builds the first novel state in the current folder, as an editor start does; returns 0 when it checks out.
int InitAndCheck(bool expectConfig)
{
    Services::pNParser =
        std::make_unique<zel::NParser>(std::make_shared<zel::Parser>(L"main.txt", L"", zel::PARSER_MAIN));
    Services::InitNovelState(false);
    const zel::SystemVariables* sysVars = Services::SysVars();
    const zel::EntityRegistry* entities = Services::Entities();
    if (sysVars == nullptr || entities == nullptr || Services::pNCommands == nullptr || !PHYSFS_isInit())
        return 10;
    // The fixed entities exist with or without Config.xml; without it only the settings keep their defaults.
    if (entities->pCamera == nullptr || entities->pBacklog == nullptr || entities->pWaitIcon == nullptr)
        return 13;
    if (!expectConfig)
        return sysVars->sysBgmVolume == 100 && sysVars->sysTextSpeed == 0 ? 0 : 11;
    if (sysVars->sysBgmVolume != 80 || sysVars->sysTextSpeed != 40 || sysVars->MsgboxScript != L"box.txt")
        return 12;
    if (entities->pWaitIcon->nType != zel::NTYPE_WAITICON || entities->pWaitIcon->getLayer() != -1)
        return 14;
    if (sysVars->variables.count(L"*seen") == 0 || sysVars->variables.at(L"*seen") != L"ja")
        return 15;
    return PHYSFS_exists("Scripts/only-in-folder.txt") ? 0 : 16;
}
} // namespace

TEST(InitNovelStateTest, BuildsTheFirstStateFromTheNovelFolder)
{
    TempDir dir;
    WriteFile(dir / "Config.xml", ConfigXml("box.txt"));
    WriteFile(dir / "SaveData/global0.xml",
              "<GlobalVars><v var_name=\"*seen\" var_val=\"ja\"/><v var_name=\"count\" var_val=\"3\"/></GlobalVars>");
    WriteFile(dir / "Scripts/only-in-folder.txt", "x\n");
    EXPECT_EQ(RunInChild(dir.path(), [] { return InitAndCheck(true); }), 0);
    const std::string log = ReadFile(dir / "debug.txt");
    EXPECT_TRUE(ContainsInOrder(log, {"[InitNovelState] PHYSFS_init COMPLETE",
                                      "[AddPathToPhysfs] ERROR! path:" + dir.path() + "/Fonts.vndat",
                                      "(Services::InitNovelState) sysWaitInputIcon: sysBgmVolume:80 sysTextSpeed:40"}))
        << log;
}

TEST(InitNovelStateTest, WithoutConfigTheUserIsToldAndTheFixedEntitiesExistAllTheSame)
{
    TempDir dir;
    EXPECT_EQ(RunInChild(dir.path(), [] { return InitAndCheck(false); }), 0);
    EXPECT_NE(ReadFile(dir / "debug.txt").find("Config.xml file not found. cur-directory:" + dir.path()),
              std::string::npos);
}
