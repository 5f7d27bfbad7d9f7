// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/port_devices.h"

#include <QDir>
#include <QFileInfo>

QString portLinksFolder(const QString& settingsPath)
{
    return QFileInfo(settingsPath).absolutePath() + QStringLiteral("/ports");
}

QString portLinkPath(const QString& linksFolder, int n) { return linksFolder + QStringLiteral("/com%1").arg(n); }

QString portDevice(int n, Platform platform, const QString& linksFolder)
{
    if (platform == Platform::Windows)
        return QStringLiteral("COM%1").arg(n);
    const QFileInfo link(portLinkPath(linksFolder, n));
    if (link.isSymLink())
        return link.symLinkTarget();
    if (link.exists())
        return {};  // something else stands where the link belongs: no device
    return QStringLiteral("/dev/ttyS%1").arg(n - 1);
}

QList<int> portNumbersOf(const QString& device, Platform platform, const QString& linksFolder)
{
    const auto real = [platform](const QString& name) {
        const QString canonical = platform == Platform::Posix ? QFileInfo(name).canonicalFilePath() : QString();
        return canonical.isEmpty() ? name.toUpper() : canonical;
    };
    const QString wanted = real(device);
    QList<int> numbers;
    for (int n = 1; n <= 255; ++n)
        if (const QString opened = portDevice(n, platform, linksFolder); !opened.isEmpty() && real(opened) == wanted)
            numbers.append(n);
    return numbers;
}

QString portWithoutDevice(int n, Platform platform, const QString& linksFolder)
{
    if (n < 1)
        return QStringLiteral("No port is chosen yet: choose one with Port > Choose serial port\u2026");
    if (platform == Platform::Windows)
        return {};
    const QFileInfo link(portLinkPath(linksFolder, n));
    if (link.isSymLink() || !link.exists())
        return {};
    const QString what = link.isDir()    ? QStringLiteral("a folder")
                         : link.isFile() ? QStringLiteral("a file")
                                         : QStringLiteral("a special file");
    return QStringLiteral("%1 is %2, not a link to a device, so port %3 opens nothing. Move it away, then choose the "
                          "device with Port > Choose serial port\u2026")
        .arg(QDir::toNativeSeparators(link.filePath()), what)
        .arg(n);
}

QString portOpenFailureText(const QString& device, PortOpenFailure failure, const QString& systemText,
                            Platform platform)
{
    // Windows answers "access denied" for a port that another program holds open.
    if (failure == PortOpenFailure::PermissionDenied && platform == Platform::Windows)
        failure = PortOpenFailure::InUse;

    QString reason;
    switch (failure) {
    case PortOpenFailure::None: return {};
    case PortOpenFailure::NoSuchDevice:
        reason = QStringLiteral("No such device: is the adapter plugged in? If it is, choose its port with "
                                "Port > Choose serial port\u2026");
        break;
    case PortOpenFailure::PermissionDenied:
        reason = QStringLiteral("Permission denied: you may not use this device. Add yourself to the dialout "
                                "group (sudo usermod -aG dialout $USER), then log out and in again.");
        break;
    case PortOpenFailure::InUse:
        reason = QStringLiteral("The device is in use by another program: close it there, then try again.");
        break;
    case PortOpenFailure::Other:
        reason = systemText.isEmpty() ? QStringLiteral("The system gave no reason.")
                                      : QStringLiteral("The system says: %1").arg(systemText);
        break;
    }
    if (device.isEmpty())
        return reason;
    return QStringLiteral("Device tried: %1\n%2").arg(device, reason);
}
