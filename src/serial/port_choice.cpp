// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/port_choice.h"

#include "serial/port_devices.h"

bool PortChoice::load()
{
    const std::optional<qint16> number = m_settings.load();
    if (!number)
        return false;
    m_number = *number;
    return true;
}

QString PortChoice::linksFolder() const { return portLinksFolder(m_settings.path()); }

void PortChoice::useDevice(const QString& device)
{
    m_device = device;
    m_number = 0;
}

QString PortChoice::device() const
{
    return m_device.isEmpty() ? portDevice(m_number, hostPlatform(), linksFolder()) : m_device;
}

QString PortChoice::withoutDevice() const
{
    return m_device.isEmpty() ? portWithoutDevice(m_number, hostPlatform(), linksFolder()) : QString();
}
