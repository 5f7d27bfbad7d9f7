// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/exchange.h"

#include "protocol/view.h"
#include "serial/messages.h"
#include "serial/serial_link.h"

namespace envelope {
const EnvelopeMessages plain{
    QStringLiteral("<Identifier> invalid, received:"),
    QStringLiteral("<Separator>1 invalid, received:"),
    QStringLiteral("<Cmd> invalid, received:"),
    QStringLiteral("<Separator>2 invalid, received:"),
};
const EnvelopeMessages status{
    QStringLiteral("? cmd, <Identifier> invalid, received:"),
    QStringLiteral("? cmd, <Separator>#1 invalid, received:"),
    QStringLiteral("? cmd, <Cmd> invalid, received:"),
    QStringLiteral("? cmd, <Separator>#2 invalid, received:"),
};
const EnvelopeMessages version{
    QStringLiteral("V cmd, <Identifier> invalid, received:"),
    QStringLiteral("V cmd, <Separator>#1 invalid, received:"),
    QStringLiteral("V cmd, <Cmd> invalid, received:"),
    QStringLiteral("V cmd, <Separator>#2 invalid, received:"),
};
}  // namespace envelope

QString characterCode(const QString& c)
{
    return c.isEmpty() ? QString() : QString::number(c.at(0).unicode());
}

Exchange::Exchange(SerialLink& link, View& view) : m_link(link), m_view(view) {}

bool Exchange::send(QChar letter, const QString& data)
{
    if (m_link.OPEN_PORT()) {
        m_portFailed = true;
        return false;
    }
    QByteArray frame;
    frame.append('\x02').append('A').append(letter.toLatin1()).append(data.toLatin1()).append('\r');
    m_link.port().write(frame);
    return m_view.repliesReadHere();
}

bool Exchange::waitHeader(const QString& timeoutMessage, AfterHeader after)
{
    if (!m_link.waitForHeader()) {
        fail(timeoutMessage);
        return false;
    }
    if (after == AfterHeader::DisarmTimer)
        m_link.disarmTimer();
    return true;
}

bool Exchange::expect(QChar expected, const QString& message)
{
    const QString c = m_link.GET_CHAR();
    if (c == QString(expected))
        return true;
    fail(message + c);
    return false;
}

bool Exchange::envelope(QChar letter, const EnvelopeMessages& messages)
{
    return expect(QLatin1Char('A'), messages.identifier) && expect(QLatin1Char(','), messages.separator1)
        && expect(letter, messages.echo) && expect(QLatin1Char(','), messages.separator2);
}

bool Exchange::terminator(const QString& message)
{
    const QString c = m_link.GET_CHAR();
    if (c == QLatin1String("\r"))
        return true;
    fail(message + characterCode(c));
    return false;
}

void Exchange::fail(const QString& message) { m_link.messages().inform(message); }

void Exchange::finish(bool lowerFlag)
{
    m_link.disarmTimer();
    if (lowerFlag)
        m_link.timeoutFlag = false;
    if (m_view.repliesReadHere())
        m_link.port().close();
}
