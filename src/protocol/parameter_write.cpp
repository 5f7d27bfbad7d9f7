// SPDX-License-Identifier: GPL-3.0-or-later
// W: the parameter write. After the CBOX has accepted "AW" it prompts for each of the 15 value
// lines with "N"; the PC answers each prompt with one line. A write that passes shows nothing.

#include "protocol/commands.h"
#include "protocol/entry_value.h"
#include "protocol/exchange.h"
#include "protocol/exchange_lock.h"
#include "protocol/set_panel_entries.h"
#include "protocol/view.h"
#include "protocol/write_check.h"
#include "protocol/write_lines.h"
#include "serial/messages.h"
#include "serial/serial_link.h"

namespace {

const QString terminatorInvalid = QStringLiteral("Terminator invalid, received ASC:");
const QString stoppedDuringWriteText =
    QStringLiteral("The STOP held during the write went out when the write failed: the CBOX may hold a partial "
                   "write. Read its parameters with cmd L.");

// Sends the 15 lines, each answered by the next prompt "N", the last by CR.
void sendLines(SerialLink& link, Exchange& exchange, const QStringList& lines)
{
    for (int k = 1; k <= writeLineCount; ++k) {
        link.port().write(lines.at(k - 1).toLatin1() + '\r');
        const QString c = link.GET_CHAR();
        if (k < writeLineCount && c != QLatin1String("N")) {
            exchange.fail(QStringLiteral("Expected N as replay, received: ") + c);
            return;
        }
        if (k == writeLineCount && c != QLatin1String("\r")) {
            // With no character there is neither code nor character to show.
            exchange.fail(c.isEmpty() ? terminatorInvalid
                                      : terminatorInvalid + characterCode(c) + QStringLiteral(" - ") + c);
            return;
        }
    }
}

}  // namespace

void Commands::CMD_WRITE_PARAMS()
{
    // The panel is taken once, at the click: the refusal judges it, the question lists its lines,
    // and Yes sends exactly those lines. What is typed while the dialogue waits for the box stays
    // in the panel for the next write.
    const PanelState panel = panelState(m_view);
    // The box stores whatever lines it gets: a panel that would send it garbage is refused before
    // the question, with nothing sent and no button touched.
    if (const QList<RefusedEntry> refused = refusedWriteEntries(panel); !refused.isEmpty()) {
        m_link.messages().inform(writeRefusalText(refused));
        return;
    }
    const QStringList lines = writeLines(panel);
    if (!m_link.messages().askYesNoWithDetails(
            QStringLiteral("THIS COMMAND OVERWRITES THE CBOX SETTINGS!!! ARE YOU SURE?"),
            QStringLiteral("WRITE PARAMETERS COMMAND"), writeQuestionDetails(panel, lines, m_lastBlock)))
        return;
    m_view.DISABLE_BUTTONS();
    m_view.setEnabled(Field::fast_stop, true);
    m_view.setEnabled(Field::soft_stop, true);
    m_view.setText(Field::inv_delay, trimmedText(m_view.text(Field::inv_delay)));

    Exchange exchange(m_link, m_view);
    bool stoppedAfterFailure = false;
    if (m_view.monitorState() != MonitorState::Idle) {
        exchange.fail(QStringLiteral("Monitor is ACTIVE, cmd W not allowed!"));
    } else if (CMD_S()) {
        // After a failed S the box's state is unknown, and a late answer to S would be read as
        // the answer to W: nothing is sent.
        exchange.fail(QStringLiteral("Nothing was written to the CBOX."));
    } else {
        if (m_link.OPEN_PORT()) {
            m_view.ENABLE_BUTTONS();
            return;
        }
        if (exchange.send(QLatin1Char('W'))) {
            // From "AW" on, the box takes any line it gets as a value, a stop's frame too: a stop
            // clicked now waits for the dialogue to end. When the dialogue fails, the stop goes
            // before the failure is shown, and the box may then hold part of the write.
            ExchangeLock::StopHold hold(m_lock);
            exchange.beforeFailure = [&] { stoppedAfterFailure = hold.release(); };
            if (exchange.waitHeader(QStringLiteral("cmd W: communication timeout on <header>"),
                                    AfterHeader::DisarmTimer)
                && exchange.envelope(QLatin1Char('W'), envelope::plain)) {
                const QString state = m_link.GET_CHAR();
                if (state == QLatin1String("B"))
                    exchange.refuse(QStringLiteral("CBOX Busy, parameters cannot be updated!"));
                else if (state != QLatin1String("R"))
                    exchange.fail(QStringLiteral("<data> B or R invalid, received:") + state);
                else if (exchange.terminator(terminatorInvalid)
                         && exchange.expect(QLatin1Char('N'), QStringLiteral("Expected N, received:")))
                    sendLines(m_link, exchange, lines);
            }
            exchange.beforeFailure = nullptr;
        }
    }
    exchange.finish(false);
    if (stoppedAfterFailure)
        m_link.messages().inform(stoppedDuringWriteText);
    m_view.ENABLE_BUTTONS();
}
