// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A main window on a fake port with recorded messages and a short reply period, for tests.

#include "support/fake_port.h"
#include "support/frames.h"
#include "support/recording_dialogs.h"
#include "support/recording_messages.h"
#include "ui/calibration_window.h"
#include "ui/main_window.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QTemporaryDir>
#include <memory>

struct TestWindow {
    // A short reply period keeps timeout paths fast; the program's own is 3300 ms.
    static constexpr int replyPeriodMs = 200;

    explicit TestWindow(int periodMs = replyPeriodMs) : window(std::make_unique<MainWindow>(port, messages, periodMs))
    {
        window->settingsFile().setPath(settingsDir.filePath(QStringLiteral("rotor.ini")));
        window->setDialogs(&dialogs);
    }

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

    QTemporaryDir settingsDir;
    FakePort port;
    RecordingMessages messages;
    RecordingDialogs dialogs;
    std::unique_ptr<MainWindow> window;
};
