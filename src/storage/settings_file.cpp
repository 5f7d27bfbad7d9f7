// SPDX-License-Identifier: GPL-3.0-or-later
#include "storage/settings_file.h"

#include "serial/port_devices.h"
#include "storage/atomic_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <cmath>

QString configFolder()
{
#ifdef Q_OS_WIN
    return QStringLiteral("c:/");
#else
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/rotor");
#endif
}

QString settingsFilePath()
{
#ifdef Q_OS_WIN
    return QStringLiteral("c:\\rotor.ini");
#else
    return configFolder() + QStringLiteral("/rotor.ini");
#endif
}

std::optional<qint16> parsePortNumber(const QByteArray& contents)
{
    // The first line, character by character: a CR is dropped with the character after it;
    // the line ends after an LF or at the end of the file.
    QByteArray line;
    for (qsizetype i = 0; i < contents.size(); ++i) {
        const char c = contents.at(i);
        if (c == '\r') {
            ++i;
            if (i < contents.size() && contents.at(i) == '\n')
                break;
            continue;
        }
        line.append(c);
        if (c == '\n')
            break;
    }
    static const QRegularExpression leadingNumber(QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?"));
    const QString text = QString::fromLatin1(line).trimmed();
    const auto match = leadingNumber.match(text);
    if (!match.hasMatch())
        return qint16(0);
    const double value = std::nearbyint(match.captured(0).toDouble());  // halves to even
    if (!(value >= -32768.0 && value <= 32767.0))
        return std::nullopt;
    return static_cast<qint16>(value);
}

std::optional<qint16> readPortNumber(const QString& path)
{
    // Only a regular file (links followed) is read: opening a FIFO or a device would wait for a
    // writer that never comes.
    if (!QFileInfo(path).isFile())
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    // Only the first line counts; a settings file is never large.
    return parsePortNumber(file.read(4096));
}

bool writePortNumber(const QString& path, int n, QString* error)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    return writeFileAtomically(path, " " + QByteArray::number(n) + " \r\n", error);
}

QString portDeviceName(int n) { return portDevice(n, hostPlatform(), portLinksFolder(settingsFilePath())); }
