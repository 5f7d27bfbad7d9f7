// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window's status bar, below the panels: the port in use ("COM 1 → /dev/ttyUSB0"), how
// the last exchange ended in words ("cmd ? answered in 18 ms", "cmd C refused by the CBOX in 8 ms",
// "cmd S: no reply in 3.3 s"), its time running to its last reply byte, or why
// a command sent nothing ("cmd G not sent: \"12.5\" is not a whole angle 0 to 359") and,
// while the monitor runs, the frames it has counted. It learns all of it from the session's news,
// never from the window's texts; the message boxes are not touched.

#include "protocol/session_observer.h"

#include <QString>

class QStatusBar;
class SessionSignals;

// Lays out the window's status bar `bar` and connects it to the session's signals.
void addSessionStatusBar(QStatusBar* bar, SessionSignals& session);

// The words for an exchange that has ended.
QString exchangeOutcomeText(const ExchangeResult& result);
// "COM n → device".
QString portInUseText(int number, const QString& device);
// Shown while a stop clicked during the parameter write's dialogue waits for its end.
extern const QString stopHeldText;
