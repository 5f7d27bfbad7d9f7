// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/file_menu.h"

#include "protocol/exchange_lock.h"
#include "protocol/set_panel_entries.h"
#include "protocol/view.h"
#include "serial/messages.h"
#include "storage/atomic_file.h"
#include "ui/dialogs.h"
#include "ui/session_signals.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeySequence>
#include <QLocale>
#include <QMenu>

namespace {

const QString parameterFilter = QStringLiteral("rotor parameter sets (*.rotor);;All files (*)");
const QString listingFilter = QStringLiteral("Text files (*.txt);;All files (*)");
// Recent readings listed in the menu; the rest are reached through the history folder.
constexpr int recentListed = 10;

QString now(const char* pattern) { return QDateTime::currentDateTime().toString(QLatin1String(pattern)); }

QString native(const QString& path) { return QDir::toNativeSeparators(path); }

}  // namespace

FileMenu::FileMenu(const Uses& uses, QMenu* file, QWidget* window)
    : QObject(window),
      m_lock(uses.lock),
      m_view(uses.view),
      m_messages(uses.messages),
      m_dialogs(uses.dialogs)
{
    setObjectName(QStringLiteral("parameter_files"));
    connect(&uses.session, &SessionSignals::firmware, this,
            [this](const FirmwareVersion& version) { m_record.versionRead(version); });
    connect(&uses.session, &SessionSignals::parameters, this, &FileMenu::onParametersRead);

    const auto item = [this, file](const QString& text, const char* name, void (FileMenu::*slot)()) {
        QAction* action = file->addAction(text, this, slot);
        action->setObjectName(QLatin1String(name));
        return action;
    };
    QList<QAction*> needIdle;
    needIdle << item(tr("&Save parameters\u2026"), "file_save_parameters", &FileMenu::saveParameters);
    needIdle << item(tr("&Load parameters\u2026"), "file_load_parameters", &FileMenu::loadParameters);
    m_recent = file->addMenu(tr("Open &recent box reading"));
    m_recent->setObjectName(QStringLiteral("file_recent_readings"));
    connect(m_recent, &QMenu::aboutToShow, this, &FileMenu::refreshRecentMenu);
    needIdle << m_recent->menuAction();
    needIdle << item(tr("Save &monitor listing\u2026"), "file_save_listing", &FileMenu::saveListing);
    file->addSeparator();
    QAction* quit = file->addAction(tr("&Quit"), this, &FileMenu::quitChosen);
    quit->setObjectName(QStringLiteral("file_quit"));
    quit->setShortcut(QKeySequence::Quit);

    // What cannot run now is shown greyed, not refused after the click.
    connect(file, &QMenu::aboutToShow, this, [this, needIdle] {
        const bool idle = !m_lock.busy() && m_view.monitorState() == MonitorState::Idle;
        for (QAction* action : needIdle)
            action->setEnabled(idle);
    });
}

void FileMenu::onParametersRead(const ParameterBlock& block)
{
    const BoxReading& reading = m_record.parametersRead(block);
    // The file is written once the exchange has ended: the read closes the port and restores its
    // buttons exactly as it always did, and a failure is told after it.
    QMetaObject::invokeMethod(
        this, [this, reading] { keepInHistory(reading); }, Qt::QueuedConnection);
}

void FileMenu::keepInHistory(const BoxReading& reading)
{
    QString error;
    if (m_record.keep(reading, &error))
        return;
    m_messages.inform(tr("The parameters just read could not be kept in the reading history (%1): %2.\n\n"
                         "The read itself is complete. Make that folder writable to keep the next readings; "
                         "until rotor is restarted this is not reported again.")
                          .arg(native(m_record.history().folder()), error));
}

bool FileMenu::refuseWhileBusy() const
{
    if (m_lock.busy() || m_view.monitorState() != MonitorState::Idle) {
        QApplication::beep();
        return true;
    }
    return false;
}

bool FileMenu::writeAtomically(const QString& path, const QByteArray& contents, const QString& what)
{
    QString error;
    if (writeFileAtomically(path, contents, &error))
        return true;
    m_messages.inform(tr("The %1 could not be saved to %2: %3.\n\nChoose another folder or file name and "
                         "save again.")
                          .arg(what, native(path), error));
    return false;
}

void FileMenu::saveParameters()
{
    if (refuseWhileBusy())
        return;
    // What no one could have typed (a value set from elsewhere) is not written: loading the file
    // would refuse it.
    const PanelState panel = panelState(m_view);
    for (const SetPanelEntry& entry : setPanelEntries) {
        if (!entry.text)
            continue;
        if (const std::optional<QChar> c = controlCharacterIn(panel.*entry.text)) {
            m_messages.inform(tr("The parameters were not saved: the entry %1 holds the control character "
                                 "%2, which no entry of the PARAMETERS SET panel can hold.\n\nType that "
                                 "entry again, then save.")
                                  .arg(fieldName(entry.field))
                                  .arg(c->unicode()));
            return;
        }
    }
    const QString folder = m_folder.isEmpty() ? QDir::homePath() : m_folder;
    const QString path = m_dialogs.saveFileName(
        tr("Save parameters"),
        QDir(folder).filePath(QStringLiteral("rotor-parameters-%1.rotor").arg(now("yyyyMMdd-HHmmss"))),
        parameterFilter);
    if (path.isEmpty())
        return;
    m_folder = QFileInfo(path).absolutePath();
    ParameterFile file;
    file.panel = panel;
    file.saved = QDateTime::currentDateTime();
    file.reading = m_record.last();
    writeAtomically(path, writeParameterFile(file), tr("parameters"));
}

void FileMenu::loadParameters()
{
    if (refuseWhileBusy())
        return;
    const QString path = m_dialogs.openFileName(tr("Load parameters"), m_folder.isEmpty() ? QDir::homePath() : m_folder,
                                                parameterFilter);
    if (path.isEmpty())
        return;
    m_folder = QFileInfo(path).absolutePath();
    loadFrom(path);
}

bool FileMenu::loadFrom(const QString& path)
{
    const auto refuse = [this, &path](const QString& why) {
        m_messages.inform(tr("The parameters were not loaded from %1.\n\n%2\n\nThe PARAMETERS SET panel is "
                             "unchanged.")
                              .arg(native(path), why));
        return false;
    };
    const auto result = loadParameterFile(path);
    if (const auto* why = std::get_if<QString>(&result))
        return refuse(*why);
    fillSetPanel(m_view, std::get<ParameterFile>(result).panel);
    return true;
}

void FileMenu::saveListing()
{
    if (refuseWhileBusy())
        return;
    const QString folder = m_folder.isEmpty() ? QDir::homePath() : m_folder;
    const QString path = m_dialogs.saveFileName(
        tr("Save monitor listing"),
        QDir(folder).filePath(QStringLiteral("rotor-listing-%1.txt").arg(now("yyyyMMdd-HHmmss"))), listingFilter);
    if (path.isEmpty())
        return;
    m_folder = QFileInfo(path).absolutePath();
    // Each listed line ends in CR LF, as the listing itself is defined.
    QString text = m_view.text(Field::cbox_reply_text);
    text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    writeAtomically(path, text.toUtf8(), tr("monitor listing"));
}

void FileMenu::refreshRecentMenu()
{
    m_recent->clear();
    const QStringList files = m_record.history().files();
    const QLocale locale;
    for (qsizetype i = 0; i < files.size() && i < recentListed; ++i) {
        const QString path = files.at(i);
        const QString when =
            locale.toString(ReadingHistory::readAt(path).toLocalTime(), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        const QString number = i + 1 < 10 ? QStringLiteral("&%1").arg(i + 1) : QStringLiteral("1&0");
        QAction* action = m_recent->addAction(number + QLatin1Char(' ') + when, this, [this, path] {
            if (!refuseWhileBusy())
                loadFrom(path);
        });
        action->setObjectName(QStringLiteral("file_recent_%1").arg(i + 1));
    }
    if (files.isEmpty())
        m_recent->addAction(tr("No reading kept yet"))->setEnabled(false);
    m_recent->addSeparator();
    QAction* browse = m_recent->addAction(tr("&Browse the history folder\u2026"), this, [this] {
        if (refuseWhileBusy())
            return;
        const QString path =
            m_dialogs.openFileName(tr("Open recent box reading"), m_record.history().folder(), parameterFilter);
        if (!path.isEmpty())
            loadFrom(path);
    });
    browse->setObjectName(QStringLiteral("file_recent_browse"));
}
