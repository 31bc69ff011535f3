#pragma once
// Config.xml: the user's settings that survive between runs (volumes, speeds, the wait icon, the message-box
// script), read from the current folder into the system variables.

namespace zel
{

struct SystemVariables;

class Config
{
public:
    /// Reads every setting; false (after telling the user) when Config.xml does not exist.
    static bool LoadAll(SystemVariables& sysVars);
    /// Reads only the message-box script and the wait icon, which may change between runs.
    static bool LoadScriptAndIcon(SystemVariables& sysVars);
};

} // namespace zel
