// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A scripted port for tests: "when this frame is written, make these bytes arrive, now or after
// N ms, or never". Records everything written, and every open and close.

#include "serial/port.h"

#include <QList>

class FakePort : public Port {
    Q_OBJECT
public:
    using Port::Port;

    // When `frame` is the next expected write, `reply` arrives `delayMs` later (0: at the next
    // turn of the event loop; negative: never). Expectations are consumed in order.
    void expect(const QByteArray& frame, const QByteArray& reply = {}, int delayMs = 0);
    // Bytes that arrive on the line now (at the next turn of the event loop) or later.
    void arrive(const QByteArray& bytes, int delayMs = 0);
    // Each byte arrives on its own, `gapMs` apart.
    void trickle(const QByteArray& bytes, int gapMs);

    bool failOpen = false;                             // open() fails, as for an absent or busy device
    PortOpenFailure failure = PortOpenFailure::Other;  // and why, with these words of the system
    QString failureText;
    QString device;                // the device an open tries
    QByteArray written;            // every byte written, in order
    QList<QByteArray> writes;      // each write on its own
    QList<QByteArray> unexpected;  // writes that matched no expectation
    int opens = 0;
    int closes = 0;
    int portNumber = -1;  // the port number the last open was given
    int settingsApplied = 0;
    bool remainingExpectations() const { return !m_script.isEmpty(); }

    bool applyLineSettings() override
    {
        ++settingsApplied;
        return true;
    }
    bool open(const PortChoice& choice) override;
    void close() override;
    bool isOpen() const override { return m_open; }
    qint64 pendingCount() const override { return m_rx.size(); }
    void discard() override { m_rx.clear(); }
    QByteArray readOne() override;
    void write(const QByteArray& bytes) override;
    QString errorText() const override { return failOpen ? failureText : QString(); }
    QString lastOpenDevice() const override { return device; }
    PortOpenFailure lastOpenFailure() const override { return failOpen ? failure : PortOpenFailure::None; }
    // The line goes away, as when the device is unplugged.
    void hangUp();

private:
    struct Step {
        QByteArray frame;
        QByteArray reply;
        int delayMs;
    };
    void deliver(const QByteArray& bytes);

    bool m_open = false;
    QByteArray m_rx;
    QList<Step> m_script;
};
