// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The port seam: exactly the operations the serial link needs from a serial port.
// The program uses SerialPort (QSerialPort); tests use a scripted fake.

#include <QByteArray>
#include <QObject>
#include <QString>

// Why an open failed, as far as the operator can act on it.
enum class PortOpenFailure {
    None,              // the last open went through
    NoSuchDevice,      // nothing at that name: the adapter is not plugged in, or the name is wrong
    PermissionDenied,  // the device is there but this user may not open it
    InUse,             // another program holds the device
    Other,             // anything else: the system's own words say what
};

class PortChoice;

class Port : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~Port() override = default;

    // 9600 baud, no parity, 8 data bits, 1 stop bit, no flow control, receive buffer 4096.
    virtual bool applyLineSettings() = 0;
    // Opens the device the choice leads to now, unless the port is open.
    virtual bool open(const PortChoice& choice) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Number of received characters not yet read.
    virtual qint64 pendingCount() const = 0;
    // Empties the receive buffer.
    virtual void discard() = 0;
    // Removes and returns at most one received character; empty at once when nothing is pending.
    virtual QByteArray readOne() = 0;
    virtual void write(const QByteArray& bytes) = 0;
    // Why the last open failed, for the operator (may be empty).
    virtual QString errorText() const { return {}; }
    // The device the last open tried (empty when the port cannot tell), and why it failed.
    virtual QString lastOpenDevice() const { return {}; }
    virtual PortOpenFailure lastOpenFailure() const { return PortOpenFailure::Other; }

signals:
    // New characters are pending.
    void readyRead();
    // The device went away (unplugged, hung up): the port has been closed.
    void lost();
};
