// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/calibration_window.h"

#include "protocol/entry_checks.h"
#include "ui/colours.h"
#include "ui/main_window.h"
#include "ui/refused_click.h"
#include "ui/window_layout.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QLineEdit>
#include <QShortcut>

CalibrationWindow::CalibrationWindow(MainWindow& main) : QWidget(nullptr), m_main(main)
{
    buildCalibrationControls(this);
    main.resolveControls(this, true);

    const auto wire = [this](const char* name, void (Commands::*command)()) {
        auto* button = findChild<QAbstractButton*>(QString::fromLatin1(name));
        connect(button, &QAbstractButton::clicked, this, [this, command, button] {
            if (!m_main.exchangeLock().run([this, command] { (m_main.commands().*command)(); }))
                refuseClick(button);
        });
    };
    wire("calib_def", &Commands::CMD_CALDEF);
    wire("calib360", &Commands::CMD_CAL360);
    wire("calib", &Commands::CMD_CALANGLE);
    wire("write_factor", &Commands::CMD_CALFACTOR);

    const auto check = [this](Field field, bool (*valid)(QStringView)) {
        auto* entry = m_main.control<QLineEdit>(field);
        m_entriesAtStart.append({entry, entry->text(), entry->palette()});
        connect(entry, &QLineEdit::textChanged, this, [entry, valid](const QString& text) {
            colours::paintBackground(entry, valid(text) ? colours::window() : colours::invalidRed);
        });
    };
    auto* stopKey = new QShortcut(QKeySequence(Qt::Key_Escape), this, [this] { m_main.stopFromKeyboard(); });
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
