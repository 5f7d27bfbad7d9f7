// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the subcommands print, as values a script can use: the JSON schema of every subcommand in
// one place (numbers as numbers, states as lower-case words, the parameters under the parameter
// file's keys), and the go-to's verdict on where the rotor stopped.

#include "protocol/session_observer.h"
#include "storage/parameter_file.h"

#include <QJsonObject>
#include <QString>

// "ready", "busy", or "unknown".
QString stateWord(RotorState state);
// The firmware version as a version number: "003.22" is "3.22"; other texts as they came.
QString versionNumber(const QString& firmware);
// {"position_deg": 123, "state": "ready"}; position_deg null when the box sent no angle.
QJsonObject statusJson(const StatusReading& reading);
// The read: read_at, firmware, position_deg, state, block (as received), parameters (numbers,
// booleans and the stop as a word, under the parameter file's keys) and their units.
QJsonObject readJson(const BoxReading& reading);

// How far the rotor stopped from the go-to's target, positions beyond 359 (the overlap) taken
// modulo 360: positive when it stopped short, negative past it, in (-180, 180].
int degreesShort(int target, int position);
// Whether a stop at `position` reached `target`: within 2°.
bool reached(int target, int position);
// "stopped at 198°, 102° short of 300°"
QString stopText(int target, int position);
