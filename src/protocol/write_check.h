// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the write may send, judged before the operator is asked. The box stores whatever value
// lines it gets: a "???" typed through, a value beyond what its fields hold, or a control character
// that shifts every later line would leave it with zeros or garbage in its settings. So the lines
// of "cmd W" are judged first, and a panel that would send such a line is refused whole, naming
// each entry at fault; nothing is sent then.
//
//  - Lines sent as typed (lower and upper limit, ramp, offset): an optional "-" and 1 to 5 digits;
//    the offset also within -32768..32767.
//  - Computed lines (delays, PWM times, check angle, rotation timeout): each entry they come from
//    a plain number (an optional "-", digits, an optional "." with digits). The durations (the
//    delays, the PWM times and the rotation timeout) go in ticks into the box's 16-bit fields, so
//    each must come to 0..65535 ticks: a negative time would reach it as a huge one. The check
//    angle, in whole degrees, within -99999..99999.
//  - A leading "+" is refused too, with the advice to write the number without it.
//  - The stop mode (line 1) and the check boxes are not judged: they cannot go wrong.
//
// The entries' colour checks are another matter: they only mark a value the operator may still
// mean (a red entry holding a plain number is written, and the question names it).
//
// Pure: texts in, texts out.

#include "protocol/field.h"
#include "protocol/write_lines.h"

#include <QList>
#include <QString>
#include <QStringList>

struct RefusedEntry {
    Field field;
    QString label;    // as the panel shows it beside the entry
    QString holds;    // what the entry holds
    QString mayHold;  // what it may hold
};

// The entries whose lines the box must not get, in the order of the lines; empty when the write
// may go.
QList<RefusedEntry> refusedWriteEntries(const PanelState& panel);

// The one message that refuses the write.
QString writeRefusalText(const QList<RefusedEntry>& refused);

// A value line that differs, by value, from its field of a block: its number (1 to 15), the
// field's number (3 to 17), its name, the field as held and the line as sent.
struct WriteLineDifference {
    int line;
    int field;
    QString name;
    QString held;
    QString sent;
};
// The value lines (the 15 of writeLines) that differ numerically from fields 3 to 17 of `block`
// (19 fields); an empty stop-mode line has nothing to compare.
QList<WriteLineDifference> writeLineDifferences(const QStringList& lines, const QStringList& block);

// What the write changes in the box: each value line compared numerically with its field (3 to
// 17) of the block read last, one line per difference ("Upper Limit: 500 → 450"). `lastBlock` holds
// the block's 19 fields; when it is empty the box has not been read, and the text says so.
QString writeChangesText(const QStringList& lines, const QStringList& lastBlock);

// The values the write sends although they lie outside their marked range, each named with why
// ("Offset 71 is outside -70 to 70."), after a line that says they go as they are; empty when
// there is none. The entries' own checks are run again on `lines` and on the texts of `panel`
// they came from, not read from the colours: the minimum-duty colour is stale once the period or
// the maximum duty has changed.
QString writeWarningsText(const PanelState& panel, const QStringList& lines);

// The question's informative text: the warnings, then what the write changes.
QString writeQuestionDetails(const PanelState& panel, const QStringList& lines, const QStringList& lastBlock);

// A plain number: an optional "-", digits, and an optional "." followed by digits.
bool isPlainNumber(const QString& text);

// The refusal of a calibration value (F, K) that is not a plain number; empty when it may go.
// `label` names the entry, `command` the command ("cmd F").
QString calibrationRefusalText(const QString& command, const QString& label, const QString& text);
