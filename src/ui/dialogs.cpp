#include "ui/dialogs.h"

#include <QFileDialog>

QString DesktopDialogs::saveFileName(QWidget* parent, const QString& caption, const QString& path, const QString& filter)
{
    return QFileDialog::getSaveFileName(parent, caption, path, filter);
}

QString DesktopDialogs::openFileName(QWidget* parent, const QString& caption, const QString& folder, const QString& filter)
{
    return QFileDialog::getOpenFileName(parent, caption, folder, filter);
}
