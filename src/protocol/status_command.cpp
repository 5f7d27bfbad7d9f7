// SPDX-License-Identifier: GPL-3.0-or-later
// "?": the rotor's angle and whether the CBOX is busy or ready.
//
// Status data: a three-digit angle, ",", then "B" (busy) or "R" (ready). The angle goes to
// `fast_pos` with a degree sign, the state to `fast_status` (status_data.h). The monitor decodes
// status frames that arrive while it runs into the same two fields.

#include "protocol/button_off.h"
#include "protocol/commands.h"
#include "protocol/exchange.h"
#include "protocol/status_data.h"
#include "protocol/view.h"
#include "serial/serial_link.h"

#include <optional>

void Commands::CMD_STATUS(bool greyButton)
{
    std::optional<ButtonOff> off;
    if (greyButton)
        off.emplace(m_view, Field::command_qm);
    Exchange exchange(m_link, m_view);
    if (exchange.send(QLatin1Char('?'))
        && exchange.waitHeader(QStringLiteral("cmd ?, Communication timeout on <header>"), AfterHeader::KeepTimer)
        && exchange.envelope(QLatin1Char('?'), envelope::status)) {
        // An angle that does not come in time ends the exchange without a word; the reply is faulty.
        const QString angle = m_link.GET_NUM03S();
        if (angle.isEmpty())
            exchange.fault();
        if (!angle.isEmpty()) {
            m_view.setText(Field::fast_pos, positionText(angle));
            if (!statusReading(angle, RotorState::Unknown).angle)
                exchange.fault();
            if (exchange.expect(QLatin1Char(','), QStringLiteral("? cmd, <Separator>#3 invalid, received:"))) {
                const QString letter = m_link.GET_CHAR();
                const RotorState state = rotorState(letter);
                if (state == RotorState::Unknown) {
                    // The state is left as it was; the terminator is still read and tested.
                    exchange.fail(QStringLiteral("? cmd, <data>(R or B) invalid, received:") + letter);
                } else {
                    m_view.setText(Field::fast_status, rotorStateText(state));
                    m_view.setBackground(Field::fast_status, rotorStateColour(state));
                }
                tellStatus(m_view, statusReading(angle, state));
                exchange.terminator(QStringLiteral("? cmd, <return> invalid, received ASC:"));
            }
        }
    }
    exchange.finish();
}
