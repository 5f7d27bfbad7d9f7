// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/dialogs.h"

#include "serial/port_discovery.h"
#include "ui/port_chooser.h"

#include <QFileDialog>
#include <QMessageBox>

QString DesktopDialogs::saveFileName(QWidget* parent, const QString& caption, const QString& path,
                                     const QString& filter)
{
    return QFileDialog::getSaveFileName(parent, caption, path, filter);
}

QString DesktopDialogs::openFileName(QWidget* parent, const QString& caption, const QString& folder,
                                     const QString& filter)
{
    return QFileDialog::getOpenFileName(parent, caption, folder, filter);
}

std::optional<QString> DesktopDialogs::chooseSerialPort(QWidget* parent, const QString& current, const QString& intro)
{
    SystemPortDiscovery discovery;
    PortChooser chooser(discovery, current, parent);
    chooser.setIntro(intro);
    if (chooser.exec() != QDialog::Accepted)
        return std::nullopt;
    return chooser.device();
}

void DesktopDialogs::about(QWidget* parent, const QString& title, const QString& text)
{
    QMessageBox box(QMessageBox::Information, title, text, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    box.exec();
}
