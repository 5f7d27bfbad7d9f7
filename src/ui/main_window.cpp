// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/main_window.h"
#include "ui/network_menu.h"

#include "serial/messages.h"
#include "ui/calibration_window.h"
#include "ui/colours.h"
#include "ui/dialogs.h"
#include "ui/dial_window.h"
#include "ui/file_menu.h"
#include "protocol/entry_checks.h"
#include "ui/monitor.h"
#include "ui/about.h"
#include "ui/port_menu.h"
#include "ui/refused_click.h"
#include "ui/session_signals.h"
#include "ui/session_status_bar.h"
#include "ui/set_panel.h"
#include "ui/tooltips.h"
#include "ui/window_layout.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QShortcut>
#include <QTimer>

namespace {

QColor toColor(Colour colour)
{
    switch (colour) {
    case Colour::InvalidRed: return colours::invalidRed;
    case Colour::Window: return colours::window();
    case Colour::WindowText: return colours::windowText();
    }
    return colours::window();
}

}  // namespace

MainWindow::MainWindow(Port& port, Messages& messages, int replyPeriodMs, QWidget* parent)
    : QMainWindow(parent),
      m_messages(messages),
      m_desktopDialogs(std::make_unique<DesktopDialogs>(this)),
      m_dialogs(m_desktopDialogs.get()),
      m_session(port, m_settingsFile, messages, *this, replyPeriodMs),
      m_link(m_session.link()),
      m_commands(m_session.commands()),
      m_lock(m_session.lock()),
      m_monitor(std::make_unique<Monitor>(m_session, *this, this))
{
    m_sessionSignals = new SessionSignals(this);
    // The panels keep their places on a form of their own, below the menu bar and above the
    // status bar; the window is as large as the three together and cannot be resized.
    auto* form = new QWidget;
    buildMainWindowControls(form);
    setObjectName(form->objectName());
    form->setObjectName(QStringLiteral("form"));
    setWindowTitle(form->windowTitle());
    setCentralWidget(form);
    setWindowIcon(rotorIcon());
    resolveControls(this, false);
    applyTooltips(this);
    buildMenus();
    addSessionStatusBar(statusBar(), *m_sessionSignals);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    fitFormToScreen(this);

    connect(button(Field::clr_reply), &QAbstractButton::clicked, this,
            [this] { setText(Field::cbox_reply_text, QString()); });
    connect(button(Field::calib), &QAbstractButton::clicked, this, &MainWindow::openCalibration);
    connect(button(Field::cmd_monitor), &QAbstractButton::clicked, this, [this] { m_monitor->MONITOR_RUN(); });
    connect(button(Field::set_default), &QAbstractButton::clicked, this, [this] { SET_DEFAULT(*this, m_messages); });

    connect(control<QLineEdit>(Field::go_to_angle), &QLineEdit::textChanged, this, [this](const QString& angle) {
        setBackground(Field::go_to_angle, goToAngleValid(angle) ? Colour::Window : Colour::InvalidRed);
    });
    connectSetPanelChecks(*this, *this);

    // Each command button runs its exchange; the stops go out at once, whatever runs.
    const auto wire = [this](Field name, ExchangeLock::Kind kind, std::function<void()> command) {
        connect(button(name), &QAbstractButton::clicked, this, [this, command, kind, name] {
            if (!m_lock.run(command, kind))
                refuseClick(control(name));
        });
    };
    using Kind = ExchangeLock::Kind;
    wire(Field::command_s, Kind::Ordinary, [this] { m_commands.CMD_S(); });
    wire(Field::command_c, Kind::Ordinary, [this] { m_commands.CMD_M(); });
    wire(Field::command_v, Kind::Ordinary, [this] { m_commands.CMD_VERSION(); });
    wire(Field::command_qm, Kind::Ordinary, [this] { m_commands.CMD_STATUS(); });
    wire(Field::execute, Kind::Ordinary, [this] { m_commands.CMD_GOTO(); });
    wire(Field::fast_stop, Kind::Stop, [this] { m_commands.CMD_FAST_STOP(); });
    // Esc anywhere in the window stops the rotor, whatever has the focus.
    auto* stopKey = new QShortcut(QKeySequence(Qt::Key_Escape), this, [this] { stopFromKeyboard(); });
    stopKey->setContext(Qt::WindowShortcut);
    wire(Field::soft_stop, Kind::Stop, [this] { m_commands.CMD_SOFT_STOP(); });
    wire(Field::read_info, Kind::Ordinary, [this] { m_commands.CMD_READ_PARAMS(); });
    wire(Field::write_mode, Kind::Ordinary, [this] { m_commands.CMD_WRITE_PARAMS(); });
}

MainWindow::~MainWindow() = default;

void MainWindow::resolveControls(QWidget* window, bool calibration)
{
    for (int i = 0; i < fieldCount; ++i) {
        const auto field = static_cast<Field>(i);
        if (onCalibrationWindow(field) != calibration)
            continue;
        // The first control of that name: the calibration window's own "calib" button is not
        // one the commands touch.
        QWidget* w = window->findChild<QWidget*>(fieldName(field));
        if (!w)
            qFatal("rotor: no control named %s", qPrintable(fieldName(field)));
        m_controls[static_cast<std::size_t>(i)] = w;
    }
}

QWidget* MainWindow::control(Field field) const
{
    QWidget* w = m_controls[static_cast<std::size_t>(field)];
    if (!w)
        qFatal("rotor: control %s is on a window not built yet", qPrintable(fieldName(field)));
    return w;
}

QAbstractButton* MainWindow::button(Field field) const
{
    auto* b = qobject_cast<QAbstractButton*>(control(field));
    if (!b)
        qFatal("rotor: control %s is not a button", qPrintable(fieldName(field)));
    return b;
}

QString MainWindow::text(Field name) const
{
    if (name == Field::cbox_reply_text)
        m_monitor->flushListing();  // the lines the monitor has listed come first
    QWidget* w = control(name);
    if (auto* edit = qobject_cast<QLineEdit*>(w))
        return edit->text();
    if (auto* edit = qobject_cast<QPlainTextEdit*>(w))
        return edit->toPlainText();
    if (auto* b = qobject_cast<QAbstractButton*>(w))
        return b->text();
    if (auto* label = qobject_cast<QLabel*>(w))
        return label->text();
    return {};
}

void MainWindow::setText(Field name, const QString& text)
{
    if (name == Field::cbox_reply_text)
        m_monitor->flushListing();  // the lines the monitor has listed come first
    QWidget* w = control(name);
    if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        // Every assignment is judged by the entry's check, also one that leaves the text as it
        // was: the check depends on other entries that may have changed meanwhile.
        const bool unchanged = edit->text() == text;
        edit->setText(text);
        edit->setCursorPosition(0);
        if (unchanged)
            emit edit->textChanged(text);
        // A value wider than its read field is shown whole as the field's tooltip.
        if (edit->isReadOnly()) {
            const int room = edit->contentsRect().width() - 4;
            edit->setToolTip(edit->fontMetrics().horizontalAdvance(text) > room ? text : QString());
        }
    } else if (auto* edit = qobject_cast<QPlainTextEdit*>(w)) {
        edit->setPlainText(text);
    } else if (auto* b = qobject_cast<QAbstractButton*>(w)) {
        // Assistive technology reads what the button shows now.
        b->setText(text);
        b->setAccessibleName(text);
        if (name == Field::cmd_monitor)
            b->setToolTip(monitorButtonTooltip(text));
    } else if (auto* label = qobject_cast<QLabel*>(w)) {
        label->setText(text);
    }
}

void MainWindow::setBackground(Field name, Colour colour) { colours::paintBackground(control(name), toColor(colour)); }

void MainWindow::setTextColour(Field name, Colour colour) { colours::paintText(control(name), toColor(colour)); }

bool MainWindow::isChecked(Field name) const { return button(name)->isChecked(); }

void MainWindow::setChecked(Field name, bool checked)
{
    QAbstractButton* b = button(name);
    // An option of an exclusive group cannot be cleared directly (the block's "Absolute" clears
    // both stop options); lift the exclusion for it.
    if (!checked && b->isChecked()) {
        QButtonGroup* group = b->group();
        const bool groupExclusive = group && group->exclusive();
        const bool autoExclusive = b->autoExclusive();
        if (groupExclusive)
            group->setExclusive(false);
        b->setAutoExclusive(false);
        b->setChecked(false);
        b->setAutoExclusive(autoExclusive);
        if (groupExclusive)
            group->setExclusive(true);
        return;
    }
    b->setChecked(checked);
}

// The control's own state, as the commands and the button groups left it: while the start-up keeps
// the form off every control reports itself disabled, and a command that gives its button back the
// state it found would leave it off for good.
bool MainWindow::isEnabled(Field name) const { return !control(name)->testAttribute(Qt::WA_ForceDisabled); }

void MainWindow::setEnabled(Field name, bool enabled)
{
    if (enabled)
        switchOn(control(name));
    else
        switchOff(control(name));
}

// Qt moves the focus off a control being disabled to the next one in the tab chain, and an entry
// given the focus that way selects its whole text: the next key would silently replace a value
// that "cmd W" writes. So the focus waits on the control's window, which takes no keys, until the
// control is on again, and then goes back to it, unless the operator has moved it meanwhile.
void MainWindow::switchOff(QWidget* w)
{
    QWidget* top = w->window();
    QWidget* focus = top->focusWidget();
    if (focus && (focus == w || w->isAncestorOf(focus))) {
        m_focusOwner = focus;
        m_focusParking = top;
        top->setFocus(Qt::OtherFocusReason);
    }
    w->setEnabled(false);
}

void MainWindow::switchOn(QWidget* w)
{
    w->setEnabled(true);
    if (!m_focusOwner || !m_focusParking || m_focusParking->focusWidget() != m_focusParking) {
        m_focusOwner = nullptr;  // the operator has put the focus elsewhere
        return;
    }
    if (!m_focusOwner->isEnabled())
        return;  // still off, as the group's other buttons are while a long exchange runs
    QWidget* owner = m_focusOwner;
    m_focusOwner = nullptr;
    owner->setFocus(Qt::OtherFocusReason);
}

void MainWindow::DISABLE_BUTTONS()
{
    DISABLE_BUTTONS_BUT_STOPS();
    for (Field name : {Field::fast_stop, Field::soft_stop}) {
        QAbstractButton* b = button(name);
        switchOff(b);
        colours::paintButton(b, colours::buttonFace());
    }
}

void MainWindow::DISABLE_BUTTONS_BUT_STOPS()
{
    for (Field name : {Field::write_mode, Field::read_info, Field::execute, Field::cmd_monitor, Field::command_s}) {
        QAbstractButton* b = button(name);
        switchOff(b);
        colours::paintButton(b, colours::buttonFace());
    }
}

void MainWindow::ENABLE_BUTTONS()
{
    ENABLE_WRITE_BUTTON();
    const auto enable = [this](Field name, const QColor& colour) {
        QAbstractButton* b = button(name);
        switchOn(b);
        colours::paintButton(b, colour);
    };
    enable(Field::read_info, colours::lightGreen);
    enable(Field::execute, colours::lightGreen);
    ENABLE_MONITOR_BUTTON();
    enable(Field::fast_stop, colours::stopOrange);
    enable(Field::soft_stop, colours::stopOrange);
    enable(Field::command_s, colours::commandS);
}

void MainWindow::DISABLE_WRITE_BUTTON()
{
    QAbstractButton* b = button(Field::write_mode);
    switchOff(b);
    colours::paintButton(b, colours::buttonFace());
}

void MainWindow::ENABLE_WRITE_BUTTON()
{
    // While the monitor runs the write stays off; its STOP click gives it back at once.
    if (monitorState() == MonitorState::Running)
        return;
    QAbstractButton* b = button(Field::write_mode);
    switchOn(b);
    colours::paintButton(b, colours::lightGreen);
}

void MainWindow::DISABLE_MONITOR_BUTTON()
{
    QAbstractButton* b = button(Field::cmd_monitor);
    switchOff(b);
    colours::paintButton(b, colours::buttonFace());
}

void MainWindow::ENABLE_MONITOR_BUTTON()
{
    QAbstractButton* b = button(Field::cmd_monitor);
    switchOn(b);
    colours::paintButton(b, monitorState() == MonitorState::Running ? colours::invalidRed : colours::lightGreen);
}

MonitorState MainWindow::monitorState() const { return m_monitor->state(); }

void MainWindow::openCalibration()
{
    if (!m_calibration) {
        m_calibration = std::make_unique<CalibrationWindow>(m_lock, m_commands, [this] { stopFromKeyboard(); });
        resolveControls(m_calibration.get(), true);
        placeBesideMainWindow(m_calibration.get(), this);
    }
    m_calibration->show();
    m_calibration->raise();
    m_calibration->activateWindow();
}

void MainWindow::stopFromKeyboard()
{
    // As a click on STOP!, also while the start-up sequence keeps the panels off: the stop goes
    // out at once, inside the sequence's wait.
    QAbstractButton* stop = button(Field::fast_stop);
    if (stop->isEnabledTo(centralWidget()))
        m_lock.run([this] { m_commands.CMD_FAST_STOP(); }, ExchangeLock::Kind::Stop);
}

void MainWindow::startUp()
{
    // No other exchange may start while the start-up sequence runs; a stop goes out at once.
    restoreDial(*this, m_link);
    m_lock.run([this] { runStartUp(StartUp::From::Prompt); });
    m_ports->afterStartUp([this] { startUpAfterPortChoice(); });
    // Tracking programs are let in once the window's own start-up has had the box.
    m_network->applyStored();
}

void MainWindow::startUpLoading(const QString& path)
{
    startUp();
    if (!path.isEmpty())
        m_files->loadFrom(QFileInfo(path).absoluteFilePath());
}

void MainWindow::startUpAfterPortChoice()
{
    m_lock.run([this] { runStartUp(StartUp::From::PortChoice); });
}

void MainWindow::runStartUp(StartUp::From from)
{
    // While the sequence runs nothing in the window takes input: a port choice would store and
    // apply nothing, and a typed entry or Set Default would be half overwritten by the panel fill.
    // The panels are back once it has ended; Esc still stops the rotor meanwhile.
    QWidget* panels = centralWidget();
    m_session.startUp().onRunning = [this, panels](bool running) {
        if (running)
            switchOff(panels);
        else
            switchOn(panels);
    };
    m_session.startUp().run(from);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (monitorState() == MonitorState::Running) {
        m_messages.inform(QStringLiteral("Please STOP the COMMUNICATION MONITOR before to exit."));
        m_quitting = false;
        event->ignore();
        return;
    }
    if (m_lock.busy()) {
        // An exchange is waiting for the CBOX: the window closes as soon as it has ended.
        m_lock.whenIdle([this] { QTimer::singleShot(0, this, &QWidget::close); });
        event->ignore();
        return;
    }
    saveDialState(*this, m_link, m_messages);
    if (DialWindow* dial = dialWindow(*this))
        dial->hide();
    // The calibration window outlives a close of this window, and keeps the program running, but
    // not a Quit.
    if (m_quitting && m_calibration)
        m_calibration->close();
    event->accept();
}

void MainWindow::quit()
{
    m_quitting = true;
    close();
}

SessionObserver* MainWindow::sessionObserver() const { return m_sessionSignals; }

void MainWindow::setDialogs(Dialogs* dialogs) { m_dialogs.setTarget(dialogs ? dialogs : m_desktopDialogs.get()); }

void MainWindow::buildMenus()
{
    m_fileMenu = menuBar()->addMenu(tr("&File"));
    m_fileMenu->setObjectName(QStringLiteral("menu_file"));
    m_files = new FileMenu({*m_sessionSignals, m_lock, *this, m_messages, m_dialogs}, m_fileMenu, this);
    connect(m_files, &FileMenu::quitChosen, this, &MainWindow::quit);
    m_portMenu = menuBar()->addMenu(tr("&Port"));
    m_portMenu->setObjectName(QStringLiteral("menu_port"));
    m_ports = new PortMenu({m_session, *this, *this, m_messages, m_dialogs}, m_portMenu, this);
    m_viewMenu = menuBar()->addMenu(tr("&View"));
    m_viewMenu->setObjectName(QStringLiteral("menu_view"));
    addViewMenuItems(m_viewMenu, this, *m_sessionSignals, m_commands, m_lock, *this, m_link, m_messages);
    // Esc stops the rotor from the dial's window too, as from this one and the calibration window.
    new QShortcut(QKeySequence(Qt::Key_Escape), dialWindow(*this), [this] { stopFromKeyboard(); });
    m_toolsMenu = menuBar()->addMenu(tr("&Tools"));
    m_toolsMenu->setObjectName(QStringLiteral("menu_tools"));
    m_network =
        new NetworkMenu({m_session, *this, *m_sessionSignals, m_messages, m_dialogs}, m_toolsMenu, statusBar(), this);
    m_helpMenu = menuBar()->addMenu(tr("&Help"));
    m_helpMenu->setObjectName(QStringLiteral("menu_help"));
    addHelpItems(m_helpMenu, m_dialogs, m_link);
}

CalibrationWindow* MainWindow::calibrationWindow() const { return m_calibration.get(); }
