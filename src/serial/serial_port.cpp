// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/serial_port.h"

#include "serial/port_choice.h"

#include <QFile>
#include <QFileInfo>

#ifndef Q_OS_WIN
#include <cerrno>
#include <unistd.h>
#endif

namespace {
// True when this user may not read and write `path` (the device exists).
bool mayNotUse(const QString& path)
{
#ifdef Q_OS_WIN
    Q_UNUSED(path);
    return false;
#else
    return ::access(QFile::encodeName(path).constData(), R_OK | W_OK) != 0 && errno == EACCES;
#endif
}
}  // namespace

PortOpenFailure openFailureOf(QSerialPort::SerialPortError error, bool deviceExists, bool accessDenied,
                              Platform platform)
{
    switch (error) {
    case QSerialPort::NoError: return PortOpenFailure::None;
    case QSerialPort::DeviceNotFoundError: return PortOpenFailure::NoSuchDevice;
    case QSerialPort::PermissionError:
        if (!deviceExists)
            return PortOpenFailure::NoSuchDevice;
        if (platform == Platform::Windows)
            return PortOpenFailure::InUse;
        return accessDenied ? PortOpenFailure::PermissionDenied : PortOpenFailure::InUse;
    default: return PortOpenFailure::Other;
    }
}

SerialPort::SerialPort(QObject* parent) : Port(parent)
{
    connect(&m_port, &QSerialPort::readyRead, this, &Port::readyRead);
    connect(&m_port, &QSerialPort::errorOccurred, this, &SerialPort::onError);
}

bool SerialPort::applyLineSettings()
{
    // No flow control and no modem lines: the exchanges need only the data lines.
    return m_port.setBaudRate(QSerialPort::Baud9600) && m_port.setDataBits(QSerialPort::Data8)
           && m_port.setParity(QSerialPort::NoParity) && m_port.setStopBits(QSerialPort::OneStop)
           && m_port.setFlowControl(QSerialPort::NoFlowControl) && (m_port.setReadBufferSize(4096), true);
}

bool SerialPort::open(const PortChoice& choice)
{
    // The device cannot change under an open port: a new choice takes effect at the next open.
    if (m_port.isOpen())
        return true;
    // The device is looked up at every open: a port assigned anew is used from the next exchange on.
    const QString device = choice.device();
    if (device.isEmpty()) {  // ports/comN is not a link: nothing to open
        m_device.clear();
        m_failure = PortOpenFailure::Other;
        return false;
    }
    // Opened by its real name, so that the lock taken on it is the one any other program takes on
    // that device, whichever link led here.
    const QString real = hostPlatform() == Platform::Posix ? QFileInfo(device).canonicalFilePath() : QString();
    const QString opened = real.isEmpty() ? device : real;
    m_device = opened == device ? device : QStringLiteral("%1 (%2)").arg(device, opened);
    m_port.setPortName(opened);
    if (!m_port.open(QIODevice::ReadWrite)) {
        const bool exists = hostPlatform() == Platform::Windows || QFileInfo::exists(opened);
        m_failure = openFailureOf(m_port.error(), exists, exists && mayNotUse(opened));
        return false;
    }
    m_failure = PortOpenFailure::None;
    // Nothing that arrived before this exchange may be taken for its reply.
    discard();
    return true;
}

void SerialPort::close()
{
    if (!m_port.isOpen())
        return;
    m_port.flush();
    m_port.close();
}

bool SerialPort::isOpen() const { return m_port.isOpen(); }

qint64 SerialPort::pendingCount() const { return m_port.isOpen() ? m_port.bytesAvailable() : 0; }

void SerialPort::discard()
{
    if (!m_port.isOpen())
        return;
    m_port.clear(QSerialPort::Input);
    m_port.readAll();
}

QByteArray SerialPort::readOne() { return m_port.isOpen() ? m_port.read(1) : QByteArray(); }

void SerialPort::write(const QByteArray& bytes)
{
    if (!m_port.isOpen())
        return;
    // QSerialPort only queues what it is given and writes it at the next turn of the event loop,
    // after whatever that turn draws first. The frame goes out now, so that the box's reply is
    // under way while the window catches up.
    m_port.write(bytes);
    m_port.flush();
}

QString SerialPort::errorText() const { return m_port.errorString(); }

void SerialPort::onError(QSerialPort::SerialPortError error)
{
    // A device that went away (unplugged, hung up) reports a resource or read error; the port is
    // then useless until it is opened again.
    if (error == QSerialPort::ResourceError || error == QSerialPort::ReadError || error == QSerialPort::WriteError) {
        if (m_port.isOpen()) {
            m_port.close();
            emit lost();
        }
    }
}
