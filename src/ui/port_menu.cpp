// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/port_menu.h"

#include "protocol/exchange_lock.h"
#include "protocol/session.h"
#include "protocol/session_observer.h"
#include "protocol/view.h"
#include "serial/cbox_probe.h"
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
    QAction* find = port->addAction(QStringLiteral("&Find the CBOX…"));
    find->setObjectName(QStringLiteral("action_find_cbox"));
    find->setStatusTip(QStringLiteral("Send the status query to every serial port and see where the CBOX answers"));
    connect(find, &QAction::triggered, this, [this] { findCbox(); });
    // Links may be changed from outside (by hand, by the simulator): the hints are read again
    // whenever the operator looks at the Port menu.
    connect(port, &QMenu::aboutToShow, this, [this] { refreshPortOptionHints(m_session.link(), m_controls); });

    refreshPortOptionHints(m_session.link(), m_controls);

    // An option runs its choice whenever it becomes selected, by the mouse, the keyboard or an
    // assistive tool's toggle, and on a click while already selected; never twice for one click.
    // The link is told of every change of selection, for the opens that take the port from the
    // options.
    m_session.link().choice().setSelectedOption(selectedOption());
    for (int n = 1; n <= 4; ++n) {
        auto* option = m_controls.control<QAbstractButton>(portOption(n));
        connect(option, &QAbstractButton::toggled, this, [this, n](bool selected) {
            SerialLink& link = m_session.link();
            if (!selected) {
                link.choice().setSelectedOption(selectedOption());
                return;
            }
            m_optionJustSelected = true;
            QTimer::singleShot(0, this, [this] { m_optionJustSelected = false; });
            link.SELECT_PORT(n);
            if (SessionObserver* observer = m_view.sessionObserver())
                observer->portInUse(link.choice().number(), link.choice().device());
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
    const QString linksFolder = link.choice().linksFolder();
    const int option = link.choice().selectedOption();
    // The chooser starts with what the port in question opens now.
    const int shown = platform == Platform::Windows ? int(link.choice().number()) : (option >= 1 ? option : 1);
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
    return assign(assignDevice(*typed, platform, option, byIdNames()));
}

bool PortMenu::assign(const PortAssignment& assignment)
{
    SerialLink& link = m_session.link();
    // A refused name, or a link or settings file that could not be written, changes nothing.
    QString error = assignment.error;
    if (error.isEmpty())
        applyAssignment(assignment, link.choice().settingsPath(), link.choice().linksFolder(), &error);
    if (!error.isEmpty()) {
        m_messages.inform(error);
        return false;
    }

    // As a click on a COM option does: the number for this run, the port configured for it. An
    // open port keeps its line (the monitor's) until it is closed; the next open takes the new one.
    const int n = assignment.portNumber;
    link.choice().setNumber(n);
    link.port().applyLineSettings();
    for (int i = 1; i <= 4; ++i)
        m_view.setChecked(portOption(i), i == n);
    refreshPortOptionHints(link, m_controls);
    return true;
}

void PortMenu::findCbox()
{
    SerialLink& link = m_session.link();
    ExchangeLock& lock = m_session.lock();
    // The tool's own exchange or the monitor has the CBOX's line open: a query now would land in it.
    if (m_session.startUp().running() || lock.busy() || m_view.monitorState() != MonitorState::Idle) {
        m_messages.inform(QStringLiteral("The CBOX cannot be searched for while an exchange or the monitor runs: "
                                         "wait for it to end, or stop the monitor, then try again."));
        return;
    }
    if (!m_messages.askYesNoWithDetails(
            QStringLiteral("Send a short query to each serial port to find the CBOX?"), QStringLiteral("Find the CBOX"),
            QStringLiteral("rotor sends the status query \"?\" to every serial port of this machine that no other "
                           "program uses, all at once, and listens for at most 4 seconds. Opening a port may change "
                           "its control lines (DTR, RTS), which on some equipment keys a transmitter or resets a "
                           "board.")))
        return;

    SystemPortDiscovery system;
    QStringList devices;
    for (const SerialPortEntry& port : knownPorts(m_discovery ? *m_discovery : system, link.choice().linksFolder()))
        devices << port.device;
    if (devices.isEmpty()) {
        m_messages.inform(QStringLiteral("No serial port found: plug in the adapter, or type its device in "
                                         "Port > Choose serial port\u2026"));
        return;
    }

    // Run as an exchange, so that no other click sends meanwhile; a stop lets go of every port
    // first and then goes out on its own line at once.
    CboxProbe probe;
    QList<ProbeOutcome> outcomes;
    lock.run([&] {
        lock.beforeStop = [&probe] { probe.cancel(); };
        outcomes = probe.run(devices);
        lock.beforeStop = nullptr;
    });
    QStringList listing;
    const ProbeOutcome* found = nullptr;
    for (const ProbeOutcome& outcome : std::as_const(outcomes)) {
        if (outcome.kind == ProbeOutcome::Kind::Cancelled)
            return;  // a stop went out instead: it says what it came to
        listing << QStringLiteral("%1: %2").arg(shortPortName(outcome.device), outcomeText(outcome));
        if (!found && outcome.kind == ProbeOutcome::Kind::Found)
            found = &outcome;
    }
    if (!found) {
        m_messages.informWithDetails(QStringLiteral("No CBOX answered."), listing.join(QLatin1Char('\n')));
        return;
    }
    const PortAssignment assignment =
        assignDevice(found->device, hostPlatform(), link.choice().selectedOption(), byIdNames());
    if (!assignment.error.isEmpty()) {
        m_messages.informWithDetails(QStringLiteral("The CBOX answered on %1.").arg(shortPortName(found->device)),
                                     listing.join(QLatin1Char('\n')));
        return;
    }
    if (m_messages.askYesNoWithDetails(QStringLiteral("The CBOX answered on %1. Make it COM port %2?")
                                           .arg(shortPortName(found->device))
                                           .arg(assignment.portNumber),
                                       QStringLiteral("Find the CBOX"), listing.join(QLatin1Char('\n'))))
        assign(assignment);
}

void PortMenu::afterStartUp(const std::function<void()>& startUpAfterPortChoice)
{
    const SerialLink& link = m_session.link();
    refreshPortOptionHints(link, m_controls);
    // Only a missing file means a first start: a file that is there but unusable was written by
    // someone, and the operator is the one to mend it (Port > Choose serial port… rewrites it).
    if (!m_session.startUp().settingsMissing() || QFileInfo::exists(link.choice().settingsPath()))
        return;
    if (!choosePort(true))
        return;
    startUpAfterPortChoice();
}

void refreshPortOptionHints(const SerialLink& link, const Controls& controls)
{
    const QString linksFolder = link.choice().linksFolder();
    for (int n = 1; n <= 4; ++n) {
        auto* option = controls.control<QAbstractButton>(portOption(n));
        const QString device = portDevice(n, hostPlatform(), linksFolder);
        const QString hint = device.isEmpty() ? portWithoutDevice(n, hostPlatform(), linksFolder)
                                              : QStringLiteral("Port %1 opens %2").arg(n).arg(device);
        option->setToolTip(hint);
        option->setAccessibleDescription(hint);
    }
}
