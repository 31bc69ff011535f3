// Config.xml: what is read, what a missing or bare file gives.

#include "core/Config.h"
#include "TestSupport.h"
#include "core/NovelState.h"

#include <gtest/gtest.h>

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
