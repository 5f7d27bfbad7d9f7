// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the session tells whoever watches the rotor beside the main window (the azimuth dial, the
// status bar): the positions and states received, the block read, the angle sent, how each
// exchange ended or why it sent nothing, the monitor's frames and the port in use. The commands
// and the monitor tell it as they decode, from the same values that they show; the watchers never
// read the window's texts.
// Every method does nothing unless overridden; telling changes nothing on the wire or in the window.

#include <QString>
#include <QStringList>

enum class RotorState { Unknown, Ready, Busy };

enum class ExchangeOutcome {
    Answered,       // the reply came whole and passed every test
    Faulty,         // a reply came, but a test failed or a character did not come in time
    NoReply,        // no reply started before the reply timer ran out
    LeftToMonitor,  // the frame went out while the monitor runs: the monitor lists the reply
    PortFailed,     // the port could not be opened: nothing was sent
};

class SessionEvents {
public:
    virtual ~SessionEvents() = default;

    // A status reply or status frame: the angle as read (leading zeros removed) and the state
    // letter's meaning (Unknown for a letter that is neither B nor R, or none).
    virtual void positionReceived(const QString& angle, RotorState state)
    {
        Q_UNUSED(angle)
        Q_UNUSED(state)
    }
    // A parameter read that ended well: the 19 fields as the readers returned them.
    virtual void parametersRead(const QStringList& block) { Q_UNUSED(block) }
    // Execute sent the rotor to this angle (the entry's value).
    virtual void targetSent(double angle) { Q_UNUSED(angle) }
    // The go-to target no longer stands: a stop went out, or the box refused the angle.
    virtual void targetDropped() {}
    // An exchange has ended: "cmd ?", "cmd G999" ..., how, and the milliseconds since its frame went out.
    virtual void exchangeEnded(const QString& command, ExchangeOutcome outcome, qint64 elapsedMs)
    {
        Q_UNUSED(command)
        Q_UNUSED(outcome)
        Q_UNUSED(elapsedMs)
    }
    // A command that sent nothing because of what the window holds, and why.
    virtual void notSent(const QString& command, const QString& why)
    {
        Q_UNUSED(command)
        Q_UNUSED(why)
    }
    // The monitor's frames counted since it started, and whether it still runs.
    virtual void monitorFrames(int counted, bool running)
    {
        Q_UNUSED(counted)
        Q_UNUSED(running)
    }
    // A stop clicked during the parameter write's dialogue is held until the dialogue ends (true);
    // the held stops have gone (false).
    virtual void stopHeld(bool held) { Q_UNUSED(held) }
    // The port an exchange opens: its number and the device that number stands for.
    virtual void portInUse(int number, const QString& device)
    {
        Q_UNUSED(number)
        Q_UNUSED(device)
    }
};
