// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/start_up.h"

#include "protocol/commands.h"
#include "protocol/field.h"
#include "protocol/view.h"
#include "serial/messages.h"
#include "serial/serial_link.h"

StartUp::StartUp(SerialLink& link, Commands& commands, View& view, Messages& messages)
    : m_link(link),
      m_commands(commands),
      m_view(view),
      m_messages(messages)
{
}

void StartUp::run(From from)
{
    using Phase = PortChoice::StartUpPhase;
    PortChoice& choice = m_link.choice();
    m_running = true;
    // After a port choice the settings are still missing: the port opens with the option just
    // chosen, applied in full.
    choice.setStartUpPhase(from == From::PortChoice ? Phase::Configuring : Phase::Running);
    if (onRunning)
        onRunning(true);
    const auto end = [this, &choice] {
        if (choice.startUpPhase() != Phase::SettingsMissing)
            choice.setStartUpPhase(Phase::Over);
        m_running = false;
        if (onRunning)
            onRunning(false);
    };

    if (from == From::Prompt) {
        m_messages.inform(
            QStringLiteral("Connect the PC to the CBOX, power-on it and click on OK when the CBOX is ready"));
        m_link.port().discard();
        choice.setStartUpPhase(Phase::Configuring);
        m_settingsMissing = !m_link.LOAD_SETTINGS();
        if (m_settingsMissing) {
            // For the rest of the run the port comes from the options, configured in full.
            choice.setStartUpPhase(Phase::SettingsMissing);
            return end();
        }
        for (int n = 1; n <= 4; ++n)
            m_view.setChecked(portOption(n), choice.number() == n);
    }
    m_link.OPEN_PORT();
    choice.setStartUpPhase(Phase::Running);
    m_settingsMissing = false;
    if (m_commands.CMD_S() || m_commands.CMD_VERSION())
        return end();
    m_commands.CMD_READ_PARAMS_FILLING_PANEL();
    end();
}
