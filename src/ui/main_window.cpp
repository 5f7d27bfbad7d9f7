#include "ui/main_window.h"

#include "serial/messages.h"
#include "ui/calibration_window.h"
#include "ui/colours.h"
#include "protocol/entry_checks.h"
#include "ui/monitor.h"
#include "ui/set_panel.h"
#include "ui/window_layout.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
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

const QString monitorIdleCaption = QStringLiteral("START...");

}  // namespace

MainWindow::MainWindow(Port& port, Messages& messages, int replyPeriodMs, QWidget* parent)
    : QWidget(parent),
      m_messages(messages),
      m_link(port, messages, replyPeriodMs),
      m_commands(m_link, *this),
      m_monitor(std::make_unique<Monitor>(*this))
{
    buildMainWindowControls(this);
    m_link.selectedOption = [this] { return selectedPortOption(); };
    m_lock.onIdle = [this] {
        if (m_closeRequested) {
            m_closeRequested = false;
            QTimer::singleShot(0, this, &QWidget::close);
        }
    };

    for (int n = 1; n <= 4; ++n)
        connect(button(QStringLiteral("COM%1").arg(n)), &QAbstractButton::clicked, this, [this] { m_link.SELECT_PORT(); });

    connect(button(QStringLiteral("clr_reply")), &QAbstractButton::clicked, this,
            [this] { setText(QStringLiteral("cbox_reply_text"), QString()); });
    connect(button(QStringLiteral("calib")), &QAbstractButton::clicked, this, &MainWindow::openCalibration);
    connect(button(QStringLiteral("cmd_monitor")), &QAbstractButton::clicked, this, [this] { m_monitor->MONITOR_RUN(); });
    connect(button(QStringLiteral("set_default")), &QAbstractButton::clicked, this, [this] { SET_DEFAULT(*this); });

    connect(findChild<QLineEdit*>(QStringLiteral("go_to_angle")), &QLineEdit::textChanged, this, [this](const QString& angle) {
        setBackground(QStringLiteral("go_to_angle"), goToAngleValid(angle) ? Colour::Window : Colour::InvalidRed);
    });
    connectSetPanelChecks(*this);

    // Each command button runs its exchange; the stops are never lost.
    const auto wire = [this](const char* name, std::function<void()> command, ExchangeLock::Kind kind) {
        connect(button(QString::fromLatin1(name)), &QAbstractButton::clicked, this, [this, command, kind] {
            if (!m_lock.run(command, kind))
                QApplication::beep();
        });
    };
    using Kind = ExchangeLock::Kind;
    wire("command_s", [this] { m_commands.CMD_S(); }, Kind::Ordinary);
    wire("command_c", [this] { m_commands.CMD_M(); }, Kind::Ordinary);
    wire("command_v", [this] { m_commands.CMD_VERSION(); }, Kind::Ordinary);
    wire("command_qm", [this] { m_commands.CMD_STATUS(); }, Kind::Ordinary);
    wire("execute", [this] { m_commands.CMD_GOTO(); }, Kind::Ordinary);
    wire("fast_stop", [this] { m_commands.CMD_FAST_STOP(); }, Kind::Stop);
    wire("soft_stop", [this] { m_commands.CMD_SOFT_STOP(); }, Kind::Stop);
    wire("read_info", [this] { m_commands.CMD_READ_PARAMS(); }, Kind::Ordinary);
    wire("write_mode", [this] { m_commands.CMD_WRITE_PARAMS(); }, Kind::Ordinary);
}

MainWindow::~MainWindow() = default;

QWidget* MainWindow::field(const QString& name) const
{
    if (auto* w = findChild<QWidget*>(name))
        return w;
    if (m_calibration)
        if (auto* w = m_calibration->findChild<QWidget*>(name))
            return w;
    qFatal("rotor: no control named %s", qPrintable(name));
    return nullptr;
}

QAbstractButton* MainWindow::button(const QString& name) const
{
    auto* b = qobject_cast<QAbstractButton*>(field(name));
    if (!b)
        qFatal("rotor: control %s is not a button", qPrintable(name));
    return b;
}

QString MainWindow::text(const QString& name) const
{
    QWidget* w = field(name);
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

void MainWindow::setText(const QString& name, const QString& text)
{
    QWidget* w = field(name);
    if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        edit->setText(text);
        edit->setCursorPosition(0);
    } else if (auto* edit = qobject_cast<QPlainTextEdit*>(w)) {
        edit->setPlainText(text);
    } else if (auto* b = qobject_cast<QAbstractButton*>(w)) {
        b->setText(text);
    } else if (auto* label = qobject_cast<QLabel*>(w)) {
        label->setText(text);
    }
}

void MainWindow::setBackground(const QString& name, Colour colour) { colours::paintBackground(field(name), toColor(colour)); }

void MainWindow::setTextColour(const QString& name, Colour colour) { colours::paintText(field(name), toColor(colour)); }

bool MainWindow::isChecked(const QString& name) const { return button(name)->isChecked(); }

void MainWindow::setChecked(const QString& name, bool checked)
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

bool MainWindow::isEnabled(const QString& name) const { return field(name)->isEnabled(); }

void MainWindow::setEnabled(const QString& name, bool enabled) { field(name)->setEnabled(enabled); }

void MainWindow::DISABLE_BUTTONS()
{
    for (const char* name : {"write_mode", "read_info", "execute", "cmd_monitor", "fast_stop", "soft_stop", "command_s"}) {
        QAbstractButton* b = button(QString::fromLatin1(name));
        b->setEnabled(false);
        colours::paintButton(b, colours::buttonFace());
    }
}

void MainWindow::ENABLE_BUTTONS()
{
    ENABLE_WRITE_BUTTON();
    const auto enable = [this](const char* name, const QColor& colour) {
        QAbstractButton* b = button(QString::fromLatin1(name));
        b->setEnabled(true);
        colours::paintButton(b, colour);
    };
    enable("read_info", colours::lightGreen);
    enable("execute", colours::lightGreen);
    ENABLE_MONITOR_BUTTON();
    enable("fast_stop", colours::stopOrange);
    enable("soft_stop", colours::stopOrange);
    enable("command_s", colours::commandS);
}

void MainWindow::DISABLE_WRITE_BUTTON()
{
    QAbstractButton* b = button(QStringLiteral("write_mode"));
    b->setEnabled(false);
    colours::paintButton(b, colours::buttonFace());
}

void MainWindow::ENABLE_WRITE_BUTTON()
{
    if (!monitorIdle())
        return;
    QAbstractButton* b = button(QStringLiteral("write_mode"));
    b->setEnabled(true);
    colours::paintButton(b, colours::lightGreen);
}

void MainWindow::DISABLE_MONITOR_BUTTON()
{
    QAbstractButton* b = button(QStringLiteral("cmd_monitor"));
    b->setEnabled(false);
    colours::paintButton(b, colours::buttonFace());
}

void MainWindow::ENABLE_MONITOR_BUTTON()
{
    QAbstractButton* b = button(QStringLiteral("cmd_monitor"));
    b->setEnabled(true);
    colours::paintButton(b, monitorIdle() ? colours::lightGreen : colours::invalidRed);
}

int MainWindow::selectedPortOption() const
{
    for (int n = 1; n <= 4; ++n)
        if (button(QStringLiteral("COM%1").arg(n))->isChecked())
            return n;
    return 0;
}

void MainWindow::openCalibration()
{
    if (!m_calibration)
        m_calibration = std::make_unique<CalibrationWindow>(*this);
    m_calibration->show();
    m_calibration->raise();
    m_calibration->activateWindow();
}

void MainWindow::startUp()
{
    // No other exchange may start while the start-up sequence runs; a stop clicked meanwhile is
    // sent right after it.
    m_lock.run([this] { runStartUp(); });
}

void MainWindow::runStartUp()
{
    // While the sequence runs, a port choice would store nothing and apply nothing: the panel
    // takes no clicks until it has ended.
    QWidget* comPanel = field(QStringLiteral("COM"));
    comPanel->setEnabled(false);
    m_link.startupRunning = true;
    const auto end = [this, comPanel] {
        m_link.startupRunning = false;
        comPanel->setEnabled(true);
    };

    m_messages.inform(QStringLiteral("Connect the PC to the CBOX, power-on it and click on OK when the CBOX is ready"));
    m_link.port().discard();
    m_link.startupFlag = true;
    if (!m_link.LOAD_SETTINGS())
        return end();
    for (int n = 1; n <= 4; ++n)
        setChecked(QStringLiteral("COM%1").arg(n), m_link.portNumber == n);
    m_link.OPEN_PORT();
    m_link.startupFlag = false;
    if (m_commands.CMD_S() || m_commands.CMD_VERSION())
        return end();
    m_commands.panelFill = true;
    m_commands.CMD_READ_PARAMS();
    m_commands.panelFill = false;
    end();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (!monitorIdle()) {
        m_messages.inform(QStringLiteral("Please STOP the COMMUNICATION MONITOR before to exit."));
        event->ignore();
        return;
    }
    if (m_lock.busy()) {
        // An exchange is waiting for the CBOX: the window closes as soon as it has ended.
        m_closeRequested = true;
        event->ignore();
        return;
    }
    event->accept();
}

CalibrationWindow* MainWindow::calibrationWindow() const { return m_calibration.get(); }
