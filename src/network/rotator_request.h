// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The tracking programs' text protocol, without a socket: one line in, one typed request out, and
// the answers written back as those programs read them. A get answers its values one per line; a
// set answers "RPRT n". A leading '+' asks for the extended answer: the command's long name as a
// header, "Key: value" lines, "RPRT n" last.

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <utility>

// The codes of "RPRT n".
enum class RotatorCode {
    Ok = 0,
    Malformed = -1,       // a malformed command or argument
    NotImplemented = -4,  // K, \dump_state
    NoReply = -5,         // the box did not answer
    PortUnusable = -6,    // the port cannot be used; also a client over the limit
    FaultyReply = -8,     // a reply came but failed a test
    Refused = -9,         // the box refused, or too many requests wait
};

struct RotatorRequest {
    enum class Command {
        None,  // an empty line: nothing to answer
        GetPosition,
        SetPosition,
        Stop,
        Park,
        GetInfo,
        Quit,
        DumpState,
        Malformed,
    };
    Command command = Command::None;
    bool extended = false;
    double azimuth = 0;    // SetPosition: as given
    double elevation = 0;  // SetPosition: parsed, then ignored
    QByteArray arguments;  // as given, for the extended header
};

// A line without its '\n'; a CR at its end is allowed.
RotatorRequest parseRotatorRequest(QByteArrayView line);
// The long name ("get_pos") of a command.
QByteArray rotatorCommandName(RotatorRequest::Command command);

// The answer to `request`: `values` (key, value) on success, then the code as the form asks.
QByteArray rotatorAnswer(const RotatorRequest& request, RotatorCode code,
                         const QList<std::pair<QByteArray, QByteArray>>& values = {});
