// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Help > About rotor: the versions, and where rotor keeps its settings and port links.

#include <QString>

class MainWindow;
class SerialLink;

// Fills the Help menu ("About rotor").
void addHelpItems(MainWindow& window);

// The text of Help > About rotor: versions, configuration folder and settings file.
QString aboutText(const SerialLink& link);
