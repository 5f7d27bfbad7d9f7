// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Help > About rotor: the versions, and where rotor keeps its settings and port links.

#include <QString>

class Dialogs;
class QMenu;
class SerialLink;

// Fills the Help menu ("About rotor"); the box shows what `link` uses when it is opened.
void addHelpItems(QMenu* help, Dialogs& dialogs, const SerialLink& link);

// The text of Help > About rotor: versions, configuration folder and settings file.
QString aboutText(const SerialLink& link);
