// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/test_window.h"

#include "network/network_settings.h"
#include "protocol/set_panel_entries.h"
#include "ui/colours.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QTcpServer>

TestWindow::TestWindow(int periodMs) : window(std::make_unique<MainWindow>(port, messages, periodMs))
{
    window->settingsFile().setPath(settingsDir.filePath(QStringLiteral("rotor.ini")));
    window->setDialogs(&dialogs);
}

QStringList TestWindow::disabled(const QStringList& names) const
{
    QStringList off;
    for (const QString& name : names)
        if (!button(name)->isEnabled())
            off << name;
    return off;
}

QColor TestWindow::colour(const QString& buttonName) const { return colours::buttonColour(button(buttonName)); }

QColor TestWindow::background(const QString& name) const { return colours::background(find(name)); }

QString TestWindow::backgroundName(const QString& name) const
{
    const QColor colour = background(name);
    if (colour == colours::invalidRed)
        return QStringLiteral("red");
    if (colour == colours::window())
        return QStringLiteral("window");
    return colour.name();
}

quint16 TestWindow::serveNetwork()
{
    quint16 port = 0;
    {
        QTcpServer probe;
        if (probe.listen(QHostAddress::LocalHost))
            port = probe.serverPort();
    }
    dialogs.networks = {NetworkSettings{true, QStringLiteral("127.0.0.1"), port}};
    window->findChild<QAction*>(QStringLiteral("network_control"))->trigger();
    return port;
}

QString TestWindow::statusBar() const { return find<QLabel>(QStringLiteral("status_exchange"))->text(); }

QStringList TestWindow::setPanel() const
{
    QStringList state;
    for (const SetPanelEntry& entry : setPanelEntries)
        state << fieldName(entry.field) + QLatin1Char('=')
                     + (entry.text ? window->text(entry.field) : QString::number(window->isChecked(entry.field)));
    return state;
}

bool TestWindow::writeSettings(const QByteArray& contents) const
{
    QFile file(window->link().choice().settingsPath());
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

QByteArray TestWindow::settingsBytes() const
{
    QFile file(window->link().choice().settingsPath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
}
