// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/dialogs.h"

#include "serial/port_discovery.h"
#include "ui/port_chooser.h"

#include <QFileDialog>
#include <QMessageBox>

QString DesktopDialogs::saveFileName(const QString& caption, const QString& path, const QString& filter)
{
    return QFileDialog::getSaveFileName(m_parent, caption, path, filter);
}

QString DesktopDialogs::openFileName(const QString& caption, const QString& folder, const QString& filter)
{
    return QFileDialog::getOpenFileName(m_parent, caption, folder, filter);
}

std::optional<QString> DesktopDialogs::chooseSerialPort(const QString& current, const QString& intro)
{
    SystemPortDiscovery discovery;
    PortChooser chooser(discovery, current, m_parent);
    chooser.setIntro(intro);
    if (chooser.exec() != QDialog::Accepted)
        return std::nullopt;
    return chooser.device();
}

void DesktopDialogs::about(const QString& title, const QString& text)
{
    QMessageBox box(QMessageBox::Information, title, text, QMessageBox::Ok, m_parent);
    box.setTextFormat(Qt::PlainText);
    box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    box.exec();
}
