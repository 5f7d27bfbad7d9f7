// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/serial_link.h"

#include "serial/messages.h"
#include "serial/port_devices.h"

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

SerialLink::SerialLink(Port& port, PortSettings& settings, Messages& messages, int replyPeriodMs, QObject* parent)
    : QObject(parent),
      m_port(port),
      m_messages(&messages),
      m_choice(settings)
{
    m_replyPeriodMs = replyPeriodMs;
    m_clock.start();
    Timer1.setInterval(replyPeriodMs);
    Timer1.setTimerType(Qt::PreciseTimer);  // the reply period to the millisecond, not within 5 %
    Timer1.setObjectName(QStringLiteral("Timer1"));
    connect(&Timer1, &QTimer::timeout, this, &SerialLink::onTick);
    connect(&m_port, &Port::readyRead, this, &SerialLink::onWake);
    connect(&m_port, &Port::lost, this, [this] {
        // Nothing more can come: end any wait now as if its timer had run out.
        timeoutFlag = true;
        ++m_lost;
        onWake();
    });
}

void SerialLink::onTick()
{
    // A deadline given back after an interruption ran for what was left of it; the period
    // after it is whole again.
    if (Timer1.interval() != m_replyPeriodMs)
        Timer1.setInterval(m_replyPeriodMs);
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

void SerialLink::disarmTimer()
{
    Timer1.stop();
    Timer1.setInterval(m_replyPeriodMs);
}

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

QString SerialLink::readWaiting() { return QString::fromLatin1(take()); }

void SerialLink::oweReply(QChar letter)
{
    if (m_owed.isEmpty()) {
        m_head.clear();
        m_frameOwner = nobody;
    }
    m_owed.append({letter, {}, false});
}

void SerialLink::settleReply()
{
    if (m_owed.isEmpty())
        return;
    m_owed.removeLast();
    if (m_frameOwner >= m_owed.size())
        m_frameOwner = nobody;  // the rest of its frame is dropped
    else if (m_frameOwner == unknown && m_owed.size() == 1) {
        // The one reply still owed takes the frame whose letter was awaited.
        m_frameOwner = 0;
        m_owed.first().received += m_head;
    }
}

QByteArray SerialLink::take()
{
    if (m_owed.isEmpty())
        return m_port.readOne();
    while (m_owed.last().received.isEmpty()) {
        const QByteArray c = m_port.readOne();
        if (c.isEmpty())
            return {};
        route(c.at(0));
    }
    QByteArray& mine = m_owed.last().received;
    const QByteArray c = mine.left(1);
    mine.remove(0, 1);
    return c;
}

qint64 SerialLink::pendingForReader()
{
    if (m_owed.isEmpty())
        return m_port.pendingCount();
    if (m_owed.size() == 1)
        return m_owed.last().received.size() + m_port.pendingCount();
    for (QByteArray c = m_port.readOne(); !c.isEmpty(); c = m_port.readOne())
        route(c.at(0));
    return m_owed.last().received.size();
}

void SerialLink::route(char c)
{
    const bool inFrame = !m_head.isEmpty();
    if (c == '\x02') {
        endFrame();  // a frame cut short ends where the next begins
        m_head = QByteArray(1, c);
        m_frameOwner = m_owed.size() == 1 ? 0 : unknown;
    } else if (inFrame && m_head.size() < 4) {
        m_head += c;
    }
    if (m_frameOwner == unknown) {
        // The frame's owner is known once its letter is, or once it cannot be (a frame that breaks
        // off or is malformed before it).
        const bool malformed = (m_head.size() > 1 && m_head.at(1) != 'A') || (m_head.size() > 2 && m_head.at(2) != ',');
        if (m_head.size() < 4 && !malformed && c != '\r')
            return;
        m_frameOwner = ownerOfFrame();
        if (m_frameOwner >= 0)
            m_owed[m_frameOwner].received += m_head;
    } else if (m_owed.size() == 1 && !(inFrame && m_frameOwner == nobody)) {
        // One reply owed: its exchange reads whatever comes, as it always has, but the rest of a
        // frame whose owner has ended is not its own.
        m_owed.first().received += c;
    } else if (m_frameOwner >= 0 && c != '\x02') {
        m_owed[m_frameOwner].received += c;
    }
    if (c == '\r' && !m_head.isEmpty())
        endFrame();
}

int SerialLink::ownerOfFrame() const
{
    const bool enveloped = m_head.size() >= 4 && m_head.at(1) == 'A' && m_head.at(2) == ',';
    const QChar echo = enveloped ? QChar::fromLatin1(m_head.at(3)) : QChar();
    for (int i = 0; i < m_owed.size(); ++i)
        if (!m_owed.at(i).answered && m_owed.at(i).letter == echo)
            return i;
    for (int i = 0; i < m_owed.size(); ++i)
        if (!m_owed.at(i).answered)
            return i;
    return nobody;
}

void SerialLink::endFrame()
{
    if (m_frameOwner >= 0 && m_head.size() >= 4 && m_head.at(1) == 'A' && m_head.at(2) == ','
        && m_owed.at(m_frameOwner).letter == QChar::fromLatin1(m_head.at(3)))
        m_owed[m_frameOwner].answered = true;
    m_head.clear();
    m_frameOwner = nobody;
}

SerialLink::Interruption::Interruption(SerialLink& link)
    : m_link(link),
      m_armed(link.Timer1.isActive()),
      m_deadline(m_armed ? link.now() + link.Timer1.remainingTime() : 0),
      m_flag(link.timeoutFlag),
      m_receiveText(link.receiveText),
      m_lostBefore(link.m_lost)
{
    link.disarmTimer();
}

SerialLink::Interruption::~Interruption()
{
    SerialLink& link = m_link;
    link.receiveText = m_receiveText;
    link.timeoutFlag = m_flag || link.m_lost != m_lostBefore;
    link.disarmTimer();
    if (m_armed) {
        const qint64 left = m_deadline - link.now();
        if (left > 0) {
            link.Timer1.start(int(left));
        } else {
            // The deadline passed while the stop ran (its message may have stayed on screen a
            // while): the wait has timed out unless what it waited for has come meanwhile, which
            // then gets a whole period.
            link.Timer1.start();
            if (link.pendingForReader() == 0)
                link.timeoutFlag = true;
        }
    }
    // The interrupted wait looks again at once: its characters may have come meanwhile.
    link.onWake();
}

bool SerialLink::OPEN_PORT() { return openPort(m_choice.configuresInFull()); }

bool SerialLink::openConfigured() { return openPort(true); }

bool SerialLink::openPort(bool configure)
{
    bool failed = false;
    // Where ports/comN is not a link the port has no device: reported, never replaced by another.
    QString withoutDevice;
    const auto open = [this, &withoutDevice] {
        withoutDevice = m_choice.withoutDevice();
        if (m_choice.number() >= 1 && !withoutDevice.isEmpty())
            return false;
        return m_port.open(m_choice);
    };
    if (configure) {
        const int option = m_choice.selectedOption();
        if (option >= 1 && option <= 4)
            m_choice.setNumber(option);
        failed = !m_port.applyLineSettings() || !open();
    } else if (!m_port.isOpen()) {
        failed = !open();
    }
    if (failed) {
        m_messages->informWithDetails(portOpenErrorText(m_choice.number()),
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
    m_choice.setSelectedOption(option);
    // Only the start-up sequence itself (which selects the stored option) stores nothing.
    if (!m_choice.stored())
        return;
    if (option >= 1 && option <= 4)
        m_choice.setNumber(option);
    QString error;
    if (!m_choice.save(&error))
        m_messages->inform(
            QStringLiteral("The port choice could not be saved in %1: %2").arg(m_choice.settingsPath(), error));
    m_port.applyLineSettings();
}

bool SerialLink::LOAD_SETTINGS() { return m_choice.load(); }

void SerialLink::inform(const QString& text)
{
    QElapsedTimer open;
    open.start();
    m_messages->inform(text);
    m_operatorMs += open.elapsed();
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
        if (pendingForReader() >= count)
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
        inform(QStringLiteral("GET_NUM05() Communication problems!"));
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
        inform(timeoutText);
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
                inform(timeoutText);
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
