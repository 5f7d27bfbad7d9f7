// W: the parameter write dialogue.

#include "protocol/commands.h"

void Commands::CMD_WRITE_PARAMS() {}
