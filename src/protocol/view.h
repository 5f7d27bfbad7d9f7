#pragma once
// What the protocol needs from the windows: the fields by their control names, their texts,
// colours and states, the monitor state and the button groups. The windows implement it;
// tests may implement it with a recording fake.

#include <QString>

enum class Colour {
    InvalidRed,  // (255,0,0): an entry out of range, a busy or refused state
    Window,      // the colour an entry normally shows behind its text
    WindowText,  // the normal text colour
};

class View {
public:
    virtual ~View() = default;

    virtual QString text(const QString& field) const = 0;
    virtual void setText(const QString& field, const QString& text) = 0;
    virtual void setBackground(const QString& field, Colour colour) = 0;
    virtual void setTextColour(const QString& field, Colour colour) = 0;
    virtual bool isChecked(const QString& field) const = 0;
    virtual void setChecked(const QString& field, bool checked) = 0;
    virtual bool isEnabled(const QString& field) const = 0;
    virtual void setEnabled(const QString& field, bool enabled) = 0;

    // The monitor is idle exactly when the caption of cmd_monitor reads "START...".
    bool monitorIdle() const { return text(QStringLiteral("cmd_monitor")) == QLatin1String("START..."); }

    // The button groups of the main window.
    virtual void DISABLE_BUTTONS() = 0;
    virtual void ENABLE_BUTTONS() = 0;
    virtual void DISABLE_WRITE_BUTTON() = 0;
    virtual void ENABLE_WRITE_BUTTON() = 0;
    virtual void DISABLE_MONITOR_BUTTON() = 0;
    virtual void ENABLE_MONITOR_BUTTON() = 0;
};
