// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Which device each port number opens, and why opening it failed, in words an operator can act on.
//
// On Windows port N is COMN. Elsewhere port N is the device that the link ports/comN in the tool's
// configuration folder points to (like a drive map: the operator assigns a device to a number), and
// /dev/ttyS<N-1> when there is no such link. The platform is a parameter so that the Windows rules
// are tested on any machine.

#include "serial/port.h"

#include <QList>
#include <QString>

enum class Platform { Posix, Windows };

// The platform this program was built for.
constexpr Platform hostPlatform()
{
#ifdef Q_OS_WIN
    return Platform::Windows;
#else
    return Platform::Posix;
#endif
}

// The folder of the port links: "ports" beside the settings file.
QString portLinksFolder(const QString& settingsPath);
// The link that makes a device port n.
QString portLinkPath(const QString& linksFolder, int n);

// The device that port number n opens, read afresh at each call (a link may change at any time).
// Empty when ports/comN is there but is not a link: a file put there by hand is no device, and
// the port opens nothing rather than /dev/ttyS<N-1>.
QString portDevice(int n, Platform platform, const QString& linksFolder);

// The port numbers (1 to 255) that open `device`, whichever name leads to it; none when no number does.
QList<int> portNumbersOf(const QString& device, Platform platform, const QString& linksFolder);

// Why port n opens no device, in a sentence for the operator: no port chosen yet (a number below
// 1, as an empty settings file gives), or ports/comN is not a link. Empty when neither holds.
QString portWithoutDevice(int n, Platform platform, const QString& linksFolder);

// The informative text under "ERROR OPENING COM PORT # N": the device tried and what to do about
// the failure. `systemText` is the system's own description, used when no better words exist.
QString portOpenFailureText(const QString& device, PortOpenFailure failure, const QString& systemText,
                            Platform platform);
