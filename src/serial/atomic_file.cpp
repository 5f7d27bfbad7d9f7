// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/atomic_file.h"

#include <QSaveFile>

#include <cerrno>
#include <cstring>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

namespace {

// Qt's description of the last failure, or the system's own words where Qt has none.
QString reason(const QSaveFile& file, int code)
{
    const QString text = file.errorString();
    if (code != 0 && (text.isEmpty() || text == QLatin1String("Unknown error")))
        return QString::fromLocal8Bit(std::strerror(code));
    return text.isEmpty() ? QStringLiteral("the system gave no reason") : text;
}

}  // namespace

bool writeFileAtomically(const QString& path, const QByteArray& contents, QString* error)
{
    QSaveFile file(path);
    const auto fail = [&](int code) {
        if (error)
            *error = reason(file, code);
        file.cancelWriting();
        return false;
    };
    errno = 0;
    // Unbuffered: a write the disk cannot take fails here, not in a flush that commit() would
    // overlook and then rename a short file over the old one.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail(errno);
    errno = 0;
    if (file.write(contents) != contents.size())
        return fail(errno);
    errno = 0;
    if (!file.flush())
        return fail(errno);
#ifndef Q_OS_WIN
    // Data some file systems hold back until now: a failure here must still keep the old file.
    if (::fsync(file.handle()) != 0) {
        const int code = errno;
        if (error)
            *error = QString::fromLocal8Bit(std::strerror(code));
        file.cancelWriting();
        return false;
    }
#endif
    errno = 0;
    if (!file.commit()) {
        if (error)
            *error = reason(file, errno);
        return false;
    }
    return true;
}
