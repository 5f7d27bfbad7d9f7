// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/port_menu.h"

#include "protocol/session.h"
#include "protocol/session_observer.h"
#include "protocol/view.h"
#include "serial/messages.h"
#include "serial/port_devices.h"
#include "storage/port_assignment.h"
#include "serial/port_discovery.h"
#include "ui/controls.h"
#include "ui/dialogs.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QTimer>

PortMenu::PortMenu(const Uses& uses, QMenu* port, QObject* parent)
    : QObject(parent),
      m_session(uses.session),
      m_view(uses.view),
      m_controls(uses.controls),
      m_messages(uses.messages),
      m_dialogs(uses.dialogs)
{
    QAction* choose = port->addAction(QStringLiteral("&Choose serial port\u2026"));
    choose->setObjectName(QStringLiteral("action_choose_port"));
    choose->setStatusTip(QStringLiteral("Assign the serial port to which the CBOX is connected"));
    connect(choose, &QAction::triggered, this, [this] { choosePort(); });
    // Links may be changed from outside (by hand, by the simulator): the hints are read again
    // whenever the operator looks at the Port menu.
    connect(port, &QMenu::aboutToShow, this, [this] { refreshPortOptionHints(m_session.link(), m_controls); });

    refreshPortOptionHints(m_session.link(), m_controls);

    // An option runs its choice whenever it becomes selected, by the mouse, the keyboard or an
    // assistive tool's toggle, and on a click while already selected; never twice for one click.
    // The link is told of every change of selection, for the opens that take the port from the
    // options.
    m_session.link().setSelectedOption(selectedOption());
    for (int n = 1; n <= 4; ++n) {
        auto* option = m_controls.control<QAbstractButton>(portOption(n));
        connect(option, &QAbstractButton::toggled, this, [this, n](bool selected) {
            SerialLink& link = m_session.link();
            if (!selected) {
                link.setSelectedOption(selectedOption());
                return;
            }
            m_optionJustSelected = true;
            QTimer::singleShot(0, this, [this] { m_optionJustSelected = false; });
            link.SELECT_PORT(n);
            if (SessionObserver* observer = m_view.sessionObserver())
                observer->portInUse(link.portNumber(), portDevice(link.portNumber(), hostPlatform(),
                                                                  portLinksFolder(link.settingsPath())));
        });
        connect(option, &QAbstractButton::clicked, this, [this, n] {
            if (!m_optionJustSelected)
                m_session.link().SELECT_PORT(n);
        });
    }
}

int PortMenu::selectedOption() const
{
    for (int n = 1; n <= 4; ++n)
        if (m_view.isChecked(portOption(n)))
            return n;
    return 0;
}

bool PortMenu::choosePort(bool firstStart)
{
    SerialLink& link = m_session.link();
    // While the start-up sequence runs the port is not to be chosen (its panel is off too).
    if (m_session.startUp().running()) {
        QApplication::beep();
        return false;
    }
    const Platform platform = hostPlatform();
    const QString linksFolder = portLinksFolder(link.settingsPath());
    const int option = link.selectedOption();
    // The chooser starts with what the port in question opens now.
    const int shown = platform == Platform::Windows ? int(link.portNumber()) : (option >= 1 ? option : 1);
    const QString current = shown >= 1 ? portDevice(shown, platform, linksFolder) : QString();

    // On Windows the name typed decides the port number; elsewhere the selected option does.
    QString intro;
    if (firstStart)
        intro =
            platform == Platform::Windows
                ? QStringLiteral("rotor has no serial port yet: choose the CBOX's adapter, or type its COM port name.")
                : QStringLiteral("rotor has no serial port yet: choose the CBOX's adapter; it becomes COM port %1.")
                      .arg(option >= 1 ? option : 1);
    const std::optional<QString> typed = m_dialogs.chooseSerialPort(current, intro);
    if (!typed)
        return false;
    const PortAssignment assignment = assignDevice(*typed, platform, option, byIdNames());
    // A refused name, or a link or settings file that could not be written, changes nothing.
    QString error = assignment.error;
    if (error.isEmpty())
        applyAssignment(assignment, link.settingsPath(), linksFolder, &error);
    if (!error.isEmpty()) {
        m_messages.inform(error);
        return false;
    }

    // As a click on a COM option does: the number for this run, the port configured for it. An
    // open port keeps its line (the monitor's) until it is closed; the next open takes the new one.
    const int n = assignment.portNumber;
    link.setPortNumber(qint16(n));
    link.port().setPortNumber(n);
    link.port().applyLineSettings();
    for (int i = 1; i <= 4; ++i)
        m_view.setChecked(portOption(i), i == n);
    refreshPortOptionHints(link, m_controls);
    return true;
}

void PortMenu::afterStartUp(const std::function<void()>& startUpAfterPortChoice)
{
    const SerialLink& link = m_session.link();
    refreshPortOptionHints(link, m_controls);
    // Only a missing file means a first start: a file that is there but unusable was written by
    // someone, and the operator is the one to mend it (Port > Choose serial port… rewrites it).
    if (!m_session.startUp().settingsMissing() || QFileInfo::exists(link.settingsPath()))
        return;
    if (!choosePort(true))
        return;
    startUpAfterPortChoice();
}

void refreshPortOptionHints(const SerialLink& link, const Controls& controls)
{
    const QString linksFolder = portLinksFolder(link.settingsPath());
    for (int n = 1; n <= 4; ++n) {
        auto* option = controls.control<QAbstractButton>(portOption(n));
        const QString device = portDevice(n, hostPlatform(), linksFolder);
        const QString hint = device.isEmpty() ? portWithoutDevice(n, hostPlatform(), linksFolder)
                                              : QStringLiteral("Port %1 opens %2").arg(n).arg(device);
        option->setToolTip(hint);
        option->setAccessibleDescription(hint);
    }
}
