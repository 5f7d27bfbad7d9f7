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

void tellPosition(View& view, const QString& angle, RotorState state)
{
    if (SessionEvents* events = view.sessionEvents())
        events->positionReceived(angle, state);
}
