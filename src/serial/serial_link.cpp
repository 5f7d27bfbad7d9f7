// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/serial_link.h"

#include "serial/messages.h"
#include "serial/port_devices.h"
#include "serial/settings_file.h"

#include <QCoreApplication>
#include <QEventLoop>

namespace {
const QString STX = QStringLiteral("\x02");

// The text less its leading and trailing spaces (code 32 only).
QString withoutSpaces(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == QLatin1Char(' '))
        ++begin;
    while (end > begin && text.at(end - 1) == QLatin1Char(' '))
        --end;
    return text.mid(begin, end - begin);
}
}  // namespace

QString portOpenErrorText(int portNumber)
{
    return QStringLiteral("ERROR OPENING COM PORT #") + (portNumber >= 0 ? QStringLiteral(" ") : QString())
           + QString::number(portNumber);
}

SerialLink::SerialLink(Port& port, Messages& messages, int replyPeriodMs, QObject* parent)
    : QObject(parent),
      m_port(port),
      m_messages(messages)
{
    m_settingsPath = settingsFilePath();
    Timer1.setInterval(replyPeriodMs);
    Timer1.setTimerType(Qt::PreciseTimer);  // the reply period to the millisecond, not within 5 %
    Timer1.setObjectName(QStringLiteral("Timer1"));
    connect(&Timer1, &QTimer::timeout, this, &SerialLink::onTick);
    connect(&m_port, &Port::readyRead, this, &SerialLink::onWake);
    connect(&m_port, &Port::lost, this, [this] {
        // Nothing more can come: end any wait now as if its timer had run out.
        timeoutFlag = true;
        onWake();
    });
}

void SerialLink::onTick()
{
    timeoutFlag = true;
    onWake();
}

void SerialLink::onWake()
{
    m_wakePending = true;
    emit woken();
}

void SerialLink::wake() { onWake(); }

void SerialLink::armTimer()
{
    if (!Timer1.isActive())
        Timer1.start();
}

void SerialLink::disarmTimer() { Timer1.stop(); }

void SerialLink::yieldToEvents()
{
    // A turn of the event loop costs many times what taking a character does, and far more when
    // it draws the window; taken for every character, it was most of what the monitor cost at
    // full line rate. Events processed a moment ago (by the last turn, or by the sleep that the
    // character ended) have nothing new to say yet: a click or a tick waits at most
    // `eventPeriodMs` longer for its turn, however fast characters come.
    if (m_sinceEvents.isValid() && m_sinceEvents.elapsed() < eventPeriodMs)
        return;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    m_sinceEvents.start();
}

void SerialLink::sleep()
{
    if (m_aborted) {
        timeoutFlag = true;
        return;
    }
    // Only news wakes a waiter: characters already pending that it has looked at (the first
    // part of a numeric field) are no reason to poll again before more arrive.
    if (m_wakePending) {
        m_wakePending = false;
        return;
    }
    // The wait sleeps in the event loop's poll, one turn at a time, until news has come. Ending a
    // nested event loop for every character, as the wait once did, made the loop wake itself
    // through its wake-up descriptor and poll twice per character: at full line rate that was
    // most of the system time the monitor cost.
    bool probed = false;
    while (!m_wakePending) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents | QEventLoop::EventLoopExec);
        if (m_wakePending)
            break;
        // A turn that brought no news: a timer of the window, a posted event, or the application
        // being told to quit. An event loop refuses to run once the application has been told
        // to quit, and one that runs is ended by it; from then on every wait ends at once
        // instead of spinning. Ending the probe wakes the loop once more, so the turn right
        // after a probe is not probed again.
        if (!probed) {
            QEventLoop probe;
            bool endedHere = false;
            QMetaObject::invokeMethod(
                &probe,
                [&probe, &endedHere] {
                    endedHere = true;
                    probe.quit();
                },
                Qt::QueuedConnection);
            if (probe.exec() < 0 || !endedHere) {
                m_aborted = true;
                timeoutFlag = true;
                break;
            }
        }
        probed = !probed;
    }
    m_sinceEvents.start();
    m_wakePending = false;
}

QString SerialLink::readWaiting() { return QString::fromLatin1(m_port.readOne()); }

bool SerialLink::OPEN_PORT()
{
    bool failed = false;
    // Where ports/comN is not a link the port has no device: reported, never replaced by another.
    QString withoutDevice;
    const auto open = [this, &withoutDevice] {
        withoutDevice = portWithoutDevice(m_portNumber, hostPlatform(), portLinksFolder(m_settingsPath));
        if (m_portNumber >= 1 && !withoutDevice.isEmpty())
            return false;
        return m_port.open();
    };
    if (m_phase == StartUpPhase::Configuring || m_phase == StartUpPhase::SettingsMissing) {
        if (m_selectedOption >= 1 && m_selectedOption <= 4)
            m_portNumber = qint16(m_selectedOption);
        m_port.setPortNumber(m_portNumber);
        failed = !m_port.applyLineSettings() || !open();
    } else if (!m_port.isOpen()) {
        failed = !open();
    }
    if (failed) {
        m_messages.informWithDetails(portOpenErrorText(m_portNumber),
                                     !withoutDevice.isEmpty()
                                         ? withoutDevice
                                         : portOpenFailureText(m_port.lastOpenDevice(), m_port.lastOpenFailure(),
                                                               m_port.errorText(), hostPlatform()));
        return true;
    }
    return false;
}

void SerialLink::SELECT_PORT(int option)
{
    m_selectedOption = option;
    // Only the start-up sequence itself (which selects the stored option) stores nothing.
    if (!portChoiceStored())
        return;
    if (option >= 1 && option <= 4)
        m_portNumber = qint16(option);
    QString error;
    if (!writePortNumber(m_settingsPath, m_portNumber, &error))
        m_messages.inform(QStringLiteral("The port choice could not be saved in %1: %2").arg(m_settingsPath, error));
    m_port.setPortNumber(m_portNumber);
    m_port.applyLineSettings();
}

bool SerialLink::LOAD_SETTINGS()
{
    const auto number = readPortNumber(m_settingsPath);
    if (!number)
        return false;
    m_portNumber = *number;
    return true;
}

QString SerialLink::GET_CHAR()
{
    armTimer();
    receiveText.clear();
    for (;;) {
        yieldToEvents();
        receiveText += readWaiting();
        if (receiveText.size() == 1 || timeoutFlag)
            break;
        sleep();
    }
    disarmTimer();
    if (timeoutFlag)
        return {};
    return receiveText;
}

bool SerialLink::waitForHeader()
{
    timeoutFlag = false;
    armTimer();
    for (;;) {
        yieldToEvents();
        const QString c = readWaiting();
        if (timeoutFlag)
            return false;
        if (c == STX)
            return true;
        if (c.isEmpty())
            sleep();
    }
}

bool SerialLink::waitPending(int count)
{
    for (;;) {
        yieldToEvents();
        if (timeoutFlag)
            return false;
        if (m_port.pendingCount() >= count)
            return true;
        sleep();
    }
}

QString SerialLink::numberField(int width)
{
    receiveText.clear();
    timeoutFlag = false;
    armTimer();
    const bool complete = waitPending(width);
    disarmTimer();
    if (!complete)
        return {};
    bool leadingZero = true;
    while (receiveText.size() < width) {
        yieldToEvents();
        const QString c = readWaiting();
        if (c.isEmpty())  // the port went away under the field
            return {};
        if (c == QLatin1String("0") && leadingZero) {
            receiveText += QLatin1Char(' ');
        } else {
            leadingZero = false;
            receiveText += c;
        }
    }
    if (receiveText == QString(width, QLatin1Char(' ')))
        receiveText = QStringLiteral("0");
    return withoutSpaces(receiveText);
}

QString SerialLink::GET_NUM05()
{
    QString result = numberField(5);
    if (timeoutFlag)
        m_messages.inform(QStringLiteral("GET_NUM05() Communication problems!"));
    timeoutFlag = false;
    return result;
}

QString SerialLink::GET_NUM03S()
{
    QString result = numberField(3);
    timeoutFlag = false;
    return result;
}

QString SerialLink::GET_NUM05NT()
{
    const QString timeoutText = QStringLiteral("GET_NUM05NT() Communication timeout!");
    receiveText.clear();
    timeoutFlag = false;
    armTimer();
    bool complete = waitPending(5);
    disarmTimer();
    if (!complete) {
        m_messages.inform(timeoutText);
        timeoutFlag = false;
        return {};
    }
    bool leadingZero = true;
    int taken = 0;
    int width = 5;
    while (taken < width) {
        yieldToEvents();
        QString c = readWaiting();
        if (c == QLatin1String("-")) {
            width = 6;
            receiveText += c;
            ++taken;
            // The rest of a negative field: five more characters plus the one that always
            // follows a field, under one reply period.
            armTimer();
            complete = waitPending(6);
            disarmTimer();
            if (!complete) {
                m_messages.inform(timeoutText);
                timeoutFlag = false;
                return {};
            }
            c = readWaiting();
        }
        if (c.isEmpty()) {  // the port went away under the field
            timeoutFlag = false;
            return {};
        }
        if (c == QLatin1String("0") && leadingZero) {
            if (width == 5)
                receiveText += QLatin1Char(' ');
        } else {
            leadingZero = false;
            receiveText += c;
        }
        ++taken;
    }
    if (receiveText == QStringLiteral("     "))
        receiveText = QStringLiteral("0");
    timeoutFlag = false;
    return withoutSpaces(receiveText);
}
