// SPDX-License-Identifier: GPL-3.0-or-later
#include "network/network_exchanges.h"

#include "protocol/entry_value.h"
#include "protocol/session.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// The box's preset delay when no block has been read.
constexpr qint64 defaultPresetDelayMs = 3000;
// Field 13 of the block, the preset delay, counts ticks of 1.64 ms.
constexpr int presetDelayField = 12;
constexpr double tickMs = 1.64;

RotatorCode codeOf(std::optional<ExchangeOutcome> outcome)
{
    switch (outcome.value_or(ExchangeOutcome::NoReply)) {
    case ExchangeOutcome::Answered:
    case ExchangeOutcome::LeftToMonitor: return RotatorCode::Ok;
    case ExchangeOutcome::Refused: return RotatorCode::Refused;
    case ExchangeOutcome::Faulty: return RotatorCode::FaultyReply;
    case ExchangeOutcome::NoReply: return RotatorCode::NoReply;
    case ExchangeOutcome::PortFailed: return RotatorCode::PortUnusable;
    }
    return RotatorCode::NoReply;
}

// Degrees between two angles on the circle (an overlap position such as 390 is 30).
double apart(double a, double b)
{
    const double d = std::fmod(std::fabs(a - b), 360.0);
    return std::min(d, 360.0 - d);
}

}  // namespace

NetworkExchanges::NetworkExchanges(Session& session, View& view, QObject* parent)
    : QObject(parent),
      m_session(session),
      m_view(view),
      m_commands(session.commands(), *this)
{
    m_goToFrameWait.setSingleShot(true);
    m_goToFrameWait.setInterval(SerialLink::replyTimeoutMs);
    connect(&m_goToFrameWait, &QTimer::timeout, this, [this] {
        // No G frame within the reply time: the box did not answer this go-to.
        const PendingGoTo pending = std::move(m_goTosAmongFrames.front());
        m_goTosAmongFrames.pop_front();
        if (!m_goTosAmongFrames.empty())
            m_goToFrameWait.start();
        pending.answer(RotatorCode::NoReply, {});
    });
}

void NetworkExchanges::startUp()
{
    exchange(
        [this] {
            if (!m_commands.CMD_S())
                m_commands.CMD_VERSION();
        },
        ExchangeLock::Kind::Background, this, [](RotatorCode) {});
}

void NetworkExchanges::run(const RotatorRequest& request, const QPointer<QObject>& owner, const Answer& answer)
{
    using Command = RotatorRequest::Command;
    switch (request.command) {
    case Command::GetPosition: getPosition(owner, answer); return;
    case Command::SetPosition: {
        // Whole degrees, halves up, as the window's conversions round; 360 is north again.
        int target = int(std::floor(request.azimuth + 0.5));
        if (target == 360)
            target = 0;
        if (target < 0 || target > 359)
            answer(RotatorCode::Malformed, {});
        else
            setPosition(target, owner, answer);
        return;
    }
    case Command::Stop:
        exchange([this] { m_commands.CMD_FAST_STOP(); }, ExchangeLock::Kind::Stop, owner,
                 [answer](RotatorCode code) { answer(code, {}); });
        return;
    case Command::GetInfo:
        answer(RotatorCode::Ok, {{"Info", m_firmware.isEmpty() ? QByteArray("rotor CBOX firmware unknown")
                                                               : "rotor CBOX firmware " + m_firmware.toLatin1()}});
        return;
    case Command::Park:
    case Command::DumpState: answer(RotatorCode::NotImplemented, {}); return;
    case Command::None:
    case Command::Quit:
    case Command::Malformed: answer(RotatorCode::Malformed, {}); return;
    }
}

void NetworkExchanges::exchange(const std::function<void()>& run, ExchangeLock::Kind kind,
                                const QPointer<QObject>& owner, const std::function<void(RotatorCode)>& done)
{
    m_session.lock().run(
        [this, run, done, owner] {
            if (!owner)
                return;
            // A stop may run inside another request's wait: what that one has gathered is kept.
            auto outcome = std::exchange(m_outcome, std::nullopt);
            QString failure = std::exchange(m_failure, QString());
            {
                SerialLink::MessagesRedirect quiet(m_session.link(), *this);
                run();
            }
            RotatorCode code = codeOf(m_outcome);
            if (code == RotatorCode::Ok && !m_failure.isEmpty())
                code = RotatorCode::FaultyReply;
            if (!m_failure.isEmpty())
                emit failed(QStringLiteral("Network request failed: ") + m_failure);
            m_outcome = outcome;
            m_failure = failure;
            done(code);
        },
        kind);
}

QList<std::pair<QByteArray, QByteArray>> NetworkExchanges::positionValues() const
{
    return {{"Azimuth", QByteArray::number(double(*m_angle), 'f', 6)}, {"Elevation", "0.000000"}};
}

void NetworkExchanges::getPosition(const QPointer<QObject>& owner, const Answer& answer)
{
    // While the monitor runs its status frames keep the position: nothing is sent.
    const bool monitoring = m_view.monitorState() != MonitorState::Idle;
    if (m_angle && (monitoring || m_sinceAngle.elapsed() <= cachedPositionMs)) {
        answer(RotatorCode::Ok, positionValues());
        return;
    }
    if (monitoring) {
        answer(RotatorCode::NoReply, {});
        return;
    }
    // Clients polling together share one "?": a `p` that comes while it runs or waits is answered
    // by it, so the line carries one exchange where it would carry one per client.
    const bool asking = !m_positionWaiters.empty();
    m_positionWaiters.push_back({owner, answer});
    if (asking)
        return;
    exchange(
        [this] {
            // Every client that asked has gone: nothing to ask the box.
            if (std::any_of(m_positionWaiters.begin(), m_positionWaiters.end(),
                            [](const PositionWaiter& w) { return !w.owner.isNull(); }))
                m_commands.CMD_STATUS();
        },
        ExchangeLock::Kind::Background, this,
        [this](RotatorCode code) {
            if (code == RotatorCode::Ok && !m_angle)
                code = RotatorCode::FaultyReply;
            const auto values = code == RotatorCode::Ok ? positionValues() : QList<std::pair<QByteArray, QByteArray>>{};
            for (const PositionWaiter& waiter : std::exchange(m_positionWaiters, {}))
                if (waiter.owner)
                    waiter.answer(code, values);
        });
}

bool NetworkExchanges::goToUnderWay(int target) const { return m_target == target && !m_targetEnded; }

qint64 NetworkExchanges::presetDelayMs() const
{
    const QStringList& block = m_session.commands().lastBlock();
    if (block.size() <= presetDelayField)
        return defaultPresetDelayMs;
    return qint64(entryValue(block[presetDelayField]) * tickMs);
}

void NetworkExchanges::setPosition(int target, const QPointer<QObject>& owner, const Answer& answer)
{
    // A tracking program repeats its target until the rotor is there; sent again, the go-to
    // could restart the box's preset delay.
    if (goToUnderWay(target)) {
        answer(RotatorCode::Ok, {});
        return;
    }
    exchange(
        [this, target] {
            m_goTo.reset();
            m_goToAngle = QString::number(target);
            m_commands.CMD_GOTO();
        },
        ExchangeLock::Kind::Background, owner,
        [this, target, answer](RotatorCode code) {
            // Sent with no answer read, though nothing failed: the monitor runs and its frames
            // will carry the answer.
            if (code == RotatorCode::Ok && !m_goTo) {
                m_goTosAmongFrames.push_back({target, answer});
                if (!m_goToFrameWait.isActive())
                    m_goToFrameWait.start();
                return;
            }
            answer(goToEnded(target, code, m_goTo), {});
        });
}

RotatorCode NetworkExchanges::goToEnded(int target, RotatorCode code, const std::optional<GoToAnswer>& answer)
{
    if (answer && answer->kind == GoToAnswer::Refused)
        code = RotatorCode::Refused;
    else if (code == RotatorCode::Ok && answer && answer->kind == GoToAnswer::Other)
        code = RotatorCode::FaultyReply;
    if (code == RotatorCode::Ok) {
        m_target = target;
        m_targetEnded = false;
        m_sinceTarget.start();
    }
    return code;
}

void NetworkExchanges::noteGoToAnswer(const GoToAnswer& answer)
{
    if (m_goTosAmongFrames.empty() || m_view.monitorState() == MonitorState::Idle)
        return;
    const PendingGoTo pending = std::move(m_goTosAmongFrames.front());
    m_goTosAmongFrames.pop_front();
    m_goToFrameWait.stop();
    if (!m_goTosAmongFrames.empty())
        m_goToFrameWait.start();
    pending.answer(goToEnded(pending.target, RotatorCode::Ok, answer), {});
}

QString NetworkExchanges::text(Field field) const
{
    return field == Field::go_to_angle ? m_goToAngle : m_view.text(field);
}

void NetworkExchanges::setText(Field field, const QString& text)
{
    if (field != Field::go_to_angle)
        m_view.setText(field, text);
}

void NetworkExchanges::setBackground(Field field, Colour colour)
{
    // The readings keep their colours (BUSY red, WRONG red); nothing else changes colour.
    if (field == Field::fast_status || field == Field::goto_replay)
        m_view.setBackground(field, colour);
}

void NetworkExchanges::notePosition(const StatusReading& status)
{
    if (!status.angle)
        return;
    m_angle = status.angle;
    m_sinceAngle.start();
    // READY away from the target after the preset delay: the go-to has ended without getting there.
    if (m_target && status.state == RotorState::Ready && apart(*m_angle, *m_target) > arrivedWithinDegrees
        && m_sinceTarget.elapsed() > presetDelayMs())
        m_targetEnded = true;
}

void NetworkExchanges::noteFirmware(const FirmwareVersion& version)
{
    // As the box's field shows it ("003.22"), less the leading zeros of its whole part: "3.22".
    m_firmware = version.text;
    while (m_firmware.size() > 1 && m_firmware.startsWith(QLatin1Char('0')) && m_firmware[1].isDigit())
        m_firmware.remove(0, 1);
}

void NetworkExchanges::exchangeEnded(const ExchangeResult& result)
{
    m_outcome = result.outcome;
    if (SessionObserver* w = watchers())
        w->exchangeEnded(result);
}

void NetworkExchanges::statusRead(const StatusReading& reading)
{
    if (SessionObserver* w = watchers())
        w->statusRead(reading);
    notePosition(reading);
}

void NetworkExchanges::parametersRead(const ParameterBlock& block)
{
    if (SessionObserver* w = watchers())
        w->parametersRead(block);
}

void NetworkExchanges::versionRead(const FirmwareVersion& version)
{
    if (SessionObserver* w = watchers())
        w->versionRead(version);
    noteFirmware(version);
}

void NetworkExchanges::goToAnswered(const GoToAnswer& answer)
{
    m_goTo = answer;
    if (SessionObserver* w = watchers())
        w->goToAnswered(answer);
}

void NetworkExchanges::targetSent(double angle)
{
    if (SessionObserver* w = watchers())
        w->targetSent(angle);
}

void NetworkExchanges::targetDropped()
{
    m_targetEnded = true;
    if (SessionObserver* w = watchers())
        w->targetDropped();
}

void NetworkExchanges::notSent(const QString& command, const QString& why)
{
    if (SessionObserver* w = watchers())
        w->notSent(command, why);
}

void NetworkExchanges::monitorFrames(int counted, bool running)
{
    if (SessionObserver* w = watchers())
        w->monitorFrames(counted, running);
}

void NetworkExchanges::stopHeld(bool held)
{
    if (SessionObserver* w = watchers())
        w->stopHeld(held);
}

void NetworkExchanges::portInUse(int number, const QString& device)
{
    if (SessionObserver* w = watchers())
        w->portInUse(number, device);
}

void NetworkExchanges::inform(const QString& text)
{
    if (m_failure.isEmpty())
        m_failure = text;
}
