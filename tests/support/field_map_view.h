// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A window-less view for the protocol: every field is an entry in a map, so that commands can
// run with no window at all (fuzzing, protocol-level tests). Unknown fields read as empty.

#include "protocol/view.h"

#include <QMap>
#include <QSet>

class FieldMapView : public View {
public:
    FieldMapView() { texts.insert(Field::cmd_monitor, QStringLiteral("START...")); }

    QString text(Field field) const override { return texts.value(field); }
    void setText(Field field, const QString& text) override { texts.insert(field, text); }
    void setBackground(Field field, Colour colour) override { backgrounds.insert(field, colour); }
    void setTextColour(Field field, Colour colour) override { textColours.insert(field, colour); }
    bool isChecked(Field field) const override { return checked.value(field); }
    void setChecked(Field field, bool on) override { checked.insert(field, on); }
    bool isEnabled(Field field) const override { return !disabled.value(field); }
    void setEnabled(Field field, bool enabled) override { disabled.insert(field, !enabled); }
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
};
