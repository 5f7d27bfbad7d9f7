#pragma once
// The dialog seam for tests: answers each dialog from a list given by the test and records the
// captions asked.

#include "ui/dialogs.h"

#include <QStringList>

class RecordingDialogs : public Dialogs {
public:
    QString saveFileName(QWidget*, const QString& caption, const QString&, const QString&) override
    {
        asked.append(caption);
        return fileNames.isEmpty() ? QString() : fileNames.takeFirst();
    }
    QString openFileName(QWidget*, const QString& caption, const QString&, const QString&) override
    {
        asked.append(caption);
        return fileNames.isEmpty() ? QString() : fileNames.takeFirst();
    }

    QStringList asked;      // the caption of every dialog shown, in order
    QStringList fileNames;  // the answers, consumed in order; Cancel when empty
};
