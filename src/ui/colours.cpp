// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/colours.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QPalette>
#include <QWidget>

#include <algorithm>
#include <iterator>

namespace colours {

QColor window() { return QApplication::palette().color(QPalette::Active, QPalette::Base); }
QColor windowText() { return QApplication::palette().color(QPalette::Active, QPalette::Text); }
QColor buttonFace() { return QApplication::palette().color(QPalette::Active, QPalette::Button); }

void paintButton(QAbstractButton* button, const QColor& colour)
{
    QPalette palette = button->palette();
    palette.setColor(QPalette::Button, colour);
    button->setPalette(palette);
    // Native styles ignore the palette of a push button; the style sheet paints it everywhere.
    button->setStyleSheet(QStringLiteral("QPushButton { background-color: %1; color: black;"
                                         " border: 1px solid #6a6a6a; border-radius: 2px; padding: 2px; }"
                                         " QPushButton:pressed { border: 2px inset #404040; }"
                                         " QPushButton:focus { border: 2px solid #1c5fb5; }"
                                         " QPushButton:disabled { color: #7a7a7a; }")
                              .arg(colour.name()));
}

QColor buttonColour(const QAbstractButton* button) { return button->palette().color(QPalette::Button); }

void paintBackground(QWidget* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    const QPalette::ColorRole role = qobject_cast<QLabel*>(widget) ? QPalette::Window : QPalette::Base;
    constexpr QPalette::ColorGroup groups[] = {QPalette::Active, QPalette::Inactive, QPalette::Disabled};
    // The monitor sets the state's colour for every status frame, nearly always the one already
    // set: setting a palette looks up the widget's natural one each time, a measurable
    // part of what a frame cost.
    const bool alreadySet =
        widget->testAttribute(Qt::WA_SetPalette)
        && std::all_of(std::begin(groups), std::end(groups),
                       [&](QPalette::ColorGroup group) {
                           return palette.isBrushSet(group, role) && palette.color(group, role) == colour;
                       })
        && (role != QPalette::Window || widget->autoFillBackground());
    if (alreadySet)
        return;
    for (auto group : groups)
        palette.setColor(group, role, colour);
    widget->setPalette(palette);
    if (role == QPalette::Window)
        widget->setAutoFillBackground(true);
}

QColor background(const QWidget* widget)
{
    const QPalette::ColorRole role = qobject_cast<const QLabel*>(widget) ? QPalette::Window : QPalette::Base;
    return widget->palette().color(QPalette::Active, role);
}

void paintText(QWidget* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Text, colour);
        palette.setColor(group, QPalette::WindowText, colour);
    }
    widget->setPalette(palette);
}

QColor textColour(const QWidget* widget)
{
    const QPalette::ColorRole role = qobject_cast<const QLabel*>(widget) ? QPalette::WindowText : QPalette::Text;
    return widget->palette().color(QPalette::Active, role);
}

}  // namespace colours
