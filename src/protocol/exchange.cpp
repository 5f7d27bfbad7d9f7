// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/exchange.h"

#include "protocol/session_observer.h"
#include "protocol/view.h"
#include "serial/messages.h"
#include "serial/port_devices.h"
#include "serial/serial_link.h"

#include <utility>

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

QString characterCode(const QString& c) { return c.isEmpty() ? QString() : QString::number(c.at(0).unicode()); }

Exchange::Exchange(SerialLink& link, View& view) : m_link(link), m_view(view) {}

bool Exchange::send(QChar letter, const QString& data)
{
    // The stops are told apart from a go-to by their data, as their messages do.
    m_command = QStringLiteral("cmd ") + letter;
    if (letter == QLatin1Char('G') && (data == QLatin1String("999") || data == QLatin1String("977")))
        m_command += data;
    const bool failed = m_link.OPEN_PORT();
    if (SessionObserver* observer = m_view.sessionObserver())
        observer->portInUse(m_link.choice().number(), m_link.choice().device());
    if (failed) {
        m_portFailed = true;
        return false;
    }
    QByteArray frame;
    frame.append('\x02').append('A').append(letter.toLatin1()).append(data.toLatin1()).append('\r');
    m_link.port().write(frame);
    m_sinceSent.start();
    m_operatorMsAtSend = m_link.operatorMs();
    m_readHere = m_view.repliesReadHere();
    if (m_readHere) {
        m_link.oweReply(letter);
        m_owes = true;
    }
    return m_readHere;
}

bool Exchange::waitHeader(const QString& timeoutMessage, AfterHeader after)
{
    if (!m_link.waitForHeader()) {
        m_headerTimedOut = true;
        fail(timeoutMessage);
        return false;
    }
    m_headerCame = true;
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

void Exchange::fail(const QString& message)
{
    m_failed = true;
    if (beforeFailure)
        std::exchange(beforeFailure, nullptr)();
    m_link.inform(message);
}

void Exchange::refuse(const QString& message)
{
    m_refused = true;
    if (message.isEmpty())
        m_failed = true;
    else
        fail(message);
}

void Exchange::finish(bool lowerFlag)
{
    if (SessionObserver* observer = m_view.sessionObserver(); observer && !m_command.isEmpty()) {
        // A character that did not come in time raised the flag after the header wait lowered it.
        ExchangeResult result{m_command, ExchangeOutcome::Answered, 0};
        if (m_portFailed)
            result.outcome = ExchangeOutcome::PortFailed;
        else if (!m_readHere)
            result.outcome = ExchangeOutcome::LeftToMonitor;
        else if (m_headerTimedOut && !m_headerCame)
            result.outcome = ExchangeOutcome::NoReply;
        else if (m_refused)
            result.outcome = ExchangeOutcome::Refused;
        else if (m_headerTimedOut || m_failed || m_link.timedOut())
            result.outcome = ExchangeOutcome::Faulty;
        if (m_sinceSent.isValid())
            result.elapsedMs = m_sinceSent.elapsed() - (m_link.operatorMs() - m_operatorMsAtSend);
        observer->exchangeEnded(result);
    }
    m_link.disarmTimer();
    if (lowerFlag)
        m_link.lowerTimeoutFlag();
    if (std::exchange(m_owes, false))
        m_link.settleReply();
    // The port stays open while the exchange this one interrupted still waits for its reply.
    if (m_view.repliesReadHere() && m_link.repliesOwed() == 0)
        m_link.port().close();
}
