// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/write_lines.h"

#include "protocol/entry_value.h"
#include "protocol/set_panel_entries.h"

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
    const SetPanelEntry* entry = writeLineEntry(line);
    if (!entry)
        return QString();
    using Line = SetPanelEntry::Line;
    switch (entry->line) {
    case Line::StopMode: return stopModeText(panel);
    case Line::AsTyped: return trimmedText(panel.*entry->text);
    case Line::Offset: return offsetText(panel.*entry->text);
    case Line::Seconds: return ticksText(panel.*entry->text);
    case Line::Flag: return flagText(panel.*entry->checked);
    case Line::PwmOnTime: return decimalText(Int(onTimeMs(panel) / msPerTick + 0.5));
    case Line::PwmOffTime: return decimalText(Int((entryValue(panel.pwmPeriod) - onTimeMs(panel)) / msPerTick + 0.5));
    case Line::PwmMinTime:
        return decimalText(Int(entryValue(panel.pwmPeriod) * entryValue(panel.pwmMinDuty) / 100 / msPerTick + 0.5));
    case Line::WholeDegrees: return decimalText(Int(entryValue(panel.*entry->text)));
    }
    return QString();
}

QStringList writeLines(const PanelState& panel)
{
    QStringList lines;
    for (int line = 1; line <= writeLineCount; ++line)
        lines.append(encode_write_lines(line, panel));
    return lines;
}
