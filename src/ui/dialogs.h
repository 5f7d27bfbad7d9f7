#pragma once
// The dialog seam: every dialog beyond the message boxes (file choosers, the port chooser) goes
// through it, so that tests answer them without a display. The program's own shows the real
// dialogs, modal to the main window.

#include <QString>

class QWidget;

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // The file to write, or empty when the operator cancelled.
    virtual QString saveFileName(QWidget* parent, const QString& caption, const QString& path, const QString& filter) = 0;
    // The file to read, or empty when the operator cancelled.
    virtual QString openFileName(QWidget* parent, const QString& caption, const QString& folder, const QString& filter) = 0;
};

// The real dialogs.
class DesktopDialogs : public Dialogs {
public:
    QString saveFileName(QWidget* parent, const QString& caption, const QString& path, const QString& filter) override;
    QString openFileName(QWidget* parent, const QString& caption, const QString& folder, const QString& filter) override;
};
