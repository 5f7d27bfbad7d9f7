// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/session.h"

Session::Session(Port& port, Messages& messages, View& view, int replyPeriodMs, QObject* parent)
    : QObject(parent),
      m_link(port, messages, replyPeriodMs),
      m_commands(m_link, view),
      m_startUp(m_link, m_commands, view, messages)
{
}
