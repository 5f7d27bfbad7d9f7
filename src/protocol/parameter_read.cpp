// L: the parameter read.

#include "protocol/commands.h"

void Commands::CMD_READ_PARAMS() {}
