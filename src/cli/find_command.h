// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// rotor find [DEVICE…] and rotor ports: which serial ports this machine has, and on which of them
// the CBOX answers. Neither needs a configured port; find sends the status query to the devices
// given, or to every port known (see knownPorts()), all at once and for at most 4 s.

#include <QStringList>

// Lists each device with what it came to. 0 when at least one CBOX answered, 1 when none did.
int runFind(const QStringList& devices);
// Lists the serial ports: device, stable name, description, the COM numbers that open it, in use.
// Always 0.
int runPorts();
