// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/console_view.h"

ConsoleView::ConsoleView()
{
    // The monitor never runs here: each exchange reads its own reply and closes the port.
    m_texts.insert(Field::cmd_monitor, QStringLiteral("START..."));
}

void ConsoleView::exchangeEnded(const QString& command, ExchangeOutcome outcome, qint64 elapsedMs)
{
    Q_UNUSED(command)
    Q_UNUSED(elapsedMs)
    if (outcome == ExchangeOutcome::PortFailed)
        m_portFailed = true;
    else if (outcome != ExchangeOutcome::Answered)
        m_unanswered = true;
}

void ConsoleView::positionReceived(const QString& angle, RotorState state)
{
    Q_UNUSED(angle)
    m_lastState = state;
}
