// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Writing a file whole or not at all: the one way every file this tool keeps is written (the
// settings file, the dial's state file, parameter sets, the reading history, the monitor listing).
// The port links are no such files: they lead to devices by design and are made on their own.
//
// The contents go to a temporary file beside the target, unbuffered so that a short write shows at
// once, are flushed to the disk, and only then is the temporary renamed over the target. A full disk
// or a size limit therefore leaves the old file as it was, and the failure is reported with the
// system's own reason.
//
// Only a regular file is replaced. A link to one is followed: its target is replaced and the link
// stays. What is there but not a regular file (a FIFO, a device, a folder), or a link to such a
// thing or to nothing, is refused: nothing is written and the reason names it.

#include <QByteArray>
#include <QString>

// Replaces the file at `path` with `contents`. On failure the old file is untouched, false is
// returned and `error` (when given) holds the reason, such as "No space left on device" or "it is
// a FIFO, not a regular file".
bool writeFileAtomically(const QString& path, const QByteArray& contents, QString* error = nullptr);
