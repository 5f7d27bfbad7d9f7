// SPDX-License-Identifier: GPL-3.0-or-later
// G: go to an angle, the fast stop (999) and the soft stop (977).

#include "protocol/button_off.h"
#include "protocol/commands.h"
#include "protocol/communication_monitor.h"
#include "protocol/entry_checks.h"
#include "protocol/entry_value.h"
#include "protocol/exchange.h"
#include "protocol/session_observer.h"
#include "protocol/view.h"
#include "serial/serial_link.h"

namespace {

const QString returnInvalid = QStringLiteral("<Return> invalid, received ASC:");
// A refusal's rest is a CR; a line that never sends one is not read for ever.
constexpr int refusalTailMax = 16;

// The stops share everything but their data and their timeout message; their refusal and
// unknown-reply messages both name the Fast-Stop command. A stop sent while the monitor runs or
// ends may leave its reply to the closing S, which is told to pass it over.
void stop(SerialLink& link, View& view, Field button, const QString& data, const QString& timeoutMessage,
          CommunicationMonitor* monitor)
{
    ButtonOff off(view, button);
    Exchange exchange(link, view);
    if (monitor && view.monitorState() != MonitorState::Idle)
        monitor->stopSent();
    const bool readHere = exchange.send(QLatin1Char('G'), data);
    if (SessionObserver* observer = view.sessionObserver(); observer && !exchange.portFailed())
        observer->targetDropped();
    if (readHere && exchange.waitHeader(timeoutMessage, AfterHeader::DisarmTimer)
        && exchange.envelope(QLatin1Char('G'), envelope::plain)) {
        const QString result = link.GET_CHAR();
        if (result == QLatin1String("E"))
            exchange.refuse(QStringLiteral("Format Error on Fast-Stop command"));
        else if (result != QLatin1String("R"))
            exchange.fail(QStringLiteral("Unknow reply from Fast-Stop command:") + result);
        exchange.terminator(returnInvalid);
    }
    exchange.finish(false);
}

}  // namespace

void Commands::CMD_GOTO()
{
    const Field replay = Field::goto_replay;
    // The box may start turning the rotor as soon as it has the frame: the stops stay at hand.
    m_view.DISABLE_BUTTONS_BUT_STOPS();
    const QString angle = m_view.text(Field::go_to_angle);
    const bool whole = goToAngleValid(angle);
    if (!whole) {
        // Nothing goes out, and the operator learns why: also the initial "?", which keeps its
        // start-up look until it is edited, is refused and marked here.
        m_view.setBackground(Field::go_to_angle, Colour::InvalidRed);
        if (SessionObserver* observer = m_view.sessionObserver())
            observer->notSent(QStringLiteral("cmd G"), goToAngleRefusal(angle));
    }
    if (whole) {
        Exchange exchange(m_link, m_view);
        const bool readHere = exchange.send(QLatin1Char('G'), trimmedText(angle));
        SessionObserver* observer = m_view.sessionObserver();
        if (observer && !exchange.portFailed())
            observer->targetSent(entryValue(angle));
        if (readHere
            && exchange.waitHeader(QStringLiteral("cmd G: communication timeout on <header>"), AfterHeader::DisarmTimer)
            && exchange.envelope(QLatin1Char('G'), envelope::plain)) {
            const QString result = m_link.GET_CHAR();
            const GoToAnswer answer{result == QLatin1String("E")   ? GoToAnswer::Refused
                                    : result == QLatin1String("R") ? GoToAnswer::Accepted
                                                                   : GoToAnswer::Other,
                                    result};
            if (answer.kind == GoToAnswer::Refused) {
                exchange.refuse({});
                m_view.setText(replay, QStringLiteral("WRONG"));
                m_view.setBackground(replay, Colour::InvalidRed);
                if (observer)
                    observer->targetDropped();
                // The rest of a refusal is read up to its CR and not judged, so that it never
                // takes what follows it on the line (a stop's reply).
                QString rest;
                for (int n = 0; n < refusalTailMax && rest != QLatin1String("\r"); ++n)
                    if ((rest = m_link.GET_CHAR()).isEmpty())
                        break;
            } else {
                if (result == QLatin1String("R")) {
                    m_view.setText(replay, QStringLiteral("CORRECT"));
                    m_view.setBackground(replay, Colour::Window);
                } else if (!result.isEmpty()) {
                    m_view.setText(replay, result);
                }
                // Another letter is not what the box answers a go-to with.
                if (answer.kind == GoToAnswer::Other)
                    exchange.fault();
                exchange.terminator(returnInvalid);
            }
            if (observer && !result.isEmpty())
                observer->goToAnswered(answer);
        }
        exchange.finish(false);
    }
    m_view.ENABLE_BUTTONS();
}

void Commands::CMD_FAST_STOP()
{
    stop(m_link, m_view, Field::fast_stop, QStringLiteral("999"),
         QStringLiteral("cmd G999: communication timeout on <header>"), m_monitor);
}

void Commands::CMD_SOFT_STOP()
{
    stop(m_link, m_view, Field::soft_stop, QStringLiteral("977"),
         QStringLiteral("cmd G777: communication timeout on <header>"), m_monitor);
}
