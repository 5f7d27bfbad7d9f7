// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/start_up.h"

#include "protocol/commands.h"
#include "protocol/field.h"
#include "protocol/view.h"
#include "serial/messages.h"
#include "serial/serial_link.h"

StartUp::StartUp(SerialLink& link, Commands& commands, View& view, Messages& messages)
    : m_link(link), m_commands(commands), m_view(view), m_messages(messages)
{
}

void StartUp::run(From from)
{
    m_running = true;
    m_link.startupRunning = true;
    if (onRunning)
        onRunning(true);
    const auto end = [this] {
        m_link.startupRunning = false;
        m_running = false;
        if (onRunning)
            onRunning(false);
    };

    if (from == From::Prompt) {
        m_messages.inform(
            QStringLiteral("Connect the PC to the CBOX, power-on it and click on OK when the CBOX is ready"));
        m_link.port().discard();
        m_link.startupFlag = true;
        m_settingsMissing = !m_link.LOAD_SETTINGS();
        if (m_settingsMissing)
            return end();
        for (int n = 1; n <= 4; ++n)
            m_view.setChecked(portOption(n), m_link.portNumber == n);
    }
    // After a port choice the start-up flag is still raised from the settings that could not be
    // loaded: the port opens with the option just chosen, applied in full.
    m_link.OPEN_PORT();
    m_link.startupFlag = false;
    m_settingsMissing = false;
    if (m_commands.CMD_S() || m_commands.CMD_VERSION())
        return end();
    m_commands.CMD_READ_PARAMS_FILLING_PANEL();
    end();
}
