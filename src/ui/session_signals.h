// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The session's observer as Qt signals: the commands and the monitor tell SessionObserver, and
// every watcher in the window (the status bar, the azimuth dial, the File menu's reading record)
// connects to what it follows.

#include "protocol/session_observer.h"

#include <QObject>

class SessionSignals : public QObject, public SessionObserver {
    Q_OBJECT
public:
    using QObject::QObject;

    void exchangeEnded(const ExchangeResult& result) override { emit exchange(result); }
    void statusRead(const StatusReading& reading) override { emit status(reading); }
    void parametersRead(const ParameterBlock& block) override { emit parameters(block); }
    void versionRead(const FirmwareVersion& version) override { emit firmware(version); }
    void goToAnswered(const GoToAnswer& answer) override { emit goTo(answer); }
    void targetSent(double angle) override { emit target(angle); }
    void targetDropped() override { emit targetGone(); }
    void notSent(const QString& command, const QString& why) override { emit refused(command, why); }
    void monitorFrames(int counted, bool running) override { emit frames(counted, running); }
    void portInUse(int number, const QString& device) override { emit port(number, device); }
    void stopHeld(bool held) override { emit stopHeldChanged(held); }

signals:
    void exchange(const ExchangeResult& result);
    void status(const StatusReading& reading);
    void parameters(const ParameterBlock& block);
    void firmware(const FirmwareVersion& version);
    void goTo(const GoToAnswer& answer);
    void target(double angle);
    void targetGone();
    void refused(const QString& command, const QString& why);
    void frames(int counted, bool running);
    void port(int number, const QString& device);
    void stopHeldChanged(bool held);
};
