// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The tracking programs' requests as exchanges on the session, run quietly: through the same lock
// as the window's clicks, but with a view that greys no button, colours nothing but the readings
// and leaves the GOTO entry alone, and a message seam that opens no box. A failure becomes the
// request's code and one line for the status bar. The readings (position, state, the go-to's
// outcome) still reach the window's fields and its watchers.
//
// This is the one place the network meets the session's view and its news (View, SessionObserver).

#include "network/rotator_request.h"
#include "protocol/commands.h"
#include "protocol/exchange_lock.h"
#include "protocol/session_observer.h"
#include "protocol/view.h"
#include "serial/messages.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <deque>
#include <vector>
#include <functional>
#include <optional>

class Session;

class NetworkExchanges : public QObject, private View, private SessionObserver, private Messages {
    Q_OBJECT
public:
    // A position read no longer ago than this answers `p` without an exchange.
    static constexpr int cachedPositionMs = 250;
    // How far from the target a READY rotor counts as not having reached it.
    static constexpr double arrivedWithinDegrees = 2;

    // `view` is the window's (or the console's); `commands` the session's own, whose stops and
    // block these share.
    NetworkExchanges(Session& session, View& view, QObject* parent = nullptr);

    using Answer = std::function<void(RotatorCode code, const QList<std::pair<QByteArray, QByteArray>>& values)>;
    // Runs `request` (not Quit) and answers it once: at once, or when its exchange has run. A
    // stop runs at once, whatever runs; the others wait behind the exchange running.
    // Nothing runs once `owner` is gone (a client that left while its request waited).
    void run(const RotatorRequest& request, const QPointer<QObject>& owner, const Answer& answer);
    // S and V, as the window's start-up sends them: the firmware for `_`.
    void startUp();
    QString firmware() const { return m_firmware; }

    // What the window read or sent itself: a position (its "?" or the monitor's frames) answers
    // `p` as one of these would; its stops and go-tos end the go-to that a repeated `P` is held for.
    void notePosition(const StatusReading& status);
    void noteTargetGone() { m_targetEnded = true; }
    void noteFirmware(const FirmwareVersion& version);
    // A go-to's answer the window's session read: while the monitor runs, the answers to the
    // go-tos sent from here come among its frames, in the order the go-tos went out.
    void noteGoToAnswer(const GoToAnswer& answer);

signals:
    // A request that failed on the box's side, in one line.
    void failed(const QString& line);

private:
    // View: the window's fields, but no buttons, no colour beyond the readings, no GOTO entry.
    QString text(Field field) const override;
    void setText(Field field, const QString& text) override;
    void setBackground(Field field, Colour colour) override;
    void setTextColour(Field, Colour) override {}
    bool isChecked(Field field) const override { return m_view.isChecked(field); }
    void setChecked(Field, bool) override {}
    bool isEnabled(Field field) const override { return m_view.isEnabled(field); }
    void setEnabled(Field, bool) override {}
    MonitorState monitorState() const override { return m_view.monitorState(); }
    SessionObserver* sessionObserver() const override { return const_cast<NetworkExchanges*>(this); }
    void DISABLE_BUTTONS() override {}
    void ENABLE_BUTTONS() override {}
    void DISABLE_WRITE_BUTTON() override {}
    void ENABLE_WRITE_BUTTON() override {}
    void DISABLE_MONITOR_BUTTON() override {}
    void ENABLE_MONITOR_BUTTON() override {}

    // SessionObserver: told on to the window's watchers, and kept for the answers.
    void exchangeEnded(const ExchangeResult& result) override;
    void statusRead(const StatusReading& reading) override;
    void parametersRead(const ParameterBlock& block) override;
    void versionRead(const FirmwareVersion& version) override;
    void goToAnswered(const GoToAnswer& answer) override;
    void targetSent(double angle) override;
    void targetDropped() override;
    void notSent(const QString& command, const QString& why) override;
    void monitorFrames(int counted, bool running) override;
    void stopHeld(bool held) override;
    void portInUse(int number, const QString& device) override;
    // The window's own observer, told all that the network's exchanges read.
    SessionObserver* watchers() const { return m_view.sessionObserver(); }

    // Messages: kept as the failure's line, never shown.
    void inform(const QString& text) override;
    bool askYesNo(const QString&, const QString&) override { return false; }

    // Runs `exchange` quietly through the lock and answers with its outcome.
    void exchange(const std::function<void()>& exchange, ExchangeLock::Kind kind, const QPointer<QObject>& owner,
                  const std::function<void(RotatorCode)>& done);
    void getPosition(const QPointer<QObject>& owner, const Answer& answer);
    void setPosition(int target, const QPointer<QObject>& owner, const Answer& answer);
    bool goToUnderWay(int target) const;
    qint64 presetDelayMs() const;
    // Ends a go-to with the box's answer to it: the code it answers, and the target it holds for
    // a repeated `P` when accepted.
    RotatorCode goToEnded(int target, RotatorCode code, const std::optional<GoToAnswer>& answer);
    // Go-tos sent while the monitor runs, waiting for their answers among its frames, each at most
    // one reply timeout from the moment it heads the queue.
    struct PendingGoTo {
        int target;
        Answer answer;
    };
    std::deque<PendingGoTo> m_goTosAmongFrames;
    // The `p` requests waiting for the one "?" exchange that runs or waits: all are answered by it.
    struct PositionWaiter {
        QPointer<QObject> owner;
        Answer answer;
    };
    std::vector<PositionWaiter> m_positionWaiters;
    QTimer m_goToFrameWait;
    QList<std::pair<QByteArray, QByteArray>> positionValues() const;

    Session& m_session;
    View& m_view;
    Commands m_commands;
    QString m_firmware;
    // The last position read, and when.
    std::optional<int> m_angle;
    QElapsedTimer m_sinceAngle;
    // The running exchange's outcome, its first failure's text and the go-to's answer.
    std::optional<ExchangeOutcome> m_outcome;
    QString m_failure;
    std::optional<GoToAnswer> m_goTo;
    QString m_goToAngle;
    // The last go-to accepted, and whether it may still be under way.
    std::optional<int> m_target;
    QElapsedTimer m_sinceTarget;
    bool m_targetEnded = false;
};
