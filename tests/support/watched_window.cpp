// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/watched_window.h"

WatchedWindow::WatchedWindow(int periodMs) : window(std::make_unique<MainWindow>(port, messages, periodMs))
{
    window->settingsFile().setPath(settingsDir.filePath(QStringLiteral("rotor.ini")));
}

QAbstractButton* WatchedWindow::button(const QString& name) const { return window->findChild<QAbstractButton*>(name); }

QLineEdit* WatchedWindow::edit(const QString& name) const { return window->findChild<QLineEdit*>(name); }

void WatchedWindow::click(const QString& name) const { button(name)->click(); }
