// SPDX-License-Identifier: GPL-3.0-or-later
#include "network/network_settings.h"

#include "storage/atomic_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>

QString networkSettingsPath(const QString& settingsPath)
{
    return QFileInfo(settingsPath).dir().filePath(QStringLiteral("network.ini"));
}

NetworkSettings loadNetworkSettings(const QString& path)
{
    NetworkSettings settings;
    QFile file(path);
    // Only a regular file is read: a FIFO put in its place must not block the window's start.
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return settings;
    for (const QByteArray& raw : file.read(4096).split('\n')) {
        const QString line = QString::fromLatin1(raw).trimmed();
        const QString key = line.section(QLatin1Char('='), 0, 0).trimmed();
        const QString value = line.section(QLatin1Char('='), 1).trimmed();
        bool ok = false;
        if (key == QLatin1String("enabled"))
            settings.enabled = value == QLatin1String("1");
        else if (key == QLatin1String("address") && !QHostAddress(value).isNull())
            settings.address = value;
        else if (const int port = value.toInt(&ok); key == QLatin1String("port") && ok && port > 0 && port < 65536)
            settings.port = port;
    }
    return settings;
}

bool saveNetworkSettings(const QString& path, const NetworkSettings& settings, QString* error)
{
    QDir().mkpath(QFileInfo(path).path());
    const QString text = QStringLiteral("enabled=%1\naddress=%2\nport=%3\n")
                             .arg(settings.enabled ? 1 : 0)
                             .arg(settings.address)
                             .arg(settings.port);
    return writeFileAtomically(path, text.toLatin1(), error);
}
