// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/fake_port.h"

#include "serial/port_choice.h"

#include <QTimer>

void FakePort::expect(const QByteArray& frame, const QByteArray& reply, int delayMs)
{
    m_script.append({frame, reply, delayMs});
}

void FakePort::arrive(const QByteArray& bytes, int delayMs)
{
    QTimer::singleShot(delayMs, this, [this, bytes] { deliver(bytes); });
}

void FakePort::trickle(const QByteArray& bytes, int gapMs)
{
    for (qsizetype i = 0; i < bytes.size(); ++i)
        arrive(bytes.mid(i, 1), int(gapMs * (i + 1)));
}

void FakePort::deliver(const QByteArray& bytes)
{
    if (!m_open || bytes.isEmpty())
        return;  // a closed port hears nothing
    m_rx.append(bytes);
    emit readyRead();
}

bool FakePort::open(const PortChoice& choice)
{
    if (m_open)
        return true;
    portNumber = choice.number();
    if (failOpen)
        return false;
    ++opens;
    m_open = true;
    m_rx.clear();
    return true;
}

void FakePort::close()
{
    if (!m_open)
        return;
    ++closes;
    m_open = false;
    m_rx.clear();
}

QByteArray FakePort::readOne()
{
    if (m_rx.isEmpty())
        return {};
    QByteArray c = m_rx.left(1);
    m_rx.remove(0, 1);
    return c;
}

void FakePort::write(const QByteArray& bytes)
{
    written += bytes;
    writes.append(bytes);
    if (!m_script.isEmpty() && m_script.first().frame == bytes) {
        const Step step = m_script.takeFirst();
        if (step.delayMs >= 0)
            arrive(step.reply, step.delayMs);
        return;
    }
    unexpected.append(bytes);
}

void FakePort::hangUp()
{
    if (!m_open)
        return;
    m_open = false;
    m_rx.clear();
    emit lost();
}
