// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Builds the controls of the two windows: every control as a child carrying its name as its
// object name, with its kind, caption or initial text, colour, initial state, geometry (given in
// twips, scaled with the screen's logical dpi and the window's font), label and accessible name.
// No behaviour here.

#include <QRect>
#include <QSize>

class QIcon;
class QMainWindow;
class QScrollArea;
class QWidget;

// Twips (1/1440 inch) to pixels at the widget's logical dpi (15 twips a pixel at 96 dpi), times
// the scale of the window the widget was built in.
int twips(const QWidget* widget, int value);

// The twips were drawn for an 8 pt form font: a window whose font is larger grows with it (never
// shrinks below the drawn size), but never beyond the screen's available area, where the
// largest scale that fits is used. `available` empty means the screen's.
double twipScale(const QWidget* window, int widthTwips, int heightTwips, const QRect& available = {});

// Where a push button draws its caption, which wraps onto several lines when it must.
QRect buttonCaptionArea(const QWidget* button);

// Creates the controls of the main window `rotor` inside `window` and sets its title and size.
void buildMainWindowControls(QWidget* window, const QRect& available = {});

// Creates the controls of the window `CALIBRATION` inside `window` and sets its caption and size.
void buildCalibrationControls(QWidget* window, const QRect& available = {});

// The room the screen's available area (`available`; empty means the screen's) leaves for what a
// window shows below its title bar.
QSize roomBelowTitle(const QWidget* window, const QRect& available = {});

// When the screen has no room for the main window whole (a small screen, or a large scale factor:
// the form never shrinks below its drawn size), its form goes into a scroll area that takes the room
// there is, so that every control can still be scrolled to; the window may then be made larger, up
// to the whole form. Otherwise nothing changes. Returns the scroll area, or nullptr.
QScrollArea* fitFormToScreen(QMainWindow* window, const QRect& available = {});

// The project's icon (data/rotor.svg), in the sizes built into the program.
QIcon rotorIcon();
