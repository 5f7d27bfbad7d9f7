// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One conversation with a CBOX, with no window: the serial link, the commands and the lock that
// keeps their exchanges apart, the communication monitor and the start-up sequence. The window is one view of a session
// (it implements View and gives the message seam); a command line with no display is another.
// The exchanges are the same code either way.

#include "protocol/commands.h"
#include "protocol/communication_monitor.h"
#include "protocol/exchange_lock.h"
#include "protocol/start_up.h"
#include "serial/serial_link.h"

#include <QObject>

class Messages;
class Port;
class View;

class Session : public QObject {
    Q_OBJECT
public:
    // The settings file keeps the port choice: storage/ gives it, the floors below see only its seam.
    Session(Port& port, PortSettings& settings, Messages& messages, View& view,
            int replyPeriodMs = SerialLink::replyTimeoutMs, QObject* parent = nullptr);

    SerialLink& link() { return m_link; }
    const SerialLink& link() const { return m_link; }
    Commands& commands() { return m_commands; }
    ExchangeLock& lock() { return m_lock; }
    CommunicationMonitor& monitor() { return m_monitor; }
    const CommunicationMonitor& monitor() const { return m_monitor; }
    StartUp& startUp() { return m_startUp; }

private:
    SerialLink m_link;
    ExchangeLock m_lock;
    // The monitor sends through the commands, which tell it of the stops sent while it runs.
    CommunicationMonitor m_monitor;
    Commands m_commands;
    StartUp m_startUp;
};
