// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Assigning a device to a port number, as the port chooser does on OK.
//
// Windows: the operator names a port COM1 to COM255, which becomes the port number; nothing else is
// written. Elsewhere: the device is assigned to the port number of the selected COM option (1 when
// none is) by the link ports/comN in the configuration folder, pointing at the device's stable
// by-id name when it has one. Either way the number is stored in the settings file as a port choice
// always is.
//
// A typed name is checked whole before anything is written; a device that does not exist is
// accepted (the adapter may be plugged in later) and reported by the next open. Writing is all or
// nothing: the link is made under a temporary name and renamed over the old one, and when the
// settings file then cannot be written the old link is put back.

#include "serial/port_devices.h"

#include <QHash>
#include <QString>

struct PortAssignment {
    int portNumber = 0;
    QString linkTarget;  // what ports/comN is to point to; empty: no link (Windows)
    QString error;       // the typed name was refused, in words for the operator: nothing changes
};

// What assigning `typed` means. `selectedOption` is the selected COM option (0 for none);
// `byIdNames` are the stable names by real device (see byIdNames()).
PortAssignment assignDevice(const QString& typed, Platform platform, int selectedOption,
                            const QHash<QString, QString>& byIdNames = {});

// Points the link for port n at `target`, replacing any old link in one step; makes the folder when
// missing. On failure nothing has changed and `error` says why.
bool writePortLink(const QString& linksFolder, int n, const QString& target, QString* error);

// Writes what `assignment` says: the link (unless there is none) and the settings file. On failure
// neither has changed and `error` says what went wrong, in a sentence for the operator.
bool applyAssignment(const PortAssignment& assignment, const QString& settingsPath, const QString& linksFolder,
                     QString* error);
