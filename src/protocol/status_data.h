// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The status data, as the reply to "?" and the monitor's status frames carry it: a three-digit
// angle, ",", then the state letter, "B" busy or "R" ready. Both show it alike: the angle with a
// degree sign in `fast_pos`, the state in `fast_status` (BUSY on the busy red, READY on the window
// colour), and both tell the session's watchers.

#include "protocol/session_observer.h"
#include "protocol/view.h"

#include <QString>

// The state a letter stands for.
RotorState rotorState(const QString& letter);

// How `fast_status` shows a state; Unknown shows no text of its own.
QString rotorStateText(RotorState state);
Colour rotorStateColour(RotorState state);

// The angle as `fast_pos` shows it.
QString positionText(const QString& angle);

// The reading of an angle field as read (leading zeros removed) and a state.
StatusReading statusReading(const QString& angle, RotorState state);
// Tells the session's watchers of a status read.
void tellStatus(View& view, const StatusReading& reading);
