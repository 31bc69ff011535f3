#include "core/Config.h"

#include "core/NovelState.h"
#include "platform/Platform.h"
#include "resources/NHelper.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <limits>

namespace zel
{
namespace
{
constexpr const char* kConfigFile = "Config.xml";

/// Loads the document; a missing file is reported to the user, a malformed one reads as empty.
bool LoadDocument(pugi::xml_document& document)
{
    if (!std::ifstream(kConfigFile).good())
    {
        platform::ShowMessageBox(
            L"Config.xml file not found. cur-directory:" + NHelper::s2ws(platform::CurrentDirectory()), L"");
        return false;
    }
    document.load_file(kConfigFile);
    return true;
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

void ReadScriptAndIcon(const pugi::xml_node& root, SystemVariables& sysVars)
{
    sysVars.MsgboxScript = ReadString(root.child("Settings"), "MsgboxScript");
    sysVars.sysWaitInputIcon = ReadString(root.child("GameSettings"), "sysWaitInputIcon");
}
} // namespace

bool Config::LoadAll(SystemVariables& sysVars)
{
    pugi::xml_document document;
    if (!LoadDocument(document))
        return false;
    const pugi::xml_node root = document.child("Harborstage");
    const pugi::xml_node game = root.child("GameSettings");
    ReadScriptAndIcon(root, sysVars);
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
    pugi::xml_document document;
    if (!LoadDocument(document))
        return false;
    ReadScriptAndIcon(document.child("Harborstage"), sysVars);
    return true;
}

} // namespace zel
