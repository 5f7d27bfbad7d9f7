// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The "PARAMETERS SET" panel's behaviour: the live checks of four entries and Set Default.

class Controls;
class Messages;
class View;

// Connects the checks of `offset_write`, `pwm_min_duty`, `lower_limit` and `upper_limit`; they
// run on every change of the text, typed or set by the program, and only colour. The entries of
// the panel take only what can be typed into them.
void connectSetPanelChecks(View& view, const Controls& controls);

// The click on `set_default`: after a confirmation, fills the panel with the default values in
// a fixed order. Sends nothing.
void SET_DEFAULT(View& view, Messages& messages);
