// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A pseudo-terminal on which nothing answers: a serial device for the tool to open, whose other
// side the test holds to read what was written to it. A slave of its own stays open, so that what
// was written survives the tool's close.

#include <QByteArray>
#include <QString>

#include <fcntl.h>
#include <unistd.h>

class SilentPty {
public:
    SilentPty()
    {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (m_master >= 0 && ::grantpt(m_master) == 0 && ::unlockpt(m_master) == 0)
            m_device = QString::fromLocal8Bit(::ptsname(m_master));
        if (!m_device.isEmpty())
            m_slave = ::open(::ptsname(m_master), O_RDWR | O_NOCTTY);
    }
    ~SilentPty()
    {
        ::close(m_slave);
        ::close(m_master);
    }
    SilentPty(const SilentPty&) = delete;
    SilentPty& operator=(const SilentPty&) = delete;

    QString device() const { return m_slave >= 0 ? m_device : QString(); }
    // What was written to the device so far and not read yet.
    QByteArray written() const
    {
        QByteArray bytes;
        char buffer[256];
        for (ssize_t n; (n = ::read(m_master, buffer, sizeof buffer)) > 0;)
            bytes.append(buffer, n);
        return bytes;
    }

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_device;
};
