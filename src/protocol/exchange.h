// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The command exchange shared by every command: the frame STX "A" letter data CR, the wait for
// the reply's STX, the reply envelope "A" "," letter ",", the terminator and the clean-up. Each
// command family composes these steps with its own data and messages.

#include <QElapsedTimer>
#include <QString>
#include <functional>

class View;
class Messages;
class SerialLink;

// The four messages of the envelope tests; the character received follows the colon.
struct EnvelopeMessages {
    QString identifier;
    QString separator1;
    QString echo;
    QString separator2;
};

namespace envelope {
extern const EnvelopeMessages plain;    // S, M, go to, stops, C, c, F, K, L, W
extern const EnvelopeMessages status;   // the status query "?"
extern const EnvelopeMessages version;  // V
}  // namespace envelope

// When the header has arrived, the motion commands, L and W disarm Timer1 at once, so that the
// identifier has a full period of its own; the others leave it running.
enum class AfterHeader { KeepTimer, DisarmTimer };

class Exchange {
public:
    Exchange(SerialLink& link, View& view);

    // Opens the port and writes the frame in one piece. Returns true when the reply is to be
    // read here: the frame went out and the monitor is idle (while it runs, it lists the reply;
    // while it ends, the closing S passes the reply over).
    bool send(QChar letter, const QString& data = {});
    bool portFailed() const { return m_portFailed; }

    // Waits for STX, discarding every other byte. On timeout shows the message, returns false.
    bool waitHeader(const QString& timeoutMessage, AfterHeader after);
    // The four envelope tests in order; the first mismatch shows its message and returns false.
    bool envelope(QChar letter, const EnvelopeMessages& messages);
    // Reads one character; unless it equals `expected`, shows `message` and the character.
    bool expect(QChar expected, const QString& message);
    // Reads the terminator; unless it is CR, shows `message` and the code received in decimal
    // (nothing after the colon when no character came in time).
    bool terminator(const QString& message);
    // Shows a message through the link's message seam: the reply is faulty.
    void fail(const QString& message);
    // The reply is faulty, and a reader has already said so or nothing is to be said.
    void fault() { m_failed = true; }
    // The box answered with its refusal; the message, if any, says so.
    void refuse(const QString& message);
    // Runs once before the first failure's message is shown.
    std::function<void()> beforeFailure;

    // The clean-up, once the last reply byte has been read: the watchers told how the exchange
    // ended, Timer1 disarmed, the timeout flag lowered when asked, the port closed while
    // the monitor is idle.
    void finish(bool lowerFlag = true);

    SerialLink& link() { return m_link; }

private:
    SerialLink& m_link;
    View& m_view;
    bool m_portFailed = false;
    // What the session's watchers are told when the exchange ends (see session_observer.h).
    QString m_command;
    QElapsedTimer m_sinceSent;
    qint64 m_operatorMsAtSend = 0;
    bool m_refused = false;
    bool m_readHere = false;
    bool m_owes = false;  // the link counts the reply as owed until finish()
    bool m_headerCame = false;
    bool m_headerTimedOut = false;
    bool m_failed = false;
};

// The code of a received character in decimal, or nothing when none came.
QString characterCode(const QString& c);
