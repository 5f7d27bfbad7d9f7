// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/calibration_window.h"

#include "protocol/commands.h"
#include "protocol/entry_checks.h"
#include "protocol/exchange_lock.h"
#include "ui/colours.h"
#include "ui/refused_click.h"
#include "ui/tooltips.h"
#include "ui/window_layout.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QLineEdit>
#include <QScreen>

#include <algorithm>
#include <QShortcut>

CalibrationWindow::CalibrationWindow(ExchangeLock& lock, Commands& commands, std::function<void()> stopFromKeyboard)
    : QWidget(nullptr),
      m_lock(lock),
      m_commands(commands),
      m_stopFromKeyboard(std::move(stopFromKeyboard))
{
    buildCalibrationControls(this);
    setWindowIcon(rotorIcon());
    applyTooltips(this);

    const auto wire = [this](const char* name, void (Commands::*command)()) {
        auto* button = findChild<QAbstractButton*>(QString::fromLatin1(name));
        connect(button, &QAbstractButton::clicked, this, [this, command, button] {
            if (!m_lock.run([this, command] { (m_commands.*command)(); }))
                refuseClick(button);
        });
    };
    wire("calib_def", &Commands::CMD_CALDEF);
    wire("calib360", &Commands::CMD_CAL360);
    wire("calib", &Commands::CMD_CALANGLE);
    wire("write_factor", &Commands::CMD_CALFACTOR);

    const auto check = [this](Field field, bool (*valid)(QStringView)) {
        auto* entry = static_cast<QLineEdit*>(findChild<QWidget*>(fieldName(field)));
        m_entriesAtStart.append({entry, entry->text(), entry->palette()});
        connect(entry, &QLineEdit::textChanged, this, [entry, valid](const QString& text) {
            colours::paintBackground(entry, valid(text) ? colours::window() : colours::invalidRed);
        });
    };
    auto* stopKey = new QShortcut(QKeySequence(Qt::Key_Escape), this, [this] { m_stopFromKeyboard(); });
    stopKey->setContext(Qt::WindowShortcut);

    check(Field::cal_factor, calibrationFactorValid);
    check(Field::calib_angle, calibrationAngleValid);
}

void CalibrationWindow::closeEvent(QCloseEvent* event)
{
    m_closed = true;
    event->accept();
}

void CalibrationWindow::showEvent(QShowEvent* event)
{
    if (m_closed) {
        m_closed = false;
        // The text first: its check would paint the entry; the first tint goes back after it.
        for (const EntryStart& start : m_entriesAtStart) {
            start.entry->setText(start.text);
            start.entry->setPalette(start.palette);
        }
    }
    QWidget::showEvent(event);
}

QPoint besideMainWindow(const QRect& main, const QSize& frame, const QRect& available)
{
    int x = main.right() + 1;
    if (x + frame.width() > available.right() + 1) {
        x = main.left() - frame.width();
        if (x < available.left())
            x = std::max(available.left(), available.right() + 1 - frame.width());
    }
    const int y = std::max(available.top(), std::min(main.top(), available.bottom() + 1 - frame.height()));
    return {x, y};
}

void placeBesideMainWindow(QWidget* calibration, const QWidget* main)
{
    const QScreen* screen = main->screen();
    if (!screen)
        return;
    // The calibration window is not shown yet: its frame is taken to be as thick as the main window's.
    const QRect mainFrame = main->frameGeometry();
    const QSize frame = calibration->size() + (mainFrame.size() - main->size());
    calibration->move(besideMainWindow(mainFrame, frame, screen->availableGeometry()));
}
