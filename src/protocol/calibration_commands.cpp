// SPDX-License-Identifier: GPL-3.0-or-later
// C, c, F and K: the calibration commands. None disables a button; none shows anything on
// success: the absence of a message is the operator's confirmation.

#include "protocol/commands.h"
#include "protocol/entry_value.h"
#include "protocol/exchange.h"
#include "protocol/view.h"
#include "protocol/write_check.h"
#include "serial/messages.h"
#include "serial/serial_link.h"

namespace {

void calibrate(SerialLink& link, View& view, QChar letter, const QString& data)
{
    Exchange exchange(link, view);
    const QString name = QString(letter);
    if (exchange.send(letter, data)
        && exchange.waitHeader(QStringLiteral("cmd %1, Communication timeout on <header>").arg(name),
                               AfterHeader::KeepTimer)
        && exchange.envelope(letter, envelope::plain)) {
        if (link.GET_CHAR() == QLatin1String("B"))
            exchange.refuse(QStringLiteral("Cmd %1 not accepted: the CBOX is BUSY or NOT in ABSOLUTE mode!").arg(name));
        else
            exchange.terminator(QStringLiteral("Terminator invalid, received ASC:"));
    }
    exchange.finish();
}

}  // namespace

void Commands::CMD_CAL360() { calibrate(m_link, m_view, QLatin1Char('C'), {}); }

void Commands::CMD_CALDEF() { calibrate(m_link, m_view, QLatin1Char('c'), {}); }

// F and K carry the entry's text to the box as typed: only a plain number may go.
void Commands::CMD_CALFACTOR()
{
    calibrateWithEntry(QLatin1Char('F'), Field::cal_factor, QStringLiteral("Calibration factor"));
}

void Commands::CMD_CALANGLE()
{
    calibrateWithEntry(QLatin1Char('K'), Field::calib_angle, QStringLiteral("Calibration angle"));
}

void Commands::calibrateWithEntry(QChar letter, Field entry, const QString& label)
{
    const QString text = m_view.text(entry);
    if (const QString refusal = calibrationRefusalText(QStringLiteral("cmd ") + letter, label, text);
        !refusal.isEmpty()) {
        m_link.messages().inform(refusal);
        return;
    }
    calibrate(m_link, m_view, letter, trimmedText(text));
}
