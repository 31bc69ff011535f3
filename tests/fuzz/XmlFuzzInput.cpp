#include "XmlFuzzInput.h"

#include "core/Config.h"
#include "core/NovelState.h"
#include "core/Services.h"
#include "entities/NBacklog.h"
#include "entities/NCamera.h"
#include "entities/NMusic.h"
#include "resources/GlobalVariables.h"
#include "script/NParser.h"
#include "script/NovelCommands.h"
#include "script/Parser.h"

#include <physfs.h>

#include <pugixml.hpp>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>

namespace xmlfuzz
{
namespace
{
/// Longer inputs are cut here, so that one input's work stays bounded whatever the fuzzer is told.
constexpr std::size_t kMaxFileBytes = 64 * 1024;

bool g_logging = true;

/// Ends the run as a finding: a loader lost or changed what it must keep.
[[noreturn]] void Fail(const char* what)
{
    std::fprintf(stderr, "xml fuzz: %s\n", what);
    std::abort();
}

/// One novel state, as the engine has after start-up (without a window); built again only when something outside
/// the fuzzed calls took it down.
zel::SystemVariables& EnsureRegistry()
{
    if (zel::Services::m_NovelStates.empty())
        zel::Services::m_NovelStates.push_back(std::make_shared<zel::NovelState>());
    return zel::Services::m_NovelStates.back()->sysVars;
}

void WriteBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!file)
        Fail("could not write the input's file into the current folder");
}

/// Everything Config.xml sets.
struct Settings
{
    std::wstring msgboxScript, waitIcon;
    int master = 0, bgm = 0, sfx = 0, voice = 0, textSpeed = 0, autoSpeed = 0, autoWait = 0;

    explicit Settings(const zel::SystemVariables& s)
        : msgboxScript(s.MsgboxScript), waitIcon(s.sysWaitInputIcon), master(s.sysMasterVolume), bgm(s.sysBgmVolume),
          sfx(s.sysSfxVolume), voice(s.sysVoiceVolume), textSpeed(s.sysTextSpeed), autoSpeed(s.sysAutoSpeed),
          autoWait(s.sysAutoWait)
    {
    }
    bool operator==(const Settings& o) const
    {
        return msgboxScript == o.msgboxScript && waitIcon == o.waitIcon && master == o.master && bgm == o.bgm &&
               sfx == o.sfx && voice == o.voice && textSpeed == o.textSpeed && autoSpeed == o.autoSpeed &&
               autoWait == o.autoWait;
    }
};

/// The music entity the bgm command makes, kept between inputs as the engine keeps it between lines.
zel::NMusic& Music()
{
    static const std::unique_ptr<zel::NMusic> music = std::make_unique<zel::NMusic>(L"sysBGM", 0);
    return *music;
}

void PlayConfig(const std::string& bytes, zel::SystemVariables& sysVars)
{
    WriteBytes("Config.xml", bytes);
    if (!zel::Config::LoadAll(sysVars))
        Fail("Config::LoadAll found no Config.xml");
    zel::Config::LoadScriptAndIcon(sysVars);
    // As the sliders read their settings every frame, and as the bgm command sets the music's volume.
    for (const wchar_t* slider : {L"master_vol", L"textSpeed", L"autoSpeed", L"autoWait"})
    {
        int value = 0;
        if (const zel::SliderSetting* setting = zel::Config::SliderBinding(slider, sysVars))
            zel::Config::ReadSetting(*setting, value);
    }
    Music().setVolume(sysVars.sysBgmVolume, false);

    // A slider's write keeps every other setting of a file that parses.
    pugi::xml_document document;
    if (!document.load_buffer(bytes.data(), bytes.size()))
        return;
    Settings expected(sysVars);
    expected.textSpeed = expected.textSpeed == 37 ? 38 : 37;
    if (!zel::Config::WriteSetting(*zel::Config::SliderBinding(L"textSpeed", sysVars), expected.textSpeed))
        Fail("Config::WriteSetting failed on a file that parses");
    if (!zel::Config::LoadAll(sysVars))
        Fail("Config.xml is gone after Config::WriteSetting");
    if (!(Settings(sysVars) == expected))
        Fail("a slider's write changed another setting of Config.xml");
}

std::map<std::wstring, std::wstring> Persistent(const std::map<std::wstring, std::wstring>& variables)
{
    std::map<std::wstring, std::wstring> kept;
    for (const auto& [name, value] : variables)
        if (zel::IsPersistentVariable(name))
            kept.emplace(name, value);
    return kept;
}

/// A fresh save folder holding only the input's file.
void FreshSaveFolder(const std::string& file, const std::string& bytes)
{
    std::error_code error;
    std::filesystem::remove_all("SaveData", error);
    std::filesystem::create_directories("SaveData", error);
    WriteBytes("SaveData/" + file, bytes);
}

void PlayGlobalVars(const std::string& bytes, zel::SystemVariables& sysVars)
{
    FreshSaveFolder("global0.xml", bytes);
    sysVars.saveFolder = L"SaveData/";
    sysVars.variables.clear();
    zel::LoadGlobalVariables(sysVars);
    const auto read = Persistent(sysVars.variables);
    // A change to a persistent variable writes the file anew; the next start reads back what was written.
    if (!zel::SaveGlobalVariables(sysVars))
        Fail("SaveGlobalVariables failed in a writable folder");
    sysVars.variables.clear();
    zel::LoadGlobalVariables(sysVars);
    const auto reread = Persistent(sysVars.variables);
    sysVars.variables.clear();
    if (reread != read)
        Fail("the persistent variables read back differ from those written");
}

/// The save slot: the input is written where the engine finds slot 1, and nothing reads it yet.
/// What loading a slot needs around it, as a playing engine has it: the fixed entities, the command words, the
/// parser stack, and a main script the file can name, read through the virtual file system.
void PrepareForLoad(zel::SystemVariables& sysVars)
{
    static bool mounted = false;
    if (!mounted)
    {
        if (PHYSFS_isInit() == 0)
            PHYSFS_init(nullptr);
        PHYSFS_mount(std::filesystem::current_path().c_str(), nullptr, 1);
        mounted = true;
    }
    std::error_code error;
    std::filesystem::create_directories("Scripts", error);
    WriteBytes("Scripts/main.txt", "bg red.png\n\"Hello\n");
    zel::EntityRegistry& entities = zel::Services::m_NovelStates.back()->entities;
    if (entities.pCamera == nullptr)
        entities.pCamera = std::make_shared<zel::NCamera>();
    if (entities.pBacklog == nullptr)
        entities.pBacklog = std::make_shared<zel::NBacklog>();
    if (zel::Services::pNCommands == nullptr)
        zel::Services::pNCommands = std::make_unique<zel::NovelCommands>();
    if (zel::Services::pNParser == nullptr)
        zel::Services::pNParser =
            std::make_unique<zel::NParser>(std::make_shared<zel::Parser>(L"main.txt", L"", zel::PARSER_MAIN));
    sysVars.gameMode = 1;
}

/// A slot file as the reader's load reads it: refused whole (logged) or loaded; either way nothing may crash.
void PlaySaveSlot(const std::string& bytes, zel::SystemVariables& sysVars)
{
    FreshSaveFolder("saveslot1.xml", bytes);
    sysVars.saveFolder = L"SaveData/";
    PrepareForLoad(sysVars);
    zel::Services::loadSaveData(L"SaveData/saveslot1");
}
} // namespace

void SetXmlFuzzLogging(bool enabled)
{
    g_logging = enabled;
}

void RunXmlFuzzInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return;
    zel::SystemVariables& sysVars = EnsureRegistry();
    sysVars.loggingEnabled = g_logging;
    const auto kind = static_cast<XmlKind>(data[0] % 3);
    const std::string bytes(reinterpret_cast<const char*>(data + 1), std::min(size - 1, kMaxFileBytes));
    switch (kind)
    {
    case XmlKind::Config:
        PlayConfig(bytes, sysVars);
        break;
    case XmlKind::GlobalVars:
        PlayGlobalVars(bytes, sysVars);
        break;
    case XmlKind::SaveSlot:
        PlaySaveSlot(bytes, sysVars);
        break;
    }
}

} // namespace xmlfuzz
