// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The port chooser, "Serial port": this machine's serial ports (device, description, maker,
// serial number and, on Linux, the stable by-id name), kept up to date while it is open so that an
// adapter plugged in or out shows at once, and a Device field that a selected port fills and in
// which any device may be typed. What OK then does is the caller's (see port_and_help_menus.h).
// When the Device field starts with no port or a built-in one, a listed USB adapter is selected
// instead: the CBOX hangs on an adapter far more often than on a port of the machine.

#include "serial/port_devices.h"
#include "serial/port_discovery.h"

#include <QDialog>
#include <QTimer>

class QLabel;
class QLineEdit;
class QTreeWidget;

class PortChooser : public QDialog {
    Q_OBJECT
public:
    static constexpr int pollIntervalMs = 1000;

    // `current` starts in the Device field. The list is read again every `pollMs` while open. The
    // hint under the Device field is for `platform` (typing COM names only on Windows).
    PortChooser(PortDiscovery& discovery, const QString& current, QWidget* parent = nullptr,
                int pollMs = pollIntervalMs, Platform platform = hostPlatform());

    // A text above the list saying why the chooser is there (a first start); empty shows none.
    void setIntro(const QString& text);

    // The Device field as it stands.
    QString device() const;
    // Reads the list again and shows it when it changed; the selection stays on its device and the
    // Device field is left as it is.
    void refresh();

    QTreeWidget* portList() const { return m_list; }
    QLineEdit* deviceField() const { return m_device; }

private:
    void showPorts();
    void takeSelection();
    void preselectAdapter(const QString& current);

    PortDiscovery& m_discovery;
    QList<SerialPortEntry> m_ports;
    QTreeWidget* m_list;
    QLabel* m_intro;
    QLabel* m_none;
    QLineEdit* m_device;
    QTimer m_poll;
};
