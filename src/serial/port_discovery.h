// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The serial ports of this machine, for the port chooser: what the system lists (QSerialPortInfo)
// behind a small seam, so that the chooser and the assignment are tested with a list of their own.
//
// On Linux a USB adapter also has a name under /dev/serial/by-id/ made from its maker, model and
// serial number. Unlike /dev/ttyUSB0, which goes to whichever adapter is plugged in first, that
// name survives re-plugging and rebooting, so the chooser prefers it.

#include <QHash>
#include <QList>
#include <QString>

struct SerialPortEntry {
    QString device;  // the system's name for it: /dev/ttyUSB0, COM5
    QString description;
    QString manufacturer;
    QString serialNumber;
    QString byIdName;  // its stable name, /dev/serial/by-id/…, or empty
    bool usb = false;  // the system names the maker of a USB adapter (its vendor identifier)

    bool operator==(const SerialPortEntry&) const = default;
};

// A USB adapter rather than a port built into the machine: the system says so, or its names do
// (a by-id name "usb-…", a ttyUSB or ttyACM device).
bool isUsbAdapter(const SerialPortEntry& port);

class PortDiscovery {
public:
    virtual ~PortDiscovery() = default;
    // The ports present now, by device name.
    virtual QList<SerialPortEntry> ports() const = 0;
};

// Where Linux keeps the stable names of serial devices.
inline constexpr char16_t defaultByIdFolder[] = u"/dev/serial/by-id";

// The stable names in `folder`, by the real device each leads to (its canonical path). When a
// device has several, the first by name. Names that lead nowhere (an adapter just unplugged) are
// left out.
QHash<QString, QString> byIdNames(const QString& folder = QString::fromUtf16(defaultByIdFolder));

// The stable name of `device` (followed through links to the real device), or empty.
QString byIdNameOf(const QString& device, const QHash<QString, QString>& names);

// The ports `discovery` lists, then the devices that the port links in `linksFolder` lead to and
// the system does not list (a pseudo-terminal, an adapter by another name), each device once.
QList<SerialPortEntry> knownPorts(const PortDiscovery& discovery, const QString& linksFolder);

// Whether another program holds `device` by a lock file, as programs on Unix take one before they
// use a serial line (QSerialPort, minicom, the modem manager): LCK..<name> in one of the usual lock
// folders, its owner still running. Always false on Windows, where an open port is exclusive.
bool lockedByAnotherProgram(const QString& device);

// The name the operator knows a port by: on Windows COM5 rather than the system's \\.\COM5.
QString shortPortName(const QString& device);

// The system's list (QSerialPortInfo), with the stable names found in `byIdFolder`.
class SystemPortDiscovery : public PortDiscovery {
public:
    explicit SystemPortDiscovery(QString byIdFolder = QString::fromUtf16(defaultByIdFolder));
    QList<SerialPortEntry> ports() const override;

private:
    QString m_byIdFolder;
};
