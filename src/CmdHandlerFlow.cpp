// The flow-control commands: waits, jumps, called scripts, key and mouse triggers, timers, the message box, the end
// of the game, the clear colour and the placeholder picture.

#include "CmdHandlers.h"
#include "Logger.h"
#include "NHelper.h"
#include "Parser.h"
#include "Services.h"

namespace zel
{
namespace CmdHandlers
{

int ExecuteWait(const Tokens&)
{
    return -1;
}

void ExecuteScript(const Tokens&, std::uint8_t) {}

int ExecuteJump(const Tokens&)
{
    return 0;
}

void ExecuteDialog(const Tokens&) {}
void ExecuteTimer(const Tokens&) {}
void ExecuteTimerEnd(const Tokens&) {}
void ExecuteEndGame(const Tokens&) {}
void ExecuteClearRGB(const Tokens&) {}
void ExecuteCreateDummyCG(const Tokens&) {}
void ExecuteMessageBox(const Tokens&) {}

// Key and mouse triggers.

namespace
{
/// The script line a trigger runs: tokens 3 onward joined with single blanks ("" when there are none).
std::wstring TriggerFunctionOf(const Tokens& tokens)
{
    std::wstring joined;
    for (std::size_t i = 2; i < tokens.size(); ++i)
        joined += (i > 2 ? L" " : L"") + tokens[i];
    return joined;
}
} // namespace

void ExecuteKeyTrigger(const Tokens& tokens)
{
    SystemVariables* sysVars = Services::SysVars();
    if (sysVars == nullptr || tokens.size() < 2)
        return;
    const std::wstring& key = tokens[1];
    const TriggerRecord record{lineContext::MainLine(), TriggerFunctionOf(tokens)};
    if (auto named = sysVars->keyNames.find(key); named != sysVars->keyNames.end())
        sysVars->keyTriggers[named->second] = record;
    else if (auto mouseNamed = sysVars->mouseNames.find(key); mouseNamed != sysVars->mouseNames.end())
        sysVars->mouseTriggers[mouseNamed->second] = record;
    else
    {
        OutputDebugStringN(L"\nERROR: (ExecuteKeyTrigger) INVALID TRIGGER KEY:%s \n", key.c_str());
        return;
    }
    OutputDebugStringN(L"[ExecuteKeyTrigger] TRIGGER SAVED. key:%s trigger_func:%s \n", key.c_str(),
                       record.trigger_function.c_str());
}

} // namespace CmdHandlers
} // namespace zel
