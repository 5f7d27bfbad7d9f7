// SPDX-License-Identifier: GPL-3.0-or-later
// The program's command line. --help and --version are answered on the terminal before any window
// system is touched, so that they work without a display (a server, a package check). Everything
// else is left to the application object, which takes Qt's own options (-platform, -style, ...)
// as it always has.
#pragma once

#include <QString>

#include <optional>

// The exit code when the command line has been answered (help, version, or a mistaken option);
// nothing when the program is to start its window.
// `file` receives the parameter file named on the command line, if any (empty when none is).
std::optional<int> answerCommandLine(int argc, char* argv[], QString* file = nullptr);
