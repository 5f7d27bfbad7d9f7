// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/commands.h"

Commands::Commands(SerialLink& link, View& view, ExchangeLock& lock) : m_link(link), m_view(view), m_lock(lock) {}
