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
//  1 stop mode: "0" north-stop, "1" south-stop, empty when neither option is on (north wins if both are)
//  2, 3, 8 lower limit, upper limit, ramp: the trimmed text as typed
//  4, 11, 15 reversal delay, preset delay, rotation timeout: seconds as ticks, Int(s*1000/1.64+0.5)
//  5, 10, 13 PWM, optimize, rotation check: "1" checked, "0" not
//  6, 7, 9 PWM on-, off- and minimum time in ticks from the period (ms) and the duties (%)
//  12 offset: the trimmed text as typed; when it begins with "-", the decimal text of its value
//     (-070 goes as -70; a "-" without a number goes as 0)
//  14 check angle: the decimal text of Int(value)
// Numbers are the entry values of the texts; computed lines are their decimal text.
QString encode_write_lines(int line, const PanelState& panel);

// The 15 lines of one write, encoded together from one panel state: the lines the question
// lists and the lines Yes sends are these, whatever the panel holds afterwards.
QStringList writeLines(const PanelState& panel);
