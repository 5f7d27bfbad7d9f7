// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/entry_checks.h"

#include "protocol/entry_value.h"

namespace {
bool within(QStringView text, double low, double high)
{
    const double value = entryValue(text);
    return !(value < low || value > high);
}
}  // namespace

bool goToAngleValid(QStringView angle)
{
    // Only what the box takes as an angle goes on the wire: one to three digits, nothing else
    // ("12.5", "90abc", "+5" and "?" would be sent as typed).
    const QString text = trimmedText(angle);
    if (text.isEmpty() || text.size() > 3)
        return false;
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return text.toInt() <= 359;
}

QString goToAngleRefusal(QStringView angle)
{
    return QStringLiteral("\"%1\" is not a whole angle 0 to 359").arg(trimmedText(angle));
}

bool calibrationFactorValid(QStringView factor) { return within(factor, 1000, 15000); }

bool calibrationAngleValid(QStringView angle) { return within(angle, 10, 500); }

bool offsetValid(QStringView offset) { return within(offset, -70, 70); }

bool minimumDutyValid(QStringView minimum, QStringView maximum, QStringView period)
{
    const double min = entryValue(minimum);
    const double max = entryValue(maximum);
    const double ms = entryValue(period);
    return !(min > 100 || min < 0 || max < min || ms * min / 100 < 1.6);
}

bool limitsInOrder(QStringView lower, QStringView upper) { return !(entryValue(lower) > entryValue(upper)); }
