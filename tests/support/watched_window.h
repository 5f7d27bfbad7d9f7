// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window on a watched port, with recorded messages and a short reply period (no dialog
// seam: these tests open no file dialog).

#include "support/test_window.h"
#include "support/watched_port.h"

struct WatchedWindow {
    explicit WatchedWindow(int periodMs = TestWindow::replyPeriodMs);

    QAbstractButton* button(const QString& name) const;
    QLineEdit* edit(const QString& name) const;
    void click(const QString& name) const;

    QTemporaryDir settingsDir;
    WatchedPort port;
    RecordingMessages messages;
    std::unique_ptr<MainWindow> window;
};
