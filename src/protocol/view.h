// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the protocol needs from the windows: the fields by their typed identifiers, their texts,
// colours and states, the monitor state and the button groups. The windows implement it;
// tests may implement it with a recording fake.

#include "protocol/field.h"

class SessionObserver;

#include <QString>

enum class Colour {
    InvalidRed,  // (255,0,0): an entry out of range, a busy or refused state
    Window,      // the colour an entry normally shows behind its text
    WindowText,  // the normal text colour
};

enum class MonitorState {
    Idle,     // the monitor does not run: every exchange reads its own reply
    Running,  // it lists every frame: an exchange only sends its frame
    Ending,   // STOP was clicked or a frame ended monitoring: the port is held until the closing S,
              // the stops clicked meanwhile only send, and the closing S passes their replies over
};

class View {
public:
    virtual ~View() = default;

    virtual QString text(Field field) const = 0;
    virtual void setText(Field field, const QString& text) = 0;
    virtual void setBackground(Field field, Colour colour) = 0;
    virtual void setTextColour(Field field, Colour colour) = 0;
    virtual bool isChecked(Field field) const = 0;
    virtual void setChecked(Field field, bool checked) = 0;
    virtual bool isEnabled(Field field) const = 0;
    virtual void setEnabled(Field field, bool enabled) = 0;

    // The communication monitor's state. A window-less view reads it from the caption of
    // cmd_monitor ("STOP" while it runs); the window asks its monitor, whose caption follows it.
    virtual MonitorState monitorState() const
    {
        return text(Field::cmd_monitor) == QLatin1String("STOP") ? MonitorState::Running : MonitorState::Idle;
    }
    // Whether an exchange reads its own reply and closes the port after it: neither while the
    // monitor runs nor while it ends.
    bool repliesReadHere() const { return monitorState() == MonitorState::Idle; }

    // Who is told what the session receives and sends beside the window; none by default.
    virtual SessionObserver* sessionObserver() const { return nullptr; }

    // The button groups of the main window.
    virtual void DISABLE_BUTTONS() = 0;
    // The command group off but the two stops, which stay on with their colours: while the box
    // may be turning the rotor, a stop is at hand.
    virtual void DISABLE_BUTTONS_BUT_STOPS()
    {
        DISABLE_BUTTONS();
        setEnabled(Field::fast_stop, true);
        setEnabled(Field::soft_stop, true);
    }
    virtual void ENABLE_BUTTONS() = 0;
    virtual void DISABLE_WRITE_BUTTON() = 0;
    virtual void ENABLE_WRITE_BUTTON() = 0;
    virtual void DISABLE_MONITOR_BUTTON() = 0;
    virtual void ENABLE_MONITOR_BUTTON() = 0;
};
