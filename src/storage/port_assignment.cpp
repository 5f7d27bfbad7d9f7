// SPDX-License-Identifier: GPL-3.0-or-later
#include "storage/port_assignment.h"

#include "serial/port_discovery.h"
#include "storage/settings_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <optional>

#ifndef Q_OS_WIN
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// Linux allows 4095 bytes in a path.
constexpr qsizetype longestPath = 4095;

PortAssignment refused(const QString& error)
{
    PortAssignment assignment;
    assignment.error = error;
    return assignment;
}

bool holdsControlCharacters(const QString& name)
{
    return std::any_of(name.cbegin(), name.cend(), [](QChar c) {
        return c.unicode() < 0x20 || c.unicode() == 0x7F || c.category() == QChar::Other_Control;
    });
}

PortAssignment assignWindowsPort(const QString& name)
{
    // COMn, also written with the device prefix \\.\ that names COM10 and above to the system.
    static const QRegularExpression comName(QStringLiteral("^(?:\\\\\\\\\\.\\\\)?COM([1-9][0-9]{0,2})$"),
                                            QRegularExpression::CaseInsensitiveOption);
    const auto match = comName.match(name);
    const int n = match.hasMatch() ? match.captured(1).toInt() : 0;
    if (n < 1 || n > 255)
        return refused(QStringLiteral("On Windows a serial port is named COM1 to COM255, as Device Manager shows "
                                      "it; \"%1\" is not such a name.")
                           .arg(name));
    PortAssignment assignment;
    assignment.portNumber = n;
    return assignment;
}

PortAssignment assignPosixDevice(const QString& name, int selectedOption, const QHash<QString, QString>& byIdNames)
{
    // A bare name is a device in /dev, as the serial port itself reads it.
    const QString path = name.contains(QLatin1Char('/')) ? name : QStringLiteral("/dev/") + name;
    if (!QDir::isAbsolutePath(path))
        return refused(QStringLiteral("\"%1\" is not a full path: type the device's path from the root, such as "
                                      "/dev/ttyUSB0.")
                           .arg(name));
    if (QFile::encodeName(path).size() > longestPath)
        return refused(QStringLiteral("The device name is too long to be a path."));
    if (QFileInfo(path).isDir())
        return refused(QStringLiteral("%1 is a folder, not a device: choose a device such as /dev/ttyUSB0.").arg(path));

    PortAssignment assignment;
    assignment.portNumber = selectedOption >= 1 && selectedOption <= 4 ? selectedOption : 1;
    // The stable name survives re-plugging; a name typed as it is stays as typed.
    const QString stable = byIdNames.values().contains(path) ? path : byIdNameOf(path, byIdNames);
    assignment.linkTarget = stable.isEmpty() ? path : stable;
    return assignment;
}

#ifndef Q_OS_WIN
QString systemError(int code) { return QString::fromLocal8Bit(std::strerror(code)); }

// The raw target of the link at `path`, as written (relative targets stay relative).
std::optional<QByteArray> linkContents(const QString& path)
{
    QByteArray buffer(4096, '\0');
    const ssize_t n = ::readlink(QFile::encodeName(path).constData(), buffer.data(), std::size_t(buffer.size()));
    if (n < 0)
        return std::nullopt;
    buffer.truncate(n);
    return buffer;
}

bool placeLink(const QString& path, const QByteArray& target, QString* error)
{
    // Made beside the old one and renamed over it: whoever reads the link finds the old one or the
    // new one, never none.
    const QByteArray final = QFile::encodeName(path);
    const QByteArray temporary = final + ".new-" + QByteArray::number(::getpid());
    ::unlink(temporary.constData());
    if (::symlink(target.constData(), temporary.constData()) != 0) {
        *error = QStringLiteral("the link %1 could not be made: %2").arg(path, systemError(errno));
        return false;
    }
    if (std::rename(temporary.constData(), final.constData()) != 0) {
        const int code = errno;
        ::unlink(temporary.constData());
        *error = QStringLiteral("the link %1 could not be made: %2").arg(path, systemError(code));
        return false;
    }
    return true;
}
#endif

}  // namespace

PortAssignment assignDevice(const QString& typed, Platform platform, int selectedOption,
                            const QHash<QString, QString>& byIdNames)
{
    // Blanks around a pasted name are a slip, not part of it.
    const QString name = typed.trimmed();
    if (name.isEmpty())
        return refused(QStringLiteral("No device was given: choose one from the list or type its name."));
    if (holdsControlCharacters(name))
        return refused(QStringLiteral("The device name holds a control character (such as a line break), which "
                                      "no device name has: type it again."));
    if (platform == Platform::Windows)
        return assignWindowsPort(name);
    return assignPosixDevice(name, selectedOption, byIdNames);
}

bool writePortLink(const QString& linksFolder, int n, const QString& target, QString* error)
{
#ifdef Q_OS_WIN
    Q_UNUSED(linksFolder);
    Q_UNUSED(n);
    Q_UNUSED(target);
    *error = QStringLiteral("ports are not assigned by links on Windows");
    return false;
#else
    if (!QDir().mkpath(linksFolder)) {
        *error = QStringLiteral("the folder %1 could not be made").arg(linksFolder);
        return false;
    }
    const QString path = portLinkPath(linksFolder, n);
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) == 0 && !S_ISLNK(st.st_mode)) {
        *error = QStringLiteral("%1 is there and is not a link, so it was left alone; move it away first").arg(path);
        return false;
    }
    return placeLink(path, QFile::encodeName(target), error);
#endif
}

bool applyAssignment(const PortAssignment& assignment, const QString& settingsPath, const QString& linksFolder,
                     QString* error)
{
    const int n = assignment.portNumber;
    const QString what = assignment.linkTarget.isEmpty()
                             ? QStringLiteral("Port %1 was not chosen").arg(n)
                             : QStringLiteral("Port %1 was not assigned to %2").arg(n).arg(assignment.linkTarget);
    QString problem;

#ifndef Q_OS_WIN
    const QString link = portLinkPath(linksFolder, n);
    const std::optional<QByteArray> oldTarget = linkContents(link);
    if (!assignment.linkTarget.isEmpty() && !writePortLink(linksFolder, n, assignment.linkTarget, &problem)) {
        *error = QStringLiteral("%1: %2. Nothing was changed.").arg(what, problem);
        return false;
    }
#else
    Q_UNUSED(linksFolder);
#endif

    QString settingsProblem;
    if (writePortNumber(settingsPath, n, &settingsProblem))
        return true;
    *error =
        QStringLiteral("%1: the settings file %2 could not be written (%3).").arg(what, settingsPath, settingsProblem);

#ifndef Q_OS_WIN
    if (!assignment.linkTarget.isEmpty()) {
        // Back to the link as it was, so that the number and the device still belong together.
        bool restored = false;
        if (oldTarget)
            restored = placeLink(link, *oldTarget, &problem);
        else
            restored = ::unlink(QFile::encodeName(link).constData()) == 0;
        if (!restored) {
            *error += QStringLiteral(" The link %1 could not be put back as it was; choose the port again.").arg(link);
            return false;
        }
    }
#endif
    *error += QStringLiteral(" Nothing was changed.");
    return false;
}
