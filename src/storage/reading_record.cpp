// SPDX-License-Identifier: GPL-3.0-or-later
#include "storage/reading_record.h"

const BoxReading& ReadingRecord::parametersRead(const ParameterBlock& block)
{
    m_last = BoxReading{QDateTime::currentDateTime(), m_firmware, block.received};
    return *m_last;
}

bool ReadingRecord::keep(const BoxReading& reading, QString* error)
{
    if (m_history.keep(reading, error) || m_failureReported)
        return true;
    m_failureReported = true;
    return false;
}
