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

bool goToAngleValid(QStringView angle) { return within(angle, 0, 359); }

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
