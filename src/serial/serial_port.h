#pragma once
// The real port: QSerialPort behind the port seam, with the mapping of port numbers to devices.

#include "serial/port.h"

#include <QSerialPort>

// The device that port number n opens: "COMn" on Windows; elsewhere the target of the link
// <config folder>/ports/comN when it exists, otherwise /dev/ttyS<n-1>.
QString portDeviceName(int n);

class SerialPort : public Port {
    Q_OBJECT
public:
    explicit SerialPort(QObject* parent = nullptr);

    void setPortNumber(int n) override;
    bool applyLineSettings() override;
    bool open() override;
    void close() override;
    bool isOpen() const override;
    qint64 pendingCount() const override;
    void discard() override;
    QByteArray readOne() override;
    void write(const QByteArray& bytes) override;
    QString errorText() const override;

private:
    void onError(QSerialPort::SerialPortError error);

    QSerialPort m_port;
    int m_number = 0;
};
