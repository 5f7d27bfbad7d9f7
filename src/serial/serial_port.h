// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The real port: QSerialPort behind the port seam, opening the device the port choice names.

#include "serial/port.h"
#include "serial/port_devices.h"

#include <QSerialPort>

// Why QSerialPort refused to open a device, in the operator's terms. A refusal for permission
// comes both from the device's access rights and from a device that another program holds
// (busy, or its lock file taken): only the first is the user's rights.
PortOpenFailure openFailureOf(QSerialPort::SerialPortError error, bool deviceExists, bool accessDenied,
                              Platform platform = hostPlatform());

class SerialPort : public Port {
    Q_OBJECT
public:
    explicit SerialPort(QObject* parent = nullptr);

    bool applyLineSettings() override;
    bool open(const PortChoice& choice) override;
    void close() override;
    bool isOpen() const override;
    qint64 pendingCount() const override;
    void discard() override;
    QByteArray readOne() override;
    void write(const QByteArray& bytes) override;
    QString errorText() const override;
    QString lastOpenDevice() const override { return m_device; }
    PortOpenFailure lastOpenFailure() const override { return m_failure; }

private:
    void onError(QSerialPort::SerialPortError error);

    QSerialPort m_port;
    QString m_device;
    PortOpenFailure m_failure = PortOpenFailure::None;
};
