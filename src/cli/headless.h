// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The subcommands: rotor read, write, status, firmware, goto and stop answer on the terminal with
// no window and no display; rotor find and ports look for the box and the ports (find_command.h). They run a session on
// the real port with the same commands as the window, one after the other, and end with an exit status a script can
// test:
//   0 done; 1 the box refused, did not answer or read back different; 2 usage, a file that
//   loading refuses, a write that the panel check refuses, or a confirmation refused or that
//   cannot be asked; 3 the port: none configured, cannot be opened, or in use.

#include <QString>

// Whether `word` (the program's first argument) names a subcommand.
bool isSubcommand(const QString& word);
// Runs the subcommand that argv[1] names, with its options; returns the exit status.
int runSubcommand(int argc, char* argv[]);
// The subcommands, their options and the exit statuses, for --help.
QString subcommandHelp();
