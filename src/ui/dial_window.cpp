// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/dial_window.h"

#include "serial/messages.h"
#include "protocol/set_panel_entries.h"
#include "protocol/view.h"
#include "serial/atomic_file.h"
#include "serial/serial_link.h"
#include "ui/session_signals.h"

#include <QAction>
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
    return text;
}

bool writeDialState(const QString& path, const DialState& state, QString* error)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    return writeFileAtomically(path, formatDialState(state), error);
}

DialWindow::DialWindow(SessionSignals& session, QWidget* parent) : QWidget(parent, Qt::Window), m_dial(new AzimuthDial)
{
    setObjectName(QStringLiteral("dial_window"));
    setWindowTitle(QStringLiteral("Azimuth dial"));
    // The main window's close ends the program, whether the dial is open or not.
    setAttribute(Qt::WA_QuitOnClose, false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_dial);
    setFocusProxy(m_dial);

    connect(&session, &SessionSignals::status, this, &DialWindow::onStatus);
    connect(&session, &SessionSignals::parameters, this, &DialWindow::onParameters);
    connect(&session, &SessionSignals::target, this, [this](double angle) {
        DialReading reading = m_dial->reading();
        reading.target = angle;
        m_busySinceTarget = false;
        m_dial->setReading(reading);
    });
    connect(&session, &SessionSignals::targetGone, this, [this] {
        DialReading reading = m_dial->reading();
        reading.target.reset();
        m_dial->setReading(reading);
    });
}

void DialWindow::onStatus(const StatusReading& status)
{
    DialReading reading = m_dial->reading();
    const std::optional<int> position = status.angle;
    const RotorState state = status.state;
    if (position == reading.position && state == reading.state)
        return;  // frames repeat the same while the rotor stands still: nothing to draw
    reading.position = position;
    reading.state = state;
    // The turn has ended once the box is ready again after it was busy, or ready at the target.
    if (reading.target && state == RotorState::Busy)
        m_busySinceTarget = true;
    if (reading.target && state == RotorState::Ready
        && (m_busySinceTarget || (position && std::lround(*reading.target) == *position)))
        reading.target.reset();
    m_dial->setReading(reading);
}

void DialWindow::onParameters(const ParameterBlock& block)
{
    DialReading reading = m_dial->reading();
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
    emit visibilityChanged(true);
}

void DialWindow::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    emit visibilityChanged(false);
}

void addViewMenuItems(QMenu* menu, QWidget* window, SessionSignals& session, View& view, const SerialLink& link,
                      Messages& messages)
{
    auto* dial = new DialWindow(session, window);
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
    const QString path = dialStatePath(link.settingsPath());
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
    dialAction(window)->setChecked(state->open);
    restoring = false;
}

void saveDialState(const QWidget& window, const SerialLink& link, Messages& messages)
{
    DialWindow* dial = dialWindow(window);
    if (restoring || !dial || !dial->property("placed").toBool())
        return;
    const DialState state{dial->isVisible(), dial->geometry()};
    QString error;
    const QString path = dialStatePath(link.settingsPath());
    if (!writeDialState(path, state, &error))
        messages.inform(QStringLiteral("The azimuth dial's place could not be kept in %1: %2")
                            .arg(QDir::toNativeSeparators(path), error));
}
