// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What each command button, entry, check box and option of the two windows does or holds, as its
// tooltip: one table for both windows, applied once a window is built; an editable entry's text
// is its accessible description too, on one line. The read-only fields have none of their own:
// theirs shows a value too wide for the field (MainWindow::setText). The COM options name the
// device they open (refreshPortOptionHints).

#include <QString>

class QWidget;

// Gives the controls of the window `rotor` or `CALIBRATION` (by the window's object name) their
// tooltips. A control of the table missing from the window ends the program.
void applyTooltips(QWidget* window);

// The tooltip of `cmd_monitor` while it shows `caption`: what a click on it does now.
QString monitorButtonTooltip(const QString& caption);
