#pragma once
// A window-less view for the protocol: every field is an entry in a map, so that commands can
// run with no window at all (fuzzing, protocol-level tests). Unknown fields read as empty.

#include "protocol/view.h"

#include <QHash>
#include <QSet>

class FieldMapView : public View {
public:
    FieldMapView() { texts.insert(QStringLiteral("cmd_monitor"), QStringLiteral("START...")); }

    QString text(const QString& field) const override { return texts.value(field); }
    void setText(const QString& field, const QString& text) override { texts.insert(field, text); }
    void setBackground(const QString& field, Colour colour) override { backgrounds.insert(field, colour); }
    void setTextColour(const QString& field, Colour colour) override { textColours.insert(field, colour); }
    bool isChecked(const QString& field) const override { return checked.contains(field); }
    void setChecked(const QString& field, bool on) override
    {
        if (on)
            checked.insert(field);
        else
            checked.remove(field);
    }
    bool isEnabled(const QString& field) const override { return !disabled.contains(field); }
    void setEnabled(const QString& field, bool enabled) override
    {
        if (enabled)
            disabled.remove(field);
        else
            disabled.insert(field);
    }
    void DISABLE_BUTTONS() override { ++groupOperations; }
    void ENABLE_BUTTONS() override { ++groupOperations; }
    void DISABLE_WRITE_BUTTON() override { ++groupOperations; }
    void ENABLE_WRITE_BUTTON() override { ++groupOperations; }
    void DISABLE_MONITOR_BUTTON() override { ++groupOperations; }
    void ENABLE_MONITOR_BUTTON() override { ++groupOperations; }

    QHash<QString, QString> texts;
    QHash<QString, Colour> backgrounds;
    QHash<QString, Colour> textColours;
    QSet<QString> checked;
    QSet<QString> disabled;
    int groupOperations = 0;
};
