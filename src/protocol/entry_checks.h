// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The live checks of the entries. Each judges entry texts by their entry value (the go-to angle by
// its digits) and says only whether they are valid: the windows paint the entry red or in the
// window colour. Only the go-to refuses what its check refuses (CMD_GOTO sends nothing then).

#include <QString>
#include <QStringView>

// `go_to_angle`: its text less the spaces around it is a whole angle of 1 to 3 digits, 0 to 359
// ("045" passes; "12.5", "3e2", "+5", "1 2" and "?" do not).
bool goToAngleValid(QStringView angle);
// Why such an angle is not sent: "\"12.5\" is not a whole angle 0 to 359".
QString goToAngleRefusal(QStringView angle);
// `cal_factor`: 1000 to 15000.
bool calibrationFactorValid(QStringView factor);
// `calib_angle`: 10 to 500 degrees.
bool calibrationAngleValid(QStringView angle);
// `offset_write`: -70 to 70 degrees.
bool offsetValid(QStringView offset);
// `pwm_min_duty`: 0 to 100 %, not above the maximum duty, and the shortest on-time
// (period x minimum / 100) at least 1.6 ms.
bool minimumDutyValid(QStringView minimum, QStringView maximum, QStringView period);
// `lower_limit` and `upper_limit`: the lower not above the upper.
bool limitsInOrder(QStringView lower, QStringView upper);
