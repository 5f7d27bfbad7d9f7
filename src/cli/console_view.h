// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The view of a session with no window: every control's text and state kept in a map, so that
// the set panel can be filled from a file and read back as the window's is. What the exchanges
// read and how they ended goes to the observer the subcommands give it.

#include "protocol/view.h"

#include <QMap>

class ConsoleView : public View {
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
    SessionObserver* sessionObserver() const override { return m_observer; }
    void setSessionObserver(SessionObserver* observer) { m_observer = observer; }

    // No buttons to switch: the subcommands run one exchange after the other.
    void DISABLE_BUTTONS() override {}
    void ENABLE_BUTTONS() override {}
    void DISABLE_WRITE_BUTTON() override {}
    void ENABLE_WRITE_BUTTON() override {}
    void DISABLE_MONITOR_BUTTON() override {}
    void ENABLE_MONITOR_BUTTON() override {}

private:
    QMap<Field, QString> m_texts;
    QMap<Field, bool> m_checked;
    QMap<Field, bool> m_disabled;
    SessionObserver* m_observer = nullptr;
};
