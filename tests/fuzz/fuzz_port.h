// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The port of the fuzz targets: the whole input is on the line before the exchange starts, so a
// wait that would sleep wants more than there is: the port is then lost at once, and an input
// costs microseconds, not 3.3 s. Opening it again finds the input as it was left. Writes go
// nowhere.

#include "serial/port.h"

#include <QAbstractEventDispatcher>

class FuzzPort : public Port {
public:
    explicit FuzzPort(QByteArray input = {}) : m_rx(std::move(input))
    {
        // The event loop about to block means a wait wants more than the input holds: the line
        // is gone, as a real port is when its device goes away. A real port's loss comes as an
        // event, which ends the turn of the loop that a wait sleeps in; this one comes as the
        // loop is about to block, so the loop is woken too.
        connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this, [this] {
            m_open = false;
            emit lost();
            QAbstractEventDispatcher::instance()->wakeUp();
        });
    }

    // A new input for the next run, on a closed port.
    void load(QByteArray input)
    {
        m_rx = std::move(input);
        m_next = 0;
        m_open = false;
    }

    bool applyLineSettings() override { return true; }
    bool open(const PortChoice&) override
    {
        m_open = true;
        return true;
    }
    void close() override { m_open = false; }
    bool isOpen() const override { return m_open; }
    qint64 pendingCount() const override { return m_rx.size() - m_next; }
    void discard() override { m_next = m_rx.size(); }
    QByteArray readOne() override
    {
        if (m_next >= m_rx.size())
            return {};
        return m_rx.mid(m_next++, 1);
    }
    void write(const QByteArray&) override {}

private:
    QByteArray m_rx;
    qsizetype m_next = 0;
    bool m_open = false;
};
