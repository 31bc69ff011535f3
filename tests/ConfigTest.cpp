// Config.xml: what is read, what a missing or bare file gives.

#include "core/Config.h"
#include "TestSupport.h"
#include "core/NovelState.h"
#include "core/Services.h"
#include "entities/NMusic.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <memory>

using namespace testsupport;

namespace
{
/// Reads Config.xml in dir in a fresh process, starting from start; 0 when it loaded and check holds.
int LoadAllInChild(const TempDir& dir, zel::SystemVariables start, bool (*check)(const zel::SystemVariables&))
{
    return RunInChild(dir.path(), [&] {
        zel::SystemVariables sysVars = start;
        if (!zel::Config::LoadAll(sysVars))
            return 1;
        return check(sysVars) ? 0 : 2;
    });
}
} // namespace

TEST(ConfigTest, ReadsEverySettingFromItsSection)
{
    TempDir dir;
    WriteFile(dir / "Config.xml", ConfigXml("box.txt"));
    EXPECT_EQ(LoadAllInChild(dir, zel::SystemVariables(),
                             [](const zel::SystemVariables& sysVars) {
                                 return sysVars.MsgboxScript == L"box.txt" && sysVars.sysBgmVolume == 80 &&
                                        sysVars.sysTextSpeed == 40 && sysVars.sysAutoWait == 1500 &&
                                        sysVars.sysMasterVolume == 100;
                             }),
              0);
}

TEST(ConfigTest, BareRootGivesZerosAndRootAttributesAreIgnored)
{
    TempDir dir;
    WriteFile(dir / "Config.xml", "<Harborstage sysBgmVolume=\"55\" MsgboxScript=\"x\"/>");
    zel::SystemVariables start;
    start.MsgboxScript = L"before";
    EXPECT_EQ(LoadAllInChild(dir, start,
                             [](const zel::SystemVariables& sysVars) {
                                 return sysVars.MsgboxScript.empty() && sysVars.sysWaitInputIcon.empty() &&
                                        sysVars.sysBgmVolume == 0 && sysVars.sysMasterVolume == 0 &&
                                        sysVars.sysAutoWait == 0;
                             }),
              0);
}

TEST(ConfigTest, MissingFileLeavesValuesAndTellsTheUser)
{
    TempDir dir;
    EXPECT_EQ(RunInChild(dir.path(),
                         [] {
                             zel::SystemVariables sysVars;
                             sysVars.MsgboxScript = L"kept";
                             const bool loaded = zel::Config::LoadScriptAndIcon(sysVars);
                             return !loaded && sysVars.MsgboxScript == L"kept" && sysVars.sysBgmVolume == 100 ? 0 : 1;
                         }),
              0);
    EXPECT_NE(ReadFile(dir / "debug.txt").find("Config.xml file not found. cur-directory:"), std::string::npos);
}

TEST(ConfigTest, PartialReadTakesOnlyTheScriptAndTheIconAndNumbersAreDecimal)
{
    TempDir dir;
    WriteFile(dir / "Config.xml",
              "<Harborstage><Settings MsgboxScript=\"box.txt\"/>"
              "<GameSettings sysWaitInputIcon=\"icon.png\" sysBgmVolume=\"80\" sysAutoWait=\"0x10\"/>"
              "</Harborstage>");
    EXPECT_EQ(RunInChild(dir.path(),
                         [] {
                             zel::SystemVariables sysVars;
                             sysVars.sysBgmVolume = 7;
                             if (!zel::Config::LoadScriptAndIcon(sysVars))
                                 return 1;
                             if (sysVars.MsgboxScript != L"box.txt" || sysVars.sysWaitInputIcon != L"icon.png" ||
                                 sysVars.sysBgmVolume != 7)
                                 return 2;
                             zel::Config::LoadAll(sysVars);
                             return sysVars.sysAutoWait == 0 ? 0 : 3; // "0x10" is not a decimal number
                         }),
              0);
}

TEST(ConfigTest, DamagedOrStrangeFilesAreLoggedAndKeepOnlyWholeSettings)
{
    struct Row
    {
        const char* what;
        std::string file;
        std::wstring msgboxScript;
        int master, bgm, autoWait;
        int musicVolume;    // what the bgm command then sets, master per cent of the music's setting
        const char* logged; // null: no ERROR at all
    };
    const Row rows[] = {
        {"a value cut short is not taken",
         "<Harborstage><Settings MsgboxScript=\"box.txt\"/><GameSettings sysMasterVolume=\"100\" sysBgmVolume=\"80\" "
         "sysAutoWait=\"15",
         L"box.txt", 0, 0, 0, 0, "ERROR. (Config::LoadAll) Config.xml does not parse"},
        {"a '>' inside the cut value does not end the tag",
         "<Harborstage><GameSettings sysMasterVolume=\"100\" sysBgmVolume=\"80\"/><Settings MsgboxScript=\"a>bo", L"",
         100, 80, 0, 80, "ERROR. (Config::LoadAll) Config.xml does not parse"},
        {"another root element", "<Settings MsgboxScript=\"x\"/>", L"", 0, 0, 0, 0,
         "ERROR. (Config::LoadAll) Config.xml has no Harborstage element"},
        {"an empty file", "", L"", 0, 0, 0, 0, "ERROR. (Config::LoadAll) Config.xml does not parse"},
        {"quotes and '>' in a whole file",
         "<Harborstage><Settings MsgboxScript='a>\"b\".txt'/><GameSettings sysMasterVolume=\"50\" sysBgmVolume=\"80\" "
         "sysAutoWait=\"1500\"/></Harborstage>",
         L"a>\"b\".txt", 50, 80, 1500, 40, nullptr},
        {"volumes beyond int multiply without overflow",
         "<Harborstage><GameSettings sysMasterVolume=\"99999999999\" sysBgmVolume=\"-99999999999\" "
         "sysAutoWait=\"1500\"/></Harborstage>",
         L"", INT_MAX, INT_MIN, 1500, 0, nullptr},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.what);
        TempDir dir;
        WriteFile(dir / "Config.xml", row.file);
        const int code = RunInChild(dir.path(), [&row] {
            auto state = std::make_shared<zel::NovelState>();
            zel::Services::m_NovelStates.push_back(state);
            zel::SystemVariables& sysVars = state->sysVars;
            if (!zel::Config::LoadAll(sysVars))
                return 1;
            if (sysVars.MsgboxScript != row.msgboxScript || sysVars.sysMasterVolume != row.master ||
                sysVars.sysBgmVolume != row.bgm || sysVars.sysAutoWait != row.autoWait)
                return 2;
            int slider = -1;
            if (!zel::Config::ReadSetting(*zel::Config::SliderBinding(L"autoWait", sysVars), slider) ||
                slider != row.autoWait)
                return 3;
            zel::NMusic music(L"sysBGM", 0);
            music.setVolume(sysVars.sysBgmVolume, false);
            return std::abs(music.musicVolume() - row.musicVolume) <= 1 ? 0 : 4; // a gain of 0.8 reads as 79.99
        });
        EXPECT_EQ(code, 0);
        const std::string log = ReadFile(dir / "debug.txt");
        if (row.logged != nullptr)
            EXPECT_NE(log.find(row.logged), std::string::npos) << log;
        else
            EXPECT_EQ(log.find("ERROR"), std::string::npos) << log;
    }
}
