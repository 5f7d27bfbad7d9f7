// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Writing a file whole or not at all: the one way every file of this tool is written (the settings
// file, parameter sets, the reading history, the monitor listing).
//
// The contents go to a temporary file beside the target, unbuffered so that a short write shows at
// once, are flushed to the disk, and only then is the temporary renamed over the target. A full disk
// or a size limit therefore leaves the old file as it was, and the failure is reported with the
// system's own reason.

#include <QByteArray>
#include <QString>

// Replaces the file at `path` with `contents`. On failure the old file is untouched, false is
// returned and `error` (when given) holds the system's reason, such as "No space left on device".
bool writeFileAtomically(const QString& path, const QByteArray& contents, QString* error = nullptr);
