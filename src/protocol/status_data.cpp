// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/status_data.h"

RotorState rotorState(const QString& letter)
{
    if (letter == QLatin1String("B"))
        return RotorState::Busy;
    if (letter == QLatin1String("R"))
        return RotorState::Ready;
    return RotorState::Unknown;
}

QString rotorStateText(RotorState state)
{
    switch (state) {
    case RotorState::Busy: return QStringLiteral("BUSY");
    case RotorState::Ready: return QStringLiteral("READY");
    case RotorState::Unknown: break;
    }
    return {};
}

Colour rotorStateColour(RotorState state) { return state == RotorState::Busy ? Colour::InvalidRed : Colour::Window; }

QString positionText(const QString& angle) { return angle + QChar(0x00B0); }

StatusReading statusReading(const QString& angle, RotorState state)
{
    bool ok = false;
    const int degrees = angle.toInt(&ok);
    return {ok ? std::optional<int>(degrees) : std::nullopt, state};
}

void tellStatus(View& view, const StatusReading& reading)
{
    if (SessionObserver* observer = view.sessionObserver())
        observer->statusRead(reading);
}
