// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The 15 value lines of the "W" dialogue, taken from the set panel: fields 3 to 17 of the
// parameter block in wire order, each as short text without padding (the carriage return that
// ends each line on the wire is not part of it).

#include <QString>
#include <QStringList>

// What the write takes from the set panel: the two stop options, the three check boxes and the
// texts of the entries, as they stand.
struct PanelState {
    bool northStop = false, southStop = false, pwmOn = false, optimize = false, motCheck = false;
    QString lowerLimit, upperLimit, invDelay, pwmPeriod, pwmMaxDuty, ramp, pwmMinDuty, presDelay, offsetWrite,
        checkAngleWrite, rotTimeout;
};

// Line `line` (1 to 15) of the write, without the carriage return; empty for any other number.
// The set-panel table says which entry makes each line and how (stop mode, as typed, seconds as
// ticks Int(s*1000/1.64+0.5), flag, PWM times in ticks from the period (ms) and the duties (%),
// the offset as typed or, when it begins with "-", as the decimal text of its value (-070 goes as
// -70; a "-" without a number as 0), the check angle as the decimal text of Int(value)).
// Numbers are the entry values of the texts; computed lines are their decimal text.
QString encode_write_lines(int line, const PanelState& panel);

// The 15 lines of one write, encoded together from one panel state: the lines the question
// lists and the lines Yes sends are these, whatever the panel holds afterwards.
QStringList writeLines(const PanelState& panel);
