// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The serial link to the CBOX: the port choice, opening the port, the reply
// timer Timer1 with its timeout flag, and the readers of single characters and numeric fields.
//
// Every wait polls in turns: let the window process its pending events, then poll the port. A
// turn that finds nothing to do sleeps in the event loop until a character arrives, Timer1 ticks,
// the port is lost or a waiter is woken, so a wait costs no processor time. The window's events
// are processed at least every `eventPeriodMs` while a wait runs, not at every character: see
// yieldToEvents().

#include "serial/port.h"
#include "serial/port_choice.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <utility>

class Messages;

class SerialLink : public QObject {
    Q_OBJECT
public:
    static constexpr int replyTimeoutMs = 3300;
    // The longest a wait lets the window's events wait while characters keep coming.
    static constexpr int eventPeriodMs = 3;

    SerialLink(Port& port, PortSettings& settings, Messages& messages, int replyPeriodMs = replyTimeoutMs,
               QObject* parent = nullptr);

    Port& port() { return m_port; }
    Messages& messages() { return *m_messages; }
    // Shows a message met while reading a reply. The time it stays open is the operator's, not
    // the box's: operatorMs() counts it, and the exchanges leave it out of their durations.
    void inform(const QString& text);
    qint64 operatorMs() const { return m_operatorMs; }
    // Sends the link's messages to another seam while it lives: the network's exchanges, whose
    // failures are answered to the client and open no box.
    class MessagesRedirect {
    public:
        MessagesRedirect(SerialLink& link, Messages& messages)
            : m_link(link),
              m_previous(std::exchange(link.m_messages, &messages))
        {
        }
        ~MessagesRedirect() { m_link.m_messages = m_previous; }
        MessagesRedirect(const MessagesRedirect&) = delete;
        MessagesRedirect& operator=(const MessagesRedirect&) = delete;

    private:
        SerialLink& m_link;
        Messages* m_previous;
    };

    // Which port the exchanges open, and the settings file that keeps it.
    PortChoice& choice() { return m_choice; }
    const PortChoice& choice() const { return m_choice; }

    // Timer1, the reply timer: whether it runs, what is left of its period, and the period.
    bool timerArmed() const { return Timer1.isActive(); }
    int timerRemainingMs() const { return Timer1.remainingTime(); }
    int replyPeriodMs() const { return m_replyPeriodMs; }
    // The timeout flag: raised by Timer1's tick or a lost port, lowered only by the readers and
    // the exchanges.
    bool timedOut() const { return timeoutFlag; }
    void lowerTimeoutFlag() { timeoutFlag = false; }
    // Raises it as the tick does, without waking a waiter (a reader lowers a raised flag first).
    void raiseTimeoutFlag() { timeoutFlag = true; }

    // Opens the port unless it is open; true when that failed (the operator has been told). While
    // the start-up sequence configures the port, opens as openConfigured() does.
    bool OPEN_PORT();
    // Takes the port from the selected COM option, if any, applies the whole configuration and
    // opens it, as the start-up sequence does; true when that failed (the operator has been told).
    bool openConfigured();
    // A click on the COM option `option` (1 to 4): remember the choice and configure the port.
    void SELECT_PORT(int option);
    // Reads the stored port number; false when the file is missing, unreadable or out of range.
    bool LOAD_SETTINGS();

    // One received character, or the empty text once the timeout flag is raised.
    QString GET_CHAR();
    // Fixed-width numeric fields: leading zeros removed, "0" for all zeros, empty on timeout.
    QString GET_NUM05();
    QString GET_NUM05NT();
    QString GET_NUM03S();

    // Arming an armed timer does not restart its running period.
    void armTimer();
    void disarmTimer();

    // One polling turn's read: at most one waiting character, empty when none is.
    QString readWaiting();
    // Waits for STX with the timeout flag lowered and Timer1 armed; true when STX came before
    // the flag rose. Timer1 stays armed.
    bool waitForHeader();
    // Lets the window process its pending events (one turn of a wait), unless it has done so in
    // the last `eventPeriodMs`.
    void yieldToEvents();
    // Sleeps until something may have changed: a character, a tick, a lost port or wake().
    void sleep();
    // Ends the sleep of a waiter, for a state change it must look at (the monitor's stop click).
    void wake();
    // True once the application is quitting: every wait then ends at once.
    bool aborted() const { return m_aborted; }

    // The replies the box owes to frames written by exchanges that read their own reply. The box
    // answers each frame once, in the order received, as STX "A" "," letter "," data CR. While one
    // reply is owed, its exchange reads the line's characters as they come. A stop sent while
    // another exchange waits makes two: the link then hands each reply frame to the exchange that
    // owes it, matched by its letter and, among replies with the same letter, by the order their
    // frames went out; a frame that echoes no owed letter goes to the oldest reply still owed, whose
    // envelope test then reports it. The exchange reading is always the last one to owe: a stop
    // runs inside the wait of the exchange it interrupted.
    void oweReply(QChar letter);
    // The reading exchange has ended: its reply is no longer owed; what of it was not read is dropped.
    void settleReply();
    int repliesOwed() const { return int(m_owed.size()); }

    // An exchange run inside another's wait (a stop): the interrupted exchange's wait, Timer1 with
    // its deadline, the timeout flag and the text it was receiving, is put aside and given back
    // afterwards, so that the stop neither disarms nor shortens it. A deadline that passed meanwhile
    // raises the flag unless the reply it waited for has come.
    class Interruption {
    public:
        explicit Interruption(SerialLink& link);
        ~Interruption();
        Interruption(const Interruption&) = delete;
        Interruption& operator=(const Interruption&) = delete;

    private:
        SerialLink& m_link;
        bool m_armed;
        qint64 m_deadline;
        bool m_flag;
        QString m_receiveText;
        int m_lostBefore;
    };

signals:
    void woken();

private:
    struct OwedReply {
        QChar letter;
        QByteArray received;    // its characters taken from the port and not yet read
        bool answered = false;  // a frame echoing its letter has ended
    };
    // A frame's characters go to no one: it began before any reply was owed, or no reply is owed
    // that it could answer.
    static constexpr int nobody = -2;
    // Several replies are owed and the frame being received has not shown its letter yet.
    static constexpr int unknown = -1;

    bool waitPending(int count);
    // One character for the reading exchange, and how many it has waiting.
    QByteArray take();
    qint64 pendingForReader();
    // Hands one character taken from the port to the reply it belongs to.
    void route(char c);
    int ownerOfFrame() const;
    void endFrame();
    qint64 now() const { return m_clock.elapsed(); }
    QString numberField(int width);
    // Opens the port, configured in full or not; true when that failed (the operator has been told).
    bool openPort(bool configure);
    void onTick();
    void onWake();

    Port& m_port;
    Messages* m_messages;
    QTimer Timer1;             // the reply timer: its tick raises the timeout flag
    bool timeoutFlag = false;  // see timedOut()
    QString receiveText;       // built by GET_CHAR and the numeric readers
    PortChoice m_choice;
    bool m_wakePending = false;
    bool m_aborted = false;
    QElapsedTimer m_sinceEvents;  // since the window's events were last processed by a wait
    int m_replyPeriodMs;
    QElapsedTimer m_clock;      // the deadlines put aside by an interruption are read on it
    int m_lost = 0;             // how often the port was lost
    qint64 m_operatorMs = 0;    // see inform()
    QList<OwedReply> m_owed;    // oldest first; the last one reads
    QByteArray m_head;          // the start of the frame being received, up to its second separator
    int m_frameOwner = nobody;  // the reply the frame being received belongs to, once known
};

// "ERROR OPENING COM PORT #" followed by the number with a blank in place of a plus sign.
QString portOpenErrorText(int portNumber);
