// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A command's own button is off for the length of its exchange, then back as it was.

#include "protocol/view.h"

class ButtonOff {
public:
    ButtonOff(View& view, Field button) : m_view(view), m_button(button), m_wasEnabled(view.isEnabled(button))
    {
        m_view.setEnabled(m_button, false);
    }
    ~ButtonOff() { m_view.setEnabled(m_button, m_wasEnabled); }
    ButtonOff(const ButtonOff&) = delete;
    ButtonOff& operator=(const ButtonOff&) = delete;

private:
    View& m_view;
    Field m_button;
    bool m_wasEnabled;
};
