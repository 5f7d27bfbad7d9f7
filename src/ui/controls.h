// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The controls of the two windows by their fields, for what needs the widget itself (a refused
// click, a tooltip, the listing's text box, an entry's own checks) rather than the texts and states
// the View gives. The main window finds them once each window has been built.

#include "protocol/field.h"

class QWidget;

class Controls {
public:
    virtual ~Controls() = default;
    // The control of `field`; one on a window not built yet ends the program.
    virtual QWidget* control(Field field) const = 0;
    template <typename T> T* control(Field field) const { return static_cast<T*>(control(field)); }
};
