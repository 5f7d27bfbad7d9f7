// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/message_boxes.h"

#include <QApplication>
#include <QMessageBox>

void MessageBoxes::inform(const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), text, QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

void MessageBoxes::informWithDetails(const QString& text, const QString& details)
{
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), text, QMessageBox::Ok);
    box.setInformativeText(details);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

bool MessageBoxes::askYesNo(const QString& text, const QString& title) { return askYesNoWithDetails(text, title, {}); }

bool MessageBoxes::askYesNoWithDetails(const QString& text, const QString& title, const QString& details)
{
    QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Yes | QMessageBox::No);
    box.setInformativeText(details);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    box.setWindowModality(Qt::ApplicationModal);
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.show();
    box.raise();
    box.activateWindow();
    return box.exec() == QMessageBox::Yes;
}
