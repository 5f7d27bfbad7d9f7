// C, c, F and K: the calibration commands.

#include "protocol/commands.h"

void Commands::CMD_CAL360() {}
void Commands::CMD_CALDEF() {}
void Commands::CMD_CALFACTOR() {}
void Commands::CMD_CALANGLE() {}
