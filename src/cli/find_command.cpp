// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/find_command.h"

#include "cli/console_messages.h"
#include "serial/cbox_probe.h"
#include "serial/port_devices.h"
#include "serial/port_discovery.h"
#include "storage/settings_file.h"

#include <QDir>
#include <algorithm>

namespace {

enum { Found = 0, NoneFound = 1 };

QString linksFolder() { return portLinksFolder(settingsFilePath()); }

// Rows of columns, each column as wide as its widest cell, two blanks between them.
QString table(const QList<QStringList>& rows)
{
    QList<qsizetype> widths;
    for (const QStringList& row : rows)
        for (qsizetype i = 0; i < row.size(); ++i) {
            if (widths.size() <= i)
                widths.append(0);
            widths[i] = std::max(widths[i], row[i].size());
        }
    QString out;
    for (const QStringList& row : rows) {
        QString line;
        for (qsizetype i = 0; i < row.size(); ++i)
            line += i + 1 < row.size() ? row[i].leftJustified(widths[i] + 2) : row[i];
        out += line + QLatin1Char('\n');
    }
    return out;
}

QString native(const QString& device) { return QDir::toNativeSeparators(shortPortName(device)); }

}  // namespace

int runFind(const QStringList& devices)
{
    QStringList targets = devices;
    if (targets.isEmpty()) {
        SystemPortDiscovery discovery;
        for (const SerialPortEntry& port : knownPorts(discovery, linksFolder()))
            targets << port.device;
    }
    if (targets.isEmpty()) {
        printError(QStringLiteral("No serial port found: plug in the adapter, or name the device (rotor find "
                                  "/dev/ttyUSB0)."));
        return NoneFound;
    }
    CboxProbe probe;
    const QList<ProbeOutcome> outcomes = probe.run(targets);
    QList<QStringList> rows;
    bool found = false;
    for (const ProbeOutcome& outcome : outcomes) {
        rows.append({native(outcome.device), outcomeText(outcome)});
        found = found || outcome.kind == ProbeOutcome::Kind::Found;
    }
    printOut(table(rows));
    return found ? Found : NoneFound;
}

int runPorts()
{
    SystemPortDiscovery discovery;
    const QList<SerialPortEntry> ports = knownPorts(discovery, linksFolder());
    QList<QStringList> rows{{QStringLiteral("DEVICE"), QStringLiteral("STABLE NAME"), QStringLiteral("DESCRIPTION"),
                             QStringLiteral("COM"), QStringLiteral("IN USE")}};
    const auto orDash = [](const QString& text) { return text.isEmpty() ? QStringLiteral("-") : text; };
    for (const SerialPortEntry& port : ports) {
        QStringList numbers;
        for (const int n : portNumbersOf(port.device, hostPlatform(), linksFolder()))
            numbers << QString::number(n);
        rows.append({native(port.device), orDash(port.byIdName), orDash(port.description),
                     orDash(numbers.join(QLatin1Char(','))),
                     lockedByAnotherProgram(port.device) ? QStringLiteral("yes") : QStringLiteral("no")});
    }
    if (ports.isEmpty())
        printError(QStringLiteral("No serial port found."));
    else
        printOut(table(rows));
    return 0;
}
