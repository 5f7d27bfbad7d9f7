// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The dialog seam for tests: answers each dialog from a list given by the test and records the
// captions asked, and the texts shown.

#include "ui/dialogs.h"

#include <QList>
#include <QStringList>
#include <functional>

class RecordingDialogs : public Dialogs {
public:
    QString saveFileName(const QString& caption, const QString&, const QString&) override
    {
        asked.append(caption);
        return fileNames.isEmpty() ? QString() : fileNames.takeFirst();
    }
    QString openFileName(const QString& caption, const QString&, const QString&) override
    {
        asked.append(caption);
        return fileNames.isEmpty() ? QString() : fileNames.takeFirst();
    }

    std::optional<QString> chooseSerialPort(const QString& current, const QString& intro) override
    {
        asked.append(QStringLiteral("Serial port"));
        chooserStartedWith.append(current);
        chooserIntros.append(intro);
        if (onChooser)
            onChooser();
        if (devices.isEmpty())
            return std::nullopt;
        return devices.takeFirst();
    }
    void about(const QString& title, const QString& text) override
    {
        asked.append(title);
        abouts.append(text);
    }

    std::optional<NetworkSettings> chooseNetwork(const NetworkSettings& current) override
    {
        asked.append(QStringLiteral("Network control"));
        networkStartedWith.append(current);
        return networks.isEmpty() ? std::nullopt : std::optional(networks.takeFirst());
    }

    QStringList asked;                // the caption of every dialog shown, in order
    QStringList fileNames;            // the answers, consumed in order; Cancel when empty
    QStringList devices;              // the port chooser's answers (its Device field on OK); Cancel when empty
    QStringList chooserStartedWith;   // what the chooser's Device field held when it opened, each time
    QStringList chooserIntros;        // the text above the chooser's list each time, empty when none
    QStringList abouts;               // the text of every about box
    std::function<void()> onChooser;  // runs while the port chooser is "on screen"
    QList<NetworkSettings> networks;  // the network dialog's answers; Cancel when empty
    QList<NetworkSettings> networkStartedWith;
};
