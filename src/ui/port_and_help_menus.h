// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The Port and Help menus of the main window, and what goes with them: the port chooser and the
// assignment it makes, the chooser that a first start opens, the hint on each COM option naming the
// device it opens, and the about box.

#include <QString>

class MainWindow;
class SerialLink;

// Fills the Port menu ("Choose serial port…") and the Help menu ("About rotor").
void addPortAndHelpItems(MainWindow& window);

// Port > Choose serial port…: the chooser, and on OK the device assigned (see port_assignment.h),
// the matching option selected and the hints renewed. No exchange runs; the next one opens the
// port. True when a port was assigned. At a first start the chooser says why it is there.
bool choosePort(MainWindow& window, bool firstStart = false);

// Runs when the start-up sequence has ended: renews the hints and, when the sequence ended because
// there is no settings file, opens the chooser; on OK the start-up's exchanges run once.
void afterStartUp(MainWindow& window);

// Each COM option's tooltip and accessible description: the device its port number opens now.
void refreshPortOptionHints(MainWindow& window);

// The text of Help > About rotor: versions, configuration folder and settings file.
QString aboutText(const SerialLink& link);
