// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/cli_report.h"

#include "protocol/set_panel_entries.h"

#include <QJsonArray>
#include <QRegularExpression>

#include <cstdlib>

namespace {

constexpr int reachedWithinDeg = 2;

// The unit of each entry of the set panel that holds a number, as the panel shows it.
const char* unitOf(const QString& key)
{
    static const std::pair<const char*, const char*> units[] = {
        {"offset_write", "deg"}, {"pwm_period", "ms"},   {"pwm_max_duty", "%"},        {"pwm_min_duty", "%"},
        {"ramp", "deg"},         {"lower_limit", "deg"}, {"upper_limit", "deg"},       {"inv_delay", "s"},
        {"pres_delay", "s"},     {"rot_timeout", "s"},   {"check_angle_write", "deg"},
    };
    for (const auto& [name, unit] : units)
        if (key == QLatin1String(name))
            return unit;
    return nullptr;
}

// A panel value as JSON: on/off as booleans, numbers as numbers, anything else as its text.
QJsonValue panelValue(const QString& text)
{
    if (text == QLatin1String("on") || text == QLatin1String("off"))
        return text == QLatin1String("on");
    bool ok = false;
    const double number = text.toDouble(&ok);
    if (!ok)
        return text;
    if (number == double(qint64(number)))
        return qint64(number);
    return number;
}

}  // namespace

QString stateWord(RotorState state)
{
    switch (state) {
    case RotorState::Ready: return QStringLiteral("ready");
    case RotorState::Busy: return QStringLiteral("busy");
    case RotorState::Unknown: break;
    }
    return QStringLiteral("unknown");
}

QString versionNumber(const QString& firmware)
{
    static const QRegularExpression version(QStringLiteral("^0*(\\d+)\\.(\\d+)$"));
    if (const QRegularExpressionMatch match = version.match(firmware); match.hasMatch())
        return match.captured(1) + QLatin1Char('.') + match.captured(2);
    return firmware;
}

QJsonObject statusJson(const StatusReading& reading)
{
    return {{QStringLiteral("position_deg"), reading.angle ? QJsonValue(*reading.angle) : QJsonValue()},
            {QStringLiteral("state"), stateWord(reading.state)}};
}

QJsonObject readJson(const BoxReading& reading)
{
    const ParameterBlock block{reading.block};
    QJsonObject json = statusJson({block.number(blockField::position), block.state()});
    QDateTime readAt = reading.read;  // with its offset from UTC, as the parameter file writes it
    readAt.setOffsetFromUtc(reading.read.offsetFromUtc());
    json.insert(QStringLiteral("read_at"), readAt.toString(Qt::ISODate));
    json.insert(QStringLiteral("firmware"), versionNumber(reading.firmware));
    json.insert(QStringLiteral("block"), QJsonArray::fromStringList(reading.block));
    QJsonObject parameters;
    QJsonObject units;
    for (const auto& [key, text] : parameterSetValues(panelFromBlock(reading.block))) {
        parameters.insert(key, panelValue(text));
        if (const char* unit = unitOf(key))
            units.insert(key, QLatin1String(unit));
    }
    json.insert(QStringLiteral("parameters"), parameters);
    json.insert(QStringLiteral("units"), units);
    return json;
}

int degreesShort(int target, int position)
{
    const int difference = ((target - position) % 360 + 360) % 360;  // 0 to 359
    return difference > 180 ? difference - 360 : difference;
}

bool reached(int target, int position) { return std::abs(degreesShort(target, position)) <= reachedWithinDeg; }

QString stopText(int target, int position)
{
    const int away = degreesShort(target, position);
    return QStringLiteral("stopped at %1°, %2° %3 %4°")
        .arg(position)
        .arg(std::abs(away))
        .arg(QLatin1String(away >= 0 ? "short of" : "past"))
        .arg(target);
}
