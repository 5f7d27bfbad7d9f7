// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window on a watched, scripted port, with recorded messages and dialogs and a short
// reply period: the window every window test starts from.

#include "support/frames.h"
#include "support/recording_dialogs.h"
#include "support/recording_messages.h"
#include "support/watched_port.h"
#include "ui/calibration_window.h"
#include "ui/main_window.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QTemporaryDir>
#include <memory>

struct TestWindow {
    // A short reply period keeps timeout paths fast; the program's own is 3300 ms.
    static constexpr int replyPeriodMs = 200;
    // The buttons an exchange switches off together (all but the stops), and the main window's
    // other buttons.
    static inline const QStringList commandGroup{"write_mode", "read_info", "execute",  "cmd_monitor",
                                                 "fast_stop",  "soft_stop", "command_s"};
    static inline const QStringList otherButtons{"command_c", "command_qm", "command_v",
                                                 "calib",     "clr_reply",  "set_default"};

    explicit TestWindow(int periodMs = replyPeriodMs);

    // Turns the window's network control on, through its dialog, on a free loopback port; the port.
    quint16 serveNetwork();

    // A control of the main window, else of the calibration window when it is open.
    template <typename T = QWidget> T* find(const QString& name) const
    {
        if (auto* w = window->findChild<T*>(name))
            return w;
        if (window->calibrationWindow())
            return window->calibrationWindow()->findChild<T*>(name);
        return nullptr;
    }
    QAbstractButton* button(const QString& name) const { return find<QAbstractButton>(name); }
    QLineEdit* edit(const QString& name) const { return find<QLineEdit>(name); }
    void click(const QString& name) const { button(name)->click(); }
    // Those of the buttons `names` that are switched off.
    QStringList disabled(const QStringList& names) const;

    QColor colour(const QString& buttonName) const;     // a button's face
    QColor background(const QString& name) const;       // a field's background
    QString backgroundName(const QString& name) const;  // "red", "window" or the colour's own name
    QString statusBar() const;                          // the outcome of the last exchange in the status bar
    // The set panel in table order, "name=text" for its entries and "name=1" or "name=0" for its
    // boxes and options.
    QStringList setPanel() const;
    // The settings file that keeps the port choice: written whole (false when it cannot be), and
    // read back ("<none>" when there is none).
    bool writeSettings(const QByteArray& contents) const;
    QByteArray settingsBytes() const;

    QTemporaryDir settingsDir;
    WatchedPort port;
    RecordingMessages messages;
    RecordingDialogs dialogs;
    std::unique_ptr<MainWindow> window;
};
