// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The controls of the "PARAMETERS SET" panel, described once: what kind each is, the value Set
// Default gives it, the field of the parameter block whose reading fills it at start-up, and
// where it goes in the write. Set Default, the panel fill, the write and the parameter files
// all read this table; adding an entry to the panel is one more line here.

#include "protocol/field.h"
#include "protocol/write_lines.h"

#include <QString>

#include <array>
#include <optional>

struct SetPanelEntry {
    enum class Kind {
        Text,       // an entry; the write sends what is typed (or a number computed from it)
        CheckBox,   // on or off
        StopOption  // one of the two stop options; neither may be on (as after an "Absolute" read)
    };

    Field field;
    Kind kind;
    // Set Default's value: the entry's text, or "1" for checked and "0" for not checked.
    const char* defaultValue;
    // The field (1 to 19) of the parameter block whose reading fills it.
    int blockField;
    // The first of the write's value lines (1 to 15) that carries it; the PWM period and the two
    // duties together make lines 6, 7 and 9.
    int writeLine;
    // Where the write finds it among the panel's values: a text or a checked state.
    QString PanelState::*text;
    bool PanelState::*checked;
};

// In the order Set Default fills the panel: the period and the maximum duty before the minimum
// duty that is judged against them, the lower limit before the upper one.
extern const std::array<SetPanelEntry, 16> setPanelEntries;

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
