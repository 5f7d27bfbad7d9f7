// SPDX-License-Identifier: GPL-3.0-or-later
#include "storage/reading_history.h"

#include "storage/atomic_file.h"
#include "storage/settings_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

#include <algorithm>

namespace {

const QString stampFormat = QStringLiteral("yyyy-MM-ddTHH-mm-ss");

// "2026-12-07T14-32-04Z" with an optional "_N" for the Nth read of that second.
const QRegularExpression& historyName()
{
    static const QRegularExpression name(
        QStringLiteral("^(\\d{4}-\\d\\d-\\d\\dT\\d\\d-\\d\\d-\\d\\dZ)(?:_([1-9]\\d{0,5}))?\\.rotor$"));
    return name;
}

struct Entry {
    QString stamp;
    int n;
    QString name;
};

}  // namespace

QString ReadingHistory::defaultFolder()
{
#ifdef Q_OS_WIN
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return data.isEmpty() ? QString() : data + QStringLiteral("/history");
#else
    return configFolder() + QStringLiteral("/history");
#endif
}

QStringList ReadingHistory::files() const
{
    if (m_folder.isEmpty())
        return {};
    QList<Entry> entries;
    const QDir dir(m_folder);
    for (const QString& name : dir.entryList({QStringLiteral("*.rotor")}, QDir::Files)) {
        const auto match = historyName().match(name);
        if (match.hasMatch())
            entries.append({match.captured(1), match.captured(2).isEmpty() ? 1 : match.captured(2).toInt(), name});
    }
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return a.stamp != b.stamp ? a.stamp > b.stamp : a.n > b.n; });
    QStringList paths;
    for (const Entry& entry : entries)
        paths.append(dir.filePath(entry.name));
    return paths;
}

QDateTime ReadingHistory::readAt(const QString& path)
{
    const auto match = historyName().match(QFileInfo(path).fileName());
    if (!match.hasMatch())
        return {};
    QDateTime when = QDateTime::fromString(match.captured(1).chopped(1), stampFormat);
    when.setTimeSpec(Qt::UTC);
    return when;
}

bool ReadingHistory::keep(const BoxReading& reading, QString* error, bool* written) const
{
    if (written)
        *written = false;
    const auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    if (m_folder.isEmpty())
        return fail(QStringLiteral("this system gives no folder for the application's data"));

    const QStringList existing = files();
    if (!existing.isEmpty()) {
        QFile newest(existing.first());
        if (newest.open(QIODevice::ReadOnly)) {
            const auto last = readParameterFile(newest.read(parameterFileMaxSize + 1));
            if (const auto* file = std::get_if<ParameterFile>(&last);
                file && file->reading && sameConfiguration(file->reading->block, reading.block))
                return true;
        }
    }

    QDir dir(m_folder);
    if (!dir.mkpath(QStringLiteral(".")))
        return fail(QStringLiteral("the folder %1 cannot be made").arg(QDir::toNativeSeparators(m_folder)));
    // A later read of the same second comes after every file of that second, also after those
    // already dropped as the oldest: its number follows the highest there is.
    const QString stamp = reading.read.toUTC().toString(stampFormat) + QLatin1Char('Z');
    int n = 0;
    for (const QString& path : existing) {
        const auto match = historyName().match(QFileInfo(path).fileName());
        if (match.captured(1) == stamp)
            n = std::max(n, match.captured(2).isEmpty() ? 1 : match.captured(2).toInt());
    }
    const QString name = n == 0 ? stamp + QStringLiteral(".rotor") : stamp + QStringLiteral("_%1.rotor").arg(n + 1);

    ParameterFile file;
    file.panel = panelFromBlock(reading.block);
    file.saved = reading.read;
    file.reading = reading;
    const QString path = dir.filePath(name);
    QString problem;
    if (!writeFileAtomically(path, writeParameterFile(file), &problem))
        return fail(problem);
    if (written)
        *written = true;

    // The oldest go, but never the file just written: with a clock set back it sorts among the
    // oldest, and it is still the reading that was just made.
    QStringList all = files();
    all.removeAll(path);
    for (qsizetype i = kept - 1; i < all.size(); ++i)
        if (!QFile::remove(all.at(i)) && QFileInfo::exists(all.at(i)))  // another rotor removed it first
            return fail(
                QStringLiteral("the old reading %1 cannot be removed").arg(QDir::toNativeSeparators(all.at(i))));
    return true;
}
