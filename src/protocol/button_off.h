#pragma once
// A command's own button is off for the length of its exchange, then back as it was.

#include "protocol/view.h"

class ButtonOff {
public:
    ButtonOff(View& view, const QString& name) : m_view(view), m_name(name), m_wasEnabled(view.isEnabled(name))
    {
        m_view.setEnabled(m_name, false);
    }
    ~ButtonOff() { m_view.setEnabled(m_name, m_wasEnabled); }
    ButtonOff(const ButtonOff&) = delete;
    ButtonOff& operator=(const ButtonOff&) = delete;

private:
    View& m_view;
    QString m_name;
    bool m_wasEnabled;
};
