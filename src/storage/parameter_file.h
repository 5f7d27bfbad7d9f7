// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The parameter file: the "PARAMETERS SET" panel (everything "cmd W" sends) kept in a small text
// file that a person can read and edit, with a record of what the box held when it was last read.
// Pure code: contents in, a validated parameter set or one error naming its line out; and the
// writer. The operator's files and the reading history use the same format.
//
//   # rotor parameter set, format 1
//   saved = 2026-12-07T15:32:04+01:00
//
//   [parameters set]
//   offset_write = 0
//   ...                        one line per set-panel control, keys named after the controls;
//   pwm_on = on                check boxes "on" or "off";
//   stop = south               the stop option "north", "south" or "none" (as after "Absolute")
//
//   [box reading]              only when the box was read: informational, loading ignores it
//   read = 2026-12-07T15:30:11+01:00
//   firmware = 003.22
//   block = 123,R,1,0,500,1829,1,30,0,10,15,1,1829,0,0,2,3049,0,1000
//   curr_pos = 123°            ... the PARAMETERS READ panel as that block shows it
//
// Lines: "key = value", "[section]", comments starting with "#", blank lines; UTF-8, LF or CR LF.
// A value is the text after "=" without the blanks around it, taken as it stands ("???" and "#"
// included), unless it starts with a double quote: then it runs to the closing quote, with \\,
// \", \n, \r, \t and \uXXXX as escapes. The writer quotes a value only when it must: blanks at
// either end, a leading quote, a control character. The block is the 19 fields separated by
// commas, a field holding a comma quoted the same way.
//
// Entries are free text ("cmd W" sends what is typed), so only the format line, the sections, the
// keys, the check boxes, the stop option, the dates and the block are judged, and of an entry only
// what typing could not give: more than 32 characters, or a control character. Every set-panel key
// must be present exactly once: loading fills the whole panel, never half of it.

#include "protocol/field.h"
#include "protocol/write_lines.h"

#include <QByteArray>
#include <QDateTime>
#include <QStringList>

#include <optional>
#include <variant>

// The format this version writes and reads; a file of a later one is refused.
inline constexpr int parameterFileFormat = 1;
// A parameter file is a few kilobytes; anything larger is not one, and is not read whole.
inline constexpr qint64 parameterFileMaxSize = 64 * 1024;

// What the box held when it was read.
struct BoxReading {
    QDateTime read;
    // The firmware version as `firm_version` showed it; empty when it was not read in that run.
    QString firmware;
    // The 19 fields of the block as the readers returned them (leading zeros dropped).
    QStringList block;
};

struct ParameterFile {
    PanelState panel;
    QDateTime saved;
    std::optional<BoxReading> reading;
};

// Why a file was refused: the line (1 for the first; 0 for the file as a whole) and what is wrong
// there, in words for the operator, with what to do.
struct ParameterFileError {
    int line = 0;
    QString text;

    // "Line 7: ..." or, for the file as a whole, the text alone.
    QString message() const;
};

QByteArray writeParameterFile(const ParameterFile& file);
std::variant<ParameterFile, ParameterFileError> readParameterFile(const QByteArray& contents);
// Reads and judges the file at `path`: only a regular file (links followed), never more than a
// parameter file can be. On refusal, why, in a sentence for the operator.
std::variant<ParameterFile, QString> loadParameterFile(const QString& path);

// The "[parameters set]" section's keys and values (not yet quoted), in the order written.
QList<std::pair<QString, QString>> parameterSetValues(const PanelState& panel);

// The set panel as a block fills it at start-up (stop "none" for "Absolute").
PanelState panelFromBlock(const QStringList& block);
// The "PARAMETERS READ" panel's texts as a block shows them, in the block's order.
QList<std::pair<Field, QString>> shownFromBlock(const QStringList& block);
// True when two blocks hold the same configuration: fields 3 to 19 equal. The position and the
// busy state (fields 1 and 2) change as the rotor moves and say nothing about the settings.
bool sameConfiguration(const QStringList& a, const QStringList& b);
