// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/write_lines.h"

#include "protocol/entry_value.h"

namespace {

constexpr double msPerTick = 1.64;

// Seconds as a whole number of ticks.
QString ticksText(const QString& secondsText)
{
    return decimalText(Int(entryValue(secondsText) * 1000 / msPerTick + 0.5));
}

QString flagText(bool on) { return on ? QStringLiteral("1") : QStringLiteral("0"); }

QString stopModeText(const PanelState& panel)
{
    if (panel.northStop)
        return QStringLiteral("0");
    if (panel.southStop)
        return QStringLiteral("1");
    return QString();
}

// The PWM on-time (ms) before rounding: the period times the maximum duty.
double onTimeMs(const PanelState& panel) { return entryValue(panel.pwmPeriod) * entryValue(panel.pwmMaxDuty) / 100; }

QString offsetText(const QString& typed)
{
    const QString text = trimmedText(typed);
    if (text.startsWith(QLatin1Char('-')))
        return decimalText(entryValue(text));
    return text;
}

}  // namespace

QString encode_write_lines(int line, const PanelState& panel)
{
    switch (line) {
    case 1: return stopModeText(panel);
    case 2: return trimmedText(panel.lowerLimit);
    case 3: return trimmedText(panel.upperLimit);
    case 4: return ticksText(panel.invDelay);
    case 5: return flagText(panel.pwmOn);
    case 6: return decimalText(Int(onTimeMs(panel) / msPerTick + 0.5));
    case 7: return decimalText(Int((entryValue(panel.pwmPeriod) - onTimeMs(panel)) / msPerTick + 0.5));
    case 8: return trimmedText(panel.ramp);
    case 9: return decimalText(Int(entryValue(panel.pwmPeriod) * entryValue(panel.pwmMinDuty) / 100 / msPerTick + 0.5));
    case 10: return flagText(panel.optimize);
    case 11: return ticksText(panel.presDelay);
    case 12: return offsetText(panel.offsetWrite);
    case 13: return flagText(panel.motCheck);
    case 14: return decimalText(Int(entryValue(panel.checkAngleWrite)));
    case 15: return ticksText(panel.rotTimeout);
    default: return QString();
    }
}

QStringList writeLines(const PanelState& panel)
{
    QStringList lines;
    for (int line = 1; line <= 15; ++line)
        lines.append(encode_write_lines(line, panel));
    return lines;
}
