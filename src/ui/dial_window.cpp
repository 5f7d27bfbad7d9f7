// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/dial_window.h"

#include "serial/messages.h"
#include "protocol/commands.h"
#include "protocol/exchange_lock.h"
#include "protocol/set_panel_entries.h"
#include "protocol/view.h"
#include "serial/serial_link.h"
#include "storage/atomic_file.h"
#include "ui/session_signals.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QVBoxLayout>

namespace {

const QString actionName = QStringLiteral("action_azimuth_dial");

QAction* dialAction(const QWidget& window) { return window.findChild<QAction*>(actionName); }

// Saving while the state file is being read back would only write what was just read.
bool restoring = false;

}  // namespace

QString dialStatePath(const QString& settingsPath)
{
    return QFileInfo(settingsPath).absoluteDir().filePath(QStringLiteral("dial.ini"));
}

std::optional<DialState> parseDialState(const QByteArray& contents)
{
    DialState state;
    for (QByteArray line : contents.split('\n')) {
        line = line.trimmed();
        if (line.isEmpty())
            continue;
        const qsizetype equals = line.indexOf('=');
        if (equals < 0)
            return std::nullopt;
        const QByteArray key = line.left(equals).trimmed();
        const QByteArray value = line.mid(equals + 1).trimmed();
        if (key == "open" && (value == "0" || value == "1")) {
            state.open = value == "1";
        } else if (key == "follow" && (value == "0" || value == "1")) {
            state.follow = value == "1";
        } else if (key == "geometry") {
            const QList<QByteArray> parts = value.split(',');
            if (parts.size() != 4)
                return std::nullopt;
            int v[4];
            for (int i = 0; i < 4; ++i) {
                bool ok = false;
                v[i] = parts[i].trimmed().toInt(&ok);
                if (!ok)
                    return std::nullopt;
            }
            if (v[2] <= 0 || v[3] <= 0 || v[2] > 10000 || v[3] > 10000)
                return std::nullopt;
            state.geometry = QRect(v[0], v[1], v[2], v[3]);
        } else {
            return std::nullopt;
        }
    }
    return state;
}

QByteArray formatDialState(const DialState& state)
{
    QByteArray text = "open=" + QByteArray(state.open ? "1" : "0") + "\n";
    if (const auto& g = state.geometry)
        text += QStringLiteral("geometry=%1,%2,%3,%4\n")
                    .arg(g->x())
                    .arg(g->y())
                    .arg(g->width())
                    .arg(g->height())
                    .toLatin1();
    text += "follow=" + QByteArray(state.follow ? "1" : "0") + "\n";
    return text;
}

bool writeDialState(const QString& path, const DialState& state, QString* error)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    return writeFileAtomically(path, formatDialState(state), error);
}

DialWindow::DialWindow(SessionSignals& session, Commands& commands, ExchangeLock& lock, QWidget* parent)
    : QWidget(parent, Qt::Window),
      m_dial(new AzimuthDial),
      m_follow(new QCheckBox(QStringLiteral("Follow the rotor"))),
      m_commands(commands),
      m_lock(lock)
{
    setObjectName(QStringLiteral("dial_window"));
    setWindowTitle(QStringLiteral("Azimuth dial"));
    // The main window's close ends the program, whether the dial is open or not.
    setAttribute(Qt::WA_QuitOnClose, false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 6);
    layout->addWidget(m_dial);
    m_follow->setObjectName(QStringLiteral("follow_rotor"));
    m_follow->setToolTip(QStringLiteral("While the rotor turns to a target, ask its position once a second"));
    layout->addWidget(m_follow, 0, Qt::AlignHCenter);
    connect(m_follow, &QCheckBox::toggled, this, &DialWindow::followingChanged);
    setFocusProxy(m_dial);

    m_sinceMade.start();
    m_clock = [this] { return m_sinceMade.elapsed(); };
    m_tick.setInterval(tickMs);
    connect(&m_tick, &QTimer::timeout, this, &DialWindow::tick);

    connect(&session, &SessionSignals::status, this, &DialWindow::onStatus);
    connect(&session, &SessionSignals::goTo, this, &DialWindow::onGoTo);
    connect(&session, &SessionSignals::parameters, this, &DialWindow::onParameters);
    connect(&session, &SessionSignals::target, this, [this](double angle) {
        DialReading reading = m_dial->reading();
        reading.target = angle;
        reading.turning = false;
        m_busySinceTarget = false;
        m_dial->setReading(reading);
    });
    connect(&session, &SessionSignals::targetGone, this, [this] {
        DialReading reading = m_dial->reading();
        reading.target.reset();
        reading.turning = false;
        m_dial->setReading(reading);
    });
    connect(&session, &SessionSignals::exchange, this, &DialWindow::onExchangeEnded);
}

bool DialWindow::following() const { return m_follow->isChecked(); }

void DialWindow::setFollowing(bool on) { m_follow->setChecked(on); }

void DialWindow::tick()
{
    const DialReading& reading = m_dial->reading();
    // Only while no other exchange runs: a click never waits for the dial, and the dial asks again
    // a second later.
    if (following() && reading.turning && !m_askingFailed && m_commands.view().monitorState() == MonitorState::Idle
        && !m_lock.busy()) {
        m_asking = true;
        m_lock.run([this] { m_commands.CMD_STATUS(false); }, ExchangeLock::Kind::Poll);
        m_asking = false;
    }
    DialReading aged = m_dial->reading();
    const qint64 age = m_clock() - m_receivedAt;
    aged.staleSeconds.reset();
    if (aged.position && age > staleAfterMs)
        aged.staleSeconds = int(age / 1000);
    if (aged != m_dial->reading())
        m_dial->setReading(aged);
}

void DialWindow::onGoTo(const GoToAnswer& answer)
{
    DialReading reading = m_dial->reading();
    // Accepted: the rotor turns to the target until the box is ready again. A stop sent meanwhile
    // has dropped the target.
    if (answer.kind == GoToAnswer::Accepted && reading.target && !reading.turning) {
        reading.turning = true;
        m_askingFailed = false;
        m_dial->setReading(reading);
    }
}

void DialWindow::onExchangeEnded(const ExchangeResult& result)
{
    if (m_asking && result.outcome != ExchangeOutcome::Answered)
        m_askingFailed = true;
}

void DialWindow::stamp(DialReading& reading)
{
    m_receivedAt = m_clock();
    reading.staleSeconds.reset();
}

void DialWindow::onStatus(const StatusReading& status)
{
    DialReading reading = m_dial->reading();
    stamp(reading);
    reading.position = status.angle;
    const RotorState state = status.state;
    reading.state = state;
    // The turn has ended once the box is ready after it accepted the target, or after it was busy,
    // or ready at the target.
    if (reading.target && state == RotorState::Busy)
        m_busySinceTarget = true;
    if (reading.target && state == RotorState::Ready
        && (reading.turning || m_busySinceTarget
            || (reading.position && std::lround(*reading.target) == *reading.position))) {
        reading.target.reset();
        reading.turning = false;
    }
    // Frames repeat the same while the rotor stands still: nothing to draw.
    if (reading != m_dial->reading())
        m_dial->setReading(reading);
}

void DialWindow::onParameters(const ParameterBlock& block)
{
    DialReading reading = m_dial->reading();
    stamp(reading);
    reading.position = block.number(blockField::position);
    reading.state = block.state();
    static const QStringList modes{QStringLiteral("North-stop"), QStringLiteral("South-stop"),
                                   QStringLiteral("Absolute")};
    const std::optional<int> mode = block.number(blockField::stopMode);
    reading.stopMode = mode && *mode >= 0 && *mode < modes.size() ? modes[*mode] : QString();
    reading.lowerLimit = block.number(blockField::lowerLimit);
    reading.upperLimit = block.number(blockField::upperLimit);
    m_dial->setReading(reading);
}

void DialWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_tick.start();
    emit visibilityChanged(true);
}

void DialWindow::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    m_tick.stop();
    emit visibilityChanged(false);
}

void addViewMenuItems(QMenu* menu, QWidget* window, SessionSignals& session, Commands& commands, ExchangeLock& lock,
                      View& view, const SerialLink& link, Messages& messages)
{
    auto* dial = new DialWindow(session, commands, lock, window);
    QObject::connect(dial, &DialWindow::followingChanged, window,
                     [window, &link, &messages] { saveDialState(*window, link, messages); });
    QObject::connect(dial->dial(), &AzimuthDial::angleChosen, window,
                     [&view](int angle) { view.setText(Field::go_to_angle, QString::number(angle)); });

    QAction* action = menu->addAction(QStringLiteral("&Azimuth dial"));
    action->setObjectName(actionName);
    action->setCheckable(true);
    action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    // From the dial itself too: Ctrl+D closes it again.
    action->setShortcutContext(Qt::ApplicationShortcut);
    action->setStatusTip(QStringLiteral("Show the rotor's position, target and travel on a dial"));
    QObject::connect(action, &QAction::toggled, window, [window, dial, &link, &messages](bool on) {
        if (on == dial->isVisible())
            return;
        if (on) {
            if (!dial->property("placed").toBool()) {
                // First shown beside the main window, to its right.
                dial->resize(dial->sizeHint());
                dial->move(window->frameGeometry().topRight() + QPoint(8, 0));
            }
            dial->setProperty("placed", true);
            dial->show();
            dial->raise();
        } else {
            dial->hide();
        }
        saveDialState(*window, link, messages);
    });
    // Closed by its own title bar: the menu item follows, and the state is kept.
    QObject::connect(dial, &DialWindow::visibilityChanged, action, [action, window](bool visible) {
        if (!visible && action->isChecked() && window->isVisible())
            action->setChecked(false);
    });
}

DialWindow* dialWindow(const QWidget& window) { return window.findChild<DialWindow*>(QStringLiteral("dial_window")); }

void restoreDial(const QWidget& window, const SerialLink& link)
{
    const QString path = dialStatePath(link.choice().settingsPath());
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > 4096)
        return;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const std::optional<DialState> state = parseDialState(file.readAll());
    DialWindow* dial = dialWindow(window);
    if (!state || !dial)
        return;
    // A place on no screen any more (a display unplugged) is not kept: the dial opens beside the window.
    if (state->geometry) {
        for (const QScreen* screen : QGuiApplication::screens())
            if (screen->availableGeometry().intersects(*state->geometry)) {
                dial->setGeometry(*state->geometry);
                dial->setProperty("placed", true);
                break;
            }
    }
    restoring = true;
    dial->setFollowing(state->follow);
    dialAction(window)->setChecked(state->open);
    restoring = false;
}

void saveDialState(const QWidget& window, const SerialLink& link, Messages& messages)
{
    DialWindow* dial = dialWindow(window);
    if (restoring || !dial || !dial->property("placed").toBool())
        return;
    const DialState state{dial->isVisible(), dial->geometry(), dial->following()};
    QString error;
    const QString path = dialStatePath(link.choice().settingsPath());
    if (!writeDialState(path, state, &error))
        messages.inform(QStringLiteral("The azimuth dial's place could not be kept in %1: %2")
                            .arg(QDir::toNativeSeparators(path), error));
}
