// SPDX-License-Identifier: GPL-3.0-or-later
// Opening and closing the real port again and again, as every exchange does while the monitor is
// idle: no descriptor may be left open and no lock file left behind.

#include "bench_support.h"
#include "storage/settings_file.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

namespace {

// Where serial-port lock files ("LCK..name") are put on Linux.
QStringList lockFolders()
{
    QStringList folders;
    for (const QString& path : {QStringLiteral("/var/lock"), QStringLiteral("/run/lock"), QStringLiteral("/etc/locks"),
                                QStringLiteral("/var/spool/locks"), QStringLiteral("/var/spool/uucp"),
                                QStringLiteral("/tmp"), QDir::tempPath()}) {
        const QString canonical = QFileInfo(path).canonicalFilePath();
        if (!canonical.isEmpty() && !folders.contains(canonical))
            folders << canonical;
    }
    return folders;
}

// The lock files named `pattern` in those folders.
QSet<QString> lockFiles(const QStringList& folders, const QString& pattern)
{
    QSet<QString> files;
    for (const QString& folder : folders) {
        const QDir dir(folder);
        for (const QString& name : dir.entryList({pattern}, QDir::Files | QDir::System | QDir::Hidden))
            files.insert(dir.filePath(name));
    }
    return files;
}

QString joined(const QSet<QString>& files)
{
    QStringList list = files.values();
    list.sort();
    return list.isEmpty() ? QStringLiteral("none") : list.join(QLatin1Char(' '));
}

}  // namespace

int benchOpenClose(const BenchOptions& options)
{
    constexpr int cycles = 1000;
    ConfigFolder config;
    SilentLine line;
    if (!line.ok()) {
        note(QStringLiteral("open-close: no pseudo-terminal"));
        return 1;
    }
    config.linkPort(1, line.device());
    const QStringList folders = lockFolders();
    // The lock file of this line: "LCK.." and the device's name under /dev, "/" written as "_"
    // (/dev/pts/3: LCK..pts_3). Other engineers' lines may come and go in the same folders
    // meanwhile; only this line's file counts.
    QString ours = line.device();
    if (ours.startsWith(QLatin1String("/dev/")))
        ours = ours.mid(5);
    ours = QStringLiteral("LCK..") + ours.replace(QLatin1Char('/'), QLatin1Char('_'));

    SerialPort port;
    SettingsFile settings;
    PortChoice choice(settings);
    choice.setNumber(1);
    port.applyLineSettings();

    const QSet<QString> locksBefore = lockFiles(folders, ours);
    // One open first: the lock file it takes, if any, shows where it lives.
    const int fdsClosed = openDescriptorCount();
    if (!port.open(choice)) {
        printRow({QStringLiteral("5. 1000 open/close cycles of the port"), QStringLiteral("not run"),
                  QStringLiteral("no fd growth, no lock file left"),
                  QStringLiteral("FAIL (open failed: %1)").arg(port.errorText())});
        return 1;
    }
    const int fdsOpen = openDescriptorCount();
    const QSet<QString> locksWhileOpen = lockFiles(folders, QStringLiteral("LCK..*")) & lockFiles(folders, ours);
    port.close();
    const int fdsBefore = openDescriptorCount();
    note(QStringLiteral("open-close: lock folders %1; while open: %2 descriptor(s) more, lock files %3")
             .arg(folders.join(QLatin1Char(' ')))
             .arg(fdsOpen - fdsClosed)
             .arg(joined(locksWhileOpen)));

    QList<double> perCycle;
    int failures = 0;
    for (int run = 0; run < options.runs; ++run) {
        const double t0 = wallSeconds();
        for (int i = 0; i < cycles; ++i) {
            if (!port.open(choice))
                ++failures;
            port.close();
        }
        perCycle << (wallSeconds() - t0) * 1e6 / cycles;
        note(QStringLiteral("open-close run %1: %2 µs per cycle, %3 descriptors open")
                 .arg(run + 1)
                 .arg(fixed(perCycle.last(), 1))
                 .arg(openDescriptorCount()));
    }
    const int fdsAfter = openDescriptorCount();
    const QSet<QString> locksLeft = lockFiles(folders, ours);

    const bool ok = failures == 0 && fdsAfter == fdsBefore && locksLeft.isEmpty() && locksBefore.isEmpty();
    printRow({QStringLiteral("5. %1 × %2 open/close cycles of the real port on a pseudo-terminal")
                  .arg(options.runs)
                  .arg(cycles),
              QStringLiteral("fds before %1, after %2; lock file while open: %3; left after: %4; %5 µs per cycle "
                             "(runs: %6); failed opens %7")
                  .arg(fdsBefore)
                  .arg(fdsAfter)
                  .arg(joined(locksWhileOpen), joined(locksLeft), fixed(median(perCycle), 1), listOf(perCycle, 1))
                  .arg(failures),
              QStringLiteral("no fd growth, no lock file left"), ok ? QStringLiteral("pass") : QStringLiteral("FAIL")});
    return 0;
}
