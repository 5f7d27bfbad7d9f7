// SPDX-License-Identifier: GPL-3.0-or-later
#include "storage/atomic_file.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// What stands at `path` when it is not a regular file, in words.
QString kindOf(const QString& path)
{
#ifndef Q_OS_WIN
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) == 0) {
        if (S_ISFIFO(st.st_mode))
            return QStringLiteral("a FIFO");
        if (S_ISCHR(st.st_mode))
            return QStringLiteral("a character device");
        if (S_ISBLK(st.st_mode))
            return QStringLiteral("a block device");
        if (S_ISSOCK(st.st_mode))
            return QStringLiteral("a socket");
    }
#endif
    if (QFileInfo(path).isDir())
        return QStringLiteral("a folder");
    return QStringLiteral("something other than a file");
}

// The file a save replaces: `path` itself, or the regular file its link leads to, the link
// staying as it is. Empty, with the reason in `why`, when what is there must not be replaced: a
// rename over a FIFO, a device or a dangling link would put a plain file in its place and report
// success, and the program or device behind it would never get what was saved.
QString replaceableFile(const QString& path, QString* why)
{
    const QFileInfo info(path);
    if (info.isSymLink()) {
        const QString target = info.canonicalFilePath();
        if (target.isEmpty()) {
            *why = QStringLiteral("it is a link to %1, which does not exist")
                       .arg(QDir::toNativeSeparators(info.symLinkTarget()));
        } else if (!QFileInfo(target).isFile()) {
            *why = QStringLiteral("it is a link to %1, which is %2, not a regular file")
                       .arg(QDir::toNativeSeparators(target), kindOf(target));
        } else {
            return target;
        }
        return {};
    }
    if (info.exists() && !info.isFile()) {
        *why = QStringLiteral("it is %1, not a regular file").arg(kindOf(path));
        return {};
    }
    return path;
}

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
    QString why;
    const QString target = replaceableFile(path, &why);
    if (target.isEmpty()) {
        if (error)
            *error = why;
        return false;
    }
    QSaveFile file(target);
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
