// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/monitor_frame.h"

#include "protocol/exchange.h"
#include "protocol/status_data.h"
#include "protocol/view.h"
#include "serial/messages.h"
#include "serial/serial_link.h"

namespace {

const QString CR = QStringLiteral("\r");

// A character as the listing shows it: a space contributes nothing, and every other character
// below code 32 is shown by its code, so that nothing the box sent is hidden and one frame stays
// one line.
QString listed(const QString& c)
{
    if (c.isEmpty() || c == QLatin1String(" "))
        return {};
    const char16_t code = c.front().unicode();
    if (code < 32)
        return QLatin1Char('<') + QString::number(code) + QLatin1Char('>');
    return c;
}

}  // namespace

MonitorFrameReader::MonitorFrameReader(SerialLink& link, View& view) : m_link(link), m_view(view) {}

MonitorFrame MonitorFrameReader::read(int number)
{
    m_line = QString::number(number) + QStringLiteral(": <h|");
    // A character wait that ran out in an earlier frame says nothing about this one.
    m_link.lowerTimeoutFlag();

    MonitorFrame frame;
    frame.number = number;
    QString c = m_link.GET_CHAR();
    if (c == QLatin1String("A")) {
        m_line += c;
        c = m_link.GET_CHAR();
        if (c == QLatin1String(",")) {
            m_line += c;
            c = m_link.GET_CHAR();
            m_line += listed(c);
            if (c == QLatin1String("?")) {
                MONITOR_STATUS_LINE(frame);
                frame.line = m_line;
                frame.status = true;
            } else if (MONITOR_RAW_LINE()) {
                frame.line = m_line;
                if (c == QLatin1String("G"))
                    readGoToAnswer(frame);
            }
            return frame;
        }
    }
    frame.endsMonitoring = true;
    if (MONITOR_RAW_LINE())
        frame.line = m_line;
    return frame;
}

QString MonitorFrameReader::readChar()
{
    const QString c = m_link.GET_CHAR();
    m_line += listed(c);
    return c;
}

void MonitorFrameReader::readGoToAnswer(MonitorFrame& frame)
{
    // ",R" accepted, ",E..." refused; anything else is not what the box answers a go-to with.
    const QString letter = m_rest.startsWith(QLatin1Char(',')) ? m_rest.mid(1, 1) : QString();
    const GoToAnswer answer{letter == QLatin1String("R")   ? GoToAnswer::Accepted
                            : letter == QLatin1String("E") ? GoToAnswer::Refused
                                                           : GoToAnswer::Other,
                            letter.isEmpty() ? m_rest.left(1) : letter};
    frame.goTo = answer;
    if (SessionObserver* observer = m_view.sessionObserver())
        observer->goToAnswered(answer);
}

void MonitorFrameReader::MONITOR_STATUS_LINE(MonitorFrame& frame)
{
    Messages& messages = m_link.messages();
    // Every character read is added to the line before it is tested; the line is listed however
    // far the frame was read.
    QString c = readChar();
    if (c != QLatin1String(",")) {
        messages.inform(QStringLiteral("<Separator> invalid, received:") + c);
        return;
    }
    const QString angle = m_link.GET_NUM03S();
    m_line += angle;
    if (angle.isEmpty())
        return;
    showLive(Field::fast_pos, positionText(angle));
    c = readChar();
    if (c != QLatin1String(",")) {
        messages.inform(QStringLiteral("Separator invalid, received:") + c);
        return;
    }
    const RotorState state = rotorState(readChar());
    if (state == RotorState::Unknown) {
        showLive(Field::fast_status, QStringLiteral("???"));
    } else {
        showLive(Field::fast_status, rotorStateText(state));
        m_view.setBackground(Field::fast_status, rotorStateColour(state));
    }
    frame.reading = statusReading(angle, state);
    tellStatus(m_view, *frame.reading);
    c = m_link.GET_CHAR();
    if (c == CR) {
        m_line += QStringLiteral("|r>");
    } else {
        m_line += listed(c);
        // nothing after the colon when the terminator did not come in time
        messages.inform(QStringLiteral("Terminator invalid, received ASC:") + characterCode(c));
    }
}

bool MonitorFrameReader::MONITOR_RAW_LINE()
{
    m_rest.clear();
    for (;;) {
        const QString c = m_link.GET_CHAR();
        if (c.isEmpty())
            return false;  // the frame stopped short: nothing is listed for it
        if (c == CR) {
            m_line += QStringLiteral("|r>");
            return true;
        }
        m_line += listed(c);
        m_rest += c;
    }
}

void MonitorFrameReader::showLive(Field field, const QString& text)
{
    // Frames repeat what the field shows while the rotor stands still; setting the same text
    // again would only lay it out and draw it, and the panel behind it, once more.
    if (m_view.text(field) != text)
        m_view.setText(field, text);
}
