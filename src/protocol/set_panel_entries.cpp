// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/set_panel_entries.h"

#include "protocol/view.h"

namespace {

using Kind = SetPanelEntry::Kind;
using Line = SetPanelEntry::Line;

}  // namespace

// clang-format off
const std::array<SetPanelEntry, 16> setPanelEntries = {{
    // control, kind, label, file key, default, block field, write line, how, line name, line meaning, panel value
    {Field::offset_write, Kind::Text, "Offset (-70°..+70°)", "offset_write", "0", blockField::offset, 12, Line::Offset,
     "Offset", nullptr, &PanelState::offsetWrite, nullptr},
    {Field::pwm_period, Kind::Text, "PWM:period", "pwm_period", "50", blockField::pwmOffTicks, 7, Line::PwmOffTime,
     "PWM off-time (ticks)", "the PWM off-time in ticks of 1.64 ms", &PanelState::pwmPeriod, nullptr},
    {Field::pwm_max_duty, Kind::Text, "PWM:max.duty", "pwm_max_duty", "100", blockField::pwmOffTicks, 6, Line::PwmOnTime,
     "PWM on-time (ticks)", "the PWM on-time in ticks of 1.64 ms", &PanelState::pwmMaxDuty, nullptr},
    {Field::pwm_min_duty, Kind::Text, "PWM:min.duty", "pwm_min_duty", "50", blockField::pwmMinTicks, 9, Line::PwmMinTime,
     "PWM min. time (ticks)", "the PWM minimum time in ticks of 1.64 ms", &PanelState::pwmMinDuty, nullptr},
    {Field::ramp, Kind::Text, "PWM:ramp", "ramp", "10", blockField::ramp, 8, Line::AsTyped,
     "PWM:ramp", nullptr, &PanelState::ramp, nullptr},
    {Field::lower_limit, Kind::Text, "Lower Limit", "lower_limit", "0", blockField::lowerLimit, 2, Line::AsTyped,
     "Lower Limit", nullptr, &PanelState::lowerLimit, nullptr},
    {Field::upper_limit, Kind::Text, "Upper Limit", "upper_limit", "500", blockField::upperLimit, 3, Line::AsTyped,
     "Upper Limit", nullptr, &PanelState::upperLimit, nullptr},
    {Field::inv_delay, Kind::Text, "Rev. Delay", "inv_delay", "3", blockField::invDelay, 4, Line::Seconds,
     "Rev. Delay (ticks)", "the reversal delay in ticks of 1.64 ms", &PanelState::invDelay, nullptr},
    {Field::pres_delay, Kind::Text, "Preset Delay", "pres_delay", "3", blockField::presDelay, 11, Line::Seconds,
     "Preset Delay (ticks)", "the preset delay in ticks of 1.64 ms", &PanelState::presDelay, nullptr},
    {Field::rot_timeout, Kind::Text, "Rot. Timeout", "rot_timeout", "5", blockField::rotTimeout, 15, Line::Seconds,
     "Rot. Timeout (ticks)", "the rotation timeout in ticks of 1.64 ms", &PanelState::rotTimeout, nullptr},
    {Field::pwm_on, Kind::CheckBox, "PWM", "pwm_on", "1", blockField::pwmOn, 5, Line::Flag,
     "PWM", nullptr, nullptr, &PanelState::pwmOn},
    {Field::optimize, Kind::CheckBox, "OPTIMIZE", "optimize", "1", blockField::optimize, 10, Line::Flag,
     "OPTIMIZE", nullptr, nullptr, &PanelState::optimize},
    {Field::mot_check, Kind::CheckBox, "ROT CHECK", "mot_check", "0", blockField::motCheck, 13, Line::Flag,
     "ROT CHECK", nullptr, nullptr, &PanelState::motCheck},
    {Field::south_stop, Kind::StopOption, "South-stop", "stop", "1", blockField::stopMode, 1, Line::StopMode,
     "Stop mode", nullptr, nullptr, &PanelState::southStop},
    {Field::north_stop, Kind::StopOption, "North-stop", "stop", "0", blockField::stopMode, 1, Line::StopMode,
     "Stop mode", nullptr, nullptr, &PanelState::northStop},
    {Field::check_angle_write, Kind::Text, "Check angle", "check_angle_write", "2", blockField::checkAngle, 14, Line::WholeDegrees,
     "Check angle", "the check angle in whole degrees", &PanelState::checkAngleWrite, nullptr},
}};
// clang-format on

const SetPanelEntry& setPanelEntry(Field field)
{
    for (const SetPanelEntry& entry : setPanelEntries)
        if (entry.field == field)
            return entry;
    Q_UNREACHABLE();
}

const SetPanelEntry* writeLineEntry(int line)
{
    for (const SetPanelEntry& entry : setPanelEntries)
        if (entry.writeLine == line)
            return &entry;
    return nullptr;
}

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
