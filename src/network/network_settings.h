// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Whether the window serves tracking programs, and where: network.ini beside rotor.ini, a few
// "key=value" lines, written whole through the one atomic writer.
//   enabled=1
//   address=127.0.0.1
//   port=4533

#include <QString>

struct NetworkSettings {
    bool enabled = false;
    QString address = QStringLiteral("127.0.0.1");  // loopback unless the operator names another
    int port = 4533;

    bool operator==(const NetworkSettings&) const = default;
};

// network.ini in the folder of `settingsPath` (the path of rotor.ini).
QString networkSettingsPath(const QString& settingsPath);
// The settings in `path`; the defaults (off) for a file that is missing or holds no valid line.
NetworkSettings loadNetworkSettings(const QString& path);
// False with the reason in `error` when the file could not be written; the old one then stays.
bool saveNetworkSettings(const QString& path, const NetworkSettings& settings, QString* error);
