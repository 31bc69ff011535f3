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

void ExecuteKeyTrigger(const Tokens&) {}

} // namespace CmdHandlers
} // namespace zel
