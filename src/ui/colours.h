// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The colours of the windows and how a control is painted with them, in one place, so that a
// colour set by the program is visible on every platform style and can be read back by tests.

#include <QColor>

class QAbstractButton;
class QWidget;

namespace colours {

inline const QColor invalidRed{255, 0, 0};
inline const QColor lightGreen{128, 255, 128};
inline const QColor green{0, 255, 0};
inline const QColor yellow{255, 255, 0};
inline const QColor stopOrange{255, 192, 128};
inline const QColor commandS{192, 192, 255};
inline const QColor commandM{192, 255, 255};
inline const QColor commandQuery{255, 192, 255};
inline const QColor commandVersion{255, 224, 192};
inline const QColor clearReplies{255, 192, 192};
inline const QColor setDefault{255, 128, 0};

// The colour an entry normally shows behind its text (the platform palette's Base).
QColor window();
// The normal text colour of an entry (the platform palette's Text).
QColor windowText();
// The platform's button face, given to disabled command buttons.
QColor buttonFace();

// A button that shows its background colour whatever the platform style.
void paintButton(QAbstractButton* button, const QColor& colour);
QColor buttonColour(const QAbstractButton* button);

// Background and text colour of an entry, a read-only field or a label.
void paintBackground(QWidget* widget, const QColor& colour);
QColor background(const QWidget* widget);
void paintText(QWidget* widget, const QColor& colour);
QColor textColour(const QWidget* widget);

}  // namespace colours
