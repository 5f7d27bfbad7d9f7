// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The reading history: every parameter read whose configuration differs from the last one kept
// is kept as a parameter file in a folder of its own, so that what the box held before a "cmd W"
// can always be loaded and written back. The newest 100 are kept.
//
// A file is named after the moment of the read in UTC, 2026-12-07T14-32-04Z.rotor, so that the
// names sort in time whatever the time zone or daylight saving; a second read within the same
// second gets _2, _3 ... Only files named so belong to the history: nothing else in the folder is
// read or removed. "Differs from the last one kept" compares with the newest file in the folder,
// so it holds across runs.

#include "storage/parameter_file.h"

#include <QString>
#include <QStringList>

class ReadingHistory {
public:
    static constexpr int kept = 100;
    // On Linux $XDG_CONFIG_HOME/rotor/history (next to the settings file and the port links); on
    // Windows "history" in the user's application-data folder.
    static QString defaultFolder();

    explicit ReadingHistory(QString folder = defaultFolder()) : m_folder(std::move(folder)) {}

    const QString& folder() const { return m_folder; }
    void setFolder(const QString& folder) { m_folder = folder; }

    // The history's files, newest first, as full paths.
    QStringList files() const;
    // When the file at `path` (one of files()) was read, from its name.
    static QDateTime readAt(const QString& path);

    // Keeps `reading` unless the newest file holds the same configuration (fields 3 to 19 of the
    // block), then removes the oldest files beyond `kept`. The file holds the set panel as this
    // reading fills it, so that loading it restores what the box held. False when writing or
    // removing failed, with the reason in `error`; `written` tells whether a file was added.
    bool keep(const BoxReading& reading, QString* error = nullptr, bool* written = nullptr) const;

private:
    QString m_folder;
};
