// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One frame as the communication monitor reads it after its STX, character by character: the line
// it lists, and the live decoding of a status frame into `fast_pos` and `fast_status`. The listing
// itself, its bound and its drawing belong to the window's monitor; this is the wire side.
//
// The line shows the frame as it came: "3: <h|A,?,45,R|r>". Spaces are left out, every other
// character below code 32 shows as its code ("<9>"), and the terminator CR as "|r>". A status frame
// is listed however far it was read; any other frame only once its CR has come.

#include "protocol/field.h"
#include "protocol/session_observer.h"

#include <QString>
#include <optional>

class SerialLink;
class View;

struct MonitorFrame {
    int number = 0;               // counted from 1 in each run of the monitor
    QString line;                 // the line to list; empty when nothing is listed
    bool status = false;          // a status frame: its line is subject to the listing's bound
    bool endsMonitoring = false;  // a wrong identifier or first separator: monitoring ends with it
    // What a status frame read, once its state has come.
    std::optional<StatusReading> reading;
    // A whole G reply ("A,G,R"): the answer to a go-to (or to a stop) sent while the monitor runs.
    std::optional<GoToAnswer> goTo;
};

class MonitorFrameReader {
public:
    MonitorFrameReader(SerialLink& link, View& view);

    // Reads the frame numbered `number`, whose STX has just been taken.
    MonitorFrame read(int number);

private:
    // The rest of a status frame after its command letter "?".
    void MONITOR_STATUS_LINE(MonitorFrame& frame);
    // The answer in a G frame's rest.
    void readGoToAnswer(MonitorFrame& frame);
    // The rest of any other frame up to its CR, kept in `m_rest`; nothing is listed when it stops short.
    bool MONITOR_RAW_LINE();
    QString readChar();
    void showLive(Field field, const QString& text);

    SerialLink& m_link;
    View& m_view;
    QString m_line;
    QString m_rest;
};
