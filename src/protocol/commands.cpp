// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/commands.h"

Commands::Commands(SerialLink& link, View& view, ExchangeLock& lock, CommunicationMonitor* monitor)
    : m_monitor(monitor),
      m_link(link),
      m_view(view),
      m_lock(lock)
{
}

Commands::Commands(Commands& sharing, View& view) : Commands(sharing.m_link, view, sharing.m_lock, sharing.m_monitor) {}
