// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A view of a session with no window: every field is an entry in a map, so that the commands run
// with none at all (the command line, fuzzing, protocol-level tests) and the set panel can be
// filled from a file and read back as the window's is. Unknown fields read as empty. What the
// exchanges read and how they ended goes to the observer it is given, if any.

#include "protocol/view.h"

#include <QMap>

class FieldMapView : public View {
public:
    // The monitor never runs here: each exchange reads its own reply and closes the port.
    FieldMapView() { texts.insert(Field::cmd_monitor, QStringLiteral("START...")); }

    QString text(Field field) const override { return texts.value(field); }
    void setText(Field field, const QString& text) override { texts.insert(field, text); }
    void setBackground(Field field, Colour colour) override { backgrounds.insert(field, colour); }
    void setTextColour(Field field, Colour colour) override { textColours.insert(field, colour); }
    bool isChecked(Field field) const override { return checked.value(field); }
    void setChecked(Field field, bool on) override { checked.insert(field, on); }
    bool isEnabled(Field field) const override { return !disabled.value(field); }
    void setEnabled(Field field, bool enabled) override { disabled.insert(field, !enabled); }
    SessionObserver* sessionObserver() const override { return observer; }
    // No buttons to switch; the group operations are only counted.
    void DISABLE_BUTTONS() override { ++groupOperations; }
    void ENABLE_BUTTONS() override { ++groupOperations; }
    void DISABLE_WRITE_BUTTON() override { ++groupOperations; }
    void ENABLE_WRITE_BUTTON() override { ++groupOperations; }
    void DISABLE_MONITOR_BUTTON() override { ++groupOperations; }
    void ENABLE_MONITOR_BUTTON() override { ++groupOperations; }

    QMap<Field, QString> texts;
    QMap<Field, Colour> backgrounds;
    QMap<Field, Colour> textColours;
    QMap<Field, bool> checked;
    QMap<Field, bool> disabled;
    int groupOperations = 0;
    SessionObserver* observer = nullptr;
};
