// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a save may find where it writes: a FIFO, a device node, a link to either, a dangling link,
// a link to a regular file. Each is made in a test's own folder and described as it stands, so
// that a test sees whether a save left it as it was.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

// The kinds, as rows name them. "device" needs root (mknod).
inline const QStringList oddFileKinds{"fifo",           "device",        "link to fifo",
                                      "link to device", "dangling link", "link to file"};

// Makes `kind` at `path`; what a link leads to is made beside it. False when it cannot be made.
inline bool makeOddFile(const QString& kind, const QString& path)
{
    const bool link = kind.startsWith(QLatin1String("link")) || kind == QLatin1String("dangling link");
    const QString node = link ? path + QStringLiteral(".target") : path;
    const QByteArray name = QFile::encodeName(node);
    bool made = true;
    if (kind.endsWith(QLatin1String("fifo")))
        made = ::mkfifo(name.constData(), 0600) == 0;
    else if (kind.endsWith(QLatin1String("device")))  // as /dev/null, which nothing opens here
        made = ::mknod(name.constData(), S_IFCHR | 0600, makedev(1, 3)) == 0;
    else if (kind.endsWith(QLatin1String("file"))) {
        QFile file(node);
        made = file.open(QIODevice::WriteOnly) && file.write("old") == 3;
    }
    return made && (!link || QFile::link(node, path));
}

// What stands at `path`, a link not followed, with what a link leads to and a file's contents.
inline QString oddFileState(const QString& path)
{
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return QStringLiteral("nothing");
    if (S_ISLNK(st.st_mode))
        return QStringLiteral("link to ") + QFileInfo(path).symLinkTarget() + QStringLiteral(": ")
               + oddFileState(QFileInfo(path).symLinkTarget());
    if (S_ISREG(st.st_mode)) {
        QFile file(path);
        return QStringLiteral("file: ") + QString::fromUtf8(file.open(QIODevice::ReadOnly) ? file.readAll() : "?");
    }
    return QStringLiteral("mode %1").arg(st.st_mode & S_IFMT, 0, 8);
}
