#include "core/Config.h"

#include "core/NovelState.h"
#include "core/Services.h"
#include "persistence/DamagedXml.h"
#include "persistence/FileReplacement.h"
#include "platform/Platform.h"
#include "resources/Logger.h"
#include "resources/NHelper.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <limits>
#include <map>
#include <string>
#include <sys/stat.h>

namespace zel
{
namespace
{
constexpr const char* kConfigFile = "Config.xml";

void ShowMissing()
{
    platform::ShowMessageBox(L"Config.xml file not found. cur-directory:" + NHelper::s2ws(platform::CurrentDirectory()),
                             L"");
}

/// Config.xml as parsed, with the bytes it was parsed from.
struct ConfigDocument
{
    std::string bytes;
    pugi::xml_document document;
    pugi::xml_parse_result result;
};

/// Parses Config.xml as it is now; a file that does not parse, or lacks the root element, is logged for who. A file
/// that cannot be read parses as empty.
void Parse(ConfigDocument& config, const wchar_t* who)
{
    std::ifstream file(kConfigFile, std::ios::binary);
    config.bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    config.result = config.document.load_buffer(config.bytes.data(), config.bytes.size());
    if (!config.result)
        OutputDebugStringN(L"\nERROR. (%s) Config.xml does not parse (%s at byte offset %i). the settings from there "
                           L"on read as 0 \n",
                           who, NHelper::s2ws(config.result.description()).c_str(),
                           static_cast<int>(config.result.offset));
    else if (!config.document.child("Harborstage"))
        OutputDebugStringN(L"\nERROR. (%s) Config.xml has no Harborstage element. every setting reads as 0 \n", who);
}

/// Loads the document; a missing file is reported to the user, a malformed one keeps what came before the damage.
bool LoadDocument(ConfigDocument& config, const wchar_t* who)
{
    if (!std::ifstream(kConfigFile).good())
    {
        ShowMissing();
        return false;
    }
    Parse(config, who);
    return true;
}

/// A section of the root ("Settings", "GameSettings"). One the damage cut into reads as missing, so that a value
/// cut short (80 for 800) is never taken for a setting.
pugi::xml_node Section(const ConfigDocument& config, const char* name)
{
    const pugi::xml_node section = config.document.child("Harborstage").child(name);
    return StartTagWhole(section, config.bytes, config.result) ? section : pugi::xml_node();
}

std::wstring ReadString(const pugi::xml_node& node, const char* attribute)
{
    return NHelper::s2ws(node.attribute(attribute).as_string());
}

/// A decimal integer; a missing or empty attribute reads as 0.
int ReadInt(const pugi::xml_node& node, const char* attribute)
{
    const long value = std::strtol(node.attribute(attribute).as_string(), nullptr, 10);
    return static_cast<int>(std::clamp<long>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

/// The "GameSettings" values as last parsed, with the file's modification time and size then; sliders read it
/// every frame. The file's identity counts too: a replacement written within one tick of the clock that stamps
/// modification times has the same time, and a slider's value often the same length.
struct SettingsCache
{
    bool parsed = false;
    bool missingTold = false;
    struct timespec modified = {};
    off_t size = -1;
    ino_t inode = 0;
    std::map<std::string, int> values;
};

SettingsCache& Cache()
{
    static SettingsCache cache;
    return cache;
}

bool SameFile(const SettingsCache& cache, const struct stat& info)
{
    return cache.parsed && cache.size == info.st_size && cache.inode == info.st_ino &&
           cache.modified.tv_sec == info.st_mtim.tv_sec && cache.modified.tv_nsec == info.st_mtim.tv_nsec;
}

void ReadInts(const pugi::xml_node& game, SettingsCache& cache)
{
    cache.values.clear();
    for (const pugi::xml_attribute& attribute : game.attributes())
        cache.values[attribute.name()] = ReadInt(game, attribute.name());
}

/// Parses Config.xml again when it changed; false when it does not exist.
bool RefreshCache(SettingsCache& cache)
{
    struct stat info = {};
    if (stat(kConfigFile, &info) != 0)
    {
        if (!cache.missingTold)
            ShowMissing();
        cache.missingTold = true;
        cache.parsed = false;
        return false;
    }
    cache.missingTold = false;
    if (SameFile(cache, info))
        return true;
    ConfigDocument config;
    Parse(config, L"Config::ReadSetting");
    ReadInts(Section(config, "GameSettings"), cache);
    cache.modified = info.st_mtim;
    cache.size = info.st_size;
    cache.inode = info.st_ino;
    cache.parsed = true;
    return true;
}

void ReadScriptAndIcon(const ConfigDocument& config, SystemVariables& sysVars)
{
    sysVars.MsgboxScript = ReadString(Section(config, "Settings"), "MsgboxScript");
    sysVars.sysWaitInputIcon = ReadString(Section(config, "GameSettings"), "sysWaitInputIcon");
}

bool SaveDocument(const pugi::xml_document& document)
{
    std::string error;
    if (ReplaceFile(
            kConfigFile,
            [&document](const std::string& path) {
                return document.save_file(path.c_str(), "\t", pugi::format_default, pugi::encoding_auto);
            },
            error))
        return true;
    OutputDebugStringN(L"\nERROR. (Config::WriteSetting) could not write Config.xml (%s). the file is unchanged \n",
                       NHelper::s2ws(error).c_str());
    return false;
}

pugi::xml_node Child(pugi::xml_node parent, const char* name)
{
    pugi::xml_node child = parent.child(name);
    return child ? child : parent.append_child(name);
}
} // namespace

const SliderSetting* Config::SliderBinding(const std::wstring& name, const SystemVariables& sysVars)
{
    static const SliderSetting master{"sysMasterVolume", &SystemVariables::sysMasterVolume, 100};
    static const SliderSetting bgm{"sysBgmVolume", &SystemVariables::sysBgmVolume, 100};
    static const SliderSetting sfx{"sysSfxVolume", &SystemVariables::sysSfxVolume, 100};
    static const SliderSetting voice{"sysVoiceVolume", &SystemVariables::sysVoiceVolume, 100};
    static const SliderSetting textSpeed{"sysTextSpeed", &SystemVariables::sysTextSpeed, 100};
    static const SliderSetting autoSpeed{"sysAutoSpeed", &SystemVariables::sysAutoSpeed, 100};
    static const SliderSetting autoWait{"sysAutoWait", &SystemVariables::sysAutoWait, 5000};
    // The script's word for a type, as the vocabulary spells it.
    const auto typeName = [&sysVars](NType type) {
        auto found = sysVars.entityTypeNames.find(type);
        if (found == sysVars.entityTypeNames.end() || Services::pNCommands == nullptr)
            return std::wstring();
        return Services::pNCommands->Word(found->second);
    };
    if (name == L"master_vol")
        return &master;
    if (name == L"textSpeed")
        return &textSpeed;
    if (name == L"autoSpeed")
        return &autoSpeed;
    if (name == L"autoWait")
        return &autoWait;
    if (name.empty())
        return nullptr;
    if (name == typeName(NTYPE_BGM))
        return &bgm;
    if (name == typeName(NTYPE_SFX))
        return &sfx;
    if (name == typeName(NTYPE_VOICE))
        return &voice;
    return nullptr;
}

bool Config::ReadSetting(const SliderSetting& setting, int& value)
{
    SettingsCache& cache = Cache();
    if (!RefreshCache(cache))
        return false;
    auto found = cache.values.find(setting.attribute);
    value = found != cache.values.end() ? found->second : 0;
    return true;
}

bool Config::WriteSetting(const SliderSetting& setting, int value)
{
    if (!std::ifstream(kConfigFile).good())
    {
        ShowMissing();
        return false;
    }
    pugi::xml_document document;
    const pugi::xml_parse_result parsed = document.load_file(kConfigFile);
    if (!parsed)
    {
        // Written back, a file the parser gave up on would lose every setting after the fault.
        OutputDebugStringN(L"\nERROR. (Config::WriteSetting) Config.xml does not parse (%s at offset %i). %s not "
                           L"written \n",
                           NHelper::s2ws(parsed.description()).c_str(), static_cast<int>(parsed.offset),
                           NHelper::s2ws(setting.attribute).c_str());
        return false;
    }
    pugi::xml_node game = Child(Child(document, "Harborstage"), "GameSettings");
    pugi::xml_attribute attribute = game.attribute(setting.attribute);
    if (!attribute)
        attribute = game.append_attribute(setting.attribute);
    attribute.set_value(value);
    return SaveDocument(document);
}

bool Config::LoadAll(SystemVariables& sysVars)
{
    ConfigDocument config;
    if (!LoadDocument(config, L"Config::LoadAll"))
        return false;
    const pugi::xml_node game = Section(config, "GameSettings");
    ReadScriptAndIcon(config, sysVars);
    sysVars.sysMasterVolume = ReadInt(game, "sysMasterVolume");
    sysVars.sysBgmVolume = ReadInt(game, "sysBgmVolume");
    sysVars.sysSfxVolume = ReadInt(game, "sysSfxVolume");
    sysVars.sysVoiceVolume = ReadInt(game, "sysVoiceVolume");
    sysVars.sysTextSpeed = ReadInt(game, "sysTextSpeed");
    sysVars.sysAutoSpeed = ReadInt(game, "sysAutoSpeed");
    sysVars.sysAutoWait = ReadInt(game, "sysAutoWait");
    return true;
}

bool Config::LoadScriptAndIcon(SystemVariables& sysVars)
{
    ConfigDocument config;
    if (!LoadDocument(config, L"Config::LoadScriptAndIcon"))
        return false;
    ReadScriptAndIcon(config, sysVars);
    return true;
}

} // namespace zel
