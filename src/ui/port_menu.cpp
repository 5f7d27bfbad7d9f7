// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/port_menu.h"

#include "serial/messages.h"
#include "storage/port_assignment.h"
#include "serial/port_discovery.h"
#include "ui/dialogs.h"
#include "ui/main_window.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMenu>

void addPortItems(MainWindow& window)
{
    QAction* choose = window.portMenu()->addAction(QStringLiteral("&Choose serial port\u2026"));
    choose->setObjectName(QStringLiteral("action_choose_port"));
    choose->setStatusTip(QStringLiteral("Assign the serial port to which the CBOX is connected"));
    QObject::connect(choose, &QAction::triggered, &window, [&window] { choosePort(window); });
    // Links may be changed from outside (by hand, by the simulator): the hints are read again
    // whenever the operator looks at the Port menu.
    QObject::connect(window.portMenu(), &QMenu::aboutToShow, &window, [&window] { refreshPortOptionHints(window); });

    refreshPortOptionHints(window);
}

bool choosePort(MainWindow& window, bool firstStart)
{
    SerialLink& link = window.link();
    // While the start-up sequence runs the port is not to be chosen (its panel is off too).
    if (window.session().startUp().running()) {
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
    const std::optional<QString> typed = window.dialogs().chooseSerialPort(current, intro);
    if (!typed)
        return false;
    const PortAssignment assignment = assignDevice(*typed, platform, option, byIdNames());
    // A refused name, or a link or settings file that could not be written, changes nothing.
    QString error = assignment.error;
    if (error.isEmpty())
        applyAssignment(assignment, link.settingsPath(), linksFolder, &error);
    if (!error.isEmpty()) {
        window.messages().inform(error);
        return false;
    }

    // As a click on a COM option does: the number for this run, the port configured for it. An
    // open port keeps its line (the monitor's) until it is closed; the next open takes the new one.
    const int n = assignment.portNumber;
    link.setPortNumber(qint16(n));
    link.port().setPortNumber(n);
    link.port().applyLineSettings();
    for (int i = 1; i <= 4; ++i)
        window.setChecked(portOption(i), i == n);
    refreshPortOptionHints(window);
    return true;
}

void afterStartUp(MainWindow& window)
{
    refreshPortOptionHints(window);
    // Only a missing file means a first start: a file that is there but unusable was written by
    // someone, and the operator is the one to mend it (Port > Choose serial port… rewrites it).
    if (!window.session().startUp().settingsMissing() || QFileInfo::exists(window.link().settingsPath()))
        return;
    if (!choosePort(window, true))
        return;
    window.startUpAfterPortChoice();
}

void refreshPortOptionHints(MainWindow& window)
{
    const QString linksFolder = portLinksFolder(window.link().settingsPath());
    for (int n = 1; n <= 4; ++n) {
        auto* option = window.control<QAbstractButton>(portOption(n));
        const QString device = portDevice(n, hostPlatform(), linksFolder);
        const QString hint = device.isEmpty() ? portWithoutDevice(n, hostPlatform(), linksFolder)
                                              : QStringLiteral("Port %1 opens %2").arg(n).arg(device);
        option->setToolTip(hint);
        option->setAccessibleDescription(hint);
    }
}
