#pragma once
// Config.xml: the user's settings that survive between runs (volumes, speeds, the wait icon, the message-box
// script), read from the current folder into the system variables.

#include <string>

namespace zel
{

struct SystemVariables;

/// A setting a slider shows and writes: its attribute in "GameSettings", the system variable that holds it and the
/// greatest value (the least is 0).
struct SliderSetting
{
    const char* attribute;
    int SystemVariables::*field;
    int maximum;
};

class Config
{
public:
    /// Reads every setting; false (after telling the user) when Config.xml does not exist.
    static bool LoadAll(SystemVariables& sysVars);
    /// Reads only the message-box script and the wait icon, which may change between runs.
    static bool LoadScriptAndIcon(SystemVariables& sysVars);

    /// The setting a slider bound to name shows ("master_vol", the words for music, sound and voice, "textSpeed",
    /// "autoSpeed", "autoWait"); null for any other name.
    static const SliderSetting* SliderBinding(const std::wstring& name, const SystemVariables& sysVars);
    /// The setting's value as Config.xml holds it now. The file is parsed again only when its modification time or
    /// size changed since the last read. False when Config.xml does not exist (the user is told once until it
    /// exists again).
    static bool ReadSetting(const SliderSetting& setting, int& value);
    /// Writes one setting into Config.xml, keeping everything else in the file. False (logged) when the file does
    /// not exist, does not parse (it is then left as it is) or cannot be replaced.
    static bool WriteSetting(const SliderSetting& setting, int value);
};

} // namespace zel
