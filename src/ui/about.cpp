// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/about.h"

#include "rotor/version.h"
#include "serial/port_devices.h"
#include "serial/serial_link.h"
#include "ui/dialogs.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>

void addHelpItems(QMenu* help, Dialogs& dialogs, const SerialLink& link)
{
    QAction* about = help->addAction(QStringLiteral("&About rotor"));
    about->setObjectName(QStringLiteral("action_about"));
    about->setMenuRole(QAction::AboutRole);
    QObject::connect(about, &QAction::triggered, about,
                     [&dialogs, &link] { dialogs.about(QStringLiteral("About rotor"), aboutText(link)); });
}

QString aboutText(const SerialLink& link)
{
    const QFileInfo settings(link.choice().settingsPath());
    QStringList lines{
        QStringLiteral("rotor %1").arg(QStringLiteral(ROTOR_VERSION)),
        QStringLiteral("Qt %1 (built with %2)").arg(QString::fromLatin1(qVersion()), QStringLiteral(QT_VERSION_STR)),
        QString(),
        QStringLiteral("Configuration folder: %1").arg(QDir::toNativeSeparators(settings.absolutePath())),
        QStringLiteral("Settings file: %1%2")
            .arg(QDir::toNativeSeparators(settings.absoluteFilePath()),
                 settings.exists() ? QString() : QStringLiteral(" (not written yet)")),
    };
    if (hostPlatform() == Platform::Posix)
        lines << QStringLiteral("Port links: %1").arg(link.choice().linksFolder());
    return lines.join(QLatin1Char('\n'));
}
