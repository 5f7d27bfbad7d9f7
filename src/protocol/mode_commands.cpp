// S, M and V: three short exchanges whose frames carry no data.

#include "protocol/button_off.h"
#include "protocol/commands.h"
#include "protocol/entry_value.h"
#include "protocol/view.h"
#include "protocol/exchange.h"
#include "serial/serial_link.h"


bool Commands::CMD_S()
{
    ButtonOff off(m_view, QStringLiteral("command_s"));
    Exchange exchange(m_link, m_view);
    bool failed = exchange.portFailed();
    if (exchange.send(QLatin1Char('S'))) {
        failed = !(exchange.waitHeader(QStringLiteral("cmd S, Communication timeout on <header>"), AfterHeader::KeepTimer)
                   && exchange.envelope(QLatin1Char('S'), envelope::plain)
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
    ButtonOff off(m_view, QStringLiteral("command_c"));
    Exchange exchange(m_link, m_view);
    if (exchange.send(QLatin1Char('M'))
        && exchange.waitHeader(QStringLiteral("cmd M, Communication timeout on <header>"), AfterHeader::KeepTimer)
        && exchange.envelope(QLatin1Char('M'), envelope::plain)) {
        const QString c = m_link.GET_CHAR();
        if (c == QLatin1String("B"))
            exchange.fail(QStringLiteral("CBOX is in ABSOLUTE MODE: command M not executed!"));
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
            if (!version.isEmpty()) {
                if (version.size() < 5)
                    version = QString(5 - version.size(), QLatin1Char('0')) + version;
                m_view.setText(QStringLiteral("firm_version"), version.left(3) + QLatin1Char('.') + version.mid(3, 5));
                failed = !exchange.terminator(QStringLiteral("V cmd, <return> invalid, received ASC:"));
            }
        }
    } else {
        failed = exchange.portFailed();
    }
    exchange.finish();
    return failed;
}
