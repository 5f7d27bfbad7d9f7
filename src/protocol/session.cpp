// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/session.h"

#include "protocol/session_observer.h"
#include "protocol/view.h"

Session::Session(Port& port, PortSettings& settings, Messages& messages, View& view, int replyPeriodMs, QObject* parent)
    : QObject(parent),
      m_link(port, settings, messages, replyPeriodMs),
      m_lock(m_link),
      m_monitor(m_link, m_lock, m_commands, view),
      m_commands(m_link, view, m_lock, &m_monitor),
      m_startUp(m_link, m_commands, view, messages)
{
    m_lock.onStopHeld = [&view](bool held) {
        if (SessionObserver* observer = view.sessionObserver())
            observer->stopHeld(held);
    };
}
