// "?": the rotor's angle and whether the CBOX is busy or ready.

#include "protocol/commands.h"

void Commands::CMD_STATUS() {}
