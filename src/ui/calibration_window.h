// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The window `CALIBRATION`: the four calibration commands and the two values they send. It is
// opened without blocking the main window, and closing it discards its entries: shown again, it
// starts from its first texts and tints. The main window owns it for the whole run, so closing
// it while its exchange waits frees nothing under that exchange.

#include <QList>
#include <QPoint>
#include <QRect>
#include <QPalette>
#include <QString>
#include <QWidget>
#include <functional>

class Commands;
class ExchangeLock;
class QLineEdit;

class CalibrationWindow : public QWidget {
    Q_OBJECT
public:
    // Its buttons run their commands under `lock`; Esc runs `stopFromKeyboard`, as in the main
    // window. Whoever made it finds its controls.
    CalibrationWindow(ExchangeLock& lock, Commands& commands, std::function<void()> stopFromKeyboard);

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    struct EntryStart {
        QLineEdit* entry;
        QString text;
        QPalette palette;
    };

    ExchangeLock& m_lock;
    Commands& m_commands;
    std::function<void()> m_stopFromKeyboard;
    QList<EntryStart> m_entriesAtStart;
    bool m_closed = false;
};

// Where the calibration window's frame (of size `frame`) goes when it first opens: right of the
// main window's frame `main` when it fits in `available`, else left of it, else as far right as
// the screen allows (over the main window); level with the main window's top, kept on the screen.
QPoint besideMainWindow(const QRect& main, const QSize& frame, const QRect& available);

// Moves `calibration` beside `main` on the main window's screen.
void placeBesideMainWindow(QWidget* calibration, const QWidget* main);
