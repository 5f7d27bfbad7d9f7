// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's message boxes: a modal box with a single OK button and the application's title,
// and the Yes/No question with the stop icon, No as default, above all windows.

#include "serial/messages.h"

class MessageBoxes : public Messages {
public:
    void inform(const QString& text) override;
    void informWithDetails(const QString& text, const QString& details) override;
    bool askYesNo(const QString& text, const QString& title) override;
    bool askYesNoWithDetails(const QString& text, const QString& title, const QString& details) override;
};
