// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The view of a session with no window: every control's text and state kept in a map, read back
// by the subcommands to print what the window would show. It also watches how each exchange
// ended, so that the exit status can tell a box that did not answer from a port that failed.

#include "protocol/session_events.h"
#include "protocol/view.h"

#include <QMap>

class ConsoleView : public View, public SessionEvents {
public:
    ConsoleView();

    QString text(Field field) const override { return m_texts.value(field); }
    void setText(Field field, const QString& text) override { m_texts.insert(field, text); }
    void setBackground(Field, Colour) override {}
    void setTextColour(Field, Colour) override {}
    bool isChecked(Field field) const override { return m_checked.value(field); }
    void setChecked(Field field, bool checked) override { m_checked.insert(field, checked); }
    bool isEnabled(Field field) const override { return !m_disabled.value(field); }
    void setEnabled(Field field, bool enabled) override { m_disabled.insert(field, !enabled); }
    SessionEvents* sessionEvents() const override { return const_cast<ConsoleView*>(this); }

    // No buttons to switch: the subcommands run one exchange after the other.
    void DISABLE_BUTTONS() override {}
    void ENABLE_BUTTONS() override {}
    void DISABLE_WRITE_BUTTON() override {}
    void ENABLE_WRITE_BUTTON() override {}
    void DISABLE_MONITOR_BUTTON() override {}
    void ENABLE_MONITOR_BUTTON() override {}

    void exchangeEnded(const QString& command, ExchangeOutcome outcome, qint64 elapsedMs) override;
    void positionReceived(const QString& angle, RotorState state) override;

    // Whether an exchange found its port unusable, and whether one ended without a good reply.
    bool portFailed() const { return m_portFailed; }
    bool unanswered() const { return m_unanswered; }
    RotorState lastState() const { return m_lastState; }

private:
    QMap<Field, QString> m_texts;
    QMap<Field, bool> m_checked;
    QMap<Field, bool> m_disabled;
    bool m_portFailed = false;
    bool m_unanswered = false;
    RotorState m_lastState = RotorState::Unknown;
};
