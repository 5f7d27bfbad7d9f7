// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window `rotor`: the field set, the button groups and the wiring of every control to
// its command. It is the protocol's view of the window (View). The panels of the operator's form
// stand in its central widget, with the menu bar above them and the status bar below.

#include "protocol/commands.h"
#include "protocol/view.h"
#include "protocol/exchange_lock.h"
#include "protocol/session.h"
#include "serial/serial_link.h"
#include "storage/settings_file.h"
#include "ui/controls.h"
#include "ui/dialogs.h"

#include <QMainWindow>
#include <QPointer>
#include <array>
#include <memory>

class CalibrationWindow;
class FileMenu;
class NetworkMenu;
class PortMenu;
class Messages;
class Port;
class QAbstractButton;
class QCloseEvent;
class QMenu;
class Monitor;
class SessionSignals;

class MainWindow : public QMainWindow, public View, public Controls {
    Q_OBJECT
public:
    MainWindow(Port& port, Messages& messages, int replyPeriodMs = SerialLink::replyTimeoutMs,
               QWidget* parent = nullptr);
    ~MainWindow() override;

    Session& session() { return m_session; }
    SerialLink& link() { return m_session.link(); }
    // The settings file the port choice is kept in (tests put it in a folder of their own).
    SettingsFile& settingsFile() { return m_settingsFile; }
    Commands& commands() { return m_session.commands(); }
    ExchangeLock& exchangeLock() { return m_session.lock(); }
    Messages& messages() { return m_messages; }
    // The dialogs beyond the message boxes; the real ones unless a test gives its own.
    Dialogs& dialogs() { return m_dialogs; }
    void setDialogs(Dialogs* dialogs);

    // The start-up sequence, run once when the window has been shown.
    void startUp();
    // The start-up, then, once the sequence has ended whatever its outcome, the parameter file at
    // `path` (unless empty) loaded as File > Load parameters loads it: the file named on the
    // command line, which the start-up's panel fill would otherwise overwrite.
    void startUpLoading(const QString& path);
    // The start-up's exchanges after a first start's port choice: the sequence from the opening of
    // the port on, run as startUp() runs it.
    void startUpAfterPortChoice();
    // File > Quit: this window closes as its close button closes it (refused while the monitor
    // runs, put off while an exchange waits); then the calibration window and the dial close too,
    // and with them the program.
    void quit();
    // Esc in any of the windows (main, calibration, dial): STOP!, the fast stop.
    void stopFromKeyboard();
    // The calibration window, when it has been opened.
    CalibrationWindow* calibrationWindow() const;

    // The menus of the menu bar.
    QMenu* fileMenu() const { return m_fileMenu; }
    QMenu* portMenu() const { return m_portMenu; }
    QMenu* helpMenu() const { return m_helpMenu; }
    QMenu* viewMenu() const { return m_viewMenu; }
    QMenu* toolsMenu() const { return m_toolsMenu; }
    // Tools > Network control…
    NetworkMenu& networkMenu() const { return *m_network; }

    // The session's news for the watchers beside the window (the azimuth dial, the status bar).
    SessionSignals& sessionSignals() const { return *m_sessionSignals; }
    SessionObserver* sessionObserver() const override;

    // View
    QString text(Field field) const override;
    void setText(Field field, const QString& text) override;
    void setBackground(Field field, Colour colour) override;
    void setTextColour(Field field, Colour colour) override;
    bool isChecked(Field field) const override;
    void setChecked(Field field, bool checked) override;
    bool isEnabled(Field field) const override;
    void setEnabled(Field field, bool enabled) override;
    void DISABLE_BUTTONS() override;
    void DISABLE_BUTTONS_BUT_STOPS() override;
    void ENABLE_BUTTONS() override;
    void DISABLE_WRITE_BUTTON() override;
    void ENABLE_WRITE_BUTTON() override;
    void DISABLE_MONITOR_BUTTON() override;
    void ENABLE_MONITOR_BUTTON() override;
    MonitorState monitorState() const override;
    // The communication monitor.
    Monitor& monitor() { return *m_monitor; }

    // The control of `field`, found once when its window was built.
    QWidget* control(Field field) const override;
    using Controls::control;
    // Takes the controls of a window just built; a control missing from it ends the program.
    void resolveControls(QWidget* window, bool calibration);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QAbstractButton* button(Field field) const;
    void openCalibration();
    void runStartUp(StartUp::From from);
    // A control, or the form, switched off and on without the keyboard landing in an entry.
    void switchOff(QWidget* w);
    void switchOn(QWidget* w);
    void buildMenus();

    Messages& m_messages;
    std::unique_ptr<Dialogs> m_desktopDialogs;
    // What the features keep: the desktop's dialogs, or a test's.
    SwitchedDialogs m_dialogs;
    SettingsFile m_settingsFile;
    Session m_session;
    SerialLink& m_link;
    Commands& m_commands;
    ExchangeLock& m_lock;
    std::unique_ptr<Monitor> m_monitor;
    std::unique_ptr<CalibrationWindow> m_calibration;
    FileMenu* m_files = nullptr;
    PortMenu* m_ports = nullptr;
    std::array<QWidget*, fieldCount> m_controls{};
    QMenu* m_fileMenu = nullptr;
    QMenu* m_portMenu = nullptr;
    QMenu* m_helpMenu = nullptr;
    QMenu* m_viewMenu = nullptr;
    QMenu* m_toolsMenu = nullptr;
    NetworkMenu* m_network = nullptr;
    SessionSignals* m_sessionSignals = nullptr;
    // The control that had the focus when it was switched off, and the window the focus waits on
    // meanwhile.
    QPointer<QWidget> m_focusOwner;
    QPointer<QWidget> m_focusParking;
    // Quit was chosen and the close it asked for has not been refused: a close put off until the
    // exchange has ended still quits.
    bool m_quitting = false;
};
