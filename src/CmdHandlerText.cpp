// The text commands: text boxes and labels, their properties, the dialogue line and the backlog settings.

#include "CmdHandlers.h"
