// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/port_discovery.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSerialPortInfo>
#include <algorithm>

#ifndef Q_OS_WIN
#include <cerrno>
#include <csignal>
#endif

QHash<QString, QString> byIdNames(const QString& folder)
{
    QHash<QString, QString> names;
    if (folder.isEmpty())
        return names;
    // Devices are neither files nor folders to QDir: System lists them, and the links to them.
    const QFileInfoList entries =
        QDir(folder).entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& entry : entries) {
        if (!entry.isSymLink())
            continue;
        const QString real = entry.canonicalFilePath();
        if (!real.isEmpty() && !names.contains(real))
            names.insert(real, entry.absoluteFilePath());
    }
    return names;
}

QString byIdNameOf(const QString& device, const QHash<QString, QString>& names)
{
    const QString real = QFileInfo(device).canonicalFilePath();
    return real.isEmpty() ? QString() : names.value(real);
}

bool isUsbAdapter(const SerialPortEntry& port)
{
    const QString device = QFileInfo(port.device).fileName();
    return port.usb || QFileInfo(port.byIdName).fileName().startsWith(QLatin1String("usb-"))
           || device.startsWith(QLatin1String("ttyUSB")) || device.startsWith(QLatin1String("ttyACM"));
}

QList<SerialPortEntry> knownPorts(const PortDiscovery& discovery, const QString& linksFolder)
{
    QList<SerialPortEntry> ports = discovery.ports();
    QStringList seen;
    for (const SerialPortEntry& port : std::as_const(ports))
        seen << QFileInfo(port.device).canonicalFilePath();
    const QFileInfoList links =
        QDir(linksFolder).entryInfoList({QStringLiteral("com*")}, QDir::AllEntries | QDir::System, QDir::Name);
    for (const QFileInfo& link : links) {
        const QString real = link.isSymLink() ? link.canonicalFilePath() : QString();
        if (real.isEmpty() || seen.contains(real))
            continue;
        seen << real;
        SerialPortEntry entry;
        entry.device = link.symLinkTarget();
        entry.description = QStringLiteral("(a port link)");
        ports.append(entry);
    }
    return ports;
}

bool lockedByAnotherProgram(const QString& device)
{
#ifdef Q_OS_WIN
    Q_UNUSED(device);
    return false;
#else
    // The name as QSerialPort and the UUCP convention write it: below /dev, slashes as underscores.
    QString name = QFileInfo(device).canonicalFilePath();
    if (name.isEmpty())
        return false;
    name.remove(QRegularExpression(QStringLiteral("^/dev/"))).replace(QLatin1Char('/'), QLatin1Char('_'));
    for (const char* folder : {"/var/lock", "/run/lock", "/var/lock/lockdev", "/var/spool/locks", "/var/spool/uucp",
                               "/etc/locks", "/tmp", "/var/tmp"}) {
        QFile lock(QLatin1String(folder) + QStringLiteral("/LCK..") + name);
        if (!lock.open(QIODevice::ReadOnly))
            continue;
        // Its first word is the owner's process id (in text, as both conventions write it).
        const qint64 pid = QString::fromLatin1(lock.read(64)).simplified().section(QLatin1Char(' '), 0, 0).toLongLong();
        if (pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM))
            return true;
    }
    return false;
#endif
}

QString shortPortName(const QString& device)
{
    return device.startsWith(QLatin1String("\\\\.\\")) ? device.mid(4) : device;
}

SystemPortDiscovery::SystemPortDiscovery(QString byIdFolder) : m_byIdFolder(std::move(byIdFolder)) {}

QList<SerialPortEntry> SystemPortDiscovery::ports() const
{
    const QHash<QString, QString> names = byIdNames(m_byIdFolder);
    QList<SerialPortEntry> list;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        list.append({info.systemLocation(), info.description(), info.manufacturer(), info.serialNumber(),
                     byIdNameOf(info.systemLocation(), names), info.hasVendorIdentifier()});
    }
    std::sort(list.begin(), list.end(),
              [](const SerialPortEntry& a, const SerialPortEntry& b) { return a.device < b.device; });
    return list;
}
