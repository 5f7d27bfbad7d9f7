// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the box was last read to hold, kept alike by the File menu and the command line: the
// version of the last good V, and the block of the last good L with the time it was read. Each
// block read is kept in the reading history.

#include "protocol/session_observer.h"
#include "storage/reading_history.h"

#include <optional>

class ReadingRecord {
public:
    void versionRead(const FirmwareVersion& version) { m_firmware = version.text; }
    // The reading of a block just read, with the version last read; it becomes the last reading.
    const BoxReading& parametersRead(const ParameterBlock& block);
    const std::optional<BoxReading>& last() const { return m_last; }
    const QString& firmware() const { return m_firmware; }
    void forget() { m_last.reset(); }

    // Keeps `reading` in the history. False, with the reason in `error`, only the first time that
    // fails in this run: a history that cannot be kept is reported once.
    bool keep(const BoxReading& reading, QString* error);
    ReadingHistory& history() { return m_history; }

private:
    ReadingHistory m_history;
    QString m_firmware;
    std::optional<BoxReading> m_last;
    bool m_failureReported = false;
};
