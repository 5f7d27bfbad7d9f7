// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The File menu: the parameter set saved to and loaded from a file, the reading history that
// keeps every changed parameter read without asking, the monitor's listing saved, and Quit.
//
// Nothing here talks to the box. Loading fills the "PARAMETERS SET" panel in Set Default's order,
// each assignment firing its entry's check as any program assignment does; the operator writes
// the set with "cmd W" as always. The items that open a dialog wait while an exchange or the
// monitor runs: a modal dialog would hold up its waits.

#include "storage/parameter_file.h"
#include "storage/reading_record.h"

#include <QObject>
#include <optional>

class Dialogs;
class ExchangeLock;
class Messages;
class QMenu;
class QWidget;
class SessionSignals;
class View;
struct ParameterBlock;

class FileMenu : public QObject {
    Q_OBJECT
public:
    struct Uses {
        SessionSignals& session;  // the parameter and version reads it keeps
        ExchangeLock& lock;       // its dialogs wait while an exchange runs
        View& view;               // the set panel, the listing and the monitor's state
        Messages& messages;
        Dialogs& dialogs;
    };

    // Hooks itself to the parameter and version reads and adds its items to `file`, the File menu
    // of `window`.
    FileMenu(const Uses& uses, QMenu* file, QWidget* window);

    ReadingHistory& history() { return m_record.history(); }
    // The last parameter read of this run that ended well, if any.
    const std::optional<BoxReading>& lastReading() const { return m_record.last(); }

    // File > Save parameters: the set panel, and the last reading, to a file the operator chooses.
    void saveParameters();
    // File > Load parameters: a file the operator chooses into the set panel.
    void loadParameters();
    // Fills the set panel from the file at `path`, or says why not and changes nothing.
    bool loadFrom(const QString& path);
    // File > Save monitor listing: the CBOX replies listing as shown, lines ending in CR LF.
    void saveListing();
    // Rebuilds File > Open recent box reading from the history folder, newest first.
    void refreshRecentMenu();
    QMenu* recentMenu() const { return m_recent; }

signals:
    // File > Quit: the window ends the program, or says why not yet.
    void quitChosen();

private:
    void onParametersRead(const ParameterBlock& block);
    void keepInHistory(const BoxReading& reading);
    // True (with a beep) when an exchange or the monitor runs.
    bool refuseWhileBusy() const;
    bool writeAtomically(const QString& path, const QByteArray& contents, const QString& what);

    ExchangeLock& m_lock;
    View& m_view;
    Messages& m_messages;
    Dialogs& m_dialogs;
    ReadingRecord m_record;
    QMenu* m_recent = nullptr;
    // The folder of the last file saved or loaded, where the next dialog opens.
    QString m_folder;
};
