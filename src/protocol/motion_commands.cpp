// G: go to an angle, the fast stop (999) and the soft stop (977).

#include "protocol/commands.h"

void Commands::CMD_GOTO() {}
void Commands::CMD_FAST_STOP() {}
void Commands::CMD_SOFT_STOP() {}
