// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The session's news as Qt signals: the commands and the monitor tell SessionEvents, and every
// watcher beside the main window (the azimuth dial, the status bar) connects to what it shows.

#include "protocol/session_events.h"

#include <QObject>

class SessionSignals : public QObject, public SessionEvents {
    Q_OBJECT
public:
    using QObject::QObject;

    void positionReceived(const QString& angle, RotorState state) override { emit position(angle, state); }
    void parametersRead(const QStringList& block) override { emit parameters(block); }
    void targetSent(double angle) override { emit target(angle); }
    void targetDropped() override { emit targetGone(); }
    void exchangeEnded(const QString& command, ExchangeOutcome outcome, qint64 elapsedMs) override
    {
        emit exchange(command, outcome, elapsedMs);
    }
    void notSent(const QString& command, const QString& why) override { emit refused(command, why); }
    void monitorFrames(int counted, bool running) override { emit frames(counted, running); }
    void portInUse(int number, const QString& device) override { emit port(number, device); }
    void stopHeld(bool held) override { emit stopHeldChanged(held); }

signals:
    void position(const QString& angle, RotorState state);
    void parameters(const QStringList& block);
    void target(double angle);
    void targetGone();
    void exchange(const QString& command, ExchangeOutcome outcome, qint64 elapsedMs);
    void refused(const QString& command, const QString& why);
    void frames(int counted, bool running);
    void port(int number, const QString& device);
    void stopHeldChanged(bool held);
};
