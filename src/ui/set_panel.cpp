// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/set_panel.h"

#include "protocol/entry_checks.h"
#include "protocol/set_panel_entries.h"
#include "protocol/view.h"
#include "serial/messages.h"
#include "ui/controls.h"

#include <QLineEdit>
#include <QValidator>

namespace {

void paint(View& view, Field field, bool valid)
{
    view.setBackground(field, valid ? Colour::Window : Colour::InvalidRed);
}

// Drops the control characters that a paste (or a key such as Ctrl+letter) would put into an
// entry; everything else is taken as typed.
class NoControlCharacters : public QValidator {
public:
    using QValidator::QValidator;

    State validate(QString& input, int& pos) const override
    {
        for (qsizetype i = input.size() - 1; i >= 0; --i) {
            if (!controlCharacterIn(QString(input[i])))
                continue;
            input.remove(i, 1);
            if (i < pos)
                --pos;
        }
        return Acceptable;
    }
};

}  // namespace

void connectSetPanelChecks(View& view, const Controls& controls)
{
    const auto entry = [&controls](Field field) { return controls.control<QLineEdit>(field); };
    const auto text = [entry](Field field) { return entry(field)->text(); };

    // An entry takes what can be typed into it: a few characters, none of them a control character.
    for (const SetPanelEntry& e : setPanelEntries) {
        if (!e.text)
            continue;
        QLineEdit* edit = entry(e.field);
        edit->setMaxLength(int(setPanelEntryMaxLength));
        edit->setValidator(new NoControlCharacters(edit));
    }

    QLineEdit* offsetEntry = entry(Field::offset_write);
    QObject::connect(offsetEntry, &QLineEdit::textChanged, offsetEntry,
                     [&view](const QString& offset) { paint(view, Field::offset_write, offsetValid(offset)); });

    // Only a change of the minimum itself re-judges it, against the maximum and the period as
    // they stand then.
    QLineEdit* minimumDuty = entry(Field::pwm_min_duty);
    QObject::connect(minimumDuty, &QLineEdit::textChanged, minimumDuty, [&view, text](const QString& minimum) {
        paint(view, Field::pwm_min_duty, minimumDutyValid(minimum, text(Field::pwm_max_duty), text(Field::pwm_period)));
    });

    const auto limits = [&view, text] {
        const bool ordered = limitsInOrder(text(Field::lower_limit), text(Field::upper_limit));
        paint(view, Field::lower_limit, ordered);
        paint(view, Field::upper_limit, ordered);
    };
    for (Field limit : {Field::lower_limit, Field::upper_limit})
        QObject::connect(entry(limit), &QLineEdit::textChanged, entry(limit), limits);
}

void SET_DEFAULT(View& view, Messages& messages)
{
    if (!messages.askYesNo(QStringLiteral("THIS COMMAND OVERWRITES THE -PARAMETERS SET- VALUES!!! ARE YOU SURE?"),
                           QStringLiteral("WRITE PARAMETERS COMMAND")))
        return;
    // The table's order matters: the period and the maximum duty are set before the minimum duty
    // is judged, and the upper limit after the lower one.
    for (const SetPanelEntry& entry : setPanelEntries) {
        const QString value = QLatin1String(entry.defaultValue);
        if (entry.kind == SetPanelEntry::Kind::Text)
            view.setText(entry.field, value);
        else
            view.setChecked(entry.field, value == QLatin1String("1"));
    }
}
