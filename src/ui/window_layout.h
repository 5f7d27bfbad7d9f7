#pragma once
// Builds the controls of the two windows: every control as a child carrying its name as its
// object name, with its kind, caption or initial text, colour, initial state, geometry (given in
// twips, scaled with the screen's logical dpi), label and accessible name. No behaviour here.

class QWidget;

// Twips (1/1440 inch) to pixels at the widget's logical dpi (15 twips a pixel at 96 dpi).
int twips(const QWidget* widget, int value);

// Creates the controls of the main window `rotor` inside `window` and sets its title and size.
void buildMainWindowControls(QWidget* window);

// Creates the controls of the window `CALIBRATION` inside `window` and sets its caption and size.
void buildCalibrationControls(QWidget* window);
