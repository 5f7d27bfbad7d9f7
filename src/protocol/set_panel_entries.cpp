// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/set_panel_entries.h"

#include "protocol/view.h"

namespace {

using Kind = SetPanelEntry::Kind;

constexpr SetPanelEntry text(Field field, const char* defaultValue, int blockField, int writeLine,
                             QString PanelState::*member)
{
    return {field, Kind::Text, defaultValue, blockField, writeLine, member, nullptr};
}

constexpr SetPanelEntry check(Field field, Kind kind, const char* defaultValue, int blockField, int writeLine,
                              bool PanelState::*member)
{
    return {field, kind, defaultValue, blockField, writeLine, nullptr, member};
}

}  // namespace

const std::array<SetPanelEntry, 16> setPanelEntries = {
    text(Field::offset_write, "0", 14, 12, &PanelState::offsetWrite),
    text(Field::pwm_period, "50", 9, 6, &PanelState::pwmPeriod),
    text(Field::pwm_max_duty, "100", 9, 6, &PanelState::pwmMaxDuty),
    text(Field::pwm_min_duty, "50", 11, 9, &PanelState::pwmMinDuty),
    text(Field::ramp, "10", 10, 8, &PanelState::ramp),
    text(Field::lower_limit, "0", 4, 2, &PanelState::lowerLimit),
    text(Field::upper_limit, "500", 5, 3, &PanelState::upperLimit),
    text(Field::inv_delay, "3", 6, 4, &PanelState::invDelay),
    text(Field::pres_delay, "3", 13, 11, &PanelState::presDelay),
    text(Field::rot_timeout, "5", 17, 15, &PanelState::rotTimeout),
    check(Field::pwm_on, Kind::CheckBox, "1", 7, 5, &PanelState::pwmOn),
    check(Field::optimize, Kind::CheckBox, "1", 12, 10, &PanelState::optimize),
    check(Field::mot_check, Kind::CheckBox, "0", 15, 13, &PanelState::motCheck),
    check(Field::south_stop, Kind::StopOption, "1", 3, 1, &PanelState::southStop),
    check(Field::north_stop, Kind::StopOption, "0", 3, 1, &PanelState::northStop),
    text(Field::check_angle_write, "2", 16, 14, &PanelState::checkAngleWrite),
};

PanelState panelState(const View& view)
{
    PanelState panel;
    for (const SetPanelEntry& entry : setPanelEntries) {
        if (entry.text)
            panel.*entry.text = view.text(entry.field);
        else
            panel.*entry.checked = view.isChecked(entry.field);
    }
    return panel;
}

void fillSetPanel(View& view, const PanelState& panel)
{
    for (const SetPanelEntry& entry : setPanelEntries) {
        if (entry.text)
            view.setText(entry.field, panel.*entry.text);
        else
            view.setChecked(entry.field, panel.*entry.checked);
    }
}

std::optional<QChar> controlCharacterIn(const QString& text)
{
    for (QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || c.category() == QChar::Other_Control)
            return c;
    return std::nullopt;
}
