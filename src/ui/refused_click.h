// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A click refused because an exchange is waiting for the CBOX's reply: a beep, which many
// desktops never play, and a short tooltip at the button that the operator does see.

#include <QString>

class QWidget;

// What the tooltip says.
extern const QString refusedClickText;

void refuseClick(QWidget* button);
