// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/port_discovery.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <algorithm>

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
