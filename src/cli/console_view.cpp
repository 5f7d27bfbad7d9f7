// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/console_view.h"

ConsoleView::ConsoleView()
{
    // The monitor never runs here: each exchange reads its own reply and closes the port.
    m_texts.insert(Field::cmd_monitor, QStringLiteral("START..."));
}
