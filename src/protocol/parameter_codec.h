// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The parameter block of the "L" reply: decoding its 19 fields from the reply data and turning
// each field into what the main window and the set panel show. Pure code: it reads through a
// character source and reports through a sink, with no port, window or timer of its own.
//
// The 19 fields, in wire order: 1 position, 2 cbox_state, 3 stop_mode, 4 lower_limit,
// 5 upper_limit, 6 inv_delay, 7 pwm_on, 8 pwm_on_ticks, 9 pwm_off_ticks, 10 ramp,
// 11 pwm_min_ticks, 12 optimize, 13 pres_delay, 14 offset, 15 mot_check, 16 check_angle,
// 17 rot_timeout, 18 dipsw, 19 cal_fact. One tick is 1.64 ms.

#include "protocol/view.h"

#include <QList>
#include <QString>

#include <optional>

// Where the decoder takes the reply data from. The serial link implements it with its readers.
class CharacterSource {
public:
    virtual ~CharacterSource() = default;
    // One character, or empty on timeout.
    virtual QString GET_CHAR() = 0;
    // A 5-digit unsigned field, leading zeros removed, "0" for all zeros; empty on timeout
    // (the reader has already shown its own message).
    virtual QString GET_NUM05() = 0;
    // The same, with an optional leading '-' (six characters then; "-00000" gives "-").
    virtual QString GET_NUM05NT() = 0;
};

// Receives each field's text, as the reader returned it, at the moment the window must change:
// fields 1 to 8 and 10 to 19 as soon as they are read, field 9 only once the separator after it
// has been checked. Field 8 changes nothing on its own; it is handed over for fields 9 and 11.
// A field 2 other than "B"/"R" or a field 3 other than "0"/"1"/"2" is not handed over.
class ParameterSink {
public:
    virtual ~ParameterSink() = default;
    virtual void field(int number, const QString& text) = 0;
};

// How a decode ended: ok; or failed with a message to show; or failed silently (a reader that
// timed out has shown its own message, or field 2 or 3 held a value that ends the read quietly).
struct DecodeResult {
    bool ok = false;
    QString message;
    bool silent = false;
};

// Reads fields 1 to 19 of the "L" reply data (what follows the reply envelope), the separator
// after each of fields 1 to 18 and the terminator after field 19. Stops at the first failure:
// "Separator invalid, received:" followed by the character (nothing when it did not arrive), or
// "<Return> invalid, received ASC:" followed by the terminator's code in decimal (nothing when
// it did not arrive).
DecodeResult decode_parameter_block(CharacterSource& source, ParameterSink& sink);

// A change of one main-window field: its text, background colour and text colour, each only when set.
struct FieldChange {
    Field field;
    std::optional<QString> text;
    std::optional<Colour> background;
    std::optional<Colour> textColour;

    bool operator==(const FieldChange&) const = default;
};

// A change of one set-panel control: the text of an entry, or the checked state of a check box
// or an option. Applied only while the set panel is being filled at start-up.
struct PanelChange {
    Field field;
    std::optional<QString> text;
    std::optional<bool> checked;

    bool operator==(const PanelChange&) const = default;
};

// What one field of the block changes, each list in the order the changes are made.
struct FormattedField {
    QList<FieldChange> window;
    QList<PanelChange> panel;

    bool operator==(const FormattedField&) const = default;
};

// Turns the text of field `number` (1 to 19) into its window and set-panel changes.
//  - Field 9 (pwm_off_ticks) needs field 8's text in onTicksText; offTicksText is not used.
//  - Field 11 (pwm_min_ticks) needs the texts of fields 8 and 9 in onTicksText and offTicksText.
// Numbers are the entry values of the texts. When pwm_on_ticks + pwm_off_ticks is 0 both duty
// cycles are shown as "0". Field 8, a field 2 other than "B"/"R", a field 3 other than
// "0"/"1"/"2" and a number outside 1 to 19 change nothing.
FormattedField format_parameter_block(int number, const QString& text, const QString& onTicksText = {},
                                      const QString& offTicksText = {});

// Formats the fields in the order the sink receives them, keeping the texts of fields 8 and 9
// for the PWM period and duty cycles of fields 9 and 11.
class ParameterFormatter {
public:
    FormattedField format(int number, const QString& text);

private:
    QString m_onTicks;
    QString m_offTicks;
};
