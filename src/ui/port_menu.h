// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The Port menu of the main window, and what goes with it: the port chooser and the assignment it
// makes, the chooser that a first start opens, and the hint on each COM option naming the device it
// opens.

#include <QString>

class MainWindow;

// Fills the Port menu ("Choose serial port…").
void addPortItems(MainWindow& window);

// Port > Choose serial port…: the chooser, and on OK the device assigned (see port_assignment.h),
// the matching option selected and the hints renewed. No exchange runs; the next one opens the
// port. True when a port was assigned. At a first start the chooser says why it is there.
bool choosePort(MainWindow& window, bool firstStart = false);

// Runs when the start-up sequence has ended: renews the hints and, when the sequence ended because
// there is no settings file, opens the chooser; on OK the start-up's exchanges run once.
void afterStartUp(MainWindow& window);

// Each COM option's tooltip and accessible description: the device its port number opens now.
void refreshPortOptionHints(MainWindow& window);
