// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the session tells whoever watches it (the window's status bar and dial, the File menu's
// reading record, the command line): how each exchange ended, typed, and what it read, typed: the
// status, the parameter block, the firmware version, the go-to's answer; beside them the angle
// sent, why a command sent nothing, the monitor's frames and the port in use. The commands and the
// monitor tell it as they decode, from the same values that they show; the watchers never read
// the window's texts.
// Every method does nothing unless overridden; telling changes nothing on the wire or in the window.

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

enum class RotorState { Unknown, Ready, Busy };

enum class ExchangeOutcome {
    Answered,       // the reply came whole and passed every test
    Refused,        // the box answered with its refusal (G: E; W, M, C, c, F, K: B)
    Faulty,         // a reply came, but a field never came or is not what its place allows
    NoReply,        // no reply started before the reply timer ran out
    LeftToMonitor,  // the frame went out while the monitor runs: the monitor lists the reply
    PortFailed,     // the port could not be opened: nothing was sent
};

// How one exchange ended: "cmd ?", "cmd G999" ..., its outcome, and the milliseconds from its
// frame going out to its last reply byte, the time the operator spent reading its messages left out.
struct ExchangeResult {
    QString command;
    ExchangeOutcome outcome = ExchangeOutcome::Answered;
    qint64 elapsedMs = 0;
};

// A status reply or status frame: the angle in the box's degrees (none when the field held no
// number) and the state letter's meaning (Unknown for a letter that is neither B nor R).
struct StatusReading {
    std::optional<int> angle;
    RotorState state = RotorState::Unknown;
};

// A parameter block read whole: its 19 fields as received, and as numbers and flags.
struct ParameterBlock {
    QStringList received;
    // Field n (1 to 19) as a number: field 2's letter as 1 busy, 0 ready; none when not a number.
    std::optional<int> number(int field) const;
    bool flag(int field) const { return number(field).value_or(0) != 0; }
    RotorState state() const;
    // Whether every field is what its place allows (a number; field 2 a state letter).
    bool wellFormed() const;
};

// The firmware version as the window shows it ("001.23").
struct FirmwareVersion {
    QString text;
};

// The go-to's answer: accepted (R), refused (E), or another letter, kept in `letter`.
struct GoToAnswer {
    enum Kind { Accepted, Refused, Other } kind = Other;
    QString letter;
};

class SessionObserver {
public:
    virtual ~SessionObserver() = default;

    virtual void exchangeEnded(const ExchangeResult& result) { Q_UNUSED(result) }
    virtual void statusRead(const StatusReading& reading) { Q_UNUSED(reading) }
    // A parameter read that ended well.
    virtual void parametersRead(const ParameterBlock& block) { Q_UNUSED(block) }
    // A version read that ended well.
    virtual void versionRead(const FirmwareVersion& version) { Q_UNUSED(version) }
    virtual void goToAnswered(const GoToAnswer& answer) { Q_UNUSED(answer) }
    // Execute sent the rotor to this angle (the entry's value).
    virtual void targetSent(double angle) { Q_UNUSED(angle) }
    // The go-to target no longer stands: a stop went out, or the box refused the angle.
    virtual void targetDropped() {}
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
