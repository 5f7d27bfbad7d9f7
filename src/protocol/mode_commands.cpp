// SPDX-License-Identifier: GPL-3.0-or-later
// S, M and V: three short exchanges whose frames carry no data.

#include "protocol/button_off.h"
#include "protocol/commands.h"
#include "protocol/entry_value.h"
#include "protocol/view.h"
#include "protocol/exchange.h"
#include "protocol/session_observer.h"
#include "serial/serial_link.h"

#include <utility>

namespace {

// Status frames still in flight that the S after monitoring passes over, at most: the box stops
// them as soon as it has S, so only those already on their way can come first.
constexpr int statusFramesInFlight = 3;

// Waits for the reply to S and tests its envelope, passing over up to `statusFrames` whole
// status frames ("?" echo) and `stopReplies` replies to stops ("G" echo) that come before it.
bool envelopeOfS(SerialLink& link, Exchange& exchange, int statusFrames, int stopReplies)
{
    const QString timeout = QStringLiteral("cmd S, Communication timeout on <header>");
    for (;;) {
        if (!exchange.waitHeader(timeout, AfterHeader::KeepTimer)
            || !exchange.expect(QLatin1Char('A'), envelope::plain.identifier)
            || !exchange.expect(QLatin1Char(','), envelope::plain.separator1))
            return false;
        const QString echo = link.GET_CHAR();
        const bool passOver =
            (echo == QLatin1String("?") && statusFrames-- > 0) || (echo == QLatin1String("G") && stopReplies-- > 0);
        if (passOver) {
            QString c;
            do
                c = link.GET_CHAR();
            while (!c.isEmpty() && c != QLatin1String("\r"));
            if (c.isEmpty()) {
                exchange.fail(timeout);
                return false;
            }
            continue;
        }
        if (echo != QLatin1String("S")) {
            exchange.fail(envelope::plain.echo + echo);
            return false;
        }
        return exchange.expect(QLatin1Char(','), envelope::plain.separator2);
    }
}

}  // namespace

bool Commands::CMD_S() { return exchangeS(false, 0); }

bool Commands::CMD_S_AFTER_MONITOR(int stopReplies) { return exchangeS(true, stopReplies); }

bool Commands::exchangeS(bool afterMonitor, int stopReplies)
{
    ButtonOff off(m_view, Field::command_s);
    Exchange exchange(m_link, m_view);
    bool failed = exchange.portFailed();
    if (exchange.send(QLatin1Char('S'))) {
        failed = !(envelopeOfS(m_link, exchange, afterMonitor ? statusFramesInFlight : 0, stopReplies)
                   && exchange.expect(QLatin1Char('R'), QStringLiteral("R not received:"))
                   && exchange.terminator(QStringLiteral("Terminator invalid, received ASC:")));
    } else {
        failed = exchange.portFailed();
    }
    exchange.finish();
    return failed;
}

void Commands::CMD_M()
{
    ButtonOff off(m_view, Field::command_c);
    Exchange exchange(m_link, m_view);
    if (exchange.send(QLatin1Char('M'))
        && exchange.waitHeader(QStringLiteral("cmd M, Communication timeout on <header>"), AfterHeader::KeepTimer)
        && exchange.envelope(QLatin1Char('M'), envelope::plain)) {
        const QString c = m_link.GET_CHAR();
        if (c == QLatin1String("B"))
            exchange.refuse(QStringLiteral("CBOX is in ABSOLUTE MODE: command M not executed!"));
        else if (c != QLatin1String("R"))
            exchange.fail(QStringLiteral("Expected 'R', received '") + c + QLatin1Char('\''));
        else
            exchange.terminator(QStringLiteral("Terminator invalid, received ASC:"));
    }
    exchange.finish();
}

bool Commands::CMD_VERSION()
{
    Exchange exchange(m_link, m_view);
    bool failed = false;
    if (exchange.send(QLatin1Char('V'))) {
        failed = true;
        if (exchange.waitHeader(QStringLiteral("cmd V, Communication timeout on <header>"), AfterHeader::KeepTimer)
            && exchange.envelope(QLatin1Char('V'), envelope::version)) {
            QString version = trimmedText(m_link.GET_NUM05NT());
            // A version field that did not come in time counts as a failure: the reader has told
            // the operator, and a parameter read after it would only time out again.
            if (version.isEmpty())
                exchange.fault();
            if (!version.isEmpty()) {
                if (version.size() < 5)
                    version = QString(5 - version.size(), QLatin1Char('0')) + version;
                m_view.setText(Field::firm_version, version.left(3) + QLatin1Char('.') + version.mid(3, 5));
                failed = !exchange.terminator(QStringLiteral("V cmd, <return> invalid, received ASC:"));
                if (SessionObserver* observer = m_view.sessionObserver(); !failed && observer)
                    observer->versionRead({m_view.text(Field::firm_version)});
            }
        }
    } else {
        failed = exchange.portFailed();
    }
    exchange.finish();
    return failed;
}
