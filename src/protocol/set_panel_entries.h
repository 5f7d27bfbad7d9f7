// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The controls of the "PARAMETERS SET" panel, described once: what kind each is, its label, its
// key in parameter files, the value Set Default gives it, the field of the parameter block whose
// reading fills it at start-up, and the write's value line made from it with how it is made
// (which also says how the write judges it). Set Default, the panel fill, the write, its check
// and its question, the parameter files, the command line and the dial all read this table;
// adding an entry to the panel is one more line here.

#include "protocol/field.h"
#include "protocol/write_lines.h"

#include <QString>
#include <QStringList>

#include <array>
#include <optional>

// The fields of the parameter block, numbered as the "L" reply carries them.
namespace blockField {
enum : int {
    position = 1,
    cboxState,
    stopMode,
    lowerLimit,
    upperLimit,
    invDelay,
    pwmOn,
    pwmOnTicks,
    pwmOffTicks,
    ramp,
    pwmMinTicks,
    optimize,
    presDelay,
    offset,
    motCheck,
    checkAngle,
    rotTimeout,
    dipsw,
    calFact,
};
inline constexpr int count = calFact;
}  // namespace blockField

// The write sends the writable fields in block order, one value line each: line 1 carries the
// stop mode, line 15 the rotation timeout.
inline constexpr int writeLineCount = 15;
constexpr int writtenField(int line) { return blockField::stopMode + line - 1; }
// The text of field `number` (1 to 19) of a block; empty when the block is shorter.
inline QString blockText(const QStringList& block, int number) { return block.value(number - 1); }

struct SetPanelEntry {
    enum class Kind {
        Text,       // an entry; the write sends what is typed (or a number computed from it)
        CheckBox,   // on or off
        StopOption  // one of the two stop options; neither may be on (as after an "Absolute" read)
    };
    // How its value line is made from the panel, and its panel value from the block read.
    enum class Line {
        StopMode,      // "0" north, "1" south, empty for neither (north wins if both are on)
        AsTyped,       // the trimmed text as typed, a whole number of 1 to 5 digits
        Offset,        // as typed, or the value when it begins with "-"; 16-bit two's complement
        Seconds,       // seconds sent as ticks
        Flag,          // "1" checked, "0" not
        PwmOnTime,     // ticks from the period and the maximum duty
        PwmOffTime,    // ticks from the period and the maximum duty
        PwmMinTime,    // ticks from the period and the minimum duty
        WholeDegrees,  // the whole part of the value
    };

    Field field;
    Kind kind;
    // As the panel shows it beside the control.
    const char* label;
    // Its key in parameter files (the two stop options share one).
    const char* key;
    // Set Default's value: the entry's text, or "1" for checked and "0" for not checked.
    const char* defaultValue;
    // The field (1 to 19) of the parameter block whose reading fills it.
    int blockField;
    // The write's value line (1 to 15) made from it, how, and how the write's question names the
    // line. The PWM period and the two duties make lines 6, 7 and 9 between them.
    int writeLine;
    Line line;
    const char* lineName;
    // For a computed line, what its range check names ("the preset delay in ticks of 1.64 ms").
    const char* lineMeaning;
    // Where the write finds it among the panel's values: a text or a checked state.
    QString PanelState::*text;
    bool PanelState::*checked;
};

// In the order Set Default fills the panel: the period and the maximum duty before the minimum
// duty that is judged against them, the lower limit before the upper one.
extern const std::array<SetPanelEntry, 16> setPanelEntries;

// The entry of a control of the panel.
const SetPanelEntry& setPanelEntry(Field field);
// The entry that makes value line `line` (1 to 15), the first in the table for the stop mode;
// none for any other number.
const SetPanelEntry* writeLineEntry(int line);

// The panel's values as the view shows them now.
class View;
PanelState panelState(const View& view);
// Fills the view's panel with `panel` in Set Default's order, so that the live checks end as they
// do after Set Default (each assignment fires its entry's check as any program assignment does).
void fillSetPanel(View& view, const PanelState& panel);

// What typing can put into an entry of the panel: at most this many characters, and no control
// character (a line break, a tab, an escape ...). Loading a file gives nothing more.
inline constexpr qsizetype setPanelEntryMaxLength = 32;
// The first control character in `text`, if any.
std::optional<QChar> controlCharacterIn(const QString& text);
