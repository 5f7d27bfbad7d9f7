// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/session_observer.h"

#include "protocol/status_data.h"

std::optional<int> ParameterBlock::number(int field) const
{
    const QString text = received.value(field - 1);
    if (field == 2) {
        const RotorState s = rotorState(text);
        return s == RotorState::Unknown ? std::nullopt : std::optional<int>(s == RotorState::Busy ? 1 : 0);
    }
    if (text == QLatin1String("-"))  // "-00000" as the reader returns it
        return 0;
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

RotorState ParameterBlock::state() const { return rotorState(received.value(1)); }

bool ParameterBlock::wellFormed() const
{
    if (received.size() != 19)
        return false;
    for (int field = 1; field <= 19; ++field)
        if (!number(field))
            return false;
    return true;
}
