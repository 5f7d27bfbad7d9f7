#include "serial/serial_port.h"

#include "serial/settings_file.h"

#include <QFileInfo>

QString portDeviceName(int n)
{
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(n);
#else
    const QFileInfo link(configFolder() + QStringLiteral("/ports/com%1").arg(n));
    if (link.isSymLink())
        return link.symLinkTarget();
    return QStringLiteral("/dev/ttyS%1").arg(n - 1);
#endif
}

SerialPort::SerialPort(QObject* parent) : Port(parent)
{
    connect(&m_port, &QSerialPort::readyRead, this, &Port::readyRead);
    connect(&m_port, &QSerialPort::errorOccurred, this, &SerialPort::onError);
}

void SerialPort::setPortNumber(int n)
{
    // The device cannot change under an open port: the new number takes effect at the next open.
    m_number = n;
}

bool SerialPort::applyLineSettings()
{
    // No flow control and no modem lines: the exchanges need only the data lines.
    return m_port.setBaudRate(QSerialPort::Baud9600) && m_port.setDataBits(QSerialPort::Data8)
        && m_port.setParity(QSerialPort::NoParity) && m_port.setStopBits(QSerialPort::OneStop)
        && m_port.setFlowControl(QSerialPort::NoFlowControl)
        && (m_port.setReadBufferSize(4096), true);
}

bool SerialPort::open()
{
    if (m_port.isOpen())
        return true;
    m_port.setPortName(portDeviceName(m_number));
    if (!m_port.open(QIODevice::ReadWrite))
        return false;
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
    if (m_port.isOpen())
        m_port.write(bytes);
}

QString SerialPort::errorText() const { return m_port.errorString(); }

void SerialPort::onError(QSerialPort::SerialPortError error)
{
    // A device that went away (unplugged, hung up) reports a resource or read error; the port is
    // then useless until it is opened again.
    if (error == QSerialPort::ResourceError || error == QSerialPort::ReadError
        || error == QSerialPort::WriteError) {
        if (m_port.isOpen()) {
            m_port.close();
            emit lost();
        }
    }
}
