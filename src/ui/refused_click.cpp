// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/refused_click.h"

#include <QApplication>
#include <QToolTip>
#include <QWidget>

const QString refusedClickText = QStringLiteral("Waiting for the CBOX's reply: click again when it has answered.");

void refuseClick(QWidget* button)
{
    QApplication::beep();
    if (!button)
        return;
    const QRect area = button->rect();
    QToolTip::showText(button->mapToGlobal(area.center()), refusedClickText, button, area, 3000);
}
