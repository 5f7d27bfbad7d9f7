// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/network_menu.h"

#include "protocol/session.h"
#include "serial/messages.h"
#include "ui/dialogs.h"
#include "ui/session_signals.h"

#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSpinBox>
#include <QStatusBar>

namespace {

// How long a failed request's line stays in the status bar.
constexpr int failureShownMs = 10000;

}  // namespace

NetworkMenu::NetworkMenu(const Uses& uses, QMenu* tools, QStatusBar* bar, QObject* parent)
    : QObject(parent),
      m_session(uses.session),
      m_messages(uses.messages),
      m_dialogs(uses.dialogs),
      m_exchanges(uses.session, uses.view),
      m_server(m_exchanges),
      m_bar(bar),
      m_label(new QLabel(bar))
{
    QAction* item = tools->addAction(tr("&Network control\u2026"), this, &NetworkMenu::configure);
    item->setObjectName(QStringLiteral("network_control"));
    m_label->setObjectName(QStringLiteral("status_network"));
    m_label->setAccessibleName(QStringLiteral("Network control"));
    m_label->hide();
    bar->addPermanentWidget(m_label);
    connect(&m_server, &RotatorServer::clientsChanged, this, &NetworkMenu::showStatus);
    connect(&m_exchanges, &NetworkExchanges::failed, bar,
            [bar](const QString& line) { bar->showMessage(line, failureShownMs); });
    // What the window reads and sends itself counts too: its readings for `p`, its stops and
    // go-tos for the repeated go-to.
    connect(&uses.news, &SessionSignals::status, &m_exchanges, &NetworkExchanges::notePosition);
    connect(&uses.news, &SessionSignals::firmware, &m_exchanges, &NetworkExchanges::noteFirmware);
    connect(&uses.news, &SessionSignals::targetGone, &m_exchanges, &NetworkExchanges::noteTargetGone);
    connect(&uses.news, &SessionSignals::target, &m_exchanges, &NetworkExchanges::noteTargetGone);
    connect(&uses.news, &SessionSignals::goTo, &m_exchanges, &NetworkExchanges::noteGoToAnswer);
}

void NetworkMenu::applyStored()
{
    QString error;
    if (!apply(loadNetworkSettings(networkSettingsPath(m_session.link().choice().settingsPath())), &error))
        m_bar->showMessage(error);
}

void NetworkMenu::configure()
{
    const std::optional<NetworkSettings> chosen = m_dialogs.chooseNetwork(m_settings);
    if (!chosen)
        return;
    QString error;
    if (!apply(*chosen, &error))
        m_messages.inform(error);
    const QString path = networkSettingsPath(m_session.link().choice().settingsPath());
    if (!saveNetworkSettings(path, *chosen, &error))
        m_messages.inform(QStringLiteral("The network settings could not be saved in %1: %2").arg(path, error));
}

bool NetworkMenu::apply(const NetworkSettings& settings, QString* error)
{
    m_settings = settings;
    m_server.close();
    bool listening = true;
    if (settings.enabled) {
        const QHostAddress address(settings.address);
        listening = !address.isNull() && m_server.listen(address, quint16(settings.port));
        if (!listening)
            *error = QStringLiteral("The network control cannot listen on %1:%2: %3")
                         .arg(settings.address)
                         .arg(settings.port)
                         .arg(address.isNull() ? QStringLiteral("not an address") : m_server.errorString());
    }
    showStatus();
    return listening;
}

void NetworkMenu::showStatus()
{
    m_label->setVisible(m_server.isListening());
    if (m_server.isListening())
        m_label->setText(m_server.statusText());
}

std::optional<NetworkSettings> DesktopDialogs::chooseNetwork(const NetworkSettings& current)
{
    QDialog dialog(m_parent);
    dialog.setWindowTitle(QStringLiteral("Network control"));
    auto* form = new QFormLayout(&dialog);
    auto* enabled = new QCheckBox(QStringLiteral("&Let tracking programs drive the rotor"), &dialog);
    enabled->setChecked(current.enabled);
    auto* address = new QLineEdit(current.address, &dialog);
    auto* port = new QSpinBox(&dialog);
    port->setRange(1, 65535);
    port->setValue(current.port);
    form->addRow(enabled);
    form->addRow(QStringLiteral("&Address:"), address);
    form->addRow(QStringLiteral("&Port:"), port);
    form->addRow(new QLabel(QStringLiteral("127.0.0.1 lets only programs on this computer in."), &dialog));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    form->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return NetworkSettings{enabled->isChecked(), address->text().trimmed(), port->value()};
}
